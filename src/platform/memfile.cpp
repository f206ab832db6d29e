#include "platform/memfile.h"

#include <cstring>
#include <new>

namespace mostfcat {

YMemFile::YMemFile(size_t growBytes) : m_GrowBytes(growBytes ? growBytes : 4096) {}

YMemFile::~YMemFile() = default;

void YMemFile::Attach(const uint8_t* buffer, size_t size) {
    m_Owned.clear();
    m_Owned.shrink_to_fit();
    m_Data = buffer;
    m_Length = buffer ? size : 0;
    m_Position = 0;
    m_Attached = true;
}

void YMemFile::Detach() {
    if (!m_Attached) return;
    m_Data = nullptr;
    m_Length = 0;
    m_Position = 0;
    m_Attached = false;
}

size_t YMemFile::Read(void* dest, size_t count) {
    if (!dest || count == 0 || m_Position >= m_Length) return 0;
    size_t n = m_Length - m_Position;
    if (n > count) n = count;
    std::memcpy(dest, m_Data + m_Position, n);
    m_Position += n;
    return n;
}

bool YMemFile::Grow(size_t need) {
    if (need <= m_Owned.size()) return true;
    size_t size = m_Owned.size();
    while (size < need)
        size += m_GrowBytes;
    try {
        m_Owned.resize(size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_Data = m_Owned.data();
    return true;
}

bool YMemFile::Write(const void* src, size_t count) {
    if (count == 0) return true;
    if (!src || m_Attached) return false;
    if (m_Position + count < m_Position) return false;
    if (!Grow(m_Position + count)) return false;
    std::memcpy(m_Owned.data() + m_Position, src, count);
    m_Position += count;
    if (m_Position > m_Length) m_Length = m_Position;
    return true;
}

bool YMemFile::Seek(size_t position) {
    if (position > m_Length) return false;
    m_Position = position;
    return true;
}

} // namespace mostfcat
