// The handle-based interface: managers, opening and closing with channels
// and names, item lists, attributes, status codes, the object interface on
// the same catalog, and calls from several threads.
#include <atomic>
#include <filesystem>
#include <map>
#include <thread>

#include "manager/manager.h"
#include "manager/pool.h"
#include "mostfcat/fci.h"
#include "mostfcat/fct.h"
#include "platform/paths.h"
#include "support/catalog_builder.h"

// c_header_check.c: opens a catalog through the header compiled as C and
// returns the number of its FBlocks (negative on failure).
extern "C" int mostfcat_c_header_check(const char* path);

namespace mostfcat::test {
namespace {

using Names = std::vector<std::string>;
using Handles = std::vector<uint64_t>;
using Pairs = std::vector<std::pair<std::string, uint32_t>>;

std::string Str(uint64_t node, uint32_t attr) {
    const char* text = nullptr;
    return gFctGetAttrStr(node, attr, &text) == 0 ? text : "-";
}
uint32_t Int(uint64_t node, uint32_t attr) {
    uint32_t value = 0xDEAD;
    return gFctGetAttrInt(node, attr, &value) == 0 ? value : 0xDEAD;
}
// The non-null children of a node (empty when it has none of that kind).
Handles Children(uint64_t node, uint32_t kind) {
    uint64_t* items = nullptr;
    uint32_t count = 0;
    Handles out;
    if (gFctGetSubItemList(node, kind, &items, &count) == 0)
        for (uint32_t i = 0; i < count; ++i)
            if (items[i]) out.push_back(items[i]);
    return out;
}
uint64_t Named(const Handles& nodes, const std::string& name) {
    for (uint64_t n : nodes)
        if (Str(n, 3) == name) return n;
    return 0;
}
Handles Items(uint64_t manager) {
    uint64_t* items = nullptr;
    uint32_t count = 0;
    if (gFctGetFCatItemList(manager, &items, &count) != MOSTFCAT_OK) return {};
    return Handles(items, items + count);
}

class CapiTest : public CatalogTest {
protected:
    void SetUp() override {
        CatalogTest::SetUp();
        YFCatPool::Instance().Clear();
        m_Sample = Copy(MOSTFCAT_SAMPLE_CATALOG);
    }
    void TearDown() override {
        for (uint64_t h : m_Handles)
            gFctDestroyFCatManager(h);
        YFCatPool::Instance().Clear();
        CatalogTest::TearDown();
    }
    uint64_t Create() {
        uint64_t h = 0;
        EXPECT_EQ(gFctCreateFCatManager(&h, nullptr), MOSTFCAT_OK);
        m_Handles.push_back(h);
        return h;
    }
    static YFciFCatManagerImpl& Impl(uint64_t h) { return *YFciFCatManagerImpl::FromHandle(h); }
    // A copy in the temporary folder keeps logs and caches out of the sources.
    std::string Copy(const std::filesystem::path& from) {
        std::string path = m_Dir.File(from.filename());
        std::filesystem::copy_file(from, path);
        return path;
    }
    std::string m_Sample;
    Handles m_Handles;
};

TEST_F(CapiTest, ManagersAndDeadHandles) {
    EXPECT_EQ(gFctCreateFCatManager(nullptr, "x"), MOSTFCAT_INVALID);
    uint64_t named = 0;
    ASSERT_EQ(gFciCreateFCatManager(&named, "host view"), MOSTFCAT_OK);
    EXPECT_EQ(Impl(named).GetManagerName(), "host view");
    EXPECT_EQ(gFciFCatManager(named), static_cast<YFciFCatManager*>(&Impl(named)));
    ASSERT_EQ(gFciDestroyFCatManager(named), MOSTFCAT_OK);

    const uint64_t dead = named;
    uint64_t* items = nullptr;
    uint32_t count = 0;
    EXPECT_EQ(gFciFCatManager(dead), nullptr);
    EXPECT_EQ(gFciFCatManager(0), nullptr);
    for (uint32_t status :
         {gFctDestroyFCatManager(dead), gFctDestroyFCatManager(0),
          gFctOpenFCat(dead, m_Sample.c_str(), 1), gFctCloseFCat(dead, m_Sample.c_str(), 1),
          gFctGetFCatItemList(dead, &items, &count)})
        EXPECT_EQ(status, MOSTFCAT_INVALID);
}

TEST_F(CapiTest, OpenAndCloseStatusCodes) {
    uint64_t h = Create(), any = Create();
    const char* sample = m_Sample.c_str();
    const std::string missing = m_Dir.File("missing.xml"), broken = m_Dir.File("broken.xml");
    WriteFile(broken, "<FunctionCatalog><FBlock>");
    using Codes = std::vector<uint32_t>;
    EXPECT_EQ(
        (Codes{gFctOpenFCat(h, sample, 17), gFctOpenFCat(h, nullptr, 1),
               gFctOpenFCat(h, missing.c_str(), 1), gFctOpenFCat(h, broken.c_str(), 1)}),
        (Codes{MOSTFCAT_BAD_CHANNEL, MOSTFCAT_INVALID, MOSTFCAT_FILE_MISSING, MOSTFCAT_INVALID}));
    EXPECT_EQ(YFCatPool::Instance().EntryCount(), 0u);
    EXPECT_EQ(
        (Codes{gFctCloseFCat(h, sample, 1), gFctCloseFCat(h, nullptr, 1),
               gFctCloseFCat(h, sample, 17), gFctCloseFCat(h, "", 1)}),
        (Codes{MOSTFCAT_NOT_FOUND, MOSTFCAT_INVALID, MOSTFCAT_BAD_CHANNEL, MOSTFCAT_FILE_MISSING}));

    // Paths compare in full form, ignoring letter case.
    ASSERT_EQ(gFctOpenFCat(h, sample, 3), MOSTFCAT_OK);
    ASSERT_EQ(gFctOpenFCat(h, sample, 5), MOSTFCAT_OK);
    std::string other = m_Dir.Path() + "/./SAMPLE_Catalog.XML";
    EXPECT_EQ(gFctCloseFCat(h, other.c_str(), 3), MOSTFCAT_OK);
    EXPECT_EQ(Impl(h).GetFCatNames(5), Names{"sample_catalog"});
    EXPECT_EQ(gFctCloseFCat(h, sample, MOSTFCAT_ANY_CHANNEL), MOSTFCAT_OK);
    EXPECT_EQ(gFctCloseFCat(h, sample, 5), MOSTFCAT_NOT_FOUND);
    // An open raises the channel count, never lowers it; on a new manager any
    // channel means all 16.
    ASSERT_EQ(gFctOpenFCat(h, sample, 2), MOSTFCAT_OK);
    EXPECT_EQ(Impl(h).GetChannelCount(), 5);
    EXPECT_EQ(Impl(h).GetFCatNames(1), Names{});
    ASSERT_EQ(gFctOpenFCat(any, sample, MOSTFCAT_ANY_CHANNEL), MOSTFCAT_OK);
    EXPECT_EQ(Impl(any).GetChannelCount(), 16);
    EXPECT_EQ(Impl(any).GetFCatNames(16), Names{"sample_catalog"});
}

TEST_F(CapiTest, NamesComeBackThroughTheBuffer) {
    std::string merge = Copy(MOSTFCAT_FIXTURES_DIR "/merge_fblocks.xml"),
                numbers = Copy(MOSTFCAT_FIXTURES_DIR "/params_numbers.xml");
    uint64_t h = Create();
    char buffer[64];
    ASSERT_EQ(gFctOpenNamedFCat(h, m_Sample.c_str(), 1, "Audio Module", buffer, sizeof buffer),
              MOSTFCAT_OK);
    EXPECT_STREQ(buffer, "Audio_Module");
    ASSERT_EQ(gFctOpenNamedFCat(h, merge.c_str(), 1, "audio module", buffer, 5), MOSTFCAT_OK);
    EXPECT_STREQ(buffer, "audi") << "audio_module_2, cut";
    buffer[0] = 'x';
    EXPECT_EQ(gFctOpenNamedFCat(h, numbers.c_str(), 2, nullptr, buffer, 0), MOSTFCAT_OK);
    EXPECT_EQ(buffer[0], 'x') << "size 0: nothing written";
    EXPECT_EQ(gFctOpenNamedFCat(h, m_Dir.File("gone.xml").c_str(), 1, "Gone", buffer, 64),
              MOSTFCAT_FILE_MISSING);
    EXPECT_STREQ(buffer, "Gone") << "copied out whatever the result";
    EXPECT_EQ(Impl(h).GetFCatNames(0), (Names{"Audio_Module", "audio_module_2", "params_numbers"}));
}

// The lock lets the nested call in, and the manager refuses it.
TEST_F(CapiTest, NestedOpenFromASinkIsRefused) {
    std::string merge = Copy(MOSTFCAT_FIXTURES_DIR "/merge_fblocks.xml");
    uint64_t h = Create();
    struct Sink : YFciFCatChangedSink {
        void OnFCatChanged() override {}
        void OnFCatChanging() override { nested.push_back(gFctOpenFCat(handle, path.c_str(), 1)); }
        uint64_t handle = 0;
        std::string path;
        std::vector<uint32_t> nested;
    } sink;
    sink.handle = h;
    sink.path = merge;
    gFciFCatManager(h)->SetChannelCount(4); // no change cycle of its own during the open
    sink.Register(h);
    EXPECT_EQ(gFctOpenFCat(h, m_Sample.c_str(), 1), MOSTFCAT_OK);
    EXPECT_EQ(sink.nested, std::vector<uint32_t>{MOSTFCAT_INVALID});
    EXPECT_EQ(Impl(h).GetFCatNames(0), Names{"sample_catalog"});
}

TEST_F(CapiTest, ItemListsAndAttributes) {
    uint64_t h = Create();
    uint64_t sentinel = 7, *items = &sentinel;
    uint32_t count = 99;
    EXPECT_EQ(gFctGetFCatItemList(h, &items, &count), MOSTFCAT_NOT_FOUND);
    EXPECT_TRUE(items == &sentinel && count == 99) << "untouched";
    ASSERT_EQ(gFctOpenFCat(h, Copy(MOSTFCAT_FIXTURES_DIR "/merge_fblocks.xml").c_str(), 5),
              MOSTFCAT_OK);
    ASSERT_EQ(gFctOpenFCat(h, m_Sample.c_str(), 3), MOSTFCAT_OK);
    ASSERT_EQ(Items(h).size(), 2u);
    const uint64_t cat = Items(h)[1];
    EXPECT_EQ(Str(cat, 101), FullPath(m_Sample));

    // The catalog lists FBlocks at their IDs, empty positions included.
    uint64_t* fblocks = nullptr;
    ASSERT_EQ(gFctGetSubItemList(cat, MOSTFCAT_ITEM_FBLOCK, &fblocks, &count), MOSTFCAT_OK);
    EXPECT_EQ(count, 0x41u);
    EXPECT_EQ(fblocks[0], 0u);
    const uint64_t amp = fblocks[0x22];
    const Handles insts = Children(amp, MOSTFCAT_ITEM_INSTANCE);
    ASSERT_EQ(insts.size(), 2u);

    // An enumeration converts its symbols.
    const uint64_t loudness = Named(Children(insts[0], MOSTFCAT_ITEM_FUNCTION), "Loudness");
    const Handles params =
        Children(Named(Children(loudness, MOSTFCAT_ITEM_OPERATION), "Set"), MOSTFCAT_ITEM_PARAM);
    ASSERT_EQ(params.size(), 1u);
    const uint64_t en = params[0];
    EXPECT_EQ(Children(en, MOSTFCAT_ITEM_ENUMVALUE).size(), 4u);
    uint32_t v = 77;
    EXPECT_EQ(gFctConvertSymbolToInt(en, "Medium", &v), MOSTFCAT_OK);
    EXPECT_EQ(v, 2u);

    // Failures leave the results alone: a zero node or a node of the wrong
    // kind answers 1, an unknown symbol 15 and a null result pointer 2.
    using Codes = std::vector<uint32_t>;
    const char* text = nullptr;
    uint64_t parent = 0;
    double max = 0;
    v = 77;
    EXPECT_EQ(
        (Codes{gFctGetSubItemList(0, 2, &items, &count), gFctGetAttrInt(0, 0, &v),
               gFctGetAttrStr(0, 3, &text), gFctGetAttrFloat(0, 1010, &max),
               gFctGetAttrNode(0, 2, &parent), gFctConvertSymbolToInt(0, "Medium", &v),
               gFctGetSubItemList(cat, MOSTFCAT_ITEM_INSTANCE, &items, &count),
               gFctConvertSymbolToInt(amp, "Medium", &v), gFctConvertSymbolToInt(en, nullptr, &v)}),
        Codes(9, MOSTFCAT_NOT_FOUND));
    EXPECT_EQ(gFctConvertSymbolToInt(en, "Loud", &v), MOSTFCAT_NO_SYMBOL);
    EXPECT_EQ(v, 77u);
    EXPECT_EQ(
        (Codes{gFctGetFCatItemList(h, nullptr, &count), gFctGetFCatItemList(h, &items, nullptr),
               gFctGetSubItemList(cat, 2, nullptr, &count), gFctGetAttrInt(cat, 0, nullptr),
               gFctGetAttrStr(cat, 3, nullptr), gFctGetAttrFloat(en, 1010, nullptr),
               gFctGetAttrNode(cat, 2, nullptr), gFctConvertSymbolToInt(en, "Low", nullptr)}),
        Codes(8, MOSTFCAT_INVALID));
}

TEST_F(CapiTest, CAndCppInterfacesAgree) {
    uint64_t h = Create();
    ASSERT_EQ(gFctOpenFCat(h, Copy(MOSTFCAT_FIXTURES_DIR "/merge_fblocks.xml").c_str(), 2),
              MOSTFCAT_OK);
    ASSERT_EQ(Items(h).size(), 1u);
    Handles fblocks = Children(Items(h)[0], MOSTFCAT_ITEM_FBLOCK);
    YFciFCatManager* cpp = gFciFCatManager(h);
    ASSERT_NE(cpp, nullptr);

    Pairs cPairs, cppPairs;
    for (uint64_t f : fblocks)
        cPairs.emplace_back(Str(f, 3), Int(f, 4));
    cpp->GetFBlockNameIdPairs(2, "", cppPairs);
    EXPECT_EQ(cPairs, (Pairs{{"Amplifier", 0x22}, {"Amplifier_23", 0x23}}));
    EXPECT_EQ(cppPairs, cPairs);
    YFciFCatManager::NodeList nodes;
    cpp->GetFBlockNodes(0, "merge_fblocks", nodes);
    EXPECT_EQ(nodes, fblocks);

    std::map<std::string, Pairs> cFunctions, cppFunctions;
    for (uint64_t f : fblocks) {
        std::vector<uint32_t> cIds, cppIds;
        cpp->GetInstanceIds(2, "", Int(f, 4), cppIds);
        for (uint64_t inst : Children(f, MOSTFCAT_ITEM_INSTANCE)) {
            cIds.push_back(Int(inst, 4));
            const std::string key = Str(f, 3) + "/" + Str(inst, 3);
            for (uint64_t fn : Children(inst, MOSTFCAT_ITEM_FUNCTION))
                cFunctions[key].emplace_back(Str(fn, 3), Int(fn, 4));
            cpp->GetFunctionNameIdPairs(2, "", Int(f, 4), Int(inst, 4), 3, cppFunctions[key]);
        }
        EXPECT_EQ(cppIds, cIds) << Str(f, 3);
    }
    EXPECT_EQ(cppFunctions, cFunctions);
    EXPECT_EQ(cFunctions["Amplifier/Subwoofer"], (Pairs{{"Volume", 0x400}, {"Crossover", 0x410}}));
    EXPECT_EQ(cFunctions.size(), 4u);
}

TEST_F(CapiTest, HeaderCompilesAsC) {
    EXPECT_EQ(mostfcat_c_header_check(m_Sample.c_str()), 3);
    EXPECT_EQ(mostfcat_c_header_check(m_Dir.File("missing.xml").c_str()), -3);
}

TEST_F(CapiTest, ManyThreadsAtOnce) {
    constexpr int kThreads = 4, kRounds = 200;
    std::vector<std::string> own;
    for (int t = 0; t < kThreads; ++t) {
        own.push_back(m_Dir.File("own" + std::to_string(t) + ".xml"));
        WriteFile(own.back(), CatalogXml(FBlockXml("Own" + std::to_string(t), "0x10", "")));
    }
    std::atomic<int> failures{0};
    auto check = [&](bool ok) { failures += !ok; };
    auto work = [&](int t) {
        for (int i = 0; i < kRounds; ++i) {
            uint64_t h = 0;
            check(gFctCreateFCatManager(&h, "worker") == MOSTFCAT_OK);
            const uint16_t channel = uint16_t(1 + (t * kRounds + i) % 16);
            check(gFctOpenFCat(h, m_Sample.c_str(), channel) == MOSTFCAT_OK);
            check(gFctOpenFCat(h, own[t].c_str(), MOSTFCAT_ANY_CHANNEL) == MOSTFCAT_OK);
            Handles items = Items(h);
            check(items.size() == 2);
            if (items.size() == 2) {
                check(Named(Children(items[0], MOSTFCAT_ITEM_FBLOCK), "AudioTunerAmFm") != 0);
                Handles mine = Children(items[1], MOSTFCAT_ITEM_FBLOCK);
                check(mine.size() == 1 && Str(mine[0], 3) == "Own" + std::to_string(t));
            }
            check(gFctCloseFCat(h, m_Sample.c_str(), channel) == MOSTFCAT_OK);
            if (i % 2) check(gFctCloseFCat(h, own[t].c_str(), 0) == MOSTFCAT_OK);
            check(gFctDestroyFCatManager(h) == MOSTFCAT_OK);
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back(work, t);
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(YFCatPool::Instance().EntryCount(), 0u);
    EXPECT_EQ(YFCatPool::Instance().CachedCount(), size_t(kThreads + 1));
}

} // namespace
} // namespace mostfcat::test
