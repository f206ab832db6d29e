// Small builders for function and parameter elements, shared by the
// function, operation and query suites. Every element carries the
// description the default options read, so a clean element logs nothing.
#pragma once

#include <string>

namespace mostfcat::test {

inline std::string NumberType(const std::string& typeRef = "type_unsigned_byte") {
    return "<TNumber><BasisDataType><TUByte TypeRef=\"" + typeRef +
           "\"/></BasisDataType><Exponent>0</Exponent><Step>1</Step>"
           "<Unit UnitRef=\"unit_none\"/></TNumber>";
}

// An enumeration whose highest code decides its width (above 255: 2 bytes).
inline std::string EnumType(int highestCode = 1) {
    return "<TEnum><TEnumValue Code=\"0\">Off</TEnumValue><TEnumValue Code=\"" +
           std::to_string(highestCode) + "\">On</TEnumValue></TEnum>";
}

inline std::string StringType() {
    return "<TString/>";
}
inline std::string VoidType() {
    return "<TVoid/>";
}

// An array; an empty nmax leaves it open (no fixed length).
inline std::string ArrayType(const std::string& elementType, const std::string& nmax = "4") {
    return "<TArray" + (nmax.empty() ? std::string() : " NMax=\"" + nmax + "\"") +
           "><TArrayName>Item</TArrayName><TArrayDesc>d</TArrayDesc><TArrayElementType>" +
           elementType + "</TArrayElementType></TArray>";
}

inline std::string Field(int index, const std::string& name, const std::string& type) {
    return "<TRecordField FieldIdx=\"" + std::to_string(index) + "\"><TRecordFieldName>" + name +
           "</TRecordFieldName><TRecordFieldDesc>d</TRecordFieldDesc><TRecordFieldType>" + type +
           "</TRecordFieldType></TRecordField>";
}

// A record of two 1-byte numbers named Id and Level.
inline std::string RecordType() {
    return "<TRecord NElements=\"2\">" + Field(1, "Id", NumberType()) +
           Field(2, "Level", NumberType()) + "</TRecord>";
}

// An OpType element with a position; pos "" leaves out "ParamPos".
inline std::string Op(const std::string& tag, const std::string& pos = "1") {
    if (pos.empty()) return "<" + tag + "/>";
    return "<" + tag + "><ParamPos>" + pos + "</ParamPos></" + tag + ">";
}

// A parameter element with prefix p ("PN" gives PNParam, PNParamType and
// PNParamOPType).
inline std::string Param(const std::string& p, const std::string& name, const std::string& type,
                         const std::string& ops) {
    return "<" + p + "Param><ParamName>" + name +
           "</ParamName><ParamDescription>d</ParamDescription><" + p + "ParamType>" + type + "</" +
           p + "ParamType><" + p + "ParamOPType>" + ops + "</" + p + "ParamOPType></" + p +
           "Param>";
}

// A function element. kind is "Property" or "Method", classElement the
// element inside it (for example "PNumber") holding params.
inline std::string Function(const std::string& name, const std::string& id,
                            const std::string& classRef, const std::string& kind,
                            const std::string& classElement, const std::string& params,
                            const std::string& attrs = "", const std::string& kindAttrs = "") {
    std::string ref = classRef.empty() ? std::string() : " ClassRef=\"" + classRef + "\"";
    return "<Function" + attrs + "><FunctionName>" + name + "</FunctionName><FunctionID>" + id +
           "</FunctionID><FunctionDescription>d</FunctionDescription><FunctionClass" + ref + "><" +
           kind + kindAttrs + "><" + classElement + ">" + params + "</" + classElement + "></" +
           kind + "></FunctionClass></Function>";
}

// A number property with one 1-byte parameter Value in Set and Status.
inline std::string NumberProperty(const std::string& name, const std::string& id,
                                  const std::string& attrs = "") {
    return Function(name, id, "class_number", "Property", "PNumber",
                    Param("PN", "Value", NumberType(), Op("PCmdSet") + Op("PReportStatus")), attrs);
}

inline std::string Device(const std::string& name, const std::string& id) {
    return "<Device><DeviceName>" + name + "</DeviceName><InstanceID>" + id +
           "</InstanceID></Device>";
}

inline std::string FBlockXml(const std::string& name, const std::string& id,
                             const std::string& body) {
    return "<FBlock><FBlockName>" + name + "</FBlockName><FBlockID>" + id +
           "</FBlockID><FBlockDescription>d</FBlockDescription>" + body + "</FBlock>";
}

// An error-parameter element (ERParam); attrs may carry ParamDefId/ParamDefRef.
inline std::string ErrorParam(const std::string& attrs, const std::string& name,
                              const std::string& type, const std::string& ops) {
    return "<ERParam" + attrs + "><ParamName>" + name +
           "</ParamName><ParamDescription>d</ParamDescription><ERParamType>" + type +
           "</ERParamType><ERParamOPType>" + ops + "</ERParamOPType></ERParam>";
}

} // namespace mostfcat::test
