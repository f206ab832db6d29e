// Catalog storage: nodes, child arrays and texts made inside a storage scope
// live in the storage and go with it at once; outside a scope they use the
// heap as before. Catalogs from an import and from a cache own their storage.
#include <gmock/gmock.h>

#include <string>
#include <vector>

#include "platform/arena.h"
#include "support/test_support.h"
#include "tree/catalog.h"
#include "tree/storage.h"

namespace mostfcat {
namespace {

// A plain container node of any name that counts the nodes destroyed.
class TestNode : public YMTNode, public YMTChildList {
public:
    explicit TestNode(const std::string& name) { SetName(name); }
    ~TestNode() override { ++Destroyed(); }
    static int& Destroyed() {
        static int count = 0;
        return count;
    }
    uint32_t NodeType() const override { return kNodeNumber; }
    bool ImportXML(const XDomElement*, YImportContext&, YImportLog&) override { return true; }
    YMTNode* ChildAt(uint32_t index) const override { return GetAt(index); }
};

// Texts of every length class of the hash and of the comparison, and texts
// that differ only in their last byte, are pooled apart, also after the
// table was given back or sized beforehand for fewer or more texts; the
// checked hash finds a zero byte at any place.
TEST(StringPoolTest, EqualTextsShareOneStringAndOthersDoNot) {
    std::vector<std::string> texts{std::string("a\0b", 3), std::string("a\0c", 3)};
    for (size_t n = 1; n <= 40; ++n)
        for (char last : {'x', 'y'})
            texts.push_back(std::string(n - 1, 'x') + last);
    for (size_t i = 0; i < 3000; ++i)
        texts.push_back("text " + std::to_string(i));
    for (size_t expect : {0, 10, 3000, 100000}) {
        YArena arena;
        YStringPool pool(arena);
        if (expect) pool.Expect(expect);
        std::vector<const std::string*> first;
        for (const std::string& t : texts)
            first.push_back(pool.Intern(t));
        pool.Seal();
        for (size_t i = 0; i < texts.size(); ++i)
            ASSERT_EQ(pool.Intern(std::string(texts[i])), first[i]) << texts[i] << " " << expect;
        EXPECT_EQ(pool.Count(), texts.size());
    }
    for (size_t n : {1u, 3u, 4u, 7u, 8u, 16u, 17u, 40u}) {
        std::string t(n, 'q');
        bool zero = true;
        YStringPool::HashChecked(t.data(), n, zero);
        EXPECT_FALSE(zero) << n;
        t[n / 2] = '\0';
        EXPECT_EQ(YStringPool::HashChecked(t.data(), n, zero), YStringPool::Hash(t.data(), n));
        EXPECT_TRUE(zero) << n;
    }
}

TEST(StorageTest, NodesAndTextsOfAScopeLiveInTheStorage) {
    YMTStorage storage;
    TestNode* a = nullptr;
    TestNode* b = nullptr;
    {
        YMTStorageScope scope(&storage);
        a = new TestNode("Volume");
        b = new TestNode("Volume");
        a->SetDescription("Loudness");
        b->SetDescription("Loudness");
        for (uint32_t i = 0; i < 100; ++i)
            a->SetAt(new TestNode("Child"), i * 3);
        // A nested scope without storage makes heap nodes again.
        YMTStorageScope none(nullptr);
        TestNode heap("Heap");
        EXPECT_FALSE(heap.InStorage());
    }
    EXPECT_TRUE(a->InStorage());
    EXPECT_TRUE(storage.Arena().Contains(a));
    EXPECT_TRUE(storage.Arena().Contains(a->Items()));
    // Equal texts are one string.
    EXPECT_EQ(&a->NameRef(), &b->NameRef());
    EXPECT_EQ(&a->Description(), &b->Description());
    EXPECT_EQ(&a->ChildAt(0)->NameRef(), &a->ChildAt(297)->NameRef());
    EXPECT_EQ(a->GetCount(), 100u);

    // Deleting a storage node runs the destructors of it and its children
    // and frees nothing (the sanitizer build would see a bad free).
    const int destroyed = TestNode::Destroyed();
    delete a;
    EXPECT_EQ(TestNode::Destroyed(), destroyed + 101);
    EXPECT_EQ(b->NameRef(), "Volume"); // the texts stay with the storage
    delete b;
}

class CatalogStorageTest : public test::CatalogTest {};

TEST_F(CatalogStorageTest, ImportedCatalogsOwnTheirStorage) {
    // The sample catalog: the same error parameters in every Error operation.
    const std::string path = m_Dir.File("sample.xml");
    test::WriteFile(path, test::ReadFile(MOSTFCAT_SAMPLE_CATALOG));
    test::Imported imported = ImportFile(path);
    ASSERT_TRUE(imported.catalog) << imported.log;
    const YMTStorage* storage = imported.catalog->Storage();
    ASSERT_TRUE(storage);
    EXPECT_FALSE(imported.catalog->InStorage()); // the catalog itself is on the heap
    size_t nodes = 0, foreign = 0;
    std::vector<const YMTNode*> stack{imported.catalog.get()};
    while (!stack.empty()) {
        const YMTNode* n = stack.back();
        stack.pop_back();
        ++nodes;
        if (n != imported.catalog.get() && (!n->InStorage() || !storage->Arena().Contains(n)))
            ++foreign;
        if (const YMTChildList* list = n->Children())
            if (list->OwnsChildren())
                ForEachChild(*list, [&](uint32_t, YMTNode* c) { stack.push_back(c); });
    }
    EXPECT_GT(nodes, 500u);
    EXPECT_EQ(foreign, 0u);
    // Far fewer distinct texts than text fields.
    EXPECT_LT(storage->Strings().Count() * 3, nodes);
}

} // namespace
} // namespace mostfcat
