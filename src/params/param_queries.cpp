#include "params/param_queries.h"

#include "params/param.h"
#include "tree/function.h"
#include "tree/operation.h"

namespace mostfcat {

YMTParam* ParamAt(const YMTOperation& operation, uint32_t position) {
    return operation.ParamAt(position);
}

YMTParam* FirstParam(const YMTOperation& operation) {
    return operation.GetAt(0) ? operation.ParamAt(0) : operation.ParamAt(1);
}

YMTParam* FindParamByName(const YMTOperation& operation, const std::string& name, bool exactCase) {
    return FindParamInList(operation, name, exactCase);
}

bool FunctionHasParamType(const YMTFunction& function, uint32_t nodeType) {
    bool found = false;
    ForEachChild(function, [&](uint32_t, YMTNode* op) {
        if (found || op->NodeType() != kNodeOperation) return;
        ForEachChild(*static_cast<YMTOperation*>(op), [&](uint32_t, YMTNode* p) {
            if (p->NodeType() == nodeType) found = true;
        });
    });
    return found;
}

bool FirstParamIsVoid(const YMTOperation& operation) {
    YMTParam* p = FirstParam(operation);
    return p && p->NodeType() == kNodeVoid;
}

} // namespace mostfcat
