// A catalog whose cache file cannot be written (a folder in its place stops
// even root) opens all the same (the re-import, the host cache store and the
// tool check it in their own suites).
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
};

TEST_F(UnwritableCacheTest, ImportedCatalogIsRegisteredAndTheFailureLogged) {
    std::string amp = Blocked("amp");
    const std::string logPath = amp.substr(0, amp.size() - 4) + ".log";
    YFciFCatManagerImpl& m = NewManager();
    ASSERT_EQ(m.OpenFCat(amp, 1, "", 1, logPath), 0u);
    EXPECT_EQ(Pool().LastSource(), Source::XmlImport);
    EXPECT_EQ(m.GetFCatNames(1), Names{"amp"});
    Names fblocks;
    m.GetFBlockNames(0, "", fblocks);
    EXPECT_EQ(fblocks, Names{"amp"});

    const YCacheWriteFailure& failure = Pool().LastCacheFailure();
    EXPECT_EQ(failure.path, CacheOf(amp));
    EXPECT_EQ(failure.error, YFCatFile::kErrOpening);
    EXPECT_EQ(failure.reason, "Is a directory");

    // The log names the cache and the reason before its trailer, and the
    // import counts as completed.
    std::vector<std::string> lines = ReadLines(logPath);
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
    NewProcess();
    ASSERT_EQ(Open(NewManager(), amp, 1), 0u);
    EXPECT_EQ(Pool().LastSource(), Source::XmlImport);
    EXPECT_FALSE(Pool().LastCacheFailure().path.empty());

    // Once the way is free the cache is written and used.
    fs::remove(CacheOf(amp));
    NewProcess();
    ASSERT_EQ(Open(NewManager(), amp, 1), 0u);
    EXPECT_TRUE(Pool().LastCacheFailure().path.empty());
    EXPECT_TRUE(fs::is_regular_file(CacheOf(amp)));
    NewProcess();
    ASSERT_EQ(Open(NewManager(), amp, 1), 0u);
    EXPECT_EQ(Pool().LastSource(), Source::CacheFile);
}

} // namespace
} // namespace mostfcat::test
