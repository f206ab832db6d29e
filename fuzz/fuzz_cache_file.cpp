// Fuzz target: arbitrary bytes as a whole cache file, header included, read
// the way the catalog pool reads one: from the file beside its XML file
// (straight, and loaded into memory first) and as a caller's image, with the
// source checked. A tree that loads is dumped and deleted.
//
// The header ties a cache to the path, size and time of its XML file. The
// target keeps one XML file of a fixed size and time in a folder of its own;
// an input whose checksum field holds the seeds' stand-in text
// (kSeedChecksum) gets the checksum of its real path instead, so that the
// seeds pass the check and their mutations reach every part of it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "cache/archive_io.h"
#include "cache/fcat_file.h"
#include "import/import_context.h"
#include "import/import_log.h"
#include "tree/catalog.h"

using namespace mostfcat;

namespace {

constexpr uint32_t kOptions = 0x50005;
constexpr uint8_t kUseDefaults = 1;
// The XML file's size and time, as the seeds' headers give them.
constexpr size_t kXmlSize = 64;
constexpr time_t kXmlTime = 1700000000;
// What the seeds hold in place of a checksum (the real one depends on the
// folder, which differs from run to run).
constexpr const char* kSeedChecksum = "mostfcat-fuzz-seed-checksum-text";

struct Files {
    std::string folder;
    std::string xml;
    std::string cache;
    std::string checksum;
};

void RemoveFolder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

const Files& TheFiles() {
    static Files* files = [] {
        auto* f = new Files();
        char folder[] = "/tmp/mostfcat_fuzz_cache_file_XXXXXX";
        if (!mkdtemp(folder)) std::abort();
        f->folder = folder;
        f->xml = f->folder + "/catalog.xml";
        f->cache = f->folder + "/catalog.vfc";
        if (FILE* x = std::fopen(f->xml.c_str(), "wb")) {
            std::string text(kXmlSize, ' ');
            std::fwrite(text.data(), 1, text.size(), x);
            std::fclose(x);
        }
        struct timespec times[2] = {{kXmlTime, 0}, {kXmlTime, 0}};
        utimensat(AT_FDCWD, f->xml.c_str(), times, 0);
        f->checksum = YFCatFile(f->xml, true, nullptr, 0).Checksum();
        static std::string remove = f->folder;
        std::atexit([] { RemoveFolder(remove); });
        return f;
    }();
    return *files;
}

void DumpAndDelete(YMTCatalog* catalog) {
    if (!catalog) return;
    {
        YImportLog log;
        log.OpenDumpFile("/dev/null");
        YImportContext ctx;
        catalog->Dump(ctx, log);
    }
    delete catalog;
}

YMTCatalog* Load(YFCatFile& file) {
    if (!file.OpenRead(true, kUseDefaults, kOptions)) return nullptr;
    YMTArchiveRead reader(file);
    YMTCatalog* catalog = LoadCatalog(reader, file);
    file.Close();
    return catalog;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 24)) return 0;
    const Files& files = TheFiles();
    std::vector<uint8_t> bytes(data, data + size);
    const size_t seedLength = std::strlen(kSeedChecksum);
    if (bytes.size() >= YFCatFile::kOffChecksum + seedLength &&
        std::memcmp(bytes.data() + YFCatFile::kOffChecksum, kSeedChecksum, seedLength) == 0)
        std::memcpy(bytes.data() + YFCatFile::kOffChecksum, files.checksum.data(),
                    std::min(files.checksum.size(), seedLength));

    if (FILE* f = std::fopen(files.cache.c_str(), "wb")) {
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    } else {
        return 0;
    }

    // The cache file read straight, then loaded into memory first.
    for (uint32_t mode : {YFCatFile::kModeFile, YFCatFile::kModeMemory}) {
        YFCatFile file(files.xml, false, nullptr, 0);
        file.SetMode(mode);
        DumpAndDelete(Load(file));
    }
    // The same bytes as a caller's image.
    if (!bytes.empty()) {
        YFCatFile image(files.xml, false, bytes.data(), uint32_t(bytes.size()));
        DumpAndDelete(Load(image));
    }
    return 0;
}
