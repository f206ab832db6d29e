#include "tree/archive.h"

#include <new>

namespace mostfcat {

bool YMTRecordReader::More(size_t need) {
    return m_Ok && Refill(need);
}

void YMTRecordReader::Short(void* out, size_t size) {
    if (More(size)) {
        std::memcpy(out, m_Pos, size);
        m_Pos += size;
        return;
    }
    // A truncated body fails the load instead of leaving bytes of the next
    // field behind.
    std::memset(out, 0, size);
    SetFailed();
}

const std::string* YMTRecordReader::PooledText(const char* bytes, size_t length) {
    if (!m_Storage) throw std::bad_alloc(); // a reader without storage cannot build texts
    bool hasZero = false;
    uint64_t hash = YStringPool::HashChecked(bytes, length, hasZero);
    if (hasZero) {
        // The text ends at its first zero byte.
        length = size_t(static_cast<const char*>(std::memchr(bytes, 0, length)) - bytes);
        if (length == 0) return &YMTText::Empty();
        hash = YStringPool::Hash(bytes, length);
    }
    return m_Storage->Intern(bytes, length, hash);
}

void YMTRecordReader::SerializeString(std::string& text) {
    uint16_t length = 0;
    Serialize16(length);
    text.clear();
    if (!m_Ok || length == 0) return;
    if (!Have(length)) {
        SetFailed();
        return;
    }
    const char* bytes = reinterpret_cast<const char*>(m_Pos);
    m_Pos += length;
    const void* zero = std::memchr(bytes, 0, length);
    text.assign(bytes, zero ? size_t(static_cast<const char*>(zero) - bytes) : length);
}

void YMTRecordReader::SerializeWords(YMTWords& words) {
    if (!m_Ok) return;
    uint32_t count = 0;
    Serialize32(count);
    if (!m_Ok || count >= 0x10000) {
        SetFailed();
        return;
    }
    if (!Have(size_t(count) * 2)) {
        words.Resize(0);
        SetFailed();
        return;
    }
    uint16_t* out = words.Resize(count);
    for (uint32_t i = 0; i < count; ++i, m_Pos += 2)
        out[i] = static_cast<uint16_t>(m_Pos[0] | (m_Pos[1] << 8));
}

} // namespace mostfcat
