// The table of the 256 two-digit hex texts and fast hex formatting.
#include "platform/hex.h"

namespace mostfcat {

namespace {

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

// Made once when the library is loaded.
constexpr HexTable kHexTable;

} // namespace

const char* HexPair(unsigned char b) {
    return kHexTable.text[b];
}

void AppendHex(std::string& out, const unsigned char* p, size_t count) {
    // Made in a small buffer and appended from it: growing the string first
    // would clear the room it then overwrites.
    char buf[64];
    while (count > 0) {
        const size_t n = count < sizeof buf / 2 ? count : sizeof buf / 2;
        for (size_t i = 0; i < n; ++i) {
            const char* h = kHexTable.text[p[i]];
            buf[2 * i] = h[0];
            buf[2 * i + 1] = h[1];
        }
        out.append(buf, 2 * n);
        p += n;
        count -= n;
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace mostfcat
