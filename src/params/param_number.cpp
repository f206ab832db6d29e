#include "params/param_number.h"

#include <charconv>
#include <cinttypes>
#include <cmath>
#include <initializer_list>
#include <new>

#include "import/import_log.h"
#include "import/import_state.h"
#include "import/text_read.h"
#include "decoding/disasm_context.h"
#include "decoding/value_text.h"
#include "params/layout_plan.h"
#include "platform/hex.h"
#include "platform/strings.h"
#include "tree/catalog.h"

namespace mostfcat {

using Ctx = YImportContext;

namespace {

// Integer texts larger than any limit of interest stop growing here, so that
// a long digit string reads as "too large" instead of wrapping around.
constexpr uint64_t kSaturated = uint64_t(1) << 62;

bool ReadDigits(const std::string& s, size_t from, unsigned base, uint64_t& out) {
    if (from >= s.size()) return false;
    uint64_t v = 0;
    for (size_t i = from; i < s.size(); ++i) {
        char c = LowerAscii(s[i]);
        unsigned d;
        if (c >= '0' && c <= '9')
            d = unsigned(c - '0');
        else if (c >= 'a' && c <= 'f')
            d = unsigned(c - 'a' + 10);
        else
            return false;
        if (d >= base) return false;
        v = v >= kSaturated ? kSaturated : v * base + d;
    }
    out = v;
    return true;
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
    return StartsWith(ToLower(s.substr(0, std::char_traits<char>::length(prefix))), prefix);
}

// Step texts: "0x" hexadecimal or "0b" binary integers, otherwise a decimal
// floating-point number; what cannot be read gives 0.
double ReadStep(const std::string& text) {
    std::string s = Trim(text);
    if (s.empty()) return 0;
    uint64_t v = 0;
    if (StartsWithNoCase(s, "0x")) return ReadDigits(s, 2, 16, v) ? double(v) : 0;
    if (StartsWithNoCase(s, "0b")) {
        std::string digits;
        for (size_t i = 2; i < s.size(); ++i)
            if (s[i] != ' ' && s[i] != '\t') digits.push_back(s[i]);
        return ReadDigits(digits, 0, 2, v) ? double(v) : 0;
    }
    size_t from = (s[0] == '+') ? 1 : 0;
    double d = 0;
    auto r = std::from_chars(s.data() + from, s.data() + s.size(), d, std::chars_format::general);
    if (r.ec != std::errc() || !std::isfinite(d)) return 0;
    return d;
}

// True when one of the function's operations has a direct child parameter of
// node type a or b.
bool FunctionHasParamOfType(const YMTNode* function, uint32_t a, uint32_t b) {
    const YMTChildList* ops = function->Children();
    if (!ops) return false;
    bool found = false;
    ForEachChild(*ops, [&](uint32_t, YMTNode* op) {
        if (found || op->NodeType() != kNodeOperation) return;
        const YMTChildList* params = op->Children();
        if (!params) return;
        ForEachChild(*params, [&](uint32_t, YMTNode* p) {
            uint32_t t = p->NodeType();
            if (t == a || t == b) found = true;
        });
    });
    return found;
}

bool IsAnyOf(const std::string& name, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (EqualsNoCase(name, n)) return true;
    return false;
}

// Code of a big-endian byte sequence as the handle interface reads it:
// 1 to 4 bytes, anything else gives 0.
uint32_t CodeOfBytes(const uint8_t* bytes, uint32_t length) {
    if (!bytes || length < 1 || length > 4) return 0;
    return BigEndianU32(bytes, length);
}

} // namespace

uint32_t BigEndianU32(const uint8_t* bytes, uint32_t length) {
    uint32_t v = 0;
    if (!bytes) return 0;
    for (uint32_t i = 0; i < length; ++i)
        v = (v << 8) | bytes[i];
    return v;
}

uint64_t BigEndianU64(const uint8_t* bytes, uint32_t length) {
    uint64_t v = 0;
    if (!bytes) return 0;
    for (uint32_t i = 0; i < length; ++i)
        v = (v << 8) | bytes[i];
    return v;
}

// --- YMTParamNumber ----------------------------------------------------------------

uint32_t YMTParamNumber::DataTypeClass() const {
    uint32_t base = IsSigned() ? 3 : 0;
    switch (BytesInMsg()) {
    case 1:
        return base;
    case 2:
        return base + 1;
    default:
        return base + 2;
    }
}

double YMTParamNumber::ClassMin() const {
    static const double kMin[6] = {0, 0, 0, -128.0, -32768.0, -2147483648.0};
    return kMin[DataTypeClass()];
}

double YMTParamNumber::ClassMax() const {
    static const double kMax[6] = {255.0, 65535.0, 4294967295.0, 127.0, 32767.0, 2147483647.0};
    return kMax[DataTypeClass()];
}

bool YMTParamNumber::ReadLimitValue(const std::string& text, double& value) const {
    std::string s = text;
    if (s.size() > 1 && s[0] == '+') s.erase(0, 1);
    bool negative = false;
    if (s.size() > 1 && s[0] == '-') {
        negative = true;
        s.erase(0, 1);
    }
    size_t blanks = s.find_first_not_of(" \t");
    s.erase(0, blanks == std::string::npos ? s.size() : blanks);

    uint64_t v = 0;
    int64_t result = 0;
    if (s.size() >= 3 && StartsWithNoCase(s, "0x")) {
        if (!ReadDigits(s, 2, 16, v)) return false;
        result = static_cast<int64_t>(v);
        if (IsSigned()) {
            // The hexadecimal text is a bit pattern of the width.
            uint32_t cls = DataTypeClass();
            uint64_t span = cls == 3 ? 0x100 : cls == 4 ? 0x10000 : 0x100000000ull;
            if (v < span && v >= span / 2)
                result = static_cast<int64_t>(v) - static_cast<int64_t>(span);
        }
    } else {
        if (!ReadDigits(s, 0, 10, v)) return false;
        result = static_cast<int64_t>(v);
    }
    value = static_cast<double>(negative ? -result : result);
    return true;
}

const YMTDefType* YMTParamNumber::ReadType(const XDomElement* number, YImportContext& ctx,
                                           YImportLog& log) {
    const XDomElement* basis = Ctx::FirstChildElement(number, "BasisDataType");
    if (!basis) {
        MissingElement(71, "BasisDataType", log);
        return nullptr;
    }
    static const char kTypeTags[7][25] = {"TVoid",  "TUByte", "TUWord", "TULong",
                                          "TSByte", "TSWord", "TSLong"};
    std::string typeRef;
    bool found = false;
    for (const char* tag : kTypeTags) {
        for (const XDomElement* e = Ctx::FirstChildElement(basis, tag); e && !found;
             e = Ctx::NextSiblingElement(e, tag))
            found = Ctx::GetAttr(e, "TypeRef", typeRef);
        if (found) break;
    }
    const YMTDefinition* defs = ContextDefinitions(ctx);
    const YMTDefType* type = (found && defs) ? defs->FindType(typeRef) : nullptr;
    if (!type) {
        log.LogError(151, "Type definition not found", PathName());
        return nullptr;
    }
    m_IsSigned = (type->DefCode == 8 || type->DefCode == 10 || type->DefCode == 12) ? 0 : 1;
    return type;
}

bool YMTParamNumber::ReadUnit(const XDomElement* number, const YMTDefType& type,
                              YImportContext& ctx, YImportLog& log) {
    std::string unitRef;
    if (!Ctx::GetChildAttr(number, "Unit", "UnitRef", unitRef))
        return MissingElement(72, "Unit", log);
    m_BytesInMsg = type.DefSize;
    m_UnitName.clear();
    const YMTDefinition* defs = ContextDefinitions(ctx);
    const YMTDefUnit* unit = defs ? defs->FindUnit(unitRef) : nullptr;
    if (!unit) {
        log.LogWarning(152, "Cannot find unit definition", PathName(), 1);
        return true;
    }
    if (EqualsNoCase(unit->IDNameRef(), "unit_undefined") ||
        EqualsNoCase(unit->IDNameRef(), "unit_none"))
        return true;
    m_UnitName = unit->NameRef();
    return true;
}

void YMTParamNumber::ReadLimits(const XDomElement* number, const std::string& typeName,
                                YImportLog& log) {
    std::string minText, maxText;
    Ctx::ChildText(number, "RangeMin", minText);
    Ctx::ChildText(number, "RangeMax", maxText);
    minText = Trim(minText);
    maxText = Trim(maxText);

    auto outside = [&](const std::string& text, const char* which, uint32_t warning) {
        log.LogWarning(warning,
                       StrFormat("Value '%s' in '%s' is outside limits of base data type '%s'",
                                 text.c_str(), which, typeName.c_str()),
                       PathName(), 0);
    };

    bool fullRange = false;
    bool hasMin = false, hasMax = false;
    double lower = 0, upper = 0;
    if (!minText.empty()) {
        if (EqualsNoCase(minText, "full range")) {
            fullRange = true;
        } else if (!ReadLimitValue(minText, lower)) {
            log.LogWarning(236, StrFormat("Failed to analyze value '%s'", minText.c_str()),
                           PathName(), 0);
        } else if (lower < ClassMin() || lower > ClassMax()) {
            outside(minText, "RangeMin", 234);
        } else {
            hasMin = true;
        }
    }
    if (!maxText.empty()) {
        if (EqualsNoCase(maxText, "NMax")) {
            upper = ClassMax();
            hasMax = true;
        } else if (EqualsNoCase(maxText, "full range")) {
            m_RangeMin = m_RangeMax = 0;
            return;
        } else if (!ReadLimitValue(maxText, upper)) {
            log.LogWarning(237, StrFormat("Failed to analyze value '%s'", maxText.c_str()),
                           PathName(), 0);
        } else if (upper < ClassMin() || upper > ClassMax()) {
            outside(maxText, "RangeMax", 235);
        } else {
            hasMax = true;
        }
    }

    if (fullRange || (!hasMin && !hasMax)) {
        m_RangeMin = m_RangeMax = 0;
    } else if (hasMin && hasMax) {
        if (lower > upper) {
            log.LogWarning(238,
                           "Error in definition of value limits (lower limit greater than upper "
                           "limit, or base data type conflict)",
                           PathName(), 0);
            m_RangeMin = m_RangeMax = 0;
        } else {
            m_RangeMin = lower;
            m_RangeMax = upper;
        }
    } else if (hasMin) {
        m_RangeMin = lower;
        m_RangeMax = ClassMax();
    } else {
        m_RangeMin = ClassMin();
        m_RangeMax = upper;
    }
}

bool YMTParamNumber::ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) {
    if (!ImportNames(element, ctx, log)) return false;
    DefaultName("_NA_");
    if (!ImportPosition(element, ctx, log)) return false;

    const XDomElement* number = FindTypeElement(element, "TNumber");
    if (!number) return MissingElement(66, "TNumber", log);

    std::string exponent;
    if (!Ctx::ChildText(number, "Exponent", exponent))
        log.LogWarning(67, "Can not find element <Exponent>", PathName(), 0);
    int64_t e = 0;
    m_Exponent = ReadNumber(exponent, e) ? static_cast<int32_t>(e) : 0;

    const YMTDefType* type = ReadType(number, ctx, log);
    if (!type) return false;
    if (!ReadUnit(number, *type, ctx, log)) return false;

    if (EqualsNoCase(m_Texts.Name(), "Pos")) {
        if (BytesInMsg() != 2)
            log.LogWarning(73, "Size of 'Pos' parameter <> 2 Bytes", PathName(), 1);
        if (m_Exponent != 0) log.LogWarning(74, "Exponent of 'Pos' parameter <> 0", PathName(), 1);
    }

    ReadLimits(number, type->NameRef(), log);

    std::string step;
    if (!Ctx::ChildText(number, "Step", step))
        log.LogWarning(70, "Can not find element <Step>", PathName(), 0);
    m_Step = ReadStep(step);
    return true;
}

uint32_t YMTParamNumber::DeriveMeaning() const {
    const YMTNode* parent = Parent();
    // No parent, or an operation whose function has an array (or a record,
    // when allowed) among its operations' parameters.
    auto underListOperation = [&](bool withRecords) {
        if (!parent) return true;
        if (parent->NodeType() != kNodeOperation) return false;
        const YMTNode* function = parent->Parent();
        if (!function || function->NodeType() != kNodeFunction) return false;
        return FunctionHasParamOfType(function, kNodeArray, withRecords ? kNodeRecord : kNodeArray);
    };
    switch (BytesInMsg()) {
    case 2:
        if (IsAnyOf(m_Texts.Name(), {"Pos", "Position"}))
            return underListOperation(true) ? kMeaningArrayPos : kMeaningNone;
        if (EqualsNoCase(m_Texts.Name(), "FktID")) {
            const YMTNode* function = Function();
            return (function && IsAnyOf(function->NameRef(), {"Notification", "NotificationCheck"}))
                       ? kMeaningNotifyFktID
                       : kMeaningNone;
        }
        if (EqualsNoCase(m_Texts.Name(), "Tag"))
            return underListOperation(false) ? kMeaningArrayTag : kMeaningNone;
        return 0;
    case 1:
        if (IsAnyOf(m_Texts.Name(), {"FBlockID", "SourceFBlock", "SinkFBlock"}))
            return kMeaningFBlockID;
        if (EqualsNoCase(m_Texts.Name(), "PosY"))
            return underListOperation(false) ? kMeaningArrayPosY : kMeaningNone;
        return 0;
    default:
        if (EqualsNoCase(m_Texts.Name(), "ListSize") &&
            (!parent || parent->NodeType() == kNodeOperation ||
             parent->NodeType() == kNodeStreamCase))
            return kMeaningListSize;
        return 0;
    }
}

bool YMTParamNumber::Check(YImportContext& ctx, YImportLog& log) {
    if (!YMTParam::Check(ctx, log)) return false;
    if (m_ParamMeaning == 0) m_ParamMeaning = static_cast<uint8_t>(DeriveMeaning());
    if (m_ParamDispMode == 0)
        m_ParamDispMode = ctx.Settings().IsHexPreferred(m_Texts.Name()) ? kDispHex : kDispDecimal;
    return true;
}

bool YMTParamNumber::IsNameDuplicated() {
    if (EqualsNoCase(m_Texts.Name(), "Tag")) return false;
    return YMTParam::IsNameDuplicated();
}

template <class Ar> void YMTParamNumber::SerializeFields(Ar& ar) {
    YMTParam::SerializeFields(ar);
    ar.Serialize8(m_IsSigned);
    ar.Serialize32(m_Exponent);
    ar.SerializeDouble(m_RangeMin);
    ar.SerializeDouble(m_RangeMax);
    ar.SerializeDouble(m_Step);
    ar.SerializeString(m_UnitName);
    ar.Serialize8(m_ParamMeaning);
    ar.Serialize8(m_ParamDispMode);
}

void YMTParamNumber::Serialize(YMTArchive& ar) {
    SerializeFields(ar);
}

void YMTParamNumber::Read(YMTRecordReader& ar) {
    SerializeFields(ar);
}

bool YMTParamNumber::Dump(YImportContext&, YImportLog& log) {
    DumpLine(log, "PARAMNUMBER: " + m_Texts.Name());
    DumpCommon(log);
    DumpLine(log, StrFormat(".Exponent: %d", static_cast<int>(m_Exponent)));
    DumpLine(log, StrFormat(".Range: %f-%f", m_RangeMin, m_RangeMax));
    DumpLine(log, StrFormat(".Step: %f", m_Step));
    DumpLine(log, ".UnitName: " + m_UnitName);
    DumpLine(log, StrFormat(".ParamMeaning: %d", static_cast<int>(m_ParamMeaning)));
    DumpLine(log, StrFormat(".ParamDispMode: %d", static_cast<int>(m_ParamDispMode)));
    return true;
}

bool YMTParamNumber::CopyFrom(const YMTNode* source) {
    if (!YMTParam::CopyFrom(source)) return false;
    const auto* n = static_cast<const YMTParamNumber*>(source);
    m_IsSigned = n->m_IsSigned;
    m_Exponent = n->m_Exponent;
    m_RangeMin = n->m_RangeMin;
    m_RangeMax = n->m_RangeMax;
    m_Step = n->m_Step;
    m_UnitName = n->m_UnitName;
    m_ParamMeaning = n->m_ParamMeaning;
    m_ParamDispMode = n->m_ParamDispMode;
    return true;
}

uint32_t YMTParamNumber::GetAttrStr(uint32_t attr, const char** value) {
    if (attr == 1013) {
        *value = m_UnitName.c_str();
        return kAttrOk;
    }
    return YMTParam::GetAttrStr(attr, value);
}

uint32_t YMTParamNumber::GetAttrInt(uint32_t attr, uint32_t* value) {
    switch (attr) {
    case 1002:
        *value = 1;
        return kAttrOk;
    case 1009:
        *value = DataTypeClass();
        return kAttrOk;
    case 1012:
        *value = static_cast<uint32_t>(m_Exponent);
        return kAttrOk;
    case 1014:
        *value = 1;
        return kAttrOk;
    case 1015:
        *value = m_IsSigned ? 1 : 0;
        return kAttrOk;
    default:
        return YMTParam::GetAttrInt(attr, value);
    }
}

uint32_t YMTParamNumber::GetAttrFloat(uint32_t attr, double* value) {
    switch (attr) {
    case 1010:
        *value = m_RangeMin;
        return kAttrOk;
    case 1011:
        *value = m_RangeMax;
        return kAttrOk;
    case 1016:
        *value = 0.0;
        return kAttrOk;
    case 1017:
        *value = std::pow(10.0, static_cast<double>(m_Exponent));
        return kAttrOk;
    default:
        return YMTParam::GetAttrFloat(attr, value);
    }
}

uint32_t YMTParamNumber::ConvertBytesToInt(const uint8_t* bytes, uint32_t length, uint32_t* value) {
    if (!value) return kAttrNotAvailable;
    *value = CodeOfBytes(bytes, length);
    return kAttrOk;
}

// --- YMTEnumValue ----------------------------------------------------------------

YMTEnumValue::YMTEnumValue(const std::string& text, uint16_t codeMin, uint16_t codeMax)
    : m_CodeMin(codeMin), m_CodeMax(codeMax) {
    m_Texts.SetName(text);
    m_Texts.SetDescription(text);
}

bool YMTEnumValue::ImportXML(const XDomElement* element, YImportContext&, YImportLog& log) {
    std::string text;
    if (!Ctx::GetAttr(element, "SymbolicName", text) || text.empty()) text = Ctx::Text(element);
    m_Texts.SetDescription(text);
    m_Texts.SetName(KeepPrintable(text, 255));

    std::string code;
    if (!Ctx::GetAttr(element, "Code", code)) {
        log.LogError(75, "Missing required attribute Code", PathName());
        return false;
    }
    YCodeRange range;
    if (!ReadCodeRange(code, range)) {
        if (ToLower(code).find("0b") == std::string::npos) {
            log.LogError(76, StrFormat("Failed to analyze value '%s'", code.c_str()), PathName());
            return false;
        }
        // Binary codes may mark "don't care" bits with "-"; they read as 0.
        std::string zeroed = code;
        for (char& c : zeroed)
            if (c == '-') c = '0';
        if (!ReadCodeRange(zeroed, range)) {
            log.LogError(156, StrFormat("Failed to analyze value '%s'", code.c_str()), PathName());
            return false;
        }
        log.LogWarning(155, StrFormat("'-' replaced by '0' in enum code '%s'", code.c_str()),
                       PathName(), 5);
    }
    // Codes are unsigned 16-bit: a negative end is as much out of range as a
    // large one.
    if (range.min < 0 || range.min > 65535) {
        log.LogError(193,
                     StrFormat("Value '%" PRId64 "' out of range [%d, %d)", range.min, 0, 65535),
                     PathName());
        return false;
    }
    if (range.max < 0 || range.max > 65535) {
        log.LogError(194,
                     StrFormat("Value '%" PRId64 "' out of range [%d, %d)", range.max, 0, 65535),
                     PathName());
        return false;
    }
    m_CodeMin = static_cast<uint16_t>(range.min);
    m_CodeMax = static_cast<uint16_t>(range.max);
    return true;
}

template <class Ar> void YMTEnumValue::SerializeFields(Ar& ar) {
    SerializeNodeFields(ar);
    ar.Serialize16(m_CodeMin);
    ar.Serialize16(m_CodeMax);
}

void YMTEnumValue::Serialize(YMTArchive& ar) {
    SerializeFields(ar);
}

void YMTEnumValue::Read(YMTRecordReader& ar) {
    SerializeFields(ar);
}

bool YMTEnumValue::Dump(YImportContext&, YImportLog& log) {
    DumpLine(log,
             StrFormat("ENUMVALUE: %s  .CodeMin: 0x%02X .CodeMax: 0x%02X", m_Texts.Name().c_str(),
                       static_cast<unsigned>(m_CodeMin), static_cast<unsigned>(m_CodeMax)));
    return true;
}

bool YMTEnumValue::CopyFrom(const YMTNode* source) {
    if (!YMTNode::CopyFrom(source)) return false;
    const auto* v = static_cast<const YMTEnumValue*>(source);
    m_CodeMin = v->m_CodeMin;
    m_CodeMax = v->m_CodeMax;
    return true;
}

YMTNode* YMTEnumValue::Clone() const {
    return CloneAs(this);
}

uint32_t YMTEnumValue::GetAttrStr(uint32_t attr, const char** value) {
    switch (attr) {
    case 3:
    case 1200:
        *value = m_Texts.Name().c_str();
        return kAttrOk;
    case 5:
    case 1203:
        *value = m_Texts.Description().c_str();
        return kAttrOk;
    default:
        return kAttrNotAvailable;
    }
}

uint32_t YMTEnumValue::GetAttrInt(uint32_t attr, uint32_t* value) {
    switch (attr) {
    case 0:
        *value = kItemEnumValue;
        return kAttrOk;
    case 1201:
        *value = m_CodeMin;
        return kAttrOk;
    case 1202:
        *value = m_CodeMax;
        return kAttrOk;
    default:
        return YMTNode::GetAttrInt(attr, value);
    }
}

// --- YMTParamEnum ----------------------------------------------------------------

void YMTParamEnum::SetEnumMax(uint16_t enumMax) {
    m_EnumMax = enumMax;
    m_BytesInMsg = enumMax < 256 ? 1 : 2;
}

void YMTParamEnum::AddValue(const std::string& text, uint16_t codeMin, uint16_t codeMax) {
    auto* value = new YMTEnumValue(text, codeMin, codeMax);
    value->SetParent(this);
    Add(value);
}

bool YMTParamEnum::ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) {
    if (!ImportNames(element, ctx, log)) return false;
    DefaultName("_NA_");
    if (!ImportPosition(element, ctx, log)) return false;

    const XDomElement* tenum = FindTypeElement(element, "TEnum");
    if (!tenum) return MissingElement(77, "TEnum", log);

    for (const XDomElement* e = Ctx::FirstChildElement(tenum, "TEnumValue"); e;
         e = Ctx::NextSiblingElement(e, "TEnumValue")) {
        auto* value = new (std::nothrow) YMTEnumValue();
        if (!value) {
            log.LogFatal("Not enough memory", PathName());
            return false;
        }
        value->SetParent(this);
        if (value->ImportXML(e, ctx, log)) {
            Add(value);
        } else {
            log.LogError(81, "Failed to import element <TEnumValue>", PathName());
            delete value;
        }
    }

    // The explicit maximum, if the catalog gives a usable one.
    bool explicitMax = false;
    std::string maxText;
    if (Ctx::GetAttr(tenum, "TEnumMax", maxText) && !EqualsNoCase(Trim(maxText), "#NULL#")) {
        YCodeRange range;
        if (!ReadCodeRange(maxText, range) || range.min < 0 || range.max < 0) {
            log.LogWarning(79,
                           StrFormat("Failed to analyze attribute value '%s'. EnumMax will be "
                                     "derived from enum value table.",
                                     maxText.c_str()),
                           PathName(), 10);
        } else if (range.max > 65535) {
            log.LogWarning(82,
                           StrFormat("Value %" PRId64 " out of range [%d,%d). Using %d instead.",
                                     range.max, 0, 65536, 65535),
                           PathName(), 10);
        } else {
            explicitMax = true;
            m_EnumMax = static_cast<uint16_t>(range.max);
        }
    }

    // Value checks. The largest code is taken over all values even after a
    // warning ends the checks, so that the width always holds every code.
    uint32_t largest = 0;
    bool checking = true;
    for (uint32_t i = 0; i < GetSize(); ++i) {
        const YMTEnumValue* v = ValueAt(i);
        if (!v) continue;
        if (v->CodeMax() > largest) largest = v->CodeMax();
        if (!checking) continue;
        if (explicitMax && (v->CodeMin() > m_EnumMax || v->CodeMax() > m_EnumMax)) {
            log.LogWarning(83, "Enum code out of range (0...EnumMax)", PathName(), 1);
            checking = false;
            continue;
        }
        for (uint32_t j = i + 1; j < GetSize() && checking; ++j) {
            const YMTEnumValue* w = ValueAt(j);
            if (!w) continue;
            // Any shared code counts, including one range lying inside another.
            if (v->CodeMin() <= w->CodeMax() && w->CodeMin() <= v->CodeMax()) {
                log.LogWarning(85, "Overlapping value(s) of enum codes", PathName(), 1);
                checking = false;
            }
        }
    }
    if (!explicitMax) m_EnumMax = largest > 255 ? 65535 : 255;
    m_BytesInMsg = m_EnumMax < 256 ? 1 : 2;
    return true;
}

YMTEnumValue* YMTParamEnum::ValueAt(uint32_t index) const {
    YMTNode* n = GetAt(index);
    return (n && n->NodeType() == kNodeEnumValue) ? static_cast<YMTEnumValue*>(n) : nullptr;
}

YMTEnumValue* YMTParamEnum::FindValueByCode(uint32_t code) const {
    for (uint32_t i = 0, n = ItemCount(); i < n; ++i) {
        YMTNode* node = ItemAt(i);
        if (node && node->NodeType() == kNodeEnumValue) {
            auto* v = static_cast<YMTEnumValue*>(node);
            if (v->Covers(code)) return v;
        }
    }
    return nullptr;
}

YMTEnumValue* YMTParamEnum::FindValueByName(const std::string& name) const {
    for (uint32_t i = 0; i < GetSize(); ++i) {
        YMTEnumValue* v = ValueAt(i);
        if (v && EqualsNoCase(v->NameRef(), name)) return v;
    }
    return nullptr;
}

std::string YMTParamEnum::CodeText(uint32_t code, bool markUnknown) const {
    if (const YMTEnumValue* v = FindValueByCode(code)) return v->NameRef();
    if (!markUnknown) return std::string();
    std::string text;
    AppendUnknownCode(text, code);
    return text;
}

void YMTParamEnum::AppendUnknownCode(std::string& out, uint32_t code) {
    // "# Unknown code: %d #" (decoding meets it for every code a payload
    // invents, so it is built without a format string).
    out += "# Unknown code: ";
    AppendInt(out, static_cast<int>(code));
    out += " #";
}

std::string YMTParamEnum::FormatEntry(uint32_t code, const std::string& text,
                                      uint32_t flags) const {
    std::string codePart;
    if (flags & 16)
        codePart =
            StrFormat(BytesInMsg() == 4 ? "%s%04X" : "%s%02X", (flags & 32) ? "0x" : "", code);
    else
        codePart = StrFormat("%d", static_cast<int>(code));
    bool showCode = (flags & 1) != 0;
    bool showText = (flags & 2) != 0;
    if (showCode && showText) return codePart + ": " + text;
    if (showCode) return codePart;
    if (showText) return text;
    return std::string();
}

void YMTParamEnum::ListEntries(std::vector<std::string>& list, uint32_t flags) const {
    for (uint32_t i = 0; i < GetSize(); ++i) {
        const YMTEnumValue* v = ValueAt(i);
        if (!v) continue;
        for (uint32_t code = v->CodeMin(); code <= v->CodeMax(); ++code)
            list.push_back(FormatEntry(code, v->NameRef(), flags));
    }
}

template <class Ar> void YMTParamEnum::SerializeFields(Ar& ar) {
    YMTParam::SerializeFields(ar);
    ar.Serialize16(m_EnumMax);
    ar.SerializeList(*this, YMTListKind::EnumValues);
}

void YMTParamEnum::Serialize(YMTArchive& ar) {
    SerializeFields(ar);
}

void YMTParamEnum::Read(YMTRecordReader& ar) {
    SerializeFields(ar);
}

bool YMTParamEnum::Dump(YImportContext& ctx, YImportLog& log) {
    DumpLine(log, "PARAMENUM: " + m_Texts.Name());
    DumpCommon(log);
    DumpLine(log, StrFormat(".EnumMax: %d", static_cast<int>(m_EnumMax)));
    DumpAll(ctx, log);
    return true;
}

bool YMTParamEnum::CopyFrom(const YMTNode* source) {
    if (!YMTParam::CopyFrom(source)) return false;
    const auto* e = static_cast<const YMTParamEnum*>(source);
    m_EnumMax = e->m_EnumMax;
    return YMTChildList::CopyFrom(*e, this);
}

uint32_t YMTParamEnum::GetSubItemList(uint32_t itemType, YMTNode* const** items, uint32_t* count) {
    return SubItems(itemType, kItemEnumValue, items, count);
}

uint32_t YMTParamEnum::GetAttrInt(uint32_t attr, uint32_t* value) {
    switch (attr) {
    case 1002:
        *value = 2;
        return kAttrOk;
    case 1009:
        switch (BytesInMsg()) {
        case 1:
            *value = 0;
            return kAttrOk;
        case 2:
            *value = 1;
            return kAttrOk;
        case 4:
            *value = 2;
            return kAttrOk;
        default:
            return kAttrNotAvailable;
        }
    case 1014:
        *value = 1;
        return kAttrOk;
    case 1015:
        *value = 0;
        return kAttrOk;
    case 1030:
        *value = m_EnumMax;
        return kAttrOk;
    default:
        return YMTParam::GetAttrInt(attr, value);
    }
}

uint32_t YMTParamEnum::ConvertBytesToStr(const uint8_t* bytes, uint32_t length, char* text,
                                         int32_t textSize) {
    const YMTEnumValue* v = FindValueByCode(CodeOfBytes(bytes, length));
    return CopyTextOut(v ? v->NameRef() : std::string(), text, textSize);
}

uint32_t YMTParamEnum::ConvertBytesToInt(const uint8_t* bytes, uint32_t length, uint32_t* value) {
    if (!value) return kAttrNotAvailable;
    *value = CodeOfBytes(bytes, length);
    return kAttrOk;
}

// --- value conversions and the decoding steps --------------------------------------

namespace {

double Pow10(int32_t e) {
    static const double kPow[] = {1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1.0, 1e1, 1e2, 1e3, 1e4, 1e5};
    if (e >= -5 && e <= 5) return kPow[e + 5];
    return std::pow(10.0, static_cast<double>(e));
}

} // namespace

int64_t YMTParamNumber::RawValue(const uint8_t* bytes, size_t size) const {
    uint64_t raw = ReadBigEndian(bytes, size);
    if (IsSigned()) {
        if (size == 1) return static_cast<int8_t>(raw);
        if (size == 2) return static_cast<int16_t>(raw);
        if (size == 4) return static_cast<int32_t>(raw);
    }
    return static_cast<int64_t>(raw);
}

std::string YMTParamNumber::NumberText(const uint8_t* bytes, size_t size, bool hex) const {
    if (m_ParamMeaning == kMeaningArrayPos) {
        std::string out = "PosX=";
        AppendUInt(out, size > 0 ? bytes[0] : 0);
        out += " PosY=";
        AppendUInt(out, size > 1 ? bytes[1] : 0);
        return out;
    }
    if (hex) {
        std::string out;
        AppendHex(out, bytes, size);
        return out;
    }
    if (ReadBigEndian(bytes, size) == 0) return "0";
    std::string out;
    AppendScaled(out, RawValue(bytes, size), m_Exponent, Pow10(m_Exponent));
    return out;
}

double YMTParamNumber::NumberValue(const uint8_t* bytes, size_t size) const {
    return static_cast<double>(RawValue(bytes, size)) * Pow10(m_Exponent);
}

bool YMTParamNumber::EncodeNumber(double raw, std::vector<uint8_t>& out) const {
    if (!(raw >= ClassMin() && raw <= ClassMax())) return false;
    int64_t v = static_cast<int64_t>(raw);
    uint32_t cls = DataTypeClass();
    size_t width = (cls == 0 || cls == 3) ? 1 : (cls == 1 || cls == 4) ? 2 : 4;
    uint32_t bits = static_cast<uint32_t>(v);
    out.resize(width);
    for (size_t i = 0; i < width; ++i)
        out[i] = static_cast<uint8_t>(bits >> (8 * (width - 1 - i)));
    return true;
}

bool YMTParamNumber::IsCountSource() const {
    return m_ParamMeaning == kMeaningListSize || EqualsNoCase(NameRef(), "ListSize");
}

namespace {

// A wildcard entry of n zero bytes (the data keeps the payload in shape).
void AddWildcard(DisasmContext& ctx, uint32_t kind, const YMTParam& param, uint32_t n) {
    std::vector<uint8_t> zeros(n, 0);
    YFciParamInfoImpl* e = ctx.NewEntry(kind, param.Entry(), zeros.data(), n, ctx.m_Pos, false, n * 8);
    e->SetWildcard(true);
    ctx.AddEntry(e);
    ctx.m_Pos += n;
    ++ctx.m_InputIndex;
}

} // namespace

bool YMTParamNumber::Disassemble(DisasmContext& ctx) {
    return DecodeNumber(ctx, YNumberStep::Of(*this));
}

bool YMTParamNumber::Assemble(DisasmContext& ctx) {
    bool done = false;
    if (!ctx.TakeInput(done)) return done;
    const std::string& input = ctx.CurrentInput();
    if (input == "*") {
        if (!ctx.Opt(kOptWildcards) || IsSelector() || m_ParamMeaning == kMeaningArrayPos ||
            m_ParamMeaning == kMeaningArrayTag || m_ParamMeaning == kMeaningArrayPosY) {
            ctx.SetStatus(kAsmWildcardRefused);
            return false;
        }
        AddWildcard(ctx, kKindNumber, *this, BytesInMsg());
        return true;
    }
    double raw = 0;
    if (!InputHasShape(kKindNumber, input) || !ParseNumberInput(input, raw)) {
        ctx.SetStatus(kAsmBadInput);
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!EncodeNumber(raw, bytes)) {
        ctx.SetStatus(kAsmNotConvertible);
        return false;
    }
    uint32_t n = static_cast<uint32_t>(bytes.size());
    uint64_t value = ReadBigEndian(bytes.data(), n);
    if (IsSelector()) ctx.RecordSelector(this, static_cast<uint32_t>(value), 0);
    if (IsCountSource()) ctx.RecordCount(this, static_cast<uint32_t>(value));
    YFciParamInfoImpl* e =
        ctx.NewEntry(kKindNumber, Entry(), bytes.data(), n, ctx.m_Pos, false, n * 8);
    FillNumberEntry(ctx, YNumberStep::Of(*this), *e, bytes.data(), n);
    ctx.AddEntry(e);
    ctx.m_Pos += n;
    ++ctx.m_InputIndex;
    return true;
}

bool YMTParamEnum::EncodeEnum(uint32_t code, std::vector<uint8_t>& out) const {
    if (BytesInMsg() <= 1) {
        if (code > 255) return false;
        out.assign(1, static_cast<uint8_t>(code));
        return true;
    }
    if (code > 65535) return false;
    out = {static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code)};
    return true;
}

uint32_t YMTParamEnum::ParseEnumInput(const std::string& text, uint32_t& code) const {
    if (const YMTEnumValue* v = FindValueByName(text)) {
        if (v->CodeMin() != v->CodeMax()) return kAsmAmbiguousName;
        code = v->CodeMin();
        return kAsmOk;
    }
    int64_t number = 0;
    if (!ReadNumber(text, number) || number < 0 || number > int64_t(UINT32_MAX))
        return kAsmNotConvertible;
    code = static_cast<uint32_t>(number);
    return kAsmOk;
}

bool YMTParamEnum::Disassemble(DisasmContext& ctx) {
    return DecodeEnum(ctx, YEnumStep::Of(*this));
}

bool YMTParamEnum::Assemble(DisasmContext& ctx) {
    bool done = false;
    if (!ctx.TakeInput(done)) return done;
    const std::string& input = ctx.CurrentInput();
    if (input == "*") {
        if (!ctx.WildcardAllowed()) return false;
        if (IsSelector()) ctx.RecordSelector(this, 0, 1);
        AddWildcard(ctx, kKindEnum, *this, BytesInMsg());
        return true;
    }
    if (!InputHasShape(kKindEnum, input)) {
        ctx.SetStatus(kAsmBadInput);
        return false;
    }
    uint32_t code = 0;
    std::vector<uint8_t> bytes;
    uint32_t status = ParseEnumInput(input, code);
    if (status == kAsmOk && !EncodeEnum(code, bytes)) status = kAsmNotConvertible;
    if (status != kAsmOk) {
        ctx.SetStatus(status);
        return false;
    }
    uint32_t n = static_cast<uint32_t>(bytes.size());
    if (IsSelector()) ctx.RecordSelector(this, code, 0);
    YFciParamInfoImpl* e = ctx.NewEntry(kKindEnum, Entry(), bytes.data(), n, ctx.m_Pos, false, n * 8);
    FillEnumEntry(ctx, YEnumStep::Of(*this), *e, bytes.data(), n);
    ctx.AddEntry(e);
    ctx.m_Pos += n;
    ++ctx.m_InputIndex;
    return true;
}

} // namespace mostfcat
