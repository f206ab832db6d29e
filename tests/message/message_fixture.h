// Shared by the message suites: catalogs written from small parameter
// snippets, opened through a manager, and message descriptions whose entries
// are compared as one line of text each.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "manager/manager_fixture.h"
#include "message/mesg_info.h"
#include "message/param_info.h"
#include "mostfcat/mesg_info.h"
#include "platform/strings.h"

namespace mostfcat::test {

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;
using Inputs = std::vector<std::string>;

constexpr uint32_t kAll = 0xFFFFFFFF;
// Names, hex, decimal and value texts, units, suffixes and heads; no
// diagnostics, no value lists, no numbers, text limit from the description.
constexpr uint32_t kTexts = 0x1007F00;
constexpr uint32_t kFBlock = 0x50;
constexpr uint32_t kInst = 1;
constexpr uint32_t kStatus = 0xC;

// --- catalog snippets ----------------------------------------------------------------

// A number type; basis is UByte, SByte, UWord, SWord, ULong or SLong.
inline std::string Num(const std::string& basis, int exponent = 0,
                       const std::string& unit = "unit_none") {
    static const char* const kRefs[][2] = {
        {"UByte", "type_unsigned_byte"}, {"SByte", "type_signed_byte"},
        {"UWord", "type_unsigned_word"}, {"SWord", "type_signed_word"},
        {"ULong", "type_unsigned_long"}, {"SLong", "type_signed_long"}};
    std::string ref;
    for (const auto& r : kRefs)
        if (basis == r[0]) ref = r[1];
    return "<TNumber><BasisDataType><T" + basis + " TypeRef=\"" + ref +
           "\"/></BasisDataType><Exponent>" + std::to_string(exponent) +
           "</Exponent><Step>1</Step><Unit UnitRef=\"" + unit + "\"/></TNumber>";
}

// An enumeration type from "code=name" pairs.
inline std::string Enum(const std::vector<std::pair<std::string, std::string>>& values) {
    std::string out = "<TEnum>";
    for (const auto& v : values)
        out += "<TEnumValue Code=\"" + v.first + "\">" + v.second + "</TEnumValue>";
    return out + "</TEnum>";
}

inline std::string Str() {
    return "<TString/>";
}

// A member of a stream case (parameter or signal).
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
// A stream case; posX/posY empty for the only case of a stream.
inline std::string Case(const std::string& posX, const std::string& posY,
                        const std::string& description, const std::string& members,
                        bool littleEndian = false) {
    std::string attrs = posX.empty() ? "" : " PosX=\"" + posX + "\" PosY=\"" + posY + "\"";
    return std::string("<StreamCase") + (littleEndian ? " ByteOrder=\"LittleEndian\"" : "") +
           "><PosDescription" + attrs + ">" + description + "</PosDescription>" + members +
           "</StreamCase>";
}

inline std::string Array(const std::string& nmax, const std::string& elementName,
                         const std::string& elementType) {
    return "<TArray" + (nmax.empty() ? std::string() : " NMax=\"" + nmax + "\"") + "><TArrayName>" +
           elementName +
           "</TArrayName><TArrayDesc>e</TArrayDesc>"
           "<TArrayElementType>" +
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

// A parameter of an unclassified property, carried by the Status operation
// (or by the operation element given) at position pos.
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

// --- entries as text -----------------------------------------------------------------

// "kind Llevel @position FullName", then the texts that are set.
inline std::string Row(const YFciParamInfo& e) {
    std::string s =
        StrFormat("%u L%u @%u %s", e.ParamType(), e.Level(), e.Position(), e.FullName().c_str());
    if (!e.DecimalText().empty()) s += " d=" + e.DecimalText();
    if (!e.HexText().empty()) s += " h=" + e.HexText();
    if (!e.ValueText().empty()) s += " v=" + e.ValueText();
    if (!e.UnitText().empty()) s += " u=" + e.UnitText();
    return s;
}
inline Lines Rows(const std::vector<YFciParamInfo*>& entries) {
    Lines out;
    for (const YFciParamInfo* e : entries)
        out.push_back(Row(*e));
    return out;
}
inline std::string Hex(const std::vector<uint8_t>& bytes) {
    return YFciHexdumpHelper::CondensedString(bytes);
}

// --- the fixture ---------------------------------------------------------------------

class MessageTest : public ManagerTest {
protected:
    void TearDown() override {
        m_Infos.clear();
        ManagerTest::TearDown();
    }
    // Opens a catalog with FBlock 0x50 ("Lab", instance 1) holding the
    // functions on channel 1 of a new manager.
    void OpenLab(const std::string& functions, const std::string& file = "lab.xml") {
        m_Path = Catalog(file, FBlockXml("Lab", "0x50", DeviceXml("Dev", "0x01") + functions));
        m = &NewManager(4);
        ASSERT_EQ(Open(*m, m_Path, 1, "Lab"), 0u);
    }
    // A description of function fkt (Status) owned by the test.
    YFciMesgInfo* Info(uint32_t fkt, const Bytes& data = {}, uint32_t options = kAll,
                       uint32_t op = kStatus) {
        m_Infos.emplace_back(m->CreateMesgInfo(1, kFBlock, kInst, fkt, op, data));
        m_Infos.back()->SetOptions(options);
        return m_Infos.back().get();
    }
    Lines Decode(uint32_t fkt, const Bytes& data, uint32_t options = kTexts) {
        return Rows(Info(fkt, data, options)->Disassemble());
    }
    // Assembles the inputs; "status index" followed by the payload in hex.
    std::string Assemble(uint32_t fkt, const Inputs& inputs, uint32_t options = kAll,
                         YFciMesgInfo** out = nullptr) {
        YFciMesgInfo* info = Info(fkt, {}, options);
        uint32_t status = 99, index = 99;
        info->Assemble(inputs, status, index);
        if (out) *out = info;
        return StrFormat("%u %u ", status, index) + Hex(info->Data());
    }

    YFciFCatManagerImpl* m = nullptr;
    std::string m_Path;
    std::vector<std::unique_ptr<YFciMesgInfo>> m_Infos;
};

} // namespace mostfcat::test
