// The catalog pool: reuse of catalogs in memory and among the released ones,
// re-imports of changed files, the limit of released catalogs, the cache
// file and caller images.
#include <filesystem>

#include "cache/fcat_file.h"
#include "manager/manager_fixture.h"

namespace mostfcat::test {
namespace {

namespace fs = std::filesystem;
using Source = YFCatPool::Source;
using Bytes = std::vector<uint8_t>;

class PoolTest : public ManagerTest {
protected:
    // The cache beside amp with another time in its header.
    Bytes ImageOfTime(const std::string& amp, int64_t t) {
        std::string cache = ReadFile(CacheOf(amp));
        Bytes image(cache.begin(), cache.end());
        for (int i = 0; i < 8; ++i)
            image[YFCatFile::kOffXmlTime + i] = uint8_t(uint64_t(t) >> (8 * i));
        return image;
    }
};

TEST_F(PoolTest, ChangedFileIsImportedAgainForEveryUser) {
    std::string amp = Small("amp");
    YFciFCatManagerImpl& a = NewManager();
    YFciFCatManagerImpl& b = NewManager();
    ASSERT_EQ(Open(a, amp, 1), 0u);
    ASSERT_EQ(Open(b, amp, 1), 0u);
    Events ea, eb;
    RecordingSink sa(ea, "a"), sb(eb, "b");
    sa.Register(a.Handle());
    sb.Register(b.Handle());
    const Events toldA{"a changing", "a changed"}, toldB{"b changing", "b changed"};

    // Each user, the opening one included, is told once; a cache that cannot
    // be written does not take the new catalog away from them.
    fs::remove(CacheOf(amp));
    fs::create_directory(CacheOf(amp));
    SetFileTime(amp, kT0 + 60);
    ASSERT_EQ(Open(b, amp, 2), 0u);
    EXPECT_EQ(Pool().LastSource(), Source::XmlImport);
    EXPECT_EQ(ea, toldA);
    EXPECT_EQ(eb, toldB);
    ASSERT_NE(Only(a), nullptr);
    EXPECT_EQ(Only(a), Only(b));
    EXPECT_EQ(Only(a)->FileTime, uint64_t(kT0 + 60));
    EXPECT_EQ(Pool().EntryCount(), 1u);

    // A failed re-import takes the catalog away from every user.
    ea.clear(), eb.clear();
    WriteFileAt(amp, "<FunctionCatalog>", kT0 + 120);
    EXPECT_EQ(Open(b, amp, 1), 1u);
    EXPECT_EQ(ea, toldA);
    EXPECT_EQ(eb, toldB);
    EXPECT_TRUE(a.Registrations().empty() && b.Registrations().empty());
    EXPECT_EQ(Pool().EntryCount() + Pool().CachedCount(), 0u);
}

// A user that closes the catalog while it is told of the replacement
// releases the pool entry in the middle of the load: by a changed file, a
// changed file that fails, and an image of another time.
TEST_F(PoolTest, UserClosingWhileToldOfAReplacement) {
    std::string amp = Small("amp");
    for (int trigger = 0; trigger < 3; ++trigger) {
        SCOPED_TRACE(trigger);
        NewProcess();
        WriteFileAt(amp, CatalogXml(FBlockXml("amp", "0x10", "")), kT0);
        YFciFCatManagerImpl& a = NewManager();
        ASSERT_EQ(Open(a, amp, 1), 0u);
        Bytes image = ImageOfTime(amp, kT0 + 60);
        Events events;
        RecordingSink sink(events, "a");
        sink.Register(a.Handle());
        sink.onChanging = [&] { a.CloseFCat(1, "amp"); };
        YFciFCatManagerImpl& b = NewManager();
        if (trigger == 1)
            WriteFileAt(amp, "<FunctionCatalog>", kT0 + 60);
        else
            SetFileTime(amp, kT0 + 60);
        uint32_t status =
            trigger == 2 ? b.OpenFCatFromImage(amp, 1, "amp", image.data(), uint32_t(image.size()))
                         : Open(b, amp, 1);
        const bool failed = trigger == 1;
        EXPECT_EQ(status, failed ? 1u : 0u);
        // The close completes its own cycle inside the first; the pool's
        // refresh afterwards announces the end once more.
        EXPECT_EQ(events, (Events{"a changing", "a changed", "a changed"}));
        EXPECT_TRUE(a.Registrations().empty());
        EXPECT_EQ(b.Registrations().size(), failed ? 0u : 1u);
        EXPECT_EQ(Pool().EntryCount(), failed ? 0u : 1u);
        EXPECT_EQ(Pool().CachedCount(), 0u) << "the replaced catalog is gone";
        if (!failed) {
            ASSERT_NE(Only(b), nullptr);
            EXPECT_EQ(Only(b)->FileTime, uint64_t(kT0 + 60));
        }
    }
}

TEST_F(PoolTest, ReleasedCatalogs) {
    YFciFCatManagerImpl& m = NewManager();
    std::string amp = Small("amp");
    ASSERT_EQ(Open(m, amp, 1), 0u);
    YMTCatalog* first = Only(m);
    EXPECT_TRUE(m.CloseFCat(1, "amp"));
    // Reopened without reading: the XML turns into garbage with the same
    // time and the cache file goes away.
    WriteFileAt(amp, "garbage", kT0);
    fs::remove(CacheOf(amp));
    ASSERT_EQ(Open(m, amp, 2), 0u);
    EXPECT_EQ(Pool().LastSource(), Source::Released);
    EXPECT_EQ(Only(m), first);
    EXPECT_EQ(Pool().CachedCount(), 0u);
    EXPECT_TRUE(m.CloseFCat(2, "amp"));

    std::vector<std::string> paths;
    for (int i = 0; i < 11; ++i) {
        paths.push_back(Small("c" + std::to_string(i)));
        ASSERT_EQ(Open(m, paths.back(), 1), 0u);
    }
    for (int i = 0; i < 11; ++i)
        EXPECT_TRUE(m.CloseFCat(1, "c" + std::to_string(i)));
    ASSERT_EQ(Pool().CachedCount(), 10u) << "the release of c9 deleted amp, of c10 c0";
    EXPECT_EQ(Pool().Cached().front()->FilePath, FullPath(paths[1]));
    EXPECT_EQ(Pool().Cached().back()->FilePath, FullPath(paths[10]));
    EXPECT_FALSE(m.IsFCatCurrent(paths[0], 0, kT0));
    EXPECT_TRUE(m.IsFCatCurrent(paths[1], 0, kT0));

    UseProfile("[MOSTImport]\nFCatCacheSize=0\n");
    ASSERT_EQ(Open(m, paths[5], 1), 0u);
    EXPECT_EQ(Pool().LastSource(), Source::Released);
    EXPECT_TRUE(m.CloseFCat(1, "c5"));
    EXPECT_EQ(Pool().EntryCount() + Pool().CachedCount(), 0u) << "deleted at once";
    ASSERT_EQ(Open(m, paths[5], 1), 0u);
    EXPECT_EQ(Pool().LastSource(), Source::CacheFile);
}

TEST_F(PoolTest, CacheFileAndItsDamage) {
    std::string amp = Small("amp");
    const std::string cache = CacheOf(amp);
    auto reopen = [&] {
        NewProcess();
        YFciFCatManagerImpl& m = NewManager();
        EXPECT_EQ(Open(m, amp, 1), 0u);
        Names names;
        m.GetFBlockNames(0, "", names);
        EXPECT_EQ(names, Names{"amp"});
        return Pool().LastSource();
    };
    EXPECT_EQ(reopen(), Source::XmlImport);
    const std::string good = ReadFile(cache);
    EXPECT_EQ(reopen(), Source::CacheFile);
    for (std::string bad : {"X" + good.substr(1), good.substr(0, good.size() / 2)}) {
        WriteFile(cache, bad);
        EXPECT_EQ(reopen(), Source::XmlImport) << "a damaged header or a cut body";
        EXPECT_EQ(ReadFile(cache), good) << "written again";
    }
    UseProfile("[MOSTImport]\nImportOptim=2\n");
    EXPECT_EQ(reopen(), Source::XmlImport) << "cache off";
}

// No files are needed at all, and none is written.
TEST_F(PoolTest, CallerImagesNeedNoFiles) {
    std::string amp = Small("amp");
    ASSERT_EQ(Open(NewManager(), amp, 1), 0u);
    const Bytes image = ImageOfTime(amp, kT0);
    NewProcess();
    fs::remove(amp);
    fs::remove(CacheOf(amp));
    YFciFCatManagerImpl& m = NewManager();
    EXPECT_EQ(m.OpenFCatFromImage(amp, 1, "Amp", image.data(), uint32_t(image.size())), 0u);
    EXPECT_EQ(Pool().LastSource(), Source::CacheFile);
    EXPECT_EQ(m.GetFCatNames(1), Names{"Amp"});
    EXPECT_FALSE(fs::exists(CacheOf(amp)));
}

} // namespace
} // namespace mostfcat::test
