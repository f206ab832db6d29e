// The node base: identifier rules, paths and levels, the dump format, the
// upward name look-up and the attributes every node answers.
#include <gtest/gtest.h>

#include "import/import_log.h"
#include "support/test_support.h"
#include "tree/identifiers.h"
#include "tree/test_nodes.h"

namespace mostfcat {
namespace {

// Reaches the fixture's dump helper from tests without the fixture.
struct Dumper : test::CatalogTest {
    using CatalogTest::DumpText;
};

using test::TestNode;

std::string Ident(std::string s) {
    MakeIdentifier(s);
    return s;
}

TEST(IdentifierTest, MakeIdentifierDropsTheEndsAndMapsSeparators) {
    EXPECT_EQ(Ident("  Audio Amp (2)  "), "Audio_Amp__2");
    EXPECT_EQ(Ident("x-y.z:w;[1]{2}+,"), "x_y_z_w__1__2");
    EXPECT_EQ(Ident("(Volume)"), "Volume");
    // Other characters inside are dropped: control characters, characters
    // above code 125 and the remaining printable ones.
    EXPECT_EQ(Ident("a/b#c*d\"e'f|g~h"), "abcdefgh");
    EXPECT_EQ(Ident(std::string("a\tb\x01" "c\xE9" "d", 7)), "abcd");
    EXPECT_EQ(Ident(std::string("a\0b", 3)), "ab");
    EXPECT_EQ(Ident("***"), "");
    EXPECT_EQ(Ident(""), "");
    EXPECT_EQ(Ident(std::string(300, 'a')), std::string(255, 'a'));
    EXPECT_EQ(Ident(std::string(255, 'b')), std::string(255, 'b'));

    std::string na = "***";
    MakeIdentifierOrNA(na);
    EXPECT_EQ(na, "_NA_");
    std::string kept = " Tuner ";
    MakeIdentifierOrNA(kept);
    EXPECT_EQ(kept, "Tuner");
}

TEST(IdentifierTest, LeadingDigitIdentifierTestAndCatalogName) {
    std::string zone = "2ndZone";
    EXPECT_TRUE(FixLeadingDigit(zone));
    EXPECT_EQ(zone, "_2ndZone");
    std::string plain = "Zone2";
    EXPECT_FALSE(FixLeadingDigit(plain));
    EXPECT_EQ(plain, "Zone2");
    std::string empty;
    EXPECT_FALSE(FixLeadingDigit(empty));
    std::string longDigits(255, '7');
    EXPECT_TRUE(FixLeadingDigit(longDigits));
    EXPECT_EQ(longDigits, "_" + std::string(254, '7'));

    EXPECT_TRUE(IsIdentifier("Audio_Amp__2"));
    EXPECT_TRUE(IsIdentifier("_NA_"));
    EXPECT_TRUE(IsIdentifier("2ndZone")); // a leading digit is allowed here
    EXPECT_FALSE(IsIdentifier(""));
    EXPECT_FALSE(IsIdentifier("Audio Amp"));
    EXPECT_FALSE(IsIdentifier("_x_ "));

    std::string name = "My Catalog.xml";
    MakeCatalogName(name);
    EXPECT_EQ(name, "My_Catalog_xml");
    name = std::string(40, 'c');
    MakeCatalogName(name);
    EXPECT_EQ(name, std::string(32, 'c'));
    name = "###";
    MakeCatalogName(name);
    EXPECT_EQ(name, "FunctionCatalog");
}

TEST(NodeTest, PathLevelAndCheckedLevel) {
    TestNode root("", kNodeCatalog);
    auto* amp = new TestNode("Amp", kNodeFBlock, 0x22);
    auto* inst = new TestNode("Inst01", kNodeInstance, 1);
    auto* volume = new TestNode("Volume", kNodeFunction, 0x400);
    amp->SetParent(&root);
    root.SetAt(amp, 0x22);
    inst->SetParent(amp);
    amp->SetAt(inst, 1);
    volume->SetParent(inst);
    inst->SetAt(volume, 0x400);

    EXPECT_EQ(root.PathName(), "/");
    EXPECT_EQ(amp->PathName(), "//Amp");
    EXPECT_EQ(volume->PathName(), "//Amp/Inst01/Volume");
    root.SetName("Cat");
    EXPECT_EQ(volume->PathName(), "/Cat/Amp/Inst01/Volume");

    EXPECT_EQ(root.Level(), 0u);
    EXPECT_EQ(volume->Level(), 3u);
    EXPECT_EQ(volume->Depth(), 3u);
    EXPECT_EQ(volume->CheckedLevel(), 0u); // until Check runs
    uint32_t level = 99;
    YImportContext ctx;
    YImportLog log;
    ASSERT_TRUE(root.Check(ctx, log));
    EXPECT_EQ(volume->CheckedLevel(), 3u);
    ASSERT_EQ(volume->GetAttrInt(1, &level), 0u);
    EXPECT_EQ(level, 3u);

    // The base answers the level and the parent only.
    YMTNode* parent = nullptr;
    ASSERT_EQ(volume->GetAttrNode(2, &parent), 0u);
    EXPECT_EQ(parent, inst);
    const char* text = nullptr;
    EXPECT_EQ(volume->GetAttrStr(3, &text), 1u);
    EXPECT_EQ(volume->GetAttrInt(0, &level), 1u);
}

TEST(NodeTest, DumpWritesHeaderBaseLinesAndChildrenIndentedByLevel) {
    TestNode free("Lonely", kNodeNumber);
    free.SetBytesInMsg(2);
    EXPECT_EQ(Dumper::DumpText(free), "NODE: Lonely\n.Parent: -\n.BytesInMsg: 2\n");

    TestNode root("Cat", kNodeCatalog);
    auto* a = new TestNode("A", kNodeFBlock, 3);
    auto* b = new TestNode("B", kNodeFBlock, 1);
    a->SetParent(&root);
    b->SetParent(&root);
    root.SetAt(a, 3);
    root.SetAt(b, 1);
    EXPECT_EQ(Dumper::DumpText(root), "NODE: Cat\n.Parent: -\n.BytesInMsg: 0\n"
                                                 "\tNODE: B\n\t.Parent: /Cat\n\t.BytesInMsg: 0\n"
                                                 "\tNODE: A\n\t.Parent: /Cat\n\t.BytesInMsg: 0\n");
}

// A tree of named nodes for the upward look-up:
//   catalog "Target"-FBlock / instance / function "Target"-operation /
//   operation: Len@1, Rec@2 { Len@1, Flag(BoolField)@3, X@4 }, Late@5
class LookupNameTest : public ::testing::Test {
protected:
    LookupNameTest() {
        Attach(&catalog, new TestNode("Target", kNodeFBlock, 0x10), 0x10);
        Attach(&catalog, fblock, 0x22);
        Attach(fblock, instance, 1);
        Attach(instance, function, 0x400);
        Attach(function, new TestNode("Target", kNodeOperation, 0), 0);
        Attach(function, op, 2);
        Attach(op, opLen, 1);
        Attach(op, rec, 2);
        Attach(op, late, 5);
        Attach(rec, recLen, 1);
        Attach(rec, new TestNode("Flag", kNodeBoolField, 3), 3);
        Attach(rec, x, 4);
    }
    static void Attach(TestNode* parent, TestNode* child, uint32_t index) {
        child->SetParent(parent);
        parent->SetAt(child, index);
    }

    TestNode catalog{"", kNodeCatalog};
    TestNode* fblock = new TestNode("Amp", kNodeFBlock, 0x22);
    TestNode* instance = new TestNode("Inst01", kNodeInstance, 1);
    TestNode* function = new TestNode("Volume", kNodeFunction, 0x400);
    TestNode* op = new TestNode("Status", kNodeOperation, 2);
    TestNode* opLen = new TestNode("Len", kNodeNumber, 1);
    TestNode* rec = new TestNode("Rec", kNodeRecord, 2);
    TestNode* late = new TestNode("Late", kNodeNumber, 5);
    TestNode* recLen = new TestNode("len", kNodeNumber, 1);
    TestNode* x = new TestNode("X", kNodeNumber, 4);
};

TEST_F(LookupNameTest, FindsEarlierSiblingsFirstThenWalksUp) {
    EXPECT_EQ(rec->LookupName("LEN", 4), recLen);
    // Not before position 1 inside the record: the operation's Len, which
    // lies before the record's own position 2.
    EXPECT_EQ(rec->LookupName("Len", 1), opLen);
    EXPECT_EQ(rec->LookupName("X", 0xFFFFFFFF), x);
    // Late (position 5) follows the record (position 2) in the operation.
    EXPECT_EQ(rec->LookupName("Late", 9), nullptr);
    EXPECT_EQ(op->LookupName("Late", 6), late);
    EXPECT_EQ(rec->LookupName("Nothing", 100), nullptr);
}

TEST_F(LookupNameTest, NeverReturnsBoolFieldsOperationsFunctionsFBlocksOrCatalogs) {
    EXPECT_EQ(rec->LookupName("Flag", 100), nullptr);
    // The function holds an operation named Target at OpType 0 and the
    // catalog an FBlock named Target: neither is a parameter.
    EXPECT_EQ(rec->LookupName("Target", 0xFFFFFFFF), nullptr);
    EXPECT_EQ(function->LookupName("Status", 0xFFFFFFFF), nullptr);
    EXPECT_EQ(catalog.LookupName("Amp", 0xFFFFFFFF), nullptr);
    EXPECT_EQ(instance->LookupName("Volume", 0xFFFFFFFF), nullptr);
    // The walk goes on above them: an instance of that name is an answer.
    Attach(fblock, new TestNode("Target", kNodeInstance, 0), 0);
    YMTNode* found = rec->LookupName("Target", 0xFFFFFFFF);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->NodeType(), kNodeInstance);
}

} // namespace
} // namespace mostfcat
