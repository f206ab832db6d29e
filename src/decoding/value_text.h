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
std::string FixedText(int64_t v, unsigned decimals);

// Big-endian unsigned reading of up to 8 bytes (more bytes keep the last 8).
inline uint64_t ReadBigEndian(const uint8_t* p, size_t n) {
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return v;
}

} // namespace mostfcat
