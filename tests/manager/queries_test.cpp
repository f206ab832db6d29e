// The manager's queries over the catalogs of a channel: list order, the
// catalog-name filter, the instance fallback, the deepest-match rule of the
// operation lookup, name resolution, node lists and the name utilities.
#include <gtest/gtest.h>

#include "manager/manager_fixture.h"
#include "tree/node.h"

namespace mostfcat::test {
namespace {

using Ids = std::vector<uint32_t>;
using Pairs = std::vector<std::pair<std::string, uint32_t>>;
constexpr uint32_t kNone = 0xFFFFFFFF;

// True when v is empty; refills it for the next call.
template <class V> bool Emptied(V& v) {
    bool empty = v.empty();
    v.resize(1);
    return empty;
}

// "Front" on channel 1: FBlock 0x22 merged from Amp (instance 3, imported
// first) and AmpRear (instance 1, the lowest ID), and a Tuner.
// "Rear" on channel 2: FBlock 0x22 named Amplifier with instance 1 only, a
// Disk and a Tuner of its own.
class ManagerQueriesTest : public ManagerTest {
protected:
    void SetUp() override {
        ManagerTest::SetUp();
        std::string front = Catalog(
            "front.xml", FBlockXml("Amp", "0x22",
                                   DeviceXml("Rear", "0x03") + PropertyXml("Volume", "0x400") +
                                       PropertyXml("Reset", "0x410")) +
                             FBlockXml("AmpRear", "0x22",
                                       DeviceXml("Front", "0x01") + PropertyXml("Bass", "0x402")) +
                             FBlockXml("Tuner", "0x40", PropertyXml("Station", "0x100")));
        std::string rear =
            Catalog("rear.xml",
                    FBlockXml("Amplifier", "0x22",
                              DeviceXml("Main", "0x01") + PropertyXml("Gain", "0x400") +
                                  PropertyXml("Treble", "0x403") + MethodXml("Clear", "0x410")) +
                        FBlockXml("Disk", "0x31", MethodXml("Eject", "0x200")) +
                        FBlockXml("Tuner", "0x40", PropertyXml("Band", "0x101")));
        m = &NewManager(4);
        ASSERT_EQ(Open(*m, front, 1, "Front"), 0u);
        ASSERT_EQ(Open(*m, rear, 2, "Rear"), 0u);
    }
    static std::string Name(uint64_t handle) {
        return reinterpret_cast<YMTNode*>(handle)->NameRef();
    }
    // The registration name of the catalog a node belongs to.
    std::string CatalogOf(uint64_t handle) {
        YMTNode* n = reinterpret_cast<YMTNode*>(handle);
        while (n->Parent())
            n = n->Parent();
        for (const auto& r : m->Registrations())
            if (r.catalog == n) return r.name;
        return "?";
    }
    YFciFCatManagerImpl* m = nullptr;
};

TEST_F(ManagerQueriesTest, ListsFollowChannelsAndOpenOrder) {
    EXPECT_EQ(m->GetFCatNames(0), (Names{"Front", "Rear"}));
    EXPECT_EQ(m->GetFCatNames(0xFFFF), (Names{"Front", "Rear"}));
    EXPECT_EQ(m->GetFCatNames(2), Names{"Rear"});
    EXPECT_EQ(m->GetFCatNames(3), Names{});
    Names names{"stale"};
    m->GetFBlockNames(0, "", names);
    EXPECT_EQ(names, (Names{"Amp", "Tuner", "Amplifier", "Disk", "Tuner"}));
    m->GetFBlockNames(2, "", names);
    EXPECT_EQ(names, (Names{"Amplifier", "Disk", "Tuner"}));
    m->GetFBlockNames(5, "", names);
    EXPECT_EQ(names, Names{}) << "above the channel count";
    m->GetInstFBlockNames(0xFFFF, "", names);
    EXPECT_EQ(names, (Names{"AmpRear", "Amp", "Tuner", "Amplifier", "Disk", "Tuner"}));

    Ids ids{7};
    m->GetFBlockIds(0, "", ids);
    EXPECT_EQ(ids, (Ids{0x22, 0x40, 0x22, 0x31, 0x40}));
    m->GetInstanceIds(0, "", 0x22, ids);
    EXPECT_EQ(ids, (Ids{1, 3, 1}));
    m->GetInstanceIdsByFBlockName(0, "", "AMP", ids);
    EXPECT_EQ(ids, (Ids{1, 3})) << "AmpRear merged into Amp";
    m->GetInstanceIdsByFBlockName(0, "", "AmpRear", ids);
    EXPECT_EQ(ids, Ids{});

    Pairs pairs{{"stale", 1}};
    m->GetFBlockNameIdPairs(2, "", pairs);
    EXPECT_EQ(pairs, (Pairs{{"Amplifier", 0x22}, {"Disk", 0x31}, {"Tuner", 0x40}}));
    m->GetJoinedFBlockNames(0, "", pairs);
    EXPECT_EQ(pairs, (Pairs{{"Amp, AmpRear", 0x22},
                            {"Tuner", 0x40},
                            {"Amplifier", 0x22},
                            {"Disk", 0x31},
                            {"Tuner", 0x40}}));
}

TEST_F(ManagerQueriesTest, CatalogNameSelectsOneCatalog) {
    Names names;
    m->GetFBlockNames(1, "rear", names);
    EXPECT_EQ(names, (Names{"Amplifier", "Disk", "Tuner"})) << "the name wins over the channel";
    m->GetFunctionNames(0, "Front", 0x40, 0, 0, names);
    EXPECT_EQ(names, Names{"Station"});

    // An unknown name gives nothing anywhere, although the channel has catalogs;
    // every list is cleared first.
    const std::string nope = "Nope";
    Names n{"x"};
    Ids i{1};
    Pairs p{{"x", 1}};
    YFciFCatManager::NodeList nodes{1};
    EXPECT_TRUE((m->GetFBlockNames(0, nope, n), Emptied(n))) << 21;
    EXPECT_TRUE((m->GetInstFBlockNames(0, nope, n), Emptied(n))) << 22;
    EXPECT_TRUE((m->GetFunctionNames(0, nope, 0x22, 1, 3, n), Emptied(n))) << 23;
    EXPECT_TRUE((m->GetFunctionNamesByFBlockName(0, nope, "Amp", 1, 3, n), Emptied(n))) << 24;
    EXPECT_TRUE((m->GetOperationNames(0, nope, 0x22, 1, 3, 0x400, n), Emptied(n))) << 25;
    EXPECT_TRUE((m->GetOperationNamesByFBlockName(0, nope, "Amp", 1, 3, 0x400, n), Emptied(n)))
        << 26;
    EXPECT_TRUE((m->GetFBlockIds(0, nope, i), Emptied(i))) << 27;
    EXPECT_TRUE((m->GetInstanceIds(0, nope, 0x22, i), Emptied(i))) << 28;
    EXPECT_TRUE((m->GetInstanceIdsByFBlockName(0, nope, "Amp", i), Emptied(i))) << 29;
    EXPECT_TRUE((m->GetFunctionIds(0, nope, 0x22, 1, 3, i), Emptied(i))) << 30;
    EXPECT_TRUE((m->GetFunctionIdsByFBlockName(0, nope, "Amp", 1, 3, i), Emptied(i))) << 31;
    EXPECT_TRUE((m->GetOperationCodes(0, nope, 0x22, 1, 3, 0x400, i), Emptied(i))) << 32;
    EXPECT_TRUE((m->GetOperationCodesByFBlockName(0, nope, "Amp", 1, 3, 0x400, i), Emptied(i)))
        << 33;
    EXPECT_TRUE((m->GetFBlockNameIdPairs(0, nope, p), Emptied(p))) << 34;
    EXPECT_TRUE((m->GetJoinedFBlockNames(0, nope, p), Emptied(p))) << 35;
    EXPECT_TRUE((m->GetFunctionNameIdPairs(0, nope, 0x22, 1, 3, p), Emptied(p))) << 36;
    EXPECT_TRUE((m->GetOperationNameCodePairs(0, nope, 0x22, 1, 3, 0x400, p), Emptied(p))) << 37;
    EXPECT_TRUE((m->GetFBlockNodes(0, nope, nodes), Emptied(nodes))) << 39;
    EXPECT_TRUE((m->GetFBlockNodesById(0, nope, 0x22, nodes), Emptied(nodes))) << 40;
    EXPECT_TRUE((m->GetFunctionNodes(0, nope, 0x22, 1, 3, 0x400, nodes), Emptied(nodes))) << 41;
    EXPECT_TRUE((m->GetOperationNodes(0, nope, 0x22, 1, 3, 0x400, 0, nodes), Emptied(nodes))) << 42;
    EXPECT_EQ(m->GetFunctionKind(0, nope, 0x22, 1, 3, 0x400), 0u);
}

TEST_F(ManagerQueriesTest, InstanceFallback) {
    Names names;
    auto functions = [&](uint32_t inst, uint32_t fallback) {
        m->GetFunctionNames(1, "", 0x22, inst, fallback, names);
        return names;
    };
    EXPECT_EQ(functions(5, 1), Names{"Bass"}) << "the default instance (lowest ID)";
    EXPECT_EQ(functions(5, 2), (Names{"Volume", "Reset"})) << "the instance imported first";
    EXPECT_EQ(functions(1, 0), (Names{"Volume", "Reset"})) << "fallback 0 never looks up";
    EXPECT_EQ(functions(5, 3), Names{});
    EXPECT_EQ(functions(1, 3), Names{"Bass"});

    m->GetFunctionNamesByFBlockName(0, "", "amplifier", 9, 2, names);
    EXPECT_EQ(names, (Names{"Gain", "Treble", "Clear"}));
    Ids ids;
    m->GetFunctionIds(0, "", 0x22, 1, 3, ids);
    EXPECT_EQ(ids, (Ids{0x402, 0x400, 0x403, 0x410}));
    m->GetFunctionIdsByFBlockName(0, "", "Amp", 7, 1, ids);
    EXPECT_EQ(ids, Ids{0x402});
    m->GetOperationNames(0, "", 0x22, 7, 2, 0x410, names);
    EXPECT_EQ(names, (Names{"Set", "Status", "StartResult", "Result"}));
    m->GetOperationNamesByFBlockName(0, "", "Amplifier", 1, 3, 0x410, names);
    EXPECT_EQ(names, (Names{"StartResult", "Result"}));
    m->GetOperationCodes(0, "", 0x22, 3, 3, 0x400, ids);
    EXPECT_EQ(ids, (Ids{0, 0xC}));
    m->GetOperationCodesByFBlockName(0, "", "disk", 0, 0, 0x200, ids);
    EXPECT_EQ(ids, (Ids{2, 0xC}));
    Pairs pairs;
    m->GetFunctionNameIdPairs(2, "", 0x22, 1, 3, pairs);
    EXPECT_EQ(pairs, (Pairs{{"Gain", 0x400}, {"Treble", 0x403}, {"Clear", 0x410}}));
    m->GetOperationNameCodePairs(0, "Front", 0x40, 0, 0, 0x100, pairs);
    EXPECT_EQ(pairs, (Pairs{{"Set", 0}, {"Status", 0xC}}));
}

TEST_F(ManagerQueriesTest, OperationLookupTakesTheDeepestMatch) {
    EXPECT_EQ(m->GetFBlockName(0, 0x22), "Amp") << "first opened";
    EXPECT_EQ(m->GetFBlockName(2, 0x22), "Amplifier");
    EXPECT_EQ(m->GetFBlockName(1, 0x31), "");
    // Front stops at the instance, Rear holds the function.
    EXPECT_EQ(m->GetFunctionName(0, 0x22, 1, 3, 0x403), "Treble");
    EXPECT_EQ(m->GetFunctionName(0, 0x22, 1, 3, 0x400), "Gain");
    EXPECT_EQ(m->GetFunctionName(0, 0x22, 3, 3, 0x400), "Volume");
    EXPECT_EQ(m->GetFunctionName(0, 0x22, 7, 1, 0x400), "Gain");
    EXPECT_EQ(m->GetFunctionName(0, 0x22, 7, 2, 0x400), "Volume");
    EXPECT_EQ(m->GetFunctionName(0, 0x22, 1, 0, 0x400), "Volume");
    EXPECT_EQ(m->GetFunctionName(0, 0x22, 7, 3, 0x400), "");
    EXPECT_EQ(m->GetFunctionName(2, 0x22, 3, 3, 0x400), "");
    // Both reach function 0x410; only Rear's method has operation 2.
    EXPECT_EQ(m->GetOperationName(0, 0x22, 7, 2, 0x410, 2), "StartResult");
    EXPECT_EQ(m->GetOperationName(0, 0x22, 7, 2, 0x410, 0xC), "Status") << "first complete";
    EXPECT_EQ(m->GetOperationName(0, 0x22, 7, 2, 0x410, 5), "");
    EXPECT_EQ(m->GetOperationName(1, 0x22, 1, 3, 0x400, 0), "");

    EXPECT_EQ(m->GetFunctionKind(0, "", 0x22, 7, 2, 0x410), 1u);
    EXPECT_EQ(m->GetFunctionKind(0, "Rear", 0x22, 7, 2, 0x410), 2u);
    EXPECT_EQ(m->GetFunctionKind(0, "", 0x22, 1, 3, 0x410), 2u) << "only Rear has it there";
    EXPECT_EQ(m->GetFunctionKind(0, "", 0x31, 0, 0, 0x201), 0u);
}

TEST_F(ManagerQueriesTest, ResolveNames) {
    std::string fcat = "stale";
    uint32_t fblock = 1, function = 1, op = 1;
    m->ResolveNames(0, "", "tuner", 0, 0, "BAND", "status", fcat, fblock, function, op);
    EXPECT_EQ(fcat, "Rear");
    EXPECT_EQ((Ids{fblock, function, op}), (Ids{0x40, 0x101, 0xC}));
    m->ResolveNames(0, "", "Amp", 5, 2, "volume", "Result", fcat, fblock, function, op);
    EXPECT_EQ(fcat, "Front");
    EXPECT_EQ((Ids{fblock, function, op}), (Ids{0x22, 0x400, kNone}));
    m->ResolveNames(0, "Front", "Amplifier", 1, 3, "Gain", "Set", fcat, fblock, function, op);
    EXPECT_EQ(fcat, "Front");
    EXPECT_EQ((Ids{fblock, function, op}), (Ids{kNone, kNone, kNone}));
    m->ResolveNames(0, "Nope", "Amp", 1, 3, "Bass", "Set", fcat, fblock, function, op);
    EXPECT_EQ(fcat, "");
    EXPECT_EQ((Ids{fblock, function, op}), (Ids{kNone, kNone, kNone}));
}

TEST_F(ManagerQueriesTest, NodeLists) {
    YFciFCatManager::NodeList nodes{42};
    m->GetFBlockNodes(0, "", nodes);
    ASSERT_EQ(nodes.size(), 5u);
    EXPECT_EQ(Name(nodes[2]) + "@" + CatalogOf(nodes[2]), "Amplifier@Rear");
    m->GetFBlockNodesById(0, "", 0x40, nodes);
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(CatalogOf(nodes[0]) + CatalogOf(nodes[1]), "FrontRear");
    m->GetFunctionNodes(0, "", 0x22, 1, 3, 0x400, nodes);
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(Name(nodes[0]), "Gain");
    m->GetOperationNodes(0, "", 0x22, 7, 2, 0x410, 0xC, nodes);
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(Name(nodes[0]) + "@" + CatalogOf(nodes[0]), "Status@Front");
    EXPECT_EQ(Name(nodes[1]) + "@" + CatalogOf(nodes[1]), "Result@Rear");
}

TEST_F(ManagerQueriesTest, NameUtilities) {
    std::string s = "2nd Zone";
    EXPECT_TRUE(m->FixName(s));
    EXPECT_EQ(s, "_2nd_Zone");
    s = " a/b ";
    EXPECT_FALSE(m->FixName(s));
    EXPECT_EQ(s, "ab");
    s = "";
    m->MakeCatalogName(s);
    EXPECT_EQ(s, "FunctionCatalog");
    s = "my cat." + std::string(40, 'c');
    m->MakeCatalogName(s);
    EXPECT_EQ(s, "my_cat_" + std::string(25, 'c'));
    s = std::string("a\0b\tc\x7f\x01-d", 9);
    m->MakePrintable(s);
    EXPECT_EQ(s, "abc-d");
    s = std::string(300, 'p');
    m->MakePrintable(s);
    EXPECT_EQ(s, std::string(255, 'p'));
}

} // namespace
} // namespace mostfcat::test
