// The choice of parameter class from a catalog's parameter element.
#include "import/import_context.h"
#include "params/param.h"
#include "platform/strings.h"

namespace mostfcat {

using Ctx = YImportContext;

namespace {

// The type holders a parameter element may carry, in the order they are
// looked for.
const char* const kTypeHolders[16] = {
    "PUParamType", "MUParamType",  "PNParamType", "PEParamType",      "PRParamType",
    "PAParamType", "PSParamType",  "PTParamType", "MTParamType",      "PCParamType",
    "PQParamType", "MQParamType",  "ERParamType", "ParamType",        "TRecordFieldType",
    "TArrayElementType",
};

enum class StreamFamily { Long, Short };

// A stream element with stream cases that hold parameters or signals is a
// detailed stream; without such content it is a raw stream.
YMTParam* CreateStream(const XDomElement* stream, StreamFamily family) {
    size_t cases = Ctx::CountChildElements(stream, "StreamCase");
    bool detailed = cases > 1;
    if (cases == 1) {
        const XDomElement* c = Ctx::FirstChildElement(stream, "StreamCase");
        detailed = Ctx::FirstChildElement(c, "StreamParam") || Ctx::FirstChildElement(c, "StreamSignal");
    }
    (void)detailed;
    (void)family;
    return nullptr; // stream classes are added with the stream parameters
}

} // namespace

YMTParam* CreateParamFromElement(YImportContext&, const XDomElement* paramElement,
                                 bool errorDefaults, const std::string& ownerName) {
    if (!paramElement) return nullptr;
    std::string name;
    if (Ctx::ChildText(paramElement, "ParamName", name)) name = Trim(name);

    if (errorDefaults) {
        // "ErrorCode" and "ErrorInfo" become the built-in error parameters once
        // the enumeration and stream classes exist.
    }

    const XDomElement* holder = nullptr;
    for (const char* tag : kTypeHolders)
        if ((holder = Ctx::FirstChildElement(paramElement, tag))) break;
    if (!holder) return nullptr;

    if (Ctx::FirstChildElement(holder, "TNumber")) return nullptr;
    if (Ctx::FirstChildElement(holder, "TVoid")) return nullptr;
    if (Ctx::FirstChildElement(holder, "TEnum")) return nullptr;
    if (Ctx::FirstChildElement(holder, "TBool")) return nullptr;
    if (Ctx::FirstChildElement(holder, "TBitField")) return nullptr;
    if (Ctx::FirstChildElement(holder, "TString")) return nullptr;
    if (const XDomElement* s = Ctx::FirstChildElement(holder, "TStream")) {
        if (EqualsNoCase(name, "BitField") && EqualsNoCase(ownerName, "FktIDs")) return nullptr;
        return CreateStream(s, StreamFamily::Long);
    }
    if (const XDomElement* s = Ctx::FirstChildElement(holder, "TShortStream"))
        return CreateStream(s, StreamFamily::Short);
    if (Ctx::FirstChildElement(holder, "TArray")) return nullptr;
    if (Ctx::FirstChildElement(holder, "TRecord")) return nullptr;
    if (Ctx::FirstChildElement(holder, "TCStream")) return nullptr;
    return nullptr;
}

} // namespace mostfcat
