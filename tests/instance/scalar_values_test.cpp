// The scalar value kinds of a message instance: numbers with their wildcard
// letters and limits, enumerations, bools with bit fields and bool fields,
// strings, signals packed in both byte orders, raw streams and the remaining
// bytes. Defined payloads are decoded against the description decoder over
// generated catalogs (message/generated_test.cpp); the tables here hold what
// that comparison cannot see: texts in every mode, undefined values, wildcard
// letters, limits and edits.
#include <cctype>

#include "instance/instance_fixture.h"

namespace mostfcat::test::inst {
namespace {

constexpr uint32_t kNumbers = 0x100, kBits = 0x104, kTexts = 0x107, kLate = 0x10A;
// Word 0020, Small 01, Long 80FFFFFF, Byte 07, Color 02.
#define NUM "00200180FFFFFF0702"
// Text "AB", Flags 09, Raw 0102, Short 02 3344, Wide 1001, Rest 05.
#define TXT "01414200090102023344100105"

// "text|bytes|d" of a value: its text in the given mode, its bytes as text,
// d or u for defined or not, "!" when outside its valid range, and the
// encoding of a string.
std::string View(YFciParam* p, unsigned long mode) {
    if (!p) return "(none)";
    std::string out = p->UserInputStr(mode) + "|" + p->ValueHexdumpStr() + "|" +
                      (p->IsValueDefined() ? "d" : "u") + (p->IsValueValid() ? "" : "!");
    if (p->ParamType() == eFciParamString)
        out += "|e" + std::to_string(static_cast<YFciParamString*>(p)->Encoding());
    return out;
}

// The message's bytes: its text with every pair that is no hex pair as 00.
std::string Zeroed(std::string text) {
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        if (!std::isxdigit(static_cast<unsigned char>(text[i])) ||
            !std::isxdigit(static_cast<unsigned char>(text[i + 1])))
            text.replace(i, 2, "00");
    return text;
}

using ScalarTest = LabInstanceTest;

// Decoded values as texts; a rebuild from the message's text (wildcard
// letters and missing bytes included) shows the same.
TEST_F(ScalarTest, DecodedValuesShowTheirTextsAndSurviveARebuild) {
    struct Row {
        uint32_t fkt;
        const char* payload;
        uint32_t options;
        const char* id;
        unsigned long mode;
        const char* view;
    };
    const Row rows[] = {
        // Wildcard letters in the payload, in either case, right-aligned.
        {kNumbers, "nnnn", 0, "Word", 1, "NNNN|NNNN|u!"},
        {kNumbers, "0020010000pppp", 0, "Long", 0x30, "PPPP|0000PPPP|u!"},
        {kNumbers, "00200100000000pp", 0, "Byte", 1, "PP|PP|u!"},
        // A position number missing from the payload counts as 0.
        {kLate, "0102", 0, "Pos", 1, "0|0000|d"},
        // Without a range in the definition the class bounds the value.
        {kNumbers, NUM, 0, "Long", 1, "2164260863|80FFFFFF|d"},
        {kNumbers, NUM, 0, "Word", 0x30, "0x0020|0020|d"},
        {kNumbers, "00200180FFFFFF0710", 0, "Color", 1, "16|10|d"},
        {kNumbers, "00200180FFFFFF0710", 0, "Color", 2, "Blue|10|d"},
        {kNumbers, "00200180FFFFFF0710", 0, "Color", 3, "16: Blue|10|d"},
        {kNumbers, "00200180FFFFFF0707", 0, "Color", 3, "7: # Unknown code: 7 #|07|d"},
        {kNumbers, "00200180FFFFFF07", 0, "Color", 3, "|__|u!"},
        {kTexts, TXT, 0, "Flags", 1, "9|09|d"},
        {kTexts, TXT, 0, "Flags", 0x30, "0x09|09|d"},
        {kTexts, TXT, 0, "Flags.Bit3", 3, "1: Hot|1|d"},
        {kTexts, TXT, 0, "Wide", 1, "4097|1001|d"},
        {kTexts, TXT, 0, "Wide.Bit12", 2, "Fault|1|d"},
        // Undefined bools: the fields show nothing in any mode.
        {kTexts, "01414200", 0, "Flags", 1, "|__|u"},
        {kTexts, "01414200", 0, "Flags.Bit0", 3, "||u"},
        {kTexts, "01414200", 0, "Flags.Bit3", 0x31, "||u"},
        // Strings: encoding byte, UTF-16 with a character above 8 bits, no
        // terminator, missing (encoding 1, or 0 with option 0x2).
        {kTexts, "0141420009", 0, "Text", 0, "AB|01414200|d|e1"},
        {kTexts, "0000410042000009", 0, "Text", 0, "AB|00004100420000|d|e0"},
        {kTexts, "0000410142000009", 0, "Text", 0, "A?|00004101420000|d|e0"},
        {kTexts, "0200", 0, "Text", 0, "|0200|d|e2"},
        {kTexts, "", 0, "Text", 0, "|____|u!|e1"},
        {kTexts, "", 2, "Text", 0, "|______|u!|e0"},
        {kTexts, "074142005A09", 0, "Text", 0, "AB|074142005A|d|e7"},
        // Hex texts of signals follow the signal's byte order.
        {kBits, "0234120102", 0, "Sig(2).Word12", 0x30, "0x3402|3402|d"},
        {kBits, "0234120102", 0, "Sig(2).Word12", 1, "564|3402|d"},
        {kBits, "01A70102", 0, "Sig(1).High5", 1, "7|07|d"},
        // Raw streams keep the text they were decoded from.
        {kTexts, "0141420009__0202334410010506", 0, "Raw", 0, "__02|__02|u"},
        {kTexts, "0141420009__0202334410010506", 0, "Rest", 0x30, "0x0506|0506|d"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(StrFormat("%s %s mode 0x%lX", r.payload, r.id, r.mode));
        MessagePtr msg = Msg(r.fkt, r.payload, r.options);
        EXPECT_EQ(View(msg->GetParamBySymID(r.id), r.mode), r.view);
        const std::string text = msg->HexdumpStr();
        msg->Rebuild();
        EXPECT_EQ(View(msg->GetParamBySymID(r.id), r.mode), r.view) << "after a rebuild";
        EXPECT_EQ(msg->HexdumpStr(), text);
    }
    // A string without its terminator (its text is not rebuilt: the
    // terminator would take the next byte).
    EXPECT_EQ(View(Msg(kTexts, "014142")->GetParamBySymID("Text"), 0), "AB|014142|u!|e1");
}

// User input: accepted with or without a change, or refused; the message
// text after it and the value's view. The class of a number bounds what
// can be encoded, the definition's range only what counts as valid. After
// every edit the message's text decodes to the tree the message holds, and
// a rebuild keeps both.
TEST_F(ScalarTest, InputsEditTheValuesWithinTheirLimits) {
    enum { kRefused, kSame, kChanged };
    struct Row {
        uint32_t fkt;
        const char* payload;
        const char* id;
        const char* input;
        int result;
        const char* text; // the message's text after the input
        const char* view; // mode 1
    };
    const Row rows[] = {
        {kNumbers, NUM, "Word", "5", kChanged, "00050180FFFFFF0702", "5|0005|d!"},
        {kNumbers, NUM, "Word", "10", kChanged, "000A0180FFFFFF0702", "10|000A|d"},
        {kNumbers, NUM, "Word", "1000", kChanged, "03E80180FFFFFF0702", "1000|03E8|d"},
        {kNumbers, NUM, "Word", "1001", kChanged, "03E90180FFFFFF0702", "1001|03E9|d!"},
        {kNumbers, NUM, "Word", "65535", kChanged, "FFFF0180FFFFFF0702", "65535|FFFF|d!"},
        {kNumbers, NUM, "Word", "65536", kRefused, NUM, "32|0020|d"},
        {kNumbers, NUM, "Word", "-1", kRefused, NUM, "32|0020|d"},
        {kNumbers, NUM, "Word", "abc", kRefused, NUM, "32|0020|d"},
        {kNumbers, NUM, "Word", "0x20", kSame, NUM, "32|0020|d"},
        {kNumbers, NUM, "Small", "-128", kChanged, "00208080FFFFFF0702", "-128|80|d!"},
        {kNumbers, NUM, "Small", "-5", kChanged, "0020FB80FFFFFF0702", "-5|FB|d"},
        {kNumbers, NUM, "Small", "0xFF", kChanged, "0020FF80FFFFFF0702", "-1|FF|d"},
        {kNumbers, NUM, "Small", "128", kRefused, NUM, "1|01|d"},
        {kNumbers, NUM, "Long", "4294967295", kChanged, "002001FFFFFFFF0702",
         "4294967295|FFFFFFFF|d"},
        {kNumbers, NUM, "Long", "4294967296", kRefused, NUM, "2164260863|80FFFFFF|d"},
        {kNumbers, NUM, "Byte", "+255", kChanged, "00200180FFFFFFFF02", "255|FF|d"},
        {kNumbers, NUM, "Byte", "256", kRefused, NUM, "7|07|d"},
        // Wildcard letters, typed in either case; a 1-byte number has no
        // room for NNNN and is undefined without wildcard.
        {kNumbers, NUM, "Word", "g", kChanged, "GGGG0180FFFFFF0702", "GGGG|GGGG|u!"},
        {kNumbers, NUM, "Long", "G", kChanged, "0020010000GGGG0702", "GGGG|0000GGGG|u!"},
        {kNumbers, NUM, "Byte", "p", kChanged, "00200180FFFFFFPP02", "PP|PP|u!"},
        {kNumbers, NUM, "Byte", "n", kChanged, "00200180FFFFFF__02", "|__|u!"},
        // A position takes no wildcard: the text could not keep it.
        {kLate, "0102", "Pos", "n", kRefused, "01020000", "0|0000|d"},
        // Enumerations: names, codes in any base, "code: text".
        {kNumbers, NUM, "Color", "Green", kSame, NUM, "2|02|d"},
        {kNumbers, NUM, "Color", "3: Three", kChanged, "00200180FFFFFF0703", "3|03|d"},
        {kNumbers, NUM, "Color", "0x10", kChanged, "00200180FFFFFF0710", "16|10|d"},
        {kNumbers, NUM, "Color", "0b10", kSame, NUM, "2|02|d"},
        {kNumbers, NUM, "Color", "255", kChanged, "00200180FFFFFF07FF", "255|FF|d"},
        {kNumbers, NUM, "Color", "256", kRefused, NUM, "2|02|d"},
        {kNumbers, NUM, "Color", "-1", kRefused, NUM, "2|02|d"},
        {kNumbers, NUM, "Color", "", kRefused, NUM, "2|02|d"},
        {kNumbers, NUM, "Color", "Purple", kRefused, NUM, "2|02|d"},
        {kNumbers, NUM, "Color", "Red", kChanged, "00200180FFFFFF0700", "0|00|d"},
        // A bool and its bool fields stay in step; "2" leaves a field as is.
        {kTexts, TXT, "Flags", "0xFF", kChanged, "01414200FF0102023344100105", "255|FF|d"},
        {kTexts, TXT, "Flags", "256", kRefused, TXT, "9|09|d"},
        {kTexts, TXT, "Flags", "-1", kRefused, TXT, "9|09|d"},
        {kTexts, TXT, "Flags.Bit3", "0", kChanged, "01414200010102023344100105", "0|0|d"},
        {kTexts, TXT, "Flags.Bit3", "1", kSame, TXT, "1|1|d"},
        {kTexts, TXT, "Flags.Bit3", "2", kSame, TXT, "1|1|d"},
        {kTexts, TXT, "Wide.Bit12", "0", kChanged, "01414200090102023344000105", "0|0|d"},
        // Strings are encoded with their own encoding; an encoding-7 string
        // keeps the byte after its terminator when set to the same text; a
        // string the payload lacks gets its encoding byte and terminator.
        {kTexts, "0000410042000009", "Text", "Hi!", kChanged, "00004800690021000009__________",
         "Hi!|000048006900210000|d|e0"},
        {kTexts, "0141420009", "Text", "xyz", kChanged, "0178797A0009__________",
         "xyz|0178797A00|d|e1"},
        {kTexts, "0178797A0009", "Text", "xyz", kSame, "0178797A0009__________",
         "xyz|0178797A00|d|e1"},
        {kTexts, "074142005A09", "Text", "AB", kSame, "074142005A09__________",
         "AB|074142005A|d|e7"},
        {kTexts, "", "Text", "", kChanged, "0100____________", "|0100|d|e1"},
        // Signals sharing a byte are packed back in both byte orders; the
        // number after the stream keeps its bytes.
        {kBits, "01A70102", "Sig(1).Low3", "2", kChanged, "01470102", "2|02|d"},
        {kBits, "01A70102", "Sig(1).Low3", "8", kRefused, "01A70102", "5|05|d"},
        {kBits, "01A70102", "Sig(1).High5", "-1", kChanged, "01BF0102", "-1|1F|d"},
        {kBits, "01A70102", "Sig(1).High5", "-16", kChanged, "01B00102", "-16|10|d"},
        {kBits, "01A70102", "Sig(1).High5", "16", kRefused, "01A70102", "7|07|d"},
        {kBits, "01A70102", "Sig(1).High5", "0x1F", kChanged, "01BF0102", "-1|1F|d"},
        {kBits, "0234120102", "Sig(2).Word12", "0xABC", kChanged, "02BC1A0102", "2748|BC0A|d"},
        {kBits, "0234120102", "Sig(2).Nibble", "15", kChanged, "0234F20102", "15|0F|d"},
        {kBits, "0234120102", "Sig(2).Nibble", "16", kRefused, "0234120102", "1|01|d"},
        {kBits, "0234120102", "Sig(2).Word12", "-1", kRefused, "0234120102", "564|3402|d"},
        // Byte blocks: a raw stream keeps its length, the bytes that end the
        // message may change their count.
        {kTexts, "0141420009__0202334410010506", "Raw", "0xABCD", kChanged,
         "0141420009ABCD02334410010506", "ABCD|ABCD|d"},
        {kTexts, "0141420009__0202334410010506", "Raw", "0xXY", kRefused,
         "0141420009__0202334410010506", "__02|__02|u"},
        {kTexts, TXT "06", "Raw", "AB", kRefused, TXT "06", "0102|0102|d"},
        {kTexts, TXT "06", "Raw", "ABCDEF", kRefused, TXT "06", "0102|0102|d"},
        {kTexts, TXT "06", "Rest", "AABBCCDD", kChanged, "014142000901020233441001AABBCCDD",
         "AABBCCDD|AABBCCDD|d"},
        {kNumbers, NUM "0A0B", "Remain", "", kChanged, NUM, "(none)"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(StrFormat("%s %s = \"%s\"", r.payload, r.id, r.input));
        MessagePtr msg = Msg(r.fkt, r.payload);
        YFciParam* p = msg->GetParamBySymID(r.id);
        ASSERT_NE(p, nullptr);
        bool changed = false;
        EXPECT_EQ(p->SetUserInputStr(r.input, changed), r.result != kRefused);
        EXPECT_EQ(changed, r.result == kChanged);
        EXPECT_EQ(msg->HexdumpStr(), r.text);
        EXPECT_EQ(Hex(msg->Data()), Zeroed(r.text));
        EXPECT_EQ(View(msg->GetParamBySymID(r.id), 1), r.view);
        MessagePtr fresh(msg->Clone());
        EXPECT_EQ(Rows(fresh->AllParams(false)), Rows(msg->AllParams(false)))
            << "the text decodes to other values than the tree holds";
        msg->Rebuild();
        EXPECT_EQ(msg->HexdumpStr(), r.text) << "after a rebuild";
        EXPECT_EQ(View(msg->GetParamBySymID(r.id), 1), r.view) << "after a rebuild";
    }
}

// The typed setters and limits next to the text inputs above.
TEST_F(ScalarTest, ValueSettersKeepToTheSameLimits) {
    MessagePtr msg = Msg(kNumbers, NUM);
    auto* word = static_cast<YFciParamNumber*>(msg->GetParamBySymID("Word"));
    EXPECT_EQ(std::tuple(word->MinValue(), word->MaxValue()), std::tuple(10.0, 1000.0));
    EXPECT_EQ(static_cast<YFciParamNumber*>(msg->GetParamBySymID("Long"))->MaxValue(),
              4294967295.0);
    EXPECT_EQ(word->Wildcard(), YFciParamNumber::eNoWildcard);
    EXPECT_FALSE(word->SetValue(70000));
    EXPECT_TRUE(word->SetValue(2000));
    auto* color = static_cast<YFciParamEnum*>(msg->GetParamBySymID("Color"));
    EXPECT_EQ(color->ValueType(), YFciParamEnum::eEnum8);
    EXPECT_FALSE(color->SetValue(300));
    EXPECT_TRUE(color->SetValue(7));
    EXPECT_EQ(msg->HexdumpStr(), "07D00180FFFFFF0707");
    EXPECT_EQ(Msg(kNumbers, "00200180FFFFFF07")->GetParamBySymID("Color")->IsValueDefined(), false);
    EXPECT_EQ(
        static_cast<YFciParamEnum*>(Msg(kNumbers, "00200180FFFFFF07")->GetParamBySymID("Color"))
            ->Value(),
        -1);

    msg = Msg(kBits, "0234120102");
    auto* w12 = static_cast<YFciParamSignal*>(msg->GetParamBySymID("Sig(2).Word12"));
    EXPECT_EQ(std::tuple(w12->Value().u, w12->MaxValue()), std::tuple(0x234ull, 4095ull));
    YFciParamSignal::intUnion v;
    v.u = 0x1000;
    EXPECT_FALSE(w12->SetValue(v));
    v.u = 0xFFF;
    EXPECT_TRUE(w12->SetValue(v));
    EXPECT_EQ(msg->HexdumpStr(), "02FF1F0102");
    msg = Msg(kBits, "01A70102");
    auto* high = static_cast<YFciParamSignal*>(msg->GetParamBySymID("Sig(1).High5"));
    EXPECT_EQ(std::tuple(high->MinValue(), high->MaxValue()), std::tuple(int64_t(-16), 15ull));
    v.s = -16;
    EXPECT_TRUE(high->SetValue(v));
    EXPECT_EQ(high->Value().s, -16);
    EXPECT_EQ(msg->HexdumpStr(), "01B00102");

    // Bool fields and their bool; the fields of a bool with their ids.
    msg = Msg(kTexts, TXT);
    auto* flags = static_cast<YFciParamBool*>(msg->GetParamBySymID("Flags"));
    ASSERT_EQ(flags->ParamType(), eFciParamBool);
    Lines fields;
    for (YFciParam* f : flags->SubParamList())
        fields.push_back(f->ShortID() + " " + f->SymID() + " " + f->UserInputStr(3));
    EXPECT_EQ(fields, (Lines{"2.0 Flags.Bit0 1: On", "2.1 Flags.Bit1 0: False",
                             "2.2 Flags.Bit2 0: False", "2.3 Flags.Bit3 1: Hot"}));
    auto* hot = static_cast<YFciParamBoolfield*>(msg->GetParamBySymID("Flags.Bit3"));
    EXPECT_EQ(hot->BitPosition(), 3u);
    EXPECT_EQ(hot->ValueList(3), (std::vector<std::string>{"1: Hot", "0: Cold"}));
    hot->SetValue(YFciParamBoolfield::eBitClear);
    EXPECT_EQ(flags->Value(), 1u);
    flags->SetValue(0xFF);
    EXPECT_EQ(static_cast<YFciParamBoolfield*>(flags->SubParamList()[1])->Value(),
              YFciParamBoolfield::eBitSet);
    auto* wide = static_cast<YFciParamBool*>(msg->GetParamBySymID("Wide"));
    EXPECT_EQ(std::tuple(wide->ParamType(), wide->ValueType()),
              std::tuple(uint32_t(eFciParamBitfield), uint32_t(YFciParamNumber::eU16)));
    static_cast<YFciParamBoolfield*>(msg->GetParamBySymID("Wide.Bit12"))
        ->SetValue(YFciParamBoolfield::eBitClear);
    EXPECT_EQ(msg->HexdumpStr(), "01414200FF0102023344000105");
    EXPECT_EQ(
        static_cast<YFciParamBoolfield*>(Msg(kTexts, "01414200")->GetParamBySymID("Flags.Bit2"))
            ->Value(),
        YFciParamBoolfield::eBitUndefined);

    // Strings: a new encoding keeps the text, and a clone decodes to the
    // same tree; raw bytes set directly.
    auto* text = static_cast<YFciParamString*>(msg->GetParamBySymID("Text"));
    EXPECT_TRUE(text->HasEncodingByte());
    text->SetEncoding(0);
    EXPECT_EQ(std::tuple(text->Encoding(), text->Value()), std::tuple(0u, std::string("AB")));
    MessagePtr copy(msg->Clone());
    EXPECT_EQ(Rows(copy->AllParams(false)), Rows(msg->AllParams(false)));
    auto* raw = static_cast<YFciParamRawStream*>(msg->GetParamBySymID("Raw"));
    EXPECT_EQ(raw->MaxLength(), 2u);
    raw->SetHexdump({0x12, 0x34});
    text->SetValue("x");
    EXPECT_EQ(msg->HexdumpStr(), "0000780000FF1234023344000105");
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
        EXPECT_EQ(Hex(msg->Data()), Zeroed(r.hex));
    }
    // An undefined value set later fills its place; the text decodes again
    // to the same values.
    MessagePtr msg = Msg(kNumbers, "0020");
    EXPECT_TRUE(Set(*msg, "Byte", "7"));
    EXPECT_EQ(msg->HexdumpStr(), "0020__________07__");
    msg->Rebuild();
    EXPECT_EQ(msg->GetParamBySymID("Byte")->ValueHexdumpStr(), "07");
    EXPECT_FALSE(msg->GetParamBySymID("Small")->IsValueDefined());
    // A string the payload lacks keeps the place of its encoding byte and
    // terminator; bytes that are no hex digits end an undefined string in
    // place.
    msg = Msg(kTexts, "");
    EXPECT_EQ(Hex(msg->GetParamBySymID("Text")->ValueHexdump()), "0100");
    EXPECT_EQ(Hex(Msg(kTexts, "", 2)->GetParamBySymID("Text")->ValueHexdump()), "000000");
    EXPECT_EQ(msg->HexdumpStr().substr(0, 6), "______");
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
