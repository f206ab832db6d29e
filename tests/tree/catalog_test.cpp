// The catalog root: its import steps and messages, the type and unit
// definitions, and the merge of FBlock elements that share an FBlockID.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "function_xml.h"

namespace mostfcat {
namespace {

using test::CatalogXml;
using test::Codes;
using test::DeviceXml;
using test::Imported;
using test::Joined;
using ::testing::Contains;
using Lines = std::vector<std::string>;

const std::string kAmp = test::FBlockXml(
    "Amp", "0x22", "<FBlockVersion><Release>1</Release><Date>2</Date></FBlockVersion>");

class CatalogImportTest : public test::CatalogTest {};

TEST_F(CatalogImportTest, CatalogVersionOnlyWithOptionBit2) {
    auto messages = [&](const std::string& version) {
        return Codes(Messages(Import("<?xml version=\"1.0\"?>\n<FunctionCatalog>" + version +
                                     "<Definition/>" + kAmp + "</FunctionCatalog>\n")
                                  .log));
    };
    EXPECT_EQ(messages(""), ""); // the default options neither read nor report it
    UseProfile("[MOSTImport]\nOptions=0x2\n");
    EXPECT_EQ(messages(""), "W0178 /");
    EXPECT_EQ(messages("<CatalogVersion/>"), "W0179 /; W0180 /");
    Imported r = Import(CatalogXml(kAmp));
    EXPECT_EQ(r.catalog->Release + " " + r.catalog->Date, "1.0 2026-01-01");
}

TEST_F(CatalogImportTest, NoSurvivingFBlockIsFatal) {
    Imported r = Import(
        CatalogXml("<FBlock><FBlockID>1</FBlockID></FBlock>" + test::FBlockXml("B", "0x100", "")));
    EXPECT_EQ(r.status, 1u);
    EXPECT_FALSE(r.catalog);
    EXPECT_EQ(Codes(Messages(r.log)), "E0139 //; E0149 /; E0142 //B; E0149 /; F /");
    EXPECT_THAT(Messages(r.log), Contains("  Function catalog contains no valid function block"));
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

TEST_F(DefinitionTest, TypesUnitsAndTheirMissingParts) {
    ASSERT_TRUE(ImportDefinitions(
        "<TypeDef TypeID=\"TYPE_Signed_Word\"><TDefName>Signed Word</TDefName>"
        "<TDefSize>8</TDefSize></TypeDef><Group><TypeDef TypeID=\"type_float\"><TDefName>F"
        "</TDefName><TDefSize>4</TDefSize></TypeDef></Group><TypeDef "
        "TypeID=\"type_unsigned_byte\"/>"
        "<TypeDef><TDefName>NoId</TDefName></TypeDef>"
        "<UnitDef UnitID=\"unit long\"><UnitDefName>%\t&#x7F;abcdefghijklmnopqrstuvwxyz"
        "</UnitDefName><UnitDefCode>0x12</UnitDefCode></UnitDef><UnitDef UnitID=\"***\">"
        "<UnitDefName>Not DEFINED</UnitDefName><UnitDefCode>oops</UnitDefCode></UnitDef>"
        "<UnitDef UnitID=\"unit_x\"/><UnitDef><UnitDefName>NoId</UnitDefName></UnitDef>"));
    auto text = [](const auto* d) {
        return d->NameRef() + "=" + d->IDName() + "/" + std::to_string(d->DefCode);
    };
    // Size and code follow the type identifier, whatever TDefSize says;
    // nested definitions count too.
    ASSERT_EQ(definition.Types.GetSize(), 3u);
    EXPECT_EQ(text(Type(0)) + " " + text(Type(1)) + " " + text(Type(2)),
              "Signed_Word=TYPE_Signed_Word/11 F=type_float/0 _NA_=type_unsigned_byte/8");
    EXPECT_EQ(Type(0)->DefSize + Type(1)->DefSize, 2u);
    EXPECT_EQ(definition.FindType("type_signed_word"), Type(0));
    // Unit names keep printable text cut to 20, "not defined" reads as empty;
    // an unreadable code is 0 without a message.
    ASSERT_EQ(definition.Units.GetSize(), 3u);
    EXPECT_EQ(text(Unit(0)) + " " + text(Unit(1)) + " " + text(Unit(2)),
              "%abcdefghijklmnopqrs=unit_long/18 =/0 =unit_x/0");
    EXPECT_EQ(definition.FindUnit("UNIT_LONG"), Unit(0));
    EXPECT_EQ(test::Codes(capture.Lines()), "W0001 ////; W0003 ////_NA_; E0002 ////NoId; "
                                            "E0007 ///; W0004 ////; W0006 ////; E0005 ////NoId; "
                                            "E0008 ///");
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
    EXPECT_EQ(test::Attrs(*amp, "i222"), "1");             // mixed names

    // Elements of the same name merge without a rename and are not mixed.
    r = Import(
        CatalogXml(FBlock("Amp", DeviceXml("Front", "1")) + FBlock("Amp", DeviceXml("Rear", "2"))));
    EXPECT_TRUE(Messages(r.log).empty()) << r.log;
    EXPECT_EQ(r.catalog->FBlockAt(0x22)->GetCount(), 2u);
    EXPECT_EQ(test::Attrs(*r.catalog->FBlockAt(0x22), "i222"), "0");
}

TEST_F(MergeTest, FunctionsStayWithTheirOwnerOrGoToTheFirstMovedInstance) {
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

    // A moved owner keeps its functions; the rejected instance takes none.
    r = Import(CatalogXml(FBlock("Amp", DeviceXml("Front", "1")) +
                          FBlock("Amp", DeviceXml("Rear", "2") + DeviceXml("Dup", "1"), kVolume)));
    ASSERT_EQ(r.status, 0u) << r.log;
    rear = r.catalog->FBlockAt(0x22)->InstanceAt(2);
    ASSERT_NE(rear->GetAt(0x400), nullptr);
    EXPECT_TRUE(rear->OwnsChildren() && rear->GetAt(0x400)->Parent() == rear);
    EXPECT_EQ(r.catalog->FBlockAt(0x22)->InstanceAt(1)->GetAt(0x400), nullptr);

    // All instances rejected: the first element stays as it was.
    r = Import(
        CatalogXml(FBlock("Amp", DeviceXml("Front", "1") + DeviceXml("Rear", "2")) +
                   FBlock("Amp", DeviceXml("Rear2", "2") + DeviceXml("Front2", "1"), kVolume)));
    ASSERT_EQ(r.status, 0u) << r.log;
    EXPECT_EQ(Codes(Messages(r.log)), "E0219 /; E0219 /");
    EXPECT_EQ(r.catalog->FBlockAt(0x22)->InstanceAt(2)->DeviceName, "Rear");
    EXPECT_EQ(r.catalog->FBlockAt(0x22)->InstanceAt(2)->GetAt(0x400), nullptr);
}

} // namespace
} // namespace mostfcat
