// Bool, bit field and bool field parameters: width adaptation, bool field
// import, value parsing, attributes, copies, archive order and dump lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "import/import_log.h"
#include "import/import_state.h"
#include "params/param_bool.h"
#include "platform/strings.h"
#include "support/test_support.h"
#include "tree/function.h"
#include "tree/operation.h"

namespace mostfcat {
namespace {

using test::ReadLines;
using test::XmlDoc;
using Bytes = std::vector<uint8_t>;

std::string BoolField(const std::string& bitPos, const std::string& trueDesc = "On",
                      const std::string& falseDesc = "Off") {
    std::string attr = bitPos == "-" ? "" : " BitPos=\"" + bitPos + "\"";
    std::string texts;
    if (trueDesc != "-") texts += "<BitTrueDesc>" + trueDesc + "</BitTrueDesc>";
    if (falseDesc != "-") texts += "<BitFalseDesc>" + falseDesc + "</BitFalseDesc>";
    return "<TBoolField" + attr + ">" + texts + "</TBoolField>";
}

std::string BoolParam(const std::string& typeAttrs, const std::string& fields,
                      const std::string& name = "Flags") {
    return "<PNParam><ParamName>" + name + "</ParamName><PNParamType><TBool" + typeAttrs + ">" +
           fields + "</TBool></PNParamType></PNParam>";
}

std::string BitFieldParam(const std::string& typeAttrs, const std::string& fields,
                          const std::string& name = "Bits") {
    return "<PNParam><ParamName>" + name + "</ParamName><PNParamType><TBitField" + typeAttrs +
           ">" + fields + "</TBitField></PNParamType></PNParam>";
}

const char* kByte = " TypeRef=\"type_unsigned_byte\"";

class RecordingArchive : public YMTArchive {
public:
    std::vector<std::string> calls;
    void SerializeWords(std::vector<uint16_t>&) override { calls.push_back("words"); }
    void SerializeList(YMTChildList& list, YMTListKind kind) override {
        calls.push_back("list " + std::to_string(int(kind)) + " size " +
                        std::to_string(list.GetSize()));
    }
    void SerializeString(std::string& text) override { calls.push_back("str " + text); }
    void SerializeBool(bool& v) override { calls.push_back("bool " + std::to_string(v)); }
    void Serialize64(uint64_t& v) override { calls.push_back("u64 " + std::to_string(v)); }
    void Serialize32(int32_t& v) override { calls.push_back("i32 " + std::to_string(v)); }
    void Serialize32(uint32_t& v) override { calls.push_back("u32 " + std::to_string(v)); }
    void Serialize16(uint16_t& v) override { calls.push_back("u16 " + std::to_string(v)); }
    void Serialize8(uint8_t& v) override { calls.push_back("u8 " + std::to_string(v)); }
    void SerializeRef(YMTNode*& node, YMTRefKind kind) override {
        calls.push_back("ref " + std::to_string(int(kind)) + " " +
                        (node ? node->NameRef() : std::string("null")));
    }
    YMTNode* NodeHeader(YMTNode* node) override { return node; }
    void SetFailed() override { m_Ok = false; }
};

class BoolTest : public test::CatalogTest {
protected:
    void SetUp() override {
        CatalogTest::SetUp();
        m_Ctx.SetOptions(YImportState::kDefaultOptions & ~YImportContext::kOptDescriptions);
        OpenLog();
    }

    void OpenLog() {
        m_LogPath = m_Dir.File("import" + std::to_string(++m_LogCount) + ".log");
        m_Log.OpenLogFile(m_LogPath);
    }

    // The messages logged since the last call, each as "header text".
    std::vector<std::string> TakeMessages() {
        m_Log.CloseLogFile();
        std::vector<std::string> lines = ReadLines(m_LogPath), out;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i + 1 < lines.size() && lines[i + 1].rfind("  ", 0) == 0) {
                out.push_back(lines[i] + " " + lines[i + 1].substr(2));
                ++i;
            } else {
                out.push_back(lines[i]);
            }
        }
        OpenLog();
        return out;
    }

    // Imports through the dispatcher; null when it does not make a T.
    template <class T> std::unique_ptr<T> ImportAs(const std::string& xml, bool expectOk = true) {
        XmlDoc doc(xml);
        std::unique_ptr<YMTParam> p(CreateParamFromElement(m_Ctx, doc.Root(), false, ""));
        if (!p || p->NodeType() != T().NodeType()) {
            ADD_FAILURE() << "wrong class for " << xml;
            return nullptr;
        }
        EXPECT_EQ(p->ImportXML(doc.Root(), m_Ctx, m_Log), expectOk) << xml;
        return std::unique_ptr<T>(static_cast<T*>(p.release()));
    }

    // "name true/false" of every bool field, in position order.
    static std::vector<std::string> Fields(const YMTParamBool& b) {
        std::vector<std::string> out;
        ForEachChild(b, [&](uint32_t pos, YMTNode* n) {
            auto* f = static_cast<YMTParamBoolField*>(n);
            EXPECT_EQ(f->BitPos(), pos);
            EXPECT_EQ(f->Parent(), &b);
            out.push_back(f->NameRef() + " " + f->TrueDesc() + "/" + f->FalseDesc());
        });
        return out;
    }

    // Default fields "BitNN True/False" for the positions from..to.
    static std::vector<std::string> Defaults(uint32_t from, uint32_t to, bool twoDigits) {
        std::vector<std::string> out;
        for (uint32_t i = from; i <= to; ++i)
            out.push_back(StrFormat(twoDigits ? "Bit%02u True/False" : "Bit%u True/False", i));
        return out;
    }

    YImportContext m_Ctx;
    YImportLog m_Log;
    std::string m_LogPath;
    int m_LogCount = 0;
};

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// --- bool import ----------------------------------------------------------------------

TEST_F(BoolTest, HighBitWidensAByteToTwoBytes) {
    auto b = ImportAs<YMTParamBool>(BoolParam(kByte, BoolField("10", "Hot", "Cold")));
    ASSERT_TRUE(b);
    EXPECT_EQ(b->BytesInMsg(), 2);
    EXPECT_EQ(b->BitWidth(), 16u);
    // The bit count of a bool is its highest position + 1.
    EXPECT_EQ(Fields(*b), Concat(Defaults(0, 9, true), {"Bit10 Hot/Cold"}));
    EXPECT_EQ(TakeMessages(),
              (std::vector<std::string>{
                  "Warning #0215 in '/Flags': Width of bool parameter (1 byte) conflicts with "
                  "highest bit positions (10). Parameter width is set to 2 bytes."}));
}

TEST_F(BoolTest, BitsBeyondFourBytesAreRemoved) {
    auto b = ImportAs<YMTParamBool>(BoolParam(kByte, BoolField("40") + BoolField("3")));
    ASSERT_TRUE(b);
    EXPECT_EQ(b->BytesInMsg(), 4);
    std::vector<std::string> expected = Defaults(0, 31, true);
    expected[3] = "Bit03 On/Off";
    EXPECT_EQ(Fields(*b), expected);
    EXPECT_EQ(b->BoolFieldAt(40), nullptr);
    EXPECT_EQ(b->HighestBitPos(), 31u);
    EXPECT_EQ(TakeMessages(),
              (std::vector<std::string>{
                  "Warning #0202 in '/Flags': Bool parameter width > 4 bytes not supported yet.",
                  "Warning #0203 in '/Flags': Width of parameter is 32 bits. BoolFields with "
                  "BitPos >= 32 removed."}));
}

TEST_F(BoolTest, WidthFromTypeRefAndItsConflicts) {
    struct Case {
        std::string attrs;
        std::string fields;
        uint16_t width;
        size_t fieldCount;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {" TypeRef=\"type_boolean\"", "", 1, 1, {}},
        {" TypeRef=\"TYPE_UNSIGNED_BYTE\"", BoolField("7"), 1, 8, {}},
        {" TypeRef=\"type_unsigned_word\"", BoolField("15"), 2, 16, {}},
        {" TypeRef=\"type_unsigned_long\"", BoolField("3"), 4, 4, {}},
        {"", "", 1, 1, {"Warning #0211 in '/Flags': Missing required attribute TypeRef"}},
        {" TypeRef=\"type_signed_word\"",
         "",
         1,
         1,
         {"Warning #0212 in '/Flags': Cannot interpret value 'type_signed_word' of attribute "
          "TypeRef in TBool"}},
        {" TypeRef=\"type_unsigned_word\"",
         BoolField("20"),
         4,
         21,
         {"Warning #0216 in '/Flags': Width of bool parameter (2 bytes) conflicts with highest "
          "bit positions (20). Parameter width is set to 4 bytes."}},
        {kByte,
         BoolField("16"),
         4,
         17,
         {"Warning #0216 in '/Flags': Width of bool parameter (1 bytes) conflicts with highest "
          "bit positions (16). Parameter width is set to 4 bytes."}},
    };
    for (const Case& c : cases) {
        auto b = ImportAs<YMTParamBool>(BoolParam(c.attrs, c.fields));
        ASSERT_TRUE(b);
        EXPECT_EQ(b->BytesInMsg(), c.width) << c.attrs << c.fields;
        EXPECT_EQ(b->GetCount(), c.fieldCount) << c.attrs << c.fields;
        EXPECT_EQ(TakeMessages(), c.messages) << c.attrs << c.fields;
    }
}

TEST_F(BoolTest, WithoutFieldsOneDefaultFieldIsMade) {
    auto b = ImportAs<YMTParamBool>(BoolParam(kByte, ""));
    ASSERT_TRUE(b);
    EXPECT_EQ(Fields(*b), (std::vector<std::string>{"Bit0 True/False"}));
    auto w = ImportAs<YMTParamBool>(BoolParam(" TypeRef=\"type_unsigned_word\"", "", ""));
    ASSERT_TRUE(w);
    EXPECT_EQ(w->NameRef(), "_NA_");
    EXPECT_EQ(Fields(*w), (std::vector<std::string>{"Bit00 True/False"}));
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(BoolTest, RangeFieldCopiesItsTexts) {
    auto b = ImportAs<YMTParamBool>(BoolParam(kByte, BoolField("2..4", "On", "-")));
    ASSERT_TRUE(b);
    EXPECT_EQ(Fields(*b), (std::vector<std::string>{"Bit0 True/False", "Bit1 True/False",
                                                    "Bit2 On/On", "Bit3 On/On", "Bit4 On/On"}));
    EXPECT_EQ(TakeMessages(), (std::vector<std::string>{
                                  "Warning #0063 in '/Flags/': Can not find element <BitFalseDesc>"}));

    // Only the false text, a hexadecimal range written "0x1...0x2", printable characters only.
    b = ImportAs<YMTParamBool>(
        BoolParam(kByte, BoolField("0x1...0x2", "", "O&#9;f&#10;f") + BoolField("0", "-", "-")));
    ASSERT_TRUE(b);
    EXPECT_EQ(Fields(*b),
              (std::vector<std::string>{"Bit0 True/False", "Bit1 Off/Off", "Bit2 Off/Off"}));
    EXPECT_EQ(TakeMessages(), (std::vector<std::string>{
                                  "Warning #0062 in '/Flags/': Can not find element <BitTrueDesc>",
                                  "Warning #0063 in '/Flags/': Can not find element <BitFalseDesc>"}));
}

TEST_F(BoolTest, DoublePositionsAndRangeOverlaps) {
    auto b = ImportAs<YMTParamBool>(BoolParam(
        kByte, BoolField("1", "A1", "a1") + BoolField("1", "B1", "b1") + BoolField("0..2", "C", "c")));
    ASSERT_TRUE(b);
    // The range's own position 0 is stored; 1 is taken and reported; 2 is copied.
    EXPECT_EQ(Fields(*b), (std::vector<std::string>{"Bit0 C/c", "Bit1 A1/a1", "Bit2 C/c"}));
    EXPECT_EQ(TakeMessages(),
              (std::vector<std::string>{
                  "Warning #0213 in '/Flags': Double definition of element at position 1",
                  "Error #0065 in '/Flags/': Position 1 of 'Flags' already occupied"}));
}

TEST_F(BoolTest, FaultyBoolFieldsAreDropped) {
    struct Case {
        std::string field;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {BoolField("x"),
         {"Error #0060 in '/Flags/': Failed to analyze value 'x'",
          "Warning #0214 in '/Flags': Failed to import element <TBoolField>"}},
        {BoolField("64"),
         {"Error #0061 in '/Flags/': TBoolField attribute 'BitPos=\"64\"' is invalid",
          "Warning #0214 in '/Flags': Failed to import element <TBoolField>"}},
        // A negative position is refused like one past the last bit.
        {BoolField("-1"),
         {"Error #0061 in '/Flags/': TBoolField attribute 'BitPos=\"-1\"' is invalid",
          "Warning #0214 in '/Flags': Failed to import element <TBoolField>"}},
        {BoolField("60..64"),
         {"Error #0064 in '/Flags/': TBoolField attribute 'BitPos=\"60..64\"' is invalid",
          "Warning #0214 in '/Flags': Failed to import element <TBoolField>"}},
        {BoolField("&gt;5"),
         {"Error #0064 in '/Flags/': TBoolField attribute 'BitPos=\"&gt;5\"' is invalid",
          "Warning #0214 in '/Flags': Failed to import element <TBoolField>"}},
    };
    for (const Case& c : cases) {
        auto b = ImportAs<YMTParamBool>(BoolParam(kByte, c.field));
        ASSERT_TRUE(b);
        EXPECT_EQ(Fields(*b), (std::vector<std::string>{"Bit0 True/False"})) << c.field;
        std::vector<std::string> expected = c.messages;
        for (std::string& m : expected) {
            size_t at = m.find("&gt;");
            if (at != std::string::npos) m.replace(at, 4, ">");
        }
        EXPECT_EQ(TakeMessages(), expected) << c.field;
    }

    // A missing BitPos means bit 0.
    auto b = ImportAs<YMTParamBool>(BoolParam(kByte, BoolField("-", "Set", "Clear")));
    ASSERT_TRUE(b);
    EXPECT_EQ(Fields(*b), (std::vector<std::string>{"Bit0 Set/Clear"}));
    EXPECT_EQ(TakeMessages(), (std::vector<std::string>{
                                  "Warning #0059 in '/Flags/': Missing required attribute BitPos"}));
}

TEST_F(BoolTest, BoolFieldNeedsABoolParent) {
    XmlDoc doc(BoolField("1"));
    YMTParamBoolField orphan;
    EXPECT_FALSE(orphan.ImportXML(doc.Root(), m_Ctx, m_Log));
    YMTOperation op;
    YMTParamBoolField wrongParent;
    wrongParent.SetParent(&op);
    EXPECT_FALSE(wrongParent.ImportXML(doc.Root(), m_Ctx, m_Log));
    YMTParamBitField bits;
    YMTParamBoolField ok;
    ok.SetParent(&bits);
    EXPECT_TRUE(ok.ImportXML(doc.Root(), m_Ctx, m_Log));
    EXPECT_EQ(ok.BitPos(), 1u);
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(BoolTest, BoolImportFailures) {
    XmlDoc doc(BitFieldParam(kByte, ""));
    YMTParamBool b;
    EXPECT_FALSE(b.ImportXML(doc.Root(), m_Ctx, m_Log));
    YMTParamBitField bits;
    XmlDoc doc2(BoolParam(kByte, ""));
    EXPECT_FALSE(bits.ImportXML(doc2.Root(), m_Ctx, m_Log));
    XmlDoc doc3("<PNParam><PNParamType><TBool/></PNParamType></PNParam>");
    YMTParamBool unnamed;
    EXPECT_FALSE(unnamed.ImportXML(doc3.Root(), m_Ctx, m_Log));
    EXPECT_EQ(TakeMessages(), (std::vector<std::string>{
                                  "Error #0210 in '/Bits': Can not find element <TBool>",
                                  "Error #0088 in '/Flags': Can not find element <TBitField>",
                                  "Error #0011 in '/': Can not find element <ParamName>"}));
}

// --- bit field widths ----------------------------------------------------------------------

TEST_F(BoolTest, BitFieldWidthByOptions) {
    const uint32_t bytes = YImportContext::kOptBitFieldLengthBytes;
    const uint32_t bits = YImportContext::kOptBitFieldLengthBits;
    const uint32_t halves = YImportContext::kOptBitFieldMaskHalves;
    struct Case {
        uint32_t options;
        std::string length; // "-": no attribute
        std::string highest;
        uint16_t width;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {bytes | halves, "2", "12", 2, {}},
        {bytes, "8", "3", 8, {}},
        {bytes,
         "3",
         "12",
         2,
         {"Warning #0093 in '/Bits': Invalid attribute Length=3 (bytes) of TBitField. Width of "
          "BitField is set to 2 bytes."}},
        {bytes,
         "-",
         "20",
         4,
         {"Warning #0093 in '/Bits': Invalid attribute Length=0 (bytes) of TBitField. Width of "
          "BitField is set to 4 bytes."}},
        {bytes,
         "16",
         "40",
         8,
         {"Warning #0093 in '/Bits': Invalid attribute Length=16 (bytes) of TBitField. Width of "
          "BitField is set to 8 bytes."}},
        {bytes,
         "1",
         "12",
         1,
         {"Warning #0203 in '/Bits': BoolFields with BitPos >= 8 removed."}},
        {bits, "8", "0", 1, {}},
        {bits, "12", "3", 2, {}},
        {bits, "0x20", "3", 4, {}},
        {bits, "33", "3", 8, {}},
        {bits,
         "65",
         "40",
         8,
         {"Warning #0094 in '/Bits': Invalid attribute Length=65 (bits). Width of BitField is set "
          "to 8 bytes."}},
        {bits,
         "0",
         "9",
         2,
         {"Warning #0094 in '/Bits': Invalid attribute Length=0 (bits). Width of BitField is set "
          "to 2 bytes."}},
        {0,
         "-",
         "5",
         1,
         {"Warning #0200 in '/Bits': Attribute Length=0 byte(s) of <TBitField> collides with "
          "attribute BitPos=5 of <TBoolField>. Width of parameter is set to 1 bytes."}},
        {0, "1", "5", 1, {}},
        {0, "4", "31", 4, {}},
        {0, "8", "32", 8, {}},
        {0,
         "16",
         "9",
         2,
         {"Warning #0204 in '/Bits': Bit field width > 8 bytes not supported yet. Check "
          "attribute Length of <TBitField>.",
          "Warning #0200 in '/Bits': Attribute Length=16 byte(s) of <TBitField> collides with "
          "attribute BitPos=9 of <TBoolField>. Width of parameter is set to 2 bytes."}},
        {halves, "1", "3", 1, {}},
        {halves, "2", "5", 2, {}},
        {halves, "4", "15", 4, {}},
        {halves, "8", "16", 8, {}},
        {halves,
         "8",
         "40",
         8,
         {"Warning #0217 in '/Bits': Bit field width > 8 bytes not supported."}},
        {halves,
         "1",
         "5",
         2,
         {"Warning #0200 in '/Bits': Attribute Length=1 byte(s) of <TBitField> collides with "
          "attribute BitPos=5 of <TBoolField>. Width of parameter is set to 2 bytes."}},
    };
    for (const Case& c : cases) {
        m_Ctx.SetOptions(c.options);
        std::string attrs = c.length == "-" ? "" : " Length=\"" + c.length + "\"";
        auto bf = ImportAs<YMTParamBitField>(BitFieldParam(attrs, BoolField(c.highest)));
        ASSERT_TRUE(bf);
        std::string what = "options " + std::to_string(c.options) + " Length " + c.length +
                           " bit " + c.highest;
        EXPECT_EQ(bf->BytesInMsg(), c.width) << what;
        EXPECT_EQ(TakeMessages(), c.messages) << what;
        // Every bit of the width has a field and nothing lies beyond it.
        EXPECT_EQ(bf->GetCount(), c.width * 8u) << what;
        for (uint32_t i = 0; i < c.width * 8u; ++i) {
            YMTParamBoolField* f = bf->BoolFieldAt(i);
            ASSERT_NE(f, nullptr) << what << " bit " << i;
            EXPECT_EQ(f->NameRef(), StrFormat(c.width < 2 ? "Bit%u" : "Bit%02u", i));
        }
    }
}

TEST_F(BoolTest, AssignBitName) {
    struct Case {
        uint16_t width;
        bool mask;
        uint32_t pos;
        const char* name;
    };
    const Case cases[] = {
        {1, false, 3, "Bit3"},   {2, false, 3, "Bit03"},  {8, false, 63, "Bit63"},
        {1, true, 3, "Bit3"},    {1, true, 4, "Mask0"},   {1, true, 7, "Mask3"},
        {2, true, 7, "Bit7"},    {2, true, 9, "Mask1"},   {3, true, 2, "Bit02"},
        {3, true, 13, "Mask01"}, {4, true, 20, "Mask04"}, {8, true, 31, "Bit31"},
        {8, true, 63, "Mask31"},
    };
    for (const Case& c : cases) {
        YMTParamBoolField f;
        f.AssignBitName(c.width, c.mask, c.pos);
        EXPECT_EQ(f.NameRef(), c.name) << c.width << " " << c.mask << " " << c.pos;
    }
}

// --- values --------------------------------------------------------------------------------

TEST_F(BoolTest, WidthClassesAndMasks) {
    struct Case {
        uint16_t width;
        uint32_t widthClass;
        uint64_t mask;
    };
    const Case cases[] = {{1, 0, 0xFF},       {2, 1, 0xFFFF},   {4, 2, 0xFFFFFFFF},
                          {8, 6, ~uint64_t{0}}, {3, 0, 0xFF},     {0, 0, 0xFF}};
    for (const Case& c : cases) {
        YMTParamBitField b;
        b.SetBytesInMsg(c.width);
        EXPECT_EQ(b.WidthClass(), c.widthClass) << c.width;
        EXPECT_EQ(b.AllBitsMask(), c.mask) << c.width;
        uint32_t v = 99;
        EXPECT_EQ(b.GetAttrInt(1009, &v), kAttrOk);
        EXPECT_EQ(v, c.widthClass);
        EXPECT_EQ(b.Reserved(), 0u);
    }
}

TEST_F(BoolTest, ParseValueAndBytes) {
    struct Case {
        uint16_t width;
        const char* text;
        bool ok;
        Bytes bytes;
    };
    const Case cases[] = {
        {1, "255", true, {0xFF}},
        {1, "256", false, {}},
        {1, "0xFF", true, {0xFF}},
        {1, "0X1f", true, {0x1F}},
        {1, "0x1FF", false, {}},
        {1, " + 1 2 ", true, {12}},
        {1, "-1", false, {}},
        {1, "0x", false, {}},
        {1, "0xG", false, {}},
        {1, "", false, {}},
        {1, "abc", false, {}},
        {2, "0x1234", true, {0x12, 0x34}},
        {2, "65536", false, {}},
        {4, "4294967295", true, {0xFF, 0xFF, 0xFF, 0xFF}},
        {4, "1", true, {0, 0, 0, 1}},
        {8, "18446744073709551615", true, Bytes(8, 0xFF)},
        {8, "18446744073709551616", false, {}},
        {8, "0x0102030405060708", true, {1, 2, 3, 4, 5, 6, 7, 8}},
        {8, "0x10000000000000000", false, {}},
    };
    for (const Case& c : cases) {
        YMTParamBool b;
        b.SetBytesInMsg(c.width);
        Bytes out = {0xEE};
        EXPECT_EQ(b.ParseToBytes(c.text, out), c.ok) << c.width << " '" << c.text << "'";
        EXPECT_EQ(out, c.ok ? c.bytes : Bytes{0xEE}) << c.width << " '" << c.text << "'";
    }
    YMTParamBool b;
    b.SetBytesInMsg(2);
    uint64_t value = 7;
    EXPECT_TRUE(b.ParseValue("0x00ff", value));
    EXPECT_EQ(value, 0xFFu);
    Bytes out = {1, 2, 3};
    EXPECT_FALSE(b.ValueToBytes(0x10000, out));
    EXPECT_EQ(out, (Bytes{1, 2, 3}));
    EXPECT_TRUE(b.ValueToBytes(0xABCD, out));
    EXPECT_EQ(out, (Bytes{0xAB, 0xCD}));
}

TEST_F(BoolTest, AttributesAndConversions) {
    YMTParamBool b;
    YMTParamBitField bf;
    uint32_t v = 0;
    EXPECT_EQ(b.GetAttrInt(1002, &v), kAttrOk);
    EXPECT_EQ(v, 8u);
    EXPECT_EQ(bf.GetAttrInt(1002, &v), kAttrOk);
    EXPECT_EQ(v, 5u);
    EXPECT_EQ(bf.GetAttrInt(1014, &v), kAttrOk);
    EXPECT_EQ(v, 1u);
    EXPECT_EQ(bf.GetAttrInt(1015, &v), kAttrOk);
    EXPECT_EQ(v, 0u);
    EXPECT_EQ(b.ParamDispMode(), uint32_t{kDispHex});
    EXPECT_EQ(bf.ParamDispMode(), uint32_t{kDispHex});

    const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    b.SetBytesInMsg(4);
    EXPECT_EQ(b.BitWidth(), 32u);
    EXPECT_EQ(b.ConvertBytesToInt(bytes, 4, &v), kAttrOk);
    EXPECT_EQ(v, 0x01020304u);
    uint64_t v64 = 0;
    EXPECT_EQ(b.ConvertBytesToUInt64(bytes, 4, &v64), kAttrOk);
    EXPECT_EQ(v64, 0x01020304u);
    bf.SetBytesInMsg(8);
    EXPECT_EQ(bf.ConvertBytesToInt(bytes, 8, &v), kAttrNotAvailable);
    EXPECT_EQ(bf.ConvertBytesToUInt64(bytes, 8, &v64), kAttrOk);
    EXPECT_EQ(v64, 0x0102030405060708u);
    EXPECT_EQ(bf.ConvertBytesToUInt64(nullptr, 8, &v64), kAttrNotAvailable);

    YMTParamBoolField f;
    f.SetParamPos(5);
    f.SetTexts("Enabled", "Disabled");
    EXPECT_EQ(f.BitWidth(), 1u);
    EXPECT_EQ(f.GetAttrInt(1002, &v), kAttrOk);
    EXPECT_EQ(v, 21u);
    EXPECT_EQ(f.GetAttrInt(1210, &v), kAttrOk);
    EXPECT_EQ(v, 5u);
    const char* s = nullptr;
    EXPECT_EQ(f.GetAttrStr(1211, &s), kAttrOk);
    EXPECT_STREQ(s, "Enabled");
    EXPECT_EQ(f.GetAttrStr(1212, &s), kAttrOk);
    EXPECT_STREQ(s, "Disabled");
    char text[16];
    const uint8_t one[] = {0x00, 0x01}, zero[] = {0x00, 0x00};
    EXPECT_EQ(f.ConvertBytesToStr(one, 2, text, sizeof text), 0u);
    EXPECT_STREQ(text, "Enabled");
    EXPECT_EQ(f.ConvertBytesToStr(zero, 2, text, sizeof text), 0u);
    EXPECT_STREQ(text, "Disabled");
    EXPECT_EQ(f.ConvertBytesToStr(one, 2, text, 8), 0u);
    EXPECT_EQ(f.ConvertBytesToStr(one, 2, text, 7), 20u); // "Enabled" needs 8 with its zero
    EXPECT_EQ(f.ConvertBytesToInt(one, 2, &v), kAttrOk);
    EXPECT_EQ(v, 1u);
    EXPECT_EQ(f.ConvertBytesToInt(zero, 2, &v), kAttrOk);
    EXPECT_EQ(v, 0u);
}

// --- tree: check, copies, archive order, dump ------------------------------------------------

TEST_F(BoolTest, CheckNamesCopiesArchiveAndDump) {
    YMTFunction fn;
    fn.SetName("Fn");
    auto* op = new YMTOperation();
    op->SetName("Status");
    op->SetParent(&fn);
    fn.SetAt(op, 12);
    XmlDoc doc(BitFieldParam(" Length=\"1\"", BoolField("1", "Up", "Down")));
    auto* bf = new YMTParamBitField();
    bf->SetParent(op);
    m_Ctx.SetOptions(YImportContext::kOptBitFieldLengthBytes);
    ASSERT_TRUE(bf->ImportXML(doc.Root(), m_Ctx, m_Log));
    bf->SetParamPos(1);
    op->SetAt(bf, 1);
    ASSERT_TRUE(op->Check(m_Ctx, m_Log));
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(bf->SymID(), "Bits");
    EXPECT_EQ(bf->BoolFieldAt(1)->SymID(), "Bits.Bit1");
    EXPECT_EQ(bf->BoolFieldAt(1)->CheckedLevel(), 3);
    EXPECT_EQ(bf->FindChild("BIT7"), bf->BoolFieldAt(7));
    // Bool fields are never found by the upward name lookup.
    EXPECT_EQ(bf->LookupName("Bit7", 100), nullptr);

    std::unique_ptr<YMTNode> copy(bf->Clone());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->NodeType(), uint32_t{kNodeBitField});
    auto* c = static_cast<YMTParamBitField*>(copy.get());
    EXPECT_EQ(c->BytesInMsg(), 1);
    EXPECT_EQ(Fields(*c), Fields(*bf));
    EXPECT_NE(c->BoolFieldAt(1), bf->BoolFieldAt(1));
    YMTParamBool plain;
    EXPECT_FALSE(plain.CopyFrom(bf)); // a bit field is not a bool

    RecordingArchive ar;
    bf->Serialize(ar);
    const std::string parentRef = std::to_string(int(YMTRefKind::Parent));
    EXPECT_EQ(ar.calls, (std::vector<std::string>{
                            "str Bits", "str ", "ref " + parentRef + " Status", "u16 1", "u8 2",
                            "u16 1", "u16 0", "u8 0", "u32 0", "str Bits",
                            "list " + std::to_string(int(YMTListKind::BoolFields)) + " size 8"}));
    RecordingArchive ar2;
    bf->BoolFieldAt(1)->Serialize(ar2);
    EXPECT_EQ(ar2.calls, (std::vector<std::string>{"str Bit1", "str ", "ref " + parentRef + " Bits",
                                                   "u16 0", "u8 3", "u16 1", "u16 0", "u8 0",
                                                   "u32 4294967295", "str Bits.Bit1", "str Up",
                                                   "str Down"}));

    std::string dump = DumpText(*bf);
    std::string head = "\t\tPARAMBOOL: Bits\n"
                       "\t\t.Parent: /Fn/Status\n"
                       "\t\t.BytesInMsg: 1\n"
                       "\t\t.IsSelector: 0\n"
                       "\t\t.ParamPos: 1\n"
                       "\t\t.SymID: Bits\n"
                       "\t\t\tPARAMBOOLFIELD: Bit0\n";
    EXPECT_EQ(dump.substr(0, head.size()), head);
    std::string bit1 = "\t\t\tPARAMBOOLFIELD: Bit1\n"
                       "\t\t\t.Parent: /Fn/Status/Bits\n"
                       "\t\t\t.BytesInMsg: 0\n"
                       "\t\t\t.IsSelector: 0\n"
                       "\t\t\t.ParamPos: 1\n"
                       "\t\t\t.SymID: Bits.Bit1\n"
                       "\t\t\t.TrueDesc:  Up\n"
                       "\t\t\t.FalseDesc: Down\n";
    EXPECT_NE(dump.find(bit1), std::string::npos) << dump;
    EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 6 + 8 * 8);
}

} // namespace
} // namespace mostfcat
