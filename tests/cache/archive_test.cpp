// Tree archives: round trips of imported catalogs through a cache file, the
// exact layout of a small body, and the reader against damaged and hostile
// bodies (each must load as null, and the sanitizer build checks that
// nothing leaks on the way).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cache/archive_io.h"
#include "cache/fcat_file.h"
#include "generator/catalog_generator.h"
#include "import/import_context.h"
#include "import/import_log.h"
#include "params/param_stream.h"
#include "params/param_struct.h"
#include "support/test_support.h"
#include "tree/fblock.h"
#include "tree/function.h"
#include "tree/operation.h"

namespace mostfcat {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using test::CatalogPtr;

constexpr uint32_t kOptions = 0x50005;
constexpr uint8_t kUseDefaults = 1;

// --- cache plumbing -------------------------------------------------------------

// A header that passes the check when the source is not verified.
Bytes CacheHeader() {
    Bytes h(YFCatFile::kHeaderSize, 0);
    std::memcpy(h.data() + YFCatFile::kOffMagic, YFCatFile::kMagic,
                std::strlen(YFCatFile::kMagic) + 1);
    for (int i = 0; i < 4; ++i) {
        h[YFCatFile::kOffVersion + i] = uint8_t(YFCatFile::kFormatVersion >> (8 * i));
        h[YFCatFile::kOffOptions + i] = uint8_t(kOptions >> (8 * i));
    }
    h[YFCatFile::kOffDefaultErrorParams] = kUseDefaults;
    return h;
}

// Loads a body from a memory image behind a valid header.
CatalogPtr LoadBody(const Bytes& body) {
    Bytes image = CacheHeader();
    image.insert(image.end(), body.begin(), body.end());
    YFCatFile file("/nonexistent/image.xml", true, image.data(), uint32_t(image.size()));
    if (!file.OpenRead(false, kUseDefaults, kOptions)) {
        ADD_FAILURE() << "header refused, error " << file.Error();
        return nullptr;
    }
    YMTArchiveRead reader(file);
    return CatalogPtr(LoadCatalog(reader, file));
}

// Saves into the cache file beside xmlPath; returns the body (the bytes after
// the header), empty when the save failed.
Bytes SaveBody(YMTCatalog* catalog, const std::string& xmlPath) {
    YFCatFile file(xmlPath, false, nullptr, 0);
    EXPECT_TRUE(file.OpenWrite(kUseDefaults, kOptions));
    YMTArchiveWrite writer(file);
    bool saved = SaveCatalog(writer, catalog, file);
    EXPECT_TRUE(file.Close());
    std::string text = test::ReadFile(file.CachePath());
    if (!saved || text.size() < YFCatFile::kHeaderSize) return {};
    return Bytes(text.begin() + YFCatFile::kHeaderSize, text.end());
}

// Loads the cache beside xmlPath the way the catalog pool does.
CatalogPtr LoadFile(const std::string& xmlPath) {
    YFCatFile file(xmlPath, false, nullptr, 0);
    if (!file.OpenRead(true, kUseDefaults, kOptions)) return nullptr;
    YMTArchiveRead reader(file);
    CatalogPtr catalog(LoadCatalog(reader, file));
    file.Close();
    if (catalog) {
        catalog->FilePath = file.XmlPath();
        catalog->FileTime = file.XmlTime();
    }
    return catalog;
}

// Equality of two bodies with the first differing offset in the message.
::testing::AssertionResult SameBytes(const Bytes& a, const Bytes& b) {
    if (a == b) return ::testing::AssertionSuccess();
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    return ::testing::AssertionFailure()
           << "sizes " << a.size() << " and " << b.size() << ", first difference at offset " << i;
}

// --- tree walks -----------------------------------------------------------------

YMTChildList* ListOf(YMTNode* node) {
    return dynamic_cast<YMTChildList*>(node);
}

// Every node reachable through owning lists, keyed by its path name and the
// list indexes that lead to it (unique even where names repeat).
struct TreeIndex {
    std::vector<YMTNode*> nodes;
    std::map<const YMTNode*, std::string> keys;
    size_t wrongParents = 0; // children whose parent is not their container
};

void IndexTree(YMTNode* node, const std::string& key, TreeIndex& index) {
    index.nodes.push_back(node);
    index.keys[node] = key;
    YMTChildList* list = ListOf(node);
    if (!list || !list->OwnsChildren()) return;
    ForEachChild(*list, [&](uint32_t i, YMTNode* child) {
        if (child->Parent() != node) ++index.wrongParents;
        IndexTree(child, key + "/" + std::to_string(i) + ":" + child->NameRef(), index);
    });
}

// One line per link of the tree: each node's parent, each entry of a list
// that does not own it and each stored reference, named by their keys. The
// non-null links other than parents are counted by kind.
using LinkCounts = std::map<std::string, size_t>;
std::vector<std::string> Links(YMTNode* root, LinkCounts* counts = nullptr) {
    TreeIndex index;
    IndexTree(root, root->NameRef(), index);
    EXPECT_EQ(0u, index.wrongParents);
    auto name = [&](const YMTNode* target) -> std::string {
        if (!target) return "-";
        auto it = index.keys.find(target);
        return it == index.keys.end() ? "outside the tree: " + target->PathName() : it->second;
    };
    std::vector<std::string> lines;
    auto link = [&](const std::string& kind, const std::string& detail, const YMTNode* from,
                    const YMTNode* to) {
        lines.push_back(name(from) + " " + kind + detail + " " + name(to));
        if (to && counts && kind != "parent") ++(*counts)[kind];
    };
    for (YMTNode* n : index.nodes) {
        link("parent", "", n, n->Parent());
        YMTChildList* list = ListOf(n);
        if (list && !list->OwnsChildren())
            ForEachChild(*list,
                         [&](uint32_t i, YMTNode* e) { link("shared", std::to_string(i), n, e); });
        switch (n->NodeType()) {
        case kNodeFBlock: {
            auto* f = static_cast<YMTFBlock*>(n);
            link("first instance", "", n, f->FirstInstance());
            link("default instance", "", n, f->DefaultInstance());
            break;
        }
        case kNodeDetailedStream:
        case kNodeDetailedShortStream: {
            auto* s = static_cast<YMTParamDetailedStreamBase*>(n);
            link("stream selector", "", n, s->SelectorParam());
            link("list size", "", n, s->ListSizeParam());
            break;
        }
        case kNodeArray:
            link("array selector", "", n, static_cast<YMTParamArray*>(n)->SelectorParam());
            break;
        case kNodeRecord:
            link("record selector", "", n, static_cast<YMTParamRecord*>(n)->SelectorParam());
            break;
        default:
            break;
        }
    }
    return lines;
}

// What a host can ask of every node: attributes, sub-item lists and
// conversions of a few payload bytes.
void ReadAttributes(YMTNode* node) {
    static const uint32_t kAttrs[] = {0,    1,    2,    3,    4,    5,    100,  101,  111,
                                      112,  113,  200,  201,  210,  211,  212,  220,  221,
                                      222,  250,  252,  300,  301,  302,  303,  304,  1000,
                                      1002, 1003, 1004, 1005, 1100, 1200, 1300, 1305, 1500};
    static const uint8_t kPayload[8] = {0x81, 0x02, 0xFF, 0x00, 0x7F, 0x10, 0x20, 0x30};
    for (uint32_t a : kAttrs) {
        uint32_t i = 0;
        double d = 0;
        const char* s = nullptr;
        YMTNode* n = nullptr;
        node->GetAttrInt(a, &i);
        node->GetAttrFloat(a, &d);
        if (node->GetAttrStr(a, &s) == kAttrOk && s) (void)std::strlen(s);
        if (node->GetAttrNode(a, &n) == kAttrOk && n) (void)n->NodeType();
    }
    for (uint32_t kind = 1; kind <= 20; ++kind) {
        YMTNode* const* items = nullptr;
        uint32_t count = 0;
        if (node->GetSubItemList(kind, &items, &count) != kAttrOk) continue;
        for (uint32_t i = 0; i < count; ++i)
            if (items[i]) (void)items[i]->NodeType();
    }
    char text[256];
    uint32_t u = 0;
    uint64_t q = 0;
    double d = 0;
    for (uint32_t length : {1u, 2u, 8u}) {
        node->ConvertBytesToStr(kPayload, length, text, sizeof text);
        node->ConvertBytesToInt(kPayload, length, &u);
        node->ConvertBytesToUInt64(kPayload, length, &q);
        node->ConvertBytesToDouble(kPayload, length, &d);
    }
    YMTChildList* list = ListOf(node);
    if (list && list->OwnsChildren())
        ForEachChild(*list, [&](uint32_t, YMTNode* child) { ReadAttributes(child); });
}

void DumpToNowhere(YMTNode& node) {
    YImportLog log;
    YImportContext ctx;
    log.OpenDumpFile("/dev/null");
    node.Dump(ctx, log);
}

// --- hand-written bodies ---------------------------------------------------------

// Writes a body field by field in the layout of the archive writer.
class Body {
public:
    Body& U8(uint8_t v) {
        m_Bytes.push_back(v);
        return *this;
    }
    Body& U16(uint16_t v) { return U8(uint8_t(v)).U8(uint8_t(v >> 8)); }
    Body& U32(uint32_t v) { return U16(uint16_t(v)).U16(uint16_t(v >> 16)); }
    Body& U64(uint64_t v) { return U32(uint32_t(v)).U32(uint32_t(v >> 32)); }
    Body& Str(const std::string& s) {
        U16(uint16_t(s.size()));
        m_Bytes.insert(m_Bytes.end(), s.begin(), s.end());
        return *this;
    }
    // A node header with the next sequence number.
    Body& Header(uint32_t type, uint32_t id) {
        m_Headers.push_back(m_Bytes.size());
        return U16(m_Sequence++).U8(uint8_t(type)).U32(id);
    }
    // The fields every node has: name, description, parent, bytes, level.
    Body& Node(const std::string& name, uint32_t parent, uint16_t bytes = 0, uint8_t level = 0) {
        return Str(name).Str("").U32(parent).U16(bytes).U8(level);
    }
    // The parameter fields: position, sequence index, selector flag, bit
    // position, symbol.
    Body& Param(uint16_t pos) { return U16(pos).U16(0).U8(0).U32(0).Str(""); }
    Body& List(bool owns, uint16_t size) { return U8('L').U8('I').U8(owns ? 1 : 0).U16(size); }
    Body& At(uint16_t index) { return U16(index); }
    Body& End() { return U16(0xFFFF); }
    // A one-byte unsigned number 0..255.
    Body& Number(uint32_t id, uint32_t parent, const std::string& name, uint16_t pos) {
        Header(kNodeNumber, id).Node(name, parent, 1, 5).Param(pos);
        U8(0).U32(0).U64(0);                                   // unsigned, exponent, minimum
        U64(0x406FE00000000000ull).U64(0x3FF0000000000000ull); // maximum 255, step 1
        return Str("").U8(0).U8(0);                            // unit, meaning, display
    }
    Body& Instance(uint32_t id, uint32_t parent, const std::string& name, uint32_t instanceId) {
        Header(kNodeInstance, id).Node(name, parent, 2, 2).U32(instanceId);
        return Str("").Str("").Str("").Str("").Str(""); // device, description, release, date, name
    }

    const Bytes& Data() const { return m_Bytes; }
    size_t HeaderOffset(size_t n) const { return m_Headers.at(n); }

private:
    Bytes m_Bytes;
    std::vector<size_t> m_Headers;
    uint16_t m_Sequence = 0;
};

// The ids of the hand-written catalog, in the order in which the writer
// hands them out, so that a sound variant saves back to the same bytes.
enum : uint32_t {
    kIdCat = 1,
    kIdAmp,
    kIdInst0,
    kIdFunction,
    kIdOp,
    kIdPos,
    kIdArray,
    kIdElem,
    kIdStream,
    kIdCase,
    kIdInst1,
    kIdTuner,
    kIdTunerInst,
};

// Variations of the hand-written catalog; the defaults give a sound tree.
struct Shape {
    bool fblockListOwns = true;
    bool numberInFBlockList = false;
    uint32_t firstInstance = kIdInst0;
    uint32_t functionParent = kIdInst0;
    uint32_t operationId = kIdOp;
    uint16_t paramListSize = 4;
    uint32_t arraySelector = kIdPos;
    uint32_t streamSelector = kIdPos;
    uint32_t streamListSize = 0;
    uint32_t seqWords = 0;
    uint32_t sharedEntry = kIdFunction; // Inst01 shares the function of Inst00
    uint16_t sharedIndex = 0x200;
    uint32_t tunerEntry = 0;           // a shared function in the Tuner's instance
    bool sharedTwice = false;          // Inst01 names its entry twice
    uint16_t functionListSize = 0x201; // Inst00's list, empty entries at the end included
};

// Catalog Cat: FBlock Amp (0x10) with Inst00 owning function Volume (0x200,
// operation Set with a number Pos, an array Data indexed by Pos and a detailed
// stream selected by Pos) and Inst01 sharing it; FBlock Tuner (0x20) with an
// instance and no functions.
Body MakeCatalog(const Shape& s = {}) {
    Body b;
    b.Header(kNodeCatalog, kIdCat).Node("Cat", 0, 1).Str("1.0").Str("2026-01-01").U8(0);
    b.List(s.fblockListOwns, 0x21);
    if (!s.fblockListOwns) {
        b.At(0x10).U32(kIdAmp).End();
        return b;
    }
    b.At(0x10);
    if (s.numberInFBlockList) {
        b.Number(kIdAmp, kIdCat, "Amp", 1).End();
        return b;
    }
    b.Header(kNodeFBlock, kIdAmp).Node("Amp", kIdCat, 1, 1).U32(0x10).Str("").Str("");
    b.U32(s.firstInstance).U32(kIdInst0).List(true, 2);
    b.At(0).Instance(kIdInst0, kIdAmp, "Inst00", 0).List(true, s.functionListSize).At(0x200);
    b.Header(kNodeFunction, kIdFunction).Node("Volume", s.functionParent, 2, 3);
    b.U32(0x200).U8(kFunctionProperty).U8(0).U8(0).Str("").Str("").U32(0).U8(0).List(true, 1).At(0);
    b.Header(kNodeOperation, s.operationId).Node("Set", kIdFunction, 1, 4).U32(0);
    b.List(true, s.paramListSize);
    b.At(1).Number(kIdPos, s.operationId, "Pos", 1);
    b.At(2).Header(kNodeArray, kIdArray).Node("Data", s.operationId, 0, 5).Param(2);
    b.U32(4).U32(0).U32(s.arraySelector).List(true, 2);
    b.At(1).Number(kIdElem, kIdArray, "Elem", 1).End();
    b.At(3).Header(kNodeDetailedStream, kIdStream).Node("Stream", s.operationId, 0, 5).Param(3);
    b.U32(0).U8(0).U32(s.streamSelector).U32(s.streamListSize).List(true, 2).At(1);
    b.Header(kNodeStreamCase, kIdCase).Node("Case", kIdStream, 0, 6).Param(1);
    b.U32(1).U32(1).Str("Pos").U16(0).U32(s.seqWords);
    for (uint32_t i = 0; i < s.seqWords && i < 4; ++i)
        b.U16(uint16_t(i));
    b.U32(0).List(true, 0).End(); // the case's members
    b.End();                      // the stream's cases
    b.End();                      // the operation's parameters
    b.End();                      // the function's operations
    b.End();                      // Inst00's functions
    b.At(1).Instance(kIdInst1, kIdAmp, "Inst01", 1).List(false, 0x201);
    b.At(s.sharedIndex).U32(s.sharedEntry);
    if (s.sharedTwice) b.At(s.sharedIndex).U32(s.sharedEntry);
    b.End();
    b.End(); // Amp's instances
    b.At(0x20).Header(kNodeFBlock, kIdTuner).Node("Tuner", kIdCat, 1, 1).U32(0x20).Str("").Str("");
    b.U32(kIdTunerInst).U32(kIdTunerInst).List(true, 1);
    b.At(0).Instance(kIdTunerInst, kIdTuner, "Inst00", 0);
    if (s.tunerEntry)
        b.List(false, 0x201).At(0x200).U32(s.tunerEntry).End();
    else
        b.List(true, 0).End();
    b.End(); // Tuner's instances
    b.End(); // the catalog's FBlocks
    return b;
}

// A catalog whose operation holds arrays nested `arrays` deep: the innermost
// array is the (5 + arrays)th node on its path from the root.
Body MakeNestedArrays(uint32_t arrays) {
    Body b;
    b.Header(kNodeCatalog, 1).Node("Cat", 0).Str("").Str("").U8(0).List(true, 1).At(0);
    b.Header(kNodeFBlock, 2).Node("F", 1).U32(0).Str("").Str("").U32(0).U32(0).List(true, 1).At(0);
    b.Instance(3, 2, "I", 0).List(true, 1).At(0);
    b.Header(kNodeFunction, 4).Node("Fn", 3).U32(0).U8(1).U8(0).U8(0).Str("").Str("").U32(0).U8(0);
    b.List(true, 1).At(0).Header(kNodeOperation, 5).Node("Op", 4).U32(0).List(true, 2);
    uint32_t id = 5;
    for (uint32_t i = 0; i < arrays; ++i) {
        b.At(1)
            .Header(kNodeArray, id + 1)
            .Node("A", id)
            .Param(1)
            .U32(1)
            .U32(0)
            .U32(0)
            .List(true, 2);
        ++id;
    }
    for (uint32_t i = 0; i < arrays; ++i)
        b.End();
    b.End().End().End().End().End(); // operation, function, instance, FBlock, catalog lists
    return b;
}

class ArchiveTest : public test::CatalogTest {
protected:
    // Imports xmlPath, saves it, loads it again and compares the two trees;
    // the links of the loaded tree are counted into counts.
    void RoundTrip(const std::string& xmlPath, LinkCounts& counts) {
        test::Imported imported = ImportFile(xmlPath);
        ASSERT_TRUE(imported.catalog) << imported.log;
        YMTCatalog* original = imported.catalog.get();
        Bytes body = SaveBody(original, xmlPath);
        EXPECT_FALSE(body.empty());

        CatalogPtr loaded = LoadFile(xmlPath);
        ASSERT_TRUE(loaded);
        EXPECT_EQ(original->FilePath, loaded->FilePath);
        EXPECT_EQ(DumpText(*original), DumpText(*loaded));
        EXPECT_EQ(Links(original), Links(loaded.get(), &counts));
        EXPECT_TRUE(SameBytes(body, SaveBody(loaded.get(), xmlPath)));

        // The same body from a memory image.
        CatalogPtr fromImage = LoadBody(body);
        EXPECT_TRUE(fromImage);
        if (fromImage) {
            EXPECT_TRUE(SameBytes(body, SaveBody(fromImage.get(), xmlPath)));
        }
    }

    // Copies a catalog into the temporary folder, so that logs and caches
    // stay out of the source tree.
    std::string Copy(const fs::path& source) {
        std::string target = m_Dir.File(source.filename().string());
        fs::copy_file(source, target, fs::copy_options::overwrite_existing);
        return target;
    }
};

// --- round trips --------------------------------------------------------------------

// The fixtures together hold every kind of link.
const char* const kLinkKinds[] = {"shared",          "first instance", "default instance",
                                  "stream selector", "list size",      "array selector",
                                  "record selector"};

TEST_F(ArchiveTest, SampleCatalogRoundTrip) {
    LinkCounts counts;
    RoundTrip(Copy(MOSTFCAT_SAMPLE_CATALOG), counts);
    EXPECT_GT(counts["first instance"], 0u);
}

TEST_F(ArchiveTest, FixtureRoundTrips) {
    std::vector<fs::path> fixtures;
    for (const auto& e : fs::directory_iterator(MOSTFCAT_FIXTURES_DIR))
        if (e.path().extension() == ".xml") fixtures.push_back(e.path());
    std::sort(fixtures.begin(), fixtures.end());
    ASSERT_FALSE(fixtures.empty());
    LinkCounts counts;
    for (const fs::path& p : fixtures) {
        SCOPED_TRACE(p.filename().string());
        RoundTrip(Copy(p), counts);
    }
    // No fixture has a list whose size a preceding number gives.
    const std::string listSize = R"(
  <FBlock><FBlockName>Amp</FBlockName><FBlockID>0x22</FBlockID>
    <Function><FunctionName>Presets</FunctionName><FunctionID>0x400</FunctionID>
      <FunctionClass ClassRef="class_unclassified"><Property><PUnclassified>
        <PUParam><ParamName>ListSize</ParamName><PUParamType><TNumber>
          <BasisDataType><TUByte TypeRef="type_unsigned_byte"/></BasisDataType><Exponent>0</Exponent>
          <Step>1</Step><Unit UnitRef="unit_none"/></TNumber></PUParamType>
          <PUParamOPType><PReportStatus><ParamPos>1</ParamPos></PReportStatus></PUParamOPType></PUParam>
        <PUParam><ParamName>ListElements</ParamName><PUParamType><TStream><StreamCase>
          <PosDescription>{{Level}}</PosDescription>
          <StreamParam ParamIdx="1seq1"><ParamName>Level</ParamName><ParamType><TNumber>
            <BasisDataType><TUByte TypeRef="type_unsigned_byte"/></BasisDataType><Exponent>0</Exponent>
            <Step>1</Step><Unit UnitRef="unit_none"/></TNumber></ParamType></StreamParam>
          </StreamCase></TStream></PUParamType>
          <PUParamOPType><PReportStatus><ParamPos>2</ParamPos></PReportStatus></PUParamOPType></PUParam>
      </PUnclassified></Property></FunctionClass></Function>
  </FBlock>)";
    std::string path = m_Dir.File("list_size.xml");
    test::WriteFile(path, test::CatalogXml(listSize));
    LinkCounts listCounts;
    RoundTrip(path, listCounts);
    EXPECT_EQ(1u, listCounts["list size"]);
    counts["list size"] += listCounts["list size"];
    for (const char* kind : kLinkKinds)
        EXPECT_GT(counts[kind], 0u) << kind;
}

TEST_F(ArchiveTest, GeneratedCatalogRoundTrips) {
    for (uint64_t seed : {1u, 7u, 20260101u}) {
        SCOPED_TRACE("generator seed " + std::to_string(seed));
        std::string xml = GenerateCatalog(seed, 40000);
        ASSERT_GT(xml.size(), 20000u);
        std::string path = m_Dir.File("generated_" + std::to_string(seed) + ".xml");
        test::WriteFile(path, xml);
        LinkCounts counts;
        RoundTrip(path, counts);
        EXPECT_GT(counts["first instance"], 0u);
    }
}

// --- the layout -------------------------------------------------------------------------

// One FBlock, one instance, one function with one operation and no
// parameters, built by hand so that every field is known.
struct SmallTree {
    CatalogPtr catalog{new YMTCatalog()};
    YMTFBlock* fblock = new YMTFBlock();
    YMTInstance* instance = new YMTInstance();
    YMTFunction* function = new YMTFunction();
    YMTOperation* operation = new YMTOperation();

    SmallTree() {
        catalog->SetName("Cat");
        catalog->Release = "1.0";
        catalog->Date = "2026";
        fblock->SetName("Amp");
        fblock->FBlockID = 0x22;
        fblock->SetParent(catalog.get());
        catalog->SetAt(fblock, 0x22);
        instance->SetName("Inst01");
        instance->InstanceID = 1;
        instance->DeviceName = "Front";
        instance->SetParent(fblock);
        fblock->SetAt(instance, 1);
        fblock->SetFirstInstance(instance);
        function->SetName("Volume");
        function->FunctionID = 0x400;
        function->Type = kFunctionProperty;
        function->Class = 3;
        function->ClassSub = 4;
        function->Flags = kFunctionErrors;
        function->Notification = true;
        function->SetParent(instance);
        instance->SetAt(function, 0x400);
        operation->SetName("Set");
        operation->OpType = 0;
        operation->SetParent(function);
        function->SetAt(operation, 0);
    }
};

TEST_F(ArchiveTest, SmallCatalogLayout) {
    SmallTree tree;
    Bytes body = SaveBody(tree.catalog.get(), m_Dir.File("small.xml"));

    Body expected;
    expected.Header(kNodeCatalog, 1).Node("Cat", 0, 1).Str("1.0").Str("2026").U8(0);
    expected.List(true, 0x23).At(0x22);
    // The first instance is mentioned before its record, so it takes id 3
    // there; the default instance is null.
    expected.Header(kNodeFBlock, 2).Node("Amp", 1, 1).U32(0x22).Str("").Str("").U32(3).U32(0);
    expected.List(true, 2).At(1);
    expected.Header(kNodeInstance, 3)
        .Node("Inst01", 2, 2)
        .U32(1)
        .Str("Front")
        .Str("")
        .Str("")
        .Str("")
        .Str("");
    expected.List(true, 0x401).At(0x400);
    expected.Header(kNodeFunction, 4).Node("Volume", 3, 2).U32(0x400).U8(1).U8(3).U8(4);
    expected.Str("").Str("").U32(kFunctionErrors).U8(1).List(true, 1).At(0);
    expected.Header(kNodeOperation, 5).Node("Set", 4, 1).U32(0).List(true, 0).End();
    expected.End().End().End().End();
    EXPECT_TRUE(SameBytes(expected.Data(), body));

    CatalogPtr loaded = LoadBody(body);
    ASSERT_TRUE(loaded);
    auto* fblock = loaded->FBlockAt(0x22);
    ASSERT_TRUE(fblock);
    YMTInstance* instance = fblock->InstanceAt(1);
    ASSERT_TRUE(instance);
    auto* function = dynamic_cast<YMTFunction*>(instance->GetAt(0x400));
    ASSERT_TRUE(function);
    YMTOperation* operation = function->OperationAt(0);
    ASSERT_TRUE(operation);
    EXPECT_EQ(nullptr, loaded->Parent());
    EXPECT_EQ(loaded.get(), fblock->Parent());
    EXPECT_EQ(fblock, instance->Parent());
    EXPECT_EQ(instance, function->Parent());
    EXPECT_EQ(function, operation->Parent());
    EXPECT_EQ(instance, fblock->FirstInstance());
    EXPECT_EQ(nullptr, fblock->DefaultInstance());
    EXPECT_EQ("Front", instance->DeviceName);
    EXPECT_EQ(kFunctionErrors, function->Flags);
    EXPECT_TRUE(function->Notification);
    EXPECT_EQ("/Cat/Amp/Inst01/Volume/Set", operation->PathName());
    EXPECT_EQ(DumpText(*tree.catalog), DumpText(*loaded));
}

TEST_F(ArchiveTest, StringsAreCutAndStopAtZero) {
    SmallTree tree;
    std::string text(70000, ' ');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = char('a' + i % 26);
    tree.catalog->SetDescription(text);
    tree.instance->DeviceName = std::string("Front\0Left", 10);
    Bytes body = SaveBody(tree.catalog.get(), m_Dir.File("long.xml"));
    // The description follows the catalog's header and name.
    ASSERT_GT(body.size(), 14u + 65535u);
    EXPECT_EQ(0xFF, body[12]);
    EXPECT_EQ(0xFF, body[13]);

    CatalogPtr loaded = LoadBody(body);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(text.substr(0, 65535), loaded->Description());
    YMTInstance* instance = loaded->FBlockAt(0x22)->InstanceAt(1);
    ASSERT_TRUE(instance);
    EXPECT_EQ("Front", instance->DeviceName);
}

// The second instance of the document has the lower InstanceID, so its list
// of references is written before the records of the functions it names.
TEST_F(ArchiveTest, SharedFunctionsBeforeTheirRecords) {
    const std::string fblock = R"(
  <FBlock><FBlockName>Amp</FBlockName><FBlockID>0x22</FBlockID>
    <Device><DeviceName>Rear</DeviceName><InstanceID>5</InstanceID></Device>
    <Device><DeviceName>Front</DeviceName><InstanceID>2</InstanceID></Device>
    <Function><FunctionName>Volume</FunctionName><FunctionID>0x400</FunctionID>
      <FunctionClass ClassRef="class_number"><Property><PNumber>
        <PNParam><ParamName>Volume</ParamName>
          <PNParamType><TNumber><BasisDataType><TUByte TypeRef="type_unsigned_byte"/></BasisDataType>
            <Exponent>0</Exponent><RangeMin>0</RangeMin><RangeMax>40</RangeMax><Step>1</Step>
            <Unit UnitRef="unit_none"/></TNumber></PNParamType>
          <PNParamOPType><PCmdSet><ParamPos>1</ParamPos></PCmdSet></PNParamOPType></PNParam>
      </PNumber></Property></FunctionClass></Function>
    <Function><FunctionName>Mute</FunctionName><FunctionID>0x401</FunctionID>
      <FunctionClass ClassRef="class_switch"><Property><PSwitch>
        <PSParam><ParamName>Mute</ParamName>
          <PSParamType><TBool TypeRef="type_unsigned_byte"><TBoolField BitPos="0"/></TBool></PSParamType>
          <PSParamOPType><PCmdSet><ParamPos>1</ParamPos></PCmdSet></PSParamOPType></PSParam>
      </PSwitch></Property></FunctionClass></Function>
  </FBlock>)";
    test::Imported imported = Import(test::CatalogXml(fblock));
    ASSERT_TRUE(imported.catalog) << imported.log;
    YMTFBlock* amp = imported.catalog->FBlockAt(0x22);
    ASSERT_TRUE(amp);
    ASSERT_TRUE(amp->InstanceAt(5)->OwnsChildren());
    ASSERT_FALSE(amp->InstanceAt(2)->OwnsChildren());

    Bytes body = SaveBody(imported.catalog.get(), m_Dir.File("catalog.xml"));
    // The first list record of the body that does not own its entries is
    // instance 2's, and it comes before the first function record.
    auto find = [&](const Bytes& needle) {
        return std::search(body.begin(), body.end(), needle.begin(), needle.end()) - body.begin();
    };
    ptrdiff_t references = find({'L', 'I', 0});
    ptrdiff_t functionRecord = find({'V', 'o', 'l', 'u', 'm', 'e'});
    ASSERT_LT(references, ptrdiff_t(body.size()));
    EXPECT_LT(references, functionRecord);

    CatalogPtr loaded = LoadBody(body);
    ASSERT_TRUE(loaded);
    YMTFBlock* fb = loaded->FBlockAt(0x22);
    YMTInstance* owner = fb->InstanceAt(5);
    YMTInstance* sharer = fb->InstanceAt(2);
    ASSERT_TRUE(owner && sharer);
    EXPECT_TRUE(owner->OwnsChildren());
    EXPECT_FALSE(sharer->OwnsChildren());
    for (uint32_t id : {0x400u, 0x401u}) {
        ASSERT_TRUE(owner->GetAt(id));
        EXPECT_EQ(owner->GetAt(id), sharer->GetAt(id));
        EXPECT_EQ(owner, sharer->GetAt(id)->Parent());
    }
    EXPECT_EQ(sharer->GetSize(), owner->GetSize());
    EXPECT_EQ(Links(imported.catalog.get()), Links(loaded.get()));
}

// --- hand-written bodies -----------------------------------------------------------------

TEST_F(ArchiveTest, HandWrittenCatalogLoadsAndSavesBack) {
    Body body = MakeCatalog();
    CatalogPtr loaded = LoadBody(body.Data());
    ASSERT_TRUE(loaded);
    YMTFBlock* amp = loaded->FBlockAt(0x10);
    ASSERT_TRUE(amp);
    YMTInstance* inst0 = amp->InstanceAt(0);
    YMTInstance* inst1 = amp->InstanceAt(1);
    ASSERT_TRUE(inst0 && inst1);
    EXPECT_EQ(inst0, amp->FirstInstance());
    EXPECT_EQ(inst0, amp->DefaultInstance());
    auto* function = dynamic_cast<YMTFunction*>(inst0->GetAt(0x200));
    ASSERT_TRUE(function);
    EXPECT_EQ(function, inst1->GetAt(0x200));
    EXPECT_EQ(inst0, function->Parent());
    YMTOperation* op = function->OperationAt(0);
    ASSERT_TRUE(op);
    auto* array = dynamic_cast<YMTParamArray*>(op->GetAt(2));
    auto* stream = dynamic_cast<YMTParamDetailedStream*>(op->GetAt(3));
    ASSERT_TRUE(array && stream);
    EXPECT_EQ(op->GetAt(1), array->SelectorParam());
    EXPECT_EQ(op->GetAt(1), stream->SelectorParam());
    EXPECT_EQ(nullptr, stream->ListSizeParam());
    EXPECT_EQ(array, array->Element()->Parent());
    EXPECT_EQ("/Cat/Amp/Inst00/Volume/Set/Stream/Case", stream->GetAt(1)->PathName());
    EXPECT_EQ(loaded->FBlockAt(0x20)->InstanceAt(0), loaded->FBlockAt(0x20)->FirstInstance());
    // The ids of the body are the ones the writer hands out.
    EXPECT_TRUE(SameBytes(body.Data(), SaveBody(loaded.get(), m_Dir.File("hand.xml"))));

    // Empty entries at the end of a list are part of its size.
    Shape longer;
    longer.functionListSize = 0x1000;
    Body padded = MakeCatalog(longer);
    loaded = LoadBody(padded.Data());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(0x1000u, loaded->FBlockAt(0x10)->InstanceAt(0)->GetSize());
    EXPECT_TRUE(SameBytes(padded.Data(), SaveBody(loaded.get(), m_Dir.File("hand.xml"))));
}

// Each variation of the sound hand-written catalog must change its bytes and
// make the load fail.
using Change = void (*)(Shape&);
void ExpectRefused(std::initializer_list<std::pair<const char*, Change>> variations) {
    const Bytes sound = MakeCatalog().Data();
    ASSERT_TRUE(LoadBody(sound));
    for (const auto& [what, change] : variations) {
        SCOPED_TRACE(what);
        Shape shape;
        change(shape);
        const Bytes body = MakeCatalog(shape).Data();
        EXPECT_NE(sound, body);
        EXPECT_FALSE(LoadBody(body));
    }
}

TEST_F(ArchiveTest, HostileStructureIsRefused) {
    ExpectRefused({
        {"FBlock list without ownership", [](Shape& s) { s.fblockListOwns = false; }},
        {"number in the FBlock list", [](Shape& s) { s.numberInFBlockList = true; }},
        {"stored parent disagrees", [](Shape& s) { s.functionParent = kIdAmp; }},
        {"duplicated id", [](Shape& s) { s.operationId = kIdFunction; }},
        {"id 0", [](Shape& s) { s.operationId = 0; }},
        {"list of size 3 names index 3", [](Shape& s) { s.paramListSize = 3; }},
        {"65536 words", [](Shape& s) { s.seqWords = 0x10000; }},
        {"function list beyond the identifiers", [](Shape& s) { s.functionListSize = 0x1001; }},
        {"shared entry named twice", [](Shape& s) { s.sharedTwice = true; }},
    });
}

TEST_F(ArchiveTest, ReferencesOfTheWrongKindAreRefused) {
    ExpectRefused({
        {"unknown id", [](Shape& s) { s.arraySelector = 999; }},
        {"array selector is an FBlock", [](Shape& s) { s.arraySelector = kIdAmp; }},
        {"stream selector is an FBlock", [](Shape& s) { s.streamSelector = kIdAmp; }},
        {"stream selector is a stream case", [](Shape& s) { s.streamSelector = kIdCase; }},
        {"list size is an array", [](Shape& s) { s.streamListSize = kIdArray; }},
        {"first instance is a function", [](Shape& s) { s.firstInstance = kIdFunction; }},
        {"first instance of another FBlock", [](Shape& s) { s.firstInstance = kIdTunerInst; }},
        {"shared entry is an operation", [](Shape& s) { s.sharedEntry = kIdOp; }},
        {"shared entry at another index", [](Shape& s) { s.sharedIndex = 0x1FF; }},
        {"shared entry of an unknown id", [](Shape& s) { s.sharedEntry = 999; }},
        {"function shared across FBlocks", [](Shape& s) { s.tunerEntry = kIdFunction; }},
        {"array indexed by itself", [](Shape& s) { s.arraySelector = kIdArray; }},
        {"array indexed by its element", [](Shape& s) { s.arraySelector = kIdElem; }},
    });
}

TEST_F(ArchiveTest, NodeHeadersAreChecked) {
    const Bytes sound = MakeCatalog().Data();
    ASSERT_TRUE(LoadBody(sound));
    Body layout = MakeCatalog();
    const size_t second = layout.HeaderOffset(1);

    Bytes body = sound;
    body[second] = 5; // sequence 5 where 1 belongs
    EXPECT_FALSE(LoadBody(body));

    // Type codes that no node header may carry, in the FBlock's place and
    // in the place of the number Pos.
    const size_t pos = layout.HeaderOffset(5);
    for (uint8_t type : {0, 1, 5, 12, 13, 25, 100, 101, 199, 201, 255}) {
        SCOPED_TRACE("type " + std::to_string(type));
        body = sound;
        body[second + 2] = type;
        EXPECT_FALSE(LoadBody(body));
        if (type == kNodeNumber) continue;
        body = sound;
        body[pos + 2] = type;
        EXPECT_FALSE(LoadBody(body));
    }

    // The root must be a catalog.
    body = sound;
    body[2] = kNodeFBlock;
    EXPECT_FALSE(LoadBody(body));

    // A damaged list mark.
    body = sound;
    auto li = std::search(body.begin(), body.end(), std::begin("LI"), std::begin("LI") + 2);
    ASSERT_NE(body.end(), li);
    li[1] = 'X';
    EXPECT_FALSE(LoadBody(body));
}

TEST_F(ArchiveTest, NestingIsBounded) {
    // The root, FBlock, instance, function and operation take five levels.
    const uint32_t limit = uint32_t(YMTArchiveRead::kMaxDepth) - 5;
    CatalogPtr deepest = LoadBody(MakeNestedArrays(limit).Data());
    ASSERT_TRUE(deepest);
    EXPECT_TRUE(
        SameBytes(MakeNestedArrays(limit).Data(), SaveBody(deepest.get(), m_Dir.File("deep.xml"))));
    EXPECT_FALSE(LoadBody(MakeNestedArrays(limit + 1).Data()));
    EXPECT_FALSE(LoadBody(MakeNestedArrays(5000).Data()));
}

TEST_F(ArchiveTest, TruncatedBodiesAreRefused) {
    const Bytes body = MakeCatalog().Data();
    ASSERT_TRUE(LoadBody(body));
    for (size_t n = 0; n < body.size(); ++n) {
        SCOPED_TRACE("first " + std::to_string(n) + " bytes");
        EXPECT_FALSE(LoadBody(Bytes(body.begin(), body.begin() + ptrdiff_t(n))));
    }
}

// Every byte of a small cache damaged in turn: the load refuses it or gives a
// tree that dumps and answers every attribute query.
TEST_F(ArchiveTest, DamagedBytesNeverFault) {
    test::Imported imported =
        ImportFile(Copy(fs::path(MOSTFCAT_FIXTURES_DIR) / "params_streams.xml"));
    ASSERT_TRUE(imported.catalog);
    const Bytes body = SaveBody(imported.catalog.get(), m_Dir.File("flip.xml"));
    ASSERT_FALSE(body.empty());
    size_t loaded = 0;
    for (uint8_t mask : {0xFF, 0x01}) {
        for (size_t i = 0; i < body.size(); ++i) {
            Bytes damaged = body;
            damaged[i] ^= mask;
            CatalogPtr c = LoadBody(damaged);
            if (!c) continue;
            ++loaded;
            DumpToNowhere(*c);
            ReadAttributes(c.get());
        }
    }
    // Names, descriptions and plain numbers take most damage silently.
    EXPECT_GT(loaded, body.size() / 4);
}

} // namespace
} // namespace mostfcat
