#include "params/param_struct.h"

#include "decoding/disasm_context.h"

#include "import/import_log.h"
#include "import/text_read.h"
#include "params/param_number.h"
#include "platform/strings.h"

namespace mostfcat {

using Ctx = YImportContext;

namespace {

bool IsStructType(uint32_t type) {
    return type == kNodeArray || type == kNodeRecord;
}

// Only numbers, enumerations, arrays and records can index an array or a
// record.
bool IsIndexCapable(const YMTNode* node) {
    if (!node) return false;
    uint32_t t = node->NodeType();
    return t == kNodeNumber || t == kNodeEnum || t == kNodeArray || t == kNodeRecord;
}

// Stores an index parameter into a selector reference and marks it.
bool StoreSelector(YMTNode*& field, YMTParam* selector) {
    if (!selector) {
        field = nullptr;
        return true;
    }
    if (!IsIndexCapable(selector)) return false;
    field = selector;
    selector->SetSelector(true);
    return true;
}

// Looks a name up among the parameters before this one (its siblings with
// a lower position, then the levels above it). The parameter's own children
// are not searched: an element or a field never indexes its own structure.
YMTNode* LookupBefore(const YMTParam& param, const char* name) {
    YMTNode* parent = param.Parent();
    return parent ? parent->LookupName(name, param.ID()) : nullptr;
}

bool ParentIsOperation(const YMTParam& param) {
    const YMTNode* p = param.Parent();
    return p && p->NodeType() == kNodeOperation;
}

// Number of arrays and records from this parameter up to the outermost
// parameter, this one included.
uint32_t StructNesting(const YMTNode* node) {
    uint32_t depth = 0;
    for (const YMTNode* n = node; n && IsParamNodeType(n->NodeType()); n = n->Parent())
        if (IsStructType(n->NodeType())) ++depth;
    return depth;
}

bool RefuseTooDeep(const YMTParam& param, const char* tag, YImportLog& log) {
    if (StructNesting(&param) <= kMaxStructNesting) return false;
    log.LogError(kErrStructTooDeep,
                 StrFormat("Arrays and records nested deeper than %u levels in <%s>",
                           kMaxStructNesting, tag),
                 param.PathName());
    return true;
}

YMTParam* AsParam(YMTNode* node) {
    return (node && IsParamNodeType(node->NodeType())) ? static_cast<YMTParam*>(node) : nullptr;
}

std::string SelectorName(const YMTNode* selector) {
    return selector ? selector->NameRef() : "";
}

} // namespace

// --- YMTParamArray -------------------------------------------------------------

bool YMTParamArray::SetSelectorParam(YMTParam* selector) {
    return StoreSelector(m_SelectorParam, selector);
}

YMTParam* YMTParamArray::Element() const {
    return AsParam(GetAt(1));
}

template <class Ar> void YMTParamArray::SerializeFields(Ar& ar) {
    YMTParam::SerializeFields(ar);
    ar.Serialize32(m_NMax);
    ar.Serialize32(m_IsTagged);
    ar.SerializeRef(m_SelectorParam, YMTRefKind::IndexParam);
    ar.SerializeList(*this, YMTListKind::Params);
}

void YMTParamArray::Serialize(YMTArchive& ar) {
    SerializeFields(ar);
}

void YMTParamArray::Read(YMTRecordReader& ar) {
    SerializeFields(ar);
}

bool YMTParamArray::Dump(YImportContext& ctx, YImportLog& log) {
    DumpLine(log, "PARAMARRAY: " + m_Texts.Name());
    DumpCommon(log);
    DumpLine(log, ".SelectorParam: " + SelectorName(m_SelectorParam));
    DumpLine(log, StrFormat(".NMax: %d", static_cast<int>(m_NMax)));
    DumpAll(ctx, log);
    return true;
}

bool YMTParamArray::ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) {
    if (!ImportNames(element, ctx, log) || !ImportPosition(element, ctx, log)) return false;
    DefaultName("Array");
    if (RefuseTooDeep(*this, "TArray", log)) return false;

    const XDomElement* array = FindTypeElement(element, "TArray");
    if (!array) return MissingElement(41, "TArray", log);

    std::string text;
    bool present = Ctx::GetAttr(array, "NMax", text);
    std::string trimmed = Trim(text);
    m_NMax = kOpenArray;
    if (present && !trimmed.empty() && !EqualsNoCase(trimmed, "NMax") &&
        !EqualsNoCase(trimmed, "N (>=0)")) {
        int64_t value = 0;
        // A count that does not fit the field is no better than an unreadable
        // one: both leave the array open.
        if (ReadNumber(text, value) && value > 0 && value <= int64_t{kOpenArray})
            m_NMax = static_cast<uint32_t>(value);
        else
            log.LogWarning(
                43, StrFormat("Failed to analyze value '%s'. Using 'NMax' instead.", text.c_str()),
                PathName(), 10);
    }

    YMTParam* elem = CreateParamFromElement(ctx, array, false, std::string());
    std::string tag = Ctx::TagName(array);
    if (!elem) {
        log.LogError(45, StrFormat("Unknown parameter type in <%s>", tag.c_str()), PathName());
        return false;
    }
    elem->SetParent(this);
    elem->SetSeqIndex(1);
    if (!elem->ImportXML(array, ctx, log)) {
        log.LogError(46, StrFormat("Failed to import element <%s>", tag.c_str()), PathName());
        delete elem;
        return false;
    }
    elem->SetParamPos(1);
    RemoveRange(1, 1);
    SetAt(elem, 1);
    return true;
}

bool YMTParamArray::Check(YImportContext& ctx, YImportLog& log) {
    if (!YMTParam::Check(ctx, log)) return false;

    // The selector is found anew on every check (a copied array carries none).
    m_SelectorParam = nullptr;
    m_IsTagged = 0;
    YMTNode* parent = Parent();
    if (EqualsNoCase(m_Texts.Name(), "Data") || ParentIsOperation(*this)) {
        YMTNode* found = LookupBefore(*this, "Pos");
        if (!found) found = LookupBefore(*this, "Position");
        if (!found) {
            found = LookupBefore(*this, "Tag");
            if (found) m_IsTagged = 1;
        }
        if (IsIndexCapable(found)) SetSelectorParam(static_cast<YMTParam*>(found));
    } else if (parent && IsStructType(parent->NodeType())) {
        SetSelectorParam(static_cast<YMTParam*>(parent));
    }

    if (!CheckAll(ctx, log)) return false;

    YMTParam* elem = Element();
    if (elem && elem->HasUnspecifiedLength())
        log.LogWarning(206,
                       "Array element has an unspecified length. Message may not disassemble "
                       "properly.",
                       PathName(), 5);
    return true;
}

bool YMTParamArray::CopyFrom(const YMTNode* source) {
    if (!YMTParam::CopyFrom(source)) return false;
    const auto* src = static_cast<const YMTParamArray*>(source);
    m_NMax = src->m_NMax;
    m_IsTagged = src->m_IsTagged;
    // The source's selector belongs to the source's tree; the copy finds its
    // own when it is checked.
    m_SelectorParam = nullptr;
    return YMTChildList::CopyFrom(*src, this);
}

uint32_t YMTParamArray::GetAttrInt(uint32_t attr, uint32_t* value) {
    switch (attr) {
    case 1002:
        *value = 10;
        return kAttrOk;
    case 1004:
        *value = 1;
        return kAttrOk;
    case 1100:
        *value = m_NMax;
        return kAttrOk;
    default:
        return YMTParam::GetAttrInt(attr, value);
    }
}

uint32_t YMTParamArray::ConvertBytesToInt(const uint8_t* bytes, uint32_t length, uint32_t* value) {
    if (!value || (!bytes && length != 0)) return kAttrNotAvailable;
    *value = BigEndianU32(bytes, length);
    return kAttrOk;
}

bool YMTParamArray::HasUnspecifiedLength() const {
    if (m_NMax == kOpenArray) return true;
    YMTParam* elem = Element();
    return elem && elem->HasUnspecifiedLength();
}

bool YMTParamArray::IsIndexedChild(const YMTParam* child) const {
    if (!child) return false;
    bool found = false;
    ForEachChild(*this, [&](uint32_t, YMTNode* n) { found = found || n == child; });
    return found;
}

YMTParam* YMTParamArray::FindParamByName(const std::string& name, bool caseSensitive) {
    return FindParamInList(*this, name, caseSensitive);
}

// --- YMTParamRecord ------------------------------------------------------------

bool YMTParamRecord::SetSelectorParam(YMTParam* selector) {
    return StoreSelector(m_SelectorParam, selector);
}

template <class Ar> void YMTParamRecord::SerializeFields(Ar& ar) {
    YMTParam::SerializeFields(ar);
    ar.Serialize32(m_NElements);
    ar.SerializeRef(m_SelectorParam, YMTRefKind::IndexParam);
    ar.SerializeList(*this, YMTListKind::Params);
}

void YMTParamRecord::Serialize(YMTArchive& ar) {
    SerializeFields(ar);
}

void YMTParamRecord::Read(YMTRecordReader& ar) {
    SerializeFields(ar);
}

bool YMTParamRecord::Dump(YImportContext& ctx, YImportLog& log) {
    DumpLine(log, "PARAMRECORD: " + m_Texts.Name());
    DumpCommon(log);
    DumpLine(log, ".SelectorParam: " + SelectorName(m_SelectorParam));
    DumpLine(log, StrFormat(".NElements: %d", static_cast<int>(m_NElements)));
    DumpAll(ctx, log);
    return true;
}

bool YMTParamRecord::ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) {
    if (!ImportNames(element, ctx, log) || !ImportPosition(element, ctx, log)) return false;

    const XDomElement* record = FindTypeElement(element, "TRecord");
    if (!record) return MissingElement(48, "TRecord", log);
    DefaultName("Record");
    if (RefuseTooDeep(*this, "TRecord", log)) return false;

    std::string text;
    int64_t nelements = 0;
    if (Ctx::GetAttr(record, "NElements", text) && !ReadNumber(text, nelements)) nelements = 0;
    m_NElements = static_cast<uint32_t>(nelements);

    const XDomElement* fieldElement = Ctx::FirstChildElement(record, "TRecordField");
    if (!fieldElement) return MissingElement(51, "TRecordField", log);

    uint32_t count = 0;
    bool shift = false;
    for (; fieldElement; fieldElement = Ctx::NextSiblingElement(fieldElement, "TRecordField")) {
        YMTParam* field = CreateParamFromElement(ctx, fieldElement, false, std::string());
        if (!field) {
            log.LogError(52, "Unknown parameter type in <TRecordField>", PathName());
            return false;
        }
        field->SetParent(this);
        if (!field->ImportXML(fieldElement, ctx, log)) {
            log.LogError(53, "Failed to import element <TRecordField>", PathName());
            delete field;
            return false;
        }
        // Field indices counted from 0 become positions counted from 1.
        if (field->ParamPos() == 0) shift = true;
        if (shift) field->SetParamPos(static_cast<uint16_t>(field->ParamPos() + 1));
        uint32_t pos = field->ParamPos();
        if (GetAt(pos)) {
            log.LogError(54,
                         StrFormat("Position %d of '%s' already occupied", static_cast<int>(pos),
                                   m_Texts.Name().c_str()),
                         PathName());
            delete field;
            return false;
        }
        SetAt(field, pos);
        ++count;
    }

    if (count != m_NElements) {
        log.LogWarning(55,
                       StrFormat("Number of record fields (%d) does not match value of attribute "
                                 "'NElements' (%d)",
                                 static_cast<int>(count), static_cast<int>(m_NElements)),
                       PathName(), 1);
        m_NElements = count;
    }

    uint32_t gap = 0;
    if (FindNextAfterGap(gap, 1)) {
        log.LogError(
            56,
            StrFormat("Gap in parameter set before parameter '%s'", GetAt(gap)->NameRef().c_str()),
            PathName());
        return false;
    }
    return true;
}

bool YMTParamRecord::Check(YImportContext& ctx, YImportLog& log) {
    if (!YMTParam::Check(ctx, log)) return false;

    m_SelectorParam = nullptr;
    YMTNode* parent = Parent();
    if (parent && parent->NodeType() == kNodeArray &&
        static_cast<YMTParamArray*>(parent)->IsTagged()) {
        YMTNode* found = LookupBefore(*this, "PosY");
        if (!found) {
            log.LogError(192, "Can't find 'PosY' parameter to 'Data' parameter of record or array",
                         PathName());
            return false;
        }
        if (IsParamNodeType(found->NodeType())) SetSelectorParam(static_cast<YMTParam*>(found));
    } else if (parent && IsStructType(parent->NodeType())) {
        SetSelectorParam(static_cast<YMTParam*>(parent));
    } else if (EqualsNoCase(m_Texts.Name(), "Data") || ParentIsOperation(*this)) {
        YMTNode* found = LookupBefore(*this, "Pos");
        if (!found) found = LookupBefore(*this, "Position");
        if (IsIndexCapable(found)) SetSelectorParam(static_cast<YMTParam*>(found));
    }

    if (!CheckAll(ctx, log)) return false;

    const YMTParam* open = nullptr;
    bool any = false;
    bool reported = false;
    ForEachChild(*this, [&](uint32_t, YMTNode* n) {
        YMTParam* field = AsParam(n);
        if (!field) return;
        any = true;
        if (reported) return;
        if (open) {
            log.LogWarning(205,
                           StrFormat("Parameter '%s' follows a parameter with unspecified length "
                                     "('%s'). Message may not disassemble properly.",
                                     field->NameRef().c_str(), open->NameRef().c_str()),
                           PathName(), 5);
            reported = true;
        } else if (field->HasUnspecifiedLength()) {
            open = field;
        }
    });
    if (!any) log.LogWarning(58, "Record contains no valid parameter", PathName(), 5);
    return true;
}

bool YMTParamRecord::CopyFrom(const YMTNode* source) {
    if (!YMTParam::CopyFrom(source)) return false;
    const auto* src = static_cast<const YMTParamRecord*>(source);
    m_NElements = src->m_NElements;
    m_SelectorParam = nullptr; // found again by the copy's check
    return YMTChildList::CopyFrom(*src, this);
}

uint32_t YMTParamRecord::GetAttrInt(uint32_t attr, uint32_t* value) {
    switch (attr) {
    case 1002:
        *value = 11;
        return kAttrOk;
    case 1004:
        *value = 1;
        return kAttrOk;
    default:
        return YMTParam::GetAttrInt(attr, value);
    }
}

bool YMTParamRecord::HasUnspecifiedLength() const {
    bool open = false;
    ForEachChild(*this, [&](uint32_t, YMTNode* n) {
        YMTParam* field = AsParam(n);
        open = open || (field && field->HasUnspecifiedLength());
    });
    return open;
}

YMTParam* YMTParamRecord::FindParamByName(const std::string& name, bool caseSensitive) {
    return FindParamInList(*this, name, caseSensitive);
}

// --- decoding and assembling --------------------------------------------------------

namespace {

// The selector value of an array or a record. A position ("PosX PosY")
// selects with its first byte here and hands its second byte on: the
// structure records it as its own selector for its element or fields.
uint32_t Selection(DisasmContext& ctx, const YMTParam& structure, const YMTParam* selector) {
    uint32_t v = 0;
    if (!selector) return 0;
    ctx.RecordedSelector(selector, v);
    if (selector != structure.Parent() && selector->ParamMeaning() == kMeaningArrayPos) {
        ctx.RecordSelector(&structure, v & 0xFF, 0);
        v = (v >> 8) & 0xFF;
    }
    return v;
}

} // namespace

bool YMTParamArray::Disassemble(DisasmContext& ctx) {
    if (ctx.EntryLimitReached()) return true;
    ctx.AddHead(kKindArray, Entry());
    uint32_t v = Selection(ctx, *this, SelectorParam());
    YMTParam* element = Element();
    if (!element) return false;
    uint32_t level = EntryLevelOf(*this);
    if (ctx.m_OpenLength && ctx.m_Pos < ctx.AvailableLength()) {
        if (ctx.Opt(kOptDiagNoInterp)) ctx.Diagnose(5, NameRef(), nullptr, 0, ctx.m_Pos, level);
        return false;
    }
    ctx.m_OpenLength = HasUnspecifiedLength() ? 1 : 0;
    uint32_t most = ctx.m_LoopLimit > 0 ? ctx.m_LoopLimit - 1 : 0;
    uint32_t done = 0;
    uint32_t before = 0;
    uint16_t beforeBit = 0;
    for (uint64_t i = v ? v : 1; i <= m_NMax; ++i) {
        if (done >= most) break;
        if (done > 0 && ctx.m_Pos == before && ctx.m_BitPos == beforeBit) break;
        if (ctx.EntryLimitReached() || ctx.m_Pos >= ctx.AvailableLength()) break;
        before = ctx.m_Pos;
        beforeBit = ctx.m_BitPos;
        ++done;
        if (v != 0 && i != v) continue;
        uint32_t first = ctx.EntryCount();
        bool ok = element->Disassemble(ctx);
        ctx.SuffixEntries(first, level + 1, static_cast<uint32_t>(i));
        if (!ok) return false;
    }
    return true;
}

bool YMTParamArray::Assemble(DisasmContext& ctx) {
    ctx.AddHead(kKindArray, Entry());
    uint32_t v = Selection(ctx, *this, SelectorParam());
    YMTParam* element = Element();
    if (!element) return false;
    uint32_t level = EntryLevelOf(*this);
    for (uint64_t i = 1; i < ctx.m_LoopLimit && i <= m_NMax; ++i) {
        if (!ctx.InputsLeft() || ctx.EntryLimitReached()) break;
        uint32_t first = ctx.EntryCount();
        bool ok = element->Assemble(ctx);
        ctx.SuffixEntries(first, level + 1, v ? v : static_cast<uint32_t>(i));
        if (!ok) return false;
        if (v) break;
    }
    return true;
}

bool YMTParamRecord::Disassemble(DisasmContext& ctx) {
    if (ctx.EntryLimitReached()) return true;
    ctx.AddHead(kKindRecord, Entry());
    uint32_t v = Selection(ctx, *this, SelectorParam());
    uint32_t pos = 0;
    for (bool more = GetFirstPos(pos); more; more = GetNextPos(pos, pos)) {
        if (ctx.EntryLimitReached()) return true;
        if (v != 0 && pos != v) continue;
        if (!GetAt(pos)->Disassemble(ctx)) return false;
    }
    return true;
}

bool YMTParamRecord::Assemble(DisasmContext& ctx) {
    uint32_t v = Selection(ctx, *this, SelectorParam());
    if (v != 0) {
        YMTNode* field = GetAt(v);
        return field && field->Assemble(ctx);
    }
    uint32_t pos = 0;
    for (bool more = GetFirstPos(pos); more; more = GetNextPos(pos, pos)) {
        if (ctx.EntryLimitReached() || !ctx.InputsLeft()) break;
        if (!GetAt(pos)->Assemble(ctx)) return false;
    }
    return true;
}

} // namespace mostfcat
