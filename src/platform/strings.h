// Narrow-string helpers shared by every layer: printf-style formatting,
// comparisons that ignore letter case, the ASCII test, trimming and the
// printable test.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

namespace mostfcat {

// printf-style formatting into a std::string.
std::string StrFormat(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string StrFormatV(const char* fmt, va_list args);

// ASCII letter-case folding; bytes above 127 are left alone.
inline char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}
inline char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}
std::string ToLower(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);
// Ordering that ignores letter case (for ordered containers keyed by names).
int CompareNoCase(std::string_view a, std::string_view b);
bool StartsWith(std::string_view s, std::string_view prefix);

// True when every byte is below 0x80 (one pass without early exit, so the
// compiler can check many bytes at once).
inline bool IsAscii(std::string_view text) {
    unsigned char any = 0;
    for (char c : text)
        any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

// Strips blanks, tabs, carriage returns and line feeds at both ends.
std::string Trim(std::string_view s);

// A character of the 8-bit code page that can be shown: the printable ASCII
// range and the printable upper half of Latin-1.
inline bool IsPrintable8(unsigned char c) {
    return (c >= 0x20 && c < 0x7F) || c >= 0xA0;
}
// Keeps the printable characters only and cuts the result to maxLen.
std::string KeepPrintable(std::string_view s, size_t maxLen);

} // namespace mostfcat
