// Fast number texts for the decoding steps (the same characters as the
// printf conversions they stand for, without a format string to parse).
#pragma once

#include <charconv>
#include <cstdint>
#include <string>

namespace mostfcat {

// "%llu" / "%lld" appended.
inline void AppendUInt(std::string& out, uint64_t v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}
inline void AppendInt(std::string& out, int64_t v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}
inline std::string UIntText(uint64_t v) {
    std::string s;
    AppendUInt(s, v);
    return s;
}
inline std::string IntText(int64_t v) {
    std::string s;
    AppendInt(s, v);
    return s;
}

// v * 10^-decimals printed with that many decimals ("%.<decimals>f" of the
// scaled value; exact because the scaled value has no further digits).
void AppendFixed(std::string& out, int64_t v, unsigned decimals);
std::string FixedText(int64_t v, unsigned decimals);

// "%f" when 0.1 < |v| < 10, else "%e" (the general form of a scaled number).
void AppendGeneral(std::string& out, double v);

// The decimal text of a number's raw value scaled by 10^exponent: fixed
// decimals for exponents -5 to -1, an integer for 0 to 5, else the general
// form of raw * scale (scale being 10^exponent).
void AppendScaled(std::string& out, int64_t raw, int32_t exponent, double scale);

// Big-endian unsigned reading of up to 8 bytes (more bytes keep the last 8).
inline uint64_t ReadBigEndian(const uint8_t* p, size_t n) {
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return v;
}

} // namespace mostfcat
