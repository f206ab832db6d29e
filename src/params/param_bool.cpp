#include "params/param_bool.h"

#include "decoding/disasm_context.h"
#include "decoding/value_text.h"
#include "platform/hex.h"

#include "import/import_log.h"
#include "import/text_read.h"
#include "params/layout_plan.h"
#include "params/param_number.h"
#include "platform/strings.h"

namespace mostfcat {

using Ctx = YImportContext;

namespace {

constexpr uint32_t kMaxBitPos = 63;

bool IsBoolType(uint32_t type) {
    return type == kNodeBool || type == kNodeBitField;
}

// Bytes of a value of the given width class.
uint32_t ClassBytes(uint32_t widthClass) {
    switch (widthClass) {
    case 1:
        return 2;
    case 2:
        return 4;
    case 6:
        return 8;
    default:
        return 1;
    }
}

// Width in bytes that holds the highest bit position h (used when a bit
// field's Length cannot be taken): 3 bytes become 4, more than 4 become 8.
uint16_t WidthForHighestBit(uint32_t h) {
    uint32_t width = h / 8 + 1;
    if (width == 3) width = 4;
    if (width > 4) width = 8;
    return static_cast<uint16_t>(width);
}

bool AnyNonZero(const uint8_t* bytes, uint32_t length) {
    if (!bytes) return false;
    for (uint32_t i = 0; i < length; ++i)
        if (bytes[i] != 0) return true;
    return false;
}

} // namespace

// --- YMTParamBool --------------------------------------------------------------

template <class Ar> void YMTParamBool::SerializeFields(Ar& ar) {
    YMTParam::SerializeFields(ar);
    ar.SerializeList(*this, YMTListKind::BoolFields);
}

void YMTParamBool::Serialize(YMTArchive& ar) {
    SerializeFields(ar);
}

void YMTParamBool::Read(YMTRecordReader& ar) {
    SerializeFields(ar);
}

bool YMTParamBool::Dump(YImportContext& ctx, YImportLog& log) {
    DumpLine(log, "PARAMBOOL: " + m_Texts.Name());
    DumpCommon(log);
    DumpAll(ctx, log);
    return true;
}

bool YMTParamBool::Check(YImportContext& ctx, YImportLog& log) {
    if (!YMTParam::Check(ctx, log)) return false;
    return CheckAll(ctx, log);
}

bool YMTParamBool::CopyFrom(const YMTNode* source) {
    if (!YMTParam::CopyFrom(source)) return false;
    return YMTChildList::CopyFrom(*static_cast<const YMTParamBool*>(source), this);
}

uint32_t YMTParamBool::GetAttrInt(uint32_t attr, uint32_t* value) {
    switch (attr) {
    case 1002:
        *value = 8;
        return kAttrOk;
    case 1009:
        *value = WidthClass();
        return kAttrOk;
    case 1014:
        *value = 1;
        return kAttrOk;
    case 1015:
        *value = 0;
        return kAttrOk;
    default:
        return YMTParam::GetAttrInt(attr, value);
    }
}

uint32_t YMTParamBool::ConvertBytesToInt(const uint8_t* bytes, uint32_t length, uint32_t* value) {
    if (BytesInMsg() > 4 || !value || (!bytes && length != 0)) return kAttrNotAvailable;
    *value = BigEndianU32(bytes, length);
    return kAttrOk;
}

uint32_t YMTParamBool::ConvertBytesToUInt64(const uint8_t* bytes, uint32_t length,
                                            uint64_t* value) {
    if (!value || (!bytes && length != 0)) return kAttrNotAvailable;
    *value = BigEndianU64(bytes, length);
    return kAttrOk;
}

YMTParamBoolField* YMTParamBool::BoolFieldAt(uint32_t bitPos) const {
    YMTNode* n = GetAt(bitPos);
    return (n && n->NodeType() == kNodeBoolField) ? static_cast<YMTParamBoolField*>(n) : nullptr;
}

uint32_t YMTParamBool::WidthClass() const {
    switch (BytesInMsg()) {
    case 2:
        return 1;
    case 4:
        return 2;
    case 8:
        return 6;
    default:
        return 0;
    }
}

uint64_t YMTParamBool::AllBitsMask() const {
    switch (WidthClass()) {
    case 0:
        return 0xFF;
    case 1:
        return 0xFFFF;
    case 2:
        return 0xFFFFFFFF;
    case 6:
        return ~uint64_t{0};
    default:
        return 0;
    }
}

bool YMTParamBool::ParseValue(const std::string& text, uint64_t& out) const {
    std::string s;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '+') continue;
        if (c == '-') return false;
        s.push_back(c);
    }
    uint64_t value = 0;
    if (s.size() > 2 && s[0] == '0' && LowerAscii(s[1]) == 'x') {
        if (s.size() - 2 > 16) return false;
        for (size_t i = 2; i < s.size(); ++i) {
            char c = LowerAscii(s[i]);
            int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
            if (d < 0) return false;
            value = (value << 4) | static_cast<uint64_t>(d);
        }
    } else {
        if (s.empty()) return false;
        for (char c : s) {
            if (c < '0' || c > '9') return false;
            uint64_t d = static_cast<uint64_t>(c - '0');
            if (value > (~uint64_t{0} - d) / 10) return false; // does not fit 64 bits
            value = value * 10 + d;
        }
    }
    if (value > AllBitsMask()) return false;
    out = value;
    return true;
}

bool YMTParamBool::ParseToBytes(const std::string& text, std::vector<uint8_t>& out) const {
    uint64_t value = 0;
    return ParseValue(text, value) && ValueToBytes(value, out);
}

bool YMTParamBool::ValueToBytes(uint64_t value, std::vector<uint8_t>& out) const {
    if (value > AllBitsMask()) return false;
    uint32_t n = ClassBytes(WidthClass());
    out.assign(n, 0);
    for (uint32_t i = 0; i < n; ++i)
        out[n - 1 - i] = static_cast<uint8_t>(value >> (8 * i));
    return true;
}

void YMTParamBool::ImportBoolFields(const XDomElement* typeElement, YImportContext& ctx,
                                    YImportLog& log) {
    for (const XDomElement* e = Ctx::FirstChildElement(typeElement, "TBoolField"); e;
         e = Ctx::NextSiblingElement(e, "TBoolField")) {
        auto* field = new YMTParamBoolField();
        field->SetParent(this);
        if (!field->ImportXML(e, ctx, log)) {
            log.LogWarning(214, "Failed to import element <TBoolField>", PathName(), 5);
            delete field;
            continue;
        }
        uint32_t pos = field->ParamPos();
        if (GetAt(pos)) {
            log.LogWarning(
                213,
                StrFormat("Double definition of element at position %d", static_cast<int>(pos)),
                PathName(), 5);
            delete field;
            continue;
        }
        SetAt(field, pos);
    }
}

uint32_t YMTParamBool::HighestBitPos() const {
    uint32_t highest = 0;
    ForEachChild(*this, [&](uint32_t, YMTNode* n) {
        if (n->NodeType() != kNodeBoolField) return;
        uint32_t pos = static_cast<YMTParamBoolField*>(n)->ParamPos();
        if (pos > highest) highest = pos;
    });
    return highest;
}

void YMTParamBool::CompleteBoolFields(uint32_t bitCount, uint16_t width) {
    for (uint32_t pos = 0; pos < bitCount; ++pos) {
        YMTParamBoolField* field = BoolFieldAt(pos);
        if (!field) {
            if (GetAt(pos)) continue; // not a bool field: leave the entry alone
            field = new YMTParamBoolField();
            field->SetParent(this);
            field->SetParamPos(static_cast<uint16_t>(pos));
            SetAt(field, pos);
        }
        field->AssignBitName(width, false, pos);
    }
}

bool YMTParamBool::RemoveBoolFieldsFrom(uint32_t bitCount, uint32_t highest) {
    if (highest < bitCount) return false;
    RemoveRange(bitCount, highest);
    return true;
}

bool YMTParamBool::ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) {
    if (!ImportNames(element, ctx, log)) return false;
    DefaultName("_NA_");
    if (!ImportPosition(element, ctx, log)) return false;

    const XDomElement* type = FindTypeElement(element, "TBool");
    if (!type) return MissingElement(210, "TBool", log);

    uint16_t width = 1;
    std::string typeRef;
    if (!Ctx::GetAttr(type, "TypeRef", typeRef)) {
        log.LogWarning(211, "Missing required attribute TypeRef", PathName(), 5);
    } else if (EqualsNoCase(typeRef, "type_unsigned_word")) {
        width = 2;
    } else if (EqualsNoCase(typeRef, "type_unsigned_long")) {
        width = 4;
    } else if (!EqualsNoCase(typeRef, "type_boolean") &&
               !EqualsNoCase(typeRef, "type_unsigned_byte")) {
        log.LogWarning(
            212,
            StrFormat("Cannot interpret value '%s' of attribute TypeRef in TBool", typeRef.c_str()),
            PathName(), 5);
    }

    ImportBoolFields(type, ctx, log);
    uint32_t h = HighestBitPos();

    uint32_t bitCount = h + 1;
    if (h >= 32) {
        width = 4;
        bitCount = 32;
        log.LogWarning(202, "Bool parameter width > 4 bytes not supported yet.", PathName(), 5);
    } else if (h >= 16 && width < 4) {
        log.LogWarning(216,
                       StrFormat("Width of bool parameter (%d bytes) conflicts with highest bit "
                                 "positions (%d). Parameter width is set to 4 bytes.",
                                 static_cast<int>(width), static_cast<int>(h)),
                       PathName(), 5);
        width = 4;
    } else if (h >= 8 && width == 1) {
        log.LogWarning(215,
                       StrFormat("Width of bool parameter (1 byte) conflicts with highest bit "
                                 "positions (%d). Parameter width is set to 2 bytes.",
                                 static_cast<int>(h)),
                       PathName(), 5);
        width = 2;
    }
    SetBytesInMsg(width);

    CompleteBoolFields(bitCount, width);
    if (RemoveBoolFieldsFrom(bitCount, h))
        log.LogWarning(203,
                       StrFormat("Width of parameter is %d bits. BoolFields with BitPos >= %d "
                                 "removed.",
                                 static_cast<int>(bitCount), static_cast<int>(bitCount)),
                       PathName(), 1);
    return true;
}

// --- YMTParamBitField ----------------------------------------------------------

uint32_t YMTParamBitField::GetAttrInt(uint32_t attr, uint32_t* value) {
    if (attr == 1002) {
        *value = 5;
        return kAttrOk;
    }
    return YMTParamBool::GetAttrInt(attr, value);
}

bool YMTParamBitField::ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) {
    if (!ImportNames(element, ctx, log)) return false;
    DefaultName("_NA_");
    if (!ImportPosition(element, ctx, log)) return false;

    const XDomElement* type = FindTypeElement(element, "TBitField");
    if (!type) return MissingElement(88, "TBitField", log);

    ImportBoolFields(type, ctx, log);
    uint32_t h = HighestBitPos();
    std::string text;
    int64_t length = 0;
    if (Ctx::GetAttr(type, "Length", text) && !ReadNumber(text, length)) length = 0;
    int L = static_cast<int>(length);

    uint16_t width = 1;
    if (ctx.HasOption(Ctx::kOptBitFieldLengthBytes)) {
        if (length == 1 || length == 2 || length == 4 || length == 8) {
            width = static_cast<uint16_t>(length);
        } else {
            width = WidthForHighestBit(h);
            log.LogWarning(93,
                           StrFormat("Invalid attribute Length=%d (bytes) of TBitField. Width of "
                                     "BitField is set to %d bytes.",
                                     L, static_cast<int>(width)),
                           PathName(), 5);
        }
    } else if (ctx.HasOption(Ctx::kOptBitFieldLengthBits)) {
        if (length >= 1 && length <= 8) {
            width = 1;
        } else if (length >= 9 && length <= 16) {
            width = 2;
        } else if (length >= 17 && length <= 32) {
            width = 4;
        } else if (length >= 33 && length <= 64) {
            width = 8;
        } else {
            width = WidthForHighestBit(h);
            log.LogWarning(94,
                           StrFormat("Invalid attribute Length=%d (bits). Width of BitField is set "
                                     "to %d bytes.",
                                     L, static_cast<int>(width)),
                           PathName(), 5);
        }
    } else {
        if (ctx.HasOption(Ctx::kOptBitFieldMaskHalves)) {
            // Data and mask halves: the highest bit lies in the mask half.
            width = h < 4 ? 1 : h < 8 ? 2 : h < 16 ? 4 : 8;
            if (h >= 32)
                log.LogWarning(217, "Bit field width > 8 bytes not supported.", PathName(), 5);
        } else {
            width = h < 8 ? 1 : h < 16 ? 2 : h < 32 ? 4 : 8;
            if (h >= 64)
                log.LogWarning(199, "Bit field width > 8 bytes not supported.", PathName(), 5);
        }
        if (length != width) {
            if (length > 8)
                log.LogWarning(204,
                               "Bit field width > 8 bytes not supported yet. Check attribute "
                               "Length of <TBitField>.",
                               PathName(), 1);
            log.LogWarning(200,
                           StrFormat("Attribute Length=%d byte(s) of <TBitField> collides with "
                                     "attribute BitPos=%d of <TBoolField>. Width of parameter is "
                                     "set to %d bytes.",
                                     L, static_cast<int>(h), static_cast<int>(width)),
                           PathName(), 1);
        }
    }
    SetBytesInMsg(width);

    uint32_t bitCount = width * 8u;
    CompleteBoolFields(bitCount, width);
    if (RemoveBoolFieldsFrom(bitCount, h))
        log.LogWarning(
            203, StrFormat("BoolFields with BitPos >= %d removed.", static_cast<int>(bitCount)),
            PathName(), 1);
    return true;
}

// --- YMTParamBoolField ---------------------------------------------------------

namespace {
// The default texts of a bool field, shared by every field that keeps them.
const std::string& DefaultTrueText() {
    static const std::string text("True");
    return text;
}
const std::string& DefaultFalseText() {
    static const std::string text("False");
    return text;
}
} // namespace

YMTParamBoolField::YMTParamBoolField() {
    m_TrueDesc.SetPooled(&DefaultTrueText());
    m_FalseDesc.SetPooled(&DefaultFalseText());
}

template <class Ar> void YMTParamBoolField::SerializeFields(Ar& ar) {
    YMTParam::SerializeFields(ar);
    ar.SerializeString(m_TrueDesc);
    ar.SerializeString(m_FalseDesc);
}

void YMTParamBoolField::Serialize(YMTArchive& ar) {
    SerializeFields(ar);
}

void YMTParamBoolField::Read(YMTRecordReader& ar) {
    SerializeFields(ar);
}

bool YMTParamBoolField::Dump(YImportContext&, YImportLog& log) {
    DumpLine(log, "PARAMBOOLFIELD: " + m_Texts.Name());
    DumpCommon(log);
    DumpLine(log, ".TrueDesc:  " + m_TrueDesc);
    DumpLine(log, ".FalseDesc: " + m_FalseDesc);
    return true;
}

bool YMTParamBoolField::ImportXML(const XDomElement* element, YImportContext&, YImportLog& log) {
    YMTNode* parent = Parent();
    if (!element || !parent || !IsBoolType(parent->NodeType())) return false;
    auto* owner = static_cast<YMTParamBool*>(parent);

    std::string bitPos;
    if (!Ctx::GetAttr(element, "BitPos", bitPos)) {
        log.LogWarning(59, "Missing required attribute BitPos", PathName(), 1);
        bitPos.assign(1, '0');
    }
    YCodeRange range;
    if (!ReadCodeRange(bitPos, range)) {
        log.LogError(60, StrFormat("Failed to analyze value '%s'", bitPos.c_str()), PathName());
        return false;
    }
    // A negative position is as invalid as one beyond the last bit.
    if (range.min < 0 || range.min > kMaxBitPos) {
        log.LogError(61,
                     StrFormat("TBoolField attribute 'BitPos=\"%s\"' is invalid", bitPos.c_str()),
                     PathName());
        return false;
    }
    m_ParamPos = static_cast<uint16_t>(range.min);

    std::string trueText, falseText;
    if (!Ctx::ChildText(element, "BitTrueDesc", trueText))
        log.LogWarning(62, "Can not find element <BitTrueDesc>", PathName(), 0);
    if (!Ctx::ChildText(element, "BitFalseDesc", falseText))
        log.LogWarning(63, "Can not find element <BitFalseDesc>", PathName(), 0);
    trueText = KeepPrintable(trueText, trueText.size());
    falseText = KeepPrintable(falseText, falseText.size());
    if (!trueText.empty() && !falseText.empty()) {
        m_TrueDesc = trueText;
        m_FalseDesc = falseText;
    } else if (!trueText.empty() || !falseText.empty()) {
        m_TrueDesc = m_FalseDesc = trueText.empty() ? falseText : trueText;
    } else {
        m_TrueDesc = "True";
        m_FalseDesc = "False";
    }

    if (range.max > range.min) {
        if (range.max > kMaxBitPos) {
            log.LogError(
                64, StrFormat("TBoolField attribute 'BitPos=\"%s\"' is invalid", bitPos.c_str()),
                PathName());
            return false;
        }
        for (int64_t pos = range.min + 1; pos <= range.max; ++pos) {
            if (owner->GetAt(static_cast<uint32_t>(pos))) {
                log.LogError(65,
                             StrFormat("Position %d of '%s' already occupied",
                                       static_cast<int>(pos), owner->NameRef().c_str()),
                             PathName());
                continue;
            }
            YMTNode* copy = Clone();
            if (!copy) continue;
            auto* field = static_cast<YMTParamBoolField*>(copy);
            field->SetParamPos(static_cast<uint16_t>(pos));
            field->SetParent(owner);
            owner->SetAt(field, static_cast<uint32_t>(pos));
        }
    }
    return true;
}

bool YMTParamBoolField::CopyFrom(const YMTNode* source) {
    if (!YMTParam::CopyFrom(source)) return false;
    const auto* src = static_cast<const YMTParamBoolField*>(source);
    m_TrueDesc = src->m_TrueDesc;
    m_FalseDesc = src->m_FalseDesc;
    return true;
}

uint32_t YMTParamBoolField::GetAttrStr(uint32_t attr, const char** value) {
    switch (attr) {
    case 1211:
        *value = m_TrueDesc.c_str();
        return kAttrOk;
    case 1212:
        *value = m_FalseDesc.c_str();
        return kAttrOk;
    default:
        return YMTParam::GetAttrStr(attr, value);
    }
}

uint32_t YMTParamBoolField::GetAttrInt(uint32_t attr, uint32_t* value) {
    switch (attr) {
    case 1002:
        *value = 21;
        return kAttrOk;
    case 1210:
        *value = m_ParamPos;
        return kAttrOk;
    default:
        return YMTParam::GetAttrInt(attr, value);
    }
}

uint32_t YMTParamBoolField::ConvertBytesToStr(const uint8_t* bytes, uint32_t length, char* text,
                                              int32_t textSize) {
    return CopyTextOut(AnyNonZero(bytes, length) ? m_TrueDesc : m_FalseDesc, text, textSize);
}

uint32_t YMTParamBoolField::ConvertBytesToInt(const uint8_t* bytes, uint32_t length,
                                              uint32_t* value) {
    if (!value) return kAttrNotAvailable;
    *value = AnyNonZero(bytes, length) ? 1 : 0;
    return kAttrOk;
}

void YMTParamBoolField::AssignBitName(uint16_t widthBytes, bool withMask, uint32_t bitPos) {
    if (!withMask) {
        m_Texts.SetName(StrFormat(widthBytes < 2 ? "Bit%u" : "Bit%02u", bitPos));
        return;
    }
    uint32_t half = widthBytes * 4u;
    bool twoDigits = widthBytes >= 3;
    if (bitPos < half)
        m_Texts.SetName(StrFormat(twoDigits ? "Bit%02u" : "Bit%u", bitPos));
    else
        m_Texts.SetName(StrFormat(twoDigits ? "Mask%02u" : "Mask%u", bitPos - half));
}

// --- decoding and assembling --------------------------------------------------------

void FillBoolEntry(DisasmContext& ctx, YFciParamInfoImpl& e, const uint8_t* p, size_t n) {
    uint64_t value = ReadBigEndian(p, n);
    if (ctx.Opt(kOptDecimalText)) AppendUInt(e.DecimalRef(), value);
    if (ctx.Opt(kOptHexText)) AppendHex(e.HexRef(), p, n);
    if (ctx.Opt(kOptNumeric)) e.SetNumeric(static_cast<double>(value));
    if (ctx.Opt(kOptRawValue)) e.SetUInt64(value);
    e.SetValueFlag(true);
}

void AddBoolFieldEntry(DisasmContext& ctx, const YBoolStep::Field& field, bool set, uint32_t at) {
    uint8_t byte = set ? 1 : 0;
    YFciParamInfoImpl* f = ctx.NewEntry(kKindBoolField, field.entry, &byte, 1, at, true, 1);
    char digit = set ? '1' : '0';
    if (ctx.Opt(kOptHexText)) f->HexRef().assign(1, digit);
    if (ctx.Opt(kOptDecimalText)) f->DecimalRef().assign(1, digit);
    if (ctx.Opt(kOptValueText)) ctx.SetValueTextOf(*f, set ? *field.trueDesc : *field.falseDesc);
    if (ctx.Opt(kOptNumeric)) f->SetNumeric(byte);
    if (ctx.Opt(kOptRawValue)) f->SetUInt64(byte);
    // A catalog that gave one text gave it to both states: the text does
    // not tell the state.
    if (field.oneText) f->SetRemarks(kRemarkOneText);
    f->SetValueFlag(true);
    ctx.AddEntry(f);
}

namespace {

YBoolStep::Field FieldStep(const YMTParamBoolField& field, uint32_t bit) {
    return YBoolStep::Field{bit, field.Entry(), &field.TrueDesc(), &field.FalseDesc(),
                            field.TrueDesc() == field.FalseDesc()};
}

// The entry kind of a bool or bit field.
uint32_t BoolKind(const YMTParamBool& param) {
    return param.NodeType() == kNodeBitField ? kKindBitField : kKindBool;
}

// Bits of a value of n bytes that may have a field (at most 64).
uint32_t FieldBits(uint32_t n) {
    return n * 8 < 64 ? n * 8 : 64;
}

// The bool's own entry for the n bytes at the cursor, and their value; false
// (with a length diagnostic by option) when the payload ends first. The
// cursor stays: the field entries are placed from it.
bool BoolEntry(DisasmContext& ctx, const YEntryDescription& entry, uint32_t kind, uint32_t n,
               uint64_t& value) {
    const uint8_t* p = ctx.ValueBytes(entry, n);
    if (!p) return false;
    YFciParamInfoImpl* e = ctx.NewEntry(kind, entry, p, n, ctx.m_Pos, false, n * 8);
    FillBoolEntry(ctx, *e, p, n);
    ctx.AddEntry(e);
    value = ReadBigEndian(p, n);
    return true;
}

// The byte position of a field's bit in a value of n bytes at pos: bits 0 to
// 7 lie in the value's last byte.
uint32_t BitByte(uint32_t pos, uint32_t n, uint32_t bit) {
    return pos + n - 1 - bit / 8;
}

} // namespace

YBoolStep YBoolStep::Of(const YMTParamBool& param) {
    YBoolStep s;
    s.entry = param.Entry();
    s.kind = BoolKind(param);
    s.width = param.BytesInMsg();
    for (uint32_t bit = 0; bit < FieldBits(s.width); ++bit)
        if (const YMTParamBoolField* field = param.BoolFieldAt(bit))
            s.fields.push_back(FieldStep(*field, bit));
    return s;
}

bool DecodeBool(DisasmContext& ctx, const YBoolStep& step) {
    uint32_t pos = ctx.m_Pos, n = step.width;
    uint64_t value = 0;
    if (!BoolEntry(ctx, step.entry, step.kind, n, value)) return false;
    for (const YBoolStep::Field& field : step.fields)
        AddBoolFieldEntry(ctx, field, (value >> field.bit) & 1, BitByte(pos, n, field.bit));
    ctx.m_Pos = pos + n;
    return true;
}

bool YMTParamBool::Disassemble(DisasmContext& ctx) {
    uint32_t pos = ctx.m_Pos, n = BytesInMsg();
    uint64_t value = 0;
    if (!BoolEntry(ctx, Entry(), BoolKind(*this), n, value)) return false;
    for (uint32_t bit = 0; bit < FieldBits(n); ++bit)
        if (YMTParamBoolField* field = BoolFieldAt(bit))
            AddBoolFieldEntry(ctx, FieldStep(*field, bit), (value >> bit) & 1,
                              BitByte(pos, n, bit));
    ctx.m_Pos = pos + n;
    return true;
}

bool YMTParamBool::Assemble(DisasmContext& ctx) {
    bool done = false;
    if (!ctx.TakeInput(done)) return done;
    const std::string& input = ctx.CurrentInput();
    uint32_t kind = BoolKind(*this);
    std::vector<uint8_t> bytes;
    bool wildcard = input == "*";
    if (wildcard) {
        if (!ctx.WildcardAllowed()) return false;
        bytes.assign(BytesInMsg(), 0);
    } else {
        uint64_t value = 0;
        if (!InputHasShape(kind, input)) {
            ctx.SetStatus(kAsmBadInput);
            return false;
        }
        if (!ParseValue(input, value) || !ValueToBytes(value, bytes)) {
            ctx.SetStatus(kAsmNotConvertible);
            return false;
        }
    }
    uint32_t n = static_cast<uint32_t>(bytes.size());
    YFciParamInfoImpl* e = ctx.NewEntry(kind, Entry(), bytes.data(), n, ctx.m_Pos, false, n * 8);
    FillBoolEntry(ctx, *e, bytes.data(), n);
    e->SetWildcard(wildcard);
    ctx.AddEntry(e);
    ctx.m_Pos += n;
    ++ctx.m_InputIndex;
    return true;
}

} // namespace mostfcat
