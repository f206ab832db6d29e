// Arrays and records: import from parameter elements, selectors found by the
// check, copies, archive order and dump lines.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "import/import_log.h"
#include "import/import_state.h"
#include "params/param_bool.h"
#include "params/param_number.h"
#include "params/param_struct.h"
#include "support/test_support.h"
#include "tree/catalog.h"
#include "tree/fblock.h"
#include "tree/function.h"
#include "tree/operation.h"

namespace mostfcat {
namespace {

using test::ReadLines;
using test::XmlDoc;

// --- XML builders ---------------------------------------------------------------

std::string NumberType(int width = 2) {
    const char* tag = width == 1 ? "TUByte" : width == 2 ? "TUWord" : "TULong";
    const char* ref = width == 1   ? "type_unsigned_byte"
                      : width == 2 ? "type_unsigned_word"
                                   : "type_unsigned_long";
    return std::string("<TNumber><Exponent>0</Exponent><BasisDataType><") + tag + " TypeRef=\"" +
           ref + "\"/></BasisDataType><Unit UnitRef=\"unit_none\"/><Step>1</Step></TNumber>";
}

std::string BoolType() {
    return "<TBool TypeRef=\"type_unsigned_byte\"><TBoolField BitPos=\"0\"><BitTrueDesc>On"
           "</BitTrueDesc><BitFalseDesc>Off</BitFalseDesc></TBoolField></TBool>";
}

std::string ArrayType(const std::string& elementName, const std::string& attrs,
                      const std::string& elementType) {
    return "<TArray" + attrs + "><TArrayName>" + elementName +
           "</TArrayName><TArrayElementType>" + elementType + "</TArrayElementType></TArray>";
}

std::string Field(const std::string& idx, const std::string& name, const std::string& type) {
    return "<TRecordField FieldIdx=\"" + idx + "\"><TRecordFieldName>" + name +
           "</TRecordFieldName><TRecordFieldType>" + type + "</TRecordFieldType></TRecordField>";
}

std::string RecordType(const std::string& attrs, const std::string& fields) {
    return "<TRecord" + attrs + ">" + fields + "</TRecord>";
}

std::string Param(const std::string& name, const std::string& type) {
    return "<PAParam><ParamName>" + name + "</ParamName><PAParamType>" + type +
           "</PAParamType></PAParam>";
}

// Records the order in which a node hands its fields to an archive.
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

// A function "Fn" with one operation "Status" (OpType 12) to hang parameters on.
struct OpTree {
    YMTFunction fn;
    YMTOperation* op;
    OpTree() : op(new YMTOperation()) {
        fn.SetName("Fn");
        op->SetName("Status");
        op->OpType = 12;
        op->SetParent(&fn);
        fn.SetAt(op, 12);
    }
};

class StructTest : public test::CatalogTest {
protected:
    void SetUp() override {
        CatalogTest::SetUp();
        m_Ctx.SetOptions(YImportState::kDefaultOptions & ~YImportContext::kOptDescriptions);
        YImportLog quiet;
        XmlDoc defs("<Definition>" + test::StandardDefinitions() + "</Definition>");
        auto* def = new YMTDefinition();
        ASSERT_TRUE(def->ImportXML(defs.Root(), m_Ctx, quiet));
        m_Ctx.SetDefinitions(def);
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

    // Creates the parameter through the dispatcher and imports it below parent.
    std::unique_ptr<YMTParam> Import(const std::string& xml, YMTNode* parent, bool& ok) {
        XmlDoc doc(xml);
        std::unique_ptr<YMTParam> p(CreateParamFromElement(m_Ctx, doc.Root(), false, "Fn"));
        if (!p) {
            ok = false;
            return p;
        }
        p->SetParent(parent);
        ok = p->ImportXML(doc.Root(), m_Ctx, m_Log);
        return p;
    }

    template <class T> std::unique_ptr<T> ImportAs(const std::string& xml, bool expectOk = true) {
        bool ok = false;
        std::unique_ptr<YMTParam> p = Import(xml, nullptr, ok);
        EXPECT_EQ(ok, expectOk) << xml;
        if (!p || p->NodeType() != T().NodeType()) return nullptr;
        return std::unique_ptr<T>(static_cast<T*>(p.release()));
    }

    // Imports a parameter into the operation at the given position.
    YMTParam* Add(YMTOperation* op, uint32_t pos, const std::string& xml) {
        bool ok = false;
        std::unique_ptr<YMTParam> p = Import(xml, op, ok);
        EXPECT_TRUE(ok) << xml;
        if (!ok) return nullptr;
        p->SetParamPos(static_cast<uint16_t>(pos));
        op->SetAt(p.get(), pos);
        return p.release();
    }

    YImportContext m_Ctx;
    YImportLog m_Log;
    std::string m_LogPath;
    int m_LogCount = 0;
};

// --- array import ---------------------------------------------------------------

TEST_F(StructTest, ArrayNMaxForms) {
    struct Case {
        const char* attrs;
        uint32_t nmax;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"", kOpenArray, {}},
        {" NMax=\"N (>=0)\"", kOpenArray, {}},
        {" NMax=\"nmax\"", kOpenArray, {}},
        {" NMax=\"\"", kOpenArray, {}},
        {" NMax=\"0x10\"", 16, {}},
        {" NMax=\" 12 \"", 12, {}},
        {" NMax=\"4000000000\"", 4000000000u, {}},
        {" NMax=\"0\"",
         kOpenArray,
         {"Warning #0043 in '/Values': Failed to analyze value '0'. Using 'NMax' instead."}},
        {" NMax=\"many\"",
         kOpenArray,
         {"Warning #0043 in '/Values': Failed to analyze value 'many'. Using 'NMax' instead."}},
        {" NMax=\"-3\"",
         kOpenArray,
         {"Warning #0043 in '/Values': Failed to analyze value '-3'. Using 'NMax' instead."}},
        // Beyond 32 bits the count cannot be stored; it is not cut to its low bits.
        {" NMax=\"4294967297\"",
         kOpenArray,
         {"Warning #0043 in '/Values': Failed to analyze value '4294967297'. Using 'NMax' "
          "instead."}},
    };
    for (const Case& c : cases) {
        auto array = ImportAs<YMTParamArray>(Param("Values", ArrayType("Entry", c.attrs, BoolType())));
        ASSERT_TRUE(array) << c.attrs;
        EXPECT_EQ(array->NMax(), c.nmax) << c.attrs;
        uint32_t attr = 0;
        EXPECT_EQ(array->GetAttrInt(1100, &attr), kAttrOk);
        EXPECT_EQ(attr, c.nmax);
        EXPECT_EQ(array->HasUnspecifiedLength(), c.nmax == kOpenArray) << c.attrs;
        // The count is a number only: the child list holds index 0 and the element.
        EXPECT_EQ(array->GetSize(), 2u);
        EXPECT_EQ(TakeMessages(), c.messages) << c.attrs;
    }
}

TEST_F(StructTest, ArrayElementIsNamedFromTArrayAndStoredAtOne) {
    auto array = ImportAs<YMTParamArray>(Param("Values", ArrayType(" Entry ", " NMax=\"4\"", BoolType())));
    ASSERT_TRUE(array);
    EXPECT_EQ(array->NameRef(), "Values");
    EXPECT_EQ(array->NodeType(), uint32_t{kNodeArray});
    YMTParam* elem = array->Element();
    ASSERT_NE(elem, nullptr);
    EXPECT_EQ(elem, array->ChildAt(1));
    EXPECT_EQ(elem, array->FindChild("ENTRY"));
    EXPECT_EQ(elem->NodeType(), uint32_t{kNodeBool});
    EXPECT_EQ(elem->NameRef(), "Entry");
    EXPECT_EQ(elem->ParamPos(), 1);
    EXPECT_EQ(elem->SeqIndex(), 1);
    EXPECT_EQ(elem->Parent(), array.get());
    EXPECT_TRUE(array->IsIndexedChild(elem));
    EXPECT_FALSE(array->IsIndexedChild(nullptr));
    EXPECT_EQ(array->GetCount(), 1u);
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(StructTest, ArrayNamesAndDescriptionsFromTArray) {
    m_Ctx.SetOptions(YImportState::kDefaultOptions); // descriptions on
    std::string xml =
        "<PAParam><ParamName></ParamName><ParamDescription>outer</ParamDescription><PAParamType>"
        "<TArray NMax=\"2\"><TArrayElementType>" +
        BoolType() + "</TArrayElementType></TArray></PAParamType></PAParam>";
    auto array = ImportAs<YMTParamArray>(xml);
    ASSERT_TRUE(array);
    EXPECT_EQ(array->NameRef(), "Array");
    EXPECT_EQ(array->Description(), "outer");
    EXPECT_EQ(array->Element()->NameRef(), "_NA_");
    EXPECT_EQ(TakeMessages(),
              (std::vector<std::string>{
                  "Warning #0010 in '/Array/': Can not find element <TArrayName>",
                  "Warning #0182 in '/Array/': Can not find child element <TArrayDesc>",
              }));
}

TEST_F(StructTest, ArrayImportFailures) {
    struct Case {
        std::string xml;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"<PAParam><ParamName>A</ParamName><PAParamType><TRecord/></PAParamType></PAParam>",
         {"Error #0041 in '/A': Can not find element <TArray>"}},
        {Param("A", ArrayType("E", "", "<TUnknown/>")),
         {"Error #0045 in '/A': Unknown parameter type in <TArray>"}},
        // An element that fails its own import fails the array.
        {Param("A", ArrayType("E", "", RecordType("", ""))),
         {"Error #0051 in '/A/E': Can not find element <TRecordField>",
          "Error #0046 in '/A': Failed to import element <TArray>"}},
        {"<PAParam><PAParamType>" + ArrayType("E", "", BoolType()) + "</PAParamType></PAParam>",
         {"Error #0011 in '/': Can not find element <ParamName>"}},
    };
    for (const Case& c : cases) {
        XmlDoc doc(c.xml);
        YMTParamArray array;
        EXPECT_FALSE(array.ImportXML(doc.Root(), m_Ctx, m_Log)) << c.xml;
        EXPECT_EQ(TakeMessages(), c.messages) << c.xml;
    }
}

// --- record import ---------------------------------------------------------------

TEST_F(StructTest, RecordFieldPositions) {
    struct Case {
        std::vector<std::string> idx;
        std::vector<uint32_t> positions; // empty: the import fails
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {{"0", "1", "2"}, {1, 2, 3}, {}},
        {{"1", "2"}, {1, 2}, {}},
        {{"0x1", "0b10"}, {1, 2}, {}},
        // Counting from 0 starts at the first field with index 0.
        {{"1", "0"},
         {},
         {"Error #0054 in '/Rec': Position 1 of 'Rec' already occupied"}},
        {{"2", "2"}, {}, {"Error #0054 in '/Rec': Position 2 of 'Rec' already occupied"}},
        {{"1", "3"}, {}, {"Error #0056 in '/Rec': Gap in parameter set before parameter 'F1'"}},
        {{"2"}, {}, {"Error #0056 in '/Rec': Gap in parameter set before parameter 'F0'"}},
        {{"4096"},
         {},
         {"Error #0014 in '/Rec/F0': Invalid parameter position 4096",
          "Error #0053 in '/Rec': Failed to import element <TRecordField>"}},
        // Only the fields from the first index 0 on are moved up.
        {{"2", "0", "1"},
         {},
         {"Error #0054 in '/Rec': Position 2 of 'Rec' already occupied"}},
    };
    for (const Case& c : cases) {
        std::string fields;
        for (size_t i = 0; i < c.idx.size(); ++i)
            fields += Field(c.idx[i], "F" + std::to_string(i), BoolType());
        std::string attrs = " NElements=\"" + std::to_string(c.idx.size()) + "\"";
        bool ok = false;
        std::unique_ptr<YMTParam> p = Import(Param("Rec", RecordType(attrs, fields)), nullptr, ok);
        ASSERT_TRUE(p);
        EXPECT_EQ(ok, !c.positions.empty()) << fields;
        EXPECT_EQ(TakeMessages(), c.messages) << fields;
        if (!ok) continue;
        auto* rec = static_cast<YMTParamRecord*>(p.get());
        for (size_t i = 0; i < c.positions.size(); ++i) {
            YMTNode* f = rec->ChildAt(c.positions[i]);
            ASSERT_NE(f, nullptr) << fields;
            EXPECT_EQ(f->NameRef(), "F" + std::to_string(i));
            EXPECT_EQ(f->ID(), c.positions[i]);
            EXPECT_EQ(f->Parent(), rec);
        }
        EXPECT_EQ(rec->GetCount(), c.positions.size());
    }
}

TEST_F(StructTest, RecordElementCounts) {
    std::string two = Field("0", "A", BoolType()) + Field("1", "B", BoolType());
    auto rec = ImportAs<YMTParamRecord>(Param("Rec", RecordType(" NElements=\"3\"", two)));
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->NElements(), 2u);
    EXPECT_EQ(TakeMessages(), (std::vector<std::string>{
                                  "Warning #0055 in '/Rec': Number of record fields (2) does not "
                                  "match value of attribute 'NElements' (3)"}));

    rec = ImportAs<YMTParamRecord>(Param("Rec", RecordType("", two)));
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->NElements(), 2u);
    EXPECT_EQ(TakeMessages(), (std::vector<std::string>{
                                  "Warning #0055 in '/Rec': Number of record fields (2) does not "
                                  "match value of attribute 'NElements' (0)"}));

    rec = ImportAs<YMTParamRecord>(Param("", RecordType(" NElements=\"0x2\"", two)));
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->NameRef(), "Record");
    uint32_t attr = 0;
    EXPECT_EQ(rec->GetAttrInt(1002, &attr), kAttrOk);
    EXPECT_EQ(attr, 11u);
    EXPECT_EQ(rec->GetAttrInt(1004, &attr), kAttrOk);
    EXPECT_EQ(attr, 1u);
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(StructTest, RecordImportFailures) {
    struct Case {
        std::string xml;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {Param("Rec", RecordType(" NElements=\"0\"", "")),
         {"Error #0051 in '/Rec': Can not find element <TRecordField>"}},
        {Param("Rec", RecordType("", Field("0", "A", "<TOther/>"))),
         {"Error #0052 in '/Rec': Unknown parameter type in <TRecordField>"}},
        {Param("Rec", RecordType("", "<TRecordField><TRecordFieldName>A</TRecordFieldName>"
                                     "<TRecordFieldType>" +
                                         BoolType() + "</TRecordFieldType></TRecordField>")),
         {"Error #0012 in '/Rec/A': Missing required attribute FieldIdx",
          "Error #0053 in '/Rec': Failed to import element <TRecordField>"}},
        {Param("Rec", RecordType("", Field("0", "A", "<TBool/>") + Field("x1", "B", BoolType()))),
         {"Warning #0211 in '/Rec/A': Missing required attribute TypeRef",
          "Error #0013 in '/Rec/B': Failed to analyze value 'x1'",
          "Error #0053 in '/Rec': Failed to import element <TRecordField>"}},
    };
    for (const Case& c : cases) {
        bool ok = true;
        std::unique_ptr<YMTParam> p = Import(c.xml, nullptr, ok);
        ASSERT_TRUE(p);
        EXPECT_FALSE(ok);
        EXPECT_EQ(TakeMessages(), c.messages) << c.xml;
    }
    XmlDoc doc(Param("", "<TBool/>"));
    YMTParamRecord rec;
    EXPECT_FALSE(rec.ImportXML(doc.Root(), m_Ctx, m_Log));
    EXPECT_EQ(TakeMessages(),
              (std::vector<std::string>{"Error #0048 in '/': Can not find element <TRecord>"}));
}

// --- nesting bound -----------------------------------------------------------------

// levels arrays nested in one another, the innermost holding a bool.
std::string NestedArrays(int levels) {
    std::string type = BoolType();
    for (int i = 1; i < levels; ++i) type = ArrayType("A" + std::to_string(i), "", type);
    return Param("Top", ArrayType("A" + std::to_string(levels), " NMax=\"2\"", type));
}

TEST_F(StructTest, NestingUpToTheBoundImports) {
    auto top = ImportAs<YMTParamArray>(NestedArrays(kMaxStructNesting));
    ASSERT_TRUE(top);
    int depth = 1;
    for (YMTParam* p = top->Element(); p && p->NodeType() == kNodeArray;
         p = static_cast<YMTParamArray*>(p)->Element())
        ++depth;
    EXPECT_EQ(depth, int(kMaxStructNesting));
    EXPECT_TRUE(TakeMessages().empty());

    // Records and arrays count alike.
    std::string type = BoolType();
    for (uint32_t i = 1; i < kMaxStructNesting; ++i)
        type = (i % 2) ? RecordType("", Field("0", "R" + std::to_string(i), type))
                       : ArrayType("E" + std::to_string(i), "", type);
    auto mixed = ImportAs<YMTParamArray>(Param("Top", ArrayType("E", "", type)));
    ASSERT_TRUE(mixed);
}

TEST_F(StructTest, NestingBeyondTheBoundFailsWithoutDescending) {
    auto top = ImportAs<YMTParamArray>(NestedArrays(kMaxStructNesting + 1), false);
    std::vector<std::string> got = TakeMessages();
    ASSERT_EQ(got.size(), kMaxStructNesting + 1);
    // The innermost array (the 33rd) is refused; every enclosing one fails.
    std::string path = "/Top";
    for (uint32_t i = kMaxStructNesting + 1; i > 1; --i) path += "/A" + std::to_string(i);
    EXPECT_EQ(got[0], "Error #0239 in '" + path +
                          "': Arrays and records nested deeper than 32 levels in <TArray>");
    for (size_t i = 1; i < got.size(); ++i) {
        path.erase(path.rfind('/'));
        EXPECT_EQ(got[i], "Error #0046 in '" + path + "': Failed to import element <TArray>");
    }

    // A record field at the same depth is refused the same way.
    std::string type = RecordType("", Field("0", "F", BoolType()));
    for (uint32_t i = 1; i < kMaxStructNesting; ++i) type = ArrayType("E", "", type);
    ImportAs<YMTParamArray>(Param("Top", ArrayType("E", "", type)), false);
    got = TakeMessages();
    ASSERT_FALSE(got.empty());
    EXPECT_NE(got[0].find("Error #0239 in '/Top/E/"), std::string::npos) << got[0];
    EXPECT_NE(got[0].find("nested deeper than 32 levels in <TRecord>"), std::string::npos);
}

TEST_F(StructTest, VeryDeepDocumentDoesNotExhaustTheStack) {
    // Far deeper than any recursion could survive if the import descended.
    const int levels = 20000;
    std::string open, close;
    for (int i = 0; i < levels; ++i) {
        open += "<TArray><TArrayName>E</TArrayName><TArrayElementType>";
        close += "</TArrayElementType></TArray>";
    }
    auto top = ImportAs<YMTParamArray>(Param("Top", open + BoolType() + close), false);
    std::vector<std::string> got = TakeMessages();
    ASSERT_EQ(got.size(), kMaxStructNesting + 1);
    EXPECT_EQ(got[0].rfind("Error #0239", 0), 0u);
}

// --- checks: selectors and layout warnings ----------------------------------------

TEST_F(StructTest, ArraySelectorFromPrecedingPosition) {
    for (const char* name : {"Pos", "position"}) {
        OpTree t;
        YMTParam* pos = Add(t.op, 1, "<PNParam><ParamName>" + std::string(name) +
                                         "</ParamName><PNParamType>" + NumberType() +
                                         "</PNParamType></PNParam>");
        auto* array = static_cast<YMTParamArray*>(
            Add(t.op, 2, Param("Values", ArrayType("Entry", " NMax=\"4\"", BoolType()))));
        ASSERT_TRUE(pos && array);
        EXPECT_TRUE(t.op->Check(m_Ctx, m_Log));
        EXPECT_EQ(array->SelectorParam(), pos) << name;
        EXPECT_TRUE(pos->IsSelector());
        EXPECT_FALSE(array->IsTagged());
        EXPECT_EQ(array->SymID(), "Values");
        EXPECT_EQ(array->Element()->SymID(), "Values.Entry[1]");
        EXPECT_EQ(array->Element()->CheckedLevel(), 3);
        EXPECT_TRUE(TakeMessages().empty());
    }
}

TEST_F(StructTest, ArraySelectorOnlyBeforeTheArrayAndOnlyIndexKinds) {
    {
        // A position after the array does not index it.
        OpTree t;
        auto* array = static_cast<YMTParamArray*>(
            Add(t.op, 1, Param("Values", ArrayType("Entry", " NMax=\"4\"", BoolType()))));
        YMTParam* pos = Add(t.op, 2, "<PNParam><ParamName>Pos</ParamName><PNParamType>" +
                                         NumberType() + "</PNParamType></PNParam>");
        EXPECT_TRUE(t.op->Check(m_Ctx, m_Log));
        EXPECT_EQ(array->SelectorParam(), nullptr);
        EXPECT_FALSE(pos->IsSelector());
    }
    {
        // A bool named Pos is found but cannot index: no selector, no flag.
        OpTree t;
        YMTParam* pos = Add(t.op, 1, "<PNParam><ParamName>Pos</ParamName><PNParamType>" +
                                         BoolType() + "</PNParamType></PNParam>");
        auto* array = static_cast<YMTParamArray*>(
            Add(t.op, 2, Param("Values", ArrayType("Entry", " NMax=\"4\"", BoolType()))));
        EXPECT_TRUE(t.op->Check(m_Ctx, m_Log));
        EXPECT_EQ(array->SelectorParam(), nullptr);
        EXPECT_FALSE(pos->IsSelector());
    }
    {
        // The element itself never indexes its array, whatever its name.
        OpTree t;
        Add(t.op, 1, "<PNParam><ParamName>X</ParamName><PNParamType>" + NumberType() +
                         "</PNParamType></PNParam>");
        auto* array = static_cast<YMTParamArray*>(
            Add(t.op, 2, Param("Values", ArrayType("Pos", " NMax=\"4\"", NumberType()))));
        EXPECT_TRUE(t.op->Check(m_Ctx, m_Log));
        EXPECT_EQ(array->SelectorParam(), nullptr);
        EXPECT_FALSE(array->Element()->IsSelector());
    }
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(StructTest, TaggedDataArrayNeedsPosYForItsRecord) {
    std::string data = Param("Data", ArrayType("Row", "", RecordType(" NElements=\"1\"", Field("0", "Speed", NumberType()))));
    std::string tag = "<PNParam><ParamName>Tag</ParamName><PNParamType>" + NumberType() +
                      "</PNParamType></PNParam>";
    {
        OpTree t;
        YMTParam* tagParam = Add(t.op, 1, tag);
        auto* array = static_cast<YMTParamArray*>(Add(t.op, 2, data));
        EXPECT_FALSE(t.op->Check(m_Ctx, m_Log));
        EXPECT_TRUE(array->IsTagged());
        EXPECT_EQ(array->SelectorParam(), tagParam);
        EXPECT_EQ(TakeMessages(),
                  (std::vector<std::string>{
                      "Error #0192 in '/Fn/Status/Data/Row': Can't find 'PosY' parameter to "
                      "'Data' parameter of record or array"}));
    }
    {
        OpTree t;
        YMTParam* posY = Add(t.op, 1, "<PNParam><ParamName>PosY</ParamName><PNParamType>" +
                                          NumberType(1) + "</PNParamType></PNParam>");
        YMTParam* tagParam = Add(t.op, 2, tag);
        auto* array = static_cast<YMTParamArray*>(Add(t.op, 3, data));
        EXPECT_TRUE(t.op->Check(m_Ctx, m_Log));
        EXPECT_TRUE(array->IsTagged());
        EXPECT_EQ(array->SelectorParam(), tagParam);
        auto* row = static_cast<YMTParamRecord*>(array->Element());
        EXPECT_EQ(row->SelectorParam(), posY);
        EXPECT_TRUE(posY->IsSelector());
        EXPECT_TRUE(tagParam->IsSelector());
        EXPECT_EQ(row->ChildAt(1)->NameRef(), "Speed");
        EXPECT_EQ(static_cast<YMTParam*>(row->ChildAt(1))->SymID(), "Data.Row[1].Speed");
        EXPECT_TRUE(TakeMessages().empty());
    }
}

TEST_F(StructTest, NestedStructuresAreIndexedByTheirParent) {
    OpTree t;
    Add(t.op, 1, "<PNParam><ParamName>Pos</ParamName><PNParamType>" + NumberType() +
                     "</PNParamType></PNParam>");
    std::string inner = ArrayType("Cell", " NMax=\"3\"", BoolType());
    std::string row = RecordType(" NElements=\"2\"", Field("0", "Id", NumberType(1)) + Field("1", "Cells", inner));
    auto* outer = static_cast<YMTParamArray*>(
        Add(t.op, 2, Param("Rows", ArrayType("Row", " NMax=\"5\"", row))));
    ASSERT_TRUE(outer);
    EXPECT_TRUE(t.op->Check(m_Ctx, m_Log));
    auto* rec = static_cast<YMTParamRecord*>(outer->Element());
    auto* cells = static_cast<YMTParamArray*>(rec->ChildAt(2));
    EXPECT_EQ(rec->SelectorParam(), outer);
    EXPECT_EQ(cells->SelectorParam(), rec);
    EXPECT_TRUE(outer->IsSelector());
    EXPECT_TRUE(rec->IsSelector());
    EXPECT_EQ(cells->Element()->SymID(), "Rows.Row[1].Cells.Cell[1]");
    EXPECT_EQ(outer->FindParamByName("cell", false), cells->Element());
    EXPECT_EQ(outer->FindParamByName("cell", true), nullptr);
    EXPECT_EQ(rec->FindParamByName("Id", true), rec->ChildAt(1));
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(StructTest, RecordSelectorFromPositionUnderOperation) {
    OpTree t;
    YMTParam* pos = Add(t.op, 1, "<PNParam><ParamName>Position</ParamName><PNParamType>" +
                                     NumberType() + "</PNParamType></PNParam>");
    auto* rec = static_cast<YMTParamRecord*>(
        Add(t.op, 2, Param("Entry", RecordType(" NElements=\"1\"", Field("1", "A", BoolType())))));
    EXPECT_TRUE(t.op->Check(m_Ctx, m_Log));
    EXPECT_EQ(rec->SelectorParam(), pos);
    EXPECT_TRUE(pos->IsSelector());
}

TEST_F(StructTest, UnspecifiedLengthWarnings) {
    OpTree t;
    std::string openArray = ArrayType("Item", "", BoolType());
    // The array's element is itself an array without maximum.
    auto* outer = static_cast<YMTParamArray*>(
        Add(t.op, 1, Param("Grid", ArrayType("Line", " NMax=\"2\"", openArray))));
    std::string fields = Field("0", "Open", openArray) + Field("1", "Next", BoolType()) +
                         Field("2", "Last", BoolType());
    auto* rec = static_cast<YMTParamRecord*>(
        Add(t.op, 2, Param("Rec", RecordType(" NElements=\"3\"", fields))));
    auto* fixed = static_cast<YMTParamArray*>(
        Add(t.op, 3, Param("Fixed", ArrayType("Item", " NMax=\"2\"", BoolType()))));
    ASSERT_TRUE(outer && rec && fixed);
    EXPECT_TRUE(outer->HasUnspecifiedLength());
    EXPECT_TRUE(rec->HasUnspecifiedLength());
    EXPECT_FALSE(fixed->HasUnspecifiedLength());
    EXPECT_TRUE(outer->Check(m_Ctx, m_Log));
    EXPECT_TRUE(rec->Check(m_Ctx, m_Log));
    EXPECT_TRUE(fixed->Check(m_Ctx, m_Log));
    EXPECT_EQ(TakeMessages(),
              (std::vector<std::string>{
                  "Warning #0206 in '/Fn/Status/Grid': Array element has an unspecified length. "
                  "Message may not disassemble properly.",
                  "Warning #0205 in '/Fn/Status/Rec': Parameter 'Next' follows a parameter with "
                  "unspecified length ('Open'). Message may not disassemble properly.",
              }));
}

TEST_F(StructTest, StreamElementsWithoutLengthAreReported) {
    OpTree t;
    auto* blobs = static_cast<YMTParamArray*>(
        Add(t.op, 1, Param("Blobs", ArrayType("Blob", " NMax=\"2\"", "<TStream/>"))));
    auto* chunks = static_cast<YMTParamArray*>(
        Add(t.op, 2, Param("Chunks", ArrayType("Chunk", " NMax=\"2\"", "<TStream Length=\"4\"/>"))));
    auto* names = static_cast<YMTParamArray*>(
        Add(t.op, 3, Param("Names", ArrayType("Name", " NMax=\"2\"", "<TString MaxSize=\"16\"/>"))));
    ASSERT_TRUE(blobs && chunks && names);
    EXPECT_EQ(blobs->Element()->NodeType(), uint32_t{kNodeRawStream});
    EXPECT_EQ(names->Element()->NodeType(), uint32_t{kNodeString});
    EXPECT_TRUE(blobs->HasUnspecifiedLength());
    EXPECT_FALSE(chunks->HasUnspecifiedLength());
    EXPECT_FALSE(names->HasUnspecifiedLength());
    for (YMTParamArray* a : {blobs, chunks, names}) EXPECT_TRUE(a->Check(m_Ctx, m_Log));
    EXPECT_EQ(TakeMessages(),
              (std::vector<std::string>{
                  "Warning #0206 in '/Fn/Status/Blobs': Array element has an unspecified length. "
                  "Message may not disassemble properly."}));
}

TEST_F(StructTest, EmptyRecordIsReported) {
    YMTParamRecord rec;
    rec.SetName("Empty");
    EXPECT_TRUE(rec.Check(m_Ctx, m_Log));
    EXPECT_FALSE(rec.HasUnspecifiedLength());
    EXPECT_EQ(TakeMessages(), (std::vector<std::string>{
                                  "Warning #0058 in '/Empty': Record contains no valid parameter"}));
}

TEST_F(StructTest, SetSelectorAcceptsIndexKindsOnly) {
    YMTParamArray array;
    YMTParamRecord record;
    YMTParamNumber number;
    YMTParamEnum enumeration;
    YMTParamArray other;
    YMTParamBool flag;
    EXPECT_FALSE(array.SetSelectorParam(&flag));
    EXPECT_FALSE(flag.IsSelector());
    EXPECT_EQ(array.SelectorParam(), nullptr);
    for (YMTParam* p : std::initializer_list<YMTParam*>{&number, &enumeration, &other, &record}) {
        EXPECT_TRUE(array.SetSelectorParam(p));
        EXPECT_EQ(array.SelectorParam(), p);
        EXPECT_TRUE(p->IsSelector());
    }
    EXPECT_FALSE(record.SetSelectorParam(&flag));
    EXPECT_TRUE(record.SetSelectorParam(&number));
    EXPECT_EQ(record.SelectorParam(), &number);
    EXPECT_TRUE(record.SetSelectorParam(nullptr));
    EXPECT_EQ(record.SelectorParam(), nullptr);
}

// --- copies -------------------------------------------------------------------------

TEST_F(StructTest, CopiesCloneChildrenAndFindTheirOwnSelector) {
    OpTree a, b;
    YMTParam* posA = Add(a.op, 1, "<PNParam><ParamName>Pos</ParamName><PNParamType>" +
                                      NumberType() + "</PNParamType></PNParam>");
    std::string row = RecordType(" NElements=\"2\"", Field("0", "Id", NumberType(1)) +
                                                         Field("1", "Flags", BoolType()));
    auto* array = static_cast<YMTParamArray*>(
        Add(a.op, 2, Param("Rows", ArrayType("Row", " NMax=\"7\"", row))));
    ASSERT_TRUE(a.op->Check(m_Ctx, m_Log));
    ASSERT_EQ(array->SelectorParam(), posA);

    std::unique_ptr<YMTNode> copy(array->Clone());
    ASSERT_TRUE(copy);
    ASSERT_EQ(copy->NodeType(), uint32_t{kNodeArray});
    auto* c = static_cast<YMTParamArray*>(copy.get());
    EXPECT_EQ(c->NameRef(), "Rows");
    EXPECT_EQ(c->NMax(), 7u);
    EXPECT_EQ(c->ParamPos(), 2);
    // Nothing in the copy points into the original tree.
    EXPECT_EQ(c->SelectorParam(), nullptr);
    auto* crow = static_cast<YMTParamRecord*>(c->Element());
    ASSERT_NE(crow, nullptr);
    EXPECT_NE(crow, array->Element());
    EXPECT_EQ(crow->Parent(), c);
    EXPECT_EQ(crow->SelectorParam(), nullptr);
    EXPECT_EQ(crow->NElements(), 2u);
    ASSERT_NE(crow->ChildAt(2), nullptr);
    EXPECT_NE(crow->ChildAt(2), static_cast<YMTParamRecord*>(array->Element())->ChildAt(2));
    EXPECT_EQ(crow->ChildAt(2)->Parent(), crow);
    EXPECT_EQ(crow->ChildAt(2)->ChildAt(0)->Parent(), crow->ChildAt(2));

    // Placed into another operation, the copy's check finds that operation's Pos.
    YMTParam* posB = Add(b.op, 1, "<PNParam><ParamName>Pos</ParamName><PNParamType>" +
                                      NumberType() + "</PNParamType></PNParam>");
    copy->SetParent(b.op);
    b.op->SetAt(copy.release(), 2);
    ASSERT_TRUE(b.op->Check(m_Ctx, m_Log));
    EXPECT_EQ(c->SelectorParam(), posB);
    EXPECT_EQ(crow->SelectorParam(), c);
    EXPECT_EQ(array->SelectorParam(), posA);

    YMTParamRecord rec;
    EXPECT_FALSE(rec.CopyFrom(array));
    EXPECT_FALSE(rec.CopyFrom(nullptr));
}

// --- archive order, dump and conversions ----------------------------------------------

TEST_F(StructTest, ArchiveOrder) {
    OpTree t;
    Add(t.op, 1, "<PNParam><ParamName>Pos</ParamName><PNParamType>" + NumberType() +
                     "</PNParamType></PNParam>");
    auto* array = static_cast<YMTParamArray*>(
        Add(t.op, 2, Param("Values", ArrayType("Entry", " NMax=\"9\"", BoolType()))));
    auto* rec = static_cast<YMTParamRecord*>(
        Add(t.op, 3, Param("Rec", RecordType(" NElements=\"1\"", Field("1", "A", BoolType())))));
    ASSERT_TRUE(t.op->Check(m_Ctx, m_Log));

    RecordingArchive ar;
    array->Serialize(ar);
    const std::string params = std::to_string(int(YMTListKind::Params));
    const std::string index = std::to_string(int(YMTRefKind::IndexParam));
    const std::string parent = std::to_string(int(YMTRefKind::Parent));
    EXPECT_EQ(ar.calls, (std::vector<std::string>{
                            "str Values", "str ", "ref " + parent + " Status", "u16 0", "u8 2",
                            "u16 2", "u16 0", "u8 0", "u32 16", "str Values", "u32 9", "u32 0",
                            "ref " + index + " Pos", "list " + params + " size 2"}));
    RecordingArchive ar2;
    rec->Serialize(ar2);
    EXPECT_EQ(ar2.calls, (std::vector<std::string>{
                             "str Rec", "str ", "ref " + parent + " Status", "u16 0", "u8 2",
                             "u16 3", "u16 0", "u8 0", "u32 " + std::to_string(rec->MsgBitPos()),
                             "str Rec", "u32 1", "ref " + index + " Pos",
                             "list " + params + " size 2"}));
}

TEST_F(StructTest, DumpLines) {
    OpTree t;
    Add(t.op, 1, "<PNParam><ParamName>Pos</ParamName><PNParamType>" + NumberType() +
                     "</PNParamType></PNParam>");
    auto* array = static_cast<YMTParamArray*>(
        Add(t.op, 2, Param("Values", ArrayType("Entry", " NMax=\"4\"", BoolType()))));
    auto* rec = static_cast<YMTParamRecord*>(Add(
        t.op, 3, Param("Rec", RecordType(" NElements=\"1\"", Field("1", "A", BoolType())))));
    ASSERT_TRUE(t.op->Check(m_Ctx, m_Log));
    EXPECT_EQ(DumpText(*array), "\t\tPARAMARRAY: Values\n"
                                "\t\t.Parent: /Fn/Status\n"
                                "\t\t.BytesInMsg: 0\n"
                                "\t\t.IsSelector: 0\n"
                                "\t\t.ParamPos: 2\n"
                                "\t\t.SymID: Values\n"
                                "\t\t.SelectorParam: Pos\n"
                                "\t\t.NMax: 4\n"
                                "\t\t\tPARAMBOOL: Entry\n"
                                "\t\t\t.Parent: /Fn/Status/Values\n"
                                "\t\t\t.BytesInMsg: 1\n"
                                "\t\t\t.IsSelector: 0\n"
                                "\t\t\t.ParamPos: 1 seq 1\n"
                                "\t\t\t.SymID: Values.Entry[1]\n"
                                "\t\t\t\tPARAMBOOLFIELD: Bit0\n"
                                "\t\t\t\t.Parent: /Fn/Status/Values/Entry\n"
                                "\t\t\t\t.BytesInMsg: 0\n"
                                "\t\t\t\t.IsSelector: 0\n"
                                "\t\t\t\t.ParamPos: 0\n"
                                "\t\t\t\t.SymID: Values.Entry[1].Bit0\n"
                                "\t\t\t\t.TrueDesc:  On\n"
                                "\t\t\t\t.FalseDesc: Off\n");
    std::string recDump = DumpText(*rec);
    EXPECT_EQ(recDump.substr(0, recDump.find("\t\t\tPARAMBOOL: A")),
              "\t\tPARAMRECORD: Rec\n"
              "\t\t.Parent: /Fn/Status\n"
              "\t\t.BytesInMsg: 0\n"
              "\t\t.IsSelector: 0\n"
              "\t\t.ParamPos: 3\n"
              "\t\t.SymID: Rec\n"
              "\t\t.SelectorParam: Pos\n"
              "\t\t.NElements: 1\n");

    // Free-standing, unchecked and without selector or maximum.
    YMTParamArray bare;
    bare.SetName("Bare");
    bare.SetNMax(kOpenArray);
    EXPECT_EQ(DumpText(bare), "PARAMARRAY: Bare\n.Parent: -\n.BytesInMsg: 0\n.IsSelector: 0\n"
                              ".ParamPos: 0\n.SymID: \n.SelectorParam: \n.NMax: -1\n");
}

TEST_F(StructTest, ArrayAttributesAndBytes) {
    YMTParamArray array;
    uint32_t v = 0;
    EXPECT_EQ(array.GetAttrInt(1002, &v), kAttrOk);
    EXPECT_EQ(v, 10u);
    EXPECT_EQ(array.GetAttrInt(1004, &v), kAttrOk);
    EXPECT_EQ(v, 1u);
    EXPECT_EQ(array.GetAttrInt(0, &v), kAttrOk);
    EXPECT_EQ(v, uint32_t{kItemParam});
    EXPECT_EQ(array.GetAttrInt(1009, &v), kAttrNotAvailable);
    const uint8_t bytes[] = {0x12, 0x34};
    EXPECT_EQ(array.ConvertBytesToInt(bytes, 2, &v), kAttrOk);
    EXPECT_EQ(v, 0x1234u);
    EXPECT_EQ(array.ConvertBytesToInt(nullptr, 2, &v), kAttrNotAvailable);
    EXPECT_EQ(array.ConvertBytesToInt(bytes, 2, nullptr), kAttrNotAvailable);
    YMTParamRecord rec;
    EXPECT_EQ(rec.ConvertBytesToInt(bytes, 2, &v), kAttrNotAvailable);
}


// --- through the whole catalog import ---------------------------------------------------

std::string OpTypes(int pos) {
    std::string p = "<ParamPos>" + std::to_string(pos) + "</ParamPos>";
    return "<PAParamOPType><PCmdGet>" + p + "</PCmdGet><PReportStatus>" + p +
           "</PReportStatus></PAParamOPType>";
}

// Each operation holds its own copy of Pos and Data; each copy of Data is
// indexed by the Pos of its own operation, never by the other's.
TEST_F(StructTest, CatalogImportGivesEveryOperationItsOwnSelector) {
    std::string flags = "<TBool TypeRef=\"type_unsigned_byte\"><TBoolField BitPos=\"0\">"
                        "<BitTrueDesc>On</BitTrueDesc><BitFalseDesc>Off</BitFalseDesc>"
                        "</TBoolField></TBool>";
    std::string fields =
        "<TRecordField FieldIdx=\"0\"><TRecordFieldName>Id</TRecordFieldName>"
        "<TRecordFieldDesc>i</TRecordFieldDesc><TRecordFieldType>" +
        NumberType(1) +
        "</TRecordFieldType></TRecordField>"
        "<TRecordField FieldIdx=\"1\"><TRecordFieldName>Flags</TRecordFieldName>"
        "<TRecordFieldDesc>f</TRecordFieldDesc><TRecordFieldType>" +
        flags + "</TRecordFieldType></TRecordField>";
    std::string pos = "<PAParam><ParamName>Pos</ParamName><ParamDescription>p</ParamDescription>"
                      "<PAParamType>" +
                      NumberType() + "</PAParamType>" + OpTypes(0) + "</PAParam>";
    std::string data =
        "<PAParam><ParamName>Data</ParamName><ParamDescription>d</ParamDescription><PAParamType>"
        "<TArray NMax=\"8\"><TArrayName>Row</TArrayName><TArrayDesc>r</TArrayDesc>"
        "<TArrayElementType><TRecord NElements=\"2\">" +
        fields + "</TRecord></TArrayElementType></TArray></PAParamType>" + OpTypes(1) +
        "</PAParam>";
    std::string xml = test::CatalogXml(
        "<FBlock><FBlockName>Amp</FBlockName><FBlockID>0x22</FBlockID>"
        "<FBlockDescription>a</FBlockDescription>"
        "<Function><FunctionName>Table</FunctionName><FunctionID>0x401</FunctionID>"
        "<FunctionDescription>t</FunctionDescription>"
        "<FunctionClass><Property><PArray>" +
        pos + data + "</PArray></Property></FunctionClass></Function></FBlock>");
    test::Imported r = CatalogTest::Import(xml);
    ASSERT_EQ(r.status, 0u) << r.log;
    EXPECT_TRUE(Messages(r.log).empty()) << r.log;
    YMTInstance* instance = r.catalog->FBlockAt(0x22)->InstanceAt(0);
    ASSERT_TRUE(instance);
    auto* function = static_cast<YMTFunction*>(instance->GetAt(0x401));
    ASSERT_TRUE(function);
    std::vector<YMTParamArray*> arrays;
    for (uint32_t opType : {1u, 12u}) {
        YMTOperation* op = function->OperationAt(opType);
        ASSERT_TRUE(op) << opType;
        YMTParam* p = op->ParamAt(1);
        YMTParam* a = op->ParamAt(2);
        ASSERT_TRUE(p && a && a->NodeType() == kNodeArray) << opType;
        auto* array = static_cast<YMTParamArray*>(a);
        arrays.push_back(array);
        EXPECT_EQ(array->SelectorParam(), p) << opType;
        EXPECT_TRUE(p->IsSelector());
        EXPECT_EQ(p->ParamMeaning(), uint32_t{kMeaningArrayPos});
        EXPECT_EQ(array->NMax(), 8u);
        EXPECT_EQ(array->Description(), "d");
        auto* row = static_cast<YMTParamRecord*>(array->Element());
        ASSERT_TRUE(row && row->NodeType() == kNodeRecord);
        EXPECT_EQ(row->Description(), "r");
        EXPECT_EQ(row->SelectorParam(), array);
        ASSERT_TRUE(row->ChildAt(2));
        EXPECT_EQ(static_cast<YMTParam*>(row->ChildAt(2))->SymID(), "Data.Row[1].Flags");
        EXPECT_EQ(row->ChildAt(2)->ChildAt(0)->PathName(),
                  std::string("//Amp/Inst00/Table/") + op->NameRef() + "/Data/Row/Flags/Bit0");
    }
    ASSERT_EQ(arrays.size(), 2u);
    EXPECT_NE(arrays[0], arrays[1]);
    EXPECT_NE(arrays[0]->Element(), arrays[1]->Element());
}

} // namespace
} // namespace mostfcat
