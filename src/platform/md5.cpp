#include "platform/md5.h"

// The small message-digest library: a cache load hashes one path, and
// should not map a whole crypto library for it.
#include <md5.h>

#include <cstring>

namespace mostfcat {

YMD5::YMD5(const char* text) {
    if (!text) text = "";
    MD5_CTX ctx;
    MD5Init(&ctx);
    MD5Update(&ctx, reinterpret_cast<const uint8_t*>(text), std::strlen(text));
    uint8_t digest[MD5_DIGEST_LENGTH];
    MD5Final(digest, &ctx);
    static const char kHex[] = "0123456789abcdef";
    m_CheckSum.reserve(2 * MD5_DIGEST_LENGTH);
    for (uint8_t b : digest) {
        m_CheckSum.push_back(kHex[b >> 4]);
        m_CheckSum.push_back(kHex[b & 0xF]);
    }
}

} // namespace mostfcat
