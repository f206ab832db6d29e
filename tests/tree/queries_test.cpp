// Read-only queries over an imported catalog: navigation by identifier and
// name, instance selection with fallbacks, parameter search and listings.
#include <gtest/gtest.h>

#include "function_xml.h"
#include "params/param_queries.h"
#include "tree/queries.h"

namespace mostfcat {
namespace {

using namespace test;
using Names = std::vector<std::string>;
using Pairs = std::vector<std::pair<std::string, uint32_t>>;

// FBlock 0x22 comes from two elements: AmpRear (Side 3, then Rear 1, sharing
// Bass) and Amp (Front 2 with Volume and Mute). The first imported instance
// is Side, the default (lowest) one Rear. Tuner (no devices) has Station,
// whose status holds a record (fields Id and Level) and another Id.
class QueriesTest : public CatalogTest {
protected:
    void SetUp() override {
        CatalogTest::SetUp();
        std::string station =
            Function("Station", "0x100", "class_unclassified_property", "Property", "PUnclassified",
                     Param("PU", "Entry", RecordType(), Op("PReportStatus", "1")) +
                         Param("PU", "Id", NumberType(), Op("PReportStatus", "2")));
        m_Result = Import(
            CatalogXml(FBlockXml("AmpRear", "0x22",
                                 DeviceXml("Side", "3") + DeviceXml("Rear", "1") +
                                     NumberProperty("Bass", "0x402")) +
                       FBlockXml("Amp", "0x22",
                                 DeviceXml("Front", "2") + NumberProperty("Volume", "0x400") +
                                     NumberProperty("Mute", "0x401")) +
                       FBlockXml("Tuner", "0x40", station) + FBlockXml("Solo", "0x50", "")));
        ASSERT_EQ(m_Result.status, 0u) << m_Result.log;
        ASSERT_EQ(Messages(m_Result.log), Names{}) << m_Result.log;
        m_Catalog = m_Result.catalog.get();
        m_Amp = FBlockById(*m_Catalog, 0x22);
        m_Tuner = FBlockById(*m_Catalog, 0x40);
        ASSERT_TRUE(m_Amp && m_Tuner);
    }
    YMTInstance* Inst(uint32_t id) const { return m_Amp->InstanceAt(id); }

    Imported m_Result;
    YMTCatalog* m_Catalog = nullptr;
    YMTFBlock* m_Amp = nullptr;
    YMTFBlock* m_Tuner = nullptr;
};

TEST_F(QueriesTest, NavigationByIdentifierAndName) {
    EXPECT_EQ(FBlockByName(*m_Catalog, "amprear"), m_Amp);
    EXPECT_EQ(FBlockByName(*m_Catalog, "Amp"), nullptr); // only the first element named it
    // The element names of the instances find the merged FBlock.
    EXPECT_EQ(FBlockByInstFBlockName(*m_Catalog, "AMP"), m_Amp);
    EXPECT_EQ(FBlockByInstFBlockName(*m_Catalog, "tuner"), m_Tuner);
    EXPECT_EQ(FBlockByInstFBlockName(*m_Catalog, "Rear"), nullptr);

    YMTFunction* volume = FunctionById(*Inst(2), 0x400);
    ASSERT_NE(volume, nullptr);
    EXPECT_EQ(FunctionById(*Inst(1), 0x400), nullptr); // the other element's instance
    EXPECT_EQ(FunctionById(*Inst(3), 0x402), FunctionById(*Inst(1), 0x402)); // shared
    YMTOperation* status = OperationByCode(*volume, 12);
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(OperationByCode(*volume, 16), nullptr);
    EXPECT_EQ(ParamAt(*status, 0), nullptr);
    EXPECT_EQ(FirstParam(*status), ParamAt(*status, 1));
    EXPECT_FALSE(FirstParamIsVoid(*status));
}

TEST_F(QueriesTest, InstanceSelectionWithFallbacks) {
    ASSERT_EQ(m_Amp->FirstInstance(), Inst(3));
    ASSERT_EQ(m_Amp->DefaultInstance(), Inst(1));
    // {instance, fallback, expected}: 0 takes the first instance without a
    // look-up, 1 falls back to the default, 2 to the first, 3 and any other
    // value to nothing.
    const struct {
        uint32_t instance, fallback, expected;
    } kCases[] = {{2, 0, 3}, {5, 0, 3}, {2, 1, 2},  {5, 1, 1},         {5, 2, 3},
                  {5, 3, 0}, {2, 3, 2}, {5, 99, 0}, {0xFFFFFFFF, 2, 3}};
    for (const auto& c : kCases)
        EXPECT_EQ(SelectInstance(*m_Amp, c.instance, c.fallback),
                  c.expected ? Inst(c.expected) : nullptr)
            << c.instance << "/" << c.fallback;
    EXPECT_EQ(SelectInstanceById(*m_Catalog, 0x23, 5, 1), nullptr);
    EXPECT_EQ(SelectInstanceByName(*m_Catalog, "AMPREAR", 2, 3), Inst(2));
    // An FBlock without Device elements has its one instance 0.
    EXPECT_EQ(SelectInstanceById(*m_Catalog, 0x40, 0, 3), m_Tuner->InstanceAt(0));
}

TEST_F(QueriesTest, ParameterSearchFallsBackToRecordFields) {
    YMTFunction* station = FunctionById(*m_Tuner->InstanceAt(0), 0x100);
    ASSERT_NE(station, nullptr);
    YMTOperation* status = OperationByCode(*station, 12);
    // A record field is found when no parameter of the operation has the
    // name; positions are searched in order, each parameter with its fields.
    YMTParam* level = FindParamByName(*status, "level", false);
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(level->SymID(), "Entry.Level");
    EXPECT_EQ(FindParamByName(*status, "level", true), nullptr);
    YMTParam* id = FindParamByName(*status, "Id", true);
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(id->Parent(), ParamAt(*status, 1));
}

// The plain name and identifier listings are exercised through the manager's
// queries; these two join or repeat entries.
TEST_F(QueriesTest, ListingsAppendToTheCallersList) {
    Pairs pairs;
    ListNameIdPairs(*Inst(2), pairs);
    ListNameIdPairs(*Inst(3), pairs); // the shared functions appear for every instance
    EXPECT_EQ(pairs, (Pairs{{"Volume", 0x400}, {"Mute", 0x401}, {"Bass", 0x402}}));
    pairs.clear();
    ListJoinedFBlockNames(*m_Catalog, pairs);
    EXPECT_EQ(pairs, (Pairs{{"Amp, AmpRear", 0x22}, {"Tuner", 0x40}, {"Solo", 0x50}}));
}

} // namespace
} // namespace mostfcat
