// The synthetic catalog generator: output fixed by seed and size, sizes near
// the request, and catalogs that import without any message and hold every
// parameter kind the importer knows.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>

#include "generator/catalog_generator.h"
#include "support/test_support.h"
#include "tree/catalog.h"
#include "tree/fblock.h"

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
    ASSERT_TRUE(GenerateCatalogFile(dir.File("g.xml"), 3, 9000));
    EXPECT_EQ(test::ReadFile(dir.File("g.xml")), GenerateCatalog(3, 9000));
    EXPECT_FALSE(GenerateCatalogFile(dir.File("missing/g.xml"), 3, 9000));
}

// The FBlockIDs of the text, decimal or 0x hexadecimal.
std::set<long> FBlockIds(const std::string& xml) {
    std::set<long> ids;
    const std::string tag = "<FBlockID>";
    for (size_t p = xml.find(tag); p != std::string::npos; p = xml.find(tag, p + 1))
        ids.insert(std::stol(xml.substr(p + tag.size(), 8), nullptr, 0));
    return ids;
}

TEST(GeneratorTest, SizeStaysWithinTenPercentOfTheRequest) {
    for (uint64_t seed : {1u, 2024u})
        for (uint64_t size : {16000u, 1000000u, 4000000u})
            EXPECT_NEAR(double(GenerateCatalog(seed, size).size()), double(size), 0.1 * size)
                << "seed " << seed << ", size " << size;
    // Once all 256 FBlockIDs are used the catalog grows inside its FBlocks.
    std::string large = GenerateCatalog(9, 14000000);
    EXPECT_NEAR(double(large.size()), 14e6, 1.4e6);
    EXPECT_EQ(FBlockIds(large).size(), 256u);
    EXPECT_LT(FBlockIds(GenerateCatalog(9, 5000000)).size(), 256u);
}

// What a walk over an imported tree found.
struct Census {
    std::set<uint32_t> types, classes, kinds;
    std::set<const YMTNode*> fktIdFunctions; // declared once, copied by reference
    std::map<std::string, uint32_t> count;
};

void Walk(YMTNode* node, Census& c, bool inArray) {
    const uint32_t type = node->NodeType();
    uint32_t v = 0;
    const char* symId = nullptr;
    c.types.insert(type);
    if (type == kNodeFBlock) {
        c.count["merged FBlocks"] += static_cast<YMTFBlock*>(node)->HasMixedInstFBlockNames();
        c.count["FBlocks with instances"] += static_cast<YMTFBlock*>(node)->GetCount() > 1;
    } else if (type == kNodeFunction) {
        if (node->GetAttrInt(303, &v) == 0) c.classes.insert(v);
        if (node->GetAttrInt(302, &v) == 0) c.kinds.insert(v);
        if (node->NameRef() == "FktIDs") c.fktIdFunctions.insert(node);
    } else if (type == kNodeOperation && node->ID() == 15) {
        // Not entered: the built-in parameters would hide what the generator wrote.
        c.count["error operations"] += node->FindChild("ErrorCode") && node->FindChild("ErrorInfo");
        return;
    } else if (type == kNodeSignal) {
        c.count["little-endian signals"] += node->GetAttrInt(1014, &v) == 0 && v == 0;
    } else if (type == kNodeStreamCase) {
        c.count["repeated cases"] += node->GetAttrInt(1300, &v) == 0 && v > 0;
        c.count["selected cases"] += node->GetAttrStr(1008, &symId) == 0 && symId && *symId &&
                                     symId[std::strlen(symId) - 1] == ')';
    } else if (type == kNodeArray) {
        c.count["nested arrays"] += inArray;
        c.count["tagged arrays"] += node->Name() == "Data";
        inArray = true;
    }
    if (auto* list = dynamic_cast<YMTChildList*>(node))
        ForEachChild(*list, [&](uint32_t, YMTNode* child) { Walk(child, c, inArray); });
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
    Walk(r.catalog.get(), c, false);
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
    EXPECT_EQ(c.count.size(), 8u);
    for (const auto& [what, n] : c.count)
        EXPECT_GT(n, 0u) << what;
}

} // namespace
} // namespace mostfcat
