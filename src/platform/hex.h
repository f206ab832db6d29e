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

} // namespace hex_detail

// The two upper-case hex digits of a byte ("%02X"), from the table (inline:
// writers call it for every byte).
inline const char* HexPair(unsigned char b) {
    return hex_detail::kHexTable.text[b];
}
// Appends the condensed hex text of count bytes.
void AppendHex(std::string& out, const unsigned char* p, size_t count);
// The value of a hex digit, or -1.
int HexDigit(char c);

} // namespace mostfcat
