// MD5 digest of a zero-terminated text, as 32 lower-case hexadecimal digits.
// Fingerprints the XML path stored in a cache file's header.
#pragma once

#include <string>

namespace mostfcat {

class YMD5 {
public:
    explicit YMD5(const char* text);
    // The digest as 32 hexadecimal digits; empty when the digest could not be
    // computed.
    const std::string& CheckSum() const { return m_CheckSum; }

private:
    std::string m_CheckSum;
};

} // namespace mostfcat
