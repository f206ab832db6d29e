// Bool, bit field and bool field parameters: widths, bool field import, bit
// names, value parsing, conversions, copies, archive order and dump lines.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "param_test_util.h"
#include "params/param_bool.h"

namespace mostfcat {
namespace {

using test::Err;
using test::Msgs;
using test::Warn;
using Bytes = std::vector<uint8_t>;
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

// --- bool import -----------------------------------------------------------------------

TEST_F(BoolTest, WidthFromTypeRefAndHighestBit) {
    const std::string word = " TypeRef=\"type_unsigned_word\"", f = "/Flags";
    const std::string noRef = Warn(211, f, "Missing required attribute TypeRef");
    const std::string signedWord =
        Warn(212, f, "Cannot interpret value 'type_signed_word' of attribute TypeRef in TBool");
    const std::string to2 = Warn(215, f,
                                 "Width of bool parameter (1 byte) conflicts with highest bit "
                                 "positions (10). Parameter width is set to 2 bytes.");
    const std::string to4 = Warn(216, f,
                                 "Width of bool parameter (2 bytes) conflicts with highest bit "
                                 "positions (20). Parameter width is set to 4 bytes.");
    const Msgs cut{Warn(202, f, "Bool parameter width > 4 bytes not supported yet."),
                   Warn(203, f,
                        "Width of parameter is 32 bits. BoolFields with BitPos >= 32 "
                        "removed.")};
    struct Case {
        std::string attrs, fields;
        uint16_t width;
        size_t count;
        Msgs msgs;
    } cases[] = {{" TypeRef=\"TYPE_UNSIGNED_WORD\"", Field("15"), 2, 16, {}},
                 {" TypeRef=\"type_unsigned_long\"", Field("3"), 4, 4, {}},
                 {"", "", 1, 1, {noRef}},
                 {" TypeRef=\"type_signed_word\"", "", 1, 1, {signedWord}},
                 {kByte, Field("10"), 2, 11, {to2}},
                 {word, Field("20"), 4, 21, {to4}},
                 {kByte, Field("40") + Field("3"), 4, 32, cut}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attrs + c.fields);
        auto b = Make<YMTParamBool>(BoolParam(c.attrs, c.fields));
        ASSERT_TRUE(b);
        EXPECT_EQ(b->BytesInMsg(), c.width);
        EXPECT_EQ(m_Msgs, c.msgs);
        // The bit count is the highest position + 1, at most 32; names have
        // two digits from 2 bytes on.
        Strings fields = Fields(*b);
        ASSERT_EQ(fields.size(), c.count);
        EXPECT_EQ(fields[0], c.width == 1 ? "Bit0 True/False" : "Bit00 True/False");
    }
}

TEST_F(BoolTest, BoolFieldTextsRangesAndDoubles) {
    auto b = Make<YMTParamBool>(BoolParam(kByte, Field("2..4", "On", "-")));
    EXPECT_EQ(Fields(*b), (Strings{"Bit0 True/False", "Bit1 True/False", "Bit2 On/On", "Bit3 On/On",
                                   "Bit4 On/On"}));
    EXPECT_EQ(m_Msgs, Msgs{Warn(63, "/Flags/", "Can not find element <BitFalseDesc>")});

    // Only the false text, a hexadecimal range, printable characters only.
    b = Make<YMTParamBool>(
        BoolParam(kByte, Field("0x1...0x2", "", "O&#9;f&#10;f") + Field("-", "Set", "Clear")));
    EXPECT_EQ(Fields(*b), (Strings{"Bit0 Set/Clear", "Bit1 Off/Off", "Bit2 Off/Off"}));
    EXPECT_EQ(m_Msgs, (Msgs{Warn(59, "/Flags/", "Missing required attribute BitPos")}));

    // The range's own position 0 is stored; 1 is taken and reported; 2 is copied.
    b = Make<YMTParamBool>(
        BoolParam(kByte, Field("1", "A", "a") + Field("1", "B", "b") + Field("0..2", "C", "c")));
    EXPECT_EQ(Fields(*b), (Strings{"Bit0 C/c", "Bit1 A/a", "Bit2 C/c"}));
    EXPECT_EQ(m_Msgs, (Msgs{Warn(213, "/Flags", "Double definition of element at position 1"),
                            Err(65, "/Flags/", "Position 1 of 'Flags' already occupied")}));
}

TEST_F(BoolTest, FaultyBoolFieldsAreDropped) {
    auto invalid = [](uint32_t n, const char* pos) {
        return Err(n, "/Flags/", StrFormat("TBoolField attribute 'BitPos=\"%s\"' is invalid", pos));
    };
    struct Case {
        const char* pos;
        std::string msg;
    } cases[] = {{"x", Err(60, "/Flags/", "Failed to analyze value 'x'")},
                 {"64", invalid(61, "64")},
                 {"-1", invalid(61, "-1")}, // refused like one past the last bit
                 {"60..64", invalid(64, "60..64")},
                 {"&gt;5", invalid(64, ">5")}};
    for (const Case& c : cases) {
        auto b = Make<YMTParamBool>(BoolParam(kByte, Field(c.pos)));
        EXPECT_EQ(Fields(*b), Strings{"Bit0 True/False"}) << c.pos;
        EXPECT_EQ(m_Msgs,
                  (Msgs{c.msg, Warn(214, "/Flags", "Failed to import element <TBoolField>")}))
            << c.pos;
    }

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
    EXPECT_EQ(m_Msgs, Msgs{Err(210, "/Bits", "Can not find element <TBool>")});
    ImportParam<YMTParamBitField>(BoolParam(kByte, ""), false);
    EXPECT_EQ(m_Msgs, Msgs{Err(88, "/Flags", "Can not find element <TBitField>")});
}

// --- bit fields ------------------------------------------------------------------------

TEST_F(BoolTest, BitFieldWidthByOptions) {
    const uint32_t bytes = YImportContext::kOptBitFieldLengthBytes;
    const uint32_t bits = YImportContext::kOptBitFieldLengthBits;
    const uint32_t halves = YImportContext::kOptBitFieldMaskHalves;
    auto collides = [](const char* length, const char* highest, int width) {
        return Warn(200, "/Bits",
                    StrFormat("Attribute Length=%s byte(s) of <TBitField> collides with attribute "
                              "BitPos=%s of <TBoolField>. Width of parameter is set to %d bytes.",
                              length, highest, width));
    };
    auto badBytes = [](const char* length, int width) {
        return Warn(93, "/Bits",
                    StrFormat("Invalid attribute Length=%s (bytes) of TBitField. Width of "
                              "BitField is set to %d bytes.",
                              length, width));
    };
    auto badBits = [](const char* length, int width) {
        return Warn(94, "/Bits",
                    StrFormat("Invalid attribute Length=%s (bits). Width of BitField is set to "
                              "%d bytes.",
                              length, width));
    };
    const std::string tooWide = Warn(204, "/Bits",
                                     "Bit field width > 8 bytes not supported yet. Check "
                                     "attribute Length of <TBitField>.");
    struct Case {
        uint32_t options;
        const char* length; // null: no attribute
        const char* highest;
        uint16_t width;
        Msgs msgs;
    } cases[] = {
        {bytes | halves, "2", "12", 2, {}},
        {bytes, "8", "3", 8, {}},
        {bytes, "3", "12", 2, {badBytes("3", 2)}},
        {bytes, nullptr, "20", 4, {badBytes("0", 4)}},
        {bytes, "1", "12", 1, {Warn(203, "/Bits", "BoolFields with BitPos >= 8 removed.")}},
        {bits, "12", "3", 2, {}},
        {bits, "65", "40", 8, {badBits("65", 8)}},
        {bits, "0", "9", 2, {badBits("0", 2)}},
        {0, nullptr, "5", 1, {collides("0", "5", 1)}},
        {0, "16", "9", 2, {tooWide, collides("16", "9", 2)}},
        {halves, "2", "5", 2, {}}, // the highest bit lies in the mask half
        {halves, "8", "40", 8, {Warn(217, "/Bits", "Bit field width > 8 bytes not supported.")}},
        {halves, "1", "5", 2, {collides("1", "5", 2)}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(StrFormat("options %x Length %s bit %s", c.options, c.length ? c.length : "-",
                               c.highest));
        m_Ctx.SetOptions(c.options);
        std::string attrs = c.length ? StrFormat(" Length=\"%s\"", c.length) : "";
        auto bf = Make<YMTParamBitField>(BoolParam(attrs, Field(c.highest), "TBitField", "Bits"));
        ASSERT_TRUE(bf);
        EXPECT_EQ(bf->BytesInMsg(), c.width);
        EXPECT_EQ(m_Msgs, c.msgs);
        // Every bit of the width has a field and nothing lies beyond it.
        Strings fields = Fields(*bf);
        ASSERT_EQ(fields.size(), c.width * 8u);
        EXPECT_EQ(fields.back().substr(0, fields.back().find(' ')),
                  StrFormat(c.width < 2 ? "Bit%u" : "Bit%02u", c.width * 8u - 1));
    }
}

TEST_F(BoolTest, BitNamesWithAndWithoutMaskHalves) {
    struct Case {
        uint16_t width;
        bool mask;
        uint32_t pos;
        const char* name;
    } cases[] = {{1, false, 3, "Bit3"}, {2, false, 3, "Bit03"},  {8, false, 63, "Bit63"},
                 {1, true, 3, "Bit3"},  {1, true, 4, "Mask0"},   {2, true, 9, "Mask1"},
                 {3, true, 2, "Bit02"}, {3, true, 13, "Mask01"}, {8, true, 63, "Mask31"}};
    for (const Case& c : cases) {
        YMTParamBoolField f;
        f.AssignBitName(c.width, c.mask, c.pos);
        EXPECT_EQ(f.NameRef(), c.name) << c.width << " " << c.mask << " " << c.pos;
    }
}

// --- values and conversions ------------------------------------------------------------

TEST_F(BoolTest, ParseValuesOfTheWidth) {
    struct {
        uint16_t width;
        const char *text, *hex; // hex null: refused
    } cases[] = {{1, "0X1f", "1F"},
                 {1, " + 1 2 ", "0C"},
                 {2, "0x1234", "1234"},
                 {4, "1", "00000001"},
                 {1, "256", nullptr},
                 {1, "0x1FF", nullptr},
                 {1, "-1", nullptr},
                 {1, "0x", nullptr},
                 {1, "", nullptr},
                 {8, "18446744073709551615", "FFFFFFFFFFFFFFFF"},
                 {8, "18446744073709551616", nullptr},
                 {8, "0x10000000000000000", nullptr}};
    for (const auto& c : cases) {
        YMTParamBool b;
        b.SetBytesInMsg(c.width);
        Bytes out = {0xEE};
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
    EXPECT_EQ(f.ConvertBytesToInt(one, 2, &v), kAttrOk);
    EXPECT_EQ(v, 1u);
}

// --- check, copies, archive order and dump ---------------------------------------------

TEST_F(BoolTest, CheckCopiesArchiveAndDump) {
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

    const std::string param = "str str ref0 u16 u8 u16 u16 u8 u32 str ";
    EXPECT_EQ(test::Kinds(*bf),
              param + "list" + std::to_string(int(YMTListKind::BoolFields)) + " ");

    std::string dump = DumpText(*bf);
    EXPECT_EQ(dump.rfind("\t\tPARAMBOOL: Bits\n\t\t.Parent: /Func/Status\n", 0), 0u) << dump;
    EXPECT_NE(dump.find("\t\t\tPARAMBOOLFIELD: Bit1\n\t\t\t.Parent: /Func/Status/Bits\n"
                        "\t\t\t.BytesInMsg: 0\n\t\t\t.IsSelector: 0\n\t\t\t.ParamPos: 1\n"
                        "\t\t\t.SymID: Bits.Bit1\n\t\t\t.TrueDesc:  Up\n\t\t\t.FalseDesc: Down\n"),
              std::string::npos)
        << dump;
}

} // namespace
} // namespace mostfcat
