// Bool, bit field and bool field parameters: widths, bool field import, bit
// names, value parsing, conversions and copies.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "param_test_util.h"
#include "params/param_bool.h"

namespace mostfcat {
namespace {

using test::Codes;
using Strings = std::vector<std::string>;

// A bool field; "-" leaves out the attribute or the text element.
std::string Field(const std::string& bitPos, const std::string& trueDesc = "On",
                  const std::string& falseDesc = "Off") {
    std::string xml = "<TBoolField" + (bitPos == "-" ? "" : " BitPos=\"" + bitPos + "\"") + ">";
    if (trueDesc != "-") xml += "<BitTrueDesc>" + trueDesc + "</BitTrueDesc>";
    if (falseDesc != "-") xml += "<BitFalseDesc>" + falseDesc + "</BitFalseDesc>";
    return xml + "</TBoolField>";
}
std::string BoolParam(const std::string& typeAttrs, const std::string& fields,
                      const char* tag = "TBool", const std::string& name = "Flags") {
    return StrFormat("<PNParam><ParamName>%s</ParamName><PNParamType><%s%s>%s</%s></PNParamType>"
                     "</PNParam>",
                     name.c_str(), tag, typeAttrs.c_str(), fields.c_str(), tag);
}
const std::string kByte = " TypeRef=\"type_unsigned_byte\"";

// "name true/false" of every bool field in position order ("!" marks a
// field whose position or parent is wrong).
Strings Fields(const YMTParamBool& b) {
    Strings out;
    ForEachChild(b, [&](uint32_t pos, YMTNode* n) {
        auto* f = static_cast<YMTParamBoolField*>(n);
        out.push_back(f->NameRef() + " " + f->TrueDesc() + "/" + f->FalseDesc() +
                      (f->BitPos() != pos || f->Parent() != &b ? "!" : ""));
    });
    return out;
}

using BoolTest = test::ParamTest;

TEST_F(BoolTest, WidthFromTypeRefAndHighestBit) {
    const std::string word = " TypeRef=\"type_unsigned_word\"";
    struct Case {
        std::string attrs, fields;
        uint16_t width;
        size_t count;
        std::string codes;
    } cases[] = {{" TypeRef=\"TYPE_UNSIGNED_WORD\"", Field("15"), 2, 16, ""},
                 {" TypeRef=\"type_unsigned_long\"", Field("3"), 4, 4, ""},
                 {"", "", 1, 1, "W0211 /Flags"},
                 {" TypeRef=\"type_signed_word\"", "", 1, 1, "W0212 /Flags"},
                 {kByte, Field("10"), 2, 11, "W0215 /Flags"},
                 {word, Field("20"), 4, 21, "W0216 /Flags"},
                 {kByte, Field("40") + Field("3"), 4, 32, "W0202 /Flags; W0203 /Flags"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attrs + c.fields);
        auto b = Make<YMTParamBool>(BoolParam(c.attrs, c.fields));
        ASSERT_TRUE(b);
        EXPECT_EQ(b->BytesInMsg(), c.width);
        EXPECT_EQ(Codes(m_Msgs), c.codes);
        // The bit count is the highest position + 1, at most 32; names have
        // two digits from 2 bytes on.
        Strings fields = Fields(*b);
        ASSERT_EQ(fields.size(), c.count);
        EXPECT_EQ(fields[0], c.width == 1 ? "Bit0 True/False" : "Bit00 True/False");
    }
    Make<YMTParamBool>(BoolParam(kByte, Field("10")));
    EXPECT_EQ(m_Msgs, Msgs{Warn(215, "/Flags",
                                "Width of bool parameter (1 byte) conflicts with highest bit "
                                "positions (10). Parameter width is set to 2 bytes.")});
}

TEST_F(BoolTest, BoolFieldTextsRangesAndDoubles) {
    auto b = Make<YMTParamBool>(BoolParam(kByte, Field("2..4", "On", "-")));
    EXPECT_EQ(Fields(*b), (Strings{"Bit0 True/False", "Bit1 True/False", "Bit2 On/On", "Bit3 On/On",
                                   "Bit4 On/On"}));
    EXPECT_EQ(Codes(m_Msgs), "W0063 /Flags/"); // no false text

    // Only the false text, a hexadecimal range, printable characters only.
    b = Make<YMTParamBool>(
        BoolParam(kByte, Field("0x1...0x2", "", "O&#9;f&#10;f") + Field("-", "Set", "Clear")));
    EXPECT_EQ(Fields(*b), (Strings{"Bit0 Set/Clear", "Bit1 Off/Off", "Bit2 Off/Off"}));
    EXPECT_EQ(Codes(m_Msgs), "W0059 /Flags/"); // no BitPos

    // The range's own position 0 is stored; 1 is taken and reported; 2 is copied.
    b = Make<YMTParamBool>(
        BoolParam(kByte, Field("1", "A", "a") + Field("1", "B", "b") + Field("0..2", "C", "c")));
    EXPECT_EQ(Fields(*b), (Strings{"Bit0 C/c", "Bit1 A/a", "Bit2 C/c"}));
    EXPECT_EQ(m_Msgs, (Msgs{Warn(213, "/Flags", "Double definition of element at position 1"),
                            Err(65, "/Flags/", "Position 1 of 'Flags' already occupied")}));
}

TEST_F(BoolTest, FaultyBoolFieldsAreDropped) {
    struct {
        const char *pos, *error;
    } cases[] = {{"x", "E0060"},
                 {"64", "E0061"},
                 {"-1", "E0061"}, // -1 is one past the last bit
                 {"60..64", "E0064"},
                 {"&gt;5", "E0064"}};
    for (const auto& c : cases) {
        auto b = Make<YMTParamBool>(BoolParam(kByte, Field(c.pos)));
        EXPECT_EQ(Fields(*b), Strings{"Bit0 True/False"}) << c.pos;
        EXPECT_EQ(Codes(m_Msgs), std::string(c.error) + " /Flags/; W0214 /Flags") << c.pos;
    }
    EXPECT_EQ(m_Msgs[0], Err(64, "/Flags/", "TBoolField attribute 'BitPos=\">5\"' is invalid"));

    // A bool field imports only below a bool or a bit field.
    test::XmlDoc doc(Field("1"));
    YMTParamBoolField orphan, underBitField;
    YMTParamBitField bits;
    underBitField.SetParent(&bits);
    test::LogCapture capture;
    EXPECT_FALSE(orphan.ImportXML(doc.Root(), m_Ctx, capture.Log()));
    EXPECT_TRUE(underBitField.ImportXML(doc.Root(), m_Ctx, capture.Log()));
    EXPECT_EQ(underBitField.BitPos(), 1u);

    ImportParam<YMTParamBool>(BoolParam(kByte, "", "TBitField", "Bits"), false);
    EXPECT_EQ(Codes(m_Msgs), "E0210 /Bits");
    ImportParam<YMTParamBitField>(BoolParam(kByte, ""), false);
    EXPECT_EQ(Codes(m_Msgs), "E0088 /Flags");
}

TEST_F(BoolTest, BitFieldWidthByOptions) {
    const uint32_t bytes = YImportContext::kOptBitFieldLengthBytes;
    const uint32_t bits = YImportContext::kOptBitFieldLengthBits;
    const uint32_t halves = YImportContext::kOptBitFieldMaskHalves;
    struct Case {
        uint32_t options;
        const char* length; // null: no attribute
        const char* highest;
        uint16_t width;
        std::string codes;
    } cases[] = {{bytes | halves, "2", "12", 2, ""},
                 {bytes, nullptr, "20", 4, "W0093 /Bits"},
                 {bytes, "1", "12", 1, "W0203 /Bits"},
                 {bits, "12", "3", 2, ""},
                 {bits, "65", "40", 8, "W0094 /Bits"},
                 {0, nullptr, "5", 1, "W0200 /Bits"},
                 {0, "16", "9", 2, "W0204 /Bits; W0200 /Bits"},
                 {halves, "2", "5", 2, ""}, // the highest bit lies in the mask half
                 {halves, "8", "40", 8, "W0217 /Bits"},
                 {halves, "1", "5", 2, "W0200 /Bits"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(StrFormat("options %x Length %s bit %s", c.options, c.length ? c.length : "-",
                               c.highest));
        m_Ctx.SetOptions(c.options);
        std::string attrs = c.length ? StrFormat(" Length=\"%s\"", c.length) : "";
        auto bf = Make<YMTParamBitField>(BoolParam(attrs, Field(c.highest), "TBitField", "Bits"));
        ASSERT_TRUE(bf);
        EXPECT_EQ(bf->BytesInMsg(), c.width);
        EXPECT_EQ(Codes(m_Msgs), c.codes);
        // Every bit of the width has a field and nothing lies beyond it.
        Strings fields = Fields(*bf);
        ASSERT_EQ(fields.size(), c.width * 8u);
        EXPECT_EQ(fields.back().substr(0, fields.back().find(' ')),
                  StrFormat(c.width < 2 ? "Bit%u" : "Bit%02u", c.width * 8u - 1));
    }
    // The texts name the attribute, the bit and the width taken (the last case).
    EXPECT_EQ(m_Msgs,
              Msgs{Warn(200, "/Bits",
                        "Attribute Length=1 byte(s) of <TBitField> collides with attribute "
                        "BitPos=5 of <TBoolField>. Width of parameter is set to 2 bytes.")});
}

// With mask halves the upper half of the positions is named Mask..., counted
// from that half; two digits from 3 bytes on.
TEST_F(BoolTest, BitNamesInMaskHalves) {
    YMTParamBoolField f;
    std::string names;
    for (auto [width, pos] : {std::pair<uint16_t, uint32_t>{1, 3}, {1, 4}, {3, 2}, {3, 13}}) {
        f.AssignBitName(width, true, pos);
        names += f.NameRef() + " ";
    }
    EXPECT_EQ(names, "Bit3 Mask0 Bit02 Mask01 ");
}

TEST_F(BoolTest, ParseValuesOfTheWidth) {
    struct {
        uint16_t width;
        const char *text, *hex; // hex null: refused
    } cases[] = {{1, "0X1f", "1F"},   {1, " + 1 2 ", "0C"}, {2, "0x1234", "1234"},
                 {1, "256", nullptr}, {1, "-1", nullptr},   {8, "18446744073709551616", nullptr}};
    for (const auto& c : cases) {
        YMTParamBool b;
        b.SetBytesInMsg(c.width);
        std::vector<uint8_t> out = {0xEE};
        EXPECT_EQ(b.ParseToBytes(c.text, out), c.hex != nullptr) << c.width << " " << c.text;
        std::string hex;
        for (uint8_t x : out)
            hex += StrFormat("%02X", x);
        EXPECT_EQ(hex, c.hex ? c.hex : "EE") << c.width << " " << c.text;
    }
}

TEST_F(BoolTest, Conversions) {
    const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    YMTParamBitField bf;
    bf.SetBytesInMsg(8);
    uint32_t v = 0;
    uint64_t v64 = 0;
    EXPECT_EQ(bf.ConvertBytesToInt(bytes, 8, &v), kAttrNotAvailable); // does not fit 32 bits
    EXPECT_EQ(bf.ConvertBytesToUInt64(bytes, 8, &v64), kAttrOk);
    EXPECT_EQ(v64, 0x0102030405060708u);
    EXPECT_EQ(bf.ConvertBytesToUInt64(nullptr, 8, &v64), kAttrNotAvailable);

    YMTParamBoolField f;
    f.SetTexts("Enabled", "Disabled");
    char text[16];
    const uint8_t one[] = {0x00, 0x01}, zero[] = {0x00, 0x00};
    EXPECT_EQ(f.ConvertBytesToStr(zero, 2, text, sizeof text), 0u);
    EXPECT_STREQ(text, "Disabled");
    EXPECT_EQ(f.ConvertBytesToStr(one, 2, text, 8), 0u);
    EXPECT_STREQ(text, "Enabled");
    EXPECT_EQ(f.ConvertBytesToStr(one, 2, text, 7), 20u); // no room for the terminating zero
}

TEST_F(BoolTest, CheckAndCopies) {
    m_Ctx.SetOptions(YImportContext::kOptBitFieldLengthBytes);
    auto* bf = static_cast<YMTParamBitField*>(
        Add(1, BoolParam(" Length=\"1\"", Field("1", "Up", "Down"), "TBitField", "Bits")));
    EXPECT_EQ(CheckMsgs(*m_Op), Msgs{});
    EXPECT_EQ(bf->BoolFieldAt(1)->SymID(), "Bits.Bit1");
    EXPECT_EQ(bf->FindChild("BIT7"), bf->BoolFieldAt(7));
    // Bool fields are never found by the upward name lookup.
    EXPECT_EQ(bf->LookupName("Bit7", 100), nullptr);

    std::unique_ptr<YMTNode> copy(bf->Clone());
    ASSERT_TRUE(copy && copy->NodeType() == kNodeBitField);
    auto* c = static_cast<YMTParamBitField*>(copy.get());
    EXPECT_EQ(Fields(*c), Fields(*bf));
    EXPECT_NE(c->BoolFieldAt(1), bf->BoolFieldAt(1));
    YMTParamBool plain;
    EXPECT_FALSE(plain.CopyFrom(bf)); // a bit field is not a bool
}

} // namespace
} // namespace mostfcat
