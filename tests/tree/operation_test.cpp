// Operations: assignment of parameter elements to OpTypes and positions,
// error-parameter templates and their merge, and the operation check (void
// removal, gaps, compaction, bit layout, unspecified lengths).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "function_xml.h"
#include "params/param.h"
#include "support/test_support.h"
#include "tree/catalog.h"
#include "tree/fblock.h"
#include "tree/function.h"
#include "tree/operation.h"
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

class OperationTest : public CatalogTest {
protected:
    Imported Run(const std::string& functions, const std::string& outside = "") {
        Imported r = Import(CatalogXml(outside + FBlockXml("Amp", "0x22", functions)));
        EXPECT_EQ(r.status, 0u) << r.log;
        return r;
    }
    static YMTFunction* Fn(const Imported& r, uint32_t id = 0x100) {
        return static_cast<YMTFunction*>(r.catalog->FBlockAt(0x22)->InstanceAt(0)->GetAt(id));
    }
    // "name@pos" for each parameter of an operation, in position order.
    static Lines Params(const YMTOperation* op) {
        Lines out;
        if (!op) return {"no operation"};
        ForEachChild(*op, [&](uint32_t pos, YMTNode* n) {
            auto* p = static_cast<YMTParam*>(n);
            out.push_back(
                p->NameRef() + "@" + std::to_string(pos) +
                (p->ParamPos() == pos ? "" : " ParamPos " + std::to_string(p->ParamPos())));
        });
        return out;
    }
    // The operation names of a function by OpType ("-" where there is none).
    static std::string OpNames(const YMTFunction* f) {
        std::string out;
        for (uint32_t t = 0; t < 16; ++t) {
            const YMTOperation* op = f->OperationAt(t);
            out += (t ? " " : "") + (op ? op->NameRef() : std::string("-"));
        }
        return out;
    }
};

TEST_F(OperationTest, PositionsAreCompactedAndRenumberedPerOperation) {
    Imported r = Run(Prop(
        PU("Level", Op("PCmdSet", "2") + Op("PReportStatus", "1")) + PU("Zero", Op("PCmdGet", "")) +
        PU("Empty", Op("PCmdSetGet", "")) + PU("First", Op("PCmdIncrement", "0")) +
        PU("Second", Op("PCmdIncrement", "1")) + PU("A", Op("PCmdDecrement", "1")) +
        PU("C", Op("PCmdDecrement", "3")) + PU("Far", Op("PReportInterface", "255"))));
    EXPECT_EQ(Messages(r.log), (Lines{"Warning #0102 in '//Amp/Inst00/F/Set':",
                                      "  Gap in parameter set before parameter 'Level'",
                                      "Warning #0102 in '//Amp/Inst00/F/Decrement':",
                                      "  Gap in parameter set before parameter 'C'",
                                      "Warning #0102 in '//Amp/Inst00/F/Interface':",
                                      "  Gap in parameter set before parameter 'Far'"}));
    YMTFunction* f = Fn(r);
    EXPECT_EQ(Params(f->OperationAt(0)), (Lines{"Level@1"}));
    EXPECT_EQ(Params(f->OperationAt(12)), (Lines{"Level@1"}));
    EXPECT_NE(f->OperationAt(0)->ParamAt(1), f->OperationAt(12)->ParamAt(1)); // two clones
    EXPECT_EQ(Params(f->OperationAt(1)), (Lines{"Zero@1"}));  // no ParamPos: position 0
    EXPECT_EQ(Params(f->OperationAt(2)), (Lines{"Empty@1"})); // an empty ParamPos reads as 0
    EXPECT_EQ(Params(f->OperationAt(3)), (Lines{"First@1", "Second@2"}));
    EXPECT_EQ(Params(f->OperationAt(4)), (Lines{"A@1", "C@2"}));
    EXPECT_EQ(Params(f->OperationAt(14)), (Lines{"Far@1"}));
    EXPECT_EQ(f->OperationAt(4)->ParamAt(2)->MsgBitPos(), 8u);
    EXPECT_EQ(f->OperationAt(4)->GetSize(), 3u);
    EXPECT_EQ(f->OperationAt(4)->ParamAt(0), nullptr); // position 0 stays empty
}

TEST_F(OperationTest, PositionAndOpTypeErrors) {
    Imported r = Run(Prop(PU("A", Op("PReportStatus", "1")) +
                          // Set is assigned before Status fails: the clone in Set stays.
                          PU("B", Op("PCmdSet", "1") + Op("PReportStatus", "1")) +
                          PU("Bad", Op("PCmdGet", "x1")) + PU("Big", Op("PCmdGet", "256")) +
                          PU("Neg", Op("PCmdGet", "-1")) +
                          PU("Twice", Op("PCmdGet") + "<Group>" + Op("PCmdGet", "2") + "</Group>") +
                          PU("Nested", "<Group>" + Op("PCmdSetGet") + "</Group>") +
                          "<PUParam><ParamName>NoHolder</ParamName><ParamDescription>d"
                          "</ParamDescription><PUParamType>" +
                          NumberType() + "</PUParamType></PUParam>" +
                          // Any holder name counts, whatever the parameter element.
                          "<PUParam><ParamName>Other</ParamName><ParamDescription>d"
                          "</ParamDescription><PUParamType>" +
                          NumberType() + "</PUParamType><ERParamOPType>" + Op("PReportError") +
                          "</ERParamOPType></PUParam>"));
    const char* in = "Error #0130 in '//Amp/Inst00/F':";
    EXPECT_EQ(Messages(r.log), (Lines{"Error #0134 in '//Amp/Inst00/F':",
                                      "  Position 1 of 'Status' already occupied",
                                      in,
                                      "  Failed to assign parameter 'B' to operation",
                                      "Error #0131 in '//Amp/Inst00/F':",
                                      "  Failed to analyze value 'x1'",
                                      in,
                                      "  Failed to assign parameter 'Bad' to operation",
                                      "Error #0132 in '//Amp/Inst00/F':",
                                      "  Invalid parameter position 256",
                                      in,
                                      "  Failed to assign parameter 'Big' to operation",
                                      "Error #0132 in '//Amp/Inst00/F':",
                                      "  Invalid parameter position -1",
                                      in,
                                      "  Failed to assign parameter 'Neg' to operation",
                                      "Error #0135 in '//Amp/Inst00/F':",
                                      "  Missing OpType info",
                                      in,
                                      "  Failed to assign parameter 'Twice' to operation",
                                      in,
                                      "  Failed to assign parameter 'NoHolder' to operation"}));
    YMTFunction* f = Fn(r);
    EXPECT_EQ(Params(f->OperationAt(12)), (Lines{"A@1"}));
    EXPECT_EQ(Params(f->OperationAt(0)), (Lines{"B@1"}));
    EXPECT_EQ(f->OperationAt(1), nullptr);
    EXPECT_EQ(Params(f->OperationAt(2)), (Lines{"Nested@1"}));
    EXPECT_EQ(Params(f->OperationAt(15)), (Lines{"Other@1"}));
    // Failed assignments are errors of the function; the parameters that
    // were assigned stay.
    EXPECT_EQ(f->Flags, kFunctionErrors | kFunctionSimpleStatus);
}

TEST_F(OperationTest, OperationNamesFollowTheFunctionKind) {
    std::string propertyOps = Op("PCmdSet") + Op("PCmdGet") + Op("PCmdSetGet") +
                              Op("PCmdIncrement") + Op("PCmdDecrement") + Op("PCmdGetInterface") +
                              Op("PReportStatus") + Op("PReportInterface") + Op("PReportError");
    std::string methodOps =
        Op("MCmdStart") + Op("MCmdAbort") + Op("MCmdStartResult") + Op("MCmdGetInterface") +
        Op("MCmdStartResultAck") + Op("MCmdAbortAck") + Op("MCmdStartAck") + Op("MReportErrorAck") +
        Op("MReportProcessingAck") + Op("MReportProcessing") + Op("MReportResult") +
        Op("MReportResultAck") + Op("MReportInterface") + Op("MReportError");
    Imported r = Run(Prop(PU("P", propertyOps)) + Meth(Param("MU", "M", NumberType(), methodOps)) +
                     // One XXXnotyetXXX element stands for every OpType that has
                     // that name, as a property element or as a method element.
                     Prop(PU("N", Op("XXXnotyetXXX")), "NotYetP", "0x101") +
                     Meth(Param("MU", "N", NumberType(), Op("XXXnotyetXXX")), "NotYetM", "0x201") +
                     Prop(PU("Two", Op("XXXnotyetXXX") + Op("XXXnotyetXXX", "2")) +
                              PU("Keep", Op("PReportStatus")),
                          "NotYet2", "0x102"));
    EXPECT_EQ(Messages(r.log),
              (Lines{"Error #0135 in '//Amp/Inst00/NotYet2':", "  Missing OpType info",
                     "Error #0130 in '//Amp/Inst00/NotYet2':",
                     "  Failed to assign parameter 'Two' to operation"}));
    EXPECT_EQ(OpNames(Fn(r, 0x100)), "Set Get SetGet Increment Decrement GetInterface - - - - - - "
                                     "Status - Interface Error");
    EXPECT_EQ(OpNames(Fn(r, 0x200)), "Start Abort StartResult - - GetInterface StartResultAck "
                                     "AbortAck StartAck ErrorAck ProcessingAck Processing Result "
                                     "ResultAck Interface Error");
    EXPECT_EQ(OpNames(Fn(r, 0x101)), "- - - Increment Decrement - Reserved OpType7 OpType8 OpType9 "
                                     "OpTypeA OpTypeB - OpTypeD - -");
    EXPECT_EQ(OpNames(Fn(r, 0x201)), "- - - OpType3 OpType4 - StartResultAck AbortAck StartAck "
                                     "ErrorAck ProcessingAck Processing - ResultAck - -");
    for (uint32_t t : {3u, 4u, 6u, 13u}) {
        ASSERT_NE(Fn(r, 0x101)->OperationAt(t), nullptr);
        EXPECT_EQ(Params(Fn(r, 0x101)->OperationAt(t)), (Lines{"N@1"})) << t;
        EXPECT_EQ(Fn(r, 0x101)->OperationAt(t)->OpType, t);
    }
    EXPECT_EQ(OpNames(Fn(r, 0x102)), "- - - - - - - - - - - - Status - - -");
}

TEST_F(OperationTest, VoidParametersNeverSurvive) {
    Imported r =
        Run(Meth(Param("MU", "Nothing", VoidType(), Op("MCmdStart") + Op("MReportResult", "2")) +
                 Param("MU", "Code", NumberType(), Op("MReportResult", "1")) +
                 Param("MU", "", VoidType(), Op("MCmdAbort", ""))));
    EXPECT_EQ(Messages(r.log), Lines{}) << r.log;
    YMTFunction* m = Fn(r, 0x200);
    ASSERT_NE(m->OperationAt(0), nullptr);
    EXPECT_EQ(m->OperationAt(0)->GetCount(), 0u);
    EXPECT_EQ(FirstParam(*m->OperationAt(0)), nullptr);
    EXPECT_FALSE(FirstParamIsVoid(*m->OperationAt(0)));
    EXPECT_EQ(Params(m->OperationAt(12)), (Lines{"Code@1"}));
    ASSERT_NE(m->OperationAt(1), nullptr);
    EXPECT_EQ(m->OperationAt(1)->GetCount(), 0u);
    EXPECT_FALSE(FunctionHasParamType(*m, kNodeVoid));
}

TEST_F(OperationTest, BitLayoutAndUnspecifiedLength) {
    std::string status = PU("B", Op("PReportStatus", "1")) +
                         PU("W", Op("PReportStatus", "2"), NumberType("type_signed_word")) +
                         PU("E", Op("PReportStatus", "3"), EnumType(300)) +
                         PU("L", Op("PReportStatus", "4"), NumberType("type_unsigned_long")) +
                         PU("T", Op("PReportStatus", "5"), StringType()) +
                         PU("After", Op("PReportStatus", "6"));
    std::string set = PU("Open", Op("PCmdSet", "1"), ArrayType(NumberType(), "")) +
                      PU("Next", Op("PCmdSet", "2")) +
                      PU("Open2", Op("PCmdSet", "3"), ArrayType(NumberType(), "")) +
                      PU("Last", Op("PCmdSet", "4"));
    std::string get = PU("Fixed", Op("PCmdGet", "1"), ArrayType(NumberType(), "4")) +
                      PU("Tail", Op("PCmdGet", "2"), ArrayType(NumberType(), ""));
    Imported r = Run(Prop(status + set + get));
    EXPECT_EQ(Messages(r.log),
              (Lines{"Warning #0208 in '//Amp/Inst00/F/Set':",
                     "  Parameter 'Next' follows a parameter with unspecified length ('Open'). "
                     "Message may not disassemble properly."}));
    YMTFunction* f = Fn(r);
    YMTOperation* st = f->OperationAt(12);
    const std::pair<const char*, uint32_t> kStatus[] = {{"B", 0},  {"W", 8},  {"E", 24},
                                                        {"L", 40}, {"T", 72}, {"After", kNoBitPos}};
    uint32_t pos = 1;
    for (auto [name, bit] : kStatus) {
        YMTParam* p = st->ParamAt(pos++);
        ASSERT_NE(p, nullptr) << name;
        EXPECT_EQ(p->NameRef(), name);
        uint32_t v = 0;
        ASSERT_EQ(p->GetAttrInt(1005, &v), 0u);
        EXPECT_EQ(v, bit) << name;
    }
    EXPECT_EQ(f->OperationAt(0)->ParamAt(1)->MsgBitPos(), 0u);
    EXPECT_EQ(f->OperationAt(0)->ParamAt(2)->MsgBitPos(), kNoBitPos);
    // A fixed array has no bit width either, but nothing unspecified before
    // the open array that ends the operation.
    EXPECT_EQ(f->OperationAt(1)->ParamAt(1)->MsgBitPos(), 0u);
    EXPECT_EQ(f->OperationAt(1)->ParamAt(2)->MsgBitPos(), kNoBitPos);
}

TEST_F(OperationTest, ErrorParameterTemplates) {
    std::string templates =
        "<Templates>" +
        ErrorParam(" ParamDefId=\"Code\"", "Code", NumberType(), Op("PReportError", "1")) +
        ErrorParam(" ParamDefId=\"Info\"", "Info", NumberType("type_unsigned_word"),
                   Op("PReportError", "2")) +
        // The first template of a name wins; this one is dropped silently.
        ErrorParam(" ParamDefId=\"Code\"", "Other", NumberType(), Op("PReportError", "1")) +
        ErrorParam(" ParamDefId=\"Broken\"", "Broken", "<TUnknown/>", Op("PReportError")) +
        ErrorParam(" ParamDefId=\"NoOp\"", "NoOp", NumberType(), "") +
        // Templates that name each other: the ParamDefId decides.
        ErrorParam(" ParamDefId=\"Ping\" ParamDefRef=\"Pong\"", "Ping", NumberType(),
                   Op("MReportError", "1")) +
        ErrorParam(" ParamDefId=\"Pong\" ParamDefRef=\"Ping\"", "Pong", NumberType(),
                   Op("MReportError", "2")) +
        "</Templates>";
    std::string own = PU("Value", Op("PReportStatus"));
    Imported r = Run(
        Prop(own + "<ERParam ParamDefRef=\"Info\"/><ERParam ParamDefRef=\"Code\"/>", "Both", "1") +
            Prop(own + "<ERParam ParamDefRef=\"Nope\"/><ERParam ParamDefRef=\"Broken\"/>" +
                     ErrorParam("", "Own", NumberType(), Op("PReportError")),
                 "Unknown", "2") +
            Prop(own + ErrorParam("", "Mine", NumberType(), Op("PReportError", "1")) +
                     "<ERParam ParamDefRef=\"Code\"/>",
                 "Clash", "3") +
            Meth("<ERParam ParamDefRef=\"Pong\"/><ERParam ParamDefRef=\"Ping\"/>", "Cross", "4"),
        templates);
    EXPECT_EQ(Messages(r.log),
              (Lines{"Warning #0128 in '//Temp_ERFunction_Broken':",
                     "  Unknown parameter type in <ERParam>",
                     "Error #0148 in '/':",
                     "  Failed to import element <ERParam>",
                     "Error #0135 in '//Temp_ERFunction_NoOp':",
                     "  Missing OpType info",
                     "Error #0130 in '//Temp_ERFunction_NoOp':",
                     "  Failed to assign parameter 'NoOp' to operation",
                     "Error #0148 in '/':",
                     "  Failed to import element <ERParam>",
                     "Error #0126 in '//Amp/Inst00/Unknown':",
                     "  Can not find definition of function 'Temp_ERFunction_Nope'",
                     "Error #0126 in '//Amp/Inst00/Unknown':",
                     "  Can not find definition of function 'Temp_ERFunction_Broken'",
                     "Error #0104 in '//Amp/Inst00/Clash/Error':",
                     "  Position 1 of 'Error' already occupied",
                     "Error #0136 in '//Amp/Inst00/Clash':",
                     "  Merge of 'Error' failed",
                     "Error #0127 in '//Amp/Inst00/Clash':",
                     "  Merge of 'Temp_ERFunction_Code' failed"}));

    // Templates keep their positions (a gap is no reason to compact a
    // template); the function compacts the merged list.
    YMTFunction* both = Fn(r, 1);
    EXPECT_EQ(Params(both->OperationAt(15)), (Lines{"Code@1", "Info@2"}));
    EXPECT_EQ(both->OperationAt(15)->ParamAt(2)->MsgBitPos(), 8u);
    EXPECT_EQ(both->OperationAt(15)->Parent(), both);
    EXPECT_EQ(Params(both->OperationAt(12)), (Lines{"Value@1"}));

    // An unknown template leaves the other parameters in place.
    YMTFunction* unknown = Fn(r, 2);
    EXPECT_EQ(Params(unknown->OperationAt(12)), (Lines{"Value@1"}));
    EXPECT_EQ(Params(unknown->OperationAt(15)), (Lines{"Own@1"}));
    EXPECT_EQ(unknown->Flags & kFunctionErrors, kFunctionErrors);

    YMTFunction* clash = Fn(r, 3);
    EXPECT_EQ(Params(clash->OperationAt(15)), (Lines{"Mine@1"}));

    // A template operation cloned into a function keeps the template's name.
    YMTFunction* cross = Fn(r, 4);
    EXPECT_EQ(Params(cross->OperationAt(15)), (Lines{"Ping@1", "Pong@2"}));
    EXPECT_EQ(cross->OperationAt(15)->NameRef(), "Error");
    EXPECT_EQ(cross->OperationAt(15)->PathName(), "//Amp/Inst00/Cross/Error");
}

TEST_F(OperationTest, TemplatesInsideFunctionsAreDeclaredAndUsed) {
    // An ERParam with ParamDefId inside a function declares a template and is
    // merged from it right there; another function refers to it.
    Imported r =
        Run(Prop(PU("Value", Op("PReportStatus")) +
                     ErrorParam(" ParamDefId=\"Err\"", "Reason", EnumType(), Op("PReportError")),
                 "Declares", "1") +
            Prop(PU("Value", Op("PReportStatus")) + "<ERParam ParamDefRef=\"Err\"/>", "Uses", "2"));
    EXPECT_EQ(Messages(r.log), Lines{}) << r.log;
    for (uint32_t id : {1u, 2u}) {
        YMTOperation* error = Fn(r, id)->OperationAt(15);
        ASSERT_NE(error, nullptr) << id;
        EXPECT_EQ(Params(error), (Lines{"Reason@1"}));
        EXPECT_EQ(error->ParamAt(1)->NodeType(), kNodeEnum);
        EXPECT_EQ(error->ParamAt(1)->SymID(), "Reason");
    }
}

TEST_F(OperationTest, DefaultErrorParametersReplaceTheirElements) {
    std::string params = PU("Value", Op("PReportStatus")) +
                         ErrorParam("", "errorcode", NumberType(), Op("PReportError", "1")) +
                         ErrorParam("", "ErrorInfo", NumberType(), Op("PReportError", "2"));
    Imported r = Run(Prop(params));
    EXPECT_EQ(Messages(r.log), Lines{}) << r.log;
    YMTOperation* error = Fn(r)->OperationAt(15);
    EXPECT_EQ(Params(error), (Lines{"ErrorCode@1", "ErrorInfo@2"}));
    EXPECT_EQ(error->ParamAt(1)->NodeType(), kNodeEnum);
    EXPECT_EQ(error->ParamAt(2)->NodeType(), kNodeDetailedStream);
    EXPECT_EQ(error->ParamAt(2)->MsgBitPos(), 8u);

    UseProfile("[MOSTImport]\nUseDefaultErrorParameters=0\n");
    r = Run(Prop(params));
    error = Fn(r)->OperationAt(15);
    EXPECT_EQ(Params(error), (Lines{"errorcode@1", "ErrorInfo@2"}));
    EXPECT_EQ(error->ParamAt(1)->NodeType(), kNodeNumber);
    EXPECT_EQ(error->ParamAt(2)->NodeType(), kNodeNumber);
}

TEST_F(OperationTest, OperationNodeAttributesCopyAndDump) {
    Imported r = Run(Prop(PU("Level", Op("PCmdSet") + Op("PReportStatus")) +
                          PU("Mode", Op("PReportStatus", "2"), EnumType())));
    YMTOperation* st = Fn(r)->OperationAt(12);
    const std::pair<uint32_t, uint32_t> kInts[] = {{0, 5}, {1, 4}, {4, 12}, {401, 12}};
    for (auto [attr, value] : kInts) {
        uint32_t v = 0;
        ASSERT_EQ(st->GetAttrInt(attr, &v), 0u) << attr;
        EXPECT_EQ(v, value) << attr;
    }
    uint32_t v = 0;
    EXPECT_EQ(st->GetAttrInt(301, &v), 1u);
    const char* s = nullptr;
    ASSERT_EQ(st->GetAttrStr(3, &s), 0u);
    EXPECT_STREQ(s, "Status");
    EXPECT_EQ(st->GetAttrStr(300, &s), 1u);
    YMTNode* const* items = nullptr;
    uint32_t count = 0;
    ASSERT_EQ(st->GetSubItemList(kItemParam, &items, &count), 0u);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(items[0], nullptr);
    EXPECT_EQ(items[2], st->ParamAt(2));

    std::unique_ptr<YMTNode> clone(st->Clone());
    ASSERT_NE(clone, nullptr);
    auto* copy = static_cast<YMTOperation*>(clone.get());
    EXPECT_EQ(copy->OpType, 12u);
    EXPECT_EQ(Params(copy), (Lines{"Level@1", "Mode@2"}));
    EXPECT_NE(copy->ParamAt(1), st->ParamAt(1));
    EXPECT_EQ(copy->ParamAt(1)->Parent(), copy);
    EXPECT_EQ(copy->ParamAt(2)->MsgBitPos(), 8u);

    std::string dump = DumpText(*st);
    EXPECT_EQ(dump.substr(0, dump.find("\t\t\t\t\tPARAM")), "\t\t\t\tOPERATION: Status\n"
                                                            "\t\t\t\t.OpType: 12\n"
                                                            "\t\t\t\t.Parent: //Amp/Inst00/F\n"
                                                            "\t\t\t\t.BytesInMsg: 1\n");
    EXPECT_LT(dump.find("PARAMNUMBER: Level"), dump.find("PARAMENUM: Mode"));
}

} // namespace
} // namespace mostfcat
