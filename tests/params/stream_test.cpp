// String, void and stream parameters: every stream kind, stream cases with
// their members and sequence descriptions, the rebuild from index attributes,
// signals, the checks in an operation, size limits and copies.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "param_test_util.h"
#include "params/param_number.h"
#include "params/param_stream.h"

namespace mostfcat {
namespace {

// A stream member (a number of the given width unless type is given);
// attrs go into the StreamParam tag.
std::string Member(const std::string& name, const std::string& attrs = "", int width = 1,
                   const std::string& type = "") {
    return "<StreamParam" + attrs + "><ParamName>" + name + "</ParamName><ParamType>" +
           (type.empty() ? test::NumberType(width) : type) + "</ParamType></StreamParam>";
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
        return test::Joined(capture.Lines());
    }
};

TEST_F(StreamTest, SimpleClasses) {
    // MaxSize and Length are plain decimal numbers; MaxSize is capped to 32
    // bits, a Length beyond them leaves the stream open.
    auto maxSize = [&](const char* text) {
        auto xml = StrFormat(R"(<TString MaxSize="%s"/>)", text);
        return ImportParam<YMTParamString>(Param("", xml))->MaxSize();
    };
    auto length = [&](const char* text) {
        auto xml = StrFormat(R"( Length="%s")", text);
        return ImportParam<YMTParamRawStream>(Stream("", "", xml))->Length();
    };
    EXPECT_EQ(std::tuple(maxSize("20"), maxSize(" 20"), maxSize("0x10"), maxSize("99999999999")),
              std::tuple(20, -1, -1, INT32_MAX));
    EXPECT_EQ(std::tuple(length("12"), length("-3"), length("0x1FFFFFFFF")),
              std::tuple(12u, 0u, 0u));
    EXPECT_EQ(ImportParam<YMTParamVoid>(Param("", "<TVoid/>"))->NameRef(), "Void");
    // The function-identifier list is always BitField; nothing else is read.
    EXPECT_EQ(ImportParam<YMTParamFktIDBitStream>(Param("bits", "<TStream/>"))->NameRef(),
              "BitField");
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
    ImportParam<YMTParamRawShortStream>(Param("", R"(<TShortStream MaxLength="300"/>)"));
    EXPECT_EQ(m_Msgs, Msgs{Warn(226, "/ShortStream",
                                "Value 300 out of range [0,256). Using 255 instead.")});
    auto s = ImportParam<YMTParamRawShortStream>(Param("S", R"(<TShortStream MaxLength="100"/>)"));
    auto* length = As<YMTParamNumber>(s->FindChild("length"), kNodeNumber);
    ASSERT_TRUE(length && s->GetAt(2));
    EXPECT_EQ(std::tuple(length->RangeMax(), length->ParamMeaning(), length->IsSelector()),
              std::tuple(100.0, 13u, true));
    EXPECT_EQ(As<YMTParamRawStream>(s->GetAt(2), kNodeRawStream)->Length(), 100u);

    auto c = ImportParam<YMTParamCStream>(Param("C", R"(<TCStream MaxLength="70000"/>)"));
    EXPECT_EQ(test::Codes(m_Msgs), "W0227 /C"); // capped as above
    ASSERT_TRUE(As<YMTParamNumber>(c->GetAt(1), kNodeNumber) && c->GetAt(2) && c->GetAt(3));
    EXPECT_TRUE(As<YMTParamString>(c->GetAt(2), kNodeString)->IsSelector());
    EXPECT_EQ(As<YMTParamRawStream>(c->GetAt(3), kNodeRawStream)->Length(), 65535u);

    // The detailed short stream keeps its length at index 0, before the cases.
    auto d = ImportParam<YMTParamDetailedShortStream>(
        Param("Msg", "<TShortStream>" + Case(Member("A"), "A", R"( PosX="Sel" PosY="1")") +
                         Case(Member("B"), "B", R"( PosX="Sel" PosY="2")") + "</TShortStream>"));
    EXPECT_EQ(As<YMTParamNumber>(d->GetAt(0), kNodeNumber)->ParamMeaning(), 13u);
    EXPECT_TRUE(!d->FindStreamCase(0) && d->FindStreamCase(2) == d->CaseAt(2));
}

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
    // Array, unknown type, record, failed number; two renamed repetitions.
    EXPECT_EQ(test::Codes(m_Msgs, false), "W0157 W0020 W0157 E0071 W0021 W0165 W0165");
    EXPECT_EQ(m_Msgs[0], Warn(157, kWhere, "Parameter type not allowed in this context"));
    EXPECT_EQ(m_Msgs[6], Warn(165, kWhere,
                              "Double definition of StreamParam/StreamSignal name 'Mode'. "
                              "StreamParam/StreamSignal will be renamed to 'Mode_2'."));
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
    // No description, two unreadable PosY, an adapted PosX; the overlap.
    EXPECT_EQ(test::Codes(m_Msgs, false), "E0158 E0017 E0017 W0221 W0035");
    ASSERT_EQ(s->GetSize(), 4u);
    EXPECT_EQ(Layout(*s, 1), "Speed@1 | Mode 1..3");
    // With several case elements only the first line of a description counts.
    EXPECT_EQ(Layout(*s, 2), "Count@1 | _2ndSel 3..5");
    EXPECT_EQ(Layout(*s, 3), "|  16..31");
    EXPECT_EQ(s->FindStreamCase(3), s->CaseAt(1)); // the first in list order
    EXPECT_EQ(s->FindStreamCase(6), nullptr);

    s = ImportParam<YMTParamDetailedStream>(Stream("", "", R"( Length="4")"));
    EXPECT_EQ(test::Codes(m_Msgs), "W0031 /Stream"); // no StreamCase
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
    }
}

// A description that names no member makes the importer rebuild the order
// from the index attributes; what cannot be rebuilt leaves the case empty.
TEST_F(StreamTest, SequenceRebuiltFromIndexAttributes) {
    auto at = [](const char* name, const char* index) {
        return Member(name, StrFormat(R"( ParamIdx="%s")", index));
    };
    std::string noName =
        "<StreamSignal SignalIdx=\"1\"><SignalBitLength>2</SignalBitLength></StreamSignal>";
    struct {
        std::string members;
        const char *layout, *codes;
    } cases[] = {{at("C", "7seq2") + at("A", " 2 ") + at("B", "5SEQ2"), "A@1 B@2/2 C@3/2 ", ""},
                 {at("B", "1") + at("A", "0") + at("C", "3"), "A@1 B@2 C@3 ", "W0231"}, // from 0
                 {at("A", "1") + Member("B"), "", "E0161 W0159"}, // an index missing
                 {at("A", "1") + at("B", "1"), "", "E0166 W0159"},
                 {at("A", "1seq3") + at("B", "2seq3"), "", "E0167 W0159"},
                 // Signals: their own attribute and name element; every member element
                 // is read, also one whose member failed.
                 {Signal("A", "4", R"( SignalIdx="2")") + noName, "", "E0010 E0163 W0159"},
                 {"", "", "W0159"}, // a single case without members finds nothing
                 {at("A", "1seq4096"), "", "E0162 W0159"}};
    for (const auto& c : cases) {
        auto s = Detailed(Case(c.members, "?"));
        EXPECT_EQ(test::Codes(m_Msgs, false), c.codes) << c.members;
        EXPECT_EQ(Layout(*s), std::string(c.layout) + "|  0..0") << c.members;
    }
    EXPECT_EQ(m_Msgs[0], Err(162, kWhere,
                             "Failed to analyze 'ParamIdx=\"1seq4096\"'. Attribute value is "
                             "invalid.")); // the last case
}

TEST_F(StreamTest, SizeLimits) {
    std::string lines;
    for (int i = 1; i <= 5000; ++i)
        lines += StrFormat("S=%d=A\n", i);
    auto s = Detailed(Case(Member("A"), lines));
    EXPECT_EQ(test::Codes(m_Msgs), "W0240 /Data"); // further cases dropped
    EXPECT_EQ(s->GetCount(), kMaxStreamCases);
    EXPECT_EQ(s->CaseAt(4095)->PosYMin(), 4095u);

    // Streams nested 40 levels deep: the 33rd is dropped as a failed member.
    std::string xml = Member("S"), name = "S";
    for (int i = 0; i < 40; ++i) {
        xml = Typed(name + "x", "<TStream>" + Case(xml, name) + "</TStream>");
        name += "x";
    }
    s = Detailed(Case(xml, name));
    EXPECT_NE(test::Codes(m_Msgs, false).find("E0241"), std::string::npos); // too deep
    int depth = 0;
    for (YMTNode* n = s.get(); n && n->NodeType() == kNodeDetailedStream; ++depth) {
        auto* c = static_cast<YMTParamDetailedStream*>(n)->CaseAt(1);
        n = c ? c->GetAt(1) : nullptr;
    }
    EXPECT_EQ(depth, 32);
}

// The selector is found in the operation of each copy, never in the original's.
TEST_F(StreamTest, CheckFindsTheSelectorOfTheOperationAlsoForCopies) {
    YMTParamNumber* sel = PutNumber("Sel", 1);
    YMTParamDetailedStream* s = PutStream(
        Case(Signal("Mode", "3"), "Mode", R"( PosX="Sel" PosY="3")") +
            Case(Member("Level") + Member("Item"), "{Level,{Item}}", R"( PosX="sel" PosY="4..6")"),
        2, R"( Length="9")");
    EXPECT_EQ(CheckParams(), Msgs{});
    EXPECT_EQ(s->SelectorParam(), sel);
    EXPECT_TRUE(sel->IsSelector());
    EXPECT_EQ(s->CaseAt(1)->SymID(), "Data(3)");
    EXPECT_EQ(static_cast<YMTParam*>(s->CaseAt(1)->GetAt(1))->SymID(), "Data(3).Mode");
    EXPECT_EQ(static_cast<YMTParam*>(s->CaseAt(2)->GetAt(2))->SymID(), "Data(4).Item[1]");

    std::unique_ptr<YMTNode> clone(s->Clone());
    auto* copy = As<YMTParamDetailedStream>(clone.get(), kNodeDetailedStream);
    ASSERT_TRUE(copy && copy->CaseAt(2));
    EXPECT_EQ(std::pair(copy->Length(), copy->CaseAt(2)->SeqIndexMax()), std::pair(9u, 8u));
    EXPECT_EQ(copy->SelectorParam(), nullptr); // it would point into the original
    for (uint32_t i = 1; i <= 2; ++i) {
        EXPECT_NE(copy->CaseAt(i)->GetAt(1), s->CaseAt(i)->GetAt(1));
        EXPECT_EQ(Layout(*copy, i), Layout(*s, i));
    }
    YMTOperation* other = AddOperation(m_Fn, "Result", 0);
    YMTParamNumber* otherSel = PutNumber("Sel", 1, other);
    Put(static_cast<YMTParamDetailedStream*>(clone.release()), 2, other);
    EXPECT_EQ(CheckParams(true, other), Msgs{});
    EXPECT_EQ(copy->SelectorParam(), otherSel);
    EXPECT_EQ(s->SelectorParam(), sel);
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
    EXPECT_EQ(test::Codes(CheckParams(false)), "E0027 /Func/Status/Data/StreamCase");
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
        EXPECT_EQ(test::Codes(CheckParams()),
                  c.length[0] == '3' ? "W0209 /Func/Status/Data/StreamCase" : "")
            << c.description;
        EXPECT_EQ(s->CaseAt(1)->SeqIndexMax(), c.seqIndexMax) << c.description;
        EXPECT_EQ(s->CaseAt(1)->HasUnspecifiedLength(), c.seqIndexMax == 0) << c.description;
    }

    m_Op->RemoveAll();
    PutStream(Case(Typed("Blob", "<TStream/>") + Member("Tail") + Member("More"), "Blob,Tail,More"),
              1);
    // The text is the one records give (205).
    EXPECT_EQ(test::Codes(CheckParams()), "W0207 /Func/Status/Data/StreamCase");
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
        EXPECT_EQ(s->HasUnspecifiedLength(), !c.found); // the case's open length
    }
}

} // namespace
} // namespace mostfcat
