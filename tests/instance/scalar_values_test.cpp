// The scalar value kinds of a message instance: numbers with their wildcard
// letters and limits, enumerations, bools with bit fields and bool fields,
// strings, signals packed in both byte orders, raw streams and the remaining
// bytes.
#include <cctype>

#include "instance/instance_fixture.h"

namespace mostfcat::test::inst {
namespace {

constexpr uint32_t kNumbers = 0x100, kBits = 0x104, kTexts = 0x107, kLate = 0x10A;

class ScalarTest : public InstanceTest {
protected:
    void SetUp() override {
        InstanceTest::SetUp();
        OpenLab();
    }
    YFciParamNumber* Number(YFciMessage& msg, const std::string& id) {
        return static_cast<YFciParamNumber*>(msg.GetParamBySymID(id));
    }
};

// Wildcard letters, written in the payload or typed, in either case: the
// value is undefined with zero bytes, shows its letters right-aligned and
// keeps them when the message decodes its text again.
TEST_F(ScalarTest, WildcardLettersSurviveARebuild) {
    struct Row {
        const char* payload;
        const char* field;
        const char* input; // null: decoded from the payload
        uint32_t wildcard;
        const char* hex;
        const char* text; // UserInputStr
    };
    const Row rows[] = {
        {"nnnn", "Word", nullptr, 1, "NNNN", "NNNN"},
        {"0020", "Word", "g", 2, "GGGG", "GGGG"},
        {"002001", "Long", "G", 2, "0000GGGG", "GGGG"},
        {"0020010000pppp", "Long", nullptr, 3, "0000PPPP", "PPPP"},
        {"00200100000000", "Byte", "p", 4, "PP", "PP"},
        {"00200100000000pp", "Byte", nullptr, 4, "PP", "PP"},
        // A 1-byte number has no room for NNNN: undefined without wildcard.
        {"0020010000000007", "Byte", "n", 0, "__", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.field) + " " + r.payload + " " + (r.input ? r.input : "-"));
        MessagePtr msg = Msg(kNumbers, r.payload);
        if (r.input) {
            bool changed = false;
            ASSERT_TRUE(Number(*msg, r.field)->SetUserInputStr(r.input, changed));
            EXPECT_TRUE(changed);
        }
        for (int pass = 0; pass < 2; ++pass) {
            YFciParamNumber* p = Number(*msg, r.field);
            EXPECT_EQ(p->Wildcard(), r.wildcard) << "pass " << pass;
            EXPECT_FALSE(p->IsValueDefined());
            EXPECT_EQ(p->ValueHexdumpStr(), r.hex);
            EXPECT_EQ(p->UserInputStr(1), r.text);
            EXPECT_EQ(p->UserInputStr(0x30), r.text);
            EXPECT_NE(msg->HexdumpStr().find(r.hex), std::string::npos) << msg->HexdumpStr();
            EXPECT_EQ(Hex(p->ValueHexdump()), std::string(std::string(r.hex).size(), '0'));
            msg->Rebuild();
        }
    }
}

// Setting a value: the number class bounds what can be encoded, the
// definition's range only what counts as valid.
TEST_F(ScalarTest, ClassLimitsBoundEncodingDefinitionLimitsBoundValidity) {
    struct Row {
        const char* field;
        const char* input;
        bool accepted;
        const char* hex; // after the input (unchanged when refused)
        bool valid;
    };
    const Row rows[] = {
        {"Word", "5", true, "0005", false},
        {"Word", "10", true, "000A", true},
        {"Word", "1000", true, "03E8", true},
        {"Word", "1001", true, "03E9", false},
        {"Word", "65535", true, "FFFF", false},
        {"Word", "65536", false, "0020", true},
        {"Word", "-1", false, "0020", true},
        {"Word", "abc", false, "0020", true},
        {"Small", "-128", true, "80", false},
        {"Small", "-5", true, "FB", true},
        {"Small", "0xFF", true, "FF", true}, // two's complement: -1
        {"Small", "128", false, "01", true},
        {"Long", "4294967295", true, "FFFFFFFF", true},
        {"Long", "4294967296", false, "80FFFFFF", true},
        {"Byte", "+255", true, "FF", true},
        {"Byte", "256", false, "07", true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.field) + " = " + r.input);
        MessagePtr msg = Msg(kNumbers, "00200180FFFFFF0702");
        YFciParamNumber* p = Number(*msg, r.field);
        bool changed = false;
        EXPECT_EQ(p->SetUserInputStr(r.input, changed), r.accepted);
        p = Number(*msg, r.field);
        EXPECT_EQ(p->ValueHexdumpStr(), r.hex);
        EXPECT_EQ(p->IsValueValid(), r.valid);
        EXPECT_TRUE(p->IsValueDefined());
    }

    MessagePtr msg = Msg(kNumbers, "00200180FFFFFF0702");
    YFciParamNumber* word = Number(*msg, "Word");
    EXPECT_EQ(word->MinValue(), 10);
    EXPECT_EQ(word->MaxValue(), 1000);
    EXPECT_EQ(Number(*msg, "Long")->MaxValue(), 4294967295.0); // no range: the class's
    EXPECT_EQ(Number(*msg, "Long")->UserInputStr(1), "2164260863");
    EXPECT_FALSE(word->SetValue(70000));
    EXPECT_TRUE(word->SetValue(2000));
    EXPECT_EQ(msg->HexdumpStr(), "07D00180FFFFFF0702");
    // The same value again, written otherwise: nothing changed.
    bool changed = true;
    ASSERT_TRUE(word->SetUserInputStr("0x7D0", changed));
    EXPECT_FALSE(changed);
}

// Payloads that end early, an odd number of hex digits and characters that
// are no hex digits: the values they miss are undefined (underscores in the
// text, zeros in the bytes) and the rest decodes as usual.
TEST_F(ScalarTest, ShortAndOddPayloadsLeaveUndefinedValues) {
    struct Row {
        const char* text;
        const char* hex;
        const char* defined; // one letter per value: y or n
    };
    const Row rows[] = {
        {"", "__________________", "nnnnn"},
        {"0020", "0020______________", "ynnnn"},
        {"0020018", "002001____________", "yynnn"},
        {"00 2a\t01\n80ffffff", "002A0180FFFFFF____", "yyynn"},
        // A number with one byte that is no hex pair is undefined as a whole.
        {"00200180FFXXFF0702", "002001________0702", "yynyy"},
        {"00200180FFFFFF0702_1", "00200180FFFFFF0702_1", "yyyyyy"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        MessagePtr msg = Msg(kNumbers, "", 0);
        msg->SetHexdumpStr(r.text);
        std::string defined;
        for (YFciParam* p : msg->ParamList())
            defined += p->IsValueDefined() ? 'y' : 'n';
        EXPECT_EQ(defined, r.defined);
        EXPECT_EQ(msg->HexdumpStr(), r.hex);
        // A pair that is not two hex digits is a zero byte.
        std::string zeros = r.hex;
        for (size_t i = 0; i + 1 < zeros.size(); i += 2)
            if (!std::isxdigit(static_cast<unsigned char>(zeros[i])) ||
                !std::isxdigit(static_cast<unsigned char>(zeros[i + 1])))
                zeros.replace(i, 2, "00");
        EXPECT_EQ(Hex(msg->Data()), zeros);
    }
    // An undefined value set later fills its place; the text decodes again
    // to the same values.
    MessagePtr msg = Msg(kNumbers, "0020");
    EXPECT_TRUE(Set(*msg, "Byte", "7"));
    EXPECT_EQ(msg->HexdumpStr(), "0020__________07__");
    msg->Rebuild();
    EXPECT_EQ(msg->GetParamBySymID("Byte")->ValueHexdumpStr(), "07");
    EXPECT_FALSE(msg->GetParamBySymID("Small")->IsValueDefined());
}

// A position number missing from the payload counts as 0; a wildcard typed
// into one must not make the text and the tree disagree.
TEST_F(ScalarTest, PositionNumbersTakeNoWildcardTheTextCannotKeep) {
    MessagePtr msg = Msg(kLate, "0102");
    YFciParamNumber* pos = Number(*msg, "Pos");
    EXPECT_EQ(pos->ParamMeaning(), eFciMeaningArrayPos);
    EXPECT_TRUE(pos->IsValueDefined());
    EXPECT_EQ(pos->ValueHexdumpStr(), "0000");
    EXPECT_EQ(msg->HexdumpStr(), "01020000");
    bool changed = false;
    EXPECT_FALSE(pos->SetUserInputStr("n", changed)) << "a position takes no wildcard";
    std::string text = msg->HexdumpStr();
    msg->Rebuild();
    EXPECT_EQ(msg->HexdumpStr(), text);
    EXPECT_EQ(Number(*msg, "Pos")->Wildcard(), YFciParamNumber::eNoWildcard);
}

TEST_F(ScalarTest, EnumerationsReadNamesCodesAndCodeColonText) {
    struct Row {
        const char* input;
        bool accepted;
        long value;
    };
    const Row rows[] = {
        {"Green", true, 2},   {"3: Three", true, 3}, {"0x10", true, 16}, {"0b10", true, 2},
        {"255", true, 255},   {"256", false, 0},     {"-1", false, 0},   {"", false, 0},
        {"Purple", false, 0}, {"Red", true, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.input);
        MessagePtr msg = Msg(kNumbers, "00200180FFFFFF0702");
        auto* color = static_cast<YFciParamEnum*>(msg->GetParamBySymID("Color"));
        ASSERT_EQ(color->Value(), 2);
        bool changed = true;
        EXPECT_EQ(color->SetUserInputStr(r.input, changed), r.accepted);
        EXPECT_EQ(color->Value(), r.accepted ? r.value : 2);
        EXPECT_EQ(changed, r.accepted && r.value != 2);
    }
    MessagePtr msg = Msg(kNumbers, "00200180FFFFFF0710");
    auto* color = static_cast<YFciParamEnum*>(msg->GetParamBySymID("Color"));
    EXPECT_EQ(color->ValueType(), YFciParamEnum::eEnum8);
    EXPECT_EQ(color->UserInputStr(1), "16");
    EXPECT_EQ(color->UserInputStr(2), "Blue");
    EXPECT_EQ(color->UserInputStr(3), "16: Blue");
    EXPECT_TRUE(color->SetValue(7));
    EXPECT_EQ(color->UserInputStr(3), "7: # Unknown code: 7 #");
    EXPECT_FALSE(color->SetValue(300));
    EXPECT_EQ(msg->HexdumpStr(), "00200180FFFFFF0707");

    // Undefined: no value, no text.
    msg = Msg(kNumbers, "00200180FFFFFF07");
    color = static_cast<YFciParamEnum*>(msg->GetParamBySymID("Color"));
    EXPECT_EQ(color->Value(), -1);
    EXPECT_FALSE(color->IsValueDefined());
    EXPECT_EQ(color->UserInputStr(3), "");
    EXPECT_EQ(color->ValueHexdumpStr(), "__");
}

// A bool and its bool fields stay in step whichever is set; a bit field is a
// bool of its own kind.
TEST_F(ScalarTest, BoolsAndTheirBoolFieldsFollowEachOther) {
    MessagePtr msg = Msg(kTexts, "01414200090102023344100105");
    auto* flags = static_cast<YFciParamBool*>(msg->GetParamBySymID("Flags"));
    ASSERT_EQ(flags->ParamType(), eFciParamBool);
    EXPECT_EQ(flags->Value(), 9u);
    EXPECT_EQ(flags->UserInputStr(1), "9");
    EXPECT_EQ(flags->UserInputStr(0x30), "0x09");
    Lines fields;
    for (YFciParam* f : flags->SubParamList())
        fields.push_back(f->ShortID() + " " + f->SymID() + " " + f->UserInputStr(3));
    EXPECT_EQ(fields, (Lines{"2.0 Flags.Bit0 1: On", "2.1 Flags.Bit1 0: False",
                             "2.2 Flags.Bit2 0: False", "2.3 Flags.Bit3 1: Hot"}));

    auto* hot = static_cast<YFciParamBoolfield*>(msg->GetParamBySymID("Flags.Bit3"));
    ASSERT_NE(hot, nullptr);
    EXPECT_EQ(hot->BitPosition(), 3u);
    EXPECT_EQ(hot->Value(), YFciParamBoolfield::eBitSet);
    EXPECT_EQ(hot->ValueList(3), (std::vector<std::string>{"1: Hot", "0: Cold"}));
    hot->SetValue(YFciParamBoolfield::eBitClear);
    EXPECT_EQ(flags->Value(), 1u);
    EXPECT_EQ(msg->HexdumpStr(), "01414200010102023344100105");
    bool changed = false;
    EXPECT_TRUE(hot->SetUserInputStr("1", changed));
    EXPECT_TRUE(changed);
    EXPECT_TRUE(hot->SetUserInputStr("2", changed));
    EXPECT_FALSE(changed);
    EXPECT_EQ(flags->Value(), 9u);

    EXPECT_TRUE(flags->SetUserInputStr("0xFF", changed));
    EXPECT_TRUE(changed);
    EXPECT_FALSE(flags->SetUserInputStr("256", changed));
    EXPECT_FALSE(changed);
    EXPECT_FALSE(flags->SetUserInputStr("-1", changed));
    EXPECT_EQ(flags->Value(), 255u);
    EXPECT_EQ(static_cast<YFciParamBoolfield*>(flags->SubParamList()[1])->Value(),
              YFciParamBoolfield::eBitSet);

    auto* wide = static_cast<YFciParamBool*>(msg->GetParamBySymID("Wide"));
    ASSERT_EQ(wide->ParamType(), eFciParamBitfield);
    EXPECT_EQ(wide->Value(), 0x1001u);
    EXPECT_EQ(wide->ValueType(), YFciParamNumber::eU16);
    auto* fault = static_cast<YFciParamBoolfield*>(msg->GetParamBySymID("Wide.Bit12"));
    ASSERT_NE(fault, nullptr);
    EXPECT_EQ(fault->UserInputStr(2), "Fault");
    fault->SetValue(YFciParamBoolfield::eBitClear);
    EXPECT_EQ(msg->HexdumpStr(), "01414200FF0102023344000105");

    // Undefined: the fields are in state 2 and show nothing in any mode.
    msg = Msg(kTexts, "01414200");
    flags = static_cast<YFciParamBool*>(msg->GetParamBySymID("Flags"));
    EXPECT_FALSE(flags->IsValueDefined());
    EXPECT_EQ(flags->UserInputStr(1), "");
    for (YFciParam* f : flags->SubParamList()) {
        EXPECT_EQ(static_cast<YFciParamBoolfield*>(f)->Value(), YFciParamBoolfield::eBitUndefined);
        for (unsigned long mode : {1ul, 2ul, 3ul, 0x31ul})
            EXPECT_EQ(f->UserInputStr(mode), "");
    }
}

TEST_F(ScalarTest, StringsKeepTheirBytesAndEncodings) {
    struct Row {
        const char* payload;
        uint32_t encoding;
        const char* value;
        bool defined;
        const char* hex; // of the string
    };
    const Row rows[] = {
        {"0141420009", 1, "AB", true, "01414200"},
        {"0000410042000009", 0, "AB", true, "00004100420000"},
        {"0000410142000009", 0, "A?", true, "00004101420000"},
        {"0200", 2, "", true, "0200"},
        {"014142", 1, "AB", false, "014142"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.payload);
        MessagePtr msg = Msg(kTexts, r.payload);
        auto* text = static_cast<YFciParamString*>(msg->GetParamBySymID("Text"));
        EXPECT_TRUE(text->HasEncodingByte());
        EXPECT_EQ(text->Encoding(), r.encoding);
        EXPECT_EQ(text->Value(), r.value);
        EXPECT_EQ(text->UserInputStr(0), r.value);
        EXPECT_EQ(text->IsValueDefined(), r.defined);
        EXPECT_EQ(text->ValueHexdumpStr(), r.hex);
        EXPECT_EQ(msg->HexdumpStr().substr(0, std::string(r.payload).size()), r.payload);
    }
    // Input is encoded with the string's encoding.
    MessagePtr msg = Msg(kTexts, "0000410042000009");
    auto* text = static_cast<YFciParamString*>(msg->GetParamBySymID("Text"));
    bool changed = false;
    EXPECT_TRUE(text->SetUserInputStr("Hi!", changed));
    EXPECT_TRUE(changed);
    EXPECT_EQ(text->Value(), "Hi!");
    EXPECT_EQ(msg->HexdumpStr().substr(0, 20), "00004800690021000009");
    msg = Msg(kTexts, "0141420009");
    text = static_cast<YFciParamString*>(msg->GetParamBySymID("Text"));
    text->SetValue("xyz");
    EXPECT_EQ(msg->HexdumpStr().substr(0, 12), "0178797A0009");
    EXPECT_TRUE(text->SetUserInputStr("xyz", changed));
    EXPECT_FALSE(changed);

    // Undefined encoding byte: encoding 1, or 0 with decode option 0x2.
    EXPECT_EQ(
        static_cast<YFciParamString*>(Msg(kTexts, "", 0)->GetParamBySymID("Text"))->Encoding(), 1u);
    EXPECT_EQ(
        static_cast<YFciParamString*>(Msg(kTexts, "", 2)->GetParamBySymID("Text"))->Encoding(), 0u);

    // Encoding 7: the zero byte is followed by one more byte of the string,
    // which setting the same text again keeps.
    msg = Msg(kTexts, "074142005A09");
    text = static_cast<YFciParamString*>(msg->GetParamBySymID("Text"));
    ASSERT_EQ(text->Encoding(), 7u);
    ASSERT_EQ(text->Value(), "AB");
    EXPECT_TRUE(text->SetUserInputStr("AB", changed));
    EXPECT_FALSE(changed);
    EXPECT_EQ(msg->HexdumpStr().substr(0, 12), "074142005A09");

    // A new encoding keeps the text, and a clone decodes to the same tree.
    msg = Msg(kTexts, "01414200090102023344100105");
    text = static_cast<YFciParamString*>(msg->GetParamBySymID("Text"));
    text->SetEncoding(0);
    EXPECT_EQ(text->Encoding(), 0u);
    MessagePtr copy(msg->Clone());
    EXPECT_EQ(text->Value(), "AB");
    EXPECT_EQ(Rows(copy->AllParams(false)), Rows(msg->AllParams(false)));
    EXPECT_EQ(msg->HexdumpStr(), "00004100420000090102023344100105");
}

// Two signals share a byte; both byte orders are packed back into the
// payload after an edit, the number after the stream keeps its bytes.
TEST_F(ScalarTest, SignalsArePackedBackInBothByteOrders) {
    struct Row {
        const char* payload;
        const char* signal;
        const char* input;
        bool accepted;
        const char* hex;   // the message after the input
        const char* value; // the signal's UserInputStr(1) after the input
    };
    const Row rows[] = {
        {"01A70102", "Sig(1).Low3", "2", true, "01470102", "2"},
        {"01A70102", "Sig(1).Low3", "8", false, "01A70102", "5"},
        {"01A70102", "Sig(1).High5", "-1", true, "01BF0102", "-1"},
        {"01A70102", "Sig(1).High5", "-16", true, "01B00102", "-16"},
        {"01A70102", "Sig(1).High5", "16", false, "01A70102", "7"},
        {"01A70102", "Sig(1).High5", "0x1F", true, "01BF0102", "-1"},
        {"0234120102", "Sig(2).Word12", "0xABC", true, "02BC1A0102", "2748"},
        {"0234120102", "Sig(2).Nibble", "15", true, "0234F20102", "15"},
        {"0234120102", "Sig(2).Nibble", "16", false, "0234120102", "1"},
        {"0234120102", "Sig(2).Word12", "-1", false, "0234120102", "564"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.signal) + " = " + r.input);
        MessagePtr msg = Msg(kBits, r.payload);
        auto* s = static_cast<YFciParamSignal*>(msg->GetParamBySymID(r.signal));
        ASSERT_NE(s, nullptr);
        bool changed = false;
        EXPECT_EQ(s->SetUserInputStr(r.input, changed), r.accepted);
        EXPECT_EQ(changed, r.accepted);
        EXPECT_EQ(msg->HexdumpStr(), r.hex);
        EXPECT_EQ(Hex(msg->Data()), r.hex);
        EXPECT_EQ(s->UserInputStr(1), r.value);
        // The payload decodes to the same values.
        msg->SetHexdumpStr(msg->HexdumpStr());
        EXPECT_EQ(msg->GetParamBySymID(r.signal)->UserInputStr(1), r.value);
        EXPECT_EQ(msg->GetParamBySymID("After")->ValueHexdumpStr(), "0102");
    }

    MessagePtr msg = Msg(kBits, "0234120102");
    auto* word = static_cast<YFciParamSignal*>(msg->GetParamBySymID("Sig(2).Word12"));
    EXPECT_EQ(word->Value().u, 0x234u);
    EXPECT_EQ(word->MaxValue(), 4095u);
    // Hex texts follow the signal's byte order.
    EXPECT_EQ(word->UserInputStr(0x30), "0x3402");
    YFciParamSignal::intUnion v;
    v.u = 0x1000;
    EXPECT_FALSE(word->SetValue(v));
    v.u = 0xFFF;
    EXPECT_TRUE(word->SetValue(v));
    EXPECT_EQ(msg->HexdumpStr(), "02FF1F0102");

    msg = Msg(kBits, "01A70102");
    auto* high = static_cast<YFciParamSignal*>(msg->GetParamBySymID("Sig(1).High5"));
    EXPECT_EQ(high->MinValue(), -16);
    EXPECT_EQ(high->MaxValue(), 15u);
    v.s = -16;
    EXPECT_TRUE(high->SetValue(v));
    EXPECT_EQ(high->Value().s, -16);
    EXPECT_EQ(msg->HexdumpStr(), "01B00102");
}

// Raw streams keep the text they were decoded from.
TEST_F(ScalarTest, RawStreamsKeepTheirText) {
    MessagePtr msg = Msg(kTexts, "0141420009__0202334410010506");
    YFciParamRawStream* raw = static_cast<YFciParamRawStream*>(msg->GetParamBySymID("Raw"));
    EXPECT_EQ(raw->MaxLength(), 2u);
    EXPECT_FALSE(raw->IsValueDefined());
    EXPECT_EQ(raw->UserInputStr(0), "__02");
    EXPECT_EQ(Hex(raw->ValueHexdump()), "0002");
    EXPECT_EQ(msg->GetParamBySymID("Rest")->UserInputStr(0x30), "0x0506");
    EXPECT_EQ(msg->HexdumpStr(), "0141420009__0202334410010506");
    bool changed = false;
    EXPECT_TRUE(raw->SetUserInputStr("0xABCD", changed));
    EXPECT_TRUE(changed);
    EXPECT_TRUE(raw->IsValueDefined());
    raw->SetHexdump({0x12, 0x34});
    EXPECT_EQ(msg->HexdumpStr(), "0141420009123402334410010506");
    EXPECT_FALSE(raw->SetUserInputStr("0xXY", changed));
}

// After an edit the tree is what the message's text decodes to.
TEST_F(ScalarTest, EditsOfByteBlocksKeepTheLayout) {
    struct Row {
        uint32_t fkt;
        const char* payload;
        const char* id;
        const char* input;
    };
    const Row rows[] = {
        {kTexts, "0141420009010202334410010506", "Raw", "AB"},
        {kTexts, "0141420009010202334410010506", "Raw", "ABCDEF"},
        {kNumbers, "00200180FFFFFF07020A0B", "Remain", ""},
        // Bytes that end the message may change their count.
        {kTexts, "0141420009010202334410010506", "Rest", "AABBCCDD"},
    };
    std::string faults;
    for (const Row& r : rows) {
        MessagePtr msg = Msg(r.fkt, r.payload);
        bool changed = false;
        bool accepted = msg->GetParamBySymID(r.id)->SetUserInputStr(r.input, changed);
        MessagePtr fresh(msg->Clone());
        if (Rows(fresh->AllParams(false)) != Rows(msg->AllParams(false)))
            faults += StrFormat("; %s = \"%s\" (accepted %d) gives %s", r.id, r.input, accepted,
                                msg->HexdumpStr().c_str());
    }
    EXPECT_TRUE(faults.empty()) << "the text decodes to other values than the tree holds" << faults;
}

// A string the payload lacks keeps the place of its encoding byte and its
// terminator in the text ("____"), as an undefined number does, and stands
// for the empty text in the payload bytes; a rebuild reads it back alike.
TEST_F(ScalarTest, StringsMissingFromThePayloadKeepTheirPlace) {
    MessagePtr msg = Msg(kTexts, "");
    YFciParam* text = msg->GetParamBySymID("Text");
    EXPECT_FALSE(text->IsValueDefined());
    EXPECT_EQ(text->ValueHexdumpStr(), "____");
    EXPECT_EQ(Hex(text->ValueHexdump()), "0100");
    std::string before = msg->HexdumpStr();
    EXPECT_EQ(before.substr(0, 6), "______") << before;
    msg->Rebuild();
    EXPECT_EQ(msg->HexdumpStr(), before);
    // Setting the empty text writes the encoding byte and the terminator:
    // the payload changed.
    bool changed = false;
    EXPECT_TRUE(msg->GetParamBySymID("Text")->SetUserInputStr("", changed));
    EXPECT_TRUE(changed);
    EXPECT_TRUE(msg->GetParamBySymID("Text")->IsValueDefined());
    EXPECT_EQ(msg->GetParamBySymID("Text")->ValueHexdumpStr(), "0100");
    // Bytes that are no hex digits end an undefined string in place.
    msg->SetHexdumpStr("01414200"
                       "09"
                       "0102"
                       "02"
                       "3344"
                       "1001"
                       "05");
    EXPECT_EQ(msg->GetParamBySymID("Text")->ValueHexdumpStr(), "01414200");
}

} // namespace
} // namespace mostfcat::test::inst
