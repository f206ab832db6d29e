// A growable byte buffer with a read/write position: the in-memory transport
// of cache images. It either owns its buffer (and grows it in steps) or reads
// a caller's buffer in place without growing or freeing it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mostfcat {

class YMemFile {
public:
    explicit YMemFile(size_t growBytes = 4096);
    ~YMemFile();
    YMemFile(const YMemFile&) = delete;
    YMemFile& operator=(const YMemFile&) = delete;

    // Reads a caller's buffer in place (writes to it are refused); the object neither
    // grows nor frees it. Any owned buffer is released first.
    void Attach(const uint8_t* buffer, size_t size);
    // Gives up a caller's buffer attached with Attach and empties the object.
    void Detach();

    size_t Read(void* dest, size_t count);
    // Appends or overwrites at the position; false when an attached caller's
    // buffer would have to grow, or memory runs out.
    bool Write(const void* src, size_t count);
    void SeekToBegin() { m_Position = 0; }
    bool Seek(size_t position);
    size_t Position() const { return m_Position; }
    size_t Length() const { return m_Length; }
    const uint8_t* Data() const { return m_Data; }
    bool IsAttached() const { return m_Attached; }

private:
    bool Grow(size_t need);

    std::vector<uint8_t> m_Owned;
    const uint8_t* m_Data = nullptr;
    size_t m_Length = 0;
    size_t m_Position = 0;
    size_t m_GrowBytes;
    bool m_Attached = false;
};

} // namespace mostfcat
