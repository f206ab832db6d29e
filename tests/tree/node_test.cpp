// The node base: identifier rules and the upward name look-up (paths, levels
// and dumps are checked with every node family).
#include <gtest/gtest.h>

#include "tree/identifiers.h"
#include "tree/test_nodes.h"

namespace mostfcat {
namespace {

using test::TestNode;

template <class F> std::string Applied(F f, std::string s) {
    f(s);
    return s;
}

TEST(IdentifierTest, IdentifierRules) {
    // The ends lose everything that is no identifier character; inside,
    // blanks and "()+,-.:;[]{}" become "_" and all else is dropped; at most
    // 255 characters.
    const std::pair<std::string, std::string> kIdentifiers[] = {
        {"  Audio Amp (2)  ", "Audio_Amp__2"},
        {"x-y.z:w;[1]{2}+,", "x_y_z_w__1__2"},
        {"a/b#c*d\"e'f|g~h", "abcdefgh"},
        {std::string("a\tb\001c\351d\0e", 9), "abcde"},
        {"***", ""},
        {std::string(300, 'a'), std::string(255, 'a')}};
    for (const auto& [in, out] : kIdentifiers)
        EXPECT_EQ(Applied(MakeIdentifier, in), out) << in;
    EXPECT_EQ(Applied(MakeIdentifierOrNA, "***"), "_NA_");

    EXPECT_EQ(Applied(FixLeadingDigit, "2ndZone"), "_2ndZone");
    EXPECT_EQ(Applied(FixLeadingDigit, "Zone2"), "Zone2");
    EXPECT_EQ(Applied(FixLeadingDigit, std::string(255, '7')), "_" + std::string(254, '7'));
    EXPECT_TRUE(IsIdentifier("2ndZone")); // a leading digit is allowed here
    EXPECT_FALSE(IsIdentifier("") || IsIdentifier("_x_ "));
    EXPECT_EQ(Applied(MakeCatalogName, "My Catalog.xml"), "My_Catalog_xml");
    EXPECT_EQ(Applied(MakeCatalogName, std::string(40, 'c')), std::string(32, 'c'));
    EXPECT_EQ(Applied(MakeCatalogName, "###"), "FunctionCatalog");
}

// Links child below parent at index.
TestNode* Attach(TestNode* parent, TestNode* child, uint32_t index) {
    child->SetParent(parent);
    parent->SetAt(child, index);
    return child;
}

TEST(NodeTest, LookupFindsEarlierSiblingsFirstThenWalksUpSkippingNonParameters) {
    // catalog { FBlock Target@0x10, Amp@0x22 { Inst01 { Volume { operation
    // Target@0, Status@2 { Len@1, Rec@2 { len@1, Flag(BoolField)@3, X@4 },
    // Late@5 } } } } }
    TestNode catalog("", kNodeCatalog);
    Attach(&catalog, new TestNode("Target", kNodeFBlock, 0x10), 0x10);
    auto* fblock = Attach(&catalog, new TestNode("Amp", kNodeFBlock, 0x22), 0x22);
    auto* instance = Attach(fblock, new TestNode("Inst01", kNodeInstance, 1), 1);
    auto* function = Attach(instance, new TestNode("Volume", kNodeFunction, 0x400), 0x400);
    Attach(function, new TestNode("Target", kNodeOperation, 0), 0);
    auto* op = Attach(function, new TestNode("Status", kNodeOperation, 2), 2);
    auto* opLen = Attach(op, new TestNode("Len", kNodeNumber, 1), 1);
    auto* rec = Attach(op, new TestNode("Rec", kNodeRecord, 2), 2);
    auto* late = Attach(op, new TestNode("Late", kNodeNumber, 5), 5);
    auto* recLen = Attach(rec, new TestNode("len", kNodeNumber, 1), 1);
    Attach(rec, new TestNode("Flag", kNodeBoolField, 3), 3);
    auto* x = Attach(rec, new TestNode("X", kNodeNumber, 4), 4);

    EXPECT_EQ(rec->LookupName("LEN", 4), recLen);
    // Not before position 1 in the record: the operation's Len, which lies
    // before the record's own position 2.
    EXPECT_EQ(rec->LookupName("Len", 1), opLen);
    EXPECT_EQ(rec->LookupName("X", 0xFFFFFFFF), x);
    EXPECT_EQ(rec->LookupName("Late", 9), nullptr); // Late follows the record
    EXPECT_EQ(op->LookupName("Late", 6), late);
    // Bool fields, operations, functions, FBlocks and catalogs are never an
    // answer, but the walk goes on above them.
    EXPECT_EQ(rec->LookupName("Flag", 100), nullptr);
    EXPECT_EQ(rec->LookupName("Target", 0xFFFFFFFF), nullptr);
    EXPECT_EQ(instance->LookupName("Volume", 0xFFFFFFFF), nullptr);
    Attach(fblock, new TestNode("Target", kNodeInstance, 0), 0);
    YMTNode* found = rec->LookupName("Target", 0xFFFFFFFF);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->NodeType(), kNodeInstance);
}

} // namespace
} // namespace mostfcat
