// The catalog root: its import steps and messages, the type and unit
// definitions, and the merge of FBlock elements that share an FBlockID.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "function_xml.h"
#include "support/test_support.h"
#include "tree/catalog.h"
#include "tree/fblock.h"

namespace mostfcat {
namespace {

using test::CatalogXml;
using test::DeviceXml;
using test::Imported;
using test::Joined;
using ::testing::Contains;
using Lines = std::vector<std::string>;

const std::string kAmp = test::FBlockXml(
    "Amp", "0x22", "<FBlockVersion><Release>1</Release><Date>2</Date></FBlockVersion>");

class CatalogImportTest : public test::CatalogTest {};

TEST_F(CatalogImportTest, CatalogVersionOnlyWithOptionBit2) {
    std::string noVersion =
        "<?xml version=\"1.0\"?>\n<FunctionCatalog><Definition/>" + kAmp + "</FunctionCatalog>\n";
    Imported r = Import(noVersion); // the default options neither read nor report it
    ASSERT_EQ(r.status, 0u);
    EXPECT_TRUE(Messages(r.log).empty()) << r.log;

    UseProfile("[MOSTImport]\nOptions=0x2\n");
    r = Import(noVersion);
    EXPECT_EQ(Joined(Messages(r.log)),
              (Lines{"Warning #0178 in '/': Can not find child element <CatalogVersion>"}));
    r = Import("<?xml version=\"1.0\"?>\n<FunctionCatalog><CatalogVersion/><Definition/>" + kAmp +
               "</FunctionCatalog>\n");
    EXPECT_EQ(Joined(Messages(r.log)),
              (Lines{"Warning #0179 in '/': Can not find child element <Release>",
                     "Warning #0180 in '/': Can not find child element <Date>"}));
    r = Import(CatalogXml(kAmp));
    EXPECT_EQ(r.catalog->Release + " " + r.catalog->Date, "1.0 2026-01-01");
}

TEST_F(CatalogImportTest, NoSurvivingFBlockIsFatal) {
    Imported r = Import(CatalogXml(""));
    EXPECT_EQ(r.status, 1u);
    EXPECT_FALSE(r.catalog);
    EXPECT_THAT(Messages(r.log), Contains("  Function catalog contains no valid function block"));

    r = Import(
        CatalogXml("<FBlock><FBlockID>1</FBlockID></FBlock>" + test::FBlockXml("B", "0x100", "")));
    EXPECT_EQ(r.status, 1u);
    EXPECT_FALSE(r.catalog);
    EXPECT_EQ(Joined(Messages(r.log)),
              (Lines{"Error #0139 in '//': Can not find child element <FBlockName>",
                     "Error #0149 in '/': Failed to import element <FBlock>",
                     "Error #0142 in '//B': Value '256' out of range [0, 256)",
                     "Error #0149 in '/': Failed to import element <FBlock>",
                     "Fatal error in '/': Function catalog contains no valid function block"}));
}

TEST_F(CatalogImportTest, FBlocksAreStoredAtTheirIdentifierOnlyAsSiblingsOfTheRoot) {
    Imported r = Import(CatalogXml(
        test::FBlockXml("Tuner", "0x40", "") +
        "<Group><FBlock><FBlockName>Hidden</FBlockName><FBlockID>5</FBlockID></FBlock></Group>" +
        kAmp));
    ASSERT_EQ(r.status, 0u);
    YMTCatalog& cat = *r.catalog;
    EXPECT_EQ(cat.GetCount(), 2u);
    EXPECT_EQ(cat.FBlockAt(0x22)->NameRef(), "Amp");
    EXPECT_EQ(cat.FBlockAt(5), nullptr);
    EXPECT_EQ(cat.FindChild("TUNER"), cat.FBlockAt(0x40));
    cat.SetName("Cat");
    EXPECT_EQ(test::Attrs(cat, "i0 i1 n2 s3 s100 s101 s111 s112 i113 i4 s5 n220"),
              "1|0|null|Cat|Cat|" + cat.FilePath + "|||0|-|-|-");
    std::string dump = DumpText(cat);
    EXPECT_EQ(dump.substr(0, dump.find("\t\tINSTANCE")),
              "CATALOG: Cat\n.AbsPath: " + cat.FilePath +
                  "\n.Parent: -\n.BytesInMsg: 1\n\tFBLOCK: Amp\n\t.FBlockID: 0x22\n"
                  "\t.FirstInstance:   /Cat/Amp/Inst00\n\t.DefaultInstance: /Cat/Amp/Inst00\n"
                  "\t.Parent: /Cat\n\t.BytesInMsg: 1\n");
}

// --- Definitions ------------------------------------------------------------

class DefinitionTest : public ::testing::Test {
protected:
    // Imports a "Definition" element into a definitions node below a catalog.
    bool ImportDefinitions(const std::string& body) {
        doc = std::make_unique<test::XmlDoc>("<Definition>" + body + "</Definition>");
        definition.SetParent(&catalog);
        return definition.ImportXML(doc->Root(), ctx, capture.Log());
    }
    const YMTDefType* Type(uint32_t i) {
        return static_cast<const YMTDefType*>(definition.Types.GetAt(i));
    }
    const YMTDefUnit* Unit(uint32_t i) {
        return static_cast<const YMTDefUnit*>(definition.Units.GetAt(i));
    }

    std::unique_ptr<test::XmlDoc> doc;
    YMTCatalog catalog;
    YMTDefinition definition;
    YImportContext ctx;
    test::LogCapture capture;
};

TEST_F(DefinitionTest, TypesAndUnits) {
    ASSERT_TRUE(ImportDefinitions(
        "<TypeDef TypeID=\"TYPE_Signed_Word\"><TDefName>Signed Word</TDefName>"
        "<TDefSize>2</TDefSize></TypeDef><TypeDef TypeID=\"type_float\"><TDefName>Float"
        "</TDefName><TDefSize>4</TDefSize></TypeDef><Group><TypeDef TypeID=\"type_unsigned_long\">"
        "<TDefName>UL</TDefName><TDefSize>8</TDefSize></TypeDef></Group>"
        "<UnitDef UnitID=\"unit_none\"><UnitDefName>Not DEFINED</UnitDefName>"
        "<UnitDefCode>0</UnitDefCode></UnitDef><UnitDef UnitID=\"unit long\"><UnitDefName>"
        "abcdefghijklmnopqrstuvwxyz1234</UnitDefName><UnitDefCode>0x12</UnitDefCode></UnitDef>"
        "<UnitDef UnitID=\"unit_pct\"><UnitDefName>%\t&#x7F;</UnitDefName>"
        "<UnitDefCode>0b101</UnitDefCode></UnitDef><UnitDef UnitID=\"***\"><UnitDefName>dB"
        "</UnitDefName><UnitDefCode>oops</UnitDefCode></UnitDef>"));
    // Size and code follow the type identifier, whatever TDefSize says;
    // nested definitions count too.
    std::string types;
    for (uint32_t i = 0; i < definition.Types.GetSize(); ++i)
        types += Type(i)->NameRef() + "=" + Type(i)->IDName() + "/" +
                 std::to_string(Type(i)->DefSize) + "/" + std::to_string(Type(i)->DefCode) + " ";
    EXPECT_EQ(types, "Signed_Word=TYPE_Signed_Word/2/11 Float=type_float/0/0 "
                     "UL=type_unsigned_long/4/12 ");
    EXPECT_EQ(definition.FindType("type_signed_word"), Type(0));
    // Unit names keep printable text cut to 20, "not defined" reads as empty;
    // an unreadable code is 0 without a message.
    std::string units;
    for (uint32_t i = 0; i < definition.Units.GetSize(); ++i)
        units += Unit(i)->NameRef() + "=" + Unit(i)->IDName() + "/" +
                 std::to_string(Unit(i)->DefCode) + " ";
    EXPECT_EQ(units, "=unit_none/0 abcdefghijklmnopqrst=unit_long/18 %=unit_pct/5 dB=/0 ");
    EXPECT_EQ(definition.FindUnit("UNIT_LONG"), Unit(1));
    EXPECT_EQ(capture.Text(), "");
}

TEST_F(DefinitionTest, MissingElementsAndAttributes) {
    ASSERT_TRUE(ImportDefinitions("<TypeDef TypeID=\"type_unsigned_byte\"/>"
                                  "<TypeDef><TDefName>NoId</TDefName></TypeDef>"
                                  "<UnitDef UnitID=\"unit_x\"/>"
                                  "<UnitDef><UnitDefName>NoId</UnitDefName></UnitDef>"));
    ASSERT_EQ(definition.Types.GetSize(), 1u);
    EXPECT_EQ(Type(0)->NameRef(), "_NA_");
    EXPECT_EQ(Type(0)->DefCode, 8u);
    ASSERT_EQ(definition.Units.GetSize(), 1u);
    EXPECT_EQ(capture.Text(), "Warning #0001 in '////':\n  Can not find element <TDefName>\n"
                              "Warning #0003 in '////_NA_':\n  Can not find element <TDefSize>\n"
                              "Error #0002 in '////NoId':\n  Missing required attribute TypeID\n"
                              "Error #0007 in '///':\n  Failed to import element <TypeDef>\n"
                              "Warning #0004 in '////':\n  Can not find element <UnitDefName>\n"
                              "Warning #0006 in '////':\n  Can not find element <UnitDefCode>\n"
                              "Error #0005 in '////NoId':\n  Missing required attribute UnitID\n"
                              "Error #0008 in '///':\n  Failed to import element <UnitDef>\n");
}

// --- Merging FBlock elements with the same FBlockID ---------------------------

std::string FBlock(const char* name, const std::string& devices,
                   const std::string& functions = "") {
    return test::FBlockXml(name, "0x22", devices + functions);
}

const std::string kVolume = test::PropertyXml("Volume", "0x400");

class MergeTest : public test::CatalogTest {};

TEST_F(MergeTest, InstancesOfBothElementsEndUpInOneFBlock) {
    Imported r =
        Import(CatalogXml(FBlock("Amp", DeviceXml("Front", "2")) +
                          FBlock("AmpRear", DeviceXml("Rear", "1") + DeviceXml("Dup", "2") +
                                                DeviceXml("Side", "3"))));
    ASSERT_EQ(r.status, 0u) << r.log;
    EXPECT_EQ(Joined(Messages(r.log)),
              (Lines{"Error #0219 in '/': FBlock Instance 02 already exists"}));
    ASSERT_EQ(r.catalog->GetCount(), 1u);
    YMTFBlock* amp = r.catalog->FBlockAt(0x22);
    EXPECT_EQ(amp->NameRef(), "Amp");
    ASSERT_EQ(amp->GetCount(), 3u);
    EXPECT_EQ(amp->InstanceAt(1)->DeviceName, "Rear");
    EXPECT_EQ(amp->InstanceAt(1)->PathName(), "//Amp/Inst01");
    EXPECT_EQ(amp->InstanceAt(2)->DeviceName, "Front"); // the first element keeps its own
    EXPECT_EQ(amp->FirstInstance(), amp->InstanceAt(2));
    EXPECT_EQ(amp->DefaultInstance(), amp->InstanceAt(1)); // lowest InstanceID after Check
    uint32_t mixed = 0;
    ASSERT_EQ(amp->GetAttrInt(222, &mixed), 0u);
    EXPECT_EQ(mixed, 1u);

    // Elements of the same name merge without a rename and are not mixed.
    r = Import(
        CatalogXml(FBlock("Amp", DeviceXml("Front", "1")) + FBlock("Amp", DeviceXml("Rear", "2"))));
    EXPECT_TRUE(Messages(r.log).empty()) << r.log;
    EXPECT_EQ(r.catalog->FBlockAt(0x22)->GetCount(), 2u);
    ASSERT_EQ(r.catalog->FBlockAt(0x22)->GetAttrInt(222, &mixed), 0u);
    EXPECT_EQ(mixed, 0u);
}

TEST_F(MergeTest, RejectedOwnerHandsItsFunctionsToTheFirstMovedInstance) {
    // The second element's first instance (1) owns the element's functions
    // and is rejected; Inst02 and Inst03 move and share them. The sanitizer
    // build checks that the catalog deletes the function exactly once.
    Imported r = Import(CatalogXml(
        FBlock("Amp", DeviceXml("Front", "1")) +
        FBlock("Amp", DeviceXml("Dup", "1") + DeviceXml("Rear", "2") + DeviceXml("Side", "3"),
               kVolume)));
    ASSERT_EQ(r.status, 0u) << r.log;
    YMTFBlock* amp = r.catalog->FBlockAt(0x22);
    ASSERT_EQ(amp->GetCount(), 3u);
    YMTInstance* rear = amp->InstanceAt(2);
    EXPECT_EQ(amp->InstanceAt(1)->GetCount(), 0u);
    YMTNode* volume = rear->GetAt(0x400);
    ASSERT_NE(volume, nullptr);
    EXPECT_EQ(amp->InstanceAt(3)->GetAt(0x400), volume);
    EXPECT_TRUE(rear->OwnsChildren());
    EXPECT_FALSE(amp->InstanceAt(3)->OwnsChildren());
    EXPECT_EQ(volume->PathName(), "//Amp/Inst02/Volume");
}

TEST_F(MergeTest, MovedOwnerKeepsItsFunctionsAndRejectedOnesTakeThemAlong) {
    Imported r =
        Import(CatalogXml(FBlock("Amp", DeviceXml("Front", "1")) +
                          FBlock("Amp", DeviceXml("Rear", "2") + DeviceXml("Dup", "1"), kVolume)));
    ASSERT_EQ(r.status, 0u) << r.log;
    YMTInstance* rear = r.catalog->FBlockAt(0x22)->InstanceAt(2);
    ASSERT_NE(rear->GetAt(0x400), nullptr);
    EXPECT_TRUE(rear->OwnsChildren());
    EXPECT_EQ(rear->GetAt(0x400)->Parent(), rear);
    EXPECT_EQ(r.catalog->FBlockAt(0x22)->InstanceAt(1)->GetAt(0x400), nullptr);

    // All instances rejected: the first element stays as it was.
    r = Import(
        CatalogXml(FBlock("Amp", DeviceXml("Front", "1") + DeviceXml("Rear", "2")) +
                   FBlock("Amp", DeviceXml("Rear2", "2") + DeviceXml("Front2", "1"), kVolume)));
    ASSERT_EQ(r.status, 0u) << r.log;
    EXPECT_EQ(Joined(Messages(r.log)),
              (Lines{"Error #0219 in '/': FBlock Instance 01 already exists",
                     "Error #0219 in '/': FBlock Instance 02 already exists"}));
    EXPECT_EQ(r.catalog->FBlockAt(0x22)->InstanceAt(2)->DeviceName, "Rear");
    EXPECT_EQ(r.catalog->FBlockAt(0x22)->InstanceAt(2)->GetAt(0x400), nullptr);
}

} // namespace
} // namespace mostfcat
