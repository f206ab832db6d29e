// Shared by the message-instance suites: catalogs written from small
// parameter snippets and opened through a manager, message instances owned
// by the test, and value trees rendered as one line per value.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "manager/manager_fixture.h"
#include "mostfcat/message.h"
#include "platform/strings.h"

namespace mostfcat::test::inst {

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;
using MessagePtr = std::unique_ptr<YFciMessage>;

constexpr uint32_t kFBlock = 0x50;
constexpr uint32_t kInst = 1;
constexpr uint32_t kStatus = 0xC;
constexpr uint32_t kUnset = 0xFFFFFFFF;

// --- catalog snippets ------------------------------------------------------------------

// A number type: basis UByte, SByte, UWord, SWord, ULong or SLong; the range
// elements only when given.
inline std::string Num(const std::string& basis, const std::string& min = "",
                       const std::string& max = "", int exponent = 0) {
    static const char* const kRefs[][2] = {
        {"UByte", "type_unsigned_byte"}, {"SByte", "type_signed_byte"},
        {"UWord", "type_unsigned_word"}, {"SWord", "type_signed_word"},
        {"ULong", "type_unsigned_long"}, {"SLong", "type_signed_long"}};
    std::string ref;
    for (const auto& r : kRefs)
        if (basis == r[0]) ref = r[1];
    return "<TNumber><BasisDataType><T" + basis + " TypeRef=\"" + ref +
           "\"/></BasisDataType><Exponent>" + std::to_string(exponent) + "</Exponent>" +
           (min.empty() ? "" : "<RangeMin>" + min + "</RangeMin>") +
           (max.empty() ? "" : "<RangeMax>" + max + "</RangeMax>") +
           "<Step>1</Step><Unit UnitRef=\"unit_none\"/></TNumber>";
}

// An enumeration type from code/name pairs.
inline std::string Enum(const std::vector<std::pair<std::string, std::string>>& values) {
    std::string out = "<TEnum>";
    for (const auto& v : values)
        out += "<TEnumValue Code=\"" + v.first + "\">" + v.second + "</TEnumValue>";
    return out + "</TEnum>";
}

inline std::string Array(const std::string& nmax, const std::string& elementName,
                         const std::string& elementType) {
    return "<TArray" + (nmax.empty() ? std::string() : " NMax=\"" + nmax + "\"") + "><TArrayName>" +
           elementName + "</TArrayName><TArrayDesc>e</TArrayDesc><TArrayElementType>" +
           elementType + "</TArrayElementType></TArray>";
}

inline std::string Field(int idx, const std::string& name, const std::string& type) {
    return "<TRecordField FieldIdx=\"" + std::to_string(idx) + "\"><TRecordFieldName>" + name +
           "</TRecordFieldName><TRecordFieldDesc>f</TRecordFieldDesc><TRecordFieldType>" + type +
           "</TRecordFieldType></TRecordField>";
}
inline std::string Record(const std::string& fields, int count) {
    return "<TRecord NElements=\"" + std::to_string(count) + "\">" + fields + "</TRecord>";
}

// A member of a stream case (a parameter or a signal).
inline std::string Member(int idx, const std::string& name, const std::string& type) {
    return "<StreamParam ParamIdx=\"" + std::to_string(idx) + "\"><ParamName>" + name +
           "</ParamName><ParamDescription>m</ParamDescription><ParamType>" + type +
           "</ParamType></StreamParam>";
}
inline std::string Signal(int idx, const std::string& name, int bits, bool isSigned = false) {
    return "<StreamSignal SignalIdx=\"" + std::to_string(idx) + "\"" +
           (isSigned ? " Signedness=\"Signed\"" : "") + "><SignalName>" + name +
           "</SignalName><SignalBitLength>" + std::to_string(bits) +
           "</SignalBitLength></StreamSignal>";
}
// A stream case; posX empty for the only case of a stream (the description
// then gives the member order and the repeated group).
inline std::string Case(const std::string& posX, const std::string& posY,
                        const std::string& description, const std::string& members,
                        bool littleEndian = false) {
    std::string attrs = posX.empty() ? "" : " PosX=\"" + posX + "\" PosY=\"" + posY + "\"";
    return std::string("<StreamCase") + (littleEndian ? " ByteOrder=\"LittleEndian\"" : "") +
           "><PosDescription" + attrs + ">" + description + "</PosDescription>" + members +
           "</StreamCase>";
}
inline std::string Stream(const std::string& cases, const std::string& length = "") {
    return "<TStream" + (length.empty() ? std::string() : " Length=\"" + length + "\"") + ">" +
           cases + "</TStream>";
}

// A parameter of an unclassified property at position pos of the Status
// operation (or of the operation element given).
inline std::string Param(const std::string& name, const std::string& type, int pos,
                         const std::string& op = "PReportStatus") {
    return "<PUParam><ParamName>" + name +
           "</ParamName><ParamDescription>p</ParamDescription><PUParamType>" + type +
           "</PUParamType><PUParamOPType><" + op + "><ParamPos>" + std::to_string(pos) +
           "</ParamPos></" + op + "></PUParamOPType></PUParam>";
}

inline std::string Function(const std::string& name, uint32_t id, const std::string& params) {
    return "<Function><FunctionName>" + name + "</FunctionName><FunctionID>" +
           StrFormat("0x%X", id) +
           "</FunctionID><FunctionDescription>f</FunctionDescription>"
           "<FunctionClass ClassRef=\"class_unclassified_property\"><Property><PUnclassified>" +
           params + "</PUnclassified></Property></FunctionClass></Function>";
}

inline std::string Hex(const Bytes& bytes) {
    return YFciHexdumpHelper::CondensedString(bytes);
}
inline Bytes FromHex(const std::string& text) {
    Bytes out;
    YFciHexdumpHelper::StringToBytes(out, text);
    return out;
}

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
                    Param("Word", Num("UWord", "10", "1000"), 1) +
                        Param("Small", Num("SByte", "-5", "5"), 2) +
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

class InstanceTest : public ManagerTest {
protected:
    // Opens a catalog with FBlock 0x50 ("Lab", instance 1) holding the
    // functions on channel 1 of a new manager.
    void OpenLab(const std::string& functions = LabFunctions(),
                 const std::string& file = "lab.xml") {
        m_Path = Catalog(file, FBlockXml("Lab", "0x50", DeviceXml("Dev", "0x01") + functions));
        m = &NewManager(4);
        ASSERT_EQ(Open(*m, m_Path, 1, "Lab"), 0u);
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

    YFciFCatManagerImpl* m = nullptr;
    std::string m_Path;
};

} // namespace mostfcat::test::inst
