// The synthetic catalog generator: output fixed by seed and size, sizes near
// the request, and catalogs that import without any message and hold every
// parameter kind the importer knows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "generator/catalog_generator.h"
#include "support/test_support.h"
#include "tree/catalog.h"
#include "tree/fblock.h"

namespace mostfcat {
namespace {

using test::Imported;

// Where two texts first differ, for a readable failure on megabyte strings.
std::string FirstDifference(const std::string& a, const std::string& b) {
    auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    size_t at = size_t(ia - a.begin());
    return "sizes " + std::to_string(a.size()) + "/" + std::to_string(b.size()) +
           ", first difference at " + std::to_string(at) + ": '" + a.substr(at, 60) + "' vs '" +
           b.substr(at, 60) + "'";
}

TEST(GeneratorTest, SameSeedAndSizeGiveTheSameText) {
    for (uint64_t size : {3000u, 60000u, 700000u}) {
        std::string a = GenerateCatalog(42, size);
        std::string b = GenerateCatalog(42, size);
        EXPECT_TRUE(a == b) << "size " << size << ": " << FirstDifference(a, b);
    }
}

TEST(GeneratorTest, OtherSeedsGiveOtherCatalogs) {
    for (uint64_t size : {5000u, 300000u}) {
        std::string one = GenerateCatalog(1, size);
        std::string two = GenerateCatalog(2, size);
        EXPECT_NE(one, two) << "size " << size;
        // Not only the comment that names the seed differs.
        EXPECT_NE(one.substr(one.find("-->")), two.substr(two.find("-->"))) << "size " << size;
    }
    // The upper bits of the seed count as well.
    EXPECT_NE(GenerateCatalog(5, 20000), GenerateCatalog(5 | (uint64_t(1) << 63), 20000));
}

// The FBlockIDs of the text (decimal or 0x hexadecimal, as the generator
// writes them).
std::set<long> FBlockIds(const std::string& xml) {
    std::set<long> ids;
    const std::string tag = "<FBlockID>";
    for (size_t p = xml.find(tag); p != std::string::npos; p = xml.find(tag, p + 1))
        ids.insert(std::stol(xml.substr(p + tag.size(), 8), nullptr, 0));
    return ids;
}

TEST(GeneratorTest, SizeStaysWithinTenPercentOfTheRequest) {
    for (uint64_t seed : {1u, 77u, 2024u}) {
        for (uint64_t size : {16000u, 100000u, 1000000u, 4000000u}) {
            std::string xml = GenerateCatalog(seed, size);
            EXPECT_NEAR(double(xml.size()), double(size), 0.1 * double(size))
                << "seed " << seed << ", size " << size;
        }
    }
}

TEST(GeneratorTest, GrowsInsideTheFBlocksOnceAllIDsAreUsed) {
    std::string mid = GenerateCatalog(9, 5000000);
    std::string large = GenerateCatalog(9, 14000000);
    EXPECT_NEAR(double(large.size()), 14e6, 1.4e6);
    std::set<long> ids = FBlockIds(large);
    EXPECT_EQ(ids.size(), 256u);
    EXPECT_EQ(*ids.begin(), 0);
    EXPECT_EQ(*ids.rbegin(), 255);
    EXPECT_LT(FBlockIds(mid).size(), 256u);
}

TEST(GeneratorTest, FileHoldsTheGeneratedText) {
    test::TempDir dir;
    ASSERT_TRUE(GenerateCatalogFile(dir.File("g.xml"), 3, 9000));
    EXPECT_EQ(test::ReadFile(dir.File("g.xml")), GenerateCatalog(3, 9000));
    EXPECT_FALSE(GenerateCatalogFile(dir.File("missing/g.xml"), 3, 9000));
}

// What a walk over an imported tree found.
struct TreeCensus {
    std::set<uint32_t> nodeTypes;
    std::set<uint32_t> functionClasses;
    std::set<uint32_t> functionKinds; // 1 property, 2 method
    uint32_t mergedFBlocks = 0;       // FBlocks whose instances came from two elements
    uint32_t multiInstanceFBlocks = 0;
    uint32_t littleEndianSignals = 0;
    uint32_t repeatedCases = 0; // stream cases with a repeated group
    uint32_t selectedCases = 0; // stream cases whose selector parameter was found
    uint32_t nestedArrays = 0;  // arrays below an array element
    uint32_t taggedArrays = 0;
    uint32_t errorOperations = 0;            // Error operations filled from the templates
    std::set<const YMTNode*> fktIdFunctions; // declared once, copied by reference
};

// Error operations are counted but not entered: their built-in parameters
// would hide what the generator itself wrote.

void Walk(YMTNode* node, TreeCensus& census, int arrayDepth) {
    uint32_t type = node->NodeType();
    census.nodeTypes.insert(type);
    uint32_t value = 0;
    switch (type) {
    case kNodeFBlock: {
        auto* fblock = static_cast<YMTFBlock*>(node);
        if (fblock->HasMixedInstFBlockNames()) ++census.mergedFBlocks;
        if (fblock->GetCount() > 1) ++census.multiInstanceFBlocks;
        break;
    }
    case kNodeFunction:
        if (node->GetAttrInt(303, &value) == 0) census.functionClasses.insert(value);
        if (node->GetAttrInt(302, &value) == 0) census.functionKinds.insert(value);
        if (node->NameRef() == "FktIDs") census.fktIdFunctions.insert(node);
        break;
    case kNodeOperation:
        if (node->ID() == 15) {
            if (node->FindChild("ErrorCode") && node->FindChild("ErrorInfo"))
                ++census.errorOperations;
            return;
        }
        break;
    case kNodeSignal:
        if (node->GetAttrInt(1014, &value) == 0 && value == 0) ++census.littleEndianSignals;
        break;
    case kNodeStreamCase:
        if (node->GetAttrInt(1300, &value) == 0 && value > 0) ++census.repeatedCases;
        if (const char* symId = nullptr; node->GetAttrStr(1008, &symId) == 0 && symId && *symId &&
                                         symId[std::strlen(symId) - 1] == ')')
            ++census.selectedCases;
        break;
    case kNodeArray:
        if (arrayDepth > 0) ++census.nestedArrays;
        if (node->Name() == "Data") ++census.taggedArrays;
        ++arrayDepth;
        break;
    default:
        break;
    }
    if (auto* list = dynamic_cast<YMTChildList*>(node))
        ForEachChild(*list, [&](uint32_t, YMTNode* child) {
            if (child) Walk(child, census, arrayDepth);
        });
}

class GeneratedImportTest : public test::CatalogTest {
protected:
    Imported ImportGenerated(uint64_t seed, uint64_t size) {
        std::string path = m_Dir.File("generated_" + std::to_string(seed) + ".xml");
        EXPECT_TRUE(GenerateCatalogFile(path, seed, size));
        return ImportFile(path);
    }
};

// No error and no warning at all: every message would point at a
// generator that writes what the importer repairs.
TEST_F(GeneratedImportTest, SmallCatalogImportsWithoutAnyMessage) {
    for (uint64_t seed : {3u, 4u, 5u}) {
        Imported r = ImportGenerated(seed, 24000);
        EXPECT_EQ(r.status, 0u) << "seed " << seed;
        ASSERT_TRUE(r.catalog) << "seed " << seed;
        EXPECT_EQ(Messages(r.log), std::vector<std::string>{}) << "seed " << seed;
        EXPECT_NE(r.log.find("fatal errors: 0  errors: 0  warnings: 0"), std::string::npos)
            << r.log;
    }
}

TEST_F(GeneratedImportTest, MediumCatalogImportsWithoutAnyMessageAndCoversEveryKind) {
    Imported r = ImportGenerated(11, 1000000);
    EXPECT_EQ(r.status, 0u);
    ASSERT_TRUE(r.catalog);
    EXPECT_EQ(Messages(r.log), std::vector<std::string>{});

    TreeCensus census;
    Walk(r.catalog.get(), census, 0);
    // Every parameter class; void parameters never survive the check.
    for (uint32_t type : {kNodeDetailedStream, kNodeStreamCase, kNodeArray, kNodeRecord, kNodeBool,
                          kNodeBoolField, kNodeNumber, kNodeEnum, kNodeEnumValue, kNodeString,
                          kNodeBitField, kNodeDetailedShortStream, kNodeFktIDBitStream,
                          kNodeRawStream, kNodeCStream, kNodeRawShortStream, kNodeSignal})
        EXPECT_TRUE(census.nodeTypes.count(type)) << "no node of type " << type;
    EXPECT_FALSE(census.nodeTypes.count(kNodeVoid));
    // Every function class of the ClassRef table.
    for (uint32_t c :
         {0u, 1u, 2u, 16u, 17u, 18u, 19u, 20u, 21u, 22u, 23u, 24u, 25u, 26u, 27u, 28u, 29u})
        EXPECT_TRUE(census.functionClasses.count(c)) << "no function of class " << c;
    EXPECT_EQ(census.functionKinds, (std::set<uint32_t>{1, 2}));
    EXPECT_GT(census.mergedFBlocks, 0u);
    EXPECT_GT(census.multiInstanceFBlocks, 0u);
    EXPECT_GT(census.littleEndianSignals, 0u);
    EXPECT_GT(census.repeatedCases, 0u);
    EXPECT_GT(census.selectedCases, 0u);
    EXPECT_GT(census.nestedArrays, 0u);
    EXPECT_GT(census.taggedArrays, 0u);
    EXPECT_GT(census.errorOperations, 0u);
    EXPECT_GT(census.fktIdFunctions.size(), 1u);
    EXPECT_EQ(r.catalog->HasDevices, 1);
}

} // namespace
} // namespace mostfcat
