// Arrays and records: import, the nesting bound, the selectors found by the
// check, layout warnings, and the copies in every operation of a catalog.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "param_test_util.h"
#include "params/param_number.h"
#include "params/param_struct.h"
#include "tree/fblock.h"

namespace mostfcat {
namespace {

using test::NumberType;

const std::string kBool = "<TBool TypeRef=\"type_unsigned_byte\"><TBoolField BitPos=\"0\">"
                          "<BitTrueDesc>On</BitTrueDesc><BitFalseDesc>Off</BitFalseDesc>"
                          "</TBoolField></TBool>";
std::string ArrayType(const std::string& element, const std::string& attrs,
                      const std::string& type = kBool) {
    return "<TArray" + attrs + "><TArrayName>" + element + "</TArrayName><TArrayElementType>" +
           type + "</TArrayElementType></TArray>";
}
std::string Field(const std::string& idx, const std::string& name,
                  const std::string& type = kBool) {
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

class StructTest : public test::ParamTest {
protected:
    YMTParamArray* AddArray(uint32_t pos, const std::string& name, const std::string& type) {
        return dynamic_cast<YMTParamArray*>(Add(pos, Param(name, type)));
    }
    YMTParam* AddNumber(uint32_t pos, const std::string& name) {
        return Add(pos, Param(name, NumberType()));
    }
};

TEST_F(StructTest, ArrayNMaxForms) {
    struct {
        const char* nmax; // null: no attribute
        uint32_t count;
        bool warns;
    } cases[] = {{nullptr, kOpenArray, false},       {"N (>=0)", kOpenArray, false},
                 {"nmax", kOpenArray, false},        {"0x10", 16, false},
                 {"4000000000", 4000000000u, false}, {"0", kOpenArray, true},
                 {"4294967297", kOpenArray, true}}; // not cut to its low 32 bits
    for (const auto& c : cases) {
        std::string attrs = c.nmax ? StrFormat(" NMax=\"%s\"", c.nmax) : "";
        auto array = Make<YMTParamArray>(Param("Values", ArrayType("Entry", attrs)));
        ASSERT_TRUE(array) << attrs;
        EXPECT_EQ(array->NMax(), c.count) << attrs;
        EXPECT_EQ(array->HasUnspecifiedLength(), c.count == kOpenArray) << attrs;
        EXPECT_EQ(array->GetSize(), 2u) << attrs; // index 0 stays empty
        EXPECT_EQ(test::Codes(m_Msgs), c.warns ? "W0043 /Values" : "") << attrs;
    }
    EXPECT_EQ(m_Msgs, Msgs{Warn(43, "/Values",
                                "Failed to analyze value '4294967297'. Using "
                                "'NMax' instead.")}); // the last case
}

TEST_F(StructTest, ArrayElementIsNamedFromTArrayAndStoredAtOne) {
    auto array = Make<YMTParamArray>(Param("Values", ArrayType(" Entry ", " NMax=\"4\"")));
    YMTParam* elem = array->Element();
    ASSERT_TRUE(elem);
    EXPECT_EQ(elem, array->FindChild("ENTRY"));
    EXPECT_EQ(elem->Parent(), array.get());

    m_Ctx.SetOptions(YImportState::kDefaultOptions); // descriptions on
    array = Make<YMTParamArray>(
        "<PAParam><ParamName/><ParamDescription>outer</ParamDescription><PAParamType><TArray>"
        "<TArrayElementType>" +
        kBool + "</TArrayElementType></TArray></PAParamType></PAParam>");
    EXPECT_EQ(array->NameRef(), "Array");
    EXPECT_EQ(array->Description(), "outer");
    EXPECT_EQ(array->Element()->NameRef(), "_NA_");
    EXPECT_EQ(test::Codes(m_Msgs), "W0010 /Array/; W0182 /Array/"); // no name, no description
}

TEST_F(StructTest, ImportFailures) {
    const std::string noIdx = "<TRecordField><TRecordFieldName>A</TRecordFieldName>"
                              "<TRecordFieldType>" +
                              kBool + "</TRecordFieldType></TRecordField>";
    struct {
        bool array;
        std::string type, codes;
    } cases[] = {{true, "<TRecord/>", "E0041 /P"}, // no TArray
                 {true, ArrayType("E", "", "<TUnknown/>"), "E0045 /P"},
                 // an element that fails its own import fails the array
                 {true, ArrayType("E", "", RecordType("", "")), "E0051 /P/E; E0046 /P"},
                 {false, "<TBool/>", "E0048 /P"}, // no TRecord
                 {false, RecordType("", noIdx), "E0012 /P/A; E0053 /P"},
                 {false, RecordType("", Field("x1", "B")), "E0013 /P/B; E0053 /P"},
                 {false, RecordType("", Field("0", "C", "<TOther/>")), "E0052 /P"}};
    for (const auto& c : cases) {
        if (c.array)
            ImportParam<YMTParamArray>(Param("P", c.type), false);
        else
            ImportParam<YMTParamRecord>(Param("P", c.type), false);
        EXPECT_EQ(test::Codes(m_Msgs), c.codes) << c.type;
    }
    EXPECT_EQ(m_Msgs, Msgs{Err(52, "/P", "Unknown parameter type in <TRecordField>")});
}

TEST_F(StructTest, RecordFieldPositionsAndCounts) {
    const std::string rec = "/Rec";
    struct Case {
        std::vector<std::string> idx;
        std::vector<uint32_t> positions; // empty: the import fails
        Msgs msgs;
    } cases[] = {{{"0", "1", "2"}, {1, 2, 3}, {}},
                 {{"0x1", "0b10"}, {1, 2}, {}},
                 // Counting from 0 starts at the first field with index 0.
                 {{"1", "0"}, {}, {Err(54, rec, "Position 1 of 'Rec' already occupied")}},
                 {{"1", "3"}, {}, {Err(56, rec, "Gap in parameter set before parameter 'F1'")}},
                 {{"4096"},
                  {},
                  {Err(14, "/Rec/F0", "Invalid parameter position 4096"),
                   Err(53, rec, "Failed to import element <TRecordField>")}}};
    for (const Case& c : cases) {
        std::string fields;
        for (size_t i = 0; i < c.idx.size(); ++i)
            fields += Field(c.idx[i], "F" + std::to_string(i));
        auto r = ImportParam<YMTParamRecord>(
            Param("Rec", RecordType(StrFormat(" NElements=\"%zu\"", c.idx.size()), fields)),
            !c.positions.empty());
        EXPECT_EQ(m_Msgs, c.msgs) << fields;
        for (size_t i = 0; i < c.positions.size(); ++i) {
            YMTNode* f = r->ChildAt(c.positions[i]);
            ASSERT_TRUE(f) << fields;
            EXPECT_EQ(f->NameRef(), "F" + std::to_string(i));
            EXPECT_EQ(f->Parent(), r.get());
        }
    }

    // A count that does not match the fields is corrected.
    for (const char* attrs : {" NElements=\"3\"", ""}) {
        auto r = ImportParam<YMTParamRecord>(
            Param("", RecordType(attrs, Field("0", "A") + Field("1", "B"))));
        EXPECT_EQ(r->NameRef(), "Record");
        EXPECT_EQ(r->NElements(), 2u);
        EXPECT_EQ(m_Msgs, Msgs{Warn(55, "/Record",
                                    StrFormat("Number of record fields (2) does not match value "
                                              "of attribute 'NElements' (%d)",
                                              attrs[0] ? 3 : 0))});
    }
}

TEST_F(StructTest, NestingIsBounded) {
    auto nested = [](uint32_t levels, const std::string& inner) {
        std::string type = inner;
        for (uint32_t i = 1; i < levels; ++i)
            type = ArrayType("A" + std::to_string(i), "", type);
        return Param("Top", ArrayType("A" + std::to_string(levels), "", type));
    };
    auto top = Make<YMTParamArray>(nested(kMaxStructNesting, kBool));
    EXPECT_EQ(m_Msgs, Msgs{});
    uint32_t depth = 0;
    for (YMTParam* p = top.get(); p && p->NodeType() == kNodeArray;
         p = static_cast<YMTParamArray*>(p)->Element())
        ++depth;
    EXPECT_EQ(depth, kMaxStructNesting);

    // One level more: the innermost array is refused and every enclosing one fails.
    Make<YMTParamArray>(nested(kMaxStructNesting + 1, kBool), false);
    ASSERT_EQ(m_Msgs.size(), kMaxStructNesting + 1);
    EXPECT_NE(
        m_Msgs[0].find("/A3/A2': Arrays and records nested deeper than 32 levels in <TArray>"),
        std::string::npos);
    EXPECT_EQ(test::Codes({m_Msgs.back()}), "E0046 /Top"); // every enclosing array fails

    // A record at that depth is refused the same way.
    Make<YMTParamArray>(nested(kMaxStructNesting, RecordType("", Field("0", "F"))), false);
    ASSERT_FALSE(m_Msgs.empty());
    EXPECT_NE(m_Msgs[0].find("nested deeper than 32 levels in <TRecord>"), std::string::npos);

    // Far deeper than any recursion could survive if the import descended.
    std::string open, close;
    for (int i = 0; i < 20000; ++i) {
        open += "<TArray><TArrayName>E</TArrayName><TArrayElementType>";
        close += "</TArrayElementType></TArray>";
    }
    Make<YMTParamArray>(Param("Top", open + kBool + close), false);
    EXPECT_EQ(m_Msgs.size(), kMaxStructNesting + 1);
}

TEST_F(StructTest, ArraySelectorIsAPrecedingPositionOfAnIndexKind) {
    struct Case {
        const char* before;  // name of a parameter at 1, the array at 2
        std::string type;    // its type
        const char* element; // the array's element name
        bool indexes;
    } cases[] = {{"Pos", NumberType(), "Entry", true},
                 {"position", NumberType(), "Entry", true},
                 {"Pos", kBool, "Entry", false},     // a bool cannot index
                 {"X", NumberType(), "Pos", false}}; // nor the element itself
    for (const Case& c : cases) {
        m_Op->RemoveAll();
        YMTParam* pos = Add(1, Param(c.before, c.type));
        YMTParamArray* array = AddArray(2, "Values", ArrayType(c.element, " NMax=\"4\"", c.type));
        ASSERT_TRUE(pos && array);
        EXPECT_EQ(CheckMsgs(*m_Op), Msgs{});
        EXPECT_EQ(array->SelectorParam(), c.indexes ? pos : nullptr) << c.before;
        EXPECT_EQ(pos->IsSelector(), c.indexes) << c.before;
        EXPECT_FALSE(array->Element()->IsSelector());
    }
    EXPECT_EQ(m_Op->ParamAt(2)->SymID(), "Values");
    EXPECT_EQ(static_cast<YMTParamArray*>(m_Op->ParamAt(2))->Element()->SymID(), "Values.Pos[1]");

    // A position after the array does not index it.
    m_Op->RemoveAll();
    YMTParamArray* array = AddArray(1, "Values", ArrayType("Entry", " NMax=\"4\""));
    AddNumber(2, "Pos");
    EXPECT_EQ(CheckMsgs(*m_Op), Msgs{});
    EXPECT_EQ(array->SelectorParam(), nullptr);
}

TEST_F(StructTest, TaggedDataArrayNeedsPosYForItsRecord) {
    const std::string data =
        ArrayType("Row", "", RecordType(" NElements=\"1\"", Field("0", "Speed", NumberType())));
    YMTParam* tag = AddNumber(1, "Tag");
    YMTParamArray* array = AddArray(2, "Data", data);
    EXPECT_EQ(CheckMsgs(*m_Op, false),
              Msgs{Err(192, "/Func/Status/Data/Row",
                       "Can't find 'PosY' parameter to 'Data' parameter of record or array")});
    EXPECT_TRUE(array->IsTagged());
    EXPECT_EQ(array->SelectorParam(), tag);

    m_Op->RemoveAll();
    YMTParam* posY = Add(1, Param("PosY", NumberType(1)));
    tag = AddNumber(2, "Tag");
    array = AddArray(3, "Data", data);
    EXPECT_EQ(CheckMsgs(*m_Op), Msgs{});
    auto* row = static_cast<YMTParamRecord*>(array->Element());
    EXPECT_EQ(array->SelectorParam(), tag);
    EXPECT_EQ(row->SelectorParam(), posY);
    EXPECT_TRUE(posY->IsSelector() && tag->IsSelector());
    EXPECT_EQ(static_cast<YMTParam*>(row->ChildAt(1))->SymID(), "Data.Row[1].Speed");
}

TEST_F(StructTest, NestedStructuresAreIndexedByTheirParent) {
    AddNumber(1, "Position");
    std::string row =
        RecordType(" NElements=\"2\"", Field("0", "Id", NumberType(1)) +
                                           Field("1", "Cells", ArrayType("Cell", " NMax=\"3\"")));
    YMTParamArray* outer = AddArray(2, "Rows", ArrayType("Row", " NMax=\"5\"", row));
    auto* rec =
        dynamic_cast<YMTParamRecord*>(Add(3, Param("Entry", RecordType("", Field("1", "A")))));
    ASSERT_TRUE(outer && rec);
    EXPECT_EQ(CheckMsgs(*m_Op), Msgs{});
    EXPECT_EQ(rec->SelectorParam(), m_Op->ParamAt(1)); // a record under the operation as well
    auto* inner = static_cast<YMTParamRecord*>(outer->Element());
    auto* cells = static_cast<YMTParamArray*>(inner->ChildAt(2));
    EXPECT_EQ(inner->SelectorParam(), outer);
    EXPECT_EQ(cells->SelectorParam(), inner);
    EXPECT_TRUE(outer->IsSelector() && inner->IsSelector());
    EXPECT_EQ(cells->Element()->SymID(), "Rows.Row[1].Cells.Cell[1]");
    EXPECT_EQ(outer->FindParamByName("cell", false), cells->Element());
    EXPECT_EQ(outer->FindParamByName("cell", true), nullptr);
}

TEST_F(StructTest, UnspecifiedLengthsAreReported) {
    const std::string open = ArrayType("Item", "");
    AddArray(1, "Grid", ArrayType("Line", " NMax=\"2\"", open));
    auto* rec = Add(2, Param("Rec", RecordType("", Field("0", "Open", open) + Field("1", "Next") +
                                                       Field("2", "Last"))));
    AddArray(3, "Blobs", ArrayType("Blob", " NMax=\"2\"", "<TStream/>"));
    AddArray(4, "Chunks", ArrayType("Chunk", " NMax=\"2\"", "<TStream Length=\"4\"/>"));
    AddArray(5, "Names", ArrayType("Name", " NMax=\"2\"", "<TString MaxSize=\"16\"/>"));
    EXPECT_TRUE(rec->HasUnspecifiedLength());
    // The open elements of Grid and Blobs, then the record's and the operation's order.
    Msgs msgs = CheckMsgs(*m_Op);
    EXPECT_EQ(test::Codes(msgs), "W0206 /Func/Status/Grid; W0205 /Func/Status/Rec; "
                                 "W0206 /Func/Status/Blobs; W0208 /Func/Status");
    ASSERT_EQ(msgs.size(), 4u);
    EXPECT_EQ(msgs[1], Warn(205, "/Func/Status/Rec",
                            "Parameter 'Next' follows a parameter with unspecified length "
                            "('Open'). Message may not disassemble properly."));

    YMTParamRecord empty;
    empty.SetName("Empty");
    EXPECT_EQ(test::Codes(CheckMsgs(empty)), "W0058 /Empty"); // no valid parameter
}

// Each operation holds its own copy of Pos and Data (a deep one); each copy of
// Data is indexed by the Pos of its own operation, never by the other's.
TEST_F(StructTest, CatalogImportGivesEveryOperationItsOwnSelector) {
    auto param = [](const char* name, const std::string& type) {
        return StrFormat("<PAParam><ParamName>%s</ParamName><PAParamType>%s</PAParamType>"
                         "<PAParamOPType><PCmdGet><ParamPos>%d</ParamPos></PCmdGet><PReportStatus>"
                         "<ParamPos>%d</ParamPos></PReportStatus></PAParamOPType></PAParam>",
                         name, type.c_str(), name[0] == 'P' ? 0 : 1, name[0] == 'P' ? 0 : 1);
    };
    std::string data = ArrayType("Row", " NMax=\"8\"",
                                 RecordType(" NElements=\"1\"", Field("0", "Id", NumberType(1))));
    test::Imported r = Import(test::CatalogXml(
        "<FBlock><FBlockName>Amp</FBlockName><FBlockID>0x22</FBlockID><Function><FunctionName>"
        "Table</FunctionName><FunctionID>0x401</FunctionID><FunctionClass><Property><PArray>" +
        param("Pos", NumberType()) + param("Data", data) +
        "</PArray></Property></FunctionClass></Function></FBlock>"));
    ASSERT_EQ(r.status, 0u) << r.log;
    auto* function =
        static_cast<YMTFunction*>(r.catalog->FBlockAt(0x22)->InstanceAt(0)->GetAt(0x401));
    std::vector<YMTParamArray*> arrays;
    for (uint32_t opType : {1u, 12u}) {
        YMTOperation* op = function->OperationAt(opType);
        ASSERT_TRUE(op) << opType;
        arrays.push_back(dynamic_cast<YMTParamArray*>(op->ParamAt(2)));
        ASSERT_TRUE(arrays.back() && op->ParamAt(1)) << opType;
        EXPECT_EQ(arrays.back()->SelectorParam(), op->ParamAt(1)) << opType;
        auto* row = static_cast<YMTParamRecord*>(arrays.back()->Element());
        EXPECT_TRUE(row->Parent() == arrays.back() && row->ChildAt(1)->Parent() == row);
        EXPECT_EQ(row->SelectorParam(), arrays.back());
        EXPECT_EQ(arrays.back()->NMax(), 8u);
    }
    EXPECT_NE(arrays[0]->Element(), arrays[1]->Element());
}

} // namespace
} // namespace mostfcat
