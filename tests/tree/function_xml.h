// Builders for function and parameter elements and readers for messages,
// attributes and operation layouts, shared by the tree suites.
// Every element carries the description the default options read, so a
// clean element logs nothing.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "params/param.h"
#include "support/catalog_builder.h"
#include "support/test_support.h"
#include "tree/catalog.h"
#include "tree/fblock.h"
#include "tree/function.h"
#include "tree/node.h"
#include "tree/operation.h"

namespace mostfcat::test {

inline std::string NumberType(const std::string& typeRef = "type_unsigned_byte") {
    return "<TNumber><BasisDataType><TUByte TypeRef=\"" + typeRef +
           "\"/></BasisDataType><Exponent>0</Exponent><Step>1</Step>"
           "<Unit UnitRef=\"unit_none\"/></TNumber>";
}

// The highest code decides the width (above 255: 2 bytes).
inline std::string EnumType(int highestCode = 1) {
    return "<TEnum><TEnumValue Code=\"0\">Off</TEnumValue><TEnumValue Code=\"" +
           std::to_string(highestCode) + "\">On</TEnumValue></TEnum>";
}

inline constexpr const char* kStringType = "<TString/>";
inline constexpr const char* kVoidType = "<TVoid/>";

// An empty nmax leaves the array open (no fixed length).
inline std::string ArrayType(const std::string& elementType, const std::string& nmax = "4") {
    return "<TArray" + (nmax.empty() ? std::string() : " NMax=\"" + nmax + "\"") +
           "><TArrayName>Item</TArrayName><TArrayDesc>d</TArrayDesc><TArrayElementType>" +
           elementType + "</TArrayElementType></TArray>";
}

// A record of two 1-byte numbers, Id and Level.
inline std::string RecordType() {
    std::string out = "<TRecord NElements=\"2\">";
    int index = 1;
    for (const char* name : {"Id", "Level"})
        out += "<TRecordField FieldIdx=\"" + std::to_string(index++) + "\"><TRecordFieldName>" +
               name +
               "</TRecordFieldName><TRecordFieldDesc>d</TRecordFieldDesc><TRecordFieldType>" +
               NumberType() + "</TRecordFieldType></TRecordField>";
    return out + "</TRecord>";
}

// An OpType element; an empty pos leaves out "ParamPos".
inline std::string Op(const std::string& tag, const std::string& pos = "1") {
    if (pos.empty()) return "<" + tag + "/>";
    return "<" + tag + "><ParamPos>" + pos + "</ParamPos></" + tag + ">";
}

// Prefix "PN" gives PNParam, PNParamType and PNParamOPType; attrs may carry
// ParamDefId/ParamDefRef.
inline std::string Param(const std::string& p, const std::string& name, const std::string& type,
                         const std::string& ops, const std::string& attrs = "") {
    return "<" + p + "Param" + attrs + "><ParamName>" + name +
           "</ParamName><ParamDescription>d</ParamDescription><" + p + "ParamType>" + type + "</" +
           p + "ParamType><" + p + "ParamOPType>" + ops + "</" + p + "ParamOPType></" + p +
           "Param>";
}

// kind is "Property" or "Method", classElement the element inside it that
// holds the parameters (for example "PNumber").
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

// The attributes named in the list ("i4": integer 4, "s3": string 3, "n2":
// node 2 as its path) as the texts they read as, joined with "|"; "-" where
// the node does not answer.
inline std::string Attrs(YMTNode& node, const std::string& list) {
    std::istringstream in(list);
    std::string item, out;
    while (in >> item) {
        uint32_t number = std::stoul(item.substr(1)), i = 0;
        const char* s = nullptr;
        YMTNode* n = nullptr;
        out += out.empty() ? "" : "|";
        if (item[0] == 'i') out += node.GetAttrInt(number, &i) == 0 ? std::to_string(i) : "-";
        if (item[0] == 's') out += node.GetAttrStr(number, &s) == 0 ? s : "-";
        if (item[0] == 'n')
            out += node.GetAttrNode(number, &n) == 0 ? (n ? n->PathName() : "null") : "-";
    }
    return out;
}

// "Op: name@pos ...; ..." for every operation of a function; "!" marks a
// parameter whose own ParamPos differs from its position.
inline std::string Layout(const YMTFunction* f) {
    std::string out;
    ForEachChild(*f, [&](uint32_t, YMTNode* n) {
        out += (out.empty() ? "" : "; ") + n->NameRef() + ":";
        ForEachChild(*static_cast<YMTOperation*>(n), [&](uint32_t pos, YMTNode* p) {
            out += " " + p->NameRef() + "@" + std::to_string(pos);
            if (static_cast<YMTParam*>(p)->ParamPos() != pos) out += "!";
        });
    });
    return out;
}

// Imports one FBlock Amp (0x22, instance 0) with the given functions, after
// the elements in `outside`; the import must succeed.
class FunctionImportTest : public CatalogTest {
protected:
    Imported Run(const std::string& functions, const std::string& outside = "") {
        Imported r = Import(CatalogXml(outside + FBlockXml("Amp", "0x22", functions)));
        EXPECT_EQ(r.status, 0u) << r.log;
        return r;
    }
    static YMTFunction* Fn(const Imported& r, uint32_t id = 0x100, uint32_t fblock = 0x22,
                           uint32_t instance = 0) {
        YMTFBlock* f = r.catalog->FBlockAt(fblock);
        YMTInstance* i = f ? f->InstanceAt(instance) : nullptr;
        return i ? static_cast<YMTFunction*>(i->GetAt(id)) : nullptr;
    }
};

} // namespace mostfcat::test
