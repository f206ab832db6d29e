// The synthetic catalog generator: output fixed by seed and size, sizes near
// the request, and catalogs that import without any message and hold every
// parameter kind the importer knows.
#include <gtest/gtest.h>

#include <set>

#include "generator/catalog_generator.h"
#include "support/test_support.h"
#include "tree/catalog.h"

namespace mostfcat {
namespace {

// Strings of megabytes are compared with EXPECT_TRUE to keep failures short.
TEST(GeneratorTest, OutputIsFixedBySeedAndSize) {
    for (uint64_t size : {3000u, 700000u}) {
        std::string a = GenerateCatalog(42, size), other = GenerateCatalog(43, size);
        EXPECT_TRUE(a == GenerateCatalog(42, size)) << size;
        // Not only the comment that names the seed differs.
        EXPECT_TRUE(a.substr(a.find("-->")) != other.substr(other.find("-->"))) << size;
    }
    EXPECT_NE(GenerateCatalog(5, 20000), GenerateCatalog(5 | (uint64_t(1) << 63), 20000));
    test::TempDir dir;
    EXPECT_FALSE(GenerateCatalogFile(dir.File("missing/g.xml"), 3, 9000));
}

TEST(GeneratorTest, SizeStaysWithinTenPercentOfTheRequest) {
    for (uint64_t seed : {1u, 2024u})
        for (uint64_t size : {16000u, 1000000u, 4000000u})
            EXPECT_NEAR(double(GenerateCatalog(seed, size).size()), double(size), 0.1 * size)
                << "seed " << seed << ", size " << size;
    // Once all 256 FBlockIDs are used the catalog grows inside its FBlocks.
    EXPECT_NEAR(double(GenerateCatalog(9, 14000000).size()), 14e6, 1.4e6);
}

// What a walk over an imported tree found.
struct Census {
    std::set<uint32_t> types, classes, kinds;
    std::set<const YMTNode*> fktIdFunctions; // declared once, copied by reference
};

void Walk(YMTNode* node, Census& c) {
    const uint32_t type = node->NodeType();
    uint32_t v = 0;
    // The built-in error parameters would hide what the generator wrote.
    if (type == kNodeOperation && node->ID() == 15) return;
    c.types.insert(type);
    if (type == kNodeFunction) {
        if (node->GetAttrInt(303, &v) == 0) c.classes.insert(v);
        if (node->GetAttrInt(302, &v) == 0) c.kinds.insert(v);
        if (node->NameRef() == "FktIDs") c.fktIdFunctions.insert(node);
    }
    if (auto* list = dynamic_cast<YMTChildList*>(node))
        ForEachChild(*list, [&](uint32_t, YMTNode* child) { Walk(child, c); });
}

class GeneratedImportTest : public test::CatalogTest {
protected:
    test::Imported ImportGenerated(uint64_t seed, uint64_t size) {
        std::string path = m_Dir.File("generated_" + std::to_string(seed) + ".xml");
        EXPECT_TRUE(GenerateCatalogFile(path, seed, size));
        test::Imported r = ImportFile(path);
        // Any message points at a generator that writes what the importer repairs.
        EXPECT_EQ(r.status, 0u) << "seed " << seed;
        EXPECT_EQ(Messages(r.log), std::vector<std::string>{}) << "seed " << seed;
        EXPECT_NE(r.log.find("fatal errors: 0  errors: 0  warnings: 0"), std::string::npos);
        return r;
    }
};

TEST_F(GeneratedImportTest, CatalogsImportWithoutAnyMessageAndCoverEveryKind) {
    for (uint64_t seed : {3u, 4u, 5u})
        EXPECT_TRUE(ImportGenerated(seed, 24000).catalog) << "seed " << seed;
    test::Imported r = ImportGenerated(11, 1000000);
    ASSERT_TRUE(r.catalog);
    EXPECT_EQ(r.catalog->HasDevices, 1);
    Census c;
    Walk(r.catalog.get(), c);
    // Every parameter class; void parameters never survive the check.
    for (uint32_t type : {kNodeDetailedStream, kNodeStreamCase, kNodeArray, kNodeRecord, kNodeBool,
                          kNodeBoolField, kNodeNumber, kNodeEnum, kNodeEnumValue, kNodeString,
                          kNodeBitField, kNodeDetailedShortStream, kNodeFktIDBitStream,
                          kNodeRawStream, kNodeCStream, kNodeRawShortStream, kNodeSignal})
        EXPECT_TRUE(c.types.count(type)) << "no node of type " << type;
    EXPECT_FALSE(c.types.count(kNodeVoid));
    EXPECT_EQ(c.classes, (std::set<uint32_t>{0, 1, 2, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26,
                                             27, 28, 29}));
    EXPECT_EQ(c.kinds, (std::set<uint32_t>{1, 2}));
    EXPECT_GT(c.fktIdFunctions.size(), 1u);
}

} // namespace
} // namespace mostfcat
