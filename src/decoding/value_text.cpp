#include "decoding/value_text.h"

#include <cmath>

namespace mostfcat {

namespace {

const uint64_t kPow10[] = {1, 10, 100, 1000, 10000, 100000};

} // namespace

void AppendFixed(std::string& out, int64_t v, unsigned decimals) {
    if (decimals == 0 || decimals > 5) {
        AppendInt(out, v);
        return;
    }
    uint64_t a = v < 0 ? uint64_t(0) - uint64_t(v) : uint64_t(v);
    if (v < 0) out.push_back('-');
    AppendUInt(out, a / kPow10[decimals]);
    out.push_back('.');
    char digits[8];
    uint64_t frac = a % kPow10[decimals];
    for (unsigned i = decimals; i-- > 0; frac /= 10)
        digits[i] = static_cast<char>('0' + frac % 10);
    out.append(digits, decimals);
}

std::string FixedText(int64_t v, unsigned decimals) {
    std::string out;
    AppendFixed(out, v, decimals);
    return out;
}

void AppendGeneral(std::string& out, double v) {
    // Six decimals in either form, as the printf conversions give them; the
    // largest doubles need 309 digits before the point.
    char buf[352];
    double a = std::fabs(v);
    auto form = a > 0.1 && a < 10 ? std::chars_format::fixed : std::chars_format::scientific;
    auto r = std::to_chars(buf, buf + sizeof buf, v, form, 6);
    out.append(buf, r.ptr);
}

void AppendScaled(std::string& out, int64_t raw, int32_t exponent, double scale) {
    if (exponent >= -5 && exponent <= -1)
        AppendFixed(out, raw, static_cast<unsigned>(-exponent));
    else if (exponent >= 0 && exponent <= 5)
        AppendInt(out, raw * static_cast<int64_t>(kPow10[exponent]));
    else
        AppendGeneral(out, static_cast<double>(raw) * scale);
}

} // namespace mostfcat
