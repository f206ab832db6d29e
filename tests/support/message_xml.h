// Shared by the message suites (descriptions and instances): parameter
// snippets of unclassified properties, hex helpers, and a fixture that opens
// them as FBlock 0x50 ("Lab", instance 1) through a manager.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "manager/manager_fixture.h"
#include "mostfcat/hexdump.h"
#include "platform/strings.h"

namespace mostfcat::test {

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

constexpr uint32_t kFBlock = 0x50;
constexpr uint32_t kInst = 1;
constexpr uint32_t kStatus = 0xC;

// --- catalog snippets ----------------------------------------------------------------

// A number type; basis is UByte, SByte, UWord, SWord, ULong or SLong. The
// range elements only when given.
inline std::string Num(const std::string& basis, int exponent = 0,
                       const std::string& unit = "unit_none", const std::string& min = "",
                       const std::string& max = "") {
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
           "<Step>1</Step><Unit UnitRef=\"" + unit + "\"/></TNumber>";
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

// Rows joined by " | ", one string per table cell.
inline std::string Flat(const Lines& rows) {
    std::string out;
    for (const std::string& r : rows)
        out += (out.empty() ? "" : " | ") + r;
    return out;
}
inline std::string Hex(const Bytes& bytes) {
    return YFciHexdumpHelper::CondensedString(bytes);
}
inline Bytes FromHex(const std::string& text) {
    Bytes out;
    YFciHexdumpHelper::StringToBytes(out, text);
    return out;
}

// --- the fixture ---------------------------------------------------------------------

class LabTest : public ManagerTest {
protected:
    // Opens a catalog with FBlock 0x50 ("Lab", instance 1) holding the
    // functions on channel 1 of a new manager.
    void OpenLab(const std::string& functions, const std::string& file = "lab.xml") {
        m_Path = Catalog(file, FBlockXml("Lab", "0x50", DeviceXml("Dev", "0x01") + functions));
        m = &NewManager(4);
        ASSERT_EQ(Open(*m, m_Path, 1, "Lab"), 0u);
    }

    YFciFCatManagerImpl* m = nullptr;
    std::string m_Path;
};

} // namespace mostfcat::test
