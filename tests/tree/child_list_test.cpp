// The sparse child list: storage by index, growth, iteration, compaction,
// removal with and without ownership, copying and the item-list answer.
#include <gtest/gtest.h>

#include <memory>

#include "import/import_log.h"
#include "support/test_support.h"
#include "tree/fblock.h"
#include "tree/test_nodes.h"

namespace mostfcat {
namespace {

using test::TestNode;

TEST(ChildListTest, SetAtLeavesNullGapsAndNeverDeletesThePreviousEntry) {
    TestNode list("list", kNodeOperation);
    auto* a = new TestNode("Volume", kNodeNumber, 0);
    auto* b = new TestNode("Balance", kNodeEnum, 5);
    list.Add(a);
    list.SetAt(b, 5);
    EXPECT_EQ(list.GetSize(), 6u);
    EXPECT_EQ(list.GetCount(), 2u);
    EXPECT_EQ(list.GetAt(0), a);
    for (uint32_t i = 1; i < 5; ++i) EXPECT_EQ(list.GetAt(i), nullptr) << i;
    EXPECT_EQ(list.GetAt(5), b);
    EXPECT_EQ(list.GetAt(6), nullptr);
    EXPECT_EQ(list.GetAt(0xFFFFFFFF), nullptr);
    list.Add(nullptr); // Add appends at the size, null included
    EXPECT_EQ(list.GetSize(), 7u);

    EXPECT_EQ(list.FindByName("VOLUME"), a);
    EXPECT_EQ(list.FindByName("balance"), b);
    EXPECT_EQ(list.FindByName("Vol"), nullptr);
    EXPECT_EQ(list.FindByType(kNodeEnum), b);
    EXPECT_EQ(list.FindByType(kNodeString), nullptr);

    // Storing over an entry does not delete the node that was there.
    int before = TestNode::Destroyed();
    auto* c = new TestNode("Mute", kNodeBool, 5);
    list.SetAt(c, 5);
    EXPECT_EQ(TestNode::Destroyed(), before);
    EXPECT_EQ(list.GetAt(5), c);
    delete b;
}

TEST(ChildListTest, GrowthDoublesOrTakesWhatIsNeeded) {
    TestNode list("list");
    list.SetOwnsChildren(false);
    TestNode n("n");
    EXPECT_EQ(list.Capacity(), 0u);
    EXPECT_EQ(list.Items(), nullptr);
    list.Add(&n);
    EXPECT_EQ(list.Capacity(), 2u); // a first allocation takes at least 2
    list.Add(&n);
    list.Add(&n);
    EXPECT_EQ(list.Capacity(), 4u);
    list.SetAt(&n, 10);
    EXPECT_EQ(list.Capacity(), 11u); // more than double the capacity
    list.Reserve(5);
    EXPECT_EQ(list.Capacity(), 11u);
    list.SetAt(&n, 11);
    EXPECT_EQ(list.Capacity(), 22u);
    EXPECT_EQ(list.GetSize(), 12u);

    TestNode reserved("reserved");
    reserved.Reserve(1);
    EXPECT_EQ(reserved.Capacity(), 2u);
}

TEST(ChildListTest, PositionsSkipNullEntries) {
    TestNode list("list");
    uint32_t pos = 77;
    EXPECT_FALSE(list.GetFirstPos(pos));
    EXPECT_EQ(pos, 0u);
    EXPECT_FALSE(list.GetNextPos(pos, 0xFFFFFFFF));

    list.SetAt(new TestNode("a"), 2);
    list.SetAt(new TestNode("b"), 3);
    list.SetAt(new TestNode("c"), 7);
    ASSERT_TRUE(list.GetFirstPos(pos));
    EXPECT_EQ(pos, 2u);
    ASSERT_TRUE(list.GetNextPos(pos, 0xFFFFFFFF)); // the same as GetFirstPos
    EXPECT_EQ(pos, 2u);
    ASSERT_TRUE(list.GetNextPos(pos, 2));
    EXPECT_EQ(pos, 3u);
    ASSERT_TRUE(list.GetNextPos(pos, 4));
    EXPECT_EQ(pos, 7u);
    pos = 77;
    EXPECT_FALSE(list.GetNextPos(pos, 7));
    EXPECT_EQ(pos, 0u);
    EXPECT_FALSE(list.GetNextPos(pos, 1000));

    std::vector<uint32_t> visited;
    ForEachChild(list, [&](uint32_t i, YMTNode*) { visited.push_back(i); });
    EXPECT_EQ(visited, (std::vector<uint32_t>{2, 3, 7}));
}

TEST(ChildListTest, FindNextAfterGap) {
    TestNode gap("gap"); // [A, null, B]
    gap.SetAt(new TestNode("A"), 0);
    gap.SetAt(new TestNode("B"), 2);
    uint32_t pos = 0;
    ASSERT_TRUE(gap.FindNextAfterGap(pos, 0));
    EXPECT_EQ(pos, 2u);
    EXPECT_FALSE(gap.FindNextAfterGap(pos, 2));
    EXPECT_FALSE(gap.FindNextAfterGap(pos, 500));
    // No index lies after the highest one.
    EXPECT_FALSE(gap.FindNextAfterGap(pos, 0xFFFFFFFF));

    TestNode dense("dense"); // [A, B, C]
    for (const char* n : {"A", "B", "C"}) dense.Add(new TestNode(n));
    EXPECT_FALSE(dense.FindNextAfterGap(pos, 0));
    EXPECT_FALSE(dense.FindNextAfterGap(pos, 0xFFFFFFFF));

    TestNode leading("leading"); // [null, A]: index 1 follows a gap
    leading.SetAt(new TestNode("A"), 1);
    ASSERT_TRUE(leading.FindNextAfterGap(pos, 0));
    EXPECT_EQ(pos, 1u);
}

TEST(ChildListTest, CompactMakesTheListDenseAndOneBased) {
    TestNode list("list"); // [null, A, null, B]
    auto* a = new TestNode("A");
    auto* b = new TestNode("B");
    list.SetAt(a, 1);
    list.SetAt(b, 3);
    list.Compact();
    EXPECT_EQ(list.GetSize(), 3u);
    EXPECT_EQ(list.Capacity(), 3u);
    EXPECT_EQ(list.GetAt(0), nullptr);
    EXPECT_EQ(list.GetAt(1), a);
    EXPECT_EQ(list.GetAt(2), b);
    list.Add(new TestNode("C")); // grows again after the compaction
    EXPECT_EQ(list.GetSize(), 4u);
    EXPECT_EQ(list.Capacity(), 6u);

    TestNode empty("empty");
    empty.SetOwnsChildren(false);
    TestNode n("n");
    empty.SetAt(&n, 4);
    empty.RemoveRange(0, 10);
    ASSERT_NE(empty.Items(), nullptr);
    empty.Compact(); // all entries null: the array is freed
    EXPECT_EQ(empty.Items(), nullptr);
    EXPECT_EQ(empty.GetSize(), 0u);
    EXPECT_EQ(empty.Capacity(), 0u);
    uint32_t pos = 5;
    EXPECT_FALSE(empty.GetFirstPos(pos));
    EXPECT_EQ(empty.GetAt(0), nullptr);
    empty.Add(&n);
    EXPECT_EQ(empty.Capacity(), 2u);
}

TEST(ChildListTest, RemovalDeletesOnlyOwnedChildren) {
    int start = TestNode::Destroyed();
    {
        TestNode owning("owning");
        for (int i = 0; i < 5; ++i) owning.Add(new TestNode("n" + std::to_string(i)));
        owning.RemoveRange(1, 2);
        EXPECT_EQ(TestNode::Destroyed() - start, 2);
        EXPECT_EQ(owning.GetSize(), 5u); // the size stays
        EXPECT_EQ(owning.GetAt(1), nullptr);
        EXPECT_NE(owning.GetAt(3), nullptr);
        owning.RemoveRange(4, 1000); // the end is clamped
        EXPECT_EQ(TestNode::Destroyed() - start, 3);
        owning.RemoveRange(9, 12); // beyond the size: nothing
        owning.RemoveAll();
        EXPECT_EQ(TestNode::Destroyed() - start, 5);
        EXPECT_EQ(owning.GetSize(), 0u);
        EXPECT_NE(owning.Items(), nullptr); // the array stays
        EXPECT_GE(owning.Capacity(), 5u);
        TestNode none("none");
        none.RemoveRange(0, 0);
    }
    start = TestNode::Destroyed();
    TestNode a("A"), b("B");
    {
        TestNode shared("shared");
        shared.SetOwnsChildren(false);
        EXPECT_FALSE(shared.OwnsChildren());
        shared.Add(&a);
        shared.Add(&b);
        shared.RemoveRange(0, 0);
        EXPECT_EQ(shared.GetAt(0), nullptr);
        EXPECT_EQ(shared.Detach(1), &b);
        EXPECT_EQ(shared.GetAt(1), nullptr);
        EXPECT_EQ(shared.Detach(7), nullptr);
        shared.Add(&a);
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
    EXPECT_EQ(target.GetSize(), 5u);
    EXPECT_EQ(target.GetCount(), 2u);
    ASSERT_NE(target.GetAt(1), nullptr);
    EXPECT_NE(target.GetAt(1), source.GetAt(1));
    EXPECT_EQ(target.GetAt(1)->NameRef(), "A");
    EXPECT_EQ(target.GetAt(1)->Parent(), &target);
    EXPECT_EQ(target.GetAt(4)->NodeType(), kNodeString);

    static_cast<TestNode*>(source.GetAt(4))->m_FailClone = true;
    EXPECT_FALSE(target.YMTChildList::CopyFrom(source, &target));
    EXPECT_EQ(target.GetSize(), 0u);
    EXPECT_EQ(target.GetCount(), 0u);

    TestNode empty("empty");
    target.Add(new TestNode("x"));
    EXPECT_TRUE(target.YMTChildList::CopyFrom(empty, &target));
    EXPECT_EQ(target.GetSize(), 0u);
}

TEST(ChildListTest, CheckAllStopsAtTheFirstFailure) {
    TestNode list("list");
    auto* a = new TestNode("A");
    auto* b = new TestNode("B");
    auto* c = new TestNode("C");
    list.SetAt(a, 0);
    list.SetAt(b, 2);
    list.SetAt(c, 3);
    YImportContext ctx;
    YImportLog log;
    EXPECT_TRUE(list.CheckAll(ctx, log));
    b->m_FailCheck = true;
    EXPECT_FALSE(list.CheckAll(ctx, log));
    EXPECT_EQ(a->m_Checked, 2);
    EXPECT_EQ(b->m_Checked, 2);
    EXPECT_EQ(c->m_Checked, 1);
}

TEST(ChildListTest, SubItemListReturnsTheRawArrayWithNullEntries) {
    YMTInstance inst;
    YMTNode* const* items = nullptr;
    uint32_t count = 0;
    EXPECT_EQ(inst.GetSubItemList(kItemFunction, &items, &count), 1u); // empty list
    auto* f1 = new TestNode("Volume", kNodeFunction, 0x001);
    auto* f2 = new TestNode("Bass", kNodeFunction, 0x200);
    inst.SetAt(f1, 0x001);
    inst.SetAt(f2, 0x200);
    ASSERT_EQ(inst.GetSubItemList(kItemFunction, &items, &count), 0u);
    EXPECT_EQ(count, 0x201u);
    EXPECT_EQ(items[0], nullptr);
    EXPECT_EQ(items[1], f1);
    EXPECT_EQ(items[0x100], nullptr);
    EXPECT_EQ(items[0x200], f2);
    EXPECT_EQ(inst.GetSubItemList(kItemOperation, &items, &count), 1u);
    EXPECT_EQ(inst.GetSubItemList(kItemInstance, &items, &count), 1u);
}

} // namespace
} // namespace mostfcat
