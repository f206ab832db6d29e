// Number and enumeration parameters: import, limits and code ranges, the
// meanings derived by the check and conversions (copies are checked with
// every operation's own parameters and the cache round trips).
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "import/text_read.h"
#include "param_test_util.h"
#include "params/layout_plan.h"
#include "params/param_number.h"
#include "params/param_stream.h"
#include "params/param_struct.h"
#include "tree/fblock.h"

namespace mostfcat {
namespace {

// The parts of a TNumber element; an empty optional leaves the element out.
struct NumberParts {
    std::string name = "Level";
    std::string basis = R"(<TUByte TypeRef="type_unsigned_byte"/>)";
    std::optional<std::string> unit = R"(<Unit UnitRef="unit_db"/>)";
    std::optional<std::string> exponent = "0";
    std::optional<std::string> rangeMin = {}, rangeMax = {};
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

TEST_F(NumberEnumTest, NumberImportErrors) {
    auto with = [](const char* basis, const char* unit) {
        return NumberXml({.basis = basis, .unit = unit});
    };
    const char *u8 = R"(<TUByte TypeRef="type_unsigned_byte"/>)",
               *db = R"(<Unit UnitRef="unit_db"/>)";
    std::string noBasis = NumberXml({});
    noBasis.erase(noBasis.find("<Basis"), noBasis.find("<Unit") - noBasis.find("<Basis"));
    struct {
        std::string xml, codes;
    } cases[] = {{EnumXml("", "", "Level"), "E0066 /Level"}, // no TNumber
                 {noBasis, "E0071 /Level"},
                 {"<PUParam><PUParamType><TNumber/></PUParamType></PUParam>", "E0011 /"},
                 {with(u8, ""), "E0072 /Level"}, // no unit, or one without UnitRef
                 {with(u8, "<Unit/>"), "E0072 /Level"},
                 // No TypeRef, an unknown type, a tag outside the basis types.
                 {with("<TUByte/>", db), "E0151 /Level"},
                 {with(R"(<TUByte TypeRef="type_float"/>)", db), "E0151 /Level"},
                 {with(R"(<TFloat TypeRef="type_unsigned_byte"/>)", db), "E0151 /Level"}};
    for (const auto& c : cases) {
        ImportParam<YMTParamNumber>(c.xml, false);
        EXPECT_EQ(test::Codes(m_Msgs), c.codes) << c.xml;
    }
}

TEST_F(NumberEnumTest, UnitsExponentsAndSteps) {
    EXPECT_EQ(Number({})->UnitName(), "dB");
    EXPECT_EQ(Number({.unit = R"(<Unit UnitRef="unit_parsec"/>)"})->UnitName(), "");
    EXPECT_EQ(test::Codes(m_Msgs), "W0152 /Level"); // no such unit
    // The identifier, not the unit's name, marks a number without unit.
    EXPECT_EQ(Number({.unit = R"(<Unit UnitRef="UNIT_NONE"/>)"})->UnitName(), "");
    EXPECT_EQ(Number({.unit = R"(<Unit UnitRef="unit_undefined"/>)"})->UnitName(), "");

    EXPECT_EQ(Number({.exponent = {}, .step = {}})->Exponent(), 0);
    EXPECT_EQ(test::Codes(m_Msgs), "W0067 /Level; W0070 /Level"); // no Exponent, no Step
    struct {
        const char *exponent, *step;
        int32_t e;
        double st;
    } texts[] = {{"0x2", "0x10", 2, 16},
                 {"0b11", "0b101", 3, 5},
                 {" 4 ", " 2.5e1 ", 4, 25},
                 {"abc", "nan", 0, 0}};
    for (const auto& t : texts) {
        auto n = Number({.exponent = t.exponent, .step = t.step});
        EXPECT_EQ(std::pair(n->Exponent(), n->Step()), std::pair(t.e, t.st)) << t.exponent;
    }

    // A parameter Pos should be a 2-byte index without exponent.
    Number({.name = "pos", .exponent = "1"});
    EXPECT_EQ(test::Codes(m_Msgs), "W0073 /pos; W0074 /pos");
}

// The limits, and with them width and signedness of the type definition.
TEST_F(NumberEnumTest, NumberLimits) {
    const char* u8 = R"(<TUByte TypeRef="type_unsigned_byte"/>)";
    const char* s8 = R"(<TSByte TypeRef="type_signed_byte"/>)";
    const char* s16 = R"(<TSWord TypeRef="type_signed_word"/>)";
    const char* s32 = R"(<TSLong TypeRef="type_signed_long"/>)";
    // The definition decides, not the tag; the first tag in table order with
    // a TypeRef is taken.
    const char* s8InU8 = R"(<TUByte TypeRef="type_signed_byte"/>)";
    const char* firstInOrder =
        R"(<TSWord TypeRef="type_signed_word"/><TULong TypeRef="type_unsigned_long"/>)";
    const std::optional<std::string> none;
    struct Case {
        const char* basis;
        std::optional<std::string> min, max;
        double lower, upper;
        const char* codes; // 234/235: outside the type, 236/237: unreadable
    } cases[] = {{u8, none, none, 0, 0, ""},
                 {u8, "10", "FULL RANGE", 0, 0, ""},
                 {u8, "10", "nmax", 10, 255, ""},
                 {u8, none, " +20 ", 0, 20, ""},
                 {u8, "300", "20", 0, 20, "W0234"},
                 {u8, "5", "256", 5, 255, "W0235"},
                 {u8, "50", "20", 0, 0, "W0238"}, // lower above upper
                 {u8, "1.5", "12abc", 0, 0, "W0236 W0237"},
                 {u8, "99999999999999999999999", none, 0, 0, "W0234"},
                 // Signed classes read hexadecimal texts as bit patterns of their width.
                 {s8, "0xFF", "0x10", -1, 16, ""},
                 {s8, "- 5", "-0x02", -5, -2, ""},
                 {s8InU8, "-128", none, -128, 127, ""},
                 {s32, "0x80000000", "0xFFFFFFFF", -2147483648.0, -1, ""},
                 {firstInOrder, "0xFFFFFFFF", none, 4294967295.0, 4294967295.0, ""},
                 {s16, "-0xFFFE", "0x10000", 2, 32767, "W0235"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.basis) + " [" + c.min.value_or("-") + "] [" +
                     c.max.value_or("-") + "]");
        auto n = Number({.basis = c.basis, .rangeMin = c.min, .rangeMax = c.max});
        EXPECT_EQ(n->RangeMin(), c.lower);
        EXPECT_EQ(n->RangeMax(), c.upper);
        EXPECT_EQ(test::Codes(m_Msgs, false), c.codes);
    }
    EXPECT_EQ(m_Msgs, Msgs{Warn(235, "/Level",
                                "Value '0x10000' in 'RangeMax' is outside limits of base data type "
                                "'SWord'")}); // the last case
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
        std::unique_ptr<YMTParamNumber> n(NewNumber(c.name, c.width));
        EXPECT_EQ(CheckMsgs(*n), Msgs{});
        EXPECT_EQ(n->ParamMeaning(), c.meaning) << c.name << " width " << c.width;
    }
    // A preset meaning and display mode are kept; names the settings prefer
    // in hexadecimal are shown so.
    YImportState settings;
    settings.hexPreferredNames = {"fblockid"};
    m_Ctx.SetSettings(&settings);
    std::unique_ptr<YMTParamNumber> preset(NewNumber("FBlockID", 0)),
        derived(NewNumber("FBlockID", 1));
    preset->SetParamMeaning(1);
    preset->SetParamDispMode(1);
    CheckMsgs(*preset);
    CheckMsgs(*derived);
    m_Ctx.SetSettings(nullptr);
    EXPECT_EQ(std::pair(preset->ParamMeaning(), preset->ParamDispMode()), std::pair(1u, 1u));
    EXPECT_EQ(std::pair(derived->ParamMeaning(), derived->ParamDispMode()), std::pair(2u, 2u));
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
    EXPECT_EQ(std::tuple(posInRecord->ParamMeaning(), sizeInRecord->ParamMeaning(),
                         sizeInCase->ParamMeaning()),
              std::tuple(0u, 0u, 14u));
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

TEST_F(NumberEnumTest, CodeRangeSyntax) {
    struct Case {
        const char* text;
        int64_t min, max;
    } cases[] = {{" #null# ", 0, 0}, {" 0x1F ", 31, 31},        {"0b1 01", 5, 5}, {"3..1", 1, 3},
                 {"5...7", 5, 7},    {"0x10 .. 20", 16, 32}, // the upper bound inherits "0x"
                 {"-4", -4, -4},     {"> 0x10", 16, 0x7FFFFFFF}};
    for (const Case& c : cases) {
        YCodeRange r;
        EXPECT_TRUE(ReadCodeRange(c.text, r)) << c.text;
        EXPECT_EQ(r.min, c.min) << c.text;
        EXPECT_EQ(r.max, c.max) << c.text;
    }
    // Values beyond 64 bits cannot be read (no silent wrap-around).
    for (const char* bad : {"", "1-5", "0xZZ", "1..", "5>", "99999999999999999999"}) {
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
}

TEST_F(NumberEnumTest, EnumValueCodes) {
    struct Case {
        std::string code;
        int value; // -1: the value is dropped (E0081)
        const char* codes;
    } cases[] = {
        {"0b10-1", 9, "W0155"},                                // '-' read as '0'
        {"65535", 65535, ""},       {">5", -1, "E0194 E0081"}, // open ranges reach beyond 16 bits
        {"abc", -1, "E0076 E0081"}, {"0b12", -1, "E0156 E0081"}, {"70000", -1, "E0193 E0081"}};
    for (const Case& c : cases) {
        // The value after the tested one shows that a failure skips only its own.
        auto e = Enum(Value(c.code, "V") + Value("100", "Last"));
        EXPECT_EQ(test::Codes(m_Msgs, false), c.codes) << c.code;
        ASSERT_EQ(e->GetCount(), c.value < 0 ? 1u : 2u) << c.code;
        if (c.value < 0) continue;
        EXPECT_EQ(std::pair(e->ValueAt(0)->CodeMin(), e->ValueAt(0)->CodeMax()),
                  std::pair(uint16_t(c.value), uint16_t(c.value)));
    }
    EXPECT_EQ(m_Msgs, (Msgs{Err(193, "/Mode/V", "Value '70000' out of range [0, 65535)"),
                            Err(81, "/Mode", "Failed to import element <TEnumValue>")}));
    Enum("<TEnumValue SymbolicName=\"V\"/>");
    EXPECT_EQ(test::Codes(m_Msgs), "E0075 /Mode/V; E0081 /Mode"); // no Code
}

TEST_F(NumberEnumTest, EnumMaxAndWidth) {
    const std::string upTo300 = Value("0..300", "All"), three = Value("3", "A");
    struct Case {
        std::string values, attrs;
        uint16_t enumMax, width;
        const char* codes;
    } cases[] = {{upTo300, "", 65535, 2, ""},
                 {three, R"( TEnumMax="0x12C")", 300, 2, ""},
                 {three, R"( TEnumMax="0..255")", 255, 1, ""},
                 {upTo300, R"( TEnumMax="#null#")", 65535, 2, ""},
                 {three, R"( TEnumMax="70000")", 255, 1, "W0082"}, // too large: derived
                 {upTo300, R"( TEnumMax="70000")", 65535, 2, "W0082"},
                 {three + Value("5..9", "B") + Value("12", "C"), R"( TEnumMax="8")", 8, 1, "W0083"},
                 {three, R"( TEnumMax="-5")", 255, 1, "W0079"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.values + c.attrs);
        auto e = Enum(c.values, c.attrs);
        EXPECT_EQ(e->EnumMax(), c.enumMax);
        EXPECT_EQ(e->BytesInMsg(), c.width);
        EXPECT_EQ(test::Codes(m_Msgs, false), c.codes);
    }
    EXPECT_EQ(m_Msgs, Msgs{Warn(79, "/Mode",
                                "Failed to analyze attribute value '-5'. EnumMax will be derived "
                                "from enum value table.")}); // the last case
}

TEST_F(NumberEnumTest, EnumOverlapIsWarnedOnce) {
    for (const std::string& values : {Value("4..8", "A") + Value("1..5", "B"),
                                      Value("3..4", "A") + Value("1..10", "B") + Value("2", "C")}) {
        Enum(values);
        EXPECT_EQ(test::Codes(m_Msgs), "W0085 /Mode") << values; // overlap
    }
    Enum(Value("1..5", "A") + Value("6..8", "B"));
    EXPECT_EQ(m_Msgs, Msgs{});
    // The warning ends the checks, but the width still holds the last code.
    EXPECT_EQ(Enum(Value("1..5", "A") + Value("4..8", "B") + Value("300", "C"))->BytesInMsg(), 2);
    // With an explicit maximum the range warning comes first and ends the checks.
    Enum(Value("1..20", "A") + Value("4..8", "B"), R"( TEnumMax="10")");
    EXPECT_EQ(test::Codes(m_Msgs), "W0083 /Mode");

    ImportParam<YMTParamEnum>(
        "<PUParam><ParamName>Mode</ParamName><PUParamType><TNumber/></PUParamType></PUParam>",
        false);
    EXPECT_EQ(test::Codes(m_Msgs), "E0077 /Mode"); // no TEnum
}

TEST_F(NumberEnumTest, LookupsTextsAndConversions) {
    YMTParamEnum e;
    e.AddValue("Radio", 1, 3);
    e.AddValue("Disc", 2, 2); // overlaps: the first value in list order wins
    e.AddValue("On", 0x0102, 0x0102);
    e.SetEnumMax(255);
    EXPECT_EQ(e.FindValueByCode(2)->NameRef(), "Radio");
    EXPECT_EQ(e.FindValueByName("DISC")->CodeMin(), 2);
    EXPECT_EQ(e.CodeText(17, true), "# Unknown code: 17 #");
    EXPECT_EQ(e.FormatEntry(10, "Ten", 3), "10: Ten");
    e.SetBytesInMsg(4);
    EXPECT_EQ(e.FormatEntry(10, "Ten", 1 | 16), "000A");
    // The top code of the 16-bit range does not wrap the listing around.
    YMTParamEnum top;
    top.AddValue("Top", 65534, 65535);
    std::vector<std::string> list;
    top.ListEntries(list, 2);
    EXPECT_EQ(list, (std::vector<std::string>{"Top", "Top"}));

    // (Texts of codes into buffers are checked through the handle-based interface.)
    const uint8_t bytes[] = {0x01, 0x02, 0x03};
    char text[8] = "xxxxxxx";
    EXPECT_EQ(e.ConvertBytesToStr(bytes, 3, text, 3), kAttrOk); // no value for the code
    EXPECT_STREQ(text, "");

    // A number reads codes of 1 to 4 bytes; anything else reads as 0.
    const uint8_t five[5] = {0x12, 0x34, 0x56, 0x78, 0x9A};
    YMTParamNumber n;
    uint32_t v = 7;
    EXPECT_EQ(n.ConvertBytesToInt(five, 4, &v), kAttrOk);
    EXPECT_EQ(v, 0x12345678u);
    EXPECT_EQ(n.ConvertBytesToInt(five, 5, &v), kAttrOk);
    EXPECT_EQ(v, 0u);
}

// The code table of a compiled enumeration answers every code as the search
// of its values does (the first covering value wins; inverted ranges cover
// nothing), and values too high for a table keep the search.
TEST(EnumCodeTableTest, AnswersAsTheSearchOfTheValues) {
    std::mt19937 rng(5);
    std::vector<std::string> names(300);
    for (size_t i = 0; i < names.size(); ++i)
        names[i] = "V" + std::to_string(i);
    for (int round = 0; round < 200; ++round) {
        std::vector<YEnumStep::Value> values(1 + rng() % (round % 10 == 0 ? 300 : 12));
        uint32_t top = round % 3 == 0 ? 1200 : 40;
        for (size_t i = 0; i < values.size(); ++i) {
            auto a = static_cast<uint16_t>(rng() % top), b = static_cast<uint16_t>(rng() % top);
            bool range = rng() % 3 == 0;
            values[i] = {a, range ? b : a, &names[i]};
        }
        YEnumStep search{nullptr, {}, 1, false, &values};
        YEnumStep table = search;
        std::unique_ptr<std::vector<uint16_t>> byCode = YEnumStep::CodeTable(values);
        uint32_t highest = 0;
        for (const auto& v : values)
            if (v.codeMin <= v.codeMax) highest = std::max<uint32_t>(highest, v.codeMax);
        ASSERT_EQ(byCode != nullptr, highest < 1024) << round;
        table.byCode = byCode.get();
        for (uint32_t code = 0; code < top + 10; ++code)
            ASSERT_EQ(table.NameOf(code), search.NameOf(code)) << round << " code " << code;
    }
}

} // namespace
} // namespace mostfcat
