// The catalog root: its import steps and messages, the type and unit
// definitions, and the merge of FBlock elements that share an FBlockID.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/test_support.h"
#include "tree/catalog.h"
#include "tree/fblock.h"

namespace mostfcat {
namespace {

// Reaches the fixture's dump helper from tests without the fixture.
struct Dumper : test::CatalogTest {
    using CatalogTest::DumpText;
};

using ::testing::Contains;
using test::CatalogXml;
using test::Imported;
using Lines = std::vector<std::string>;

const char kAmp[] = "<FBlock><FBlockName>Amp</FBlockName><FBlockID>0x22</FBlockID>"
                    "<FBlockDescription>Amplifier</FBlockDescription>"
                    "<FBlockVersion><Release>1</Release><Date>2</Date></FBlockVersion></FBlock>";

class CatalogImportTest : public test::CatalogTest {};

TEST_F(CatalogImportTest, RootAttributesAndDump) {
    UseProfile("[MOSTImport]\nOptions=0x3\n");
    Imported r = Import(CatalogXml(
        "<FBlock><FBlockName>Amp</FBlockName><FBlockID>0x22</FBlockID>"
        "<FBlockDescription>Amplifier</FBlockDescription>"
        "<FBlockVersion><Release>2.1</Release><Date>2025-05-05</Date></FBlockVersion></FBlock>"));
    ASSERT_EQ(r.status, 0u) << r.log;
    EXPECT_TRUE(Messages(r.log).empty()) << r.log;
    YMTCatalog& cat = *r.catalog;
    EXPECT_EQ(cat.Release, "1.0");
    EXPECT_EQ(cat.Date, "2026-01-01");
    EXPECT_EQ(cat.BytesInMsg(), 1u);
    EXPECT_FALSE(cat.CopyFrom(&cat));

    cat.SetName("Cat");
    uint32_t value = 99;
    const char* text = nullptr;
    YMTNode* node = &cat;
    const std::pair<uint32_t, uint32_t> ints[] = {{0, 1}, {113, 0}, {1, 0}};
    for (auto [attr, expected] : ints) {
        ASSERT_EQ(cat.GetAttrInt(attr, &value), 0u) << attr;
        EXPECT_EQ(value, expected) << attr;
    }
    const std::pair<uint32_t, std::string> texts[] = {
        {3, "Cat"}, {100, "Cat"}, {101, cat.FilePath}, {111, "1.0"}, {112, "2026-01-01"}};
    for (const auto& [attr, expected] : texts) {
        ASSERT_EQ(cat.GetAttrStr(attr, &text), 0u) << attr;
        EXPECT_EQ(text, expected) << attr;
    }
    EXPECT_EQ(cat.GetAttrInt(4, &value), 1u);
    EXPECT_EQ(cat.GetAttrStr(5, &text), 1u);
    ASSERT_EQ(cat.GetAttrNode(2, &node), 0u);
    EXPECT_EQ(node, nullptr);
    EXPECT_EQ(cat.GetAttrNode(220, &node), 1u);

    YMTNode* const* items = nullptr;
    uint32_t count = 0;
    ASSERT_EQ(cat.GetSubItemList(kItemFBlock, &items, &count), 0u);
    EXPECT_EQ(count, 0x23u);
    EXPECT_EQ(items[0x22], cat.FBlockAt(0x22));
    EXPECT_EQ(cat.GetSubItemList(kItemInstance, &items, &count), 1u);

    EXPECT_EQ(DumpText(cat), "CATALOG: Cat\n"
                             ".AbsPath: " + cat.FilePath + "\n"
                             ".Parent: -\n"
                             ".BytesInMsg: 1\n"
                             "\tFBLOCK: Amp\n"
                             "\t.FBlockID: 0x22\n"
                             "\t.FirstInstance:   /Cat/Amp/Inst00\n"
                             "\t.DefaultInstance: /Cat/Amp/Inst00\n"
                             "\t.Parent: /Cat\n"
                             "\t.BytesInMsg: 1\n"
                             "\t\tINSTANCE: Inst00\n"
                             "\t\t.InstID: 0x00\n"
                             "\t\t.DeviceName: \n"
                             "\t\t.DeviceVersionRelease: \n"
                             "\t\t.DeviceVersionDate: \n"
                             "\t\t.InstFBlockName: Amp\n"
                             "\t\t.Parent: /Cat/Amp\n"
                             "\t\t.BytesInMsg: 2\n");
}

TEST_F(CatalogImportTest, CatalogVersionOnlyWithOptionBit2) {
    // The default options (0x50005) do not read versions: no warning either.
    std::string noVersion = "<?xml version=\"1.0\"?>\n<FunctionCatalog><Definition/>" +
                            std::string(kAmp) + "</FunctionCatalog>\n";
    Imported r = Import(noVersion);
    ASSERT_EQ(r.status, 0u);
    EXPECT_TRUE(Messages(r.log).empty()) << r.log;
    r = Import(CatalogXml(kAmp));
    EXPECT_EQ(r.catalog->Release, "");
    EXPECT_EQ(r.catalog->Date, "");

    UseProfile("[MOSTImport]\nOptions=0x2\n");
    r = Import(noVersion);
    ASSERT_EQ(r.status, 0u);
    EXPECT_EQ(Messages(r.log), (Lines{"Warning #0178 in '/':",
                                      "  Can not find child element <CatalogVersion>"}));
    r = Import("<?xml version=\"1.0\"?>\n<FunctionCatalog><CatalogVersion/><Definition/>" +
               std::string(kAmp) + "</FunctionCatalog>\n");
    ASSERT_EQ(r.status, 0u);
    EXPECT_EQ(Messages(r.log),
              (Lines{"Warning #0179 in '/':", "  Can not find child element <Release>",
                     "Warning #0180 in '/':", "  Can not find child element <Date>"}));
}

TEST_F(CatalogImportTest, NoSurvivingFBlockIsFatal) {
    Imported r = Import(CatalogXml(""));
    EXPECT_EQ(r.status, 1u);
    EXPECT_FALSE(r.catalog);
    EXPECT_THAT(Messages(r.log), Contains("  Function catalog contains no valid function block"));

    r = Import(CatalogXml("<FBlock><FBlockID>1</FBlockID></FBlock>"
                          "<FBlock><FBlockName>B</FBlockName><FBlockID>0x100</FBlockID></FBlock>"));
    EXPECT_EQ(r.status, 1u);
    EXPECT_FALSE(r.catalog);
    EXPECT_EQ(Messages(r.log),
              (Lines{"Error #0139 in '//':", "  Can not find child element <FBlockName>",
                     "Error #0149 in '/':", "  Failed to import element <FBlock>",
                     "Error #0142 in '//B':", "  Value '256' out of range [0, 256)",
                     "Error #0149 in '/':", "  Failed to import element <FBlock>",
                     "Fatal error in '/':", "  Function catalog contains no valid function block"}));
}

TEST_F(CatalogImportTest, FBlocksAreStoredAtTheirIdentifierOnlyAsSiblingsOfTheRoot) {
    Imported r = Import(CatalogXml(
        "<FBlock><FBlockName>Tuner</FBlockName><FBlockID>0x40</FBlockID>"
        "<FBlockDescription/></FBlock>"
        "<Group><FBlock><FBlockName>Hidden</FBlockName><FBlockID>5</FBlockID></FBlock></Group>" +
        std::string(kAmp)));
    ASSERT_EQ(r.status, 0u);
    EXPECT_EQ(r.catalog->GetCount(), 2u);
    ASSERT_NE(r.catalog->FBlockAt(0x40), nullptr);
    EXPECT_EQ(r.catalog->FBlockAt(0x40)->NameRef(), "Tuner");
    EXPECT_EQ(r.catalog->FBlockAt(0x22)->NameRef(), "Amp");
    EXPECT_EQ(r.catalog->FBlockAt(5), nullptr);
    EXPECT_EQ(r.catalog->FindChild("TUNER"), r.catalog->FBlockAt(0x40));
}

// --- Definitions ------------------------------------------------------------

class DefinitionTest : public ::testing::Test {
protected:
    // Imports the definitions of a "Definition" element into a free-standing
    // definitions node below a catalog.
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

TEST_F(DefinitionTest, TypeSizesAndCodesFollowTheTypeIdentifier) {
    ASSERT_TRUE(ImportDefinitions(
        "<TypeDef TypeID=\"TYPE_Signed_Word\"><TDefName>Signed Word</TDefName>"
        "<TDefSize>2</TDefSize></TypeDef>"
        "<TypeDef TypeID=\"type_float\"><TDefName>Float</TDefName><TDefSize>4</TDefSize>"
        "</TypeDef>"
        "<Group><TypeDef TypeID=\"type_unsigned_long\"><TDefName>UL</TDefName>"
        "<TDefSize>8</TDefSize></TypeDef></Group>" +
        test::StandardDefinitions()));
    EXPECT_EQ(definition.Types.GetSize(), 9u); // in document order, nested ones too
    EXPECT_EQ(Type(0)->NameRef(), "Signed_Word");
    EXPECT_EQ(Type(0)->IDName(), "TYPE_Signed_Word");
    EXPECT_EQ(Type(0)->DefSize, 2u);
    EXPECT_EQ(Type(0)->DefCode, 11u);
    EXPECT_EQ(Type(1)->DefSize, 0u); // unknown: whatever TDefSize says
    EXPECT_EQ(Type(1)->DefCode, 0u);
    EXPECT_EQ(Type(2)->DefSize, 4u);
    EXPECT_EQ(Type(2)->DefCode, 12u);
    const uint16_t sizes[] = {1, 1, 2, 2, 4, 4};
    for (uint32_t i = 0; i < 6; ++i) {
        EXPECT_EQ(Type(3 + i)->DefSize, sizes[i]) << i;
        EXPECT_EQ(Type(3 + i)->DefCode, 8u + i) << i;
    }
    EXPECT_EQ(definition.FindType("type_signed_word"), Type(0));
    EXPECT_EQ(definition.FindType("TYPE_UNSIGNED_BYTE"), Type(3));
    EXPECT_EQ(definition.FindType("type_none"), nullptr);
    EXPECT_EQ(definition.Types.Parent(), &definition);
    EXPECT_EQ(Type(0)->Parent(), &definition.Types);
    EXPECT_EQ(Type(0)->Clone(), nullptr);
    EXPECT_EQ(capture.Text(), "");
}

TEST_F(DefinitionTest, UnitNamesKeepPrintableTextCutTo20) {
    ASSERT_TRUE(ImportDefinitions(
        "<UnitDef UnitID=\"unit_none\"><UnitDefName>Not DEFINED</UnitDefName>"
        "<UnitDefCode>0</UnitDefCode></UnitDef>"
        "<UnitDef UnitID=\"unit long\"><UnitDefName>abcdefghijklmnopqrstuvwxyz1234</UnitDefName>"
        "<UnitDefCode>0x12</UnitDefCode></UnitDef>"
        "<UnitDef UnitID=\"unit_pct\"><UnitDefName>%\t&#x7F;</UnitDefName>"
        "<UnitDefCode>0b101</UnitDefCode></UnitDef>"
        "<UnitDef UnitID=\"***\"><UnitDefName>dB</UnitDefName><UnitDefCode>oops</UnitDefCode>"
        "</UnitDef>"));
    ASSERT_EQ(definition.Units.GetSize(), 4u);
    EXPECT_EQ(Unit(0)->NameRef(), "");
    EXPECT_EQ(Unit(0)->DefCode, 0u);
    EXPECT_EQ(Unit(1)->NameRef(), "abcdefghijklmnopqrst");
    EXPECT_EQ(Unit(1)->IDName(), "unit_long");
    EXPECT_EQ(Unit(1)->DefCode, 0x12u);
    EXPECT_EQ(Unit(2)->NameRef(), "%");
    EXPECT_EQ(Unit(2)->DefCode, 5u);
    EXPECT_EQ(Unit(3)->IDName(), ""); // an empty identifier stays empty
    EXPECT_EQ(Unit(3)->DefCode, 0u);  // unreadable: 0 without a message
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
    EXPECT_EQ(Unit(0)->NameRef(), "");
    EXPECT_EQ(capture.Text(), "Warning #0001 in '////':\n  Can not find element <TDefName>\n"
                              "Warning #0003 in '////_NA_':\n  Can not find element <TDefSize>\n"
                              "Error #0002 in '////NoId':\n  Missing required attribute TypeID\n"
                              "Error #0007 in '///':\n  Failed to import element <TypeDef>\n"
                              "Warning #0004 in '////':\n  Can not find element <UnitDefName>\n"
                              "Warning #0006 in '////':\n  Can not find element <UnitDefCode>\n"
                              "Error #0005 in '////NoId':\n  Missing required attribute UnitID\n"
                              "Error #0008 in '///':\n  Failed to import element <UnitDef>\n");
}

TEST_F(DefinitionTest, DumpOfTheDefinitions) {
    ASSERT_TRUE(ImportDefinitions("<TypeDef TypeID=\"type_signed_long\"><TDefName>SL</TDefName>"
                                  "<TDefSize>4</TDefSize></TypeDef>"
                                  "<UnitDef UnitID=\"unit_hz\"><UnitDefName>Hz</UnitDefName>"
                                  "<UnitDefCode>4</UnitDefCode></UnitDef>"));
    EXPECT_EQ(Dumper::DumpText(definition), "\tDEFINITION: \n"
                                                      "\t\tDEFLISTTYPE: \n"
                                                      "\t\t\tDEFTYPE: SL\n"
                                                      "\t\t\t.IDName: type_signed_long\n"
                                                      "\t\t\t.DefCode: 13\n"
                                                      "\t\t\t.DefSize: 4 Bytes\n"
                                                      "\t\tDEFLISTUNIT: \n"
                                                      "\t\t\tDEFUNIT: Hz\n"
                                                      "\t\t\t.DefCode: 4\n");
}

// --- Merging FBlock elements with the same FBlockID ---------------------------

std::string Device(const char* name, int id) {
    return "<Device><DeviceName>" + std::string(name) + "</DeviceName><InstanceID>" +
           std::to_string(id) + "</InstanceID></Device>";
}

std::string FBlock(const char* name, const std::string& devices,
                   const std::string& functions = "") {
    return "<FBlock><FBlockName>" + std::string(name) +
           "</FBlockName><FBlockID>0x22</FBlockID><FBlockDescription>d</FBlockDescription>" +
           devices + functions + "</FBlock>";
}

const char kVolume[] = "<Function><FunctionName>Volume</FunctionName><FunctionID>0x400</FunctionID>"
                       "<FunctionDescription>v</FunctionDescription>"
                       "<FunctionClass><Property/></FunctionClass></Function>";

class MergeTest : public test::CatalogTest {};

TEST_F(MergeTest, InstancesOfBothElementsEndUpInOneFBlock) {
    Imported r = Import(CatalogXml(FBlock("Amp", Device("Front", 2)) +
                                   FBlock("AmpRear", Device("Rear", 1) + Device("Dup", 2) +
                                                         Device("Side", 3))));
    ASSERT_EQ(r.status, 0u) << r.log;
    EXPECT_EQ(Messages(r.log), (Lines{"Error #0219 in '/':", "  FBlock Instance 02 already exists"}));
    EXPECT_EQ(r.catalog->GetCount(), 1u);
    YMTFBlock* amp = r.catalog->FBlockAt(0x22);
    ASSERT_NE(amp, nullptr);
    EXPECT_EQ(amp->NameRef(), "Amp");
    EXPECT_EQ(amp->GetCount(), 3u);
    ASSERT_NE(amp->InstanceAt(1), nullptr);
    EXPECT_EQ(amp->InstanceAt(1)->DeviceName, "Rear");
    EXPECT_EQ(amp->InstanceAt(1)->InstFBlockName, "AmpRear");
    EXPECT_EQ(amp->InstanceAt(1)->Parent(), amp);
    EXPECT_EQ(amp->InstanceAt(1)->PathName(), "//Amp/Inst01");
    EXPECT_EQ(amp->InstanceAt(2)->DeviceName, "Front"); // the first element keeps its own
    EXPECT_EQ(amp->InstanceAt(2)->InstFBlockName, "Amp");
    EXPECT_EQ(amp->InstanceAt(3)->DeviceName, "Side");
    EXPECT_EQ(amp->FirstInstance(), amp->InstanceAt(2));
    EXPECT_EQ(amp->DefaultInstance(), amp->InstanceAt(1)); // lowest InstanceID after Check
    uint32_t mixed = 0;
    ASSERT_EQ(amp->GetAttrInt(222, &mixed), 0u);
    EXPECT_EQ(mixed, 1u);

    // Elements of the same name merge without a rename and are not mixed.
    r = Import(CatalogXml(FBlock("Amp", Device("Front", 1)) + FBlock("Amp", Device("Rear", 2))));
    ASSERT_EQ(r.status, 0u);
    EXPECT_TRUE(Messages(r.log).empty()) << r.log;
    EXPECT_EQ(r.catalog->FBlockAt(0x22)->GetCount(), 2u);
    ASSERT_EQ(r.catalog->FBlockAt(0x22)->GetAttrInt(222, &mixed), 0u);
    EXPECT_EQ(mixed, 0u);
}

TEST_F(MergeTest, RejectedOwnerHandsItsFunctionsToTheFirstMovedInstance) {
    // The second element's first instance (InstanceID 1) owns the element's
    // functions and is rejected; Inst02 and Inst03 move and share them.
    Imported r = Import(CatalogXml(
        FBlock("Amp", Device("Front", 1)) +
        FBlock("Amp", Device("Dup", 1) + Device("Rear", 2) + Device("Side", 3), kVolume)));
    ASSERT_EQ(r.status, 0u) << r.log;
    EXPECT_THAT(Messages(r.log), Contains("  FBlock Instance 01 already exists"));
    YMTFBlock* amp = r.catalog->FBlockAt(0x22);
    ASSERT_EQ(amp->GetCount(), 3u);
    YMTInstance* front = amp->InstanceAt(1);
    YMTInstance* rear = amp->InstanceAt(2);
    YMTInstance* side = amp->InstanceAt(3);
    EXPECT_EQ(front->DeviceName, "Front");
    EXPECT_EQ(front->GetCount(), 0u);
    YMTNode* volume = rear->GetAt(0x400);
    ASSERT_NE(volume, nullptr);
    EXPECT_EQ(side->GetAt(0x400), volume);
    EXPECT_TRUE(rear->OwnsChildren());
    EXPECT_FALSE(side->OwnsChildren());
    EXPECT_EQ(volume->Parent(), rear);
    EXPECT_EQ(volume->PathName(), "//Amp/Inst02/Volume");
    // The catalog's deletion must delete the function exactly once (the
    // sanitizer build checks it).
    r.catalog.reset();
}

TEST_F(MergeTest, MovedOwnerKeepsItsFunctions) {
    Imported r = Import(CatalogXml(
        FBlock("Amp", Device("Front", 1)) +
        FBlock("Amp", Device("Rear", 2) + Device("Dup", 1), kVolume)));
    ASSERT_EQ(r.status, 0u) << r.log;
    YMTFBlock* amp = r.catalog->FBlockAt(0x22);
    YMTInstance* rear = amp->InstanceAt(2);
    ASSERT_NE(rear, nullptr);
    ASSERT_NE(rear->GetAt(0x400), nullptr);
    EXPECT_TRUE(rear->OwnsChildren());
    EXPECT_EQ(rear->GetAt(0x400)->Parent(), rear);
    EXPECT_EQ(amp->InstanceAt(1)->DeviceName, "Front");
    EXPECT_EQ(amp->InstanceAt(1)->GetAt(0x400), nullptr);
}

TEST_F(MergeTest, AllInstancesRejectedLeavesTheFirstElementAlone) {
    Imported r = Import(CatalogXml(FBlock("Amp", Device("Front", 1) + Device("Rear", 2)) +
                                   FBlock("Amp", Device("Rear2", 2) + Device("Front2", 1), kVolume)));
    ASSERT_EQ(r.status, 0u) << r.log;
    EXPECT_THAT(Messages(r.log), Contains("  FBlock Instance 01 already exists"));
    EXPECT_THAT(Messages(r.log), Contains("  FBlock Instance 02 already exists"));
    YMTFBlock* amp = r.catalog->FBlockAt(0x22);
    EXPECT_EQ(amp->InstanceAt(1)->DeviceName, "Front");
    EXPECT_EQ(amp->InstanceAt(2)->DeviceName, "Rear");
    EXPECT_EQ(amp->InstanceAt(2)->GetAt(0x400), nullptr);
}

} // namespace
} // namespace mostfcat
