// Tree archives: round trips of imported catalogs through a cache file, the
// exact layout of a small body, and the reader against damaged and hostile
// bodies (each must load as null; the sanitizer build checks for leaks).
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "cache/archive_io.h"
#include "cache/fcat_file.h"
#include "generator/catalog_generator.h"
#include "import/import_context.h"
#include "import/import_log.h"
#include "support/catalog_builder.h"
#include "tree/fblock.h"
#include "tree/function.h"

namespace mostfcat {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using test::CatalogPtr;

constexpr uint32_t kOptions = 0x50005;
constexpr uint8_t kUseDefaults = 1;

// Loads a body from a memory image behind a header that passes the check.
CatalogPtr LoadBody(const Bytes& body) {
    Bytes image(YFCatFile::kHeaderSize, 0);
    std::memcpy(image.data(), YFCatFile::kMagic, std::strlen(YFCatFile::kMagic));
    for (int i = 0; i < 4; ++i) {
        image[YFCatFile::kOffVersion + i] = uint8_t(YFCatFile::kFormatVersion >> (8 * i));
        image[YFCatFile::kOffOptions + i] = uint8_t(kOptions >> (8 * i));
    }
    image[YFCatFile::kOffDefaultErrorParams] = kUseDefaults;
    image.insert(image.end(), body.begin(), body.end());
    YFCatFile file("/nonexistent/image.xml", true, image.data(), uint32_t(image.size()));
    if (!file.OpenRead(false, kUseDefaults, kOptions)) {
        ADD_FAILURE() << "header refused, error " << file.Error();
        return nullptr;
    }
    YMTArchiveRead reader(file);
    return CatalogPtr(LoadCatalog(reader, file));
}

// Saves into the cache file beside xmlPath; returns the bytes after the
// header, empty when the save failed.
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

::testing::AssertionResult SameBytes(const Bytes& a, const Bytes& b) {
    if (a == b) return ::testing::AssertionSuccess();
    auto at = std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin();
    return ::testing::AssertionFailure()
           << "sizes " << a.size() << " and " << b.size() << ", first difference at " << at;
}

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
    Body& Header(uint32_t type, uint32_t id) { return U16(m_Sequence++).U8(uint8_t(type)).U32(id); }
    // Name, description, parent, bytes, level.
    Body& Node(const std::string& name, uint32_t parent, uint16_t bytes = 0, uint8_t level = 0) {
        return Str(name).Str("").U32(parent).U16(bytes).U8(level);
    }
    // Position, sequence index, selector flag, bit position, symbol.
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
    // Device "Front" without description, release and date; no FBlock name.
    Body& Instance(uint32_t id, uint32_t parent, const std::string& name, uint32_t instanceId) {
        Header(kNodeInstance, id).Node(name, parent, 2, 2).U32(instanceId);
        return Str("Front").Str("").Str("").Str("").Str("");
    }
    // A notifying property of class 3, ClassSub 4, with errors, no texts.
    Body& Function(uint32_t id, const std::string& name, uint32_t parent, uint32_t fid) {
        Header(kNodeFunction, id).Node(name, parent, 2, 3).U32(fid);
        return U8(kFunctionProperty).U8(3).U8(4).Str("").Str("").U32(kFunctionErrors).U8(1);
    }

    const Bytes& Data() const { return m_Bytes; }

private:
    Bytes m_Bytes;
    uint16_t m_Sequence = 0;
};

// The ids of the hand-written catalog in the order the writer hands them out,
// so that a sound variant saves back to the same bytes.
constexpr uint32_t kIdCat = 1, kIdAmp = 2, kIdInst0 = 3, kIdFunction = 4, kIdOp = 5, kIdPos = 6,
                   kIdArray = 7, kIdElem = 8, kIdStream = 9, kIdCase = 10, kIdInst1 = 11,
                   kIdTuner = 12, kIdTunerInst = 13;

// Variations of the hand-written catalog; the defaults give a sound tree.
struct Shape {
    uint8_t rootType = kNodeCatalog, fblockType = kNodeFBlock;
    bool fblockListOwns = true, numberInFBlockList = false;
    uint32_t firstInstance = kIdInst0, functionParent = kIdInst0, operationId = kIdOp;
    uint16_t paramListSize = 4;
    uint32_t arraySelector = kIdPos, streamSelector = kIdPos, streamListSize = 0, seqWords = 0;
    uint16_t sharedIndex = 0x200;      // of the function Inst01 shares
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
    b.Header(s.rootType, kIdCat).Node("Cat", 0, 1).Str("1.0").Str("2026-01-01").U8(0);
    b.List(s.fblockListOwns, 0x21).At(0x10);
    if (!s.fblockListOwns) return b.U32(kIdAmp).End();
    if (s.numberInFBlockList) return b.Number(kIdAmp, kIdCat, "Amp", 1).End();
    b.Header(s.fblockType, kIdAmp).Node("Amp", kIdCat, 1, 1).U32(0x10).Str("").Str("");
    b.U32(s.firstInstance).U32(kIdInst0).List(true, 2);
    b.At(0).Instance(kIdInst0, kIdAmp, "Inst00", 0).List(true, s.functionListSize).At(0x200);
    b.Function(kIdFunction, "Volume", s.functionParent, 0x200).List(true, 1).At(0);
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
    b.End().End().End().End();    // the stream's cases, parameters, operations, functions
    b.At(1).Instance(kIdInst1, kIdAmp, "Inst01", 1).List(false, 0x201);
    b.At(s.sharedIndex).U32(kIdFunction);
    if (s.sharedTwice) b.At(s.sharedIndex).U32(kIdFunction);
    b.End().End(); // Inst01's functions, Amp's instances
    b.At(0x20).Header(kNodeFBlock, kIdTuner).Node("Tuner", kIdCat, 1, 1).U32(0x20).Str("").Str("");
    b.U32(kIdTunerInst).U32(0).List(true, 1); // no default instance
    b.At(0).Instance(kIdTunerInst, kIdTuner, "Inst00", 0);
    if (s.tunerEntry)
        b.List(false, 0x201).At(0x200).U32(s.tunerEntry).End();
    else
        b.List(true, 0).End();
    return b.End().End(); // Tuner's instances, the catalog's FBlocks
}

// An operation holding arrays nested `arrays` deep below the root, FBlock,
// instance, function and operation.
Body MakeNestedArrays(uint32_t arrays) {
    Body b;
    b.Header(kNodeCatalog, 1).Node("Cat", 0).Str("").Str("").U8(0).List(true, 1).At(0);
    b.Header(kNodeFBlock, 2).Node("F", 1).U32(0).Str("").Str("").U32(0).U32(0).List(true, 1).At(0);
    b.Instance(3, 2, "I", 0).List(true, 1).At(0);
    b.Function(4, "Fn", 3, 0).List(true, 1).At(0);
    b.Header(kNodeOperation, 5).Node("Op", 4).U32(0).List(true, 2);
    for (uint32_t id = 6; id < 6 + arrays; ++id) {
        b.At(1).Header(kNodeArray, id).Node("A", id - 1).Param(1);
        b.U32(1).U32(0).U32(0).List(true, 2);
    }
    for (uint32_t i = 0; i < arrays; ++i)
        b.End();
    return b.End().End().End().End().End();
}

class ArchiveTest : public test::CatalogTest {
protected:
    // Imports xmlPath, saves it and loads it again. The dumps name every
    // node's parent and every reference and must agree; saving the loaded
    // tree must give the same bytes, which ties each reference to its node.
    // With fromFileAbove, the body must be larger and is read from the cache file.
    void RoundTrip(const std::string& xmlPath, size_t fromFileAbove = 0) {
        test::Imported imported = ImportFile(xmlPath);
        ASSERT_TRUE(imported.catalog) << imported.log;
        Bytes body = SaveBody(imported.catalog.get(), xmlPath);
        ASSERT_GT(body.size(), fromFileAbove);
        YFCatFile file(xmlPath, false, nullptr, 0);
        CatalogPtr loaded;
        if (fromFileAbove) {
            ASSERT_TRUE(file.OpenRead(false, kUseDefaults, kOptions)) << file.Error();
            YMTArchiveRead reader(file);
            loaded.reset(LoadCatalog(reader, file));
        } else {
            loaded = LoadBody(body);
        }
        ASSERT_TRUE(loaded);
        loaded->FilePath = imported.catalog->FilePath; // the pool's business
        EXPECT_EQ(DumpText(*imported.catalog), DumpText(*loaded));
        EXPECT_TRUE(SameBytes(body, SaveBody(loaded.get(), xmlPath)));
    }
    // A copy in the temporary folder keeps logs and caches out of the sources.
    std::string Copy(const fs::path& source) {
        std::string target = m_Dir.File(source.filename().string());
        fs::copy_file(source, target, fs::copy_options::overwrite_existing);
        return target;
    }
};

// Instance 2 has the lower InstanceID, so its list of shared functions is
// written before the records of Rear's functions; Presets' stream takes its
// list size from a preceding number, which no fixture has.
const std::string kForwardShares =
    test::FBlockXml("Amp", "0x22",
                    test::DeviceXml("Rear", "5") + test::DeviceXml("Front", "2") +
                        test::PropertyXml("Volume", "0x400") + R"(
  <Function><FunctionName>Presets</FunctionName><FunctionID>0x401</FunctionID>
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
    </PUnclassified></Property></FunctionClass></Function>)");

TEST_F(ArchiveTest, RoundTripsKeepTreesAndBytes) {
    std::vector<std::string> paths{Copy(MOSTFCAT_SAMPLE_CATALOG), m_Dir.File("forward.xml")};
    test::WriteFile(paths.back(), test::CatalogXml(kForwardShares));
    for (const auto& e : fs::directory_iterator(MOSTFCAT_FIXTURES_DIR))
        if (e.path().extension() == ".xml") paths.push_back(Copy(e.path()));
    for (uint64_t seed : {1u, 7u, 20260101u}) {
        paths.push_back(m_Dir.File("generated_" + std::to_string(seed) + ".xml"));
        test::WriteFile(paths.back(), GenerateCatalog(seed, 40000));
    }
    ASSERT_GT(paths.size(), 9u);
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        RoundTrip(path);
    }
}

// A body of many windows read from the file itself: records that straddle
// the window's end are read whole, and the tree must not notice.
TEST_F(ArchiveTest, LargeCacheFileLoadsAsImported) {
    std::string path = m_Dir.File("large.xml");
    test::WriteFile(path, GenerateCatalog(20240917, 4000000));
    RoundTrip(path, 3 * kLargePage);
}

TEST_F(ArchiveTest, HandWrittenBodies) {
    // Saved back to the same bytes only when every field, parent, reference
    // and shared entry was read into its place and the writer lays them out as
    // written here (a reference met before its record takes the next id);
    // empty entries at the end of a list count in its size.
    for (uint16_t size : {0x201, 0x1000}) {
        Shape shape;
        shape.functionListSize = size;
        const Bytes body = MakeCatalog(shape).Data();
        CatalogPtr loaded = LoadBody(body);
        ASSERT_TRUE(loaded);
        EXPECT_TRUE(SameBytes(body, SaveBody(loaded.get(), m_Dir.File("hand.xml"))));
    }

    const Bytes sound = MakeCatalog().Data();
    const std::pair<const char*, void (*)(Shape&)> hostile[] = {
        {"root is an FBlock", [](Shape& s) { s.rootType = kNodeFBlock; }},
        {"FBlock of an unknown type", [](Shape& s) { s.fblockType = 25; }},
        {"catalog in the FBlock list", [](Shape& s) { s.fblockType = kNodeCatalog; }},
        {"FBlock list without ownership", [](Shape& s) { s.fblockListOwns = false; }},
        {"number in the FBlock list", [](Shape& s) { s.numberInFBlockList = true; }},
        {"stored parent disagrees", [](Shape& s) { s.functionParent = kIdAmp; }},
        {"duplicated id", [](Shape& s) { s.operationId = kIdFunction; }},
        {"list of size 3 names index 3", [](Shape& s) { s.paramListSize = 3; }},
        {"65536 words", [](Shape& s) { s.seqWords = 0x10000; }},
        {"function list beyond the identifiers", [](Shape& s) { s.functionListSize = 0x1001; }},
        {"shared entry named twice", [](Shape& s) { s.sharedTwice = true; }},
        {"unknown id", [](Shape& s) { s.arraySelector = 999; }},
        {"array selector is a stream", [](Shape& s) { s.arraySelector = kIdStream; }},
        {"stream selector is an array", [](Shape& s) { s.streamSelector = kIdArray; }},
        {"list size is an array", [](Shape& s) { s.streamListSize = kIdArray; }},
        {"first instance of another FBlock", [](Shape& s) { s.firstInstance = kIdTunerInst; }},
        {"shared entry at another index", [](Shape& s) { s.sharedIndex = 0x1FF; }},
        {"function shared across FBlocks", [](Shape& s) { s.tunerEntry = kIdFunction; }},
        {"array indexed by its element", [](Shape& s) { s.arraySelector = kIdElem; }},
    };
    for (const auto& [what, change] : hostile) {
        SCOPED_TRACE(what);
        Shape shape;
        change(shape);
        const Bytes body = MakeCatalog(shape).Data();
        EXPECT_NE(sound, body);
        EXPECT_FALSE(LoadBody(body));
    }

    // The root, FBlock, instance, function and operation take five levels.
    const uint32_t limit = uint32_t(YMTArchiveRead::kMaxDepth) - 5;
    EXPECT_TRUE(LoadBody(MakeNestedArrays(limit).Data()));
    EXPECT_FALSE(LoadBody(MakeNestedArrays(limit + 1).Data()));
}

// A loaded tree lives in its catalog's storage; texts that repeat are kept
// once, and a stored text ends at its first zero byte, as it always did.
TEST_F(ArchiveTest, LoadedTreesKeepTheirTextsOnce) {
    test::Imported imported = ImportFile(Copy(MOSTFCAT_SAMPLE_CATALOG));
    ASSERT_TRUE(imported.catalog);
    const Bytes body = SaveBody(imported.catalog.get(), m_Dir.File("texts.xml"));
    CatalogPtr loaded = LoadBody(body);
    ASSERT_TRUE(loaded && loaded->Storage());
    std::vector<const YMTNode*> errors; // the Error operations
    std::vector<const YMTNode*> stack{loaded.get()};
    while (!stack.empty()) {
        const YMTNode* n = stack.back();
        stack.pop_back();
        if (n != loaded.get()) {
            EXPECT_TRUE(loaded->Storage()->Arena().Contains(n));
        }
        if (n->NodeType() == kNodeOperation && n->NameRef() == "Error") errors.push_back(n);
        if (const YMTChildList* list = n->Children())
            if (list->OwnsChildren())
                ForEachChild(*list, [&](uint32_t, YMTNode* c) { stack.push_back(c); });
    }
    ASSERT_GT(errors.size(), 2u);
    EXPECT_EQ(&errors[0]->NameRef(), &errors[1]->NameRef());
    const YMTNode* code0 = errors[0]->ChildAt(1);
    const YMTNode* code1 = errors[1]->ChildAt(1);
    ASSERT_TRUE(code0 && code1);
    EXPECT_EQ(&code0->ChildAt(1)->Description(), &code1->ChildAt(1)->Description());
    EXPECT_TRUE(SameBytes(body, SaveBody(loaded.get(), m_Dir.File("again.xml"))));

    // The FBlock's name with a zero byte inside, and a description of zeros.
    Body cut;
    cut.Header(kNodeCatalog, 1).Node("Cat", 0, 1).Str("").Str("").U8(0);
    cut.List(true, 0x23).At(0x22);
    cut.Header(kNodeFBlock, 2).Str(std::string("Am\0p", 4)).Str(std::string(3, '\0'));
    cut.U32(1).U16(1).U8(1).U32(0x22).Str("").Str("").U32(0).U32(0).List(true, 0).End().End();
    CatalogPtr c = LoadBody(cut.Data());
    ASSERT_TRUE(c);
    ASSERT_TRUE(c->FBlockAt(0x22));
    EXPECT_EQ(c->FBlockAt(0x22)->NameRef(), "Am");
    EXPECT_EQ(c->FBlockAt(0x22)->Description(), "");
}

TEST_F(ArchiveTest, TruncatedBodiesAreRefused) {
    const Bytes body = MakeCatalog().Data();
    for (size_t n = 0; n < body.size(); ++n)
        EXPECT_FALSE(LoadBody(Bytes(body.begin(), body.begin() + ptrdiff_t(n)))) << n << " bytes";
}

// Every byte of a small cache damaged in turn: the load refuses it or gives a
// tree that dumps.
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
            if (CatalogPtr c = LoadBody(damaged)) {
                ++loaded;
                YImportLog log;
                YImportContext ctx;
                log.OpenDumpFile("/dev/null");
                c->Dump(ctx, log);
            }
        }
    }
    // Names, descriptions and plain numbers take most damage silently.
    EXPECT_GT(loaded, body.size() / 4);
}

} // namespace
} // namespace mostfcat
