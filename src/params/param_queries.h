// Read-only queries over the parameters of operations and functions.
#pragma once

#include <cstdint>
#include <string>

namespace mostfcat {

class YMTFunction;
class YMTOperation;
class YMTParam;

YMTParam* ParamAt(const YMTOperation& operation, uint32_t position);
// The parameter at position 0, else the one at position 1.
YMTParam* FirstParam(const YMTOperation& operation);
YMTParam* FindParamByName(const YMTOperation& operation, const std::string& name, bool exactCase);
// Whether an operation of the function has a direct parameter of the node type.
bool FunctionHasParamType(const YMTFunction& function, uint32_t nodeType);
bool FirstParamIsVoid(const YMTOperation& operation);

} // namespace mostfcat
