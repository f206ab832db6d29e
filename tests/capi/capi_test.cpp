// The handle-based interface: managers, opening and closing with channels
// and names, item lists, attributes, status codes, the object interface on
// the same catalog, and calls from several threads.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

#include "manager/manager.h"
#include "manager/pool.h"
#include "mostfcat/fci.h"
#include "mostfcat/fct.h"
#include "platform/paths.h"
#include "support/catalog_builder.h"
#include "support/test_support.h"

// c_header_check.c: opens a catalog through the header compiled as C and
// returns the number of its FBlocks (negative on failure).
extern "C" int mostfcat_c_header_check(const char* path);

namespace mostfcat::test {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;
using Handles = std::vector<uint64_t>;
using Pairs = std::vector<std::pair<std::string, uint32_t>>;
constexpr int64_t kT0 = 1700000000;

std::string Str(uint64_t node, uint32_t attr) {
    const char* text = nullptr;
    return gFctGetAttrStr(node, attr, &text) == 0 ? text : "-";
}
std::string Int(uint64_t node, uint32_t attr) {
    uint32_t value = 0;
    return gFctGetAttrInt(node, attr, &value) == 0 ? std::to_string(value) : "-";
}
// The non-null children of a node (empty when it answers 1).
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

class CapiTest : public CatalogTest {
protected:
    void SetUp() override {
        CatalogTest::SetUp();
        YFCatPool::Instance().Clear();
        m_Sample = m_Dir.File("sample_catalog.xml");
        WriteFileAt(m_Sample, ReadFile(MOSTFCAT_SAMPLE_CATALOG), kT0);
    }
    void TearDown() override {
        for (uint64_t h : m_Handles)
            gFctDestroyFCatManager(h);
        YFCatPool::Instance().Clear();
        CatalogTest::TearDown();
    }
    uint64_t Create(const char* name = nullptr) {
        uint64_t h = 0;
        EXPECT_EQ(gFctCreateFCatManager(&h, name), MOSTFCAT_OK);
        m_Handles.push_back(h);
        return h;
    }
    static YFciFCatManagerImpl& Impl(uint64_t h) { return *YFciFCatManagerImpl::FromHandle(h); }
    std::string Fixture(const std::string& name) {
        std::string path = m_Dir.File(name);
        WriteFileAt(path, ReadFile(std::string(MOSTFCAT_FIXTURES_DIR) + "/" + name), kT0);
        return path;
    }
    std::string m_Sample;
    Handles m_Handles;
};

TEST_F(CapiTest, ManagersAndDeadHandles) {
    EXPECT_EQ(gFctCreateFCatManager(nullptr, "x"), MOSTFCAT_INVALID);
    uint64_t named = Create("host view"), plain = Create();
    EXPECT_EQ(Impl(named).GetManagerName(), "host view");
    EXPECT_EQ(Impl(plain).GetManagerName(), "");
    EXPECT_EQ(gFciFCatManager(named), static_cast<YFciFCatManager*>(&Impl(named)));
    EXPECT_EQ(gFctDestroyFCatManager(0), MOSTFCAT_INVALID);

    uint64_t dead = 0;
    ASSERT_EQ(gFciCreateFCatManager(&dead, nullptr), MOSTFCAT_OK);
    ASSERT_EQ(gFciDestroyFCatManager(dead), MOSTFCAT_OK);
    EXPECT_EQ(gFctDestroyFCatManager(dead), MOSTFCAT_INVALID);
    EXPECT_EQ(gFciFCatManager(dead), nullptr);
    EXPECT_EQ(gFctOpenFCat(dead, m_Sample.c_str(), 1), MOSTFCAT_INVALID);
    EXPECT_EQ(gFctCloseFCat(dead, m_Sample.c_str(), 1), MOSTFCAT_INVALID);
    uint64_t* items = nullptr;
    uint32_t count = 0;
    EXPECT_EQ(gFctGetFCatItemList(dead, &items, &count), MOSTFCAT_INVALID);
    EXPECT_EQ(gFciFCatManager(0), nullptr);

    uint64_t internal = gFciFCatMngr();
    ASSERT_NE(internal, 0u);
    EXPECT_EQ(gFciFCatMngr(), internal);
    EXPECT_EQ(Impl(internal).GetManagerName(), "internal FCat manager");
    EXPECT_TRUE(gFciIsCompatibleInterface(3, 0));
    EXPECT_FALSE(gFciIsCompatibleInterface(3, 1));
    EXPECT_FALSE(gFciIsCompatibleInterface(2, 0));
}

TEST_F(CapiTest, OpenOnChannelThree) {
    uint64_t h = Create();
    ASSERT_EQ(gFctOpenFCat(h, m_Sample.c_str(), 3), MOSTFCAT_OK);
    EXPECT_EQ(Impl(h).GetChannelCount(), 3);
    std::string log = ReadFile(m_Dir.File("sample_catalog.log"));
    EXPECT_NE(log.find("Import of file " + FullPath(m_Sample) + " completed"), std::string::npos);
    EXPECT_EQ(Impl(h).GetFCatNames(3), Names{"sample_catalog"});
    EXPECT_EQ(Impl(h).GetFCatNames(0), Names{"sample_catalog"});
    EXPECT_EQ(Impl(h).GetFCatNames(1), Names{});
    EXPECT_EQ(gFctOpenFCat(h, m_Sample.c_str(), 2), MOSTFCAT_OK) << "the count stays 3";
    EXPECT_EQ(Impl(h).GetChannelCount(), 3);
}

TEST_F(CapiTest, OpenOnAnyChannel) {
    uint64_t h = Create();
    ASSERT_EQ(gFctOpenFCat(h, m_Sample.c_str(), MOSTFCAT_ANY_CHANNEL), MOSTFCAT_OK);
    EXPECT_EQ(Impl(h).GetChannelCount(), 16);
    for (uint16_t c = 0; c <= 16; ++c)
        EXPECT_EQ(Impl(h).GetFCatNames(c), Names{"sample_catalog"}) << c;
}

TEST_F(CapiTest, OpenAndCloseStatusCodes) {
    uint64_t h = Create();
    EXPECT_EQ(gFctOpenFCat(h, m_Sample.c_str(), 17), MOSTFCAT_BAD_CHANNEL);
    EXPECT_EQ(gFctOpenFCat(h, m_Sample.c_str(), 0x8000), MOSTFCAT_BAD_CHANNEL);
    EXPECT_EQ(Impl(h).GetChannelCount(), 0) << "untouched";
    EXPECT_FALSE(fs::exists(m_Dir.File("sample_catalog.log")));
    EXPECT_EQ(YFCatPool::Instance().EntryCount(), 0u);
    EXPECT_EQ(gFctOpenFCat(h, nullptr, 1), MOSTFCAT_INVALID);
    EXPECT_EQ(gFctOpenFCat(h, m_Dir.File("missing.xml").c_str(), 1), MOSTFCAT_FILE_MISSING);
    WriteFile(m_Dir.File("broken.xml"), "<FunctionCatalog><FBlock>");
    EXPECT_EQ(gFctOpenFCat(h, m_Dir.File("broken.xml").c_str(), 1), MOSTFCAT_INVALID);

    EXPECT_EQ(gFctCloseFCat(h, m_Sample.c_str(), 1), MOSTFCAT_NOT_FOUND) << "never opened";
    EXPECT_EQ(gFctCloseFCat(h, nullptr, 1), MOSTFCAT_INVALID);
    EXPECT_EQ(gFctCloseFCat(h, m_Sample.c_str(), 17), MOSTFCAT_BAD_CHANNEL);
    EXPECT_EQ(gFctCloseFCat(h, "", 1), MOSTFCAT_FILE_MISSING);

    ASSERT_EQ(gFctOpenFCat(h, m_Sample.c_str(), 3), MOSTFCAT_OK);
    ASSERT_EQ(gFctOpenFCat(h, m_Sample.c_str(), 5), MOSTFCAT_OK);
    // Paths compare in full form, ignoring letter case.
    std::string other = m_Dir.Path() + "/./SAMPLE_Catalog.XML";
    EXPECT_EQ(gFctCloseFCat(h, other.c_str(), 3), MOSTFCAT_OK);
    EXPECT_EQ(Impl(h).GetFCatNames(5), Names{"sample_catalog"});
    EXPECT_EQ(gFctCloseFCat(h, m_Sample.c_str(), MOSTFCAT_ANY_CHANNEL), MOSTFCAT_OK);
    EXPECT_EQ(Impl(h).GetFCatNames(0), Names{});
    EXPECT_EQ(gFctCloseFCat(h, m_Sample.c_str(), 5), MOSTFCAT_NOT_FOUND);
}

TEST_F(CapiTest, NamesComeBackThroughTheBuffer) {
    std::string merge = Fixture("merge_fblocks.xml"), numbers = Fixture("params_numbers.xml");
    uint64_t h = Create();
    char buffer[64];
    ASSERT_EQ(gFctOpenNamedFCat(h, m_Sample.c_str(), 1, "Audio Module", buffer, sizeof buffer),
              MOSTFCAT_OK);
    EXPECT_STREQ(buffer, "Audio_Module");
    ASSERT_EQ(gFctOpenNamedFCat(h, merge.c_str(), 1, "audio module", buffer, 5), MOSTFCAT_OK);
    EXPECT_STREQ(buffer, "audi") << "audio_module_2, cut";
    std::fill(std::begin(buffer), std::end(buffer), 'x');
    ASSERT_EQ(gFctOpenNamedFCat(h, numbers.c_str(), 1, nullptr, buffer, 1), MOSTFCAT_OK);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], 'x');
    buffer[0] = 'x';
    EXPECT_EQ(gFctOpenNamedFCat(h, numbers.c_str(), 2, "Other", buffer, 0), MOSTFCAT_OK);
    EXPECT_EQ(buffer[0], 'x') << "size 0: nothing written";
    EXPECT_EQ(gFctOpenNamedFCat(h, m_Dir.File("gone.xml").c_str(), 1, "Gone", buffer, 64),
              MOSTFCAT_FILE_MISSING);
    EXPECT_STREQ(buffer, "Gone") << "copied out whatever the result";
    EXPECT_EQ(Impl(h).GetFCatNames(0), (Names{"Audio_Module", "audio_module_2", "params_numbers"}));
}

TEST_F(CapiTest, NestedOpenFromASinkIsRefused) {
    std::string merge = Fixture("merge_fblocks.xml");
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
    EXPECT_EQ(sink.nested, std::vector<uint32_t>{MOSTFCAT_INVALID}) << "the lock lets it in";
    EXPECT_EQ(Impl(h).GetFCatNames(0), Names{"sample_catalog"});
}

TEST_F(CapiTest, ItemLists) {
    std::string merge = Fixture("merge_fblocks.xml");
    uint64_t h = Create();
    uint64_t sentinel = 7;
    uint64_t* items = &sentinel;
    uint32_t count = 99;
    EXPECT_EQ(gFctGetFCatItemList(h, &items, &count), MOSTFCAT_NOT_FOUND);
    EXPECT_EQ(items, &sentinel);
    EXPECT_EQ(count, 99u);
    EXPECT_EQ(gFctGetFCatItemList(h, nullptr, &count), MOSTFCAT_INVALID);
    EXPECT_EQ(gFctGetFCatItemList(h, &items, nullptr), MOSTFCAT_INVALID);

    ASSERT_EQ(gFctOpenFCat(h, merge.c_str(), 5), MOSTFCAT_OK);
    ASSERT_EQ(gFctOpenFCat(h, m_Sample.c_str(), 3), MOSTFCAT_OK);
    ASSERT_EQ(gFctGetFCatItemList(h, &items, &count), MOSTFCAT_OK);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(Str(items[0], 101), FullPath(merge));
    EXPECT_EQ(Str(items[1], 101), FullPath(m_Sample));
    ASSERT_EQ(gFctCloseFCat(h, merge.c_str(), 5), MOSTFCAT_OK);
    ASSERT_EQ(gFctGetFCatItemList(h, &items, &count), MOSTFCAT_OK);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(Str(items[0], 101), FullPath(m_Sample));
}

TEST_F(CapiTest, WalkAndAttributes) {
    UseProfile("[MOSTImport]\nOptions=0x50007\n"); // with the version elements
    uint64_t h = Create();
    ASSERT_EQ(gFctOpenFCat(h, m_Sample.c_str(), 3), MOSTFCAT_OK);
    uint64_t* items = nullptr;
    uint32_t count = 0;
    ASSERT_EQ(gFctGetFCatItemList(h, &items, &count), MOSTFCAT_OK);
    const uint64_t cat = items[0];

    // The catalog lists FBlocks at their IDs, empty positions included.
    uint64_t* fblocks = nullptr;
    ASSERT_EQ(gFctGetSubItemList(cat, MOSTFCAT_ITEM_FBLOCK, &fblocks, &count), MOSTFCAT_OK);
    EXPECT_EQ(count, 0x41u);
    EXPECT_EQ(fblocks[0], 0u);
    EXPECT_EQ(gFctGetSubItemList(cat, MOSTFCAT_ITEM_INSTANCE, &fblocks, &count),
              MOSTFCAT_NOT_FOUND);
    EXPECT_EQ(gFctGetSubItemList(cat, MOSTFCAT_ITEM_FBLOCK, nullptr, &count), MOSTFCAT_INVALID);
    EXPECT_EQ(gFctGetSubItemList(0, MOSTFCAT_ITEM_FBLOCK, &fblocks, &count), MOSTFCAT_NOT_FOUND);
    Handles fbs = Children(cat, MOSTFCAT_ITEM_FBLOCK);
    Names names;
    for (uint64_t f : fbs)
        names.push_back(Str(f, 3) + "/" + Int(f, 4));
    EXPECT_EQ(names, (Names{"NetBlock/1", "AudioAmplifier/34", "AudioTunerAmFm/64"}));

    const uint64_t amp = fbs[1];
    Handles insts = Children(amp, MOSTFCAT_ITEM_INSTANCE);
    ASSERT_EQ(insts.size(), 2u);
    const uint64_t front = insts[0];
    const uint64_t volume = Named(Children(front, MOSTFCAT_ITEM_FUNCTION), "Volume");
    ASSERT_NE(volume, 0u);
    const uint64_t set = Named(Children(volume, MOSTFCAT_ITEM_OPERATION), "Set");
    ASSERT_NE(set, 0u);
    Handles params = Children(set, MOSTFCAT_ITEM_PARAM);
    ASSERT_EQ(params.size(), 1u);
    const uint64_t param = params[0];
    std::map<uint64_t, std::string> labels{{0, "null"},      {cat, "cat"},       {amp, "amp"},
                                           {front, "front"}, {volume, "volume"}, {set, "set"}};
    // The attributes named in the list ("i4": integer 4, "s"/"f"/"n": string, float,
    // node) as the texts they read as, joined with "|"; "-": not answered.
    auto attrs = [&](uint64_t node, const std::string& list) {
        std::istringstream in(list);
        std::string item, out;
        while (in >> item) {
            const uint32_t number = std::stoul(item.substr(1));
            double d = 0;
            uint64_t n = 0;
            if (!out.empty()) out += "|";
            if (item[0] == 'i') out += Int(node, number);
            if (item[0] == 's') out += Str(node, number);
            if (item[0] == 'f')
                out += gFctGetAttrFloat(node, number, &d) == 0 ? std::to_string(int(d)) : "-";
            if (item[0] == 'n') out += gFctGetAttrNode(node, number, &n) == 0 ? labels[n] : "-";
        }
        return out;
    };
    EXPECT_EQ(attrs(cat, "i0 i1 n2 s3 s100 s111 s112 i113 i4 s5 f1"),
              "1|0|null|||3.2.1|2024-05-17|1|-|-|-");
    EXPECT_EQ(attrs(amp, "i0 i1 n2 s3 s200 i4 i201 s211 s212 n220 n221 i222 i250 n3"),
              "2|1|cat|AudioAmplifier|AudioAmplifier|34|34|3.0.2|2024-04-30|front|front|0|-|-");
    EXPECT_EQ(attrs(front, "i0 i1 n2 s3 s252 i4 i250 s261 s262 s263 i201"),
              "3|2|amp|AmplifierFront|AmplifierFront|1|1|3.0.2|2024-04-30|AudioAmplifier|-");
    EXPECT_EQ(attrs(volume, "i0 i1 n2 s3 s300 i4 i301 s311 s200 i302 i350"),
              "4|3|front|Volume|Volume|1024|1024|1.2.0|AudioAmplifier|1|1");
    EXPECT_EQ(Str(volume, 5), "Output volume of the amplifier instance.");
    EXPECT_EQ(Str(volume, 310), Str(volume, 5));
    EXPECT_EQ(attrs(set, "i0 i1 n2 s3 i4 i401 s5 i400"), "5|4|volume|Set|0|0|-|-");
    EXPECT_EQ(attrs(param, "i0 i1 n2 s3 s1000 i1002 i1005 i1006 f1010 f1011 s1013 i4"),
              "6|5|set|Volume|Volume|1|0|8|0|100|%|-");
    EXPECT_EQ(Str(amp, 5), Str(amp, 210));
    EXPECT_EQ(Str(amp, 5).rfind("Four-channel amplifier.", 0), 0u);
    EXPECT_EQ(Str(cat, 101), FullPath(m_Sample));
    EXPECT_EQ(Children(insts[1], MOSTFCAT_ITEM_FUNCTION), Children(front, MOSTFCAT_ITEM_FUNCTION))
        << "the instances share their functions";
    uint32_t v = 5;
    EXPECT_EQ(gFctGetAttrInt(0, 0, &v), MOSTFCAT_NOT_FOUND);
    EXPECT_EQ(gFctGetAttrInt(cat, 0, nullptr), MOSTFCAT_INVALID);
    const char* text = nullptr;
    EXPECT_EQ(gFctGetAttrStr(0, 3, &text), MOSTFCAT_NOT_FOUND);
    EXPECT_EQ(gFctGetAttrStr(cat, 3, nullptr), MOSTFCAT_INVALID);
    double range = 0;
    EXPECT_EQ(gFctGetAttrFloat(0, 1010, &range), MOSTFCAT_NOT_FOUND);
    EXPECT_EQ(gFctGetAttrFloat(param, 1010, nullptr), MOSTFCAT_INVALID);
    uint64_t n = 0;
    EXPECT_EQ(gFctGetAttrNode(0, 2, &n), MOSTFCAT_NOT_FOUND);
    EXPECT_EQ(gFctGetAttrNode(cat, 2, nullptr), MOSTFCAT_INVALID);

    // An enumeration lists its values and converts symbols.
    uint64_t loudness = Named(Children(front, MOSTFCAT_ITEM_FUNCTION), "Loudness");
    uint64_t enumSet = Named(Children(loudness, MOSTFCAT_ITEM_OPERATION), "Set");
    Handles enumParams = Children(enumSet, MOSTFCAT_ITEM_PARAM);
    ASSERT_EQ(enumParams.size(), 1u);
    uint64_t en = enumParams[0];
    names.clear();
    for (uint64_t value : Children(en, MOSTFCAT_ITEM_ENUMVALUE))
        names.push_back(Str(value, 3) + "=" + Int(value, 1201) + "/" + Int(value, 0));
    EXPECT_EQ(names, (Names{"Off=0/20", "Low=1/20", "Medium=2/20", "High=3/20"}));
    EXPECT_EQ(Children(en, MOSTFCAT_ITEM_PARAM), Handles{});
    v = 77;
    EXPECT_EQ(gFctConvertSymbolToInt(en, "Medium", &v), MOSTFCAT_OK);
    EXPECT_EQ(v, 2u);
    v = 77;
    EXPECT_EQ(gFctConvertSymbolToInt(en, "Loud", &v), MOSTFCAT_NO_SYMBOL);
    EXPECT_EQ(gFctConvertSymbolToInt(en, nullptr, &v), MOSTFCAT_NOT_FOUND);
    EXPECT_EQ(gFctConvertSymbolToInt(param, "Medium", &v), MOSTFCAT_NOT_FOUND);
    EXPECT_EQ(gFctConvertSymbolToInt(0, "Medium", &v), MOSTFCAT_NOT_FOUND);
    EXPECT_EQ(gFctConvertSymbolToInt(en, "Medium", nullptr), MOSTFCAT_INVALID);
    EXPECT_EQ(v, 77u) << "unchanged on every failure";
}

TEST_F(CapiTest, CAndCppInterfacesAgree) {
    std::string merge = Fixture("merge_fblocks.xml");
    uint64_t h = Create();
    ASSERT_EQ(gFctOpenFCat(h, merge.c_str(), 2), MOSTFCAT_OK);
    uint64_t* items = nullptr;
    uint32_t count = 0;
    ASSERT_EQ(gFctGetFCatItemList(h, &items, &count), MOSTFCAT_OK);
    Handles fblocks = Children(items[0], MOSTFCAT_ITEM_FBLOCK);
    YFciFCatManager* cpp = gFciFCatManager(h);
    ASSERT_NE(cpp, nullptr);

    Pairs cPairs, cppPairs;
    for (uint64_t f : fblocks)
        cPairs.emplace_back(Str(f, 3), std::stoul(Int(f, 4)));
    cpp->GetFBlockNameIdPairs(2, "", cppPairs);
    EXPECT_EQ(cPairs, (Pairs{{"Amplifier", 0x22}, {"Amplifier_23", 0x23}}));
    EXPECT_EQ(cppPairs, cPairs);
    YFciFCatManager::NodeList nodes;
    cpp->GetFBlockNodes(0, "merge_fblocks", nodes);
    EXPECT_EQ(nodes, fblocks);

    std::map<std::string, Pairs> cFunctions, cppFunctions;
    for (uint64_t f : fblocks) {
        const uint32_t id = std::stoul(Int(f, 4));
        std::vector<uint32_t> cIds, cppIds;
        cpp->GetInstanceIds(2, "", id, cppIds);
        for (uint64_t inst : Children(f, MOSTFCAT_ITEM_INSTANCE)) {
            const uint32_t instId = std::stoul(Int(inst, 4));
            cIds.push_back(instId);
            const std::string key = Str(f, 3) + "/" + Str(inst, 3);
            for (uint64_t fn : Children(inst, MOSTFCAT_ITEM_FUNCTION))
                cFunctions[key].emplace_back(Str(fn, 3), std::stoul(Int(fn, 4)));
            cpp->GetFunctionNameIdPairs(2, "", id, instId, 3, cppFunctions[key]);
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
        WriteFileAt(own.back(), CatalogXml(FBlockXml("Own" + std::to_string(t), "0x10", "")), kT0);
    }
    std::atomic<int> failures{0};
    auto check = [&](bool ok) {
        if (!ok) ++failures;
    };
    auto work = [&](int t) {
        for (int i = 0; i < kRounds; ++i) {
            uint64_t h = 0;
            check(gFctCreateFCatManager(&h, "worker") == MOSTFCAT_OK);
            const uint16_t channel = uint16_t(1 + (t * kRounds + i) % 16);
            check(gFctOpenFCat(h, m_Sample.c_str(), channel) == MOSTFCAT_OK);
            check(gFctOpenFCat(h, own[t].c_str(), MOSTFCAT_ANY_CHANNEL) == MOSTFCAT_OK);
            uint64_t* items = nullptr;
            uint32_t count = 0;
            check(gFctGetFCatItemList(h, &items, &count) == MOSTFCAT_OK && count == 2);
            if (count == 2) {
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
