// Number and enumeration parameters: import from their type elements, the
// limit and code-range readers, the checks after import, attributes, byte
// conversions, copies, the archive order and the dump lines.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "import/import_context.h"
#include "import/import_log.h"
#include "import/import_state.h"
#include "import/text_read.h"
#include "params/param_number.h"
#include "platform/strings.h"
#include "support/test_support.h"
#include "tree/catalog.h"
#include "tree/fblock.h"
#include "tree/function.h"
#include "tree/operation.h"

namespace mostfcat {
namespace {

using test::XmlDoc;

// Types and units the imports below refer to. The unit identifiers
// unit_none and unit_undefined carry names of their own so that the tests
// see that the identifier, not the name, empties the unit.
const char kDefinitions[] = R"(
  <TypeDef TypeID="type_unsigned_byte"><TDefName>UByte</TDefName><TDefSize>1</TDefSize></TypeDef>
  <TypeDef TypeID="type_signed_byte"><TDefName>SByte</TDefName><TDefSize>1</TDefSize></TypeDef>
  <TypeDef TypeID="type_unsigned_word"><TDefName>UWord</TDefName><TDefSize>2</TDefSize></TypeDef>
  <TypeDef TypeID="type_signed_word"><TDefName>SWord</TDefName><TDefSize>2</TDefSize></TypeDef>
  <TypeDef TypeID="type_unsigned_long"><TDefName>ULong</TDefName><TDefSize>4</TDefSize></TypeDef>
  <TypeDef TypeID="type_signed_long"><TDefName>SLong</TDefName><TDefSize>4</TDefSize></TypeDef>
  <UnitDef UnitID="unit_db"><UnitDefName>dB</UnitDefName><UnitDefCode>3</UnitDefCode></UnitDef>
  <UnitDef UnitID="Unit_None"><UnitDefName>none</UnitDefName><UnitDefCode>0</UnitDefCode></UnitDef>
  <UnitDef UnitID="unit_undefined"><UnitDefName>undef</UnitDefName><UnitDefCode>1</UnitDefCode></UnitDef>
)";

std::string Warn(uint32_t number, const std::string& where, const std::string& text) {
    return StrFormat("Warning #%04u in '%s':\n  %s\n", number, where.c_str(), text.c_str());
}
std::string Err(uint32_t number, const std::string& where, const std::string& text) {
    return StrFormat("Error #%04u in '%s':\n  %s\n", number, where.c_str(), text.c_str());
}

// The parts of a TNumber element; an empty optional leaves the element out.
struct NumberParts {
    std::string name = "Level";
    std::string basis = R"(<TUByte TypeRef="type_unsigned_byte"/>)";
    std::optional<std::string> unit = R"(<Unit UnitRef="unit_db"/>)";
    std::optional<std::string> exponent = "0";
    std::optional<std::string> rangeMin;
    std::optional<std::string> rangeMax;
    std::optional<std::string> step = "1";
};

std::string Element(const char* tag, const std::optional<std::string>& text) {
    if (!text) return std::string();
    return StrFormat("<%s>%s</%s>", tag, text->c_str(), tag);
}

std::string NumberXml(const NumberParts& s) {
    return "<PUParam><ParamName>" + s.name + "</ParamName><ParamDescription>d</ParamDescription>" +
           "<PUParamType><TNumber>" + Element("Exponent", s.exponent) + "<BasisDataType>" +
           s.basis + "</BasisDataType>" + s.unit.value_or("") + Element("RangeMin", s.rangeMin) +
           Element("RangeMax", s.rangeMax) + Element("Step", s.step) +
           "</TNumber></PUParamType></PUParam>";
}

// An enumeration parameter element; tenumAttrs go into the TEnum tag.
std::string EnumXml(const std::string& values, const std::string& tenumAttrs = "",
                    const std::string& name = "Mode") {
    return "<PUParam><ParamName>" + name + "</ParamName><ParamDescription>d</ParamDescription>" +
           "<PUParamType><TEnum" + tenumAttrs + ">" + values + "</TEnum></PUParamType></PUParam>";
}

std::string Value(const std::string& code, const std::string& name) {
    return "<TEnumValue Code=\"" + code + "\" SymbolicName=\"" + name + "\"/>";
}

template <class T> struct ParamRun {
    std::unique_ptr<T> param;
    bool ok = false;
    std::string log;
};

// A parameter of a kind the number checks look for (array, record, stream
// case) without the behaviour of that kind.
class KindParam : public YMTParam, public YMTChildList {
public:
    explicit KindParam(uint32_t type) : m_Type(type) {}
    uint32_t NodeType() const override { return m_Type; }
    YMTNode* FindChild(const std::string& name) const override { return FindByName(name); }

private:
    uint32_t m_Type;
};

// Records the kinds of fields in the order a node hands them over, and plays
// written values back when reading.
class TapeArchive : public YMTArchive {
public:
    bool reading = false;
    std::string kinds;

    void SerializeWords(std::vector<uint16_t>&) override { kinds += "words "; }
    void SerializeList(YMTChildList&, YMTListKind kind) override {
        kinds += "list" + std::to_string(static_cast<int>(kind)) + " ";
    }
    void SerializeString(std::string& text) override {
        kinds += "str ";
        if (reading)
            text = m_Strings.at(m_StringPos++);
        else
            m_Strings.push_back(text);
    }
    void SerializeBool(bool& v) override { Number(v, "b"); }
    void Serialize64(uint64_t& v) override { Number(v, "u64"); }
    void Serialize32(int32_t& v) override { Number(v, "i32"); }
    void Serialize32(uint32_t& v) override { Number(v, "u32"); }
    void Serialize16(uint16_t& v) override { Number(v, "u16"); }
    void Serialize8(uint8_t& v) override { Number(v, "u8"); }
    void SerializeRef(YMTNode*& node, YMTRefKind) override {
        kinds += "ref ";
        if (reading)
            node = m_Refs.at(m_RefPos++);
        else
            m_Refs.push_back(node);
    }
    YMTNode* NodeHeader(YMTNode* node) override { return node; }
    void SetFailed() override { m_Ok = false; }
    void Rewind() {
        reading = true;
        kinds.clear();
        m_NumberPos = m_StringPos = m_RefPos = 0;
    }

private:
    template <class T> void Number(T& v, const char* kind) {
        kinds += kind;
        kinds += ' ';
        if (reading)
            v = static_cast<T>(m_Numbers.at(m_NumberPos++));
        else
            m_Numbers.push_back(static_cast<uint64_t>(v));
    }
    std::vector<uint64_t> m_Numbers;
    std::vector<std::string> m_Strings;
    std::vector<YMTNode*> m_Refs;
    size_t m_NumberPos = 0, m_StringPos = 0, m_RefPos = 0;
};

class NumberEnumTest : public test::CatalogTest {
protected:
    void SetUp() override {
        CatalogTest::SetUp();
        XmlDoc doc(std::string("<Definition>") + kDefinitions + "</Definition>");
        auto* defs = new YMTDefinition();
        YImportLog quiet;
        ASSERT_TRUE(defs->ImportXML(doc.Root(), m_Ctx, quiet));
        m_Ctx.SetDefinitions(defs);
    }

    // Imports one parameter element into a new object without parent and
    // returns it with the result and the log text.
    template <class T> ParamRun<T> ImportParam(const std::string& xml) {
        ParamRun<T> r;
        r.param = std::make_unique<T>();
        XmlDoc doc(xml);
        std::string path = m_Dir.File("param.log");
        {
            YImportLog log;
            log.OpenLogFile(path);
            r.ok = r.param->ImportXML(doc.Root(), m_Ctx, log);
        }
        r.log = test::ReadFile(path);
        return r;
    }

    ParamRun<YMTParamNumber> ImportNumber(const NumberParts& s) {
        return ImportParam<YMTParamNumber>(NumberXml(s));
    }

    // The log of a Check of node.
    std::string CheckLog(YMTNode& node) {
        std::string path = m_Dir.File("check.log");
        {
            YImportLog log;
            log.OpenLogFile(path);
            EXPECT_TRUE(node.Check(m_Ctx, log));
        }
        return test::ReadFile(path);
    }

    YImportContext m_Ctx;
};

uint32_t IntAttr(YMTNode& node, uint32_t attr) {
    uint32_t v = 0xDEADBEEF;
    EXPECT_EQ(node.GetAttrInt(attr, &v), kAttrOk) << "attribute " << attr;
    return v;
}

double FloatAttr(YMTNode& node, uint32_t attr) {
    double v = -999;
    EXPECT_EQ(node.GetAttrFloat(attr, &v), kAttrOk) << "attribute " << attr;
    return v;
}

std::string StrAttr(YMTNode& node, uint32_t attr) {
    const char* v = nullptr;
    EXPECT_EQ(node.GetAttrStr(attr, &v), kAttrOk) << "attribute " << attr;
    return v ? v : "(null)";
}

// --- numbers: import ---------------------------------------------------------------

TEST_F(NumberEnumTest, NumberImportReadsEveryPartAndDumps) {
    NumberParts s;
    s.name = "Volume";
    s.basis = R"(<TSWord TypeRef="type_signed_word"/>)";
    s.exponent = "-1";
    s.rangeMin = " -400 ";
    s.rangeMax = "0x0190";
    s.step = "0.5";
    auto r = ImportNumber(s);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.log, "");
    YMTParamNumber& n = *r.param;
    EXPECT_EQ(n.NameRef(), "Volume");
    EXPECT_EQ(n.Description(), "d");
    EXPECT_EQ(n.BytesInMsg(), 2);
    EXPECT_EQ(n.BitWidth(), 16u);
    EXPECT_TRUE(n.IsSigned());
    EXPECT_EQ(n.Exponent(), -1);
    EXPECT_EQ(n.RangeMin(), -400.0);
    EXPECT_EQ(n.RangeMax(), 400.0);
    EXPECT_EQ(n.Step(), 0.5);
    EXPECT_EQ(n.UnitName(), "dB");

    EXPECT_EQ(IntAttr(n, 0), 6u);
    EXPECT_EQ(IntAttr(n, 1002), 1u);
    EXPECT_EQ(IntAttr(n, 1006), 16u);
    EXPECT_EQ(IntAttr(n, 1009), 4u);
    EXPECT_EQ(IntAttr(n, 1012), 0xFFFFFFFFu);
    EXPECT_EQ(IntAttr(n, 1014), 1u);
    EXPECT_EQ(IntAttr(n, 1015), 1u);
    EXPECT_EQ(StrAttr(n, 1013), "dB");
    EXPECT_EQ(StrAttr(n, 1000), "Volume");
    EXPECT_EQ(FloatAttr(n, 1010), -400.0);
    EXPECT_EQ(FloatAttr(n, 1011), 400.0);
    EXPECT_EQ(FloatAttr(n, 1016), 0.0);
    EXPECT_DOUBLE_EQ(FloatAttr(n, 1017), 0.1);
    double unused = 0;
    EXPECT_EQ(n.GetAttrFloat(1018, &unused), kAttrNotAvailable);

    EXPECT_EQ(CheckLog(n), "");
    EXPECT_EQ(test::CatalogTest::DumpText(n), "PARAMNUMBER: Volume\n"
                                              ".Parent: -\n"
                                              ".BytesInMsg: 2\n"
                                              ".IsSelector: 0\n"
                                              ".ParamPos: 0\n"
                                              ".SymID: Volume\n"
                                              ".Exponent: -1\n"
                                              ".Range: -400.000000-400.000000\n"
                                              ".Step: 0.500000\n"
                                              ".UnitName: dB\n"
                                              ".ParamMeaning: 0\n"
                                              ".ParamDispMode: 0\n");
}

TEST_F(NumberEnumTest, NumberWidthAndSignednessComeFromTheDefinition) {
    struct Case {
        const char* basis;
        uint16_t width;
        bool isSigned;
        uint32_t cls;
    };
    const Case cases[] = {
        {R"(<TUByte TypeRef="type_unsigned_byte"/>)", 1, false, 0},
        {R"(<TUWord TypeRef="TYPE_UNSIGNED_WORD"/>)", 2, false, 1},
        {R"(<TULong TypeRef="type_unsigned_long"/>)", 4, false, 2},
        {R"(<TSByte TypeRef="type_signed_byte"/>)", 1, true, 3},
        {R"(<TSWord TypeRef="type_signed_word"/>)", 2, true, 4},
        {R"(<TSLong TypeRef="type_signed_long"/>)", 4, true, 5},
        // The tag does not matter, the definition decides.
        {R"(<TUByte TypeRef="type_signed_long"/>)", 4, true, 5},
        // The first tag in table order that carries TypeRef is taken.
        {R"(<TSWord TypeRef="type_signed_word"/><TUByte/><TULong TypeRef="type_unsigned_long"/>)",
         4, false, 2},
    };
    for (const Case& c : cases) {
        NumberParts s;
        s.basis = c.basis;
        auto r = ImportNumber(s);
        ASSERT_TRUE(r.ok) << c.basis;
        EXPECT_EQ(r.param->BytesInMsg(), c.width) << c.basis;
        EXPECT_EQ(r.param->IsSigned(), c.isSigned) << c.basis;
        EXPECT_EQ(r.param->DataTypeClass(), c.cls) << c.basis;
        EXPECT_EQ(IntAttr(*r.param, 1009), c.cls) << c.basis;
    }
}

TEST_F(NumberEnumTest, NumberImportErrorsFailTheImport) {
    const std::string where = "/Level";
    struct Case {
        std::string xml;
        std::string log;
    };
    NumberParts noBasis;
    noBasis.basis = "";
    std::string withoutBasis = NumberXml(noBasis);
    withoutBasis.replace(withoutBasis.find("<BasisDataType></BasisDataType>"), 31, "");
    NumberParts noTypeRef;
    noTypeRef.basis = "<TUByte/>";
    NumberParts unknownType;
    unknownType.basis = R"(<TUByte TypeRef="type_float"/>)";
    NumberParts tagNotInTable;
    tagNotInTable.basis = R"(<TFloat TypeRef="type_unsigned_byte"/>)";
    NumberParts noUnit;
    noUnit.unit.reset();
    NumberParts unitWithoutRef;
    unitWithoutRef.unit = "<Unit/>";
    const Case cases[] = {
        {"<PUParam><ParamName>Level</ParamName><ParamDescription>d</ParamDescription>"
         "<PUParamType><TEnum/></PUParamType></PUParam>",
         Err(66, where, "Can not find element <TNumber>")},
        {withoutBasis, Err(71, where, "Can not find element <BasisDataType>")},
        {NumberXml(noTypeRef), Err(151, where, "Type definition not found")},
        {NumberXml(unknownType), Err(151, where, "Type definition not found")},
        {NumberXml(tagNotInTable), Err(151, where, "Type definition not found")},
        {NumberXml(noUnit), Err(72, where, "Can not find element <Unit>")},
        {NumberXml(unitWithoutRef), Err(72, where, "Can not find element <Unit>")},
        {"<PUParam><PUParamType><TNumber/></PUParamType></PUParam>",
         Err(11, "/", "Can not find element <ParamName>")},
    };
    for (const Case& c : cases) {
        auto r = ImportParam<YMTParamNumber>(c.xml);
        EXPECT_FALSE(r.ok) << c.xml;
        EXPECT_EQ(r.log, c.log) << c.xml;
    }
}

TEST_F(NumberEnumTest, NumberUnitsAndMissingOptionalElements) {
    NumberParts unknown;
    unknown.unit = R"(<Unit UnitRef="unit_parsec"/>)";
    auto r = ImportNumber(unknown);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.log, Warn(152, "/Level", "Cannot find unit definition"));
    EXPECT_EQ(r.param->UnitName(), "");
    EXPECT_EQ(r.param->BytesInMsg(), 1);

    for (const char* id : {"UNIT_NONE", "unit_undefined"}) {
        NumberParts s;
        s.unit = StrFormat(R"(<Unit UnitRef="%s"/>)", id);
        auto u = ImportNumber(s);
        ASSERT_TRUE(u.ok);
        EXPECT_EQ(u.log, "");
        EXPECT_EQ(u.param->UnitName(), "") << id;
    }

    // Exponent and Step are optional: warnings, and 0 for their values.
    NumberParts bare;
    bare.exponent.reset();
    bare.step.reset();
    auto b = ImportNumber(bare);
    ASSERT_TRUE(b.ok);
    EXPECT_EQ(b.log, Warn(67, "/Level", "Can not find element <Exponent>") +
                         Warn(70, "/Level", "Can not find element <Step>"));
    EXPECT_EQ(b.param->Exponent(), 0);
    EXPECT_EQ(b.param->Step(), 0.0);
}

TEST_F(NumberEnumTest, ExponentAndStepTexts) {
    struct Case {
        const char* exponent;
        int32_t expectedExponent;
        const char* step;
        double expectedStep;
    };
    const Case cases[] = {
        {"-3", -3, "0.25", 0.25}, {"0x2", 2, "0x10", 16.0}, {"0b11", 3, "0b101", 5.0},
        {"", 0, "", 0.0},         {"abc", 0, "abc", 0.0},   {" 4 ", 4, " 2.5e1 ", 25.0},
        {"7", 7, "-0.5", -0.5},   {"1", 1, "nan", 0.0},     {"0", 0, "+3", 3.0},
    };
    for (const Case& c : cases) {
        NumberParts s;
        s.exponent = c.exponent;
        s.step = c.step;
        auto r = ImportNumber(s);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.log, "");
        EXPECT_EQ(r.param->Exponent(), c.expectedExponent) << c.exponent;
        EXPECT_EQ(r.param->Step(), c.expectedStep) << c.step;
    }
}

TEST_F(NumberEnumTest, PosParameterWarnsAboutWidthAndExponent) {
    NumberParts s;
    s.name = "pos";
    s.exponent = "1";
    auto r = ImportNumber(s);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.log, Warn(73, "/pos", "Size of 'Pos' parameter <> 2 Bytes") +
                         Warn(74, "/pos", "Exponent of 'Pos' parameter <> 0"));
    EXPECT_EQ(r.param->BytesInMsg(), 1);
    EXPECT_EQ(r.param->Exponent(), 1);

    s.name = "Pos";
    s.exponent = "0";
    s.basis = R"(<TUWord TypeRef="type_unsigned_word"/>)";
    EXPECT_EQ(ImportNumber(s).log, "");
}

// --- numbers: limits ----------------------------------------------------------------

TEST_F(NumberEnumTest, NumberLimits) {
    const char* u8 = R"(<TUByte TypeRef="type_unsigned_byte"/>)";
    const char* s8 = R"(<TSByte TypeRef="type_signed_byte"/>)";
    const char* s16 = R"(<TSWord TypeRef="type_signed_word"/>)";
    const char* u32 = R"(<TULong TypeRef="type_unsigned_long"/>)";
    const char* s32 = R"(<TSLong TypeRef="type_signed_long"/>)";
    const std::string w = "/Level";
    const std::string conflict = "Error in definition of value limits (lower limit greater than "
                                 "upper limit, or base data type conflict)";
    auto outside = [&](const char* text, const char* which, const char* type) {
        return StrFormat("Value '%s' in '%s' is outside limits of base data type '%s'", text, which,
                         type);
    };
    struct Case {
        const char* basis;
        std::optional<std::string> min, max;
        double lower, upper;
        std::string log;
    };
    const std::optional<std::string> none;
    const Case cases[] = {
        {u8, none, none, 0, 0, ""},
        {u8, "", " ", 0, 0, ""},
        {u8, "Full Range", "100", 0, 0, ""},
        {u8, "10", none, 10, 255, ""},
        {u8, "10", "nmax", 10, 255, ""},
        {u8, none, "20", 0, 20, ""},
        {u8, "10", "FULL RANGE", 0, 0, ""},
        {u8, "0", "255", 0, 255, ""},
        {u8, "+7", "+8", 7, 8, ""},
        {u8, "300", "20", 0, 20, Warn(234, w, outside("300", "RangeMin", "UByte"))},
        {u8, "-1", none, 0, 0, Warn(234, w, outside("-1", "RangeMin", "UByte"))},
        {u8, "5", "256", 5, 255, Warn(235, w, outside("256", "RangeMax", "UByte"))},
        {u8, "50", "20", 0, 0, Warn(238, w, conflict)},
        {u8, "abc", "20", 0, 20, Warn(236, w, "Failed to analyze value 'abc'")},
        {u8, "1.5", none, 0, 0, Warn(236, w, "Failed to analyze value '1.5'")},
        {u8, "+", none, 0, 0, Warn(236, w, "Failed to analyze value '+'")},
        {u8, "0x", none, 0, 0, Warn(236, w, "Failed to analyze value '0x'")},
        {u8, "5", "xyz", 5, 255, Warn(237, w, "Failed to analyze value 'xyz'")},
        {u8, "99999999999999999999999", none, 0, 0,
         Warn(234, w, outside("99999999999999999999999", "RangeMin", "UByte"))},
        {u8, "0x80", "0xFF", 128, 255, ""},
        // Signed classes read hexadecimal texts as bit patterns of the width.
        {s8, "0x80", none, -128, 127, ""},
        {s8, "0x80", "0x7F", -128, 127, ""},
        {s8, "0xFF", "0x10", -1, 16, ""},
        {s8, "0x100", "0", -128, 0, Warn(234, w, outside("0x100", "RangeMin", "SByte"))},
        {s8, "- 5", "-0x02", -5, -2, ""},
        {s8, "-128", "127", -128, 127, ""},
        {s8, "-129", none, 0, 0, Warn(234, w, outside("-129", "RangeMin", "SByte"))},
        {s16, "0x8000", "0x7FFF", -32768, 32767, ""},
        {s16, "0xFFFF", none, -1, 32767, ""},
        {s32, "0x80000000", "0xFFFFFFFF", -2147483648.0, -1, ""},
        {u32, "0xFFFFFFFF", none, 4294967295.0, 4294967295.0, ""},
        {u32, none, "4294967296", 0, 0, Warn(235, w, outside("4294967296", "RangeMax", "ULong"))},
        // Both limits unusable: the second warning follows the first.
        {u8, "x", "y", 0, 0,
         Warn(236, w, "Failed to analyze value 'x'") + Warn(237, w, "Failed to analyze value 'y'")},
    };
    for (const Case& c : cases) {
        NumberParts s;
        s.basis = c.basis;
        s.rangeMin = c.min;
        s.rangeMax = c.max;
        auto r = ImportNumber(s);
        std::string label =
            std::string(c.basis) + " [" + c.min.value_or("-") + "] [" + c.max.value_or("-") + "]";
        ASSERT_TRUE(r.ok) << label;
        EXPECT_EQ(r.param->RangeMin(), c.lower) << label;
        EXPECT_EQ(r.param->RangeMax(), c.upper) << label;
        EXPECT_EQ(r.log, c.log) << label;
    }
}

TEST_F(NumberEnumTest, LimitValueReaderOnItsOwn) {
    YMTParamNumber n;
    n.SetBytesInMsg(2);
    n.SetSigned(true);
    double v = 0;
    EXPECT_TRUE(n.ReadLimitValue("0xFFFE", v));
    EXPECT_EQ(v, -2.0);
    EXPECT_TRUE(n.ReadLimitValue("-0xFFFE", v));
    EXPECT_EQ(v, 2.0);
    EXPECT_TRUE(n.ReadLimitValue("0x10000", v)); // wider than the class: read as it is
    EXPECT_EQ(v, 65536.0);
    EXPECT_FALSE(n.ReadLimitValue("", v));
    EXPECT_FALSE(n.ReadLimitValue("-", v));
    EXPECT_FALSE(n.ReadLimitValue("--1", v));
    EXPECT_FALSE(n.ReadLimitValue("12abc", v));
    n.SetSigned(false);
    EXPECT_TRUE(n.ReadLimitValue("0xFFFE", v));
    EXPECT_EQ(v, 65534.0);
}

// --- numbers: check ------------------------------------------------------------------

class NumberCheckTest : public NumberEnumTest {
protected:
    // A function "Func" with the operations Status (OpType 12) and Set (0).
    void SetUp() override {
        NumberEnumTest::SetUp();
        m_Function.SetName("Func");
        for (uint32_t t : {0u, 12u}) {
            auto* op = new YMTOperation();
            op->SetName(t == 0 ? "Set" : "Status");
            op->OpType = t;
            op->SetParent(&m_Function);
            m_Function.SetAt(op, t);
        }
    }
    YMTOperation& Op(uint32_t t) { return *m_Function.OperationAt(t); }

    template <class T> T* Put(YMTNode& parent, YMTChildList& list, T* param, uint32_t pos) {
        param->SetParent(&parent);
        param->SetParamPos(static_cast<uint16_t>(pos));
        list.SetAt(param, pos);
        return param;
    }
    YMTParamNumber* Number(const char* name, uint16_t width) {
        auto* n = new YMTParamNumber();
        n->SetName(name);
        n->SetBytesInMsg(width);
        return n;
    }
    // Checks a number placed at position 5 of the Status operation.
    uint32_t MeaningInStatus(const char* name, uint16_t width) {
        YMTParamNumber* n = Put(Op(12), Op(12), Number(name, width), 5);
        CheckLog(*n);
        uint32_t meaning = n->ParamMeaning();
        Op(12).RemoveRange(5, 5);
        return meaning;
    }

    YMTFunction m_Function;
};

TEST_F(NumberCheckTest, MeaningsWithoutParent) {
    struct Case {
        const char* name;
        uint16_t width;
        uint32_t meaning;
    };
    const Case cases[] = {
        {"Pos", 2, 7},        {"POSITION", 2, 7},   {"Pos", 1, 0},      {"Tag", 2, 11},
        {"PosY", 1, 12},      {"PosY", 2, 0},       {"FBlockID", 1, 2}, {"sourcefblock", 1, 2},
        {"SinkFBlock", 1, 2}, {"SinkFBlock", 2, 0}, {"FktID", 2, 0},    {"ListSize", 4, 14},
        {"ListSize", 0, 14},  {"ListSize", 1, 0},   {"ListSize", 2, 0}, {"Speed", 2, 0},
    };
    for (const Case& c : cases) {
        YMTParamNumber n;
        n.SetName(c.name);
        n.SetBytesInMsg(c.width);
        EXPECT_EQ(CheckLog(n), "");
        EXPECT_EQ(n.ParamMeaning(), c.meaning) << c.name << " width " << c.width;
        EXPECT_EQ(IntAttr(n, 1007), c.meaning);
        EXPECT_EQ(n.SymID(), c.name);
    }
}

TEST_F(NumberCheckTest, ArrayMeaningsDependOnTheFunctionsParameters) {
    // Neither arrays nor records in the function.
    EXPECT_EQ(MeaningInStatus("Pos", 2), 0u);
    EXPECT_EQ(MeaningInStatus("Tag", 2), 0u);
    EXPECT_EQ(MeaningInStatus("PosY", 1), 0u);

    // A record in another operation of the function serves Pos, not Tag/PosY.
    Put(Op(0), Op(0), new KindParam(kNodeRecord), 1);
    EXPECT_EQ(MeaningInStatus("Pos", 2), 7u);
    EXPECT_EQ(MeaningInStatus("Position", 2), 7u);
    EXPECT_EQ(MeaningInStatus("Tag", 2), 0u);
    EXPECT_EQ(MeaningInStatus("PosY", 1), 0u);

    // An array serves all three.
    Put(Op(0), Op(0), new KindParam(kNodeArray), 2);
    EXPECT_EQ(MeaningInStatus("Pos", 2), 7u);
    EXPECT_EQ(MeaningInStatus("Tag", 2), 11u);
    EXPECT_EQ(MeaningInStatus("PosY", 1), 12u);

    // Only direct children of operations count; below a record nothing is
    // derived for Pos.
    auto* record = static_cast<KindParam*>(Op(0).GetAt(1));
    YMTParamNumber* inRecord = Put(*record, *record, Number("Pos", 2), 0);
    EXPECT_EQ(CheckLog(*inRecord), "");
    EXPECT_EQ(inRecord->ParamMeaning(), 0u);
}

TEST_F(NumberCheckTest, ArrayNestedInARecordDoesNotCount) {
    auto* record = Put(Op(0), Op(0), new KindParam(kNodeRecord), 1);
    Put(*record, *record, new KindParam(kNodeArray), 0);
    EXPECT_EQ(MeaningInStatus("Tag", 2), 0u);
    EXPECT_EQ(MeaningInStatus("Pos", 2), 7u); // the record itself counts
}

TEST_F(NumberCheckTest, FktIDInNotificationFunctions) {
    EXPECT_EQ(MeaningInStatus("FktID", 2), 0u);
    m_Function.SetName("Notification");
    EXPECT_EQ(MeaningInStatus("FktID", 2), 4u);
    m_Function.SetName("NOTIFICATIONCHECK");
    EXPECT_EQ(MeaningInStatus("fktid", 2), 4u);
    EXPECT_EQ(MeaningInStatus("FktID", 1), 0u);
    EXPECT_EQ(MeaningInStatus("FktID", 4), 0u);
}

TEST_F(NumberCheckTest, ListSizeUnderOperationOrStreamCaseOnly) {
    EXPECT_EQ(MeaningInStatus("ListSize", 4), 14u);
    EXPECT_EQ(MeaningInStatus("ListSize", 2), 0u);
    auto* streamCase = Put(Op(0), Op(0), new KindParam(kNodeStreamCase), 1);
    YMTParamNumber* inCase = Put(*streamCase, *streamCase, Number("ListSize", 4), 0);
    CheckLog(*inCase);
    EXPECT_EQ(inCase->ParamMeaning(), 14u);
    auto* record = Put(Op(0), Op(0), new KindParam(kNodeRecord), 2);
    YMTParamNumber* inRecord = Put(*record, *record, Number("ListSize", 4), 0);
    CheckLog(*inRecord);
    EXPECT_EQ(inRecord->ParamMeaning(), 0u);
}

TEST_F(NumberCheckTest, PresetMeaningAndDisplayModeAreKept) {
    YImportState settings;
    settings.hexPreferredNames = {"fblockid", "address"};
    m_Ctx.SetSettings(&settings);

    YMTParamNumber preset;
    preset.SetName("FBlockID");
    preset.SetBytesInMsg(1);
    preset.SetParamMeaning(1);
    preset.SetParamDispMode(1);
    CheckLog(preset);
    EXPECT_EQ(preset.ParamMeaning(), 1u);
    EXPECT_EQ(preset.ParamDispMode(), 1u);

    YMTParamNumber derived;
    derived.SetName("FBlockID");
    derived.SetBytesInMsg(1);
    CheckLog(derived);
    EXPECT_EQ(derived.ParamMeaning(), 2u);
    EXPECT_EQ(derived.ParamDispMode(), 2u);

    YMTParamNumber address;
    address.SetName("Address");
    CheckLog(address);
    EXPECT_EQ(address.ParamDispMode(), 2u);

    YMTParamNumber plain;
    plain.SetName("Speed");
    CheckLog(plain);
    EXPECT_EQ(plain.ParamDispMode(), 0u);
    m_Ctx.SetSettings(nullptr);
}

TEST_F(NumberCheckTest, RepeatedTagIsNoDuplicateButOtherNamesAre) {
    YMTOperation& op = Op(12);
    Put(op, op, Number("Tag", 2), 0);
    YMTParamNumber* tag2 = Put(op, op, Number("tag", 2), 1);
    EXPECT_EQ(CheckLog(*tag2), "");
    Put(op, op, Number("Speed", 2), 2);
    YMTParamNumber* speed2 = Put(op, op, Number("Speed", 2), 3);
    EXPECT_EQ(CheckLog(*speed2),
              Warn(9, "/Func/Status/Speed", "Multiple use of parameter name 'Speed'"));
}

// --- numbers: copies, archive, conversions ----------------------------------------------

TEST_F(NumberEnumTest, NumberCloneArchiveAndBytes) {
    NumberParts s;
    s.basis = R"(<TSLong TypeRef="type_signed_long"/>)";
    s.exponent = "3";
    s.rangeMin = "-5";
    s.rangeMax = "77";
    s.step = "0.125";
    auto r = ImportNumber(s);
    ASSERT_TRUE(r.ok);
    YMTParamNumber& n = *r.param;
    n.SetParamMeaning(14);
    n.SetParamDispMode(2);
    n.SetParamPos(9);
    const std::string dump = test::CatalogTest::DumpText(n);

    std::unique_ptr<YMTNode> clone(n.Clone());
    ASSERT_TRUE(clone);
    ASSERT_EQ(clone->NodeType(), kNodeNumber);
    EXPECT_EQ(test::CatalogTest::DumpText(*clone), dump);
    YMTParamEnum other;
    EXPECT_FALSE(other.CopyFrom(&n));
    EXPECT_FALSE(n.CopyFrom(&other));

    TapeArchive tape;
    n.Serialize(tape);
    EXPECT_EQ(tape.kinds, "str str ref u16 u8 "             // node
                          "u16 u16 u8 u32 str "             // parameter
                          "u8 i32 u64 u64 u64 str u8 u8 "); // number
    tape.Rewind();
    YMTParamNumber back;
    back.Serialize(tape);
    EXPECT_EQ(test::CatalogTest::DumpText(back), dump);
    EXPECT_EQ(back.Step(), 0.125);
    EXPECT_TRUE(back.IsSigned());

    const uint8_t bytes[5] = {0x12, 0x34, 0x56, 0x78, 0x9A};
    uint32_t v = 7;
    EXPECT_EQ(n.ConvertBytesToInt(bytes, 2, &v), kAttrOk);
    EXPECT_EQ(v, 0x1234u);
    EXPECT_EQ(n.ConvertBytesToInt(bytes, 4, &v), kAttrOk);
    EXPECT_EQ(v, 0x12345678u);
    EXPECT_EQ(n.ConvertBytesToInt(bytes, 5, &v), kAttrOk);
    EXPECT_EQ(v, 0u);
    v = 7;
    EXPECT_EQ(n.ConvertBytesToInt(nullptr, 2, &v), kAttrOk);
    EXPECT_EQ(v, 0u);
    EXPECT_EQ(n.ConvertBytesToInt(bytes, 2, nullptr), kAttrNotAvailable);
    EXPECT_EQ(BigEndianU64(bytes, 5), 0x123456789Aull);
}

// --- code ranges ---------------------------------------------------------------------------

TEST(CodeRangeTest, Syntax) {
    struct Case {
        const char* text;
        bool ok;
        int64_t min, max;
    };
    const Case cases[] = {
        {"#NULL#", true, 0, 0},
        {" #null# ", true, 0, 0},
        {"17", true, 17, 17},
        {" 0x1F ", true, 31, 31},
        {"0b101", true, 5, 5},
        {"0b1 01", true, 5, 5},
        {"3..1", true, 1, 3},
        {"5...7", true, 5, 7},
        {"0x10..20", true, 16, 32},
        {"0x10 .. 0x20", true, 16, 32},
        {"10..0x20", true, 10, 32},
        {">5", true, 5, 0x7FFFFFFF},
        {"> 0x10", true, 16, 0x7FFFFFFF},
        {"-4", true, -4, -4},
        {"abc", false, 0, 0},
        {"", false, 0, 0},
        {"1-5", false, 0, 0},
        {"0x", false, 0, 0},
        {"0xZZ", false, 0, 0},
        {"0b102", false, 0, 0},
        {"1..", false, 0, 0},
        {"..1", false, 0, 0},
        {"5>", false, 0, 0},
        // Values beyond 64 bits cannot be read (no silent wrap-around).
        {"99999999999999999999", false, 0, 0},
        {"0x1FFFFFFFFFFFFFFFF", false, 0, 0},
        {"0xFFFFFFFFFFFFFFFF", false, 0, 0},
    };
    for (const Case& c : cases) {
        YCodeRange range;
        EXPECT_EQ(ReadCodeRange(c.text, range), c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_EQ(range.min, c.min) << c.text;
        EXPECT_EQ(range.max, c.max) << c.text;
    }
}

// --- enumerations ------------------------------------------------------------------------

TEST_F(NumberEnumTest, EnumImportReadsValuesInOrderAndDumps) {
    auto r = ImportParam<YMTParamEnum>(
        EnumXml(Value("0", "Off") + Value("1..5", "On") +
                "<TEnumValue Code=\"0x10\">  Text&#9;Value </TEnumValue>" +
                "<TEnumValue Code=\"7\" SymbolicName=\"\">Fallback</TEnumValue>"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.log, "");
    YMTParamEnum& e = *r.param;
    EXPECT_EQ(e.NameRef(), "Mode");
    ASSERT_EQ(e.GetSize(), 4u);
    EXPECT_EQ(e.EnumMax(), 255);
    EXPECT_EQ(e.BytesInMsg(), 1);
    EXPECT_EQ(e.BitWidth(), 8u);
    YMTEnumValue* text = e.ValueAt(2);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->NameRef(), "  TextValue ");
    EXPECT_EQ(text->Description(), "  Text\tValue ");
    EXPECT_EQ(text->Parent(), &e);
    EXPECT_EQ(e.ValueAt(3)->NameRef(), "Fallback");
    EXPECT_EQ(e.ValueAt(1)->CodeMin(), 1);
    EXPECT_EQ(e.ValueAt(1)->CodeMax(), 5);

    CheckLog(e);
    EXPECT_EQ(test::CatalogTest::DumpText(e),
              "PARAMENUM: Mode\n"
              ".Parent: -\n"
              ".BytesInMsg: 1\n"
              ".IsSelector: 0\n"
              ".ParamPos: 0\n"
              ".SymID: Mode\n"
              ".EnumMax: 255\n"
              "\tENUMVALUE: Off  .CodeMin: 0x00 .CodeMax: 0x00\n"
              "\tENUMVALUE: On  .CodeMin: 0x01 .CodeMax: 0x05\n"
              "\tENUMVALUE:   TextValue   .CodeMin: 0x10 .CodeMax: 0x10\n"
              "\tENUMVALUE: Fallback  .CodeMin: 0x07 .CodeMax: 0x07\n");
}

TEST_F(NumberEnumTest, EnumValueNamesAreCutTo255Characters) {
    std::string longName(300, 'x');
    auto r = ImportParam<YMTParamEnum>(EnumXml(Value("1", longName)));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.param->ValueAt(0)->NameRef(), std::string(255, 'x'));
    EXPECT_EQ(r.param->ValueAt(0)->Description(), longName);
}

TEST_F(NumberEnumTest, EnumValueCodes) {
    const std::string e = "/Mode";
    struct Case {
        std::string value;
        bool ok;
        uint16_t min, max;
        std::string log;
    };
    const std::string failed81 = Err(81, e, "Failed to import element <TEnumValue>");
    const Case cases[] = {
        {Value("0b10-1", "V"), true, 9, 9,
         Warn(155, e + "/V", "'-' replaced by '0' in enum code '0b10-1'")},
        {Value("0b1-..0b11", "V"), true, 2, 3,
         Warn(155, e + "/V", "'-' replaced by '0' in enum code '0b1-..0b11'")},
        {Value("3..1", "V"), true, 1, 3, ""},
        {Value("65535", "V"), true, 65535, 65535, ""},
        {Value("#NULL#", "V"), true, 0, 0, ""},
        {Value(">5", "V"), false, 0, 0,
         Err(194, e + "/V", "Value '2147483647' out of range [0, 65535)") + failed81},
        {Value("70000", "V"), false, 0, 0,
         Err(193, e + "/V", "Value '70000' out of range [0, 65535)") + failed81},
        {Value("1..70000", "V"), false, 0, 0,
         Err(194, e + "/V", "Value '70000' out of range [0, 65535)") + failed81},
        {Value("-1", "V"), false, 0, 0,
         Err(193, e + "/V", "Value '-1' out of range [0, 65535)") + failed81},
        {Value("abc", "V"), false, 0, 0,
         Err(76, e + "/V", "Failed to analyze value 'abc'") + failed81},
        {Value("0b12", "V"), false, 0, 0,
         Err(156, e + "/V", "Failed to analyze value '0b12'") + failed81},
        {"<TEnumValue SymbolicName=\"V\"/>", false, 0, 0,
         Err(75, e + "/V", "Missing required attribute Code") + failed81},
    };
    for (const Case& c : cases) {
        // A valid value after the tested one shows that a failure only skips
        // the failed value.
        auto r = ImportParam<YMTParamEnum>(EnumXml(c.value + Value("100", "Last")));
        ASSERT_TRUE(r.ok) << c.value;
        EXPECT_EQ(r.log, c.log) << c.value;
        ASSERT_EQ(r.param->GetCount(), c.ok ? 2u : 1u) << c.value;
        EXPECT_EQ(r.param->ValueAt(r.param->GetSize() - 1)->NameRef(), "Last");
        if (!c.ok) continue;
        EXPECT_EQ(r.param->ValueAt(0)->CodeMin(), c.min) << c.value;
        EXPECT_EQ(r.param->ValueAt(0)->CodeMax(), c.max) << c.value;
    }
}

TEST_F(NumberEnumTest, EnumMaxAndWidth) {
    const std::string e = "/Mode";
    struct Case {
        std::string values;
        std::string attrs;
        uint16_t enumMax;
        uint16_t width;
        std::string log;
    };
    const std::string upTo300 = Value("0..300", "All");
    const std::string derive79 = ". EnumMax will be derived from enum value table.";
    const Case cases[] = {
        {upTo300, "", 65535, 2, ""},
        {Value("0..255", "All"), "", 255, 1, ""},
        {Value("256", "A"), "", 65535, 2, ""},
        {"", "", 255, 1, ""},
        {Value("3", "A"), R"( TEnumMax="100")", 100, 1, ""},
        {Value("3", "A"), R"( TEnumMax="0x12C")", 300, 2, ""},
        {Value("3", "A"), R"( TEnumMax="0..511")", 511, 2, ""},
        {Value("3", "A"), R"( TEnumMax="255")", 255, 1, ""},
        {Value("3", "A"), R"( TEnumMax="256")", 256, 2, ""},
        {upTo300, R"( TEnumMax="#null#")", 65535, 2, ""},
        {Value("3", "A"), R"( TEnumMax="70000")", 255, 1,
         Warn(82, e, "Value 70000 out of range [0,65536). Using 65535 instead.")},
        {upTo300, R"( TEnumMax="70000")", 65535, 2,
         Warn(82, e, "Value 70000 out of range [0,65536). Using 65535 instead.")},
        {Value("3", "A"), R"( TEnumMax="lots")", 255, 1,
         Warn(79, e, "Failed to analyze attribute value 'lots'" + derive79)},
        {Value("3", "A"), R"( TEnumMax="-5")", 255, 1,
         Warn(79, e, "Failed to analyze attribute value '-5'" + derive79)},
        // Explicit maximum below the codes: warned once, the maximum stays.
        {Value("3", "A") + Value("5..9", "B") + Value("12", "C"), R"( TEnumMax="8")", 8, 1,
         Warn(83, e, "Enum code out of range (0...EnumMax)")},
    };
    for (const Case& c : cases) {
        auto r = ImportParam<YMTParamEnum>(EnumXml(c.values, c.attrs));
        ASSERT_TRUE(r.ok) << c.attrs;
        EXPECT_EQ(r.param->EnumMax(), c.enumMax) << c.values << c.attrs;
        EXPECT_EQ(r.param->BytesInMsg(), c.width) << c.values << c.attrs;
        EXPECT_EQ(IntAttr(*r.param, 1030), c.enumMax);
        EXPECT_EQ(IntAttr(*r.param, 1009), c.width == 1 ? 0u : 1u);
        EXPECT_EQ(r.log, c.log) << c.values << c.attrs;
    }
}

TEST_F(NumberEnumTest, EnumOverlapIsWarnedOnce) {
    const std::string overlap = Warn(85, "/Mode", "Overlapping value(s) of enum codes");
    struct Case {
        std::string values;
        std::string log;
    };
    const Case cases[] = {
        {Value("1..5", "A") + Value("4..8", "B"), overlap},
        {Value("4..8", "A") + Value("1..5", "B"), overlap},
        {Value("1..5", "A") + Value("4..8", "B") + Value("2", "C") + Value("8", "D"), overlap},
        {Value("1..5", "A") + Value("6..8", "B") + Value("9", "C"), ""},
        {Value("7", "A") + Value("7", "B"), overlap},
        // One range lying inside another overlaps as well.
        {Value("1..10", "A") + Value("3..4", "B"), overlap},
        {Value("3..4", "A") + Value("1..10", "B"), overlap},
    };
    for (const Case& c : cases) {
        auto r = ImportParam<YMTParamEnum>(EnumXml(c.values));
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.log, c.log) << c.values;
    }

    // With an explicit maximum, the range warning ends the checks before the
    // overlap is seen.
    auto r = ImportParam<YMTParamEnum>(
        EnumXml(Value("1..20", "A") + Value("4..8", "B"), R"( TEnumMax="10")"));
    EXPECT_EQ(r.log, Warn(83, "/Mode", "Enum code out of range (0...EnumMax)"));
}

TEST_F(NumberEnumTest, EnumWidthCoversCodesAfterAnOverlapWarning) {
    // The overlap warning stops the checks at the first value; the width must
    // still hold the code 300 of the last value.
    auto r = ImportParam<YMTParamEnum>(
        EnumXml(Value("1..5", "A") + Value("4..8", "B") + Value("300", "C")));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.log, Warn(85, "/Mode", "Overlapping value(s) of enum codes"));
    EXPECT_EQ(r.param->EnumMax(), 65535);
    EXPECT_EQ(r.param->BytesInMsg(), 2);
}

TEST_F(NumberEnumTest, EnumImportErrors) {
    auto r = ImportParam<YMTParamEnum>(
        "<PUParam><ParamName>Mode</ParamName><ParamDescription>d</ParamDescription>"
        "<PUParamType><TNumber/></PUParamType></PUParam>");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.log, Err(77, "/Mode", "Can not find element <TEnum>"));

    // An empty name becomes "_NA_" (and the messages name that path).
    auto unnamed = ImportParam<YMTParamEnum>(EnumXml(Value("x", "V"), "", ""));
    ASSERT_TRUE(unnamed.ok);
    EXPECT_EQ(unnamed.param->NameRef(), "_NA_");
    EXPECT_EQ(unnamed.log, Err(76, "/_NA_/V", "Failed to analyze value 'x'") +
                               Err(81, "/_NA_", "Failed to import element <TEnumValue>"));
}

TEST_F(NumberEnumTest, EnumLookupsAndTexts) {
    YMTParamEnum e;
    e.SetName("Source");
    e.AddValue("Radio", 1, 3);
    e.AddValue("Disc", 2, 2); // overlaps: the first value in list order wins
    e.AddValue("Aux", 0x20, 0x21);
    e.SetEnumMax(255);
    EXPECT_EQ(e.BytesInMsg(), 1);
    EXPECT_EQ(e.ValueAt(0)->Parent(), &e);

    EXPECT_EQ(e.FindValueByCode(2)->NameRef(), "Radio");
    EXPECT_EQ(e.FindValueByCode(0x21)->NameRef(), "Aux");
    EXPECT_EQ(e.FindValueByCode(4), nullptr);
    EXPECT_EQ(e.FindValueByName("DISC")->CodeMin(), 2);
    EXPECT_EQ(e.FindValueByName("Dis"), nullptr);

    EXPECT_EQ(e.CodeText(3, true), "Radio");
    EXPECT_EQ(e.CodeText(17, true), "# Unknown code: 17 #");
    EXPECT_EQ(e.CodeText(17, false), "");

    EXPECT_EQ(e.FormatEntry(10, "Ten", 1), "10");
    EXPECT_EQ(e.FormatEntry(10, "Ten", 2), "Ten");
    EXPECT_EQ(e.FormatEntry(10, "Ten", 3), "10: Ten");
    EXPECT_EQ(e.FormatEntry(10, "Ten", 3 | 16), "0A: Ten");
    EXPECT_EQ(e.FormatEntry(10, "Ten", 1 | 16 | 32), "0x0A");
    EXPECT_EQ(e.FormatEntry(10, "Ten", 0), "");
    e.SetBytesInMsg(4);
    EXPECT_EQ(e.FormatEntry(10, "Ten", 1 | 16 | 32), "0x000A");
    e.SetEnumMax(0x1234);
    EXPECT_EQ(e.BytesInMsg(), 2);
    EXPECT_EQ(e.FormatEntry(0x1234, "X", 1 | 16), "1234");

    std::vector<std::string> list{"kept"};
    e.ListEntries(list, 3);
    EXPECT_EQ(list, (std::vector<std::string>{"kept", "1: Radio", "2: Radio", "3: Radio", "2: Disc",
                                              "32: Aux", "33: Aux"}));

    // The top code of the 16-bit range does not wrap the listing around.
    YMTParamEnum top;
    top.AddValue("Top", 65534, 65535);
    std::vector<std::string> topList;
    top.ListEntries(topList, 2);
    EXPECT_EQ(topList, (std::vector<std::string>{"Top", "Top"}));
}

TEST_F(NumberEnumTest, EnumAttributesAndConversions) {
    YMTParamEnum e;
    e.SetName("Mode");
    YMTNode* const* items = nullptr;
    uint32_t count = 0;
    EXPECT_EQ(e.GetSubItemList(20, &items, &count), kAttrNotAvailable); // no values yet
    e.AddValue("Off", 0, 0);
    e.AddValue("On", 0x0102, 0x0102);
    e.SetEnumMax(0x0102);

    EXPECT_EQ(IntAttr(e, 0), 6u);
    EXPECT_EQ(IntAttr(e, 1002), 2u);
    EXPECT_EQ(IntAttr(e, 1009), 1u);
    EXPECT_EQ(IntAttr(e, 1014), 1u);
    EXPECT_EQ(IntAttr(e, 1015), 0u);
    EXPECT_EQ(IntAttr(e, 1030), 0x0102u);
    e.SetBytesInMsg(4);
    EXPECT_EQ(IntAttr(e, 1009), 2u);
    e.SetBytesInMsg(3);
    uint32_t v = 0;
    EXPECT_EQ(e.GetAttrInt(1009, &v), kAttrNotAvailable);
    e.SetBytesInMsg(2);

    ASSERT_EQ(e.GetSubItemList(20, &items, &count), kAttrOk);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(items[1]->NameRef(), "On");
    EXPECT_EQ(e.GetSubItemList(6, &items, &count), kAttrNotAvailable);

    YMTEnumValue& on = *e.ValueAt(1);
    EXPECT_EQ(IntAttr(on, 0), 20u);
    EXPECT_EQ(IntAttr(on, 1201), 0x0102u);
    EXPECT_EQ(IntAttr(on, 1202), 0x0102u);
    EXPECT_EQ(StrAttr(on, 3), "On");
    EXPECT_EQ(StrAttr(on, 1200), "On");
    EXPECT_EQ(StrAttr(on, 5), "On");
    EXPECT_EQ(StrAttr(on, 1203), "On");
    const char* s = nullptr;
    EXPECT_EQ(on.GetAttrStr(1000, &s), kAttrNotAvailable);

    const uint8_t bytes[] = {0x01, 0x02, 0x03};
    char text[8] = "xxxxxxx";
    EXPECT_EQ(e.ConvertBytesToStr(bytes, 2, text, sizeof text), kAttrOk);
    EXPECT_STREQ(text, "On");
    EXPECT_EQ(e.ConvertBytesToStr(bytes, 1, text, sizeof text), kAttrOk); // code 1: no value
    EXPECT_STREQ(text, "");
    std::memcpy(text, "xxxxxxx", 8);
    EXPECT_EQ(e.ConvertBytesToStr(bytes, 2, text, 2), 20u); // "On" needs 3 bytes
    EXPECT_STREQ(text, "xxxxxxx");
    EXPECT_EQ(e.ConvertBytesToStr(bytes, 2, text, 3), kAttrOk);
    EXPECT_EQ(e.ConvertBytesToStr(bytes, 2, nullptr, 8), 20u);
    EXPECT_EQ(e.ConvertBytesToInt(bytes, 3, &v), kAttrOk);
    EXPECT_EQ(v, 0x010203u);
    EXPECT_EQ(e.ConvertBytesToInt(bytes, 0, &v), kAttrOk);
    EXPECT_EQ(v, 0u);
}

TEST_F(NumberEnumTest, EnumCloneIsDeepAndArchiveOrder) {
    auto r = ImportParam<YMTParamEnum>(
        EnumXml(Value("0", "Off") + Value("1..2", "On"), R"( TEnumMax="300")"));
    ASSERT_TRUE(r.ok);
    YMTParamEnum& e = *r.param;
    const std::string dump = test::CatalogTest::DumpText(e);

    std::unique_ptr<YMTNode> node(e.Clone());
    ASSERT_TRUE(node);
    ASSERT_EQ(node->NodeType(), kNodeEnum);
    auto& clone = static_cast<YMTParamEnum&>(*node);
    EXPECT_EQ(clone.EnumMax(), 300);
    ASSERT_EQ(clone.GetCount(), 2u);
    EXPECT_NE(clone.ValueAt(1), e.ValueAt(1));
    EXPECT_EQ(clone.ValueAt(1)->Parent(), &clone);
    e.RemoveAll();
    EXPECT_EQ(clone.FindValueByCode(2)->NameRef(), "On");
    EXPECT_EQ(test::CatalogTest::DumpText(clone), dump);

    std::unique_ptr<YMTNode> valueClone(clone.ValueAt(1)->Clone());
    ASSERT_TRUE(valueClone);
    EXPECT_EQ(IntAttr(*valueClone, 1202), 2u);

    TapeArchive tape;
    clone.Serialize(tape);
    EXPECT_EQ(tape.kinds, "str str ref u16 u8 u16 u16 u8 u32 str u16 list" +
                              std::to_string(static_cast<int>(YMTListKind::EnumValues)) + " ");
    TapeArchive valueTape;
    clone.ValueAt(1)->Serialize(valueTape);
    EXPECT_EQ(valueTape.kinds, "str str ref u16 u8 u16 u16 ");
    valueTape.Rewind();
    YMTEnumValue back;
    back.Serialize(valueTape);
    EXPECT_EQ(back.NameRef(), "On");
    EXPECT_EQ(back.CodeMin(), 1);
    EXPECT_EQ(back.CodeMax(), 2);
}

// --- class choice ----------------------------------------------------------------------------

TEST_F(NumberEnumTest, DispatcherCreatesNumbersAndEnumerations) {
    XmlDoc number(NumberXml(NumberParts{}));
    std::unique_ptr<YMTParam> p(CreateParamFromElement(m_Ctx, number.Root(), false, "Func"));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->NodeType(), kNodeNumber);

    XmlDoc enumeration(EnumXml(Value("1", "A")));
    p.reset(CreateParamFromElement(m_Ctx, enumeration.Root(), false, "Func"));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->NodeType(), kNodeEnum);

    // With the error defaults, ErrorCode in any letter case is the error-code
    // enumeration whatever its type element says.
    NumberParts errorCode;
    errorCode.name = " errorCODE ";
    XmlDoc error(NumberXml(errorCode));
    p.reset(CreateParamFromElement(m_Ctx, error.Root(), true, "Func"));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->NodeType(), kNodeEnum);
    EXPECT_EQ(p->NameRef(), "ErrorCode");
    p.reset(CreateParamFromElement(m_Ctx, error.Root(), false, "Func"));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->NodeType(), kNodeNumber);
}

// Through the whole import: the dispatcher, the operations' copies and the
// catalog's check.
TEST_F(NumberEnumTest, CatalogImportAssignsMeaningsAfterTheWholeTree) {
    const std::string number =
        R"(<PUParam><ParamName>ListSize</ParamName><ParamDescription>n</ParamDescription>
      <PUParamType><TNumber><Exponent>0</Exponent>
        <BasisDataType><TULong TypeRef="type_unsigned_long"/></BasisDataType>
        <Unit UnitRef="unit_none"/><RangeMin>0</RangeMin><RangeMax>NMax</RangeMax><Step>1</Step>
      </TNumber></PUParamType>
      <PUParamOPType><PReportStatus><ParamPos>0</ParamPos></PReportStatus></PUParamOPType></PUParam>)";
    const std::string enumeration =
        R"(<PUParam><ParamName>Mode</ParamName><ParamDescription>m</ParamDescription>
      <PUParamType><TEnum TEnumMax="70000"><TEnumValue Code="0" SymbolicName="Off"/>
        <TEnumValue Code="0b1-" SymbolicName="On"/></TEnum></PUParamType>
      <PUParamOPType><PReportStatus><ParamPos>1</ParamPos></PReportStatus></PUParamOPType></PUParam>)";
    const std::string xml = test::CatalogXml(
        "<FBlock><FBlockName>Amp</FBlockName><FBlockID>0x22</FBlockID>"
        "<FBlockDescription>a</FBlockDescription>"
        "<Function><FunctionName>Levels</FunctionName><FunctionID>0x400</FunctionID>"
        "<FunctionDescription>f</FunctionDescription>"
        "<FunctionClass><Property><PUnclassified>" +
            number + enumeration +
            "</PUnclassified></Property></FunctionClass></Function></FBlock>",
        kDefinitions);
    test::Imported r = Import(xml);
    ASSERT_EQ(r.status, 0u) << r.log;
    EXPECT_EQ(Messages(r.log), (std::vector<std::string>{
                                   "Warning #0155 in '//Amp/Inst00/Levels/Mode/On':",
                                   "  '-' replaced by '0' in enum code '0b1-'",
                                   "Warning #0082 in '//Amp/Inst00/Levels/Mode':",
                                   "  Value 70000 out of range [0,65536). Using 65535 instead.",
                               }));
    YMTInstance* instance = r.catalog->FBlockAt(0x22)->InstanceAt(0);
    ASSERT_TRUE(instance);
    auto* function = static_cast<YMTFunction*>(instance->GetAt(0x400));
    ASSERT_TRUE(function);
    YMTOperation* status = function->OperationAt(12);
    ASSERT_TRUE(status);
    // The operation's check has renumbered its parameters from 1.
    YMTParam* listSize = status->ParamAt(1);
    ASSERT_TRUE(listSize && listSize->NodeType() == kNodeNumber);
    EXPECT_EQ(listSize->ParamMeaning(), 14u);
    EXPECT_EQ(listSize->BytesInMsg(), 4);
    EXPECT_EQ(static_cast<YMTParamNumber*>(listSize)->RangeMax(), 4294967295.0);
    EXPECT_EQ(listSize->MsgBitPos(), 0u);
    YMTParam* mode = status->ParamAt(2);
    ASSERT_TRUE(mode && mode->NodeType() == kNodeEnum);
    auto* modeEnum = static_cast<YMTParamEnum*>(mode);
    EXPECT_EQ(modeEnum->EnumMax(), 255);
    EXPECT_EQ(modeEnum->BytesInMsg(), 1);
    EXPECT_EQ(modeEnum->CodeText(2, false), "On");
    EXPECT_EQ(modeEnum->ValueAt(1)->Parent(), mode);
    EXPECT_EQ(mode->SymID(), "Mode");
}

} // namespace
} // namespace mostfcat
