// Parameter paths: the short ("1.2[3]") and symbolic ("Data.Band[3].Level")
// identifiers of the values of a message instance, split into elements.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mostfcat {

struct YPathElement {
    bool hasPosition = false; // a parameter position (digits) ...
    uint32_t position = 0;
    std::string name;      // ... or a parameter name
    bool hasIndex = false; // "[n]": an array element or a repetition
    uint32_t index = 0;
    bool hasCase = false; // "(n)": the selector value of a stream case
    uint32_t caseValue = 0;
};
using YParamPath = std::vector<YPathElement>;

enum class YPathKind { Numeric, Symbolic };

// Splits a path at "." into elements: a non-empty head (digits: a position;
// identifier characters: a name), then optionally "[digits]", then
// optionally "(digits)", nothing else. A numeric path may hold only
// "0123456789.[]()", a symbolic one also letters and "_". False for any
// other text (empty components, brackets in the wrong order, text after the
// last bracket, numbers beyond 32 bits).
bool ParseParamPath(const std::string& text, YPathKind kind, YParamPath& out);

} // namespace mostfcat
