// The catalog pool: reuse of catalogs in memory and among the released ones,
// re-imports of changed files, the limit of released catalogs, the cache
// file and caller images.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "cache/fcat_file.h"
#include "manager/manager_fixture.h"

namespace mostfcat::test {
namespace {

namespace fs = std::filesystem;
using Source = YFCatPool::Source;

class PoolTest : public ManagerTest {};

TEST_F(PoolTest, ReopenTakesTheReleasedCatalogWithoutReading) {
    std::string amp = Small("amp");
    YFciFCatManagerImpl& m = NewManager();
    ASSERT_EQ(Open(m, amp, 1), 0u);
    EXPECT_EQ(Pool().LastSource(), Source::XmlImport);
    YMTCatalog* first = Only(m);
    EXPECT_TRUE(m.CloseFCat(1, "amp"));
    EXPECT_EQ(Pool().EntryCount(), 0u);
    EXPECT_EQ(Pool().CachedCount(), 1u);

    // Neither file is read again: the XML turns into garbage with the same
    // time and the cache file goes away.
    WriteFileAt(amp, "garbage", kT0);
    fs::remove(CacheOf(amp));
    ASSERT_EQ(Open(m, amp, 2), 0u);
    EXPECT_EQ(Pool().LastSource(), Source::Released);
    EXPECT_EQ(Only(m), first);
    EXPECT_EQ(Pool().CachedCount(), 0u);
    EXPECT_FALSE(fs::exists(CacheOf(amp)));
}

TEST_F(PoolTest, ChangedFileIsImportedAgainForEveryUser) {
    std::string amp = Small("amp");
    YFciFCatManagerImpl& a = NewManager();
    YFciFCatManagerImpl& b = NewManager();
    Events ea, eb;
    RecordingSink sa(ea, "a"), sb(eb, "b");
    sa.Register(a.Handle());
    sb.Register(b.Handle());
    ASSERT_EQ(Open(a, amp, 1), 0u);
    ea.clear();

    SetFileTime(amp, kT0 + 60);
    EXPECT_FALSE(a.IsFCatCurrent(amp, 0, kT0 + 60));
    ASSERT_EQ(Open(b, amp, 1), 0u);
    EXPECT_EQ(Pool().LastSource(), Source::XmlImport);
    EXPECT_EQ(ea, (Events{"a changing", "a changed"}));
    ASSERT_NE(Only(a), nullptr);
    EXPECT_EQ(Only(a), Only(b));
    EXPECT_EQ(Only(a)->FileTime, uint64_t(kT0 + 60));
    EXPECT_EQ(Pool().EntryCount(), 1u);

    // The opening manager is a user itself: it is told once as well.
    ea.clear(), eb.clear();
    SetFileTime(amp, kT0 + 120);
    ASSERT_EQ(Open(a, amp, 2), 0u);
    EXPECT_EQ(ea, (Events{"a changing", "a changed"}));
    EXPECT_EQ(eb, (Events{"b changing", "b changed"}));
    EXPECT_EQ(Only(b)->FileTime, uint64_t(kT0 + 120));

    // A failed re-import takes the catalog away from every user.
    ea.clear(), eb.clear();
    WriteFileAt(amp, "<FunctionCatalog>", kT0 + 180);
    EXPECT_EQ(Open(b, amp, 1), 1u);
    EXPECT_EQ(ea, (Events{"a changing", "a changed"}));
    EXPECT_EQ(eb, (Events{"b changing", "b changed"}));
    EXPECT_TRUE(a.Registrations().empty());
    EXPECT_TRUE(b.Registrations().empty());
    EXPECT_EQ(Pool().EntryCount() + Pool().CachedCount(), 0u);
}

// A user that closes the catalog while it is told of the replacement
// releases the pool entry in the middle of the load.
TEST_F(PoolTest, UserClosingWhileToldOfAReplacement) {
    std::string amp = Small("amp");
    for (int trigger = 0; trigger < 3; ++trigger) {
        m_Managers.clear();
        Pool().Clear();
        WriteFileAt(amp, CatalogXml(FBlockXml("amp", "0x10", "")), kT0);
        YFciFCatManagerImpl& a = NewManager();
        ASSERT_EQ(Open(a, amp, 1), 0u);
        const std::string old = ReadFile(CacheOf(amp));
        Events events;
        RecordingSink sink(events, "a");
        sink.Register(a.Handle());
        sink.onChanging = [&] { a.CloseFCat(1, "amp"); };
        YFciFCatManagerImpl& b = NewManager();
        uint32_t status = 0;
        if (trigger == 0) { // a changed file
            SetFileTime(amp, kT0 + 60);
            status = Open(b, amp, 1);
        } else if (trigger == 1) { // a changed file that fails
            WriteFileAt(amp, "<FunctionCatalog>", kT0 + 60);
            status = Open(b, amp, 1);
        } else { // an image of another time (the header's time field)
            std::vector<uint8_t> image(old.begin(), old.end());
            for (int i = 0; i < 8; ++i)
                image[64 + i] = uint8_t(uint64_t(kT0 + 60) >> (8 * i));
            status = b.OpenFCatFromImage(amp, 1, "amp", image.data(), uint32_t(image.size()));
        }
        EXPECT_EQ(status, trigger == 1 ? 1u : 0u) << trigger;
        // The close completes its own cycle inside the first; the pool's
        // refresh afterwards announces the end once more.
        EXPECT_EQ(events, (Events{"a changing", "a changed", "a changed"})) << trigger;
        EXPECT_TRUE(a.Registrations().empty()) << trigger;
        EXPECT_EQ(b.Registrations().size(), trigger == 1 ? 0u : 1u) << trigger;
        EXPECT_EQ(Pool().EntryCount(), trigger == 1 ? 0u : 1u) << trigger;
        EXPECT_EQ(Pool().CachedCount(), 0u) << "the replaced catalog is gone; " << trigger;
        if (trigger != 1) {
            ASSERT_NE(Only(b), nullptr);
            EXPECT_EQ(Only(b)->FileTime, uint64_t(kT0 + 60));
        }
    }
}

TEST_F(PoolTest, CacheSizeZeroDeletesAtOnce) {
    UseProfile("[MOSTImport]\nFCatCacheSize=0\n");
    std::string amp = Small("amp");
    YFciFCatManagerImpl& m = NewManager();
    ASSERT_EQ(Open(m, amp, 1), 0u);
    EXPECT_TRUE(m.CloseFCat(1, "amp"));
    EXPECT_EQ(Pool().EntryCount() + Pool().CachedCount(), 0u);
    EXPECT_FALSE(m.IsFCatCurrent(amp, 0, kT0));
    ASSERT_EQ(Open(m, amp, 1), 0u);
    EXPECT_EQ(Pool().LastSource(), Source::CacheFile);
}

TEST_F(PoolTest, EleventhReleaseDeletesTheFirst) {
    YFciFCatManagerImpl& m = NewManager();
    std::vector<std::string> paths;
    for (int i = 0; i < 11; ++i) {
        paths.push_back(Small("c" + std::to_string(i)));
        ASSERT_EQ(Open(m, paths.back(), 1), 0u);
    }
    for (int i = 0; i < 11; ++i)
        EXPECT_TRUE(m.CloseFCat(1, "c" + std::to_string(i)));
    ASSERT_EQ(Pool().CachedCount(), 10u);
    EXPECT_EQ(Pool().Cached().front()->FilePath, FullPath(paths[1]));
    EXPECT_EQ(Pool().Cached().back()->FilePath, FullPath(paths[10]));
    EXPECT_FALSE(m.IsFCatCurrent(paths[0], 0, kT0));
    EXPECT_TRUE(m.IsFCatCurrent(paths[1], 0, kT0));
}

TEST_F(PoolTest, CacheFileAndItsDamage) {
    std::string amp = Small("amp");
    const std::string cache = CacheOf(amp);
    auto reopen = [&] {
        m_Managers.clear();
        Pool().Clear();
        YFciFCatManagerImpl& m = NewManager();
        EXPECT_EQ(Open(m, amp, 1), 0u);
        Names names;
        m.GetFBlockNames(0, "", names);
        EXPECT_EQ(names, Names{"amp"});
        return Pool().LastSource();
    };
    EXPECT_EQ(reopen(), Source::XmlImport);
    const std::string good = ReadFile(cache);
    ASSERT_EQ(good.compare(0, 11, std::string("YMOSTFCATC\0", 11)), 0);
    EXPECT_EQ(reopen(), Source::CacheFile);

    std::string bad = good;
    bad[0] = 'X';
    WriteFile(cache, bad);
    EXPECT_EQ(reopen(), Source::XmlImport) << "a damaged header";
    EXPECT_EQ(ReadFile(cache), good) << "written again";
    WriteFile(cache, good.substr(0, good.size() / 2));
    EXPECT_EQ(reopen(), Source::XmlImport) << "a cut body";
    EXPECT_EQ(ReadFile(cache), good);
    UseProfile("[MOSTImport]\nImportOptim=2\n");
    EXPECT_EQ(reopen(), Source::XmlImport) << "cache off";
}

TEST_F(PoolTest, UnwritableCacheReportsTheErrorButKeepsTheCatalog) {
    const std::string folder = m_Dir.File("ro");
    fs::create_directory(folder);
    const std::string amp = folder + "/amp.xml";
    WriteFileAt(amp, CatalogXml(FBlockXml("Amp", "0x22", "")), kT0);
    fs::create_directory(CacheOf(amp)); // refuses the cache even to root
    chmod(folder.c_str(), 0555);
    YFciFCatManagerImpl& m = NewManager();
    EXPECT_EQ(Open(m, amp, 1), YFCatFile::kErrOpening);
    EXPECT_EQ(Pool().LastSource(), Source::XmlImport);
    EXPECT_TRUE(m.Registrations().empty());
    EXPECT_EQ(Pool().EntryCount(), 1u);
    EXPECT_EQ(Open(m, amp, 1), 0u);
    EXPECT_EQ(Pool().LastSource(), Source::InMemory) << "not imported again";
    Names names;
    m.GetFBlockNames(1, "", names);
    EXPECT_EQ(names, Names{"Amp"});
    chmod(folder.c_str(), 0755);
}

TEST_F(PoolTest, CallerImages) {
    std::string amp = Small("amp");
    YFciFCatManagerImpl& a = NewManager();
    ASSERT_EQ(Open(a, amp, 1), 0u);
    const std::string old = ReadFile(CacheOf(amp));
    std::vector<uint8_t> image(old.begin(), old.end());

    // A newer file in the pool is replaced by the older image, and its users
    // are told.
    SetFileTime(amp, kT0 + 60);
    YFciFCatManagerImpl& b = NewManager();
    ASSERT_EQ(Open(b, amp, 2), 0u);
    Events events;
    RecordingSink sink(events, "a");
    sink.Register(a.Handle());
    YFciFCatManagerImpl& c = NewManager();
    EXPECT_EQ(c.OpenFCatFromImage(amp, 3, "OldAmp", image.data(), uint32_t(image.size())), 0u);
    EXPECT_EQ(Pool().LastSource(), Source::CacheFile);
    EXPECT_EQ(events, (Events{"a changing", "a changed"}));
    ASSERT_NE(Only(c), nullptr);
    EXPECT_EQ(Only(a), Only(c));
    EXPECT_EQ(Only(b)->FileTime, uint64_t(kT0));
    EXPECT_EQ(c.GetFCatNames(3), Names{"OldAmp"});

    // No files are needed at all.
    m_Managers.clear();
    Pool().Clear();
    fs::remove(amp);
    fs::remove(CacheOf(amp));
    YFciFCatManagerImpl& d = NewManager();
    EXPECT_EQ(d.OpenFCatFromImage(amp, 1, "Amp", image.data(), uint32_t(image.size())), 0u);
    EXPECT_EQ(d.GetFCatPath("Amp"), FullPath(amp));
    EXPECT_FALSE(fs::exists(CacheOf(amp)));
    std::vector<uint8_t> damaged = image;
    damaged[0] = 'X';
    EXPECT_EQ(d.OpenFCatFromImage(m_Dir.File("disk.xml"), 1, "Disk", damaged.data(),
                                  uint32_t(damaged.size())),
              uint32_t(YFCatFile::kErrMagic));
    EXPECT_EQ(d.OpenFCatFromImage(m_Dir.File("disk.xml"), 1, "Disk", nullptr, 0), 6u);
    EXPECT_EQ(d.OpenFCatFromImage(amp, 1, "Amp", image.data(), 40),
              uint32_t(YFCatFile::kErrImageShort));
    EXPECT_EQ(d.GetFCatNames(0), Names{"Amp"});
}

} // namespace
} // namespace mostfcat::test
