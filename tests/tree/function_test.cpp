// Functions: identifier and name repairs, function class, notification,
// ClassSub, the simple-status flag, parameter failures and templates.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>

#include "function_xml.h"

namespace mostfcat {
namespace {

using namespace test;
using Lines = std::vector<std::string>;
using ::testing::IsSupersetOf;

// Function "F<id>" with one 1-byte parameter: a number property (in Status)
// or a trigger method (in Start).
std::string Simple(const std::string& id, const std::string& ref, bool method = false,
                   const std::string& kindAttrs = "") {
    return Function(
        "F" + id, id, ref, method ? "Method" : "Property", method ? "MTrigger" : "PNumber",
        Param(method ? "MT" : "PN", "V", NumberType(), Op(method ? "MCmdStart" : "PReportStatus")),
        "", kindAttrs);
}

class FunctionTest : public FunctionImportTest {};

TEST_F(FunctionTest, IdentifierAndStructureErrorsDropTheFunction) {
    Imported r = Run(NumberProperty("Big", "0x1000") + NumberProperty("Bad", "0x1G") +
                     "<Function><FunctionID>1</FunctionID></Function>"
                     "<Function><FunctionName>NoId</FunctionName></Function>" +
                     NumberProperty("Volume", "0x400") + NumberProperty("Other", "0x400") +
                     "<Function><FunctionName>NoClass</FunctionName><FunctionID>2</FunctionID>"
                     "<FunctionDescription>d</FunctionDescription></Function>"
                     "<Function><FunctionName>NoKind</FunctionName><FunctionID>3</FunctionID>"
                     "<FunctionDescription>d</FunctionDescription><FunctionClass/></Function>" +
                     NumberProperty("Max", "4095"));
    // Each rejected element: its own message, then 145 for the FBlock.
    EXPECT_EQ(Codes(Messages(r.log)),
              "E0114 //Amp/Inst00/Big; E0145 //Amp; E0113 //Amp/Inst00/Bad; E0145 //Amp; "
              "E0111 //Amp/Inst00/; E0145 //Amp; E0112 //Amp/Inst00/NoId; E0145 //Amp; "
              "E0115 //Amp/Inst00/Other; E0145 //Amp; E0117 //Amp/Inst00/NoClass; E0145 //Amp; "
              "E0124 //Amp/Inst00/NoKind; E0145 //Amp");
    EXPECT_THAT(
        Joined(Messages(r.log)),
        IsSupersetOf({"Error #0114 in '//Amp/Inst00/Big': Value '4096' out of range [0, 4096)",
                      "Error #0145 in '//Amp': Failed to import element <Function>"}));
    EXPECT_EQ(r.catalog->FBlockAt(0x22)->InstanceAt(0)->GetCount(), 2u);
    EXPECT_EQ(Fn(r, 0x400)->NameRef(), "Volume");
    EXPECT_EQ(Fn(r, 4095)->NameRef(), "Max");
}

TEST_F(FunctionTest, NameClashesAndLeadingDigitsAreRepaired) {
    Imported r = Run(NumberProperty("Volume", "0x400") + NumberProperty("Volume", "0x401") +
                     NumberProperty("Volume_403", "0x10") + NumberProperty("VOLUME", "0x403") +
                     NumberProperty("3D Mode", "0x20"));
    EXPECT_EQ(Codes(Messages(r.log)),
              "W0116 //Amp/Inst00/Volume; W0116 //Amp/Inst00/VOLUME; W0220 //Amp/Inst00/_3D_Mode");
    EXPECT_EQ(
        Joined(Messages(r.log))[1],
        "Warning #0116 in '//Amp/Inst00/VOLUME': Double definition of function name 'VOLUME'. "
        "Function (0x403) will be renamed to 'VOLUME_403_1'.");
    EXPECT_EQ(Fn(r, 0x401)->NameRef(), "Volume_401");
    EXPECT_EQ(Fn(r, 0x403)->NameRef(), "VOLUME_403_1");
    EXPECT_EQ(Fn(r, 0x20)->NameRef(), "_3D_Mode");
    // A warning sets the warnings flag; the operations follow the new name.
    EXPECT_EQ(Fn(r, 0x400)->Flags, kFunctionSimpleStatus);
    EXPECT_EQ(Fn(r, 0x401)->Flags, kFunctionSimpleStatus | kFunctionWarnings);
    EXPECT_EQ(Fn(r, 0x401)->OperationAt(12)->PathName(), "//Amp/Inst00/Volume_401/Status");
    EXPECT_EQ(Attrs(*Fn(r, 0x401), "i0 i1 n2 s3 s300 i4 i301 i302 i303 i304 s5 s310 s311 i350 "
                                   "i351 s200 i305 s201"),
              "4|3|//Amp/Inst00|Volume_401|Volume_401|1025|1025|1|18|0|d|d||0|6|Amp|-|-");
    EXPECT_NE(DumpText(*Fn(r, 0x401))
                  .find("\t\t\tFUNCTION: Volume_401\n\t\t\t.FunctionID: 0x401\n"
                        "\t\t\t.Type: 1  Class: 18  ClassSub: 0  Notification: 0  Flags: 0006\n"),
              std::string::npos);
}

TEST_F(FunctionTest, ClassNotificationClassSubAndSimpleStatus) {
    // A Notification child overrides the attribute; methods never notify.
    auto notify = [](std::string f, const char* child) {
        f.insert(f.rfind("</Function>"), std::string("<Notification>") + child + "</Notification>");
        return f;
    };
    auto prop = [](const char* id, const char* ref, const char* cls, const std::string& params) {
        return Function(std::string("F") + id, id, ref, "Property", cls, params);
    };
    auto both = [](const char* name, const std::string& type, const char* pos) {
        return Param("PU", name, type, Op("PCmdSet", pos) + Op("PReportStatus", pos));
    };
    const char* on = " Notification=\"true\"";
    Imported r = Run(notify(Simple("1", "CLASS_NUMBER", false, on), "false") +
                     notify(Simple("2", "class_nothing", true, on), "true") +
                     notify(Simple("3", "class_map", false, " Notification=\"false\""), "true") +
                     Simple("4", "") +
                     prop("5", "class_enumeration", "PEnum",
                          Param("PE", "S", EnumType(300), Op("PReportStatus"))) +
                     // The first array in position order decides, even after a number.
                     prop("6", "class_array", "PArray",
                          Param("PA", "N", NumberType(), Op("PReportStatus")) +
                              Param("PA", "A", ArrayType(RecordType()), Op("PReportStatus", "2"))) +
                     // Simple status: a simple class and only simple values in Status.
                     prop("7", "class_unclassified_property", "PUnclassified",
                          both("N", NumberType(), "1") + both("T", kStringType, "2")) +
                     prop("8", "class_unclassified_property", "PUnclassified",
                          both("N", NumberType(), "1") + both("R", RecordType(), "2")) +
                     prop("9", "class_array", "PUnclassified", both("N", NumberType(), "1")));
    EXPECT_EQ(Joined(Messages(r.log)),
              Lines{"Warning #0119 in '//Amp/Inst00/F2': Unknown function class 'class_nothing' "
                    "will be interpreted as 'Unclassified Property/Method'"});
    const std::array<int, 3> kClass[] = {{1, 18, 0}, {2, 0, 0}, {3, 29, 1}, {4, 255, 0}};
    for (auto [id, cls, notifies] : kClass) {
        EXPECT_EQ(Fn(r, id)->Class, cls) << id;
        EXPECT_EQ(Fn(r, id)->Notification, notifies == 1) << id;
    }
    const std::array<int, 3> kSubAndFlags[] = {
        {5, 1, 2}, {6, 12, 0}, {7, 255, 2}, {8, 255, 0}, {9, 255, 0}};
    for (auto [id, sub, flags] : kSubAndFlags) {
        EXPECT_EQ(Fn(r, id)->ClassSub, sub) << id;
        EXPECT_EQ(Fn(r, id)->Flags, uint32_t(flags)) << id;
    }
}

TEST_F(FunctionTest, ParameterFailures) {
    std::string good = Param("PN", "Level", NumberType(), Op("PCmdSet") + Op("PReportStatus"));
    Imported r = Run(
        // A failing plain error parameter empties every operation.
        Function("Dropped", "1", "class_number", "Property", "PNumber",
                 good + Param("ER", "Code", "<TUnknown/>", Op("PReportError"))) +
        // Any other failing parameter is dropped alone.
        Function("Partial", "2", "class_number", "Property", "PNumber",
                 Param("PN", "NoBasis", "<TNumber><Unit UnitRef=\"unit_none\"/></TNumber>",
                       Op("PCmdGet")) +
                     good) +
        Function("Empty", "3", "class_number", "Property", "PNothing", ""));
    EXPECT_EQ(Codes(Messages(r.log)),
              "W0128 //Amp/Inst00/Dropped; W0138 //Amp/Inst00/Dropped; "
              "W0067 //Amp/Inst00/Partial/NoBasis; E0071 //Amp/Inst00/Partial/NoBasis; "
              "E0129 //Amp/Inst00/Partial; E0150 //Amp/Inst00/Empty; W0138 //Amp/Inst00/Empty; "
              "W0123 //Amp/Inst00/Empty");
    EXPECT_THAT(Joined(Messages(r.log)),
                ::testing::Contains("Warning #0138 in '//Amp/Inst00/Dropped': Too many errors "
                                    "while importing parameters. Removing all parameters from the "
                                    "function's operations."));
    EXPECT_EQ(Layout(Fn(r, 1)), "Set:; Status:"); // the operations stay, empty
    EXPECT_EQ(Fn(r, 1)->Flags, kFunctionErrors | kFunctionWarnings);
    EXPECT_EQ(Fn(r, 1)->ClassSub, 255);
    EXPECT_EQ(Layout(Fn(r, 2)), "Set: Level@1; Status: Level@1");
    EXPECT_EQ(Fn(r, 2)->Flags, kFunctionErrors | kFunctionWarnings | kFunctionSimpleStatus);
    // ClassSub is derived before the import flags are set: only dropping
    // all parameters stops it.
    EXPECT_EQ(Fn(r, 2)->ClassSub, 0);
    EXPECT_EQ(Fn(r, 3)->Flags, kFunctionErrors | kFunctionWarnings);
}

TEST_F(FunctionTest, FunctionTemplatesByReference) {
    std::string origin =
        FBlockXml("Origin", "0x50",
                  NumberProperty("Level", "0x200", " FktDefId=\"Shared Level\"") +
                      // The first registration of a name wins.
                      NumberProperty("Other", "0x201", " FktDefId=\"Shared_Level\"") +
                      // A referencing element registers nothing.
                      "<Function FktDefRef=\"Shared Level\" FktDefId=\"Again\"/>");
    // This element's only instance is rejected in the merge and its function
    // deleted with it; the template taken from it stays usable and carries
    // the flags of the finished function (here: a warning).
    std::string rejected = FBlockXml(
        "Origin", "0x50",
        Function("Odd", "0x300", "class_odd", "Property", "PNumber",
                 Param("PN", "Value", NumberType(), Op("PReportStatus")), " FktDefId=\"Lost\""));
    std::string reference =
        FBlockXml("Reference", "0x51",
                  "<Function FktDefRef=\"Shared_Level\"><FunctionName>Ignored</FunctionName>"
                  "<FunctionID>0x123</FunctionID></Function>"
                  "<Function FktDefRef=\"Shared_Level\"/><Function FktDefRef=\"Again\"/>"
                  "<Function FktDefRef=\"Self\" FktDefId=\"Self\"/><Function FktDefRef=\"Lost\"/>");
    std::string clash =
        FBlockXml("Clash", "0x52",
                  NumberProperty("level", "0x10") + "<Function FktDefRef=\"Shared_Level\"/>");
    Imported r = Run("", origin + rejected + reference + clash);
    EXPECT_EQ(Codes(Messages(r.log)),
              "E0108 //Origin/Inst00/Level; E0145 //Origin; W0119 //Origin/Inst00/Odd; E0219 /; "
              "E0108 //Reference/Inst00/Level; E0145 //Reference; E0106 //Reference/Inst00/; "
              "E0145 //Reference; E0106 //Reference/Inst00/; E0145 //Reference; "
              "E0109 //Clash/Inst00/Level; E0145 //Clash");

    // A copy keeps the template's name, identifier and operations, as nodes
    // of its own.
    EXPECT_EQ(r.catalog->FBlockAt(0x51)->InstanceAt(0)->GetCount(), 2u);
    auto statusValue = [&](uint32_t id) {
        YMTFunction* f = Fn(r, id, 0x51);
        YMTNode* p = f && f->OperationAt(12) ? f->OperationAt(12)->ParamAt(1) : nullptr;
        return p ? p->PathName() : "-";
    };
    EXPECT_EQ(statusValue(0x200), "//Reference/Inst00/Level/Status/Value");
    ASSERT_EQ(statusValue(0x300), "//Reference/Inst00/Odd/Status/Value");
    EXPECT_EQ(Fn(r, 0x300, 0x51)->Flags, kFunctionWarnings | kFunctionSimpleStatus);
    EXPECT_EQ(Fn(r, 0x300, 0x51)->Class, 16); // the unknown class of a property
}

} // namespace
} // namespace mostfcat
