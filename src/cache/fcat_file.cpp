#include "cache/fcat_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/md5.h"
#include "platform/paths.h"
#include "platform/strings.h"

namespace mostfcat {

namespace {

// The file body is copied into memory in pieces of this size.
constexpr size_t kLoadChunk = 4069;
constexpr size_t kDefaultGrowBytes = 4096;

void PutLE32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

void PutLE64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

uint32_t GetLE32(const uint8_t* p) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

uint64_t GetLE64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

uint32_t ClampU32(uint64_t v) {
    return v > UINT32_MAX ? UINT32_MAX : uint32_t(v);
}

} // namespace

YFCatFile::YFCatFile(const std::string& path, bool noCache, const uint8_t* image,
                     uint32_t imageSize) {
    std::string full = FullPath(path);
    YPathParts parts = SplitPath(full);
    if (!full.empty()) {
        if (EqualsNoCase(parts.extension, ".xml")) {
            m_XmlPath = full;
            m_CachePath = MakePath(parts.drive, parts.directory, parts.name, ".vfc");
        } else if (EqualsNoCase(parts.extension, ".vfc")) {
            m_CachePath = full;
            m_XmlPath = MakePath(parts.drive, parts.directory, parts.name, ".xml");
        }
    }
    m_Checksum = YMD5(m_XmlPath.c_str()).CheckSum();
    m_CacheName = parts.name + ".vfc";

    if (!noCache) {
        YFileStatus st;
        if (GetFileStatus(m_XmlPath, st)) {
            // The header holds the size in 32 bits; larger files compare as
            // the largest value on both sides.
            m_XmlSize = ClampU32(st.size);
            m_XmlTime = st.modTime;
        }
    }

    // A null image cannot be read whatever size comes with it.
    if (image && imageSize > 0) {
        m_Memory = std::make_unique<YMemFile>();
        m_Memory->Attach(image, imageSize);
        m_CacheSize = imageSize;
        m_Mode = kModeImage;
        // The time is taken only from an image that holds a whole header; a
        // shorter one fails the header check anyway.
        m_XmlTime = imageSize >= kHeaderSize ? GetLE64(image + kOffXmlTime) : 0;
    } else if (noCache) {
        m_Mode = kModeNoCache;
    } else {
        YFileStatus st;
        if (GetFileStatus(m_CachePath, st)) m_CacheSize = ClampU32(st.size);
        m_Memory = std::make_unique<YMemFile>(m_CacheSize ? m_CacheSize : kDefaultGrowBytes);
    }
}

YFCatFile::~YFCatFile() {
    // Closing without Close() flushes nothing; the memory object never frees
    // a caller's image, whatever Mode says by now.
    CloseFile();
}

bool YFCatFile::IsUpToDate(uint64_t xmlTime) const {
    return xmlTime == m_XmlTime || m_Mode == kModeNoCache;
}

void YFCatFile::CloseFile() {
    if (m_File) {
        std::fclose(m_File);
        m_File = nullptr;
    }
}

void YFCatFile::ResetMemory() {
    m_Memory = std::make_unique<YMemFile>(m_CacheSize ? m_CacheSize : kDefaultGrowBytes);
}

void YFCatFile::EmptyCacheFile() {
    if (m_CachePath.empty()) return;
    if (FILE* f = std::fopen(m_CachePath.c_str(), "wb")) std::fclose(f);
    m_CacheSize = 0;
}

void YFCatFile::MakeHeader(uint8_t (&header)[kHeaderSize], uint8_t useDefaultErrorParameters,
                           uint32_t options) const {
    std::memset(header, 0, kHeaderSize);
    std::memcpy(header + kOffMagic, kMagic, std::strlen(kMagic)); // zero follows from memset
    PutLE32(header + kOffVersion, kFormatVersion);
    PutLE32(header + kOffOptions, options);
    header[kOffDefaultErrorParams] = useDefaultErrorParameters;
    // The field keeps room for its terminator.
    size_t n = m_Checksum.size() < kChecksumField - 1 ? m_Checksum.size() : kChecksumField - 1;
    std::memcpy(header + kOffChecksum, m_Checksum.data(), n);
    PutLE32(header + kOffXmlSize, m_XmlSize);
    PutLE64(header + kOffXmlTime, m_XmlTime);
}

uint32_t YFCatFile::CheckHeader(const uint8_t (&header)[kHeaderSize], bool verifySource,
                                uint8_t useDefaultErrorParameters, uint32_t options) const {
    const size_t magicLen = std::strlen(kMagic);
    if (std::memcmp(header + kOffMagic, kMagic, magicLen) != 0 || header[kOffMagic + magicLen] != 0)
        return kErrMagic;
    if (GetLE32(header + kOffVersion) != kFormatVersion) return kErrVersion;
    if (GetLE32(header + kOffOptions) != options) return kErrOptions;
    if (header[kOffDefaultErrorParams] != useDefaultErrorParameters) return kErrDefaultErrorParams;
    if (verifySource) {
        // The text must end inside its field; one that does not is refused
        // rather than read into the following fields.
        const char* text = reinterpret_cast<const char*>(header + kOffChecksum);
        const void* end = std::memchr(text, 0, kChecksumField);
        if (!end) return kErrChecksum;
        std::string_view stored(text, size_t(static_cast<const char*>(end) - text));
        if (!EqualsNoCase(stored, m_Checksum)) return kErrChecksum;
        if (m_Mode != kModeImage) {
            if (GetLE32(header + kOffXmlSize) != m_XmlSize) return kErrXmlSize;
            if (GetLE64(header + kOffXmlTime) != m_XmlTime) return kErrXmlTime;
        }
    }
    return 0;
}

bool YFCatFile::OpenRead(bool verifySource, uint8_t useDefaultErrorParameters, uint32_t options) {
    // Any file left open by an earlier open is closed, whatever the mode.
    CloseFile();
    m_Open = false;
    m_WriteFailed = false;
    m_Error = kErrOpening;
    m_Direction = 0;

    // Without a cache nothing is read, not even an existing file.
    if (m_Mode == kModeNoCache) return false;
    // A failed load must not leave an earlier or partial image behind.
    if (m_Mode == kModeMemory) ResetMemory();

    uint8_t header[kHeaderSize];
    if (m_Mode == kModeImage) {
        if (!m_Memory || m_Memory->Length() == 0) {
            m_Error = kErrNoSource;
            return false;
        }
        m_Memory->SeekToBegin();
        if (m_Memory->Read(header, kHeaderSize) != kHeaderSize) {
            m_Error = kErrImageShort;
            return false;
        }
    } else {
        if (m_CachePath.empty()) return false;
        m_File = std::fopen(m_CachePath.c_str(), "rb");
        if (!m_File || m_CacheSize == 0) return false;
        if (std::fread(header, 1, kHeaderSize, m_File) != kHeaderSize) {
            m_Error = kErrFileShort;
            return false;
        }
    }

    uint32_t err = CheckHeader(header, verifySource, useDefaultErrorParameters, options);
    if (err != 0) {
        m_Error = err;
        return false;
    }

    if (m_Mode == kModeMemory) {
        if (!m_Memory->Write(header, kHeaderSize) || !LoadFileIntoMemory()) {
            ResetMemory();
            m_Error = kErrFileShort;
            return false;
        }
        // Callers take CacheSize as the image length: it must be the length
        // actually loaded, even when the file changed since construction.
        m_CacheSize = ClampU32(m_Memory->Length());
        m_Memory->Seek(kHeaderSize);
    }

    m_Error = 0;
    m_Open = true;
    return true;
}

bool YFCatFile::LoadFileIntoMemory() {
    uint8_t chunk[kLoadChunk];
    for (;;) {
        size_t n = std::fread(chunk, 1, kLoadChunk, m_File);
        if (n > 0 && !m_Memory->Write(chunk, n)) return false;
        if (n < kLoadChunk) return !std::ferror(m_File);
    }
}

bool YFCatFile::OpenWrite(uint8_t useDefaultErrorParameters, uint32_t options) {
    CloseFile();
    m_Open = false;
    m_WriteFailed = false;
    m_Error = kErrOpening;
    m_Direction = 1;

    // Without a cache the existing file is left alone instead of being
    // truncated for nothing.
    if (m_Mode == kModeNoCache || m_CachePath.empty()) return false;
    if (m_Mode == kModeMemory) ResetMemory();

    m_File = std::fopen(m_CachePath.c_str(), "wb");
    if (!m_File) return false;

    if (m_Mode == kModeFile || m_Mode == kModeMemory) {
        uint8_t header[kHeaderSize];
        MakeHeader(header, useDefaultErrorParameters, options);
        if (m_Mode == kModeFile) {
            if (std::fwrite(header, 1, kHeaderSize, m_File) != kHeaderSize) {
                m_Error = kErrWriteShort;
                return false;
            }
        } else if (!m_Memory->Write(header, kHeaderSize)) {
            return false;
        }
    }

    m_Error = 0;
    m_Open = true;
    return true;
}

size_t YFCatFile::Read(void* buffer, size_t elemSize, size_t count) {
    if (!buffer || elemSize == 0 || count == 0) return 0;
    if (m_Mode == kModeFile) {
        size_t n = m_File ? std::fread(buffer, elemSize, count, m_File) : 0;
        if (n < count) m_Error = kErrFileShort;
        return n;
    }
    size_t bytes = 0;
    if (!m_Memory || __builtin_mul_overflow(elemSize, count, &bytes)) {
        m_Error = kErrImageShort;
        return 0;
    }
    size_t got = m_Memory->Read(buffer, bytes);
    if (got < bytes) m_Error = kErrImageShort;
    return got / elemSize;
}

size_t YFCatFile::Write(const void* buffer, size_t elemSize, size_t count) {
    if (elemSize == 0 || count == 0) return 0;
    size_t bytes = 0;
    if (!buffer || __builtin_mul_overflow(elemSize, count, &bytes)) {
        m_WriteFailed = true;
        if (m_Mode == kModeFile) m_Error = kErrWriteShort;
        return 0;
    }
    if (m_Mode == kModeFile) {
        size_t n = m_File ? std::fwrite(buffer, elemSize, count, m_File) : 0;
        if (n < count) {
            m_Error = kErrWriteShort;
            m_WriteFailed = true;
        }
        return n;
    }
    // Memory writes are all or nothing; a lost write is remembered so that
    // Close does not flush an incomplete image.
    if (!m_Memory || !m_Memory->Write(buffer, bytes)) {
        m_WriteFailed = true;
        return 0;
    }
    return count;
}

bool YFCatFile::Close() {
    const bool wasOpen = m_Open;
    m_Open = false;
    if (!wasOpen) {
        // Nothing was opened successfully: an earlier failure stays reported.
        CloseFile();
        return m_Error == 0;
    }
    if (m_Direction == 0) {
        CloseFile();
        m_Error = 0;
        return true;
    }

    // Writing. Everything buffered must reach the file before success is
    // reported; stdio may find a full disk only when it flushes.
    const bool flushImage = m_Mode == kModeMemory || m_Mode == kModeImage;
    bool ok = !m_WriteFailed && m_File;
    if (ok && flushImage) {
        // An image that lost a write is incomplete and is not flushed.
        size_t len = m_Memory ? m_Memory->Length() : 0;
        size_t n = len ? std::fwrite(m_Memory->Data(), 1, len, m_File) : 0;
        m_CacheSize = ClampU32(n);
        ok = n == len;
    }
    if (ok && std::fflush(m_File) != 0) ok = false;
    if (m_File && std::fclose(m_File) != 0) ok = false;
    m_File = nullptr;
    if (!ok) {
        m_Error = flushImage ? kErrFlushShort : kErrWriteShort;
        // A header must never vouch for a body that is not all there.
        EmptyCacheFile();
        return false;
    }
    m_Error = 0;
    return true;
}

namespace {

// The window through which a cache file's body is read: it stays in the
// processor's second-level cache while the reader goes through it.
#ifdef MOSTFCAT_SMALL_CACHE_WINDOW
constexpr size_t kWindowSize = 61;
#else
constexpr size_t kWindowSize = 256 * 1024;
#endif

} // namespace

bool YFCatFile::ReadRest(const uint8_t*& data, size_t& size) {
    data = nullptr;
    size = 0;
    m_RestUnread = 0;
    if (!m_Open || m_Direction != 0) return false;
    if (m_Mode != kModeFile) {
        if (!m_Memory) return false;
        size_t at = m_Memory->Position();
        size_t length = m_Memory->Length();
        data = m_Memory->Data() + (at < length ? at : length);
        size = at < length ? length - at : 0;
        m_Memory->Seek(length);
        return true;
    }
    if (!m_File) return false;
    // The file's size now, not at construction: it may have changed since.
    struct stat st;
    long at = std::ftell(m_File);
    if (fstat(fileno(m_File), &st) != 0 || at < 0) return false;
    m_RestUnread = st.st_size > at ? size_t(st.st_size - at) : 0;
    const uint8_t* end = nullptr;
    MoreRest(data, end, 0);
    size = size_t(end - data);
    return true;
}

bool YFCatFile::MoreRest(const uint8_t*& pos, const uint8_t*& end, size_t need) {
    size_t keep = pos && end > pos ? size_t(end - pos) : 0;
    if (m_RestUnread == 0 || !m_File) return keep >= need;
    // What is left of the window goes to its start (it lies in the window,
    // or is nothing on the first call).
    if (keep) std::memmove(m_Window.data(), pos, keep);
    size_t capacity = std::max(kWindowSize, need);
    if (m_Window.size() < capacity) m_Window.resize(capacity);
    size_t want = std::min(m_RestUnread, capacity - keep);
    size_t got = std::fread(m_Window.data() + keep, 1, want, m_File);
    m_RestUnread -= got;
    if (got < want) {
        // The file ended before its size said: what is there is all there is.
        m_Error = kErrFileShort;
        m_RestUnread = 0;
    }
    pos = m_Window.data();
    end = pos + keep + got;
    return keep + got >= need;
}

const uint8_t* YFCatFile::DetachImage() const {
    if (!m_Memory || m_Memory->Length() == 0) return nullptr;
    return m_Memory->Data();
}

} // namespace mostfcat
