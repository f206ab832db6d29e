// Fast hex formatting shared by every layer.
#pragma once

#include <cstddef>
#include <string>

namespace mostfcat {

namespace hex_detail {

// The 256 two-digit hex texts, made at compile time.
struct HexTable {
    char text[256][3] = {};
    constexpr HexTable() {
        const char* digits = "0123456789ABCDEF";
        for (int b = 0; b < 256; ++b) {
            text[b][0] = digits[b >> 4];
            text[b][1] = digits[b & 15];
            text[b][2] = '\0';
        }
    }
};

inline constexpr HexTable kHexTable;

// The values of the hex digits, -1 for every other byte, made at compile
// time (line readers look up two digits per payload byte).
struct DigitTable {
    signed char value[256] = {};
    constexpr DigitTable() {
        for (int c = 0; c < 256; ++c)
            value[c] = -1;
        for (int d = 0; d < 10; ++d)
            value['0' + d] = static_cast<signed char>(d);
        for (int d = 0; d < 6; ++d)
            value['A' + d] = value['a' + d] = static_cast<signed char>(10 + d);
    }
};

inline constexpr DigitTable kDigitTable;

} // namespace hex_detail

// The two upper-case hex digits of a byte ("%02X"), from the table (inline:
// writers call it for every byte).
inline const char* HexPair(unsigned char b) {
    return hex_detail::kHexTable.text[b];
}
// Appends the condensed hex text of count bytes.
void AppendHex(std::string& out, const unsigned char* p, size_t count);
// The value of a hex digit, or -1.
inline int HexDigit(char c) {
    return hex_detail::kDigitTable.value[static_cast<unsigned char>(c)];
}

} // namespace mostfcat
