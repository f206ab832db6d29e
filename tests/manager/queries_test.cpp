// The manager's queries over the catalogs of a channel: list order, the
// catalog-name filter, the instance fallback, the deepest-match rule of the
// lookups, name resolution and node lists.
#include "manager/manager_fixture.h"
#include "mostfcat/user_input.h"

namespace mostfcat::test {
namespace {

using Ids = std::vector<uint32_t>;
constexpr uint32_t kNone = 0xFFFFFFFF;

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
    YFciFCatManagerImpl* m = nullptr;
};

TEST_F(ManagerQueriesTest, ListsFollowChannelsOpenOrderAndCatalogName) {
    EXPECT_EQ(m->GetFCatNames(0xFFFF), (Names{"Front", "Rear"}));
    EXPECT_EQ(m->GetFCatNames(2), Names{"Rear"});
    Names names{"stale"};
    m->GetFBlockNames(0, "", names);
    EXPECT_EQ(names, (Names{"Amp", "Tuner", "Amplifier", "Disk", "Tuner"}));
    m->GetFBlockNames(5, "", names);
    EXPECT_EQ(names, Names{}) << "above the channel count";
    m->GetInstFBlockNames(0xFFFF, "", names);
    EXPECT_EQ(names, (Names{"AmpRear", "Amp", "Tuner", "Amplifier", "Disk", "Tuner"}));
    m->GetFBlockNames(1, "rear", names);
    EXPECT_EQ(names, (Names{"Amplifier", "Disk", "Tuner"})) << "the name wins over the channel";

    Ids ids;
    m->GetInstanceIds(0, "", 0x22, ids);
    EXPECT_EQ(ids, (Ids{1, 3, 1}));
    m->GetInstanceIdsByFBlockName(0, "", "AMP", ids);
    EXPECT_EQ(ids, (Ids{1, 3})) << "AmpRear merged into Amp";

    // An unknown catalog name gives nothing, although the channel has
    // catalogs, and the list is cleared first.
    YFciFCatManager::NodeList nodes{7};
    m->GetOperationNamesByFBlockName(0, "Nope", "Amp", 1, 3, 0x400, names);
    m->GetFunctionIds(0, "Nope", 0x22, 1, 3, ids);
    m->GetFBlockNodes(0, "Nope", nodes);
    EXPECT_EQ(names.size() + ids.size() + nodes.size(), 0u);
    EXPECT_EQ(m->GetFunctionKind(0, "Nope", 0x22, 1, 3, 0x400), 0u);
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
    Ids ids;
    m->GetFunctionIds(0, "", 0x22, 1, 3, ids);
    EXPECT_EQ(ids, (Ids{0x402, 0x400, 0x403, 0x410}));
    m->GetOperationCodesByFBlockName(0, "", "disk", 0, 0, 0x200, ids);
    EXPECT_EQ(ids, (Ids{2, 0xC}));
}

TEST_F(ManagerQueriesTest, CompileLayoutsCountsEachOperationOnce) {
    // Twin's two instances share their function: its operations count once.
    std::string twin =
        Catalog("twin.xml", FBlockXml("Twin", "0x50",
                                      DeviceXml("A", "0x01") + DeviceXml("B", "0x02") +
                                          PropertyXml("Level", "0x200")));
    ASSERT_EQ(Open(*m, twin, 3, "Twin"), 0u);
    EXPECT_EQ(m->CompileLayouts(3), 2u);
    EXPECT_EQ(m->CompileLayouts(1), 8u);
    EXPECT_EQ(YFciUserInput::CompileLayouts(*m, 0), 20u) << "every catalog, compiled or not";
    EXPECT_EQ(m->CompileLayouts(5), 0u) << "above the channel count";
}

TEST_F(ManagerQueriesTest, LookupsTakeTheDeepestMatch) {
    EXPECT_EQ(m->GetFBlockName(0, 0x22), "Amp") << "first opened";
    EXPECT_EQ(m->GetFBlockName(2, 0x22), "Amplifier");
    // Front stops at the instance, Rear holds the function.
    EXPECT_EQ(m->GetFunctionName(0, 0x22, 1, 3, 0x403), "Treble");
    EXPECT_EQ(m->GetFunctionName(0, 0x22, 1, 3, 0x400), "Gain");
    EXPECT_EQ(m->GetFunctionName(0, 0x22, 3, 3, 0x400), "Volume");
    EXPECT_EQ(m->GetFunctionName(0, 0x22, 7, 3, 0x400), "");
    // Both reach function 0x410; only Rear's method has operation 2.
    EXPECT_EQ(m->GetOperationName(0, 0x22, 7, 2, 0x410, 2), "StartResult");
    EXPECT_EQ(m->GetOperationName(0, 0x22, 7, 2, 0x410, 0xC), "Status") << "first complete";
    EXPECT_EQ(m->GetFunctionKind(0, "", 0x22, 7, 2, 0x410), 1u);
    EXPECT_EQ(m->GetFunctionKind(0, "Rear", 0x22, 7, 2, 0x410), 2u);
    YFciFCatManager::NodeList nodes;
    m->GetOperationNodes(0, "", 0x22, 7, 2, 0x410, 0xC, nodes);
    ASSERT_EQ(nodes.size(), 2u);
    auto name = [](uint64_t node) { return reinterpret_cast<YMTNode*>(node)->NameRef(); };
    EXPECT_EQ(name(nodes[0]) + " " + name(nodes[1]), "Status Result") << "Front's, Rear's";

    std::string fcat;
    uint32_t fblock = 1, function = 1, op = 1;
    m->ResolveNames(0, "", "tuner", 0, 0, "BAND", "status", fcat, fblock, function, op);
    EXPECT_EQ(fcat, "Rear");
    EXPECT_EQ((Ids{fblock, function, op}), (Ids{0x40, 0x101, 0xC}));
    m->ResolveNames(0, "", "Amp", 5, 2, "volume", "Result", fcat, fblock, function, op);
    EXPECT_EQ(fcat, "Front");
    EXPECT_EQ((Ids{fblock, function, op}), (Ids{0x22, 0x400, kNone}));
    m->ResolveNames(0, "Nope", "Amp", 1, 3, "Bass", "Set", fcat, fblock, function, op);
    EXPECT_EQ(fcat, "");
    EXPECT_EQ((Ids{fblock, function, op}), (Ids{kNone, kNone, kNone}));
}

} // namespace
} // namespace mostfcat::test
