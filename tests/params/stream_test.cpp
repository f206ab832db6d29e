// String, void and stream parameters: every stream kind, stream cases with
// their members and sequence descriptions, the rebuild from index attributes,
// signals, the checks in an operation, size limits, copies and archive order.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "param_test_util.h"
#include "params/param_number.h"
#include "params/param_stream.h"

namespace mostfcat {
namespace {

using test::Err;
using test::Msgs;
using test::Warn;

// A stream member (a number of the given width unless type is given);
// attrs go into the StreamParam tag.
std::string Member(const std::string& name, const std::string& attrs = "", int width = 1,
                   const std::string& type = "") {
    std::string number = StrFormat(
        R"(<TNumber><Exponent>0</Exponent><BasisDataType><%s TypeRef="%s"/></BasisDataType>)"
        R"(<Unit UnitRef="unit_none"/><Step>1</Step></TNumber>)",
        width == 2 ? "TUWord" : "TUByte", width == 2 ? "type_unsigned_word" : "type_unsigned_byte");
    return "<StreamParam" + attrs + "><ParamName>" + name + "</ParamName><ParamType>" +
           (type.empty() ? number : type) + "</ParamType></StreamParam>";
}
std::string Typed(const std::string& name, const std::string& type) {
    return Member(name, "", 1, type);
}
std::string Signal(const std::string& name, const std::string& bits,
                   const std::string& attrs = "") {
    return "<StreamSignal" + attrs + "><SignalName>" + name + "</SignalName><SignalBitLength>" +
           bits + "</SignalBitLength></StreamSignal>";
}
std::string Case(const std::string& members, const std::string& description,
                 const std::string& posAttrs = "", const std::string& caseAttrs = "") {
    return "<StreamCase" + caseAttrs + ">" + members + "<PosDescription" + posAttrs + ">" +
           description + "</PosDescription></StreamCase>";
}
std::string Param(const std::string& name, const std::string& type) {
    return "<PUParam><ParamName>" + name + "</ParamName><PUParamType>" + type +
           "</PUParamType></PUParam>";
}
std::string Stream(const std::string& name, const std::string& cases,
                   const std::string& attrs = "") {
    return Param(name, "<TStream" + attrs + ">" + cases + "</TStream>");
}

template <class T> T* As(YMTNode* node, uint32_t type) {
    EXPECT_TRUE(node && node->NodeType() == type) << "expected node type " << type;
    return node && node->NodeType() == type ? static_cast<T*>(node) : nullptr;
}
// "name@pos/seq" of the members of a case, in position order, then the
// selector and its range; "!" marks a member with a wrong position or parent.
std::string Layout(const YMTParamDetailedStreamBase& s, uint32_t index = 1) {
    const YMTParamStreamCase* c = s.CaseAt(index);
    if (!c) return "(no case)";
    std::string out;
    ForEachChild(*c, [&](uint32_t pos, YMTNode* n) {
        auto* p = static_cast<YMTParam*>(n);
        out += StrFormat("%s@%u", p->NameRef().c_str(), pos);
        if (p->SeqIndex() != 0) out += StrFormat("/%u", p->SeqIndex());
        out += p->ParamPos() != pos || p->Parent() != c ? "! " : " ";
    });
    return out + StrFormat("| %s %u..%u", c->PosXString().c_str(), c->PosYMin(), c->PosYMax());
}
const char* const kWhere = "/Data/StreamCase";

class StreamTest : public test::ParamTest {
protected:
    std::unique_ptr<YMTParamDetailedStream> Detailed(const std::string& cases,
                                                     const std::string& attrs = "") {
        return ImportParam<YMTParamDetailedStream>(Stream("Data", cases, attrs));
    }
    YMTParamDetailedStream* PutStream(const std::string& cases, uint32_t pos,
                                      const std::string& attrs = "") {
        auto s = Detailed(cases, attrs);
        EXPECT_EQ(m_Msgs, Msgs{}) << cases;
        return Put(s.release(), pos);
    }
    YMTParamNumber* PutNumber(const char* name, uint32_t pos, YMTOperation* op = nullptr) {
        auto* n = new YMTParamNumber();
        n->SetName(name);
        n->SetBytesInMsg(1);
        return Put(n, pos, op);
    }
    // Checks the parameters of an operation (without its own layout steps).
    Msgs CheckParams(bool expectOk = true, YMTOperation* op = nullptr) {
        test::LogCapture capture;
        EXPECT_EQ((op ? op : m_Op)->CheckAll(m_Ctx, capture.Log()), expectOk);
        return test::JoinMessages(capture.Lines());
    }
};

// --- simple classes and the dispatcher ---------------------------------------------------

TEST_F(StreamTest, SimpleClasses) {
    struct {
        const char* size;
        int32_t maxSize;
    } sizes[] = {{"20", 20}, {nullptr, -1}, {" 20", -1}, {"0x10", -1}, {"99999999999", INT32_MAX}};
    for (const auto& c : sizes) {
        std::string attr = c.size ? StrFormat(" MaxSize=\"%s\"", c.size) : "";
        auto s = ImportParam<YMTParamString>(Param("", "<TString" + attr + "/>"));
        EXPECT_EQ(s->MaxSize(), c.maxSize) << attr;
    }
    EXPECT_EQ(ImportParam<YMTParamVoid>(Param("", "<TVoid/>"))->NameRef(), "Void");
    // The function-identifier list is always BitField; nothing else is read.
    auto f = ImportParam<YMTParamFktIDBitStream>(Param("bitfield", "<TStream/>"));
    EXPECT_EQ(f->NameRef(), "BitField");
    EXPECT_EQ(std::pair(f->ParamMeaning(), f->ParamDispMode()), std::pair(16u, 2u));

    EXPECT_EQ(ImportParam<YMTParamRawStream>(Stream("", "", R"( Length="12")"))->Length(), 12u);
    for (const char* attrs : {"", R"( Length="-3")", R"( Length="0x1FFFFFFFF")"}) {
        auto r = ImportParam<YMTParamRawStream>(Stream("", "", attrs));
        EXPECT_EQ(r->Length(), 0u) << attrs;
        EXPECT_TRUE(r->HasUnspecifiedLength());
    }
}

TEST_F(StreamTest, DispatcherChoosesTheStreamClasses) {
    // No case, or one case without members, is a raw stream.
    EXPECT_EQ(Dispatch(Stream("A", "")), uint32_t(kNodeRawStream));
    EXPECT_EQ(Dispatch(Stream("A", Case("", "x"))), uint32_t(kNodeRawStream));
    EXPECT_EQ(Dispatch(Stream("A", Case(Signal("B", "3"), "B"))), uint32_t(kNodeDetailedStream));
    EXPECT_EQ(Dispatch(Stream("A", Case("", "") + Case("", ""))), uint32_t(kNodeDetailedStream));
    EXPECT_EQ(Dispatch(Param("A", "<TShortStream/>")), uint32_t(kNodeRawShortStream));
    EXPECT_EQ(Dispatch(Param("A", "<TShortStream>" + Case(Member("B"), "B") + "</TShortStream>")),
              uint32_t(kNodeDetailedShortStream));
    // BitField is the function-identifier list only in the function FktIDs.
    EXPECT_EQ(Dispatch(Stream("BitField", ""), false, "fktids"), uint32_t(kNodeFktIDBitStream));
    EXPECT_EQ(Dispatch(Stream("BitField", ""), false, "Func"), uint32_t(kNodeRawStream));
    // With the error defaults ErrorInfo is the built-in stream.
    EXPECT_EQ(Dispatch(Param(" errorINFO ", "<TNumber/>"), true), uint32_t(kNodeDetailedStream));
    EXPECT_EQ(Dispatch(Param("ErrorInfo", "<TString/>"), false), uint32_t(kNodeString));
}

TEST_F(StreamTest, ShortAndClassifiedStreamsBuildTheirLengthFields) {
    auto s = ImportParam<YMTParamRawShortStream>(Param("", R"(<TShortStream MaxLength="300"/>)"));
    EXPECT_EQ(m_Msgs, Msgs{Warn(226, "/ShortStream",
                                "Value 300 out of range [0,256). Using 255 instead.")});
    s = ImportParam<YMTParamRawShortStream>(Param("S", R"(<TShortStream MaxLength="100"/>)"));
    auto* length = As<YMTParamNumber>(s->FindChild("length"), kNodeNumber);
    ASSERT_TRUE(length && s->GetAt(2));
    EXPECT_EQ(length->RangeMax(), 100.0);
    EXPECT_EQ(length->ParamMeaning(), 13u);
    EXPECT_TRUE(length->IsSelector());
    EXPECT_EQ(As<YMTParamRawStream>(s->GetAt(2), kNodeRawStream)->Length(), 100u);

    auto c = ImportParam<YMTParamCStream>(Param("C", R"(<TCStream MaxLength="70000"/>)"));
    EXPECT_EQ(m_Msgs,
              Msgs{Warn(227, "/C", "Value 70000 out of range [0,65536). Using 65535 instead.")});
    ASSERT_TRUE(As<YMTParamNumber>(c->GetAt(1), kNodeNumber) && c->GetAt(2) && c->GetAt(3));
    EXPECT_EQ(static_cast<YMTParamNumber*>(c->GetAt(1))->RangeMin(), 1.0);
    EXPECT_TRUE(As<YMTParamString>(c->GetAt(2), kNodeString)->IsSelector());
    EXPECT_EQ(As<YMTParamRawStream>(c->GetAt(3), kNodeRawStream)->Length(), 65535u);

    // The detailed short stream keeps its length at index 0, before the cases.
    auto d = ImportParam<YMTParamDetailedShortStream>(
        Param("Msg", "<TShortStream>" + Case(Member("A"), "A", R"( PosX="Sel" PosY="1")") +
                         Case(Member("B"), "B", R"( PosX="Sel" PosY="2")") + "</TShortStream>"));
    EXPECT_EQ(As<YMTParamNumber>(d->GetAt(0), kNodeNumber)->ParamMeaning(), 13u);
    EXPECT_EQ(d->FindStreamCase(0), nullptr);
    EXPECT_EQ(d->FindStreamCase(2), d->CaseAt(2));
}

// --- members and cases ---------------------------------------------------------------------

TEST_F(StreamTest, SignalsPackBitsAndDropFailures) {
    auto s = Detailed(Case(Signal("A", "3", R"( Signedness="Signed")") + Signal("Big", "65") +
                               Signal("B", "5") + Signal("C", "12") +
                               "<StreamSignal><SignalName>D</SignalName></StreamSignal>" +
                               Signal("E", "x1") + Signal("F", "0") + Signal("G", "64"),
                           "A,B,C,F,G", "", R"( ByteOrder="LittleEndian")"));
    const std::string where = std::string(kWhere) + "/";
    EXPECT_EQ(m_Msgs, (Msgs{Err(229, where + "Big", "Value '65' out of range [0, 64)"),
                            Err(230, where + "D", "Can not find child element <SignalBitLength>"),
                            Err(228, where + "E", "Failed to analyze value 'x1'")}));
    EXPECT_EQ(Layout(*s), "A@1 B@2 C@3 F@4 G@5 |  0..0");
    auto signal = [&](uint32_t pos) {
        return As<YMTParamSignal>(s->CaseAt(1)->GetAt(pos), kNodeSignal);
    };
    EXPECT_EQ(signal(2)->BitPos(), 3u); // the failed signal does not move the position
    EXPECT_EQ(signal(3)->BitPos(), 8u);
    EXPECT_EQ(signal(3)->BytesInMsg(), 2u);
    EXPECT_TRUE(signal(4)->HasNoBits());
    EXPECT_EQ(signal(5)->BytesInMsg(), 8u);

    // A leading digit is adapted as in parameter names, so that the rebuilt
    // sequence still finds the signal.
    s = Detailed(Case(Signal("2nd", "4", R"( SignalIdx="1")"), "-"));
    const std::string adapted = "Adapted parameter name due to leading digit ('_2nd').";
    EXPECT_EQ(m_Msgs, (Msgs{Warn(221, where + "_2nd", adapted), Warn(222, kWhere, adapted)}));
    EXPECT_EQ(Layout(*s), "_2nd@1 |  0..0");
}

TEST_F(StreamTest, MembersDroppedRenamedOrKept) {
    auto s = Detailed(Case(Member("Mode") + Typed("List", "<TArray/>") + Typed("Gap", "<TVoid/>") +
                               Typed("Odd", "<TWhatever/>") + Typed("Rec", "<TRecord/>") +
                               Typed("Broken", "<TNumber><Exponent>0</Exponent></TNumber>") +
                               Member("mode") + Member("Mode") + Typed("Text", "<TString/>"),
                           "Mode,Mode_1,Mode_2,Text"));
    const std::string notAllowed = "Parameter type not allowed in this context";
    auto renamed = [](const char* from, const char* to) {
        return StrFormat("Double definition of StreamParam/StreamSignal name '%s'. "
                         "StreamParam/StreamSignal will be renamed to '%s'.",
                         from, to);
    };
    EXPECT_EQ(m_Msgs, (Msgs{Warn(157, kWhere, notAllowed),
                            Warn(20, kWhere, "Unknown parameter type in <StreamParam>"),
                            Warn(157, kWhere, notAllowed),
                            Err(71, std::string(kWhere) + "/Broken",
                                "Can not find element <BasisDataType>"),
                            Warn(21, kWhere, "Failed to import element <StreamParam>"),
                            Warn(165, kWhere, renamed("mode", "mode_1")),
                            Warn(165, kWhere, renamed("Mode", "Mode_2"))}));
    EXPECT_EQ(Layout(*s), "Mode@1 mode_1@2 Mode_2@3 Text@4 |  0..0");
}

TEST_F(StreamTest, CasesTakeSelectorsFromPosXAndPosY) {
    auto s = Detailed("<StreamCase>" + Member("A") + "</StreamCase>" +
                      Case(Member("B"), "B", R"( PosY="1..x")") +
                      Case(Member("C"), "C", R"( PosY="-2")") +
                      Case(Member("Speed"), "Speed", R"( PosX=" Mode " PosY="1..3")") +
                      Case(Member("Count") + Member("Level"), "X=9..9=Count\nY=7=Level",
                           R"( PosX="2ndSel" PosY="3..5")") +
                      Case("", "", R"( PosY="0x10..0x1F")"));
    EXPECT_EQ(m_Msgs,
              (Msgs{Err(158, kWhere, "Can not find element <PosDescription>"),
                    Err(17, kWhere, "Failed to analyze value '1..x'"),
                    Err(17, kWhere, "Failed to analyze value '-2'"),
                    Warn(221, kWhere, "Adapted parameter name due to leading digit ('_2ndSel')."),
                    Warn(35, "/Data", "Overlapping streamcase(s)")}));
    ASSERT_EQ(s->GetSize(), 4u);
    EXPECT_EQ(Layout(*s, 1), "Speed@1 | Mode 1..3");
    // With several case elements only the first line of a description counts.
    EXPECT_EQ(Layout(*s, 2), "Count@1 | _2ndSel 3..5");
    EXPECT_EQ(Layout(*s, 3), "|  16..31");
    EXPECT_EQ(s->FindStreamCase(3), s->CaseAt(1)); // the first in list order
    EXPECT_EQ(s->FindStreamCase(6), nullptr);

    s = ImportParam<YMTParamDetailedStream>(Stream("", "", R"( Length="4")"));
    EXPECT_EQ(m_Msgs, Msgs{Warn(31, "/Stream", "Can not find element <StreamCase>")});
    EXPECT_EQ(std::pair(s->GetSize(), s->Length()), std::pair(0u, 4u));
}

TEST_F(StreamTest, DescriptionLinesOfOneCaseElementGiveOneCaseEach) {
    auto s = Detailed(Case(Member("Speed") + Member("Count") + Member("Level"),
                           "&amp;lt;Mode=1..3=Speed, Count&amp;gt;\n  Mode = 4 = {Level}\n\n "
                           "Other=0x10;x=Count\nbad name=5=Level\n===\n"));
    EXPECT_EQ(m_Msgs, Msgs{});
    ASSERT_EQ(s->GetSize(), 5u);
    EXPECT_EQ(Layout(*s, 1), "Speed@1 Count@2 | Mode 1..3");
    EXPECT_EQ(Layout(*s, 2), "Level@1 | Mode 4..4");
    EXPECT_EQ(Layout(*s, 3), "Count@1 | Other 16..16");
    EXPECT_EQ(Layout(*s, 4), "Level@1 | badname 5..5");

    // An unknown name is reported and clears the repetition marks of its
    // case; a second A in the fixed part becomes A_1, which is no member.
    s = Detailed(Case(Member("A") + Member("B"), "S=1={A,{B}}\nS=2={A,{B,Ghost}}\nS=3=A,A,B"));
    EXPECT_EQ(m_Msgs, (Msgs{Warn(160, kWhere, "Definition of parameter Ghost is missing"),
                            Warn(160, kWhere, "Definition of parameter A_1 is missing")}));
    EXPECT_EQ(Layout(*s, 1), "A@1 B@2/1 | S 1..1");
    EXPECT_EQ(Layout(*s, 2), "A@1 B@2 | S 2..2");
    EXPECT_TRUE(s->CaseAt(2)->SeqPositions().empty());
    EXPECT_EQ(Layout(*s, 3), "A@1 B@3 | S 3..3");
}

TEST_F(StreamTest, RepeatedGroups) {
    struct {
        const char* description;
        const char* layout;
        std::vector<uint16_t> positions;
    } cases[] = {{"{A,{B,C}}", "A@1 B@2/2 C@3/2", {2, 3}},
                 {"{A,{B,C,B}}", "A@1 B@2/2 C@3/2", {2, 3}}, // a repeated name counts once
                 {"A,{A,B}", "A@1/2 B@2/2", {1, 2}},         // a fixed name joins the group
                 {"{{C}}", "C@1/1", {1}},
                 {"{C}", "C@1", {}}, // only the outer braces
                 {"A,B,{}", "A@1 B@2", {}}};
    for (const auto& c : cases) {
        auto s = Detailed(Case(Member("A") + Member("B") + Member("C"), c.description));
        EXPECT_EQ(Layout(*s), std::string(c.layout) + " |  0..0") << c.description;
        EXPECT_EQ(s->CaseAt(1)->SeqPositions(), c.positions) << c.description;
        EXPECT_EQ(s->CaseAt(1)->SeqCnt(), c.positions.size()) << c.description;
    }
}

// A description that names no member makes the importer rebuild the order
// from the index attributes; what cannot be rebuilt leaves the case empty.
TEST_F(StreamTest, SequenceRebuiltFromIndexAttributes) {
    const std::string gaveUp =
        Warn(159, kWhere,
             "Unable to reconstruct parameter sequence in <StreamCase>. Check attribute "
             "'ParamIdx' in <StreamParam> and <PosDescrition>.");
    const std::string cant =
        "Can't reconstruct sequence of parameters (check attribute 'ParamIdx' of StreamParams)";
    const std::string shifted = Warn(231, kWhere,
                                     "Attribute 'ParamIdx=\"0\"' is not allowed. Now incrementing "
                                     "all indices by one for this stream.");
    auto invalid = [&](const char* idx) {
        return Err(
            162, kWhere,
            StrFormat("Failed to analyze 'ParamIdx=\"%s\"'. Attribute value is invalid.", idx));
    };
    auto at = [](const char* name, const char* index) {
        return Member(name, StrFormat(R"( ParamIdx="%s")", index));
    };
    std::string noName =
        "<StreamSignal SignalIdx=\"1\"><SignalBitLength>2</SignalBitLength></StreamSignal>";
    struct {
        std::string members;
        const char* layout;
        Msgs msgs;
    } cases[] = {{at("C", "7seq2") + at("A", " 2 ") + at("B", "5SEQ2"),
                  "A@1 B@2/2 C@3/2 ",
                  {}}, // gaps close
                 {at("B", "1") + at("A", "0") + at("C", "3"), "A@1 B@2 C@3 ", {shifted}},
                 {at("A", "1") + Member("B"),
                  "",
                  {Err(161, kWhere, "Missing required attribute ParamIdx"), gaveUp}},
                 {at("A", "1") + at("B", "1"), "", {Err(166, kWhere, cant), gaveUp}},
                 {at("A", "1seq3") + at("B", "2seq3"), "", {Err(167, kWhere, cant), gaveUp}},
                 {at("A", "1seq4096"), "", {invalid("1seq4096"), gaveUp}},
                 // Signals: their own attribute and name element; every member element
                 // is read, also one whose member failed.
                 {Signal("A", "4", R"( SignalIdx="2")") + noName,
                  "",
                  {Err(10, std::string(kWhere) + "/", "Can not find element <SignalName>"),
                   Err(163, kWhere, "Can not find element <SignalName>"), gaveUp}},
                 {"", "", {gaveUp}}}; // a single case without members finds nothing
    for (const auto& c : cases) {
        auto s = Detailed(Case(c.members, "?"));
        EXPECT_EQ(m_Msgs, c.msgs) << c.members;
        EXPECT_EQ(Layout(*s), std::string(c.layout) + "|  0..0") << c.members;
    }
}

TEST_F(StreamTest, SizeLimits) {
    const Msgs tooLarge{Warn(240, "/Data",
                             "Stream exceeds the supported size; further stream cases and "
                             "members are dropped.")};
    std::string lines;
    for (int i = 1; i <= 5000; ++i)
        lines += StrFormat("S=%d=A\n", i);
    auto s = Detailed(Case(Member("A"), lines));
    EXPECT_EQ(m_Msgs, tooLarge);
    EXPECT_EQ(s->GetCount(), kMaxStreamCases);
    EXPECT_EQ(s->CaseAt(4095)->PosYMin(), 4095u);

    // A member holding an enumeration of 200 values, named on 100 lines: the
    // copies may not take far more nodes than the catalog text describes.
    std::string values;
    for (int i = 0; i < 200; ++i)
        values += StrFormat(R"(<TEnumValue Code="%d">V</TEnumValue>)", i);
    lines.clear();
    for (int i = 1; i <= 100; ++i)
        lines += StrFormat("S=%d=Inner\n", i);
    s = Detailed(
        Case(Typed("Inner", "<TStream>" + Case(Typed("E", "<TEnum>" + values + "</TEnum>"), "E") +
                                "</TStream>"),
             lines));
    EXPECT_EQ(m_Msgs, tooLarge);
    EXPECT_GT(s->GetCount(), 10u);
    EXPECT_LT(s->GetCount(), 100u);

    // Streams nested 40 levels deep: the 33rd is dropped as a failed member.
    std::string xml = Member("S"), name = "S";
    for (int i = 0; i < 40; ++i) {
        xml = Typed(name + "x", "<TStream>" + Case(xml, name) + "</TStream>");
        name += "x";
    }
    s = Detailed(Case(xml, name));
    EXPECT_TRUE(std::any_of(m_Msgs.begin(), m_Msgs.end(), [](const std::string& m) {
        return m.find("Streams nested more than 32 levels deep are not supported") !=
               std::string::npos;
    }));
    int depth = 0;
    for (YMTNode* n = s.get(); n && n->NodeType() == kNodeDetailedStream; ++depth) {
        auto* c = static_cast<YMTParamDetailedStream*>(n)->CaseAt(1);
        n = c ? c->GetAt(1) : nullptr;
    }
    EXPECT_EQ(depth, 32);
}

// --- checks in an operation ----------------------------------------------------------------

TEST_F(StreamTest, CheckFindsTheSelectorAndBuildsSymbolicIdentifiers) {
    YMTParamNumber* sel = PutNumber("Sel", 1);
    YMTParamDetailedStream* s = PutStream(
        Case(Signal("Mode", "3"), "Mode", R"( PosX="Sel" PosY="3")") +
            Case(Member("Level") + Member("Item"), "{Level,{Item}}", R"( PosX="sel" PosY="4..6")"),
        2);
    EXPECT_EQ(CheckParams(), Msgs{});
    EXPECT_EQ(s->SelectorParam(), sel);
    EXPECT_TRUE(sel->IsSelector());
    YMTParamStreamCase* c1 = s->CaseAt(1);
    YMTParamStreamCase* c2 = s->CaseAt(2);
    EXPECT_EQ(c1->SymID(), "Data(3)");
    EXPECT_EQ(static_cast<YMTParam*>(c1->GetAt(1))->SymID(), "Data(3).Mode");
    EXPECT_EQ(static_cast<YMTParam*>(c2->GetAt(2))->SymID(), "Data(4).Item[1]");
    // A repeated group without count or list size has an open length.
    EXPECT_TRUE(c2->HasUnspecifiedLength() && s->HasUnspecifiedLength());
}

TEST_F(StreamTest, CheckRefusesSelectorsOfOtherKindsPlacesOrCounts) {
    // Another kind of parameter, or a selector after the stream: none.
    Put(ImportParam<YMTParamString>(Param("Txt", "<TString/>")).release(), 1);
    YMTParamDetailedStream* s = PutStream(Case(Signal("M", "3"), "M", R"( PosX="Txt" PosY="3")") +
                                              Case(Signal("N", "3"), "N", R"( PosX="Later")"),
                                          2);
    PutNumber("Later", 3);
    EXPECT_EQ(CheckParams(), Msgs{});
    EXPECT_EQ(s->SelectorParam(), nullptr);
    EXPECT_FALSE(static_cast<YMTParam*>(m_Op->GetAt(1))->IsSelector());
    EXPECT_EQ(s->CaseAt(1)->SymID(), "Data");

    // Two selectors for one stream: the first stays, the second is an error.
    m_Op->RemoveAll();
    PutNumber("A", 1);
    PutNumber("B", 2);
    s = PutStream(Case("", "", R"( PosX="A" PosY="1")") + Case("", "", R"( PosX="B" PosY="2")"), 3);
    EXPECT_EQ(CheckParams(false),
              Msgs{Err(27, "/Func/Status/Data/StreamCase",
                       "Only one selector parameter per stream supported yet")});
    EXPECT_EQ(s->SelectorParam(), m_Op->GetAt(1));

    YMTParamStreamCase orphan; // outside a detailed stream
    EXPECT_EQ(CheckMsgs(orphan, false), Msgs{});
}

TEST_F(StreamTest, CheckCountsRepetitionsFromTheStreamLength) {
    const std::string headLoHi = Member("Head") + Member("Lo") + Member("Hi", "", 2);
    struct {
        const char* length;
        std::string members;
        const char* description;
        uint32_t seqIndexMax;
    } cases[] = {{"10", headLoHi, "{Head,{Lo,Hi}}", 3},
                 {"3", headLoHi, "{Head,{Lo,Hi}}", 0}, // conflicts with the widths
                 {"8", Typed("Blob", R"(<TStream Length="2"/>)") + Member("Lo"), "{Blob,{Lo}}", 6},
                 {"4000000000", Member("Lo"), "{{Lo}}", kMaxSeqIndex},
                 // a member without width ends the sums
                 {"8", Typed("Text", "<TString/>") + Member("Lo"), "{Text,{Lo}}", 0}};
    for (const auto& c : cases) {
        m_Op->RemoveAll();
        YMTParamDetailedStream* s =
            PutStream(Case(c.members, c.description), 1, StrFormat(" Length=\"%s\"", c.length));
        Msgs expected;
        if (std::string(c.length) == "3")
            expected = {Warn(209, "/Func/Status/Data/StreamCase",
                             "Attribute Length (=3 bytes) of TStream conflicts with the total "
                             "width of the stream parameters.")};
        EXPECT_EQ(CheckParams(), expected) << c.description;
        EXPECT_EQ(s->CaseAt(1)->SeqIndexMax(), c.seqIndexMax) << c.description;
        EXPECT_EQ(s->CaseAt(1)->HasUnspecifiedLength(), c.seqIndexMax == 0) << c.description;
    }

    m_Op->RemoveAll();
    PutStream(Case(Typed("Blob", "<TStream/>") + Member("Tail") + Member("More"), "Blob,Tail,More"),
              1);
    EXPECT_EQ(CheckParams(), Msgs{Warn(207, "/Func/Status/Data/StreamCase",
                                       "Parameter 'Tail' follows a parameter with unspecified "
                                       "length ('Blob'). Message may not disassemble properly.")});
}

TEST_F(StreamTest, CheckGivesListElementsTheirListSize) {
    struct {
        const char* streamName;
        uint32_t sizePos, streamPos;
        bool found;
    } cases[] = {
        {"ListElements", 1, 2, true}, {"ListElements", 2, 1, false}, {"Items", 1, 2, false}};
    for (const auto& c : cases) {
        m_Op->RemoveAll();
        YMTParamNumber* size = PutNumber("ListSize", c.sizePos);
        size->SetBytesInMsg(2);
        auto* s = Put(ImportParam<YMTParamDetailedStream>(
                          Stream(c.streamName, Case(Member("Item"), "{{Item}}")))
                          .release(),
                      c.streamPos);
        EXPECT_EQ(CheckParams(), Msgs{});
        EXPECT_EQ(s->ListSizeParam(), c.found ? size : nullptr) << c.streamName << c.sizePos;
        EXPECT_EQ(s->CaseAt(1)->HasUnspecifiedLength(), !c.found);
    }
}

// --- copies, archive order and dump ------------------------------------------------------

TEST_F(StreamTest, CopiesAreDeepAndResolveTheirOwnSelector) {
    YMTParamNumber* sel = PutNumber("Sel", 1);
    YMTParamDetailedStream* s =
        PutStream(Case(Member("Head") + Member("Lo"), "{Head,{Lo}}", R"( PosX="Sel" PosY="1..2")") +
                      Case(Signal("Flag", "1"), "Flag", R"( PosX="Sel" PosY="3")"),
                  2, R"( Length="6")");
    ASSERT_EQ(CheckParams(), Msgs{});
    std::unique_ptr<YMTNode> clone(s->Clone());
    auto* copy = As<YMTParamDetailedStream>(clone.get(), kNodeDetailedStream);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->Length(), 6u);
    EXPECT_EQ(copy->SelectorParam(), nullptr); // it would point into the original
    for (uint32_t i = 1; i <= 2; ++i) {
        ASSERT_TRUE(copy->CaseAt(i));
        EXPECT_NE(copy->CaseAt(i)->GetAt(1), s->CaseAt(i)->GetAt(1));
        EXPECT_EQ(Layout(*copy, i), Layout(*s, i));
    }
    EXPECT_EQ(copy->CaseAt(1)->SeqIndexMax(), 5u);

    // In another operation the copy finds that operation's selector.
    YMTOperation* other = AddOperation(m_Fn, "Result", 0);
    YMTParamNumber* otherSel = PutNumber("Sel", 1, other);
    Put(static_cast<YMTParamDetailedStream*>(clone.release()), 2, other);
    EXPECT_EQ(CheckParams(true, other), Msgs{});
    EXPECT_EQ(copy->SelectorParam(), otherSel);
    EXPECT_EQ(s->SelectorParam(), sel);
}

TEST_F(StreamTest, ArchiveOrderAndDump) {
    PutNumber("Sel", 1);
    YMTParamDetailedStream* s =
        PutStream(Case(Signal("Hdr", "4") + Signal("A", "12", R"( Signedness="Signed")"),
                       "Sel=1..2={Hdr,{A}}", "", R"( ByteOrder="LittleEndian")"),
                  2, R"( Length="5")");
    ASSERT_EQ(CheckParams(), Msgs{});
    EXPECT_EQ(test::Kinds(*s), "str str ref0 u16 u8 u16 u16 u8 u32 str u32 u8 ref2 ref3 list5 ");
    std::string dump = DumpText(*s);
    for (const char* lines : {"\t\t.SelectorParam: Sel\n\t\t.ListSizeParam: -\n\t\t.Length: 5\n",
                              "\t\t\t.SymID: Data(1)\n\t\t\t.PosXString: Sel\n\t\t\t.PosYMin: 1\n"
                              "\t\t\t.PosYMax: 2\n\t\t\t.SeqCnt: 1\n",
                              "\t\t\t\t.ParamPos: 2 seq 1\n\t\t\t\t.SymID: Data(1).A[1]\n"
                              "\t\t\t\t.BitLength: 12  .Signedness: 1  .ByteOrder: 1\n"})
        EXPECT_NE(dump.find(lines), std::string::npos) << lines << "\nin\n" << dump;
}

} // namespace
} // namespace mostfcat
