// The structure value kinds of a message instance: identifiers of nested
// arrays, records and stream cases, look-ups by path, element and sequence
// insertion and removal with renumbering, selectors and active values,
// expansion, and the length-delimited streams.
#include "instance/instance_fixture.h"

namespace mostfcat::test::inst {
namespace {

constexpr uint32_t kTable = 0x101, kMux = 0x102, kSeq = 0x103, kBits = 0x104, kPosed = 0x105,
                   kPosArr = 0x106, kTexts = 0x107, kBig = 0x108, kBoxed = 0x109;

class StructureTest : public LabInstanceTest {
protected:
    std::string ToShort(uint32_t fkt, const std::string& symbolic) {
        std::string out = "unset";
        m->ConvertSymbolicToShortID(out, 1, "", kFBlock, kInst, 0, fkt, kStatus, symbolic);
        return out;
    }
    std::string ToSymbolic(uint32_t fkt, const std::string& numeric) {
        std::string out = "unset";
        m->ConvertShortToSymbolicID(out, 1, "", kFBlock, kInst, 0, fkt, kStatus, numeric);
        return out;
    }
};

// The tail of a stream case is its selector value in parentheses, glued to
// the stream's identifier; its members follow with ".".
TEST_F(StructureTest, StreamCasesGlueTheirSelectorValueToTheStream) {
    MessagePtr msg = Msg(kMux, "030104AB09");
    EXPECT_EQ(Ids(Tree(*msg)), (Lines{"1 Mode", "2 Data", "2(3) Data(3)", "2(3).1 Data(3).Count",
                                      "2(3).2 Data(3).Level", "3 Tail"}));
    YFciParam* data = msg->GetParamBySymID("Data");
    YFciParam* stream_case = msg->GetParamBySymID("Data(3)");
    ASSERT_NE(stream_case, nullptr);
    EXPECT_EQ(stream_case->ParamType(), eFciParamStreamCase);
    EXPECT_EQ(stream_case, data->SubParamList()[0]);
    EXPECT_EQ(stream_case->SymIDTail(), "(3)");
    EXPECT_EQ(stream_case->DescName(true), "Mode = Three (0x3)");
    EXPECT_EQ(stream_case->DescName(false), "Mode = Three (3)");
    EXPECT_FALSE(static_cast<YFciParamStreamCase*>(stream_case)->HasSequence());
    EXPECT_FALSE(static_cast<YFciParamStreamCase*>(stream_case)->InsertSequence());
    EXPECT_EQ(static_cast<YFciParamDetailedStream*>(data)->GetMultiplexorParam(),
              msg->GetParamBySymID("Mode"));
    EXPECT_TRUE(msg->GetParamBySymID("Mode")->IsMultiplexorParam());

    // Signals: a case without a name shows the selector and its value.
    msg = Msg(kBits, "0234120102");
    EXPECT_EQ(msg->GetParamByShortID("2(2)")->DescName(true), "Kind = Little (0x2)");
    EXPECT_EQ(msg->GetParamByShortID("2(2).1")->SymID(), "Sig(2).Word12");

    // A selector value without a case: the stream holds nothing.
    msg = Msg(kMux, "020506");
    EXPECT_EQ(Rows(Tree(*msg)),
              (Lines{"1 Mode 9 02", "2 Data 2 ", "3 Tail 8 05", "0 Remain 15 06"}));
}

// Every value is found again by both of its identifiers; path texts outside
// the syntax or naming nothing find nothing.
TEST_F(StructureTest, LookupsByIdentifierFollowThePathSyntax) {
    struct Case {
        uint32_t fkt;
        const char* payload;
    };
    const Case messages[] = {{kTable, "010203020405060708"},
                             {kMux, "030104AB09"},
                             {kSeq, "01020304050607"},
                             {kBits, "01A70102"},
                             {kPosed, "0201AA"},
                             {kTexts, "014142000901020233441001"}};
    for (const Case& c : messages) {
        MessagePtr msg = Msg(c.fkt, c.payload);
        for (YFciParam* p : Tree(*msg)) {
            // A case chosen without selector has its stream's ids.
            if (p->ParamType() == eFciParamStreamCase && p->SymIDTail().empty()) continue;
            EXPECT_EQ(msg->GetParamByShortID(p->ShortID()), p) << p->ShortID();
            EXPECT_EQ(msg->GetParamBySymID(p->SymID()), p) << p->SymID();
        }
    }

    MessagePtr table = Msg(kTable, "010203020405060708");
    MessagePtr mux = Msg(kMux, "030104AB09");
    YFciParam* cell = table->GetParamByShortID("1.1[2].2.1[1]");
    YFciParam* level = mux->GetParamBySymID("Data(3).Level");
    ASSERT_NE(cell, nullptr);
    for (const char* text : {"outer.ROW[2].cells.Cell[1]", "1.Row[2].2.Cell[1]"})
        EXPECT_EQ(table->GetParamBySymID(text), cell) << text;
    EXPECT_EQ(table->GetParamByShortID("1"), table->ParamList()[0]);
    for (const char* text : {"Data(3).Level", "Data.Level"})
        EXPECT_EQ(mux->GetParamBySymID(text), level) << text;
    EXPECT_EQ(mux->GetParamByShortID("2(3).2"), level);
    // The largest index is the "no index" mark of values that are no
    // elements: it must not make such a value an element.
    for (const char* text :
         {"Outer.Row", "Outer.Row[0]", "Outer.Row[4]", "Outer[1]", "", "Outer.Row[2].Cells.Cell[3]",
          "Outer.Row[99999999999]", "Outer-Row", "Outer.Row[2] ", "Nothing", "Outer[4294967295]"})
        EXPECT_EQ(table->GetParamBySymID(text), nullptr) << '"' << text << '"';
    for (const char* text : {"Outer", "1.1[2].2.1[1]x", "1..1[2]", ".1", "1.", "1.1[]", "1.1[2",
                             "1.1(2)[2]", "1[4294967295].1[1].1"})
        EXPECT_EQ(table->GetParamByShortID(text), nullptr) << '"' << text << '"';
    for (const char* text :
         {"Data(1).Level", "Data(1)", "Data(3)(3).Level", "Data(3).Level.Deeper"})
        EXPECT_EQ(mux->GetParamBySymID(text), nullptr) << text;
}

TEST_F(StructureTest, ElementsAreRenumberedAfterInsertAndRemove) {
    MessagePtr msg = Msg(kPosArr, "000001020304");
    auto* data = static_cast<YFciParamArray*>(msg->GetParamBySymID("Data"));
    EXPECT_EQ(data->GetSelectorValue(), 0ul);
    EXPECT_FALSE(data->InsertElem()); // NMax 4 reached
    ASSERT_TRUE(data->RemoveElem(msg->GetParamBySymID("Data.Val[2]")));
    EXPECT_EQ(
        Rows(data->SubParamList()),
        (Lines{"2.1[1] Data.Val[1] 8 01", "2.1[2] Data.Val[2] 8 03", "2.1[3] Data.Val[3] 8 04"}));
    EXPECT_EQ(msg->HexdumpStr(), "0000010304");
    ASSERT_TRUE(data->InsertElem());
    EXPECT_EQ(Row(data->SubParamList().back()), "2.1[4] Data.Val[4] 8 __");
    EXPECT_EQ(msg->HexdumpStr(), "0000010304__");
    EXPECT_FALSE(data->InsertElem());

    // A value of another message, a value that is no element, null: refused.
    MessagePtr other = Msg(kPosArr, "000001");
    EXPECT_FALSE(data->RemoveElem(other->GetParamBySymID("Data.Val[1]")));
    EXPECT_FALSE(data->RemoveElem(msg->GetParamBySymID("Pos")));
    EXPECT_FALSE(data->RemoveElem(nullptr));
    EXPECT_EQ(data->SubParamList().size(), 4u);
    EXPECT_EQ(other->HexdumpStr(), "000001");

    // Nested: removing a row renumbers the rows and every id below them.
    msg = Msg(kTable, "010203020405060708");
    auto* outer = static_cast<YFciParamArray*>(msg->ParamList()[0]);
    EXPECT_EQ(outer->Index(), 0xFFFFFFFFul);
    EXPECT_EQ(outer->SubParamList()[1]->Index(), 2ul);
    EXPECT_EQ(outer->SubParamList()[1]->SymIDTail(), "Row[2]");
    EXPECT_EQ(outer->SubParamList()[1]->DescName(true), "Row[2]");
    ASSERT_TRUE(outer->RemoveElem(outer->SubParamList()[0]));
    EXPECT_EQ(msg->GetParamBySymID("Outer.Row[1].Cells.Cell[2]")->ValueHexdumpStr(), "05");
    EXPECT_EQ(msg->GetParamByShortID("1.1[2].2.1[1]")->ValueHexdumpStr(), "07");
    EXPECT_EQ(msg->GetParamBySymID("Outer.Row[3]"), nullptr);
    EXPECT_EQ(msg->HexdumpStr(), "020405060708");
}

TEST_F(StructureTest, ArraysHoldAtMost256Elements) {
    std::string payload;
    for (int i = 0; i < 300; ++i)
        payload += StrFormat("%02X", i & 0xFF);
    MessagePtr msg = Msg(kBig, payload);
    auto* many = static_cast<YFciParamArray*>(msg->ParamList()[0]);
    ASSERT_EQ(many->SubParamList().size(), 256u);
    EXPECT_EQ(many->SubParamList().back()->SymID(), "Many.Item[256]");
    EXPECT_FALSE(many->InsertElem());
    ASSERT_EQ(msg->ParamList().size(), 2u);
    EXPECT_EQ(msg->ParamList()[1]->ParamType(), eFciParamRemain);
    EXPECT_EQ(msg->ParamList()[1]->ValueHexdump().size(), 44u);
    EXPECT_EQ(msg->HexdumpStr(), payload);
    ASSERT_TRUE(many->RemoveElem(many->SubParamList()[0]));
    EXPECT_TRUE(many->InsertElem());
    EXPECT_FALSE(many->InsertElem());

    EXPECT_EQ(ToShort(kBig, "Many.Item[256]"), "1.1[256]");
    EXPECT_EQ(ToShort(kBig, "Many.Item[257]"), "");
    EXPECT_EQ(ToShort(kBig, "Many.Item[4294967295]"), "");
}

// A position selects the array element (high byte) and the record field
// (low byte); only the selected values are active, decoded and encoded.
TEST_F(StructureTest, SelectorsChooseTheActiveElementsAndFields) {
    struct Row {
        uint32_t fkt;
        const char* payload;
        unsigned long selector;
        const char* active; // the ids of the active values
        size_t all;
    };
    const Row rows[] = {
        {kPosArr, "030077", 3, "1 Pos | 2.1[3] Data.Val[3]", 4},
        {kPosed, "0201AA", 2, "1 Pos | 2.1[2].1 Data.Row[2].F1", 5},
        {kPosed, "0200AABB", 2, "1 Pos | 2.1[2].1 Data.Row[2].F1 | 2.1[2].2 Data.Row[2].F2", 5},
        {kPosed, "0000AABBCCDD", 0,
         "1 Pos | 2.1[1].1 Data.Row[1].F1 | 2.1[1].2 Data.Row[1].F2 | 2.1[2].1 Data.Row[2].F1 | "
         "2.1[2].2 Data.Row[2].F2",
         5},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.payload);
        MessagePtr msg = Msg(r.fkt, r.payload);
        auto* data = static_cast<YFciParamArray*>(msg->GetParamBySymID("Data"));
        EXPECT_EQ(data->GetSelectorValue(), r.selector);
        EXPECT_EQ(Flat(Ids(msg->AllParams(true))), r.active);
        EXPECT_EQ(msg->AllParams(false).size(), r.all);
        for (YFciParam* p : msg->AllParams(false))
            EXPECT_TRUE(p->IsActive() || !p->IsValueDefined()) << p->SymID();
        EXPECT_EQ(msg->HexdumpStr(), r.payload);
        EXPECT_EQ(Hex(msg->Data()), r.payload);
    }
    // A new position lays the message out again: the byte after it is now
    // field 2 of row 3.
    MessagePtr msg = Msg(kPosed, "0201AA");
    ASSERT_TRUE(Set(*msg, "Pos", "0x0302"));
    EXPECT_EQ(msg->HexdumpStr(), "0302AA");
    EXPECT_EQ(Ids(msg->AllParams(true)), (Lines{"1 Pos", "2.1[3].2 Data.Row[3].F2"}));
    EXPECT_EQ(msg->GetParamBySymID("Data.Row[3].F2")->ValueHexdumpStr(), "AA");
    EXPECT_EQ(
        static_cast<YFciParamRecord*>(msg->GetParamBySymID("Data.Row[3]"))->GetSelectorValue(),
        2ul);
}

// A new selector value chooses another case when the message is next used.
TEST_F(StructureTest, ANewSelectorValueChoosesAnotherCase) {
    MessagePtr msg = Msg(kMux, "030104AB09");
    YFciParam* mode = msg->GetParamBySymID("Mode");
    bool changed = false;
    ASSERT_TRUE(mode->SetUserInputStr("One", changed));
    EXPECT_TRUE(changed);
    EXPECT_EQ(msg->HexdumpStr(), "010104AB09");
    EXPECT_EQ(Rows(Tree(*msg)),
              (Lines{"1 Mode 9 01", "2 Data 2 01", "2(1) Data(1) 3 01", "2(1).1 Data(1).A 8 01",
                     "3 Tail 8 04", "0 Remain 15 AB09"}));
    // The same through the signals' selector.
    msg = Msg(kBits, "01A70102");
    ASSERT_TRUE(Set(*msg, "Kind", "2"));
    EXPECT_EQ(Ids(msg->AllParams(true)),
              (Lines{"1 Kind", "2(2).1 Sig(2).Word12", "2(2).2 Sig(2).Nibble", "3 After"}));
    EXPECT_EQ(msg->GetParamBySymID("Sig(2).Word12")->UserInputStr(1), "423"); // 0x1A7
    EXPECT_EQ(msg->GetParamBySymID("After")->ValueHexdumpStr(), "____");
    EXPECT_EQ(msg->HexdumpStr(), "02A701____");
}

TEST_F(StructureTest, SequencesAreRenumberedAfterInsertAndRemove) {
    MessagePtr msg = Msg(kSeq, "0102030405");
    auto* seq = static_cast<YFciParamStreamCase*>(msg->ParamList()[0]->SubParamList()[0]);
    ASSERT_TRUE(seq->HasSequence());
    EXPECT_EQ(seq->ShortID(), "1");
    EXPECT_EQ(Rows(msg->AllParams(false)),
              (Lines{"1.1 Seq.A 8 01", "1.2[1] Seq.B[1] 8 02", "1.3[1] Seq.C[1] 8 0304",
                     "1.2[2] Seq.B[2] 8 05", "1.3[2] Seq.C[2] 8 ____"}));
    ASSERT_TRUE(seq->InsertSequence());
    EXPECT_EQ(Ids(msg->AllParams(false)).back(), "1.3[3] Seq.C[3]");
    EXPECT_EQ(msg->HexdumpStr(), "0102030405__________");
    ASSERT_TRUE(seq->RemoveSequence(msg->GetParamBySymID("Seq.C[1]")));
    EXPECT_EQ(Rows(msg->AllParams(false)),
              (Lines{"1.1 Seq.A 8 01", "1.2[1] Seq.B[1] 8 05", "1.3[1] Seq.C[1] 8 ____",
                     "1.2[2] Seq.B[2] 8 __", "1.3[2] Seq.C[2] 8 ____"}));
    EXPECT_FALSE(seq->RemoveSequence(msg->GetParamBySymID("Seq.A")));
    EXPECT_FALSE(seq->RemoveSequence(nullptr));
    EXPECT_FALSE(seq->RemoveSequence(Msg(kSeq, "010203")->GetParamBySymID("Seq.B[1]")));
    EXPECT_EQ(msg->AllParams(false).size(), 5u);
    EXPECT_EQ(msg->HexdumpStr(), "0105__________");

    // Option 1: no repetition starts once the payload is used up.
    msg = Msg(kSeq, "01", 1);
    EXPECT_EQ(Ids(msg->AllParams(false)), (Lines{"1.1 Seq.A"}));
    msg = Msg(kSeq, "01", 0);
    EXPECT_EQ(Ids(msg->AllParams(false)),
              (Lines{"1.1 Seq.A", "1.2[1] Seq.B[1]", "1.3[1] Seq.C[1]"}));
}

// ExpandAll creates one element in every empty array; paths expand arrays
// up to the element they name (the manager's id converters use that).
TEST_F(StructureTest, ExpansionCreatesTheElementsAPathNames) {
    MessagePtr msg = Msg(kTable, "", 1);
    EXPECT_TRUE(msg->ParamList()[0]->SubParamList().empty());
    EXPECT_EQ(msg->HexdumpStr(), "");
    msg->ExpandAll();
    EXPECT_EQ(Ids(msg->AllParams(false)),
              (Lines{"1.1[1].1 Outer.Row[1].Id", "1.1[1].2.1[1] Outer.Row[1].Cells.Cell[1]"}));
    EXPECT_EQ(msg->HexdumpStr(), "____");

    struct Conversion {
        const char* symbolic;
        const char* numeric;
    };
    const Conversion conversions[] = {
        {"Outer.Row[3].Cells.Cell[2]", "1.1[3].2.1[2]"},
        {"outer.row[2]", "1.1[2]"},
        {"Outer", "1"},
        {"Outer.Row[1].Id", "1.1[1].1"},
    };
    for (const Conversion& c : conversions) {
        EXPECT_EQ(ToShort(kTable, c.symbolic), c.numeric) << c.symbolic;
        EXPECT_EQ(ToSymbolic(kTable, c.numeric), ToSymbolic(kTable, ToShort(kTable, c.symbolic)));
    }
    EXPECT_EQ(ToSymbolic(kTable, "1.1[3].2.1[2]"), "Outer.Row[3].Cells.Cell[2]");
    for (const char* bad : {"Outer.Row[4]", "Outer.Row[0]", "Outer.Row", "Outer.Nothing[1]",
                            "Outer.Row[1].Cells.Cell[3]", "Outer..Row[1]", "Outer.Row[1]x"})
        EXPECT_EQ(ToShort(kTable, bad), "") << bad;
    EXPECT_EQ(ToSymbolic(kTable, "Outer"), "");    // a numeric path only
    EXPECT_EQ(ToSymbolic(kTable, "1.1[1].3"), ""); // no such field
    EXPECT_EQ(ToSymbolic(kMux, "1"), "Mode");
    std::string out = "unset";
    m->ConvertSymbolicToShortID(out, 1, "", kFBlock, kInst, 0, 0x777, kStatus, "Outer");
    EXPECT_EQ(out, "");
}

// A length field limits what follows it; a new length lays the message out
// again.
TEST_F(StructureTest, LengthFieldsLimitTheirStreams) {
    MessagePtr msg = Msg(kTexts, "01414200090102023344551001");
    auto* shortStream = static_cast<YFciParamRawShortStream*>(msg->GetParamBySymID("Short"));
    EXPECT_EQ(shortStream->MaxLength(), 4ul);
    EXPECT_EQ(Rows(shortStream->SubParamList()),
              (Lines{"4.1 Short.Length 8 02", "4.2 Short.Content 14 3344"}));
    EXPECT_EQ(msg->GetParamBySymID("Wide")->ValueHexdumpStr(), "5510");
    EXPECT_EQ(msg->GetParamBySymID("Rest")->ValueHexdumpStr(), "01");
    ASSERT_TRUE(Set(*msg, "Short.Length", "3"));
    EXPECT_EQ(msg->GetParamBySymID("Short.Content")->ValueHexdumpStr(), "334455");
    EXPECT_EQ(msg->GetParamBySymID("Wide")->ValueHexdumpStr(), "1001");
    EXPECT_EQ(msg->HexdumpStr(), "01414200090102033344551001");

    // A short stream with cases: its length counts its case.
    msg = Msg(kBoxed, "02AABB07");
    EXPECT_EQ(Ids(Tree(*msg)), (Lines{"1 Box", "1.0 Box.Length", "1 Box", "1.1 Box.A", "2 End"}));
    EXPECT_EQ(msg->GetParamBySymID("End")->ValueHexdumpStr(), "07");
    // Bytes the length counts beyond the case's members belong to the stream:
    // the payload renders back unchanged, also after a rebuild.
    msg = Msg(kBoxed, "04AABBCCDD07");
    EXPECT_EQ(msg->GetParamBySymID("Box.A")->ValueHexdumpStr(), "AA");
    EXPECT_EQ(msg->HexdumpStr(), "04AABBCCDD07");
    msg->Rebuild();
    EXPECT_EQ(msg->GetParamBySymID("End")->ValueHexdumpStr(), "07");
}

} // namespace
} // namespace mostfcat::test::inst
