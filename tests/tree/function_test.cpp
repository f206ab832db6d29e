// Functions: identifier and name repairs, kind, notification, function
// class and ClassSub, templates by FktDefId/FktDefRef, parameter failures,
// attributes and dump.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "function_xml.h"
#include "params/param.h"
#include "support/test_support.h"
#include "tree/catalog.h"
#include "tree/fblock.h"
#include "tree/function.h"
#include "tree/operation.h"

namespace mostfcat {
namespace {

using namespace test;
using Lines = std::vector<std::string>;

// Adds a child element at the end of a function element.
std::string WithChild(std::string function, const std::string& child) {
    function.insert(function.rfind("</Function>"), child);
    return function;
}

class FunctionTest : public CatalogTest {
protected:
    // Imports one FBlock Amp (0x22, instance 0) with these functions.
    Imported Run(const std::string& functions, const std::string& more = "") {
        Imported r = Import(CatalogXml(FBlockXml("Amp", "0x22", functions) + more));
        EXPECT_EQ(r.status, 0u) << r.log;
        return r;
    }
    static YMTFunction* Fn(const Imported& r, uint32_t id, uint32_t fblock = 0x22,
                           uint32_t instance = 0) {
        YMTFBlock* f = r.catalog->FBlockAt(fblock);
        YMTInstance* i = f ? f->InstanceAt(instance) : nullptr;
        return i ? static_cast<YMTFunction*>(i->GetAt(id)) : nullptr;
    }
    static uint32_t Int(YMTNode* n, uint32_t attr) {
        uint32_t v = 0xDEAD;
        EXPECT_EQ(n->GetAttrInt(attr, &v), 0u) << attr;
        return v;
    }
};

TEST_F(FunctionTest, IdentifierAndStructureErrorsDropTheFunction) {
    Imported r = Run(NumberProperty("Big", "0x1000") + NumberProperty("Neg", "-1") +
                     NumberProperty("Bad", "0x1G") +
                     "<Function><FunctionID>1</FunctionID></Function>"
                     "<Function><FunctionName>NoId</FunctionName></Function>" +
                     NumberProperty("Volume", "0x400") + NumberProperty("Other", "0x400") +
                     "<Function><FunctionName>NoClass</FunctionName><FunctionID>2</FunctionID>"
                     "<FunctionDescription>d</FunctionDescription></Function>"
                     "<Function><FunctionName>NoKind</FunctionName><FunctionID>3</FunctionID>"
                     "<FunctionDescription>d</FunctionDescription><FunctionClass/></Function>" +
                     NumberProperty("Max", "4095"));
    const char* dropped = "  Failed to import element <Function>";
    EXPECT_EQ(Messages(r.log), (Lines{"Error #0114 in '//Amp/Inst00/Big':",
                                      "  Value '4096' out of range [0, 4096)",
                                      "Error #0145 in '//Amp':",
                                      dropped,
                                      "Error #0114 in '//Amp/Inst00/Neg':",
                                      "  Value '-1' out of range [0, 4096)",
                                      "Error #0145 in '//Amp':",
                                      dropped,
                                      "Error #0113 in '//Amp/Inst00/Bad':",
                                      "  Failed to analyze value '0x1G'",
                                      "Error #0145 in '//Amp':",
                                      dropped,
                                      "Error #0111 in '//Amp/Inst00/':",
                                      "  Can not find element <FunctionName>",
                                      "Error #0145 in '//Amp':",
                                      dropped,
                                      "Error #0112 in '//Amp/Inst00/NoId':",
                                      "  Can not find element <FunctionID>",
                                      "Error #0145 in '//Amp':",
                                      dropped,
                                      "Error #0115 in '//Amp/Inst00/Other':",
                                      "  Double definition of element with ID 0x400",
                                      "Error #0145 in '//Amp':",
                                      dropped,
                                      "Error #0117 in '//Amp/Inst00/NoClass':",
                                      "  Can not find element <FunctionClass>",
                                      "Error #0145 in '//Amp':",
                                      dropped,
                                      "Error #0124 in '//Amp/Inst00/NoKind':",
                                      "  Can neighter find element <Property> nor <Method>",
                                      "Error #0145 in '//Amp':",
                                      dropped}));
    YMTInstance* inst = r.catalog->FBlockAt(0x22)->InstanceAt(0);
    EXPECT_EQ(inst->GetCount(), 2u);
    EXPECT_EQ(Fn(r, 0x400)->NameRef(), "Volume");
    EXPECT_EQ(Fn(r, 4095)->NameRef(), "Max");
}

TEST_F(FunctionTest, NameClashesAndLeadingDigitsAreRepaired) {
    Imported r = Run(NumberProperty("Volume", "0x400") + NumberProperty("Volume", "0x401") +
                     NumberProperty("Volume_403", "0x10") + NumberProperty("VOLUME", "0x403") +
                     NumberProperty("3D Mode", "0x20"));
    EXPECT_EQ(Messages(r.log),
              (Lines{"Warning #0116 in '//Amp/Inst00/Volume':",
                     "  Double definition of function name 'Volume'. Function (0x401) will be "
                     "renamed to 'Volume_401'.",
                     "Warning #0116 in '//Amp/Inst00/VOLUME':",
                     "  Double definition of function name 'VOLUME'. Function (0x403) will be "
                     "renamed to 'VOLUME_403_1'.",
                     "Warning #0220 in '//Amp/Inst00/_3D_Mode':",
                     "  Adapted function name due to leading digit ('_3D_Mode')."}));
    EXPECT_EQ(Fn(r, 0x400)->NameRef(), "Volume");
    EXPECT_EQ(Fn(r, 0x401)->NameRef(), "Volume_401");
    EXPECT_EQ(Fn(r, 0x403)->NameRef(), "VOLUME_403_1");
    EXPECT_EQ(Fn(r, 0x20)->NameRef(), "_3D_Mode");
    // Warnings while importing a function set its flag 0x4 (0x2: simple status).
    EXPECT_EQ(Fn(r, 0x400)->Flags, kFunctionSimpleStatus);
    EXPECT_EQ(Fn(r, 0x401)->Flags, kFunctionSimpleStatus | kFunctionWarnings);
    // The operations follow the function's new name.
    EXPECT_EQ(Fn(r, 0x401)->OperationAt(12)->PathName(), "//Amp/Inst00/Volume_401/Status");
}

TEST_F(FunctionTest, FunctionClassFromClassRef) {
    auto prop = [](const char* name, const char* id, const char* ref) {
        return Function(name, id, ref, "Property", "PNumber",
                        Param("PN", "V", NumberType(), Op("PReportStatus")));
    };
    auto method = [](const char* name, const char* id, const char* ref) {
        return Function(name, id, ref, "Method", "MTrigger",
                        Param("MT", "V", NumberType(), Op("MCmdStart")));
    };
    Imported r = Run(prop("Num", "1", "CLASS_NUMBER") + method("Trig", "2", "class_nothing") +
                     prop("Odd", "3", "class_nothing") + method("Seq", "4", "Class_Sequence") +
                     prop("SeqP", "5", "class_sequence") + method("Un", "6", "class_unclassified") +
                     prop("UnP", "7", "class_unclassified") + prop("Map", "8", "class_map") +
                     prop("None", "9", ""));
    EXPECT_EQ(Messages(r.log),
              (Lines{"Warning #0119 in '//Amp/Inst00/Trig':",
                     "  Unknown function class 'class_nothing' will be interpreted as "
                     "'Unclassified Property/Method'",
                     "Warning #0119 in '//Amp/Inst00/Odd':",
                     "  Unknown function class 'class_nothing' will be interpreted as "
                     "'Unclassified Property/Method'"}));
    const std::pair<uint32_t, int> kClasses[] = {{1, 18}, {2, 0},  {3, 16}, {4, 2},  {5, 28},
                                                 {6, 0},  {7, 16}, {8, 29}, {9, 255}};
    for (auto [id, cls] : kClasses)
        EXPECT_EQ(Fn(r, id)->Class, cls) << id;
    EXPECT_EQ(Fn(r, 2)->Type, kFunctionMethod);
    EXPECT_EQ(Fn(r, 1)->Type, kFunctionProperty);
    EXPECT_EQ(Fn(r, 1)->ClassSub, 0);

    // With option bit 0x4 cleared no class is read: ClassSub needs a class.
    UseProfile("[MOSTImport]\nOptions=0x50001\n");
    r = Run(prop("Num", "1", "class_number") + method("Trig", "2", "class_nothing") +
            Function("Mode", "3", "class_enumeration", "Property", "PEnum",
                     Param("PE", "Mode", EnumType(), Op("PReportStatus"))));
    EXPECT_TRUE(Messages(r.log).empty()) << r.log;
    for (uint32_t id : {1u, 2u, 3u}) {
        EXPECT_EQ(Fn(r, id)->Class, 255) << id;
        EXPECT_EQ(Fn(r, id)->ClassSub, 255) << id;
        EXPECT_EQ(Fn(r, id)->Flags & kFunctionSimpleStatus, 0u) << id;
    }
}

TEST_F(FunctionTest, NotificationOfProperties) {
    auto prop = [](const char* name, const char* id, const std::string& attr) {
        return Function(name, id, "class_number", "Property", "PNumber",
                        Param("PN", "V", NumberType(), Op("PReportStatus")), "", attr);
    };
    Imported r = Run(
        WithChild(prop("A", "1", " Notification=\"true\""), "<Notification>false</Notification>") +
        prop("B", "2", " Notification=\"TRUE\"") + prop("C", "3", " Notification=\"yes\"") +
        WithChild(prop("D", "4", ""), "<Notification>True</Notification>") +
        WithChild(prop("E", "5", " Notification=\"false\""), "<Notification>true</Notification>") +
        WithChild(Function("M", "6", "class_trigger", "Method", "MTrigger",
                           Param("MT", "V", NumberType(), Op("MCmdStart")), "",
                           " Notification=\"true\""),
                  "<Notification>true</Notification>"));
    const std::pair<uint32_t, uint32_t> kExpected[] = {{1, 0}, {2, 1}, {3, 0},
                                                       {4, 1}, {5, 1}, {6, 0}};
    for (auto [id, notifies] : kExpected)
        EXPECT_EQ(Int(Fn(r, id), 350), notifies) << id;
}

TEST_F(FunctionTest, ClassSubFromTheStatusParameter) {
    auto prop = [](const char* name, const char* id, const char* ref, const char* cls,
                   const std::string& params) {
        return Function(name, id, ref, "Property", cls, params);
    };
    auto status = [](const char* p, const std::string& type, const std::string& ops = "") {
        return Param(p, "S", type, ops.empty() ? Op("PReportStatus") : ops);
    };
    Imported r = Run(
        prop("Enum2", "1", "class_enumeration", "PEnum", status("PE", EnumType(300))) +
        prop("Enum1", "2", "class_enumeration", "PEnum", status("PE", EnumType(3))) +
        prop("SetOnly", "3", "class_switch", "PEnum", status("PE", EnumType(300), Op("PCmdSet"))) +
        prop("Signed", "4", "class_number", "PNumber",
             status("PN", NumberType("type_signed_word"))) +
        prop("Long", "5", "class_number", "PNumber",
             status("PN", NumberType("type_unsigned_long"))) +
        prop("NotNum", "6", "class_number", "PText", status("PT", StringType())) +
        prop("Recs", "7", "class_array_of_record", "PArray",
             status("PA", ArrayType(RecordType()))) +
        prop("Words", "8", "class_dynamic_array", "PArray",
             status("PA", ArrayType(NumberType("type_unsigned_word")))) +
        prop("Texts", "9", "class_long_array", "PArray", status("PA", ArrayType(StringType()))) +
        prop("Nested", "10", "class_array", "PArray",
             status("PA", ArrayType(ArrayType(NumberType())))) +
        // The first array in position order decides, even after a number.
        prop("Later", "11", "class_array", "PArray",
             Param("PA", "N", NumberType(), Op("PReportStatus")) +
                 Param("PA", "A", ArrayType(EnumType(300)), Op("PReportStatus", "2"))) +
        prop("Rec", "12", "class_record", "PRecord", status("PR", RecordType())) +
        Function("Meth", "13", "class_enumeration", "Method", "MUnclassified",
                 Param("MU", "S", EnumType(300), Op("MReportResult"))));
    EXPECT_TRUE(Messages(r.log).empty()) << r.log;
    const std::pair<uint32_t, int> kExpected[] = {{1, 1},   {2, 0},    {3, 1},   {4, 4}, {5, 2},
                                                  {6, 255}, {7, 12},   {8, 1},   {9, 7}, {10, 11},
                                                  {11, 1},  {12, 255}, {13, 255}};
    for (auto [id, sub] : kExpected) {
        EXPECT_EQ(Int(Fn(r, id), 304), static_cast<uint32_t>(sub)) << Fn(r, id)->NameRef();
    }
}

TEST_F(FunctionTest, SimpleStatusFlag) {
    auto prop = [](const char* name, const char* id, const char* ref, const std::string& params) {
        return Function(name, id, ref, "Property", "PUnclassified", params);
    };
    auto at = [](const char* name, const std::string& type, const char* pos) {
        return Param("PU", name, type, Op("PCmdSet", pos) + Op("PReportStatus", pos));
    };
    Imported r = Run(
        prop("Simple", "1", "class_unclassified_property",
             at("N", NumberType(), "1") + at("E", EnumType(), "2") + at("T", StringType(), "3")) +
        prop("WithRecord", "2", "class_unclassified_property",
             at("N", NumberType(), "1") + at("R", RecordType(), "2")) +
        prop("ArrayClass", "3", "class_array", at("N", NumberType(), "1")) +
        prop("NoStatus", "4", "class_number", Param("PU", "N", NumberType(), Op("PCmdSet"))) +
        prop("Boolfield", "5", "class_boolfield", at("N", NumberType(), "1")));
    EXPECT_TRUE(Messages(r.log).empty()) << r.log;
    const std::pair<uint32_t, uint32_t> kExpected[] = {{1, 2}, {2, 0}, {3, 0}, {4, 0}, {5, 2}};
    for (auto [id, flags] : kExpected)
        EXPECT_EQ(Int(Fn(r, id), 351), flags) << id;
}

TEST_F(FunctionTest, ParameterFailures) {
    std::string good = Param("PN", "Level", NumberType(), Op("PCmdSet") + Op("PReportStatus"));
    std::string badError = ErrorParam("", "Code", "<TUnknown/>", Op("PReportError"));
    Imported r = Run(
        // A plain ERParam that fails empties every operation of the function.
        Function("Dropped", "1", "class_number", "Property", "PNumber", good + badError) +
        // Another parameter that fails is dropped alone.
        Function("Partial", "2", "class_number", "Property", "PNumber",
                 Param("PN", "Odd", "<TUnknown/>", Op("PCmdGet")) +
                     Param("PN", "NoBasis", "<TNumber><Unit UnitRef=\"unit_none\"/></TNumber>",
                           Op("PCmdGet")) +
                     good) +
        Function("Empty", "3", "class_number", "Property", "PNothing", ""));
    EXPECT_EQ(
        Messages(r.log),
        (Lines{
            "Warning #0128 in '//Amp/Inst00/Dropped':", "  Unknown parameter type in <ERParam>",
            "Warning #0138 in '//Amp/Inst00/Dropped':",
            "  Too many errors while importing parameters. Removing all parameters from "
            "the function's operations.",
            "Warning #0128 in '//Amp/Inst00/Partial':", "  Unknown parameter type in <PNParam>",
            "Warning #0067 in '//Amp/Inst00/Partial/NoBasis':", "  Can not find element <Exponent>",
            "Error #0071 in '//Amp/Inst00/Partial/NoBasis':",
            "  Can not find element <BasisDataType>",
            "Error #0129 in '//Amp/Inst00/Partial':", "  Failed to import element <PNParam>",
            "Error #0150 in '//Amp/Inst00/Empty':", "  No matching sub element found",
            "Warning #0138 in '//Amp/Inst00/Empty':",
            "  Too many errors while importing parameters. Removing all parameters from "
            "the function's operations.",
            "Warning #0123 in '//Amp/Inst00/Empty':", "  Function contains no valid operation"}));

    YMTFunction* dropped = Fn(r, 1);
    ASSERT_NE(dropped, nullptr);
    EXPECT_EQ(dropped->Flags, kFunctionErrors | kFunctionWarnings);
    EXPECT_EQ(dropped->ClassSub, 255);
    ASSERT_NE(dropped->OperationAt(0), nullptr); // the operations stay, empty
    ASSERT_NE(dropped->OperationAt(12), nullptr);
    EXPECT_EQ(dropped->OperationAt(12)->GetCount(), 0u);
    EXPECT_EQ(dropped->OperationAt(15), nullptr);

    YMTFunction* partial = Fn(r, 2);
    EXPECT_EQ(partial->Flags, kFunctionErrors | kFunctionWarnings | kFunctionSimpleStatus);
    EXPECT_EQ(partial->OperationAt(1), nullptr);
    ASSERT_NE(partial->OperationAt(12)->ParamAt(1), nullptr);
    EXPECT_EQ(partial->OperationAt(12)->ParamAt(1)->NameRef(), "Level");
    // ClassSub is derived before the import flags are set, so errors of
    // single parameters do not stop it; only dropping all parameters does.
    EXPECT_EQ(partial->ClassSub, 0);

    EXPECT_EQ(Fn(r, 3)->GetCount(), 0u);
    EXPECT_EQ(Fn(r, 3)->Flags, kFunctionErrors | kFunctionWarnings);
}

TEST_F(FunctionTest, FunctionTemplatesByReference) {
    std::string origin =
        FBlockXml("Origin", "0x50",
                  NumberProperty("Level", "0x200", " FktDefId=\"Shared Level\"") +
                      // The first registration of a name wins.
                      NumberProperty("Other", "0x201", " FktDefId=\"Shared_Level\"") +
                      // A referencing element registers nothing, whatever it says.
                      "<Function FktDefRef=\"Shared Level\" FktDefId=\"Again\"/>");
    std::string reference =
        FBlockXml("Reference", "0x51",
                  "<Function FktDefRef=\"Shared_Level\"><FunctionName>Ignored</FunctionName>"
                  "<FunctionID>0x123</FunctionID></Function>"
                  "<Function FktDefRef=\"Shared_Level\"/>"
                  "<Function FktDefRef=\"Again\"/>"
                  "<Function FktDefRef=\"Self\" FktDefId=\"Self\"/>");
    std::string clash =
        FBlockXml("Clash", "0x52",
                  NumberProperty("level", "0x10") + "<Function FktDefRef=\"Shared_Level\"/>");
    Imported r = Import(CatalogXml(origin + reference + clash));
    ASSERT_EQ(r.status, 0u) << r.log;
    EXPECT_EQ(Messages(r.log), (Lines{"Error #0108 in '//Origin/Inst00/Level':",
                                      "  Double definition of element with ID 0x200",
                                      "Error #0145 in '//Origin':",
                                      "  Failed to import element <Function>",
                                      "Error #0108 in '//Reference/Inst00/Level':",
                                      "  Double definition of element with ID 0x200",
                                      "Error #0145 in '//Reference':",
                                      "  Failed to import element <Function>",
                                      "Error #0106 in '//Reference/Inst00/':",
                                      "  Can not find definition of function 'Again'",
                                      "Error #0145 in '//Reference':",
                                      "  Failed to import element <Function>",
                                      "Error #0106 in '//Reference/Inst00/':",
                                      "  Can not find definition of function 'Self'",
                                      "Error #0145 in '//Reference':",
                                      "  Failed to import element <Function>",
                                      "Error #0109 in '//Clash/Inst00/Level':",
                                      "  Double definition of element 'Level'",
                                      "Error #0145 in '//Clash':",
                                      "  Failed to import element <Function>"}));

    // The copy keeps the template's name, identifier and operations.
    YMTInstance* inst = r.catalog->FBlockAt(0x51)->InstanceAt(0);
    EXPECT_EQ(inst->GetCount(), 1u);
    YMTFunction* copy = Fn(r, 0x200, 0x51);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->NameRef(), "Level");
    EXPECT_EQ(copy->Parent(), inst);
    EXPECT_EQ(copy->Class, 18);
    EXPECT_EQ(copy->Description(), "d");
    YMTFunction* original = Fn(r, 0x200, 0x50);
    ASSERT_NE(original, copy);
    for (uint32_t op : {0u, 12u}) {
        ASSERT_NE(copy->OperationAt(op), nullptr) << op;
        EXPECT_NE(copy->OperationAt(op), original->OperationAt(op));
        EXPECT_EQ(copy->OperationAt(op)->Parent(), copy);
        ASSERT_NE(copy->OperationAt(op)->ParamAt(1), nullptr);
        EXPECT_EQ(copy->OperationAt(op)->ParamAt(1)->PathName(),
                  op == 0 ? "//Reference/Inst00/Level/Set/Value"
                          : "//Reference/Inst00/Level/Status/Value");
    }
    EXPECT_EQ(copy->GetCount(), 2u);
}

TEST_F(FunctionTest, TemplateOutlivesTheFunctionItWasTakenFrom) {
    // The second Amp element's only instance is rejected in the merge, so its
    // function is deleted with it; the template taken from it stays usable.
    Imported r = Import(CatalogXml(
        FBlockXml("Amp", "0x22", Device("Front", "1")) +
        FBlockXml("Amp", "0x22",
                  Device("Dup", "1") + NumberProperty("Level", "0x200", " FktDefId=\"Shared\"")) +
        FBlockXml("Tuner", "0x40", "<Function FktDefRef=\"Shared\"/>")));
    ASSERT_EQ(r.status, 0u) << r.log;
    EXPECT_EQ(Messages(r.log),
              (Lines{"Error #0219 in '/':", "  FBlock Instance 01 already exists"}));
    EXPECT_EQ(r.catalog->FBlockAt(0x22)->InstanceAt(1)->GetCount(), 0u);
    YMTFunction* copy = Fn(r, 0x200, 0x40);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->NameRef(), "Level");
    EXPECT_EQ(copy->Flags, kFunctionSimpleStatus);
    ASSERT_NE(copy->OperationAt(12), nullptr);
    ASSERT_NE(copy->OperationAt(12)->ParamAt(1), nullptr);
    EXPECT_EQ(copy->OperationAt(12)->ParamAt(1)->PathName(), "//Tuner/Inst00/Level/Status/Value");
    EXPECT_EQ(Int(copy, 303), 18u);
}

TEST_F(FunctionTest, ReferenceCarriesTheFlagsOfTheFinishedTemplate) {
    // The template's own import logged a warning (unknown class): a copy made
    // later is a copy of the finished function, flags included.
    Imported r = Run(Function("Level", "0x200", "class_odd", "Property", "PNumber",
                              Param("PN", "Level", NumberType(), Op("PReportStatus")),
                              " FktDefId=\"Shared\""),
                     FBlockXml("Tuner", "0x40", "<Function FktDefRef=\"Shared\"/>"));
    YMTFunction* original = Fn(r, 0x200);
    YMTFunction* copy = Fn(r, 0x200, 0x40);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(original->Flags, kFunctionWarnings | kFunctionSimpleStatus);
    EXPECT_EQ(copy->Flags, original->Flags);
    EXPECT_EQ(copy->Class, 16);
}

TEST_F(FunctionTest, AttributesAndDump) {
    UseProfile("[MOSTImport]\nOptions=0x7\n");
    std::string volume = WithChild(
        Function("Volume", "0x400", "class_number", "Property", "PNumber",
                 Param("PN", "Volume", NumberType(), Op("PCmdSet") + Op("PReportStatus")), "",
                 " Notification=\"true\""),
        "<FunctionVersion><Release>1.1</Release><Date>2024-05-06</Date></FunctionVersion>");
    Imported r = Import(
        CatalogXml("<FBlock><FBlockName>Amp</FBlockName><FBlockID>0x22</FBlockID>"
                   "<FBlockDescription>d</FBlockDescription><FBlockVersion><Release>1</Release>"
                   "<Date>2</Date></FBlockVersion>" +
                   Device("Main", "1") + Device("Rear", "2") + volume + "</FBlock>"));
    ASSERT_EQ(r.status, 0u) << r.log;
    EXPECT_THAT(Messages(r.log),
                ::testing::Not(::testing::Contains(::testing::HasSubstr("Volume"))));
    YMTFunction* f = Fn(r, 0x400, 0x22, 1);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Fn(r, 0x400, 0x22, 2), f); // shared by the instances of the element

    const std::pair<uint32_t, uint32_t> kInts[] = {{0, 4},       {1, 3},   {4, 0x400},
                                                   {301, 0x400}, {302, 1}, {303, 18},
                                                   {304, 0},     {350, 1}, {351, 2}};
    for (auto [attr, value] : kInts)
        EXPECT_EQ(Int(f, attr), value) << attr;
    uint32_t v = 0;
    EXPECT_EQ(f->GetAttrInt(305, &v), 1u);
    EXPECT_EQ(f->GetAttrInt(401, &v), 1u);

    const std::pair<uint32_t, const char*> kStrs[] = {
        {3, "Volume"}, {300, "Volume"},     {5, "d"},    {310, "d"},
        {311, "1.1"},  {312, "2024-05-06"}, {200, "Amp"}};
    for (auto [attr, value] : kStrs) {
        const char* s = nullptr;
        ASSERT_EQ(f->GetAttrStr(attr, &s), 0u) << attr;
        EXPECT_STREQ(s, value) << attr;
    }
    const char* s = nullptr;
    EXPECT_EQ(f->GetAttrStr(201, &s), 1u);
    YMTNode* parent = nullptr;
    ASSERT_EQ(f->GetAttrNode(2, &parent), 0u);
    EXPECT_EQ(parent, r.catalog->FBlockAt(0x22)->InstanceAt(1));

    YMTNode* const* items = nullptr;
    uint32_t count = 0;
    ASSERT_EQ(f->GetSubItemList(kItemOperation, &items, &count), 0u);
    EXPECT_EQ(count, 13u);
    EXPECT_EQ(items[0], f->OperationAt(0));
    EXPECT_EQ(items[1], nullptr);
    EXPECT_EQ(f->GetSubItemList(kItemParam, &items, &count), 1u);
    EXPECT_EQ(f->Clone(), nullptr);

    // A function without a grandparent FBlock has no FBlock name.
    YMTFunction loose;
    EXPECT_EQ(loose.GetAttrStr(200, &s), 1u);

    std::string dump = DumpText(*f);
    EXPECT_EQ(dump.substr(0, dump.find("\t\t\t\tOPERATION")),
              "\t\t\tFUNCTION: Volume\n"
              "\t\t\t.FunctionID: 0x400\n"
              "\t\t\t.Type: 1  Class: 18  ClassSub: 0  Notification: 1  Flags: 0002\n"
              "\t\t\t.Parent: //Amp/Inst01\n"
              "\t\t\t.BytesInMsg: 2\n");
    EXPECT_NE(dump.find("\t\t\t\tOPERATION: Set\n\t\t\t\t.OpType: 0\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find("\t\t\t\tOPERATION: Status\n\t\t\t\t.OpType: 12\n"), std::string::npos);
}

} // namespace
} // namespace mostfcat
