#include "decoding/value_text.h"

namespace mostfcat {

std::string FixedText(int64_t v, unsigned decimals) {
    static const uint64_t kPow10[] = {1, 10, 100, 1000, 10000, 100000};
    if (decimals == 0 || decimals > 5) return IntText(v);
    std::string out;
    uint64_t a = v < 0 ? uint64_t(0) - uint64_t(v) : uint64_t(v);
    if (v < 0) out.push_back('-');
    AppendUInt(out, a / kPow10[decimals]);
    out.push_back('.');
    std::string frac = UIntText(a % kPow10[decimals]);
    out.append(decimals - frac.size(), '0');
    out += frac;
    return out;
}

} // namespace mostfcat
