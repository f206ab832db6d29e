// The handle-based interface opens a catalog whose cache file cannot be
// written: status OK, the catalog in the item list with its FBlocks, and the
// log beside the catalog naming the cache.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "manager/pool.h"
#include "mostfcat/fct.h"
#include "support/catalog_builder.h"
#include "support/test_support.h"

namespace mostfcat::test {
namespace {

namespace fs = std::filesystem;

class CapiUnwritableCacheTest : public CatalogTest {
protected:
    void SetUp() override {
        CatalogTest::SetUp();
        YFCatPool::Instance().Clear();
    }
    void TearDown() override {
        if (m_Handle) gFctDestroyFCatManager(m_Handle);
        YFCatPool::Instance().Clear();
        CatalogTest::TearDown();
    }
    uint64_t m_Handle = 0;
};

TEST_F(CapiUnwritableCacheTest, OpenSucceedsAndTheCatalogIsUsable) {
    std::string path = m_Dir.File("radio.xml");
    WriteFile(path, CatalogXml(FBlockXml("Radio", "0x40", PropertyXml("Band", "0x200")) +
                               FBlockXml("Amp", "0x22", PropertyXml("Volume", "0x400"))));
    fs::create_directory(m_Dir.File("radio.vfc"));

    ASSERT_EQ(gFctCreateFCatManager(&m_Handle, "host"), MOSTFCAT_OK);
    char name[33] = {0};
    ASSERT_EQ(gFctOpenNamedFCat(m_Handle, path.c_str(), 3, "Radio", name, sizeof name),
              MOSTFCAT_OK);
    EXPECT_STREQ(name, "Radio");

    uint64_t* items = nullptr;
    uint32_t count = 0;
    ASSERT_EQ(gFctGetFCatItemList(m_Handle, &items, &count), MOSTFCAT_OK);
    ASSERT_EQ(count, 1u);
    uint64_t* fblocks = nullptr;
    uint32_t n = 0;
    ASSERT_EQ(gFctGetSubItemList(items[0], MOSTFCAT_ITEM_FBLOCK, &fblocks, &n), MOSTFCAT_OK);
    std::vector<std::string> names;
    for (uint32_t i = 0; i < n; ++i) {
        const char* text = nullptr;
        if (fblocks[i] && gFctGetAttrStr(fblocks[i], 3, &text) == MOSTFCAT_OK)
            names.push_back(text);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Amp", "Radio"}));

    std::vector<std::string> log = ReadLines(m_Dir.File("radio.log"));
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const std::string& line) {
        return line.rfind("Cache file " + m_Dir.File("radio.vfc") + " not written (", 0) == 0;
    }));
    while (!log.empty() && log.back().empty())
        log.pop_back();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "Import of file " + path + " completed");

    // Closing works as for any catalog.
    EXPECT_EQ(gFctCloseFCat(m_Handle, path.c_str(), 3), MOSTFCAT_OK);
    EXPECT_EQ(gFctGetFCatItemList(m_Handle, &items, &count), MOSTFCAT_NOT_FOUND);
}

} // namespace
} // namespace mostfcat::test
