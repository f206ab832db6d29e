// The cache file of one catalog: the paths of the XML file and of its ".vfc"
// cache beside it, the 72-byte header that ties a cache to one XML file and
// one set of import options, and the byte transport (the file itself or an
// in-memory image) through which the archives write and read the tree.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/memfile.h"

namespace mostfcat {

class YFCatFile {
public:
    // Transport modes.
    static constexpr uint32_t kModeMemory = 0;  // memory image backed by the file
    static constexpr uint32_t kModeFile = 1;    // straight to and from the file
    static constexpr uint32_t kModeImage = 2;   // a caller's image, read in place
    static constexpr uint32_t kModeNoCache = 3; // no cache at all

    // Error codes; 0 when the last operation succeeded.
    static constexpr uint32_t kErrFileShort = 4;  // file read gave fewer bytes
    static constexpr uint32_t kErrImageShort = 5; // image read gave fewer bytes
    static constexpr uint32_t kErrNoSource = 6;   // memory mode without an image
    static constexpr uint32_t kErrMagic = 7;
    static constexpr uint32_t kErrVersion = 8;
    static constexpr uint32_t kErrOptions = 9;
    static constexpr uint32_t kErrDefaultErrorParams = 10;
    static constexpr uint32_t kErrChecksum = 11;
    static constexpr uint32_t kErrXmlSize = 12;
    static constexpr uint32_t kErrXmlTime = 13;
    static constexpr uint32_t kErrWriteShort = 14; // file write wrote fewer bytes
    static constexpr uint32_t kErrOpening = 16;    // open under way or not completed
    static constexpr uint32_t kErrFlushShort = 17; // memory image not fully flushed

    // Header layout (little-endian).
    static constexpr size_t kHeaderSize = 72;
    static constexpr uint32_t kFormatVersion = 0x03000900;
    static constexpr size_t kOffMagic = 0;
    static constexpr size_t kOffVersion = 12;
    static constexpr size_t kOffOptions = 16;
    static constexpr size_t kOffDefaultErrorParams = 20;
    static constexpr size_t kOffChecksum = 21;
    static constexpr size_t kChecksumField = 35;
    static constexpr size_t kOffXmlSize = 56;
    static constexpr size_t kOffXmlTime = 64;
    static constexpr const char* kMagic = "YMOSTFCATC";

    // path names the XML file or its cache (".xml" or ".vfc", any letter
    // case). With noCache the XML file is not looked at and, unless an image
    // is given, Mode is 3. An image (non-null, size above 0) is read in place
    // in Mode 2; it must outlive this object and is never freed by it.
    YFCatFile(const std::string& path, bool noCache, const uint8_t* image, uint32_t imageSize);
    ~YFCatFile();
    YFCatFile(const YFCatFile&) = delete;
    YFCatFile& operator=(const YFCatFile&) = delete;

    // True when xmlTime is the XML file's recorded time, or in Mode 3.
    bool IsUpToDate(uint64_t xmlTime) const;

    // Opens the cache for reading and checks its header; on success the read
    // position stands right after the header. In Mode 0 the whole file is
    // loaded into memory, which then serves the reads. Mode 3 refuses.
    bool OpenRead(bool verifySource, uint8_t useDefaultErrorParameters, uint32_t options);
    // Creates (truncates) the cache file and writes the header (Mode 1 to the
    // file, Mode 0 into memory; Mode 2 writes no header and flushes the
    // caller's image at Close). Mode 3 refuses and leaves the file alone.
    bool OpenWrite(uint8_t useDefaultErrorParameters, uint32_t options);
    // After OpenRead: the rest of the cache, or its first piece. An image
    // (Modes 0 and 2) is given whole, as a view of the memory. A file is read
    // through a window of a fixed size that MoreRest moves on: the cache
    // reader never looks back, so a load neither holds the whole body nor
    // touches fresh memory for it, and its peak stays near the size of the
    // tree. The bytes stay valid until the next MoreRest or open, or the
    // object's end. False when nothing is open for reading.
    bool ReadRest(const uint8_t*& data, size_t& size);
    // The bytes of the rest not given yet.
    size_t RestUnread() const { return m_RestUnread; }
    // Moves the window on: the bytes from pos to end are kept at its start,
    // followed by the next bytes of the file, at least need of them in all
    // when the file has them. pos and end then bound what the window holds;
    // false when that is less than need.
    bool MoreRest(const uint8_t*& pos, const uint8_t*& end, size_t need);
    // Element-wise transfer; returns the number of whole elements moved.
    size_t Read(void* buffer, size_t elemSize, size_t count);
    size_t Write(const void* buffer, size_t elemSize, size_t count);
    // Flushes the memory image (Modes 0 and 2 when writing) and closes the
    // file. False when anything written since OpenWrite did not reach the
    // file; the cache file is then left empty so it is never taken for valid.
    bool Close();
    // The memory image (it stays with this object); null when there is none
    // or it is empty.
    const uint8_t* DetachImage() const;

    const std::string& CachePath() const { return m_CachePath; }
    const std::string& XmlPath() const { return m_XmlPath; }
    const std::string& CacheName() const { return m_CacheName; }
    const std::string& Checksum() const { return m_Checksum; }
    uint64_t XmlTime() const { return m_XmlTime; }
    uint32_t XmlSize() const { return m_XmlSize; }
    uint32_t CacheSize() const { return m_CacheSize; }
    uint32_t Error() const { return m_Error; }
    uint32_t Mode() const { return m_Mode; }
    // Values other than the four modes are ignored.
    void SetMode(uint32_t mode) {
        if (mode <= kModeNoCache) m_Mode = mode;
    }

private:
    void MakeHeader(uint8_t (&header)[kHeaderSize], uint8_t useDefaultErrorParameters,
                    uint32_t options) const;
    uint32_t CheckHeader(const uint8_t (&header)[kHeaderSize], bool verifySource,
                         uint8_t useDefaultErrorParameters, uint32_t options) const;
    bool LoadFileIntoMemory();
    void ResetMemory();
    void CloseFile();
    void EmptyCacheFile();

    uint32_t m_Mode = kModeFile;
    FILE* m_File = nullptr;
    std::unique_ptr<YMemFile> m_Memory;
    uint32_t m_Direction = 0; // 0 reading, 1 writing
    uint32_t m_Error = 0;
    std::string m_CachePath;
    uint32_t m_CacheSize = 0;
    std::string m_XmlPath;
    uint32_t m_XmlSize = 0;
    uint64_t m_XmlTime = 0;
    std::string m_Checksum;
    std::string m_CacheName;
    // An OpenRead or OpenWrite succeeded and Close has not run yet.
    bool m_Open = false;
    // A Write since OpenWrite moved fewer bytes than asked.
    bool m_WriteFailed = false;
    // The window over the rest of the file, and what of the rest the file
    // has not given yet.
    std::vector<uint8_t> m_Window;
    size_t m_RestUnread = 0;
};

} // namespace mostfcat
