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
    size_t at = out.size();
    out.resize(at + 2 * count);
    char* d = out.data() + at;
    for (size_t i = 0; i < count; ++i) {
        const char* h = kHexTable.text[p[i]];
        d[2 * i] = h[0];
        d[2 * i + 1] = h[1];
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace mostfcat
