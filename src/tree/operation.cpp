#include "tree/operation.h"

#include <vector>

#include "decoding/disasm_context.h"
#include "import/import_log.h"
#include "import/import_state.h"
#include "import/text_read.h"
#include "params/error_params.h"
#include "params/layout_plan.h"
#include "params/param.h"
#include "platform/strings.h"
#include "tree/catalog.h"
#include "tree/function.h"

namespace mostfcat {

using Ctx = YImportContext;

namespace {

const char* const kPropertyOpNames[16] = {"Set",       "Get",          "SetGet",    "Increment",
                                          "Decrement", "GetInterface", "Reserved",  "OpType7",
                                          "OpType8",   "OpType9",      "OpTypeA",   "OpTypeB",
                                          "Status",    "OpTypeD",      "Interface", "Error"};
const char* const kMethodOpNames[16] = {"Start",    "Abort",        "StartResult",    "OpType3",
                                        "OpType4",  "GetInterface", "StartResultAck", "AbortAck",
                                        "StartAck", "ErrorAck",     "ProcessingAck",  "Processing",
                                        "Result",   "ResultAck",    "Interface",      "Error"};

// Class elements of a "Property"/"Method" element with their parameter
// element names, and the OpType-holder names (the last one belongs to the
// error parameters, which have no class element of their own).
const char* const kClassElements[12] = {"PUnclassified", "MUnclassified", "PNumber",   "PEnum",
                                        "PRecord",       "PArray",        "PSwitch",   "PText",
                                        "MTrigger",      "PContainer",    "PSequence", "MSequence"};
const char* const kParamElements[13] = {"PUParam", "MUParam", "PNParam", "PEParam", "PRParam",
                                        "PAParam", "PSParam", "PTParam", "MTParam", "PCParam",
                                        "PQParam", "MQParam", "ERParam"};
const char* const kOpTypeHolders[13] = {
    "PUParamOPType", "MUParamOPType", "PNParamOPType", "PEParamOPType", "PRParamOPType",
    "PAParamOPType", "PSParamOPType", "PTParamOPType", "MTParamOPType", "PCParamOPType",
    "PQParamOPType", "MQParamOPType", "ERParamOPType"};

const char* const kNotYet = "XXXnotyetXXX";
const char* const kPropertyOpElements[16] = {"PCmdSet",       "PCmdGet",       "PCmdSetGet",
                                             "PCmdIncrement", "PCmdDecrement", "PCmdGetInterface",
                                             kNotYet,         kNotYet,         kNotYet,
                                             kNotYet,         kNotYet,         kNotYet,
                                             "PReportStatus", kNotYet,         "PReportInterface",
                                             "PReportError"};
const char* const kMethodOpElements[16] = {
    "MCmdStart",     "MCmdAbort",        "MCmdStartResult",      kNotYet,
    kNotYet,         "MCmdGetInterface", "MCmdStartResultAck",   "MCmdAbortAck",
    "MCmdStartAck",  "MReportErrorAck",  "MReportProcessingAck", "MReportProcessing",
    "MReportResult", "MReportResultAck", "MReportInterface",     "MReportError"};

YMTCatalog* CatalogOf(YMTFunction& function) {
    YMTNode* parent = function.Parent();
    if (!parent) return nullptr;
    if (parent->NodeType() == kNodeCatalog) return static_cast<YMTCatalog*>(parent);
    YMTNode* fblock = parent->Parent();
    YMTNode* catalog = fblock ? fblock->Parent() : nullptr;
    return (catalog && catalog->NodeType() == kNodeCatalog) ? static_cast<YMTCatalog*>(catalog)
                                                            : nullptr;
}

// The elements named like the OpType elements below an OpType holder: how
// many of each name there are, and the first one, from one walk of the holder.
struct OpTypeElements {
    explicit OpTypeElements(const XDomElement* holder) {
        std::vector<XDomElement*> all;
        CollectDescendantElements(holder, all);
        for (XDomElement* e : all) {
            for (int t = 0; t < 16; ++t) {
                if (Ctx::ElementIs(e, kPropertyOpElements[t])) Note(property[t], e);
                if (Ctx::ElementIs(e, kMethodOpElements[t])) Note(method[t], e);
            }
        }
    }
    struct Found {
        int count = 0;
        const XDomElement* first = nullptr;
    };
    static void Note(Found& f, const XDomElement* e) {
        if (f.count++ == 0) f.first = e;
    }
    static void CollectDescendantElements(const XDomElement* root, std::vector<XDomElement*>& out) {
        std::vector<const XDomElement*> stack{root};
        std::vector<XDomElement*> children;
        while (!stack.empty()) {
            const XDomElement* e = stack.back();
            stack.pop_back();
            children.clear();
            for (XDomElement* c = Ctx::FirstChildElement(e); c; c = Ctx::NextSiblingElement(c))
                children.push_back(c);
            // Document order: the first child is handled first.
            for (auto it = children.rbegin(); it != children.rend(); ++it)
                stack.push_back(*it);
            if (e != root) out.push_back(const_cast<XDomElement*>(e));
        }
    }
    Found property[16];
    Found method[16];
};

} // namespace

std::string OperationName(uint32_t opType, uint8_t functionType) {
    if (opType > 15) return std::string();
    if (functionType == kFunctionProperty) return kPropertyOpNames[opType];
    if (functionType == kFunctionMethod) return kMethodOpNames[opType];
    return std::string();
}

// --- YMTOperation --------------------------------------------------------------

YMTOperation::YMTOperation() {
    m_BytesInMsg = 1;
}

YMTParam* YMTOperation::ParamAt(uint32_t position) const {
    YMTNode* n = GetAt(position);
    return (n && IsParamNodeType(n->NodeType())) ? static_cast<YMTParam*>(n) : nullptr;
}

template <class Ar> void YMTOperation::SerializeFields(Ar& ar) {
    SerializeNodeFields(ar);
    ar.Serialize32(OpType);
    ar.SerializeList(*this, YMTListKind::Params);
}

void YMTOperation::Serialize(YMTArchive& ar) {
    SerializeFields(ar);
}

void YMTOperation::Read(YMTRecordReader& ar) {
    SerializeFields(ar);
}

bool YMTOperation::Dump(YImportContext& ctx, YImportLog& log) {
    DumpLine(log, "OPERATION: " + m_Texts.Name());
    DumpLine(log, StrFormat(".OpType: %d", static_cast<int>(OpType)));
    DumpBase(log);
    DumpAll(ctx, log);
    return true;
}

bool YMTOperation::CopyFrom(const YMTNode* source) {
    if (!YMTNode::CopyFrom(source)) return false;
    const auto* op = static_cast<const YMTOperation*>(source);
    OpType = op->OpType;
    return YMTChildList::CopyFrom(*op, this);
}

YMTNode* YMTOperation::Clone() const {
    auto* copy = new YMTOperation();
    if (!copy->CopyFrom(this)) {
        delete copy;
        return nullptr;
    }
    return copy;
}

bool YMTOperation::Check(YImportContext& ctx, YImportLog& log) {
    YMTNode::Check(ctx, log);

    // Void parameters only mark an empty payload; they never survive.
    for (uint32_t i = 0; i < GetSize(); ++i)
        if (YMTNode* n = GetAt(i); n && n->NodeType() == kNodeVoid) RemoveRange(i, i);

    if (!CheckAll(ctx, log)) return false;

    uint32_t gapAt = 0;
    if (FindNextAfterGap(gapAt, GetAt(0) ? 0 : 1)) {
        YMTNode* function = Parent();
        if (function && StartsWith(function->NameRef(), kErrorTemplatePrefix)) return true;
        log.LogWarning(102,
                       StrFormat("Gap in parameter set before parameter '%s'",
                                 GetAt(gapAt)->NameRef().c_str()),
                       PathName(), 5);
    }

    Compact();
    for (uint32_t i = 1; i < GetSize(); ++i)
        ParamAt(i)->SetParamPos(static_cast<uint16_t>(i));

    // Layout: every parameter learns its bit offset from the start of the
    // payload, up to and including the first one without a fixed width.
    uint32_t offset = 0;
    for (uint32_t i = 1; i < GetSize(); ++i) {
        YMTParam* p = ParamAt(i);
        p->SetMsgBitPos(offset);
        uint32_t width = p->BitWidth();
        if (width == kNoBitWidth) break;
        offset += width;
    }

    for (uint32_t i = 1; i + 1 < GetSize(); ++i) {
        YMTParam* p = ParamAt(i);
        if (!p->HasUnspecifiedLength()) continue;
        YMTParam* next = ParamAt(i + 1);
        log.LogWarning(208,
                       StrFormat("Parameter '%s' follows a parameter with unspecified length "
                                 "('%s'). Message may not disassemble properly.",
                                 next->NameRef().c_str(), p->NameRef().c_str()),
                       PathName(), 5);
        break;
    }
    return true;
}

bool YMTOperation::MergeFrom(const YMTOperation* source, YImportLog& log) {
    if (!source || source->OpType != OpType) return false;
    for (uint32_t i = 0; i < source->GetSize(); ++i) {
        const YMTParam* p = source->ParamAt(i);
        if (!p) continue;
        if (GetAt(i)) {
            log.LogError(104,
                         StrFormat("Position %d of '%s' already occupied", static_cast<int>(i),
                                   m_Texts.Name().c_str()),
                         PathName());
            return false;
        }
        YMTParam* clone = CloneParam(p);
        if (!clone) {
            log.LogError(105, StrFormat("Merge of '%s' failed", p->NameRef().c_str()), PathName());
            return false;
        }
        clone->SetParent(this);
        SetAt(clone, i);
    }
    return true;
}

uint32_t YMTOperation::GetSubItemList(uint32_t itemType, YMTNode* const** items, uint32_t* count) {
    return SubItems(itemType, kItemParam, items, count);
}

uint32_t YMTOperation::GetAttrStr(uint32_t attr, const char** value) {
    if (attr == 3) {
        *value = m_Texts.Name().c_str();
        return kAttrOk;
    }
    return kAttrNotAvailable;
}

uint32_t YMTOperation::GetAttrInt(uint32_t attr, uint32_t* value) {
    switch (attr) {
    case 0:
        *value = kItemOperation;
        return kAttrOk;
    case 4:
    case 401:
        *value = OpType;
        return kAttrOk;
    default:
        return YMTNode::GetAttrInt(attr, value);
    }
}

// --- parameter assignment --------------------------------------------------------

bool ImportParams(YMTFunction& function, const XDomElement* element, YImportContext& ctx,
                  YImportLog& log) {
    const XDomElement* classElement = nullptr;
    int k = 0;
    for (; k < 12; ++k)
        if ((classElement = Ctx::FirstChildElement(element, kClassElements[k]))) break;
    if (!classElement) {
        log.LogError(150, "No matching sub element found", function.PathName());
        return false;
    }
    for (const XDomElement* p = Ctx::FirstChildElement(classElement, kParamElements[k]); p;
         p = Ctx::NextSiblingElement(p, kParamElements[k]))
        ImportParamElement(function, p, ctx, log);

    for (const XDomElement* e = Ctx::FirstChildElement(classElement, "ERParam"); e;
         e = Ctx::NextSiblingElement(e, "ERParam")) {
        std::string ref;
        if (Ctx::GetAttr(e, "ParamDefId", ref) || Ctx::GetAttr(e, "ParamDefRef", ref)) {
            std::string name = kErrorTemplatePrefix + ref;
            YMTNode* t = ctx.FindTemplate(name);
            if (t && t->NodeType() == kNodeFunction) {
                if (!MergeTemplate(function, *static_cast<YMTFunction*>(t), log))
                    log.LogError(127, StrFormat("Merge of '%s' failed", name.c_str()),
                                 function.PathName());
            } else {
                log.LogError(126,
                             StrFormat("Can not find definition of function '%s'", name.c_str()),
                             function.PathName());
            }
            continue;
        }
        if (!ImportParamElement(function, e, ctx, log)) return false;
    }
    return true;
}

bool ImportParamElement(YMTFunction& function, const XDomElement* element, YImportContext& ctx,
                        YImportLog& log) {
    YMTCatalog* catalog = CatalogOf(function);
    if (!catalog) return false;
    bool errorDefaults = ctx.Settings().useDefaultErrorParameters;
    YMTParam* param = CreateParamFromElement(ctx, element, errorDefaults, function.NameRef());
    std::string tag = Ctx::TagName(element);
    if (!param) {
        log.LogWarning(128, StrFormat("Unknown parameter type in <%s>", tag.c_str()),
                       function.PathName(), 1);
        return false;
    }
    param->SetParent(&function);

    bool imported;
    if (param->NodeType() == kNodeEnum && param->NameRef() == "ErrorCode" && errorDefaults) {
        imported = UseDefaultErrorCode(*catalog, *param, ctx, log);
        if (!imported) {
            delete param;
            return false;
        }
    } else if (param->NodeType() == kNodeDetailedStream && param->NameRef() == "ErrorInfo" &&
               errorDefaults) {
        imported = UseDefaultErrorInfo(*catalog, *param, ctx, log);
        if (!imported) {
            delete param;
            return false;
        }
    } else if (!param->ImportXML(element, ctx, log)) {
        log.LogError(129, StrFormat("Failed to import element <%s>", tag.c_str()),
                     function.PathName());
        delete param;
        return false;
    }

    param->SetParent(&function);
    bool consumed = false;
    bool assigned = AssignParam(function, *param, element, log, &consumed);
    if (!assigned)
        log.LogError(
            130,
            StrFormat("Failed to assign parameter '%s' to operation", param->NameRef().c_str()),
            function.PathName());
    // The operations hold copies; the last one may hold the parameter itself.
    if (!consumed) delete param;
    return assigned;
}

bool AssignParam(YMTFunction& function, YMTParam& param, const XDomElement* element,
                 YImportLog& log, bool* consumed) {
    if (consumed) *consumed = false;
    const XDomElement* holder = nullptr;
    for (const char* name : kOpTypeHolders)
        if ((holder = Ctx::FirstChildElement(element, name))) break;
    if (!holder) return false;

    OpTypeElements found(holder);
    // The last OpType that takes the parameter; it can receive the
    // parameter itself rather than one more copy.
    uint32_t last = 16;
    for (uint32_t t = 0; t < 16; ++t)
        if (found.property[t].count == 1 || found.method[t].count == 1) last = t;
    bool any = false;
    for (uint32_t t = 0; t < 16; ++t) {
        const XDomElement* opElement = nullptr;
        if (found.property[t].count == 1) {
            opElement = found.property[t].first;
            if (function.Type == kFunctionTemplate) function.Type = kFunctionProperty;
        } else if (found.method[t].count == 1) {
            opElement = found.method[t].first;
            if (function.Type == kFunctionTemplate) function.Type = kFunctionMethod;
        } else {
            continue;
        }
        any = true;

        std::string posText = "0";
        Ctx::ChildText(opElement, "ParamPos", posText);
        int64_t pos = 0;
        if (!ReadNumber(posText, pos)) {
            log.LogError(131, StrFormat("Failed to analyze value '%s'", posText.c_str()),
                         function.PathName());
            return false;
        }
        if (pos < 0 || pos >= 256) {
            log.LogError(132, StrFormat("Invalid parameter position %d", static_cast<int>(pos)),
                         function.PathName());
            return false;
        }
        bool moveOriginal = consumed && t == last;
        YMTParam* clone = moveOriginal ? &param : CloneParam(&param);
        if (!clone) {
            log.LogError(133, "Failed to duplicate object", function.PathName());
            return false;
        }
        clone->SetParamPos(static_cast<uint16_t>(pos));

        YMTOperation* op = function.OperationAt(t);
        if (!op) {
            op = new YMTOperation();
            op->SetParent(&function);
            op->SetName(OperationName(t, function.Type));
            op->OpType = t;
            function.SetAt(op, t);
        }
        if (op->GetAt(static_cast<uint32_t>(pos))) {
            log.LogError(134,
                         StrFormat("Position %d of '%s' already occupied", static_cast<int>(pos),
                                   op->NameRef().c_str()),
                         function.PathName());
            if (!moveOriginal) delete clone;
            return false;
        }
        clone->SetParent(op);
        op->SetAt(clone, static_cast<uint32_t>(pos));
        if (moveOriginal) *consumed = true;
    }
    if (!any) {
        log.LogError(135, "Missing OpType info", function.PathName());
        return false;
    }
    return true;
}

bool MergeTemplate(YMTFunction& function, const YMTFunction& templateFunction, YImportLog& log) {
    for (uint32_t i = 0; i < templateFunction.GetSize(); ++i) {
        const YMTOperation* source = templateFunction.OperationAt(i);
        if (!source) continue;
        if (YMTOperation* target = function.OperationAt(i)) {
            if (!target->MergeFrom(source, log)) {
                log.LogError(136, StrFormat("Merge of '%s' failed", source->NameRef().c_str()),
                             function.PathName());
                return false;
            }
            continue;
        }
        auto* clone = static_cast<YMTOperation*>(source->Clone());
        if (!clone) {
            log.LogError(137, StrFormat("Merge of '%s' failed", source->NameRef().c_str()),
                         function.PathName());
            return false;
        }
        clone->SetParent(&function);
        function.SetAt(clone, i);
    }
    return true;
}

const YMTOperationPlan* YMTOperation::MakePlan() const {
    if (!InStorage()) return nullptr;
    const YMTNode* node = this;
    while (node && node->NodeType() != kNodeCatalog)
        node = node->Parent();
    YMTStorage* storage =
        node ? const_cast<YMTCatalog*>(static_cast<const YMTCatalog*>(node))->Storage() : nullptr;
    if (!storage || !storage->Sealed()) return nullptr;
    std::unique_ptr<YMTOperationPlan> plan = YMTOperationPlan::Compile(*this);
    const YMTOperationPlan* made = plan.get();
    storage->Keep(std::move(plan), [&](YMTStorageExtra*) {
        const YMTOperationPlan* expected = nullptr;
        if (m_Plan.compare_exchange_strong(expected, made, std::memory_order_acq_rel)) return true;
        made = expected; // another thread was first
        return false;
    });
    return made;
}

bool YMTOperation::Disassemble(DisasmContext& ctx) {
    if (const YMTOperationPlan* plan = Plan()) return plan->Disassemble(ctx);
    return DisassembleEachParam(ctx);
}

bool YMTOperation::DisassembleEachParam(DisasmContext& ctx) {
    uint32_t pos = 0;
    for (bool more = GetFirstPos(pos); more; more = GetNextPos(pos, pos)) {
        YMTParam* p = ParamAt(pos);
        if (!p) continue;
        if (ctx.EntryLimitReached()) break;
        if (!p->Disassemble(ctx)) return false;
    }
    return true;
}

bool YMTOperation::Assemble(DisasmContext& ctx) {
    uint32_t pos = 0;
    for (bool more = GetFirstPos(pos); more; more = GetNextPos(pos, pos)) {
        YMTParam* p = ParamAt(pos);
        if (!p) continue;
        if (ctx.EntryLimitReached() || !ctx.InputsLeft()) break;
        if (!p->Assemble(ctx)) return false;
    }
    return true;
}

} // namespace mostfcat
