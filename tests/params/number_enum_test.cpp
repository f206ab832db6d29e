// Number and enumeration parameters: import, limits and code ranges, the
// meanings derived by the check, conversions, copies and archive order.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "import/text_read.h"
#include "param_test_util.h"
#include "params/param_number.h"
#include "params/param_stream.h"
#include "params/param_struct.h"
#include "tree/fblock.h"

namespace mostfcat {
namespace {

using test::Err;
using test::Msgs;
using test::Warn;

// The parts of a TNumber element; an empty optional leaves the element out.
struct NumberParts {
    std::string name = "Level";
    std::string basis = R"(<TUByte TypeRef="type_unsigned_byte"/>)";
    std::optional<std::string> unit = R"(<Unit UnitRef="unit_db"/>)";
    std::optional<std::string> exponent = "0";
    std::optional<std::string> rangeMin, rangeMax;
    std::optional<std::string> step = "1";
};

std::string Element(const char* tag, const std::optional<std::string>& text) {
    return text ? StrFormat("<%s>%s</%s>", tag, text->c_str(), tag) : std::string();
}

std::string NumberXml(const NumberParts& s) {
    return "<PUParam><ParamName>" + s.name + "</ParamName><PUParamType><TNumber>" +
           Element("Exponent", s.exponent) + "<BasisDataType>" + s.basis + "</BasisDataType>" +
           s.unit.value_or("") + Element("RangeMin", s.rangeMin) + Element("RangeMax", s.rangeMax) +
           Element("Step", s.step) + "</TNumber></PUParamType></PUParam>";
}

std::string EnumXml(const std::string& values, const std::string& tenumAttrs = "",
                    const std::string& name = "Mode") {
    return "<PUParam><ParamName>" + name + "</ParamName><PUParamType><TEnum" + tenumAttrs + ">" +
           values + "</TEnum></PUParamType></PUParam>";
}

std::string Value(const std::string& code, const std::string& name) {
    return "<TEnumValue Code=\"" + code + "\" SymbolicName=\"" + name + "\"/>";
}

class NumberEnumTest : public test::ParamTest {
protected:
    std::unique_ptr<YMTParamNumber> Number(const NumberParts& s) {
        return ImportParam<YMTParamNumber>(NumberXml(s));
    }
    std::unique_ptr<YMTParamEnum> Enum(const std::string& values, const std::string& attrs = "") {
        return ImportParam<YMTParamEnum>(EnumXml(values, attrs));
    }
    YMTParamNumber* NewNumber(const char* name, uint16_t width) {
        auto* n = new YMTParamNumber();
        n->SetName(name);
        n->SetBytesInMsg(width);
        return n;
    }
    // The meaning a number gets when checked at position 5 of Status.
    uint32_t MeaningInStatus(const char* name, uint16_t width) {
        YMTParamNumber* n = Put(NewNumber(name, width), 5);
        CheckMsgs(*n);
        uint32_t meaning = n->ParamMeaning();
        m_Op->RemoveRange(5, 5);
        return meaning;
    }
};

// --- numbers -------------------------------------------------------------------------

TEST_F(NumberEnumTest, NumberImportReadsEveryPart) {
    NumberParts s;
    s.basis = R"(<TSWord TypeRef="type_signed_word"/>)";
    s.exponent = "-1";
    s.rangeMin = " -400 ";
    s.rangeMax = "0x0190";
    s.step = "0.5";
    auto n = Number(s);
    EXPECT_EQ(m_Msgs, Msgs{});
    EXPECT_EQ(n->BytesInMsg(), 2);
    EXPECT_EQ(n->DataTypeClass(), 4u); // s16
    EXPECT_EQ(CheckMsgs(*n), Msgs{});
    std::string dump = DumpText(*n);
    EXPECT_NE(dump.find(".Exponent: -1\n.Range: -400.000000-400.000000\n.Step: 0.500000\n"
                        ".UnitName: dB\n"),
              std::string::npos)
        << dump;
}

TEST_F(NumberEnumTest, NumberImportErrors) {
    std::string noBasis = NumberXml({});
    noBasis.erase(noBasis.find("<Basis"), noBasis.find("<Unit") - noBasis.find("<Basis"));
    struct Case {
        std::string xml, msg;
    } cases[] = {{EnumXml("", "", "Level"), Err(66, "/Level", "Can not find element <TNumber>")},
                 {noBasis, Err(71, "/Level", "Can not find element <BasisDataType>")},
                 {"<PUParam><PUParamType><TNumber/></PUParamType></PUParam>",
                  Err(11, "/", "Can not find element <ParamName>")}};
    for (const Case& c : cases) {
        ImportParam<YMTParamNumber>(c.xml, false);
        EXPECT_EQ(m_Msgs, Msgs{c.msg}) << c.xml;
    }
    // No TypeRef, an unknown type, a tag outside the basis types; no unit.
    NumberParts s;
    for (const char* basis : {"<TUByte/>", R"(<TUByte TypeRef="type_float"/>)",
                              R"(<TFloat TypeRef="type_unsigned_byte"/>)"}) {
        s.basis = basis;
        ImportParam<YMTParamNumber>(NumberXml(s), false);
        EXPECT_EQ(m_Msgs, Msgs{Err(151, "/Level", "Type definition not found")}) << basis;
    }
    s = {};
    for (const char* unit : {"", "<Unit/>"}) {
        s.unit = unit;
        ImportParam<YMTParamNumber>(NumberXml(s), false);
        EXPECT_EQ(m_Msgs, Msgs{Err(72, "/Level", "Can not find element <Unit>")}) << unit;
    }
}

TEST_F(NumberEnumTest, UnitsExponentsAndSteps) {
    NumberParts s;
    s.unit = R"(<Unit UnitRef="unit_parsec"/>)";
    EXPECT_EQ(Number(s)->UnitName(), "");
    EXPECT_EQ(m_Msgs, Msgs{Warn(152, "/Level", "Cannot find unit definition")});
    // The identifier, not the unit's name, marks a number without unit.
    for (const char* id : {"UNIT_NONE", "unit_undefined"}) {
        s.unit = StrFormat(R"(<Unit UnitRef="%s"/>)", id);
        EXPECT_EQ(Number(s)->UnitName(), "") << id;
    }

    s.exponent.reset();
    s.step.reset();
    auto n = Number(s);
    EXPECT_EQ(m_Msgs, (Msgs{Warn(67, "/Level", "Can not find element <Exponent>"),
                            Warn(70, "/Level", "Can not find element <Step>")}));
    EXPECT_EQ(n->Exponent(), 0);
    struct {
        const char *exponent, *step;
        int32_t e;
        double st;
    } texts[] = {{"0x2", "0x10", 2, 16},
                 {"0b11", "0b101", 3, 5},
                 {" 4 ", " 2.5e1 ", 4, 25},
                 {"abc", "nan", 0, 0}};
    for (const auto& t : texts) {
        s.exponent = t.exponent;
        s.step = t.step;
        n = Number(s);
        EXPECT_EQ(n->Exponent(), t.e) << t.exponent;
        EXPECT_EQ(n->Step(), t.st) << t.step;
    }

    // A parameter Pos should be a 2-byte index without exponent.
    s.name = "pos";
    s.exponent = "1";
    Number(s);
    EXPECT_EQ(m_Msgs, (Msgs{Warn(73, "/pos", "Size of 'Pos' parameter <> 2 Bytes"),
                            Warn(74, "/pos", "Exponent of 'Pos' parameter <> 0")}));
}

// The limits, and with them width and signedness of the type definition.
TEST_F(NumberEnumTest, NumberLimits) {
    const char* u8 = R"(<TUByte TypeRef="type_unsigned_byte"/>)";
    const char* s8 = R"(<TSByte TypeRef="type_signed_byte"/>)";
    const char* u32 = R"(<TULong TypeRef="TYPE_UNSIGNED_LONG"/>)";
    const char* s16 = R"(<TSWord TypeRef="type_signed_word"/>)";
    const char* s32 = R"(<TSLong TypeRef="type_signed_long"/>)";
    // The definition decides, not the tag; the first tag in table order with
    // a TypeRef is taken.
    const char* s8InU8 = R"(<TUByte TypeRef="type_signed_byte"/>)";
    const char* firstInOrder =
        R"(<TSWord TypeRef="type_signed_word"/><TULong TypeRef="type_unsigned_long"/>)";
    auto outside = [](uint32_t n, const char* text, const char* which, const char* type) {
        return Warn(n, "/Level",
                    StrFormat("Value '%s' in '%s' is outside limits of base data type '%s'", text,
                              which, type));
    };
    auto failed = [](uint32_t n, const char* text) {
        return Warn(n, "/Level", StrFormat("Failed to analyze value '%s'", text));
    };
    const std::string conflict =
        Warn(238, "/Level",
             "Error in definition of value limits (lower limit greater than upper limit, or base "
             "data type conflict)");
    const char* huge = "99999999999999999999999";
    const std::optional<std::string> none;
    struct Case {
        const char* basis;
        std::optional<std::string> min, max;
        double lower, upper;
        Msgs msgs;
    } cases[] = {
        {u8, none, none, 0, 0, {}},
        {u8, "Full Range", "100", 0, 0, {}},
        {u8, "10", "FULL RANGE", 0, 0, {}},
        {u8, "10", "nmax", 10, 255, {}},
        {u8, none, "+20", 0, 20, {}},
        {u8, "300", "20", 0, 20, {outside(234, "300", "RangeMin", "UByte")}},
        {u8, "-1", none, 0, 0, {outside(234, "-1", "RangeMin", "UByte")}},
        {u8, "5", "256", 5, 255, {outside(235, "256", "RangeMax", "UByte")}},
        {u8, "50", "20", 0, 0, {conflict}},
        {u8, "1.5", "12abc", 0, 0, {failed(236, "1.5"), failed(237, "12abc")}},
        {u8, huge, none, 0, 0, {outside(234, huge, "RangeMin", "UByte")}},
        // Signed classes read hexadecimal texts as bit patterns of their width.
        {s8, "0xFF", "0x10", -1, 16, {}},
        {s8, "0x100", "0", -128, 0, {outside(234, "0x100", "RangeMin", "SByte")}},
        {s8, "- 5", "-0x02", -5, -2, {}},
        {s8InU8, "-128", none, -128, 127, {}},
        {s16, "-0xFFFE", "0x10000", 2, 32767, {outside(235, "0x10000", "RangeMax", "SWord")}},
        {s32, "0x80000000", "0xFFFFFFFF", -2147483648.0, -1, {}},
        {u32, none, "4294967296", 0, 0, {outside(235, "4294967296", "RangeMax", "ULong")}},
        {firstInOrder, "0xFFFFFFFF", none, 4294967295.0, 4294967295.0, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.basis) + " [" + c.min.value_or("-") + "] [" +
                     c.max.value_or("-") + "]");
        NumberParts s;
        s.basis = c.basis;
        s.rangeMin = c.min;
        s.rangeMax = c.max;
        auto n = Number(s);
        EXPECT_EQ(n->RangeMin(), c.lower);
        EXPECT_EQ(n->RangeMax(), c.upper);
        EXPECT_EQ(m_Msgs, c.msgs);
    }
}

TEST_F(NumberEnumTest, CheckDerivesMeaningsFromNameAndWidth) {
    struct Case {
        const char* name;
        uint16_t width;
        uint32_t meaning;
    } cases[] = {{"POSITION", 2, 7},  {"Pos", 1, 0},          {"Tag", 2, 11},       {"PosY", 1, 12},
                 {"PosY", 2, 0},      {"sourcefblock", 1, 2}, {"SinkFBlock", 2, 0}, {"FktID", 2, 0},
                 {"ListSize", 0, 14}, {"ListSize", 2, 0}};
    for (const Case& c : cases) {
        YMTParamNumber n;
        n.SetName(c.name);
        n.SetBytesInMsg(c.width);
        EXPECT_EQ(CheckMsgs(n), Msgs{});
        EXPECT_EQ(n.ParamMeaning(), c.meaning) << c.name << " width " << c.width;
    }
    // A preset meaning and display mode are kept; names the settings prefer
    // in hexadecimal are shown so.
    YImportState settings;
    settings.hexPreferredNames = {"fblockid"};
    m_Ctx.SetSettings(&settings);
    YMTParamNumber preset, derived;
    for (YMTParamNumber* n : {&preset, &derived})
        n->SetName("FBlockID");
    derived.SetBytesInMsg(1);
    preset.SetParamMeaning(1);
    preset.SetParamDispMode(1);
    CheckMsgs(preset);
    CheckMsgs(derived);
    m_Ctx.SetSettings(nullptr);
    EXPECT_EQ(std::pair(preset.ParamMeaning(), preset.ParamDispMode()), std::pair(1u, 1u));
    EXPECT_EQ(std::pair(derived.ParamMeaning(), derived.ParamDispMode()), std::pair(2u, 2u));
}

TEST_F(NumberEnumTest, CheckMeaningsDependOnTheFunction) {
    YMTOperation* set = AddOperation(m_Fn, "Set", 0);
    EXPECT_EQ(MeaningInStatus("Pos", 2), 0u); // neither arrays nor records in the function
    // A record in another operation serves Pos but not Tag or PosY; an array
    // nested in that record does not count.
    auto* record = Put(new YMTParamRecord(), 1, set);
    Put(*record, new YMTParamArray(), 1);
    EXPECT_EQ(MeaningInStatus("Position", 2), 7u);
    EXPECT_EQ(MeaningInStatus("Tag", 2), 0u);
    EXPECT_EQ(MeaningInStatus("PosY", 1), 0u);
    Put(new YMTParamArray(), 2, set);
    EXPECT_EQ(MeaningInStatus("Tag", 2), 11u);
    EXPECT_EQ(MeaningInStatus("PosY", 1), 12u);
    // Below a record nothing is derived for Pos or ListSize; below a stream
    // case ListSize still counts.
    YMTParamNumber* posInRecord = Put(*record, NewNumber("Pos", 2), 2);
    YMTParamNumber* sizeInRecord = Put(*record, NewNumber("ListSize", 4), 3);
    YMTParamNumber* sizeInCase =
        Put(*Put(new YMTParamStreamCase(), 3, set), NewNumber("ListSize", 4), 1);
    for (YMTParamNumber* n : {posInRecord, sizeInRecord, sizeInCase})
        CheckMsgs(*n);
    EXPECT_EQ(posInRecord->ParamMeaning(), 0u);
    EXPECT_EQ(sizeInRecord->ParamMeaning(), 0u);
    EXPECT_EQ(sizeInCase->ParamMeaning(), 14u);
    // FktID is a function identifier only in the notification functions.
    m_Fn.SetName("NOTIFICATIONCHECK");
    EXPECT_EQ(MeaningInStatus("fktid", 2), 4u);
    EXPECT_EQ(MeaningInStatus("FktID", 1), 0u);

    // A repeated name is reported, except for Tag.
    Put(NewNumber("Tag", 2), 6);
    EXPECT_EQ(CheckMsgs(*Put(NewNumber("tag", 2), 7)), Msgs{});
    Put(NewNumber("Speed", 2), 8);
    EXPECT_EQ(
        CheckMsgs(*Put(NewNumber("Speed", 2), 9)),
        Msgs{Warn(9, "/NOTIFICATIONCHECK/Status/Speed", "Multiple use of parameter name 'Speed'")});
}

TEST_F(NumberEnumTest, NumberCopyArchiveAndBytes) {
    NumberParts s;
    s.rangeMin = "5";
    s.step = "0.125";
    auto n = Number(s);
    n->SetParamMeaning(14);
    std::unique_ptr<YMTNode> clone(n->Clone());
    ASSERT_TRUE(clone);
    EXPECT_EQ(DumpText(*clone), DumpText(*n));
    EXPECT_EQ(test::Kinds(*n), "str str ref0 u16 u8 u16 u16 u8 u32 str "
                               "u8 i32 u64 u64 u64 str u8 u8 ");
    // Codes of 1 to 4 bytes; anything else reads as 0.
    const uint8_t bytes[5] = {0x12, 0x34, 0x56, 0x78, 0x9A};
    uint32_t v = 7;
    EXPECT_EQ(n->ConvertBytesToInt(bytes, 4, &v), kAttrOk);
    EXPECT_EQ(v, 0x12345678u);
    EXPECT_EQ(n->ConvertBytesToInt(bytes, 5, &v), kAttrOk);
    EXPECT_EQ(v, 0u);
}

// --- code ranges and enumerations ----------------------------------------------------

TEST_F(NumberEnumTest, CodeRangeSyntax) {
    struct Case {
        const char* text;
        int64_t min, max;
    } cases[] = {{" #null# ", 0, 0}, {" 0x1F ", 31, 31},        {"0b1 01", 5, 5},
                 {"3..1", 1, 3},     {"5...7", 5, 7},           {"0x10 .. 0x20", 16, 32},
                 {"-4", -4, -4},     {"> 0x10", 16, 0x7FFFFFFF}};
    for (const Case& c : cases) {
        YCodeRange r;
        EXPECT_TRUE(ReadCodeRange(c.text, r)) << c.text;
        EXPECT_EQ(r.min, c.min) << c.text;
        EXPECT_EQ(r.max, c.max) << c.text;
    }
    // Values beyond 64 bits cannot be read (no silent wrap-around).
    for (const char* bad : {"", "1-5", "0xZZ", "0b102", "1..", "..1", "5>", "99999999999999999999",
                            "0xFFFFFFFFFFFFFFFF"}) {
        YCodeRange r;
        EXPECT_FALSE(ReadCodeRange(bad, r)) << bad;
    }
}

TEST_F(NumberEnumTest, EnumImportReadsValuesInOrder) {
    auto e = Enum(Value("0", "Off") + Value("1..5", "On") +
                  "<TEnumValue Code=\"0x10\">  Text&#9;Value </TEnumValue>" +
                  "<TEnumValue Code=\"7\" SymbolicName=\"\">Fallback</TEnumValue>" +
                  Value("8", std::string(300, 'x')));
    EXPECT_EQ(m_Msgs, Msgs{});
    ASSERT_EQ(e->GetSize(), 5u);
    // Without a symbolic name the text names the value, printable characters only.
    EXPECT_EQ(e->ValueAt(2)->NameRef(), "  TextValue ");
    EXPECT_EQ(e->ValueAt(2)->Description(), "  Text\tValue ");
    EXPECT_EQ(e->ValueAt(3)->NameRef(), "Fallback");
    EXPECT_EQ(e->ValueAt(4)->NameRef(), std::string(255, 'x'));
    std::string dump = DumpText(*e);
    EXPECT_NE(dump.find(".EnumMax: 255\n\tENUMVALUE: Off  .CodeMin: 0x00 .CodeMax: 0x00\n"
                        "\tENUMVALUE: On  .CodeMin: 0x01 .CodeMax: 0x05\n"),
              std::string::npos)
        << dump;
}

TEST_F(NumberEnumTest, EnumValueCodes) {
    const std::string v = "/Mode/V";
    const std::string failed = Err(81, "/Mode", "Failed to import element <TEnumValue>");
    auto range = [&](uint32_t n, const char* value) {
        return Msgs{Err(n, v, StrFormat("Value '%s' out of range [0, 65535)", value)), failed};
    };
    struct Case {
        std::string code;
        uint16_t min, max; // min > max: the value is dropped
        Msgs msgs;
    } cases[] = {{"0b10-1", 9, 9, {Warn(155, v, "'-' replaced by '0' in enum code '0b10-1'")}},
                 {"65535", 65535, 65535, {}},
                 {">5", 1, 0, range(194, "2147483647")},
                 {"70000", 1, 0, range(193, "70000")},
                 {"-1", 1, 0, range(193, "-1")},
                 {"abc", 1, 0, {Err(76, v, "Failed to analyze value 'abc'"), failed}},
                 {"0b12", 1, 0, {Err(156, v, "Failed to analyze value '0b12'"), failed}}};
    for (const Case& c : cases) {
        // The value after the tested one shows that a failure skips only its own.
        auto e = Enum(Value(c.code, "V") + Value("100", "Last"));
        EXPECT_EQ(m_Msgs, c.msgs) << c.code;
        bool kept = c.min <= c.max;
        ASSERT_EQ(e->GetCount(), kept ? 2u : 1u) << c.code;
        if (!kept) continue;
        EXPECT_EQ(e->ValueAt(0)->CodeMin(), c.min) << c.code;
        EXPECT_EQ(e->ValueAt(0)->CodeMax(), c.max) << c.code;
    }
    Enum("<TEnumValue SymbolicName=\"V\"/>");
    EXPECT_EQ(m_Msgs, (Msgs{Err(75, v, "Missing required attribute Code"), failed}));
}

TEST_F(NumberEnumTest, EnumMaxAndWidth) {
    const std::string upTo300 = Value("0..300", "All"), three = Value("3", "A");
    const std::string tooLarge =
        Warn(82, "/Mode", "Value 70000 out of range [0,65536). Using 65535 instead.");
    auto unreadable = [](const char* text) {
        return Warn(79, "/Mode",
                    StrFormat("Failed to analyze attribute value '%s'. EnumMax will be derived "
                              "from enum value table.",
                              text));
    };
    const std::string aboveMax = Warn(83, "/Mode", "Enum code out of range (0...EnumMax)");
    struct Case {
        std::string values, attrs;
        uint16_t enumMax, width;
        Msgs msgs;
    } cases[] = {
        {upTo300, "", 65535, 2, {}},
        {three, R"( TEnumMax="0x12C")", 300, 2, {}},
        {three, R"( TEnumMax="0..255")", 255, 1, {}},
        {upTo300, R"( TEnumMax="#null#")", 65535, 2, {}},
        {three, R"( TEnumMax="70000")", 255, 1, {tooLarge}},
        {upTo300, R"( TEnumMax="70000")", 65535, 2, {tooLarge}},
        {three, R"( TEnumMax="-5")", 255, 1, {unreadable("-5")}},
        {three + Value("5..9", "B") + Value("12", "C"), R"( TEnumMax="8")", 8, 1, {aboveMax}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.values + c.attrs);
        auto e = Enum(c.values, c.attrs);
        EXPECT_EQ(e->EnumMax(), c.enumMax);
        EXPECT_EQ(e->BytesInMsg(), c.width);
        EXPECT_EQ(m_Msgs, c.msgs);
    }
}

TEST_F(NumberEnumTest, EnumOverlapIsWarnedOnce) {
    const Msgs overlap{Warn(85, "/Mode", "Overlapping value(s) of enum codes")};
    for (const std::string& values :
         {Value("4..8", "A") + Value("1..5", "B"), Value("7", "A") + Value("7", "B"),
          Value("3..4", "A") + Value("1..10", "B") + Value("2", "C")}) {
        Enum(values);
        EXPECT_EQ(m_Msgs, overlap) << values;
    }
    Enum(Value("1..5", "A") + Value("6..8", "B"));
    EXPECT_EQ(m_Msgs, Msgs{});
    // The warning ends the checks, but the width still holds the last code.
    EXPECT_EQ(Enum(Value("1..5", "A") + Value("4..8", "B") + Value("300", "C"))->BytesInMsg(), 2);
    // With an explicit maximum the range warning comes first and ends the checks.
    Enum(Value("1..20", "A") + Value("4..8", "B"), R"( TEnumMax="10")");
    EXPECT_EQ(m_Msgs, Msgs{Warn(83, "/Mode", "Enum code out of range (0...EnumMax)")});

    ImportParam<YMTParamEnum>(
        "<PUParam><ParamName>Mode</ParamName><PUParamType><TNumber/></PUParamType></PUParam>",
        false);
    EXPECT_EQ(m_Msgs, Msgs{Err(77, "/Mode", "Can not find element <TEnum>")});
}

TEST_F(NumberEnumTest, EnumLookupsTextsAndConversions) {
    YMTParamEnum e;
    e.AddValue("Radio", 1, 3);
    e.AddValue("Disc", 2, 2); // overlaps: the first value in list order wins
    e.AddValue("On", 0x0102, 0x0102);
    e.SetEnumMax(255);
    EXPECT_EQ(e.FindValueByCode(2)->NameRef(), "Radio");
    EXPECT_EQ(e.FindValueByName("DISC")->CodeMin(), 2);
    EXPECT_EQ(e.CodeText(17, true), "# Unknown code: 17 #");
    EXPECT_EQ(e.FormatEntry(10, "Ten", 3), "10: Ten");
    EXPECT_EQ(e.FormatEntry(10, "Ten", 1 | 16 | 32), "0x0A");
    e.SetBytesInMsg(4);
    EXPECT_EQ(e.FormatEntry(10, "Ten", 1 | 16), "000A");
    std::vector<std::string> list{"kept"};
    e.ListEntries(list, 1);
    EXPECT_EQ(list, (std::vector<std::string>{"kept", "1", "2", "3", "2", "258"}));
    // The top code of the 16-bit range does not wrap the listing around.
    YMTParamEnum top;
    top.AddValue("Top", 65534, 65535);
    list.clear();
    top.ListEntries(list, 2);
    EXPECT_EQ(list, (std::vector<std::string>{"Top", "Top"}));

    const uint8_t bytes[] = {0x01, 0x02, 0x03};
    char text[8] = "xxxxxxx";
    EXPECT_EQ(e.ConvertBytesToStr(bytes, 2, text, 2), 20u); // "On" needs 3 bytes
    EXPECT_STREQ(text, "xxxxxxx");
    EXPECT_EQ(e.ConvertBytesToStr(bytes, 2, text, 3), kAttrOk);
    EXPECT_STREQ(text, "On");
    EXPECT_EQ(e.ConvertBytesToStr(bytes, 3, text, 3), kAttrOk); // no value for the code
    EXPECT_STREQ(text, "");
}

TEST_F(NumberEnumTest, EnumCloneIsDeepAndArchiveOrder) {
    auto e = Enum(Value("0", "Off") + Value("1..2", "On"), R"( TEnumMax="300")");
    const std::string dump = DumpText(*e);
    std::unique_ptr<YMTNode> node(e->Clone());
    ASSERT_TRUE(node && node->NodeType() == kNodeEnum);
    auto& clone = static_cast<YMTParamEnum&>(*node);
    EXPECT_NE(clone.ValueAt(1), e->ValueAt(1));
    EXPECT_EQ(clone.ValueAt(1)->Parent(), &clone);
    e->RemoveAll();
    EXPECT_EQ(DumpText(clone), dump);
    EXPECT_EQ(test::Kinds(clone), "str str ref0 u16 u8 u16 u16 u8 u32 str u16 list" +
                                      std::to_string(int(YMTListKind::EnumValues)) + " ");
    EXPECT_EQ(test::Kinds(*clone.ValueAt(1)), "str str ref0 u16 u8 u16 u16 ");
}

} // namespace
} // namespace mostfcat
