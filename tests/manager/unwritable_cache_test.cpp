// A catalog whose cache file cannot be written (a folder in its place stops
// even root) opens all the same: at the pool, through the manager with a
// log and with a host cache store (the tool checks it once more at its level).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "cache/fcat_file.h"
#include "manager/manager_fixture.h"

namespace mostfcat::test {
namespace {

namespace fs = std::filesystem;
using Source = YFCatPool::Source;

class UnwritableCacheTest : public ManagerTest {
protected:
    // A catalog with its cache path taken by a folder.
    std::string Blocked(const std::string& stem) {
        std::string amp = Small(stem);
        fs::create_directory(CacheOf(amp));
        return amp;
    }
    // Opens with a log beside the catalog; returns the status.
    uint32_t OpenLogged(YFciFCatManagerImpl& m, const std::string& path, uint16_t channel) {
        return m.OpenFCat(path, channel, "", 1, LogOf(path));
    }
    static std::string LogOf(const std::string& xml) {
        return xml.substr(0, xml.size() - 4) + ".log";
    }
};

TEST_F(UnwritableCacheTest, ImportedCatalogIsRegisteredAndTheFailureLogged) {
    std::string amp = Blocked("amp");
    YFciFCatManagerImpl& m = NewManager();
    ASSERT_EQ(OpenLogged(m, amp, 1), 0u);
    EXPECT_EQ(Pool().LastSource(), Source::XmlImport);
    EXPECT_EQ(m.GetFCatNames(1), Names{"amp"});
    ASSERT_NE(Only(m), nullptr);
    Names fblocks;
    m.GetFBlockNames(0, "", fblocks);
    EXPECT_EQ(fblocks, Names{"amp"});

    const YCacheWriteFailure& failure = Pool().LastCacheFailure();
    EXPECT_EQ(failure.path, CacheOf(amp));
    EXPECT_EQ(failure.error, YFCatFile::kErrOpening);
    EXPECT_EQ(failure.reason, "Is a directory");

    // The log names the cache and the reason before its trailer, and the
    // import counts as completed.
    std::vector<std::string> lines = ReadLines(LogOf(amp));
    std::string expected = "Cache file " + CacheOf(amp) +
                           " not written (Is a directory, cache error 16); the catalog is used "
                           "without it";
    EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end());
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "Import of file " + amp + " completed");
    EXPECT_TRUE(fs::is_directory(CacheOf(amp))) << "the folder in the way is left alone";
}

TEST_F(UnwritableCacheTest, NextProcessImportsAgainAndWritesOnceItCan) {
    std::string amp = Blocked("amp");
    ASSERT_EQ(Open(NewManager(), amp, 1), 0u);
    // Within the process the catalog in memory is reused.
    ASSERT_EQ(Open(NewManager(), amp, 2), 0u);
    EXPECT_EQ(Pool().LastSource(), Source::InMemory);

    // A new process has no catalog in memory and no cache: it imports.
    m_Managers.clear();
    Pool().Clear();
    ASSERT_EQ(Open(NewManager(), amp, 1), 0u);
    EXPECT_EQ(Pool().LastSource(), Source::XmlImport);
    EXPECT_FALSE(Pool().LastCacheFailure().path.empty());

    // Once the way is free the cache is written and used.
    fs::remove(CacheOf(amp));
    m_Managers.clear();
    Pool().Clear();
    ASSERT_EQ(Open(NewManager(), amp, 1), 0u);
    EXPECT_TRUE(Pool().LastCacheFailure().path.empty());
    EXPECT_TRUE(fs::is_regular_file(CacheOf(amp)));
    m_Managers.clear();
    Pool().Clear();
    ASSERT_EQ(Open(NewManager(), amp, 1), 0u);
    EXPECT_EQ(Pool().LastSource(), Source::CacheFile);
}

// A changed file is imported again for every user; a cache that cannot be
// written must not take the new catalog away from them.
TEST_F(UnwritableCacheTest, ReimportKeepsTheCatalogForItsUsers) {
    std::string amp = Small("amp");
    YFciFCatManagerImpl& a = NewManager();
    YFciFCatManagerImpl& b = NewManager();
    ASSERT_EQ(Open(a, amp, 1), 0u);
    ASSERT_EQ(Open(b, amp, 1), 0u);
    fs::remove(CacheOf(amp));
    fs::create_directory(CacheOf(amp));
    SetFileTime(amp, kT0 + 60);
    ASSERT_EQ(Open(b, amp, 2), 0u);
    EXPECT_EQ(Pool().LastSource(), Source::XmlImport);
    ASSERT_NE(Only(a), nullptr);
    EXPECT_EQ(Only(a), Only(b));
    EXPECT_EQ(Only(a)->FileTime, uint64_t(kT0 + 60));
    EXPECT_EQ(Pool().EntryCount(), 1u);
}

// A host cache store gets no image (there is none to give) and the open
// succeeds with the store's answer.
TEST_F(UnwritableCacheTest, CacheStoreGetsNoImage) {
    std::string amp = Blocked("amp");
    YFciFCatManagerImpl& m = NewManager();
    RecordingStore store;
    m.SetCacheStore(&store);
    EXPECT_EQ(Open(m, amp, 1), 0u);
    ASSERT_EQ(store.calls.size(), 2u);
    EXPECT_EQ(store.calls.back(), "store amp 1 amp");
    EXPECT_TRUE(store.image.empty());
    EXPECT_EQ(m.GetFCatNames(1), Names{"amp"});
    m.ResetCacheStore();
}

} // namespace
} // namespace mostfcat::test
