// Fast hex formatting.
#include "platform/hex.h"

namespace mostfcat {

void AppendHex(std::string& out, const unsigned char* p, size_t count) {
    // Made in a small buffer and appended from it: growing the string first
    // would clear the room it then overwrites.
    char buf[64];
    while (count > 0) {
        const size_t n = count < sizeof buf / 2 ? count : sizeof buf / 2;
        for (size_t i = 0; i < n; ++i) {
            const char* h = HexPair(p[i]);
            buf[2 * i] = h[0];
            buf[2 * i + 1] = h[1];
        }
        out.append(buf, 2 * n);
        p += n;
        count -= n;
    }
}

} // namespace mostfcat
