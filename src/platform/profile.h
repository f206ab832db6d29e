// INI profile reading with the semantics of the classic private-profile
// functions: sections and keys compared ignoring letter case, the first
// occurrence of a key wins, the default when a key (or the file) is missing,
// strings cut to the caller's buffer size, integers as an optional sign and
// decimal digits or a "0x" hexadecimal number.
#pragma once

#include <cstddef>
#include <map>
#include <string>

namespace mostfcat {

class YIniFile {
public:
    // Reads the file; false when it cannot be read (every lookup then gives
    // its default).
    bool Load(const std::string& path);
    // Parses INI text held in memory (used by tests and by Load).
    bool LoadText(const std::string& text);

    bool HasKey(const std::string& section, const std::string& key) const;
    // The value, or the default, cut to bufferSize - 1 characters.
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue, size_t bufferSize) const;
    long long GetInt(const std::string& section, const std::string& key,
                     long long defaultValue) const;

private:
    const std::string* Find(const std::string& section, const std::string& key) const;
    std::map<std::string, std::map<std::string, std::string>> m_Sections; // lower-cased names
};

// Reads a profile integer value text: optional blanks, an optional sign, then
// "0x" and hexadecimal digits or decimal digits; reading stops at the first
// other character. A text without digits reads as 0.
long long ParseProfileInt(const std::string& text);

// One-shot forms that read the file on every call, like the platform
// functions they replace.
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, size_t bufferSize,
                                    const std::string& file);
long long GetPrivateProfileInt(const std::string& section, const std::string& key,
                               long long defaultValue, const std::string& file);

} // namespace mostfcat
