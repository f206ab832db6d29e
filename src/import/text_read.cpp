#include "import/text_read.h"

#include <utility>

#include "platform/strings.h"

namespace mostfcat {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = LowerAscii(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool ReadHexDigits(const std::string& s, size_t from, uint64_t& out) {
    uint64_t v = 0;
    for (size_t i = from; i < s.size(); ++i) {
        int d = HexDigit(s[i]);
        if (d < 0 || (v >> 60) != 0) return false; // unknown digit or too many for 64 bits
        v = (v << 4) | static_cast<uint64_t>(d);
    }
    out = v;
    return true;
}

bool ReadBinaryDigits(const std::string& s, size_t from, uint64_t& out) {
    uint64_t v = 0;
    for (size_t i = from; i < s.size(); ++i) {
        char c = s[i];
        if (c == ' ' || c == '\t') continue;
        if ((c != '0' && c != '1') || (v >> 63) != 0) return false;
        v = (v << 1) | static_cast<uint64_t>(c - '0');
    }
    out = v;
    return true;
}

// An optional "-" followed by at least one decimal digit; the digits stop at
// the first other character, as a scanf-style read would.
bool ReadDecimalPrefix(const std::string& s, int64_t& out) {
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && s[i] == '-') {
        negative = true;
        ++i;
    }
    if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
    uint64_t v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        uint64_t d = uint64_t(s[i] - '0');
        if (v > (uint64_t(INT64_MAX) - d) / 10) return false; // does not fit a signed 64-bit value
        v = v * 10 + d;
    }
    out = static_cast<int64_t>(negative ? 0 - v : v);
    return true;
}

} // namespace

bool ReadNumber(const std::string& text, int64_t& value) {
    std::string s = ToLower(Trim(text));
    size_t x = s.find("0x");
    if (x != std::string::npos) {
        uint64_t v = 0;
        if (!ReadHexDigits(s, x + 2, v)) return false;
        value = static_cast<int64_t>(v);
        return true;
    }
    size_t b = s.find("0b");
    if (b != std::string::npos) {
        uint64_t v = 0;
        if (!ReadBinaryDigits(s, b + 2, v)) return false;
        value = static_cast<int64_t>(v);
        return true;
    }
    if (s.empty()) {
        value = 0;
        return true;
    }
    if (s.find_first_not_of("-0123456789") != std::string::npos) return false;
    return ReadDecimalPrefix(s, value);
}

bool ReadRangeValue(const std::string& text, int64_t& value) {
    std::string s = ToLower(Trim(text));
    if (s.empty()) return false;
    if (StartsWith(s, "0x")) {
        uint64_t v = 0;
        if (s.size() == 2 || !ReadHexDigits(s, 2, v) || v > uint64_t(INT64_MAX)) return false;
        value = static_cast<int64_t>(v);
        return true;
    }
    if (StartsWith(s, "0b")) {
        uint64_t v = 0;
        if (s.size() == 2 || !ReadBinaryDigits(s, 2, v) || v > uint64_t(INT64_MAX)) return false;
        value = static_cast<int64_t>(v);
        return true;
    }
    size_t i = (s[0] == '-') ? 1 : 0;
    if (i >= s.size() || s.find_first_not_of("0123456789", i) != std::string::npos) return false;
    return ReadDecimalPrefix(s, value);
}

bool ReadCodeRange(const std::string& text, YCodeRange& range) {
    std::string t = Trim(text);
    if (EqualsNoCase(t, "#NULL#")) {
        range.min = range.max = 0;
        return true;
    }
    if (t.find_first_of("-0123456789") == std::string::npos) return false;
    size_t gt = t.find('>');
    if (gt != std::string::npos) {
        int64_t lo = 0;
        if (!ReadRangeValue(t.substr(gt + 1), lo)) return false;
        range.min = lo;
        range.max = 0x7FFFFFFF;
        return true;
    }
    size_t dots = t.find("..");
    if (dots != std::string::npos) {
        size_t after = dots + 2;
        if (after < t.size() && t[after] == '.') ++after;
        std::string lower = Trim(t.substr(0, dots));
        std::string upper = Trim(t.substr(after));
        if (StartsWith(ToLower(lower), "0x") && !StartsWith(ToLower(upper), "0x"))
            upper = "0x" + upper;
        int64_t lo = 0, hi = 0;
        if (!ReadRangeValue(lower, lo) || !ReadRangeValue(upper, hi)) return false;
        if (lo > hi) std::swap(lo, hi);
        range.min = lo;
        range.max = hi;
        return true;
    }
    int64_t v = 0;
    if (!ReadRangeValue(t, v)) return false;
    range.min = range.max = v;
    return true;
}

} // namespace mostfcat
