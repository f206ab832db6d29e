// The catalog manager: registrations and channels, names, the change cycle,
// the host's cache store, bunches and change sinks.
#include <gtest/gtest.h>

#include <filesystem>

#include "manager/manager_fixture.h"

namespace mostfcat::test {
namespace {

using Channels = std::set<uint16_t>;
using Bytes = std::vector<uint8_t>;

Bytes FileBytes(const std::string& path) {
    std::string s = ReadFile(path);
    return Bytes(s.begin(), s.end());
}

TEST_F(ManagerTest, ChannelCountLimitsTheOpens) {
    std::string amp = Small("amp");
    YFciFCatManagerImpl& m = NewManager(0);
    EXPECT_EQ(Open(m, amp, 1), 1u);
    EXPECT_EQ(Pool().EntryCount() + Pool().CachedCount(), 0u) << "refused before any load";
    EXPECT_EQ(Open(m, amp, 0), 0u);
    EXPECT_EQ(Open(m, amp, 0xFFFF), 0u);
    // Without bus channels the catalog sits on channel 0 alone, which holds
    // nothing by itself: the refresh releases it again.
    EXPECT_TRUE(m.Registrations().empty());

    m.SetChannelCount(40);
    EXPECT_EQ(m.GetChannelCount(), 16);
    EXPECT_EQ(Open(m, amp, 16), 0u);
    EXPECT_EQ(Open(m, amp, 17), 1u);
    m.SetChannelCount(2);
    EXPECT_EQ(m.GetFCatNames(0), Names{"amp"});
    EXPECT_EQ(m.GetFCatNames(16), Names{}) << "channels above the count are gone";
}

TEST_F(ManagerTest, SecondOpenOfAFileOnlyAddsChannels) {
    std::string amp = Small("amp");
    YFciFCatManagerImpl& m = NewManager();
    EXPECT_EQ(Open(m, amp, 1, "First"), 0u);
    EXPECT_EQ(Open(m, amp, 3, "Second"), 0u);
    ASSERT_EQ(m.Registrations().size(), 1u);
    EXPECT_EQ(m.Registrations()[0].name, "First");
    EXPECT_EQ(m.Registrations()[0].channels, (Channels{0, 1, 3}));
    EXPECT_EQ(m.GetFCatNames(3), Names{"First"});
    EXPECT_EQ(m.GetFCatNames(2), Names{});
    EXPECT_EQ(m.GetFCatNameByPath(FullPath(amp)), "First");
    EXPECT_EQ(m.GetFCatNameByPath(m_Dir.File("other.xml")), "");
}

TEST_F(ManagerTest, ManagersShareOneCatalog) {
    std::string amp = Small("amp");
    YFciFCatManagerImpl& a = NewManager();
    YFciFCatManagerImpl& b = NewManager();
    ASSERT_EQ(Open(a, amp, 1), 0u);
    ASSERT_EQ(Open(b, amp, 2), 0u);
    EXPECT_EQ(Pool().LastSource(), YFCatPool::Source::InMemory);
    ASSERT_NE(Only(a), nullptr);
    EXPECT_EQ(Only(a), Only(b));
    YMTCatalog* shared = Only(b);

    EXPECT_TRUE(a.CloseFCat(1, "amp"));
    EXPECT_TRUE(a.Registrations().empty());
    EXPECT_EQ(Only(b), shared);
    EXPECT_EQ(Pool().EntryCount(), 1u);
    EXPECT_EQ(Pool().CachedCount(), 0u);
    Destroy(b);
    EXPECT_EQ(Pool().EntryCount(), 0u);
    ASSERT_EQ(Pool().CachedCount(), 1u) << "the last user released it";
    EXPECT_EQ(Pool().Cached().front(), shared);
}

TEST_F(ManagerTest, ClosingChannels) {
    std::string amp = Small("amp"), tuner = Small("tuner");
    YFciFCatManagerImpl& m = NewManager(6);
    ASSERT_EQ(Open(m, amp, 3, "Amp"), 0u);
    ASSERT_EQ(Open(m, amp, 5), 0u);
    EXPECT_TRUE(m.CloseFCat(3, "AMP"));
    EXPECT_EQ(m.GetFCatNames(3), Names{});
    EXPECT_EQ(m.GetFCatNames(5), Names{"Amp"});
    // The last bus channel leaves {0}: the catalog is released and the
    // registration goes.
    EXPECT_TRUE(m.CloseFCat(5, "Amp"));
    EXPECT_TRUE(m.Registrations().empty());
    EXPECT_EQ(Pool().CachedCount(), 1u);
    EXPECT_FALSE(m.CloseFCat(5, "Amp"));

    ASSERT_EQ(Open(m, amp, 2, "Amp"), 0u);
    ASSERT_EQ(Open(m, tuner, 0, "Tuner"), 0u);
    EXPECT_EQ(m.GetFCatNames(4), Names{"Tuner"}) << "channel 0 opens on every channel";
    EXPECT_TRUE(m.CloseFCat(0xFFFF, "Tuner"));
    EXPECT_EQ(m.GetFCatNames(0), Names{"Amp"});
}

TEST_F(ManagerTest, MakeNameUnique) {
    std::string amp = Small("amp"), tuner = Small("tuner"), disk = Small("disk");
    YFciFCatManagerImpl& m = NewManager();
    const std::string n31 = "Catalog" + std::string(24, 'x');
    ASSERT_EQ(n31.size(), 31u);
    ASSERT_EQ(Open(m, amp, 1, n31), 0u);
    ASSERT_EQ(Open(m, tuner, 1, n31), 0u);
    EXPECT_EQ(m.GetFCatNames(0), (Names{n31, n31.substr(0, 30) + "_2"}));
    std::string name = n31;
    m.MakeNameUnique(FullPath(disk), name);
    EXPECT_EQ(name, n31.substr(0, 30) + "_3");
    name = n31;
    m.MakeNameUnique(FullPath(amp), name);
    EXPECT_EQ(name, n31) << "the file's own registration keeps its name";
    name = "";
    m.MakeNameUnique(FullPath(disk), name);
    EXPECT_EQ(name, "disk");
    name = "  Disk (rear) #1 ";
    m.MakeNameUnique(FullPath(disk), name);
    EXPECT_EQ(name, "Disk__rear__1");
    name = std::string(40, 'd');
    m.MakeNameUnique(FullPath(disk), name);
    EXPECT_EQ(name, std::string(32, 'd'));
}

TEST_F(ManagerTest, RenameFCat) {
    std::string amp = Small("amp"), tuner = Small("tuner");
    YFciFCatManagerImpl& m = NewManager();
    RecordingStore store;
    store.wanted = false;
    m.SetCacheStore(&store);
    Events events;
    RecordingSink sink(events, "s");
    sink.Register(m.Handle());
    ASSERT_EQ(Open(m, amp, 1, "Amp"), 0u);
    ASSERT_EQ(Open(m, tuner, 1, "Tuner"), 0u);
    events.clear();
    store.calls.clear();

    EXPECT_FALSE(m.RenameFCat("Amp", "My Amp"));
    EXPECT_FALSE(m.RenameFCat("Amp", std::string(33, 'a')));
    EXPECT_FALSE(m.RenameFCat("Amp", ""));
    EXPECT_FALSE(m.RenameFCat("Amp", "TUNER"));
    EXPECT_FALSE(m.RenameFCat("Nope", "Other"));
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(store.calls.empty());

    const std::string n32(32, 'b');
    EXPECT_TRUE(m.RenameFCat("amp", n32));
    EXPECT_EQ(events, (Events{"s changing", "s changed"}));
    EXPECT_EQ(store.calls, Events{"renamed amp " + n32});
    EXPECT_EQ(m.GetFCatNames(1), (Names{n32, "Tuner"}));
    EXPECT_EQ(m.GetFCatPath(n32), FullPath(amp));
}

TEST_F(ManagerTest, ParamDisplayModeFollowsTheProfile) {
    YFciFCatManagerImpl& m = NewManager();
    EXPECT_EQ(m.GetParamDisplayMode("FBlockID"), 0u) << "no profile read yet";
    ASSERT_EQ(Open(m, Small("amp"), 1), 0u);
    EXPECT_EQ(m.GetParamDisplayMode("FBlockID"), 2u);
    EXPECT_EQ(m.GetParamDisplayMode("fktidma"), 2u);
    EXPECT_EQ(m.GetParamDisplayMode("Volume"), 0u);
}

TEST_F(ManagerTest, ChangeCycle) {
    std::string amp = Small("amp"), tuner = Small("tuner");
    YFciFCatManagerImpl& m = NewManager();
    Events events;
    RecordingSink a(events, "a"), b(events, "b");
    a.Register(m.Handle());
    b.Register(m.Handle());
    ASSERT_EQ(Open(m, amp, 1), 0u);
    EXPECT_EQ(events, (Events{"a changing", "b changing", "a changed", "b changed"}));
    events.clear();
    ASSERT_EQ(Open(m, amp, 1), 0u);
    EXPECT_TRUE(events.empty()) << "nothing changed";

    m.SuspendNotifications();
    ASSERT_EQ(Open(m, tuner, 2), 0u);
    EXPECT_TRUE(m.CloseFCat(1, "amp"));
    EXPECT_EQ(events, (Events{"a changing", "b changing"})) << "announced once, even suspended";
    m.ResumeNotifications();
    EXPECT_EQ(events, (Events{"a changing", "b changing", "a changed", "b changed"}));
    events.clear();
    m.ResumeNotifications();
    EXPECT_TRUE(events.empty()) << "nothing pending";

    b.Unregister();
    EXPECT_FALSE(b.IsRegistered());
    m.SetChannelCount(8);
    EXPECT_EQ(events, (Events{"a changing", "a changed"}));
}

TEST_F(ManagerTest, SinksFollowTheirManager) {
    std::string amp = Small("amp");
    Events events;
    RecordingSink sink(events, "s");
    YFciFCatManagerImpl& a = NewManager();
    YFciFCatManagerImpl& b = NewManager();
    sink.Register(a.Handle());
    sink.Register(b.Handle()); // moves over
    ASSERT_EQ(Open(a, amp, 1), 0u);
    EXPECT_TRUE(events.empty());
    ASSERT_EQ(Open(b, amp, 1), 0u);
    EXPECT_EQ(events, (Events{"s changing", "s changed"}));

    RecordingSink copy(sink);
    EXPECT_TRUE(copy.IsRegistered());
    uint64_t dead = b.Handle();
    Destroy(b);
    EXPECT_FALSE(sink.IsRegistered()) << "a manager that goes away detaches its sinks";
    sink.Unregister();
    sink.Register(dead);
    EXPECT_FALSE(sink.IsRegistered());
    copy.Unregister(); // holds the dead handle: must not touch it
    EXPECT_FALSE(copy.IsRegistered());
}

TEST_F(ManagerTest, NestedOpenIsRefused) {
    std::string amp = Small("amp"), tuner = Small("tuner");
    YFciFCatManagerImpl& m = NewManager();
    YFciFCatManagerImpl& other = NewManager();
    Events events;
    RecordingSink sink(events, "s");
    sink.Register(m.Handle());
    uint32_t same = 99, elsewhere = 99;
    sink.onChanging = [&] {
        same = Open(m, tuner, 2);
        elsewhere = Open(other, tuner, 2);
    };
    EXPECT_EQ(Open(m, amp, 1), 0u);
    EXPECT_EQ(same, 1u);
    EXPECT_EQ(elsewhere, 1u);
    EXPECT_EQ(m.GetFCatNames(0), Names{"amp"});
    EXPECT_TRUE(other.Registrations().empty());
    sink.onChanging = nullptr;
    EXPECT_EQ(Open(m, tuner, 2), 0u) << "the refusal does not outlive the open";
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
    Bytes cache = FileBytes(CacheOf(amp));
    ASSERT_GT(cache.size(), 72u);
    EXPECT_EQ(store.image, cache) << "the image is the cache file";

    // A catalog already in memory: the image is read from the cache file.
    YFciFCatManagerImpl& n = NewManager();
    RecordingStore second;
    n.SetCacheStore(&second);
    ASSERT_EQ(Open(n, amp, 1, "Amp"), 0u);
    EXPECT_EQ(Pool().LastSource(), YFCatPool::Source::InMemory);
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
}

TEST_F(ManagerTest, CacheStoreWithTheCacheOff) {
    UseProfile("[MOSTImport]\nImportOptim=0\n");
    std::string amp = Small("amp");
    RecordingStore first, second;
    YFciFCatManagerImpl& a = NewManager();
    a.SetCacheStore(&first);
    ASSERT_EQ(Open(a, amp, 1), 0u);
    YFciFCatManagerImpl& b = NewManager();
    b.SetCacheStore(&second);
    EXPECT_EQ(Open(b, amp, 1), 0u) << "in memory: no cache file needed";
    EXPECT_EQ(second.calls.back(), "store amp 1 amp");
    EXPECT_TRUE(first.image.empty() && second.image.empty());
}

TEST_F(ManagerTest, ApplyingAnEmptyBunchClosesEverything) {
    YFciFCatManagerImpl& m = NewManager();
    ASSERT_EQ(Open(m, Small("amp"), 1), 0u);
    ASSERT_EQ(Open(m, Small("tuner"), 0), 0u);
    Events events;
    RecordingSink sink(events, "s");
    sink.Register(m.Handle());
    YFciFCatManager::IFCatBunch* bunch = m.CreateBunch();
    EXPECT_TRUE(m.ApplyBunch(bunch));
    EXPECT_TRUE(m.Registrations().empty());
    EXPECT_EQ(m.GetFCatNames(3), Names{});
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), "s changing");
    EXPECT_EQ(events.back(), "s changed");
    m.DeleteBunch(bunch);
}

TEST_F(ManagerTest, BunchCarriesImagesToAnotherManager) {
    std::string amp = Small("amp"), tuner = Small("tuner");
    YFciFCatManagerImpl& m = NewManager();
    ASSERT_EQ(Open(m, amp, 1, "Amp"), 0u);
    ASSERT_EQ(Open(m, tuner, 3, "Tuner"), 0u);
    YFciFCatManager::IFCatBunch* filled = m.CreateBunch();
    m.FillBunch(filled);
    ASSERT_EQ(filled->GetItemCount(), 2u);
    std::string path = "x", name;
    Channels channels{7};
    const uint8_t* image = nullptr;
    uint32_t size = 9;
    EXPECT_FALSE(filled->GetItemPath(path, 2));
    EXPECT_EQ(path, "");
    EXPECT_FALSE(filled->GetItemChannels(channels, 2));
    EXPECT_TRUE(channels.empty());
    EXPECT_FALSE(filled->LoadItemImage(image, size, 2));
    EXPECT_TRUE(filled->GetItemImage(image, size, 0));
    EXPECT_EQ(image, nullptr);
    EXPECT_EQ(size, 0u);

    // Capture the compiled images into a bunch that carries its own copies.
    YFciFCatManager::IFCatBunch* carried = m.CreateBunch();
    for (uint32_t i = 0; i < 2; ++i) {
        ASSERT_TRUE(filled->LoadItemImage(image, size, i));
        ASSERT_TRUE(filled->GetItemPath(path, i));
        EXPECT_EQ(Bytes(image, image + size), FileBytes(CacheOf(path)));
        ASSERT_TRUE(filled->GetItemName(name, i));
        ASSERT_TRUE(filled->GetItemChannels(channels, i));
        carried->AddItem(path, name, channels, image, size);
    }
    EXPECT_EQ(path, FullPath(tuner));
    EXPECT_EQ(channels, (Channels{0, 3}));
    m.DeleteBunch(filled);
    EXPECT_FALSE(carried->LoadItemImage(image, size, 0)) << "the item has an image of its own";
    ASSERT_TRUE(carried->GetItemImage(image, size, 1));
    Bytes tunerImage(image, image + size);

    // Nothing in memory and no files any more: only the images can help.
    Destroy(m);
    Pool().Clear();
    for (const std::string& xml : {amp, tuner}) {
        std::filesystem::remove(xml);
        std::filesystem::remove(CacheOf(xml));
    }
    YFciFCatManagerImpl& n = NewManager();
    EXPECT_TRUE(n.ApplyBunch(carried));
    EXPECT_EQ(Pool().LastSource(), YFCatPool::Source::CacheFile);
    EXPECT_EQ(n.GetFCatNames(0), (Names{"Amp", "Tuner"}));
    ASSERT_EQ(n.Registrations().size(), 2u);
    EXPECT_EQ(n.Registrations()[0].channels, (Channels{0, 1}));
    EXPECT_EQ(n.Registrations()[1].channels, (Channels{0, 3}));
    Names fblocks;
    n.GetFBlockNames(0, "", fblocks);
    EXPECT_EQ(fblocks, (Names{"amp", "tuner"}));
    n.DeleteBunch(carried);

    // Items without an image are skipped; a damaged image ends the apply, and
    // what was opened before stays.
    YFciFCatManager::IFCatBunch* mixed = n.CreateBunch();
    mixed->AddItem(m_Dir.File("none.xml"), "None", {1}, nullptr, 0); // skipped: no image
    mixed->AddItem(FullPath(tuner), "Tuner", {2}, tunerImage.data(), uint32_t(tunerImage.size()));
    Bytes damaged = tunerImage;
    damaged[0] = 'X';
    mixed->AddItem(m_Dir.File("disk.xml"), "Disk", {0, 1}, damaged.data(),
                   uint32_t(damaged.size()));
    EXPECT_FALSE(n.ApplyBunch(mixed));
    EXPECT_EQ(n.GetFCatNames(0), Names{"Tuner"});
    n.DeleteBunch(mixed);
}

TEST_F(ManagerTest, CatalogFacts) {
    std::string amp = Catalog("amp.xml", FBlockXml("Amp", "0x22", DeviceXml("Front", "0x01")));
    std::string tuner = Small("tuner");
    YFciFCatManagerImpl& m = NewManager();
    ASSERT_EQ(Open(m, amp, 1, "Amp"), 0u);
    ASSERT_EQ(Open(m, tuner, 2, "Tuner"), 0u);
    EXPECT_EQ(m.GetFCatPath("TUNER"), FullPath(tuner));
    EXPECT_EQ(m.GetFCatPath("Nope"), "");
    EXPECT_TRUE(m.FCatHasDevices("Amp"));
    EXPECT_FALSE(m.FCatHasDevices("Tuner"));
    EXPECT_FALSE(m.FCatHasDevices("Nope"));
    EXPECT_TRUE(m.AnyFCatHasDevices());
    EXPECT_TRUE(m.IsFCatCurrent(amp, 0, kT0));
    EXPECT_FALSE(m.IsFCatCurrent(amp, 0, kT0 + 1));

    std::string dump = m_Dir.File("dump.txt");
    m.DumpFCat("Nope", dump);
    m.DumpFCat("Tuner", "");
    EXPECT_FALSE(std::filesystem::exists(dump));
    m.DumpFCat("tuner", dump);
    EXPECT_NE(ReadFile(dump).find("FBLOCK: tuner"), std::string::npos);

    EXPECT_TRUE(m.CloseFCat(1, "Amp"));
    EXPECT_FALSE(m.AnyFCatHasDevices());
    EXPECT_TRUE(m.IsFCatCurrent(amp, 0, kT0)) << "kept among the released catalogs";
}

} // namespace
} // namespace mostfcat::test
