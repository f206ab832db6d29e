// The sparse child list: storage by index, growth, iteration and gap search,
// compaction, removal with and without ownership, copying and CheckAll.
#include <gtest/gtest.h>

#include "import/import_log.h"
#include "tree/test_nodes.h"

namespace mostfcat {
namespace {

using test::TestNode;

std::vector<uint32_t> Positions(const YMTChildList& list) {
    std::vector<uint32_t> out;
    ForEachChild(list, [&](uint32_t i, YMTNode*) { out.push_back(i); });
    return out;
}

TEST(ChildListTest, SetAtLeavesNullGapsGrowsAndNeverDeletesThePreviousEntry) {
    TestNode list("list", kNodeOperation);
    auto* b = new TestNode("Balance", kNodeEnum, 5);
    list.Add(new TestNode("Volume"));
    EXPECT_EQ(list.Capacity(), 2u); // a first allocation takes at least 2
    list.SetAt(b, 5);
    EXPECT_EQ(list.Capacity(), 6u); // more than double: what is needed
    EXPECT_EQ(list.GetSize(), 6u);
    EXPECT_EQ(list.GetCount(), 2u);
    EXPECT_EQ(list.GetAt(3), nullptr);
    EXPECT_EQ(list.GetAt(0xFFFFFFFF), nullptr);
    EXPECT_EQ(list.FindByName("balance"), b);
    EXPECT_EQ(list.FindByName("Vol"), nullptr);
    EXPECT_EQ(list.FindByType(kNodeEnum), b);
    int before = TestNode::Destroyed();
    list.SetAt(new TestNode("Mute", kNodeBool, 5), 5);
    EXPECT_EQ(TestNode::Destroyed(), before);
    delete b;
    list.Add(new TestNode("Bass"));
    EXPECT_EQ(list.Capacity(), 12u); // doubled
}

TEST(ChildListTest, PositionsAndGapsSkipNullEntries) {
    TestNode list("list"); // [-, -, a, b, -, -, -, c]
    uint32_t pos = 77;
    EXPECT_FALSE(list.GetFirstPos(pos));
    EXPECT_EQ(pos, 0u);
    for (uint32_t i : {2u, 3u, 7u})
        list.SetAt(new TestNode("n"), i);
    EXPECT_EQ(Positions(list), (std::vector<uint32_t>{2, 3, 7}));
    ASSERT_TRUE(list.GetNextPos(pos, 0xFFFFFFFF)); // the same as GetFirstPos
    EXPECT_EQ(pos, 2u);
    ASSERT_TRUE(list.GetNextPos(pos, 4));
    EXPECT_EQ(pos, 7u);
    EXPECT_FALSE(list.GetNextPos(pos, 7));

    // The first entry after "from" that follows an empty one.
    ASSERT_TRUE(list.FindNextAfterGap(pos, 0));
    EXPECT_EQ(pos, 2u);
    ASSERT_TRUE(list.FindNextAfterGap(pos, 2));
    EXPECT_EQ(pos, 7u);
    EXPECT_FALSE(list.FindNextAfterGap(pos, 7));
    EXPECT_FALSE(list.FindNextAfterGap(pos, 0xFFFFFFFF)); // nothing after the highest index
}

TEST(ChildListTest, CompactMakesTheListDenseAndOneBased) {
    TestNode list("list"); // [-, a, -, b] -> [-, a, b]
    TestNode *a = new TestNode("A"), *b = new TestNode("B");
    list.SetAt(a, 1);
    list.SetAt(b, 3);
    list.Compact();
    EXPECT_EQ(list.GetSize(), 3u);
    EXPECT_EQ(list.Capacity(), 3u);
    EXPECT_EQ(list.GetAt(1), a);
    EXPECT_EQ(list.GetAt(2), b);
    list.Add(new TestNode("C")); // grows again after the compaction
    EXPECT_EQ(list.Capacity(), 6u);

    list.RemoveAll(); // all entries null: the array is freed
    list.Compact();
    EXPECT_EQ(list.Items(), nullptr);
    EXPECT_EQ(list.GetSize() + list.Capacity(), 0u);
    list.Add(new TestNode("D"));
    EXPECT_EQ(list.Capacity(), 2u);
}

TEST(ChildListTest, RemovalDeletesOnlyOwnedChildren) {
    int start = TestNode::Destroyed();
    {
        TestNode owning("owning");
        for (int i = 0; i < 5; ++i)
            owning.Add(new TestNode("n"));
        owning.RemoveRange(1, 2);
        EXPECT_EQ(TestNode::Destroyed() - start, 2);
        EXPECT_EQ(owning.GetSize(), 5u); // the size stays
        EXPECT_EQ(Positions(owning), (std::vector<uint32_t>{0, 3, 4}));
        owning.RemoveRange(4, 1000); // the end is clamped
        owning.RemoveRange(9, 12);   // beyond the size: nothing
        EXPECT_EQ(TestNode::Destroyed() - start, 3);
        owning.RemoveAll();
        EXPECT_EQ(TestNode::Destroyed() - start, 5);
        EXPECT_EQ(owning.GetSize(), 0u);
        EXPECT_GE(owning.Capacity(), 5u); // the array stays
    }
    TestNode a("A"), b("B");
    start = TestNode::Destroyed();
    {
        TestNode shared("shared");
        shared.SetOwnsChildren(false);
        shared.Add(&a);
        shared.Add(&b);
        shared.RemoveRange(0, 0);
        EXPECT_EQ(shared.Detach(1), &b);
        EXPECT_EQ(shared.Detach(7), nullptr);
        shared.Add(&a); // still held when the list goes
    }
    EXPECT_EQ(TestNode::Destroyed() - start, 1); // only the list node itself
}

TEST(ChildListTest, CopyFromClonesAtTheSameIndicesOrLeavesAnEmptyList) {
    TestNode source("source");
    source.SetAt(new TestNode("A", kNodeNumber, 1), 1);
    source.SetAt(new TestNode("B", kNodeString, 4), 4);
    TestNode target("target");
    target.Add(new TestNode("old"));
    ASSERT_TRUE(target.YMTChildList::CopyFrom(source, &target));
    EXPECT_EQ(Positions(target), (std::vector<uint32_t>{1, 4}));
    EXPECT_NE(target.GetAt(1), source.GetAt(1));
    EXPECT_EQ(target.GetAt(1)->Parent(), &target);
    EXPECT_EQ(target.GetAt(4)->NodeType(), kNodeString);

    static_cast<TestNode*>(source.GetAt(4))->m_FailClone = true;
    EXPECT_FALSE(target.YMTChildList::CopyFrom(source, &target));
    EXPECT_EQ(target.GetSize(), 0u);
}

TEST(ChildListTest, CheckAllStopsAtTheFirstFailure) {
    TestNode list("list");
    TestNode *a = new TestNode("A"), *b = new TestNode("B"), *c = new TestNode("C");
    list.SetAt(a, 0);
    list.SetAt(b, 2);
    list.SetAt(c, 3);
    YImportContext ctx;
    YImportLog log;
    EXPECT_TRUE(list.CheckAll(ctx, log));
    b->m_FailCheck = true;
    EXPECT_FALSE(list.CheckAll(ctx, log));
    EXPECT_EQ(a->m_Checked + b->m_Checked + c->m_Checked, 2 + 2 + 1);
}

} // namespace
} // namespace mostfcat
