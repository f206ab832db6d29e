#include "platform/md5.h"

#include <openssl/evp.h>

#include <cstring>

namespace mostfcat {

YMD5::YMD5(const char* text) {
    if (!text) text = "";
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (EVP_Digest(text, std::strlen(text), digest, &len, EVP_md5(), nullptr) != 1) return;
    static const char kHex[] = "0123456789abcdef";
    m_CheckSum.reserve(len * 2);
    for (unsigned int i = 0; i < len; ++i) {
        m_CheckSum.push_back(kHex[digest[i] >> 4]);
        m_CheckSum.push_back(kHex[digest[i] & 0xF]);
    }
}

} // namespace mostfcat
