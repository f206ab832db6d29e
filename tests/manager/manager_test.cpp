// The catalog manager: registrations and channels, names, the change cycle,
// the host's cache store, bunches and change sinks.
#include <deque>
#include <filesystem>

#include "manager/manager_fixture.h"

namespace mostfcat::test {
namespace {

using Channels = std::set<uint16_t>;

TEST_F(ManagerTest, Channels) {
    std::string amp = Small("amp"), tuner = Small("tuner");
    YFciFCatManagerImpl& m = NewManager(0);
    EXPECT_EQ(Open(m, amp, 1), 1u);
    EXPECT_EQ(Pool().EntryCount() + Pool().CachedCount(), 0u) << "refused before any load";
    // Channel 0 alone holds nothing: the refresh releases the catalog again.
    EXPECT_EQ(Open(m, amp, 0), 0u);
    EXPECT_TRUE(m.Registrations().empty());
    m.SetChannelCount(40);
    EXPECT_EQ(m.GetChannelCount(), 16);
    EXPECT_EQ(Open(m, amp, 17), 1u);

    ASSERT_EQ(Open(m, amp, 3, "Amp"), 0u);
    ASSERT_EQ(Open(m, amp, 5, "Second"), 0u) << "a second open only adds the channel";
    ASSERT_EQ(m.Registrations().size(), 1u);
    EXPECT_EQ(m.Registrations()[0].channels, (Channels{0, 3, 5}));
    EXPECT_EQ(m.GetFCatNameByPath(FullPath(amp)), "Amp");
    EXPECT_TRUE(m.CloseFCat(3, "AMP"));
    EXPECT_EQ(m.GetFCatNames(3), Names{});
    EXPECT_EQ(m.GetFCatNames(5), Names{"Amp"});
    // The last bus channel leaves {0}: the catalog is released.
    EXPECT_TRUE(m.CloseFCat(5, "Amp"));
    EXPECT_TRUE(m.Registrations().empty());
    EXPECT_EQ(Pool().CachedCount(), 1u);
    EXPECT_FALSE(m.CloseFCat(5, "Amp"));

    ASSERT_EQ(Open(m, amp, 16, "Amp"), 0u);
    ASSERT_EQ(Open(m, tuner, 0, "Tuner"), 0u);
    EXPECT_EQ(m.GetFCatNames(4), Names{"Tuner"}) << "channel 0 opens on every channel";
    EXPECT_TRUE(m.CloseFCat(0xFFFF, "Tuner"));
    EXPECT_EQ(m.GetFCatNames(0), Names{"Amp"});
    m.SetChannelCount(2);
    EXPECT_EQ(m.GetFCatNames(16), Names{}) << "channels above the count are gone";
}

TEST_F(ManagerTest, NamesAreUnique) {
    std::string amp = Small("amp"), tuner = Small("tuner"), disk = Small("disk");
    YFciFCatManagerImpl& m = NewManager();
    const std::string n31 = "Catalog" + std::string(24, 'x');
    ASSERT_EQ(Open(m, amp, 1, n31), 0u);
    ASSERT_EQ(Open(m, tuner, 1, n31), 0u);
    EXPECT_EQ(m.GetFCatNames(0), (Names{n31, n31.substr(0, 30) + "_2"}));
    std::string name = n31, own = n31, none;
    m.MakeNameUnique(FullPath(disk), name);
    m.MakeNameUnique(FullPath(amp), own);
    m.MakeNameUnique(FullPath(disk), none);
    EXPECT_EQ(name, n31.substr(0, 30) + "_3");
    EXPECT_EQ(own, n31) << "the file's own registration keeps its name";
    EXPECT_EQ(none, "disk");
}

TEST_F(ManagerTest, RenameFCat) {
    YFciFCatManagerImpl& m = NewManager();
    ASSERT_EQ(Open(m, Small("amp"), 1, "Amp"), 0u);
    ASSERT_EQ(Open(m, Small("tuner"), 1, "Tuner"), 0u);
    RecordingStore store;
    m.SetCacheStore(&store);
    Events events;
    RecordingSink sink(events, "s");
    sink.Register(m.Handle());

    for (const std::string& bad :
         {std::string("My Amp"), std::string(33, 'a'), std::string(), std::string("TUNER")})
        EXPECT_FALSE(m.RenameFCat("Amp", bad)) << bad;
    EXPECT_FALSE(m.RenameFCat("Nope", "Other"));
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(store.calls.empty());

    const std::string n32(32, 'b');
    EXPECT_TRUE(m.RenameFCat("amp", n32));
    EXPECT_EQ(events, (Events{"s changing", "s changed"}));
    EXPECT_EQ(store.calls, Events{"renamed amp " + n32});
    EXPECT_EQ(m.GetFCatNames(1), (Names{n32, "Tuner"}));
}

TEST_F(ManagerTest, ChangeCycleAndNestedOpens) {
    std::string amp = Small("amp"), tuner = Small("tuner"), disk = Small("disk");
    YFciFCatManagerImpl& m = NewManager();
    Events events;
    RecordingSink a(events, "a"), b(events, "b");
    a.Register(m.Handle());
    b.Register(m.Handle());
    const Events both{"a changing", "b changing", "a changed", "b changed"};
    ASSERT_EQ(Open(m, amp, 1), 0u);
    EXPECT_EQ(events, both);
    events.clear();
    ASSERT_EQ(Open(m, amp, 1), 0u);
    EXPECT_TRUE(events.empty()) << "nothing changed";

    m.SuspendNotifications();
    ASSERT_EQ(Open(m, tuner, 2), 0u);
    EXPECT_TRUE(m.CloseFCat(1, "amp"));
    EXPECT_EQ(events, (Events{"a changing", "b changing"})) << "announced once, even suspended";
    m.ResumeNotifications();
    EXPECT_EQ(events, both);
    events.clear();
    m.ResumeNotifications();
    EXPECT_TRUE(events.empty()) << "nothing pending";

    b.Unregister();
    m.SetChannelCount(8);
    EXPECT_EQ(events, (Events{"a changing", "a changed"}));

    // No open, in this manager or another, while a sink is told.
    YFciFCatManagerImpl& other = NewManager();
    uint32_t same = 99, elsewhere = 99;
    a.onChanging = [&] {
        same = Open(m, disk, 2);
        elsewhere = Open(other, disk, 2);
    };
    ASSERT_EQ(Open(m, amp, 1), 0u);
    EXPECT_EQ(same, 1u);
    EXPECT_EQ(elsewhere, 1u);
    EXPECT_EQ(m.GetFCatNames(0), (Names{"tuner", "amp"}));
    EXPECT_TRUE(other.Registrations().empty());
    a.onChanging = nullptr;
    EXPECT_EQ(Open(m, disk, 2), 0u) << "the refusal does not outlive the open";
}

TEST_F(ManagerTest, ManagersShareCatalogsButNotSinks) {
    std::string amp = Small("amp");
    Events events;
    RecordingSink sink(events, "s");
    YFciFCatManagerImpl& a = NewManager();
    YFciFCatManagerImpl& b = NewManager();
    sink.Register(a.Handle());
    sink.Register(b.Handle()); // moves over
    ASSERT_EQ(Open(a, amp, 1), 0u);
    EXPECT_TRUE(events.empty());
    ASSERT_EQ(Open(b, amp, 2), 0u);
    EXPECT_EQ(events, (Events{"s changing", "s changed"}));
    EXPECT_EQ(Pool().LastSource(), YFCatPool::Source::InMemory);
    YMTCatalog* shared = Only(b);
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(Only(a), shared);
    EXPECT_TRUE(a.CloseFCat(1, "amp"));
    EXPECT_EQ(Only(b), shared);

    RecordingSink copy(sink);
    uint64_t dead = b.Handle();
    Destroy(b);
    EXPECT_EQ(Pool().EntryCount(), 0u);
    EXPECT_EQ(Pool().Cached(), std::deque<YMTCatalog*>{shared}) << "the last user released it";
    EXPECT_FALSE(sink.IsRegistered()) << "a manager that goes away detaches its sinks";
    sink.Register(dead);
    EXPECT_FALSE(sink.IsRegistered());
    copy.Unregister(); // holds the dead handle: must not touch it
    EXPECT_FALSE(copy.IsRegistered());
}

TEST_F(ManagerTest, CacheStoreIsToldEverything) {
    std::string amp = Small("amp"), tuner = Small("tuner"), disk = Small("disk");
    auto query = [](const std::string& xml) {
        return "query " + SplitPath(xml).name + " " + std::to_string(ReadFile(xml).size()) + " " +
               std::to_string(kT0);
    };
    YFciFCatManagerImpl& m = NewManager();
    RecordingStore store;
    m.SetCacheStore(&store);
    ASSERT_EQ(Open(m, amp, 2, "Amp"), 0u);
    EXPECT_EQ(store.calls, (Events{query(amp), "store amp 2 Amp"}));
    const std::string cache = ReadFile(CacheOf(amp));
    ASSERT_GT(cache.size(), 72u);
    EXPECT_EQ(store.image, cache) << "the image is the cache file";

    // A catalog already in memory: the image is read from the cache file.
    YFciFCatManagerImpl& n = NewManager();
    RecordingStore second;
    n.SetCacheStore(&second);
    ASSERT_EQ(Open(n, amp, 1, "Amp"), 0u);
    EXPECT_EQ(second.image, cache);

    store.calls.clear();
    store.result = 7;
    EXPECT_EQ(Open(m, tuner, 1, "Tuner"), 7u) << "the store's result is the open's";
    store.result = 0;
    EXPECT_TRUE(m.CloseFCat(0xFFFF, "Amp"));
    EXPECT_EQ(Open(m, m_Dir.File("missing.xml"), 3, "Gone"), 2u);
    EXPECT_EQ(Open(m, "", 3, "Empty"), 2u) << "refused before the store is asked";
    store.wanted = false;
    EXPECT_EQ(Open(m, disk, 1), 0u);
    EXPECT_TRUE(store.image.empty()) << "not asked for: no image";
    EXPECT_EQ(store.calls,
              (Events{query(tuner), "store tuner 1 Tuner", "removed 0 Amp", "query missing 0 0",
                      "removed 3 Gone", query(disk), "store disk 1 disk"}));
    store.calls.clear();
    m.ResetCacheStore();
    EXPECT_TRUE(m.CloseFCat(1, "disk"));
    EXPECT_TRUE(store.calls.empty());

    // A cache that cannot be written, or the cache off: no image to hand
    // over, which is no error.
    std::string blocked = Small("blocked");
    std::filesystem::create_directory(CacheOf(blocked));
    EXPECT_EQ(Open(n, blocked, 1), 0u);
    EXPECT_EQ(second.calls.back(), "store blocked 1 blocked");
    EXPECT_TRUE(second.image.empty());
    second.image = "stale";
    UseProfile("[MOSTImport]\nImportOptim=0\n");
    std::string cold = Small("cold");
    EXPECT_EQ(Open(m, cold, 1), 0u);
    EXPECT_EQ(Open(n, cold, 1), 0u);
    EXPECT_EQ(Pool().LastSource(), YFCatPool::Source::InMemory);
    EXPECT_TRUE(second.image.empty());
}

TEST_F(ManagerTest, BunchCarriesImagesToAnotherManager) {
    std::string amp = Small("amp"), tuner = Small("tuner");
    YFciFCatManagerImpl& m = NewManager();
    ASSERT_EQ(Open(m, amp, 1, "Amp"), 0u);
    ASSERT_EQ(Open(m, tuner, 3, "Tuner"), 0u);
    YFciFCatManager::IFCatBunch* filled = m.CreateBunch();
    m.FillBunch(filled);
    ASSERT_EQ(filled->GetItemCount(), 2u);
    std::string path, name;
    Channels channels;
    const uint8_t* image = nullptr;
    uint32_t size = 0;
    EXPECT_TRUE(filled->GetItemImage(image, size, 0));
    EXPECT_EQ(image, nullptr) << "filled without images";

    // The compiled images go into a bunch that carries its own copies.
    YFciFCatManager::IFCatBunch* carried = m.CreateBunch();
    for (uint32_t i = 0; i < 2; ++i) {
        ASSERT_TRUE(filled->LoadItemImage(image, size, i));
        ASSERT_TRUE(filled->GetItemPath(path, i));
        EXPECT_EQ(std::string(image, image + size), ReadFile(CacheOf(path)));
        ASSERT_TRUE(filled->GetItemName(name, i) && filled->GetItemChannels(channels, i));
        carried->AddItem(path, name, channels, image, size);
    }
    m.DeleteBunch(filled);

    // Nothing in memory and no files any more: only the images can help.
    Destroy(m);
    Pool().Clear();
    for (const std::string& xml : {amp, tuner}) {
        std::filesystem::remove(xml);
        std::filesystem::remove(CacheOf(xml));
    }
    YFciFCatManagerImpl& n = NewManager();
    EXPECT_TRUE(n.ApplyBunch(carried));
    ASSERT_EQ(n.Registrations().size(), 2u);
    EXPECT_EQ(n.GetFCatNames(0), (Names{"Amp", "Tuner"}));
    EXPECT_EQ(n.Registrations()[0].channels, (Channels{0, 1}));
    EXPECT_EQ(n.Registrations()[1].channels, (Channels{0, 3}));
    n.DeleteBunch(carried);
}

} // namespace
} // namespace mostfcat::test
