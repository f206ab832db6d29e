#include "values/param_path.h"

namespace mostfcat {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsIdentChar(char c) {
    return IsDigit(c) || c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Reads digits from text[i] up to the closing character; advances i past it.
bool ReadBracketNumber(const std::string& text, size_t& i, char close, uint32_t& out) {
    uint64_t v = 0;
    size_t start = i;
    while (i < text.size() && IsDigit(text[i])) {
        v = v * 10 + uint64_t(text[i] - '0');
        if (v > 0xFFFFFFFFull) return false;
        ++i;
    }
    if (i == start || i >= text.size() || text[i] != close) return false;
    ++i;
    out = static_cast<uint32_t>(v);
    return true;
}

bool ParseComponent(const std::string& text, YPathElement& e) {
    size_t i = 0;
    while (i < text.size() && IsIdentChar(text[i]))
        ++i;
    if (i == 0) return false;
    std::string head = text.substr(0, i);
    bool digits = true;
    for (char c : head)
        digits = digits && IsDigit(c);
    if (digits) {
        if (head.size() > 10) return false;
        uint64_t v = std::stoull(head);
        if (v > 0xFFFFFFFFull) return false;
        e.hasPosition = true;
        e.position = static_cast<uint32_t>(v);
    } else {
        e.name = head;
    }
    if (i < text.size() && text[i] == '[') {
        ++i;
        // 0xFFFFFFFF marks a value without index: no path can name it.
        if (!ReadBracketNumber(text, i, ']', e.index) || e.index == 0xFFFFFFFF) return false;
        e.hasIndex = true;
    }
    if (i < text.size() && text[i] == '(') {
        ++i;
        if (!ReadBracketNumber(text, i, ')', e.caseValue)) return false;
        e.hasCase = true;
    }
    return i == text.size();
}

} // namespace

bool ParseParamPath(const std::string& text, YPathKind kind, YParamPath& out) {
    out.clear();
    if (text.empty()) return false;
    for (char c : text) {
        bool structural = IsDigit(c) || c == '.' || c == '[' || c == ']' || c == '(' || c == ')';
        if (!structural && !(kind == YPathKind::Symbolic && IsIdentChar(c))) return false;
    }
    size_t start = 0;
    while (true) {
        size_t dot = text.find('.', start);
        std::string component =
            text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        YPathElement e;
        if (!ParseComponent(component, e)) {
            out.clear();
            return false;
        }
        if (kind == YPathKind::Numeric && !e.hasPosition) {
            out.clear();
            return false;
        }
        out.push_back(e);
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return true;
}

} // namespace mostfcat
