// Operations: assignment of parameter elements to OpTypes and positions,
// error-parameter templates and their merge, and the operation check (void
// removal, gaps, compaction, bit layout, unspecified lengths).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "function_xml.h"
#include "params/param_queries.h"
#include "tree/queries.h"

namespace mostfcat {
namespace {

using namespace test;
using Lines = std::vector<std::string>;

std::string Prop(const std::string& params, const std::string& name = "F",
                 const std::string& id = "0x100") {
    return Function(name, id, "class_unclassified_property", "Property", "PUnclassified", params);
}

std::string Meth(const std::string& params, const std::string& name = "M",
                 const std::string& id = "0x200") {
    return Function(name, id, "class_unclassified_method", "Method", "MUnclassified", params);
}

std::string PU(const std::string& name, const std::string& ops,
               const std::string& type = NumberType()) {
    return Param("PU", name, type, ops);
}

class OperationTest : public FunctionImportTest {};

TEST_F(OperationTest, PositionsAreCompactedAndRenumberedPerOperation) {
    Imported r =
        Run(Prop(PU("Level", Op("PCmdSet", "2") + Op("PReportStatus", "1")) +
                 PU("Zero", Op("PCmdGet", "")) + PU("First", Op("PCmdIncrement", "0")) +
                 PU("Second", Op("PCmdIncrement", "1")) + PU("A", Op("PCmdDecrement", "1")) +
                 PU("C", Op("PCmdDecrement", "3")) + PU("Far", Op("PReportInterface", "255"))));
    EXPECT_EQ(Codes(Messages(r.log)), "W0102 //Amp/Inst00/F/Set; W0102 //Amp/Inst00/F/Decrement; "
                                      "W0102 //Amp/Inst00/F/Interface");
    EXPECT_EQ(
        Joined(Messages(r.log))[1],
        "Warning #0102 in '//Amp/Inst00/F/Decrement': Gap in parameter set before parameter 'C'");
    // Each operation holds a copy of its own; a missing or empty ParamPos
    // reads as 0.
    YMTFunction* f = Fn(r);
    EXPECT_EQ(Layout(f), "Set: Level@1; Get: Zero@1; Increment: First@1 Second@2; Decrement: A@1 "
                         "C@2; Status: Level@1; Interface: Far@1");
    EXPECT_NE(f->OperationAt(0)->ParamAt(1), f->OperationAt(12)->ParamAt(1));
    EXPECT_EQ(f->OperationAt(4)->ParamAt(2)->MsgBitPos(), 8u);
    EXPECT_EQ(f->OperationAt(4)->GetSize(), 3u); // position 0 stays empty
    EXPECT_EQ(Attrs(*f->OperationAt(14), "i0 i1 n2 s3 i4 i401 s5 i301"),
              "5|4|//Amp/Inst00/F|Interface|14|14|-|-");
}

TEST_F(OperationTest, PositionAndOpTypeErrors) {
    auto noHolder = [](const char* name, const std::string& holder) {
        return std::string("<PUParam><ParamName>") + name +
               "</ParamName><ParamDescription>d</ParamDescription><PUParamType>" + NumberType() +
               "</PUParamType>" + holder + "</PUParam>";
    };
    Imported r = Run(
        Prop(PU("A", Op("PReportStatus", "1")) +
             // Set is assigned before Status fails: the copy in Set stays.
             PU("B", Op("PCmdSet", "1") + Op("PReportStatus", "1")) +
             PU("Bad", Op("PCmdGet", "x1")) + PU("Big", Op("PCmdGet", "256")) +
             PU("Twice", Op("PCmdGet") + "<Group>" + Op("PCmdGet", "2") + "</Group>") +
             PU("Nested", "<Group>" + Op("PCmdSetGet") + "</Group>") + noHolder("NoHolder", "") +
             // Any holder name counts, whatever the parameter element.
             noHolder("Other", "<ERParamOPType>" + Op("PReportError") + "</ERParamOPType>")));
    Lines expected;
    for (auto [param, message] : std::initializer_list<std::pair<const char*, const char*>>{
             {"B", "Error #0134 in '//Amp/Inst00/F': Position 1 of 'Status' already occupied"},
             {"Bad", "Error #0131 in '//Amp/Inst00/F': Failed to analyze value 'x1'"},
             {"Big", "Error #0132 in '//Amp/Inst00/F': Invalid parameter position 256"},
             {"Twice", "Error #0135 in '//Amp/Inst00/F': Missing OpType info"},
             {"NoHolder", nullptr}}) {
        if (message) expected.push_back(message);
        expected.push_back("Error #0130 in '//Amp/Inst00/F': Failed to assign parameter '" +
                           std::string(param) + "' to operation");
    }
    EXPECT_EQ(Joined(Messages(r.log)), expected);
    EXPECT_EQ(Layout(Fn(r)), "Set: B@1; SetGet: Nested@1; Status: A@1; Error: Other@1");
    EXPECT_EQ(Fn(r)->Flags, kFunctionErrors | kFunctionSimpleStatus);
}

TEST_F(OperationTest, OperationNamesFollowTheFunctionKind) {
    // One XXXnotyetXXX element stands for every OpType of that name; two of
    // them for none.
    Imported r = Run(
        Prop(PU("P", Op("PCmdSetGet") + Op("PCmdGetInterface") + Op("PReportError"))) +
        Meth(Param("MU", "M", NumberType(), Op("MCmdStartResultAck") + Op("MReportProcessing"))) +
        Prop(PU("N", Op("XXXnotyetXXX")), "NotYet", "0x101") +
        Prop(PU("Two", Op("XXXnotyetXXX") + Op("XXXnotyetXXX", "2")), "NotYet2", "0x102"));
    EXPECT_EQ(Codes(Messages(r.log)),
              "E0135 //Amp/Inst00/NotYet2; E0130 //Amp/Inst00/NotYet2; W0123 //Amp/Inst00/NotYet2");
    EXPECT_EQ(Layout(Fn(r)), "SetGet: P@1; GetInterface: P@1; Error: P@1");
    EXPECT_EQ(Layout(Fn(r, 0x200)), "StartResultAck: M@1; Processing: M@1");
    EXPECT_EQ(Layout(Fn(r, 0x101)), "Increment: N@1; Decrement: N@1; Reserved: N@1; OpType7: N@1; "
                                    "OpType8: N@1; OpType9: N@1; OpTypeA: N@1; OpTypeB: N@1; "
                                    "OpTypeD: N@1");
    EXPECT_EQ(Fn(r, 0x101)->OperationAt(13)->OpType, 13u);
}

TEST_F(OperationTest, VoidParametersNeverSurvive) {
    Imported r =
        Run(Meth(Param("MU", "Nothing", kVoidType, Op("MCmdStart") + Op("MReportResult", "2")) +
                 Param("MU", "Code", NumberType(), Op("MReportResult", "1")) +
                 Param("MU", "", kVoidType, Op("MCmdAbort", ""))));
    EXPECT_EQ(Messages(r.log), Lines{}) << r.log;
    EXPECT_EQ(Layout(Fn(r, 0x200)), "Start:; Abort:; Result: Code@1");
    EXPECT_FALSE(FunctionHasParamType(*Fn(r, 0x200), kNodeVoid));
}

TEST_F(OperationTest, BitLayoutAndUnspecifiedLength) {
    std::string status = PU("B", Op("PReportStatus", "1")) +
                         PU("L", Op("PReportStatus", "2"), NumberType("type_unsigned_long")) +
                         PU("T", Op("PReportStatus", "3"), kStringType) +
                         PU("After", Op("PReportStatus", "4"));
    std::string set = PU("Open", Op("PCmdSet", "1"), ArrayType(NumberType(), "")) +
                      PU("Next", Op("PCmdSet", "2")) +
                      PU("Open2", Op("PCmdSet", "3"), ArrayType(NumberType(), "")) +
                      PU("Last", Op("PCmdSet", "4"));
    // A fixed array has no bit width either, but is no unspecified length.
    std::string get = PU("Fixed", Op("PCmdGet", "1"), ArrayType(NumberType(), "4")) +
                      PU("Tail", Op("PCmdGet", "2"), ArrayType(NumberType(), ""));
    Imported r = Run(Prop(status + set + get));
    EXPECT_EQ(Joined(Messages(r.log)),
              (Lines{"Warning #0208 in '//Amp/Inst00/F/Set': Parameter 'Next' follows a parameter "
                     "with unspecified length ('Open'). Message may not disassemble properly."}));
    auto bits = [&](uint32_t op) {
        std::vector<uint32_t> out;
        ForEachChild(*Fn(r)->OperationAt(op), [&](uint32_t, YMTNode* p) {
            out.push_back(static_cast<YMTParam*>(p)->MsgBitPos());
        });
        return out;
    };
    EXPECT_EQ(bits(12), (std::vector<uint32_t>{0, 8, 40, kNoBitPos}));
    EXPECT_EQ(bits(0), (std::vector<uint32_t>{0, kNoBitPos, kNoBitPos, kNoBitPos}));
    EXPECT_EQ(bits(1), (std::vector<uint32_t>{0, kNoBitPos}));
}

TEST_F(OperationTest, ErrorParameterTemplates) {
    auto define = [](const std::string& attrs, const char* name, const std::string& ops,
                     const std::string& type = NumberType()) {
        return Param("ER", name, type, ops, " ParamDefId=" + attrs);
    };
    std::string templates =
        "<Templates>" + define("\"Code\"", "Code", Op("PReportError", "1")) +
        define("\"Info\"", "Info", Op("PReportError", "2"), NumberType("type_unsigned_word")) +
        // The first template of a name wins; this one is dropped silently.
        define("\"Code\"", "Other", Op("PReportError", "1")) + define("\"NoOp\"", "NoOp", "") +
        // Templates that name each other: the ParamDefId decides.
        define("\"Ping\" ParamDefRef=\"Pong\"", "Ping", Op("MReportError", "1")) +
        define("\"Pong\" ParamDefRef=\"Ping\"", "Pong", Op("MReportError", "2")) + "</Templates>";
    auto uses = [](const char* ref) {
        return "<ERParam ParamDefRef=\"" + std::string(ref) + "\"/>";
    };
    std::string own = PU("Value", Op("PReportStatus"));
    Imported r = Run(
        Prop(own + uses("Info") + uses("Code"), "Both", "1") +
            Prop(own + uses("Nope") + Param("ER", "Own", NumberType(), Op("PReportError")),
                 "Unknown", "2") +
            Prop(own + Param("ER", "Mine", NumberType(), Op("PReportError", "1")) + uses("Code"),
                 "Clash", "3") +
            Meth(uses("Pong") + uses("Ping"), "Cross", "4"),
        templates);
    EXPECT_EQ(
        Codes(Messages(r.log)),
        "E0135 //Temp_ERFunction_NoOp; E0130 //Temp_ERFunction_NoOp; E0148 /; "
        "E0126 //Amp/Inst00/Unknown; E0104 //Amp/Inst00/Clash/Error; E0136 //Amp/Inst00/Clash; "
        "E0127 //Amp/Inst00/Clash");
    EXPECT_THAT(Joined(Messages(r.log)),
                ::testing::Contains("Error #0127 in '//Amp/Inst00/Clash': Merge of "
                                    "'Temp_ERFunction_Code' failed"));
    // Templates keep their positions (a gap is no reason to compact one);
    // the function compacts the merged list and lays it out.
    EXPECT_EQ(Layout(Fn(r, 1)), "Status: Value@1; Error: Code@1 Info@2");
    EXPECT_EQ(Fn(r, 1)->OperationAt(15)->ParamAt(2)->MsgBitPos(), 8u);
    // An unknown template leaves the other parameters in place.
    EXPECT_EQ(Layout(Fn(r, 2)), "Status: Value@1; Error: Own@1");
    EXPECT_EQ(Fn(r, 2)->Flags & kFunctionErrors, kFunctionErrors);
    EXPECT_EQ(Layout(Fn(r, 3)), "Status: Value@1; Error: Mine@1");
    // A template operation cloned into a function keeps its name.
    EXPECT_EQ(Layout(Fn(r, 4)), "Error: Ping@1 Pong@2");
    EXPECT_EQ(Fn(r, 4)->OperationAt(15)->PathName(), "//Amp/Inst00/Cross/Error");
}

TEST_F(OperationTest, TemplatesDeclaredInsideFunctionsAndTheDefaultErrorParameterSwitch) {
    // An ERParam with ParamDefId inside a function declares a template and
    // is merged from it right there; another function refers to it.
    std::string own = PU("Value", Op("PReportStatus"));
    Imported r =
        Run(Prop(own + Param("ER", "Reason", EnumType(), Op("PReportError"), " ParamDefId=\"Err\""),
                 "Declares", "1") +
            Prop(own + "<ERParam ParamDefRef=\"Err\"/>", "Uses", "2"));
    EXPECT_EQ(Messages(r.log), Lines{}) << r.log;
    for (uint32_t id : {1u, 2u}) {
        EXPECT_EQ(Layout(Fn(r, id)), "Status: Value@1; Error: Reason@1");
        EXPECT_EQ(Fn(r, id)->OperationAt(15)->ParamAt(1)->NodeType(), kNodeEnum);
    }

    // Switched off, an ErrorCode parameter keeps the catalog's own type.
    UseProfile("[MOSTImport]\nUseDefaultErrorParameters=0\n");
    r = Run(Prop(own + Param("ER", "errorcode", NumberType(), Op("PReportError")), "Own", "3"));
    EXPECT_EQ(Layout(Fn(r, 3)), "Status: Value@1; Error: errorcode@1");
    EXPECT_EQ(Fn(r, 3)->OperationAt(15)->ParamAt(1)->NodeType(), kNodeNumber);
}

} // namespace
} // namespace mostfcat
