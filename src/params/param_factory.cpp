// The choice of parameter class from a catalog's parameter element.
#include "import/import_context.h"
#include "params/param.h"
#include "params/param_bool.h"
#include "params/param_number.h"
#include "params/param_stream.h"
#include "params/param_struct.h"
#include "platform/strings.h"

namespace mostfcat {

using Ctx = YImportContext;

namespace {

// The type holders a parameter element may carry, in the order they are
// looked for.
const char* const kTypeHolders[16] = {
    "PUParamType", "MUParamType", "PNParamType",      "PEParamType",
    "PRParamType", "PAParamType", "PSParamType",      "PTParamType",
    "MTParamType", "PCParamType", "PQParamType",      "MQParamType",
    "ERParamType", "ParamType",   "TRecordFieldType", "TArrayElementType",
};

enum class StreamFamily { Long, Short };

// A stream element with stream cases that hold parameters or signals is a
// detailed stream; without such content it is a raw stream.
YMTParam* CreateStream(const XDomElement* stream, StreamFamily family) {
    size_t cases = Ctx::CountChildElements(stream, "StreamCase");
    bool detailed = cases > 1;
    if (cases == 1) {
        const XDomElement* c = Ctx::FirstChildElement(stream, "StreamCase");
        detailed =
            Ctx::FirstChildElement(c, "StreamParam") || Ctx::FirstChildElement(c, "StreamSignal");
    }
    if (family == StreamFamily::Short)
        return detailed ? static_cast<YMTParam*>(new YMTParamDetailedShortStream())
                        : new YMTParamRawShortStream();
    return detailed ? static_cast<YMTParam*>(new YMTParamDetailedStream())
                    : new YMTParamRawStream();
}

} // namespace

YMTParam* CreateParamFromElement(YImportContext&, const XDomElement* paramElement,
                                 bool errorDefaults, const std::string& ownerName) {
    if (!paramElement) return nullptr;
    std::string name;
    if (Ctx::ChildText(paramElement, "ParamName", name)) name = Trim(name);

    if (errorDefaults) {
        if (EqualsNoCase(name, "ErrorCode")) {
            auto* errorCode = new YMTParamEnum();
            errorCode->SetName("ErrorCode");
            return errorCode;
        }
        if (EqualsNoCase(name, "ErrorInfo")) {
            auto* errorInfo = new YMTParamDetailedStream();
            errorInfo->SetName("ErrorInfo");
            return errorInfo;
        }
    }

    const XDomElement* holder = nullptr;
    for (const char* tag : kTypeHolders)
        if ((holder = Ctx::FirstChildElement(paramElement, tag))) break;
    if (!holder) return nullptr;

    if (Ctx::FirstChildElement(holder, "TNumber")) return new YMTParamNumber();
    if (Ctx::FirstChildElement(holder, "TVoid")) return new YMTParamVoid();
    if (Ctx::FirstChildElement(holder, "TEnum")) return new YMTParamEnum();
    if (Ctx::FirstChildElement(holder, "TBool")) return new YMTParamBool();
    if (Ctx::FirstChildElement(holder, "TBitField")) return new YMTParamBitField();
    if (Ctx::FirstChildElement(holder, "TString")) return new YMTParamString();
    if (const XDomElement* s = Ctx::FirstChildElement(holder, "TStream")) {
        if (EqualsNoCase(name, "BitField") && EqualsNoCase(ownerName, "FktIDs"))
            return new YMTParamFktIDBitStream();
        return CreateStream(s, StreamFamily::Long);
    }
    if (const XDomElement* s = Ctx::FirstChildElement(holder, "TShortStream"))
        return CreateStream(s, StreamFamily::Short);
    if (Ctx::FirstChildElement(holder, "TArray")) return new YMTParamArray();
    if (Ctx::FirstChildElement(holder, "TRecord")) return new YMTParamRecord();
    if (Ctx::FirstChildElement(holder, "TCStream")) return new YMTParamCStream();
    return nullptr;
}

} // namespace mostfcat
