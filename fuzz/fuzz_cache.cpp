// Fuzz target: arbitrary bytes as the body of a cache file behind a valid
// header, read in place as a memory image; a tree that loads is dumped and
// asked everything a host can ask of its nodes.
#include <cstdint>
#include <cstring>
#include <vector>

#include "cache/archive_io.h"
#include "cache/fcat_file.h"
#include "import/import_context.h"
#include "import/import_log.h"
#include "tree/catalog.h"
#include "tree/node.h"

using namespace mostfcat;

namespace {

constexpr uint32_t kOptions = 0x50005;
constexpr uint8_t kUseDefaults = 1;

// The attribute numbers the node classes answer, and a few around them.
constexpr uint32_t kAttrs[] = {
    0,    1,    2,    3,    4,    5,    6,    7,    8,    10,   12,   17,   18,   20,
    21,   23,   24,   25,   26,   32,   100,  101,  111,  112,  113,  200,  201,  210,
    211,  212,  220,  221,  222,  250,  252,  260,  261,  262,  263,  300,  301,  302,
    303,  304,  310,  311,  312,  350,  351,  401,  1000, 1002, 1003, 1004, 1005, 1006,
    1007, 1008, 1009, 1010, 1011, 1012, 1013, 1014, 1015, 1016, 1017, 1020, 1021, 1030,
    1100, 1200, 1201, 1202, 1203, 1210, 1211, 1212, 1300, 1301, 1304, 1305, 1500};

void Exercise(YMTNode* node, const uint8_t (&payload)[16]) {
    for (uint32_t a : kAttrs) {
        uint32_t i = 0;
        double d = 0;
        const char* s = nullptr;
        YMTNode* n = nullptr;
        node->GetAttrInt(a, &i);
        node->GetAttrFloat(a, &d);
        if (node->GetAttrStr(a, &s) == kAttrOk && s) (void)std::strlen(s);
        if (node->GetAttrNode(a, &n) == kAttrOk && n) (void)n->PathName();
    }
    for (uint32_t kind = 0; kind <= 24; ++kind) {
        YMTNode* const* items = nullptr;
        uint32_t count = 0;
        if (node->GetSubItemList(kind, &items, &count) != kAttrOk) continue;
        for (uint32_t i = 0; i < count; ++i)
            if (items[i]) (void)items[i]->NameRef().size();
    }
    char text[512];
    for (uint32_t length : {0u, 1u, 2u, 4u, 8u, 16u}) {
        uint32_t u = 0;
        uint64_t q = 0;
        double d = 0;
        node->ConvertBytesToStr(payload, length, text, sizeof text);
        node->ConvertBytesToInt(payload, length, &u);
        node->ConvertBytesToUInt64(payload, length, &q);
        node->ConvertBytesToDouble(payload, length, &d);
    }
    auto* list = dynamic_cast<YMTChildList*>(node);
    if (list && list->OwnsChildren())
        ForEachChild(*list, [&](uint32_t, YMTNode* child) { Exercise(child, payload); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 24)) return 0;
    std::vector<uint8_t> image(YFCatFile::kHeaderSize, 0);
    std::memcpy(image.data() + YFCatFile::kOffMagic, YFCatFile::kMagic,
                std::strlen(YFCatFile::kMagic) + 1);
    for (int i = 0; i < 4; ++i) {
        image[YFCatFile::kOffVersion + i] = uint8_t(YFCatFile::kFormatVersion >> (8 * i));
        image[YFCatFile::kOffOptions + i] = uint8_t(kOptions >> (8 * i));
    }
    image[YFCatFile::kOffDefaultErrorParams] = kUseDefaults;
    image.insert(image.end(), data, data + size);

    YFCatFile file("/nonexistent/fuzz_cache.xml", true, image.data(), uint32_t(image.size()));
    if (!file.OpenRead(false, kUseDefaults, kOptions)) __builtin_trap(); // the header is sound
    YMTArchiveRead reader(file);
    YMTCatalog* catalog = LoadCatalog(reader, file);
    if (!catalog) return 0;
    {
        YImportLog log;
        log.OpenDumpFile("/dev/null");
        YImportContext ctx;
        catalog->Dump(ctx, log);
    }
    // The payload for the conversions: the last bytes of the input, which
    // bytes after the tree leave free to vary.
    uint8_t payload[16] = {};
    size_t n = size < sizeof payload ? size : sizeof payload;
    if (n) std::memcpy(payload, data + size - n, n);
    Exercise(catalog, payload);
    delete catalog;
    return 0;
}
