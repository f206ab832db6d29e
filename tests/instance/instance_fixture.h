// Shared by the message-instance suites: the functions of the test FBlock,
// message instances owned by the test, and value trees rendered as one line
// per value (the snippets and the catalog set-up are in support/message_xml.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mostfcat/message.h"
#include "support/message_xml.h"

namespace mostfcat::test::inst {

using MessagePtr = std::unique_ptr<YFciMessage>;

constexpr uint32_t kUnset = 0xFFFFFFFF;

// The functions of the test FBlock (all parameters in the Status operation):
//   0x100 Numbers  Word (UWord 10..1000), Small (SByte -5..5), Long (ULong),
//                  Byte (UByte), Color (enumeration)
//   0x101 Table    Outer: array (NMax 3) of Row {Id, Cells: array (NMax 2) of Cell}
//   0x102 Mux      Mode (enumeration 1, 3) selects the case of the stream Data:
//                  1 {A}, 3 {Count, Level (UWord)}; then Tail
//   0x103 Seq      Seq: one case {A, {B, C (UWord)}} (B, C repeated)
//   0x104 Bits     Kind selects the case of Sig: 1 {Low3, High5 (signed)},
//                  2 little-endian {Word12, Nibble}; then After (UWord)
//   0x105 Posed    Pos, Data: array (NMax 4) of Row {F1, F2}
//   0x106 PosArr   Pos, Data: array (NMax 4) of Val
//   0x107 Texts    Text (string), Flags (bool: bits 0 and 3), Raw (stream of 2
//                  bytes), Short (short stream, MaxLength 4), Wide (bit field,
//                  2 bytes), Rest (stream without length)
//   0x108 Big      Many: array (NMax 300) of Item
//   0x109 Boxed    Box: short stream of one case {A}; then End
//   0x10A Late     Vals: array (NMax 2); then Pos (a position nothing selects by)
inline std::string LabFunctions() {
    const std::string u8 = Num("UByte");
    return Function("Numbers", 0x100,
                    Param("Word", Num("UWord", 0, "unit_none", "10", "1000"), 1) +
                        Param("Small", Num("SByte", 0, "unit_none", "-5", "5"), 2) +
                        Param("Long", Num("ULong"), 3) + Param("Byte", u8, 4) +
                        Param("Color", Enum({{"0", "Red"}, {"2", "Green"}, {"0x10", "Blue"}}), 5)) +
           Function(
               "Table", 0x101,
               Param(
                   "Outer",
                   Array("3", "Row",
                         Record(Field(1, "Id", u8) + Field(2, "Cells", Array("2", "Cell", u8)), 2)),
                   1)) +
           Function(
               "Mux", 0x102,
               Param("Mode", Enum({{"1", "One"}, {"3", "Three"}}), 1) +
                   Param("Data",
                         Stream(Case("Mode", "1", "A", Member(1, "A", u8)) +
                                Case("Mode", "3", "Count,Level",
                                     Member(1, "Count", u8) + Member(2, "Level", Num("UWord")))),
                         2) +
                   Param("Tail", u8, 3)) +
           Function("Seq", 0x103,
                    Param("Seq",
                          Stream(Case("", "", "{A,{B,C}}",
                                      Member(1, "A", u8) + Member(2, "B", u8) +
                                          Member(3, "C", Num("UWord")))),
                          1)) +
           Function("Bits", 0x104,
                    Param("Kind", Enum({{"1", "Big"}, {"2", "Little"}}), 1) +
                        Param("Sig",
                              Stream(Case("Kind", "1", "Low3,High5",
                                          Signal(1, "Low3", 3) + Signal(2, "High5", 5, true)) +
                                     Case("Kind", "2", "Word12,Nibble",
                                          Signal(1, "Word12", 12) + Signal(2, "Nibble", 4), true)),
                              2) +
                        Param("After", Num("UWord"), 3)) +
           Function("Posed", 0x105,
                    Param("Pos", Num("UWord"), 1) +
                        Param("Data",
                              Array("4", "Row", Record(Field(1, "F1", u8) + Field(2, "F2", u8), 2)),
                              2)) +
           Function("PosArr", 0x106,
                    Param("Pos", Num("UWord"), 1) + Param("Data", Array("4", "Val", u8), 2)) +
           Function(
               "Texts", 0x107,
               Param("Text", "<TString/>", 1) +
                   Param("Flags",
                         "<TBool TypeRef=\"type_unsigned_byte\"><TBoolField BitPos=\"0\">"
                         "<BitTrueDesc>On</BitTrueDesc><BitFalseDesc>Off</BitFalseDesc>"
                         "</TBoolField><TBoolField BitPos=\"3\"><BitTrueDesc>Hot"
                         "</BitTrueDesc><BitFalseDesc>Cold</BitFalseDesc></TBoolField></TBool>",
                         2) +
                   Param("Raw", "<TStream Length=\"2\"/>", 3) +
                   Param("Short", "<TShortStream MaxLength=\"4\"/>", 4) +
                   Param("Wide",
                         "<TBitField Length=\"2\"><TBoolField BitPos=\"12\"><BitTrueDesc>"
                         "Fault</BitTrueDesc><BitFalseDesc>Fine</BitFalseDesc></TBoolField>"
                         "</TBitField>",
                         5) +
                   Param("Rest", "<TStream/>", 6)) +
           Function("Big", 0x108, Param("Many", Array("300", "Item", u8), 1)) +
           Function(
               "Boxed", 0x109,
               Param("Box",
                     "<TShortStream>" + Case("", "", "A", Member(1, "A", u8)) + "</TShortStream>",
                     1) +
                   Param("End", u8, 2)) +
           Function("Late", 0x10A,
                    Param("Vals", Array("2", "Val", u8), 1) + Param("Pos", Num("UWord"), 2));
}

// --- value trees as text ---------------------------------------------------------------

// "ShortID SymID kind hex" of one value; "-" marks an inactive value.
inline std::string Row(YFciParam* p) {
    return p->ShortID() + " " + p->SymID() + " " + std::to_string(p->ParamType()) + " " +
           p->ValueHexdumpStr() + (p->IsActive() ? "" : " -");
}
inline Lines Rows(const std::vector<YFciParam*>& list) {
    Lines out;
    for (YFciParam* p : list)
        out.push_back(Row(p));
    return out;
}
inline Lines Ids(const std::vector<YFciParam*>& list) {
    Lines out;
    for (YFciParam* p : list)
        out.push_back(p->ShortID() + " " + p->SymID());
    return out;
}
// Every value of a tree, parents before their children.
inline void Walk(const std::vector<YFciParam*>& list, std::vector<YFciParam*>& out) {
    for (YFciParam* p : list) {
        out.push_back(p);
        Walk(p->SubParamList(), out);
    }
}
inline std::vector<YFciParam*> Tree(YFciMessage& msg) {
    std::vector<YFciParam*> out;
    Walk(msg.ParamList(), out);
    return out;
}

// --- the fixture -----------------------------------------------------------------------

class InstanceTest : public LabTest {
protected:
    void OpenLab(const std::string& functions = LabFunctions(),
                 const std::string& file = "lab.xml") {
        LabTest::OpenLab(functions, file);
    }
    // A message instance of function fkt (Status) over the payload text.
    MessagePtr Msg(uint32_t fkt, const std::string& hex = "", uint32_t options = 0,
                   uint32_t op = kStatus) {
        MessagePtr msg(m->CreateMessage(1, "", kFBlock, kInst, 0, fkt, op, options));
        if (msg && !hex.empty()) msg->SetHexdumpStr(hex);
        return msg;
    }
    // Sets a value by symbolic id through its user input; false when the id
    // finds nothing or the input is refused.
    static bool Set(YFciMessage& msg, const std::string& symId, const std::string& input) {
        YFciParam* p = msg.GetParamBySymID(symId);
        bool changed = false;
        return p && p->SetUserInputStr(input, changed);
    }
};

// The instance fixture with the lab catalog open.
class LabInstanceTest : public InstanceTest {
protected:
    void SetUp() override {
        InstanceTest::SetUp();
        OpenLab();
    }
};

} // namespace mostfcat::test::inst
