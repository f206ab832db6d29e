#include "params/param_stream.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <utility>

#include "import/import_log.h"
#include "import/text_read.h"
#include "import/xml.h"
#include "decoding/disasm_context.h"
#include "params/layout_plan.h"
#include "params/param_number.h"
#include "decoding/value_text.h"
#include "platform/hex.h"
#include "platform/strings.h"
#include "tree/identifiers.h"

namespace mostfcat {

using Ctx = YImportContext;

// Error number of streams nested too deeply (beyond any real device).
constexpr uint32_t kErrStreamNesting = 241;

namespace {

// Number of elements below an element (walked without recursion: catalogs
// may nest deeply).
uint64_t CountElements(const XDomElement* root) {
    uint64_t count = 0;
    const XDomNode* n = root ? root->getFirstChild() : nullptr;
    while (n) {
        if (n->getNodeType() == XDomNode::ELEMENT_NODE) ++count;
        if (const XDomNode* child = n->getFirstChild()) {
            n = child;
            continue;
        }
        while (n && n != root && !n->getNextSibling())
            n = n->getParentNode();
        if (!n || n == root) break;
        n = n->getNextSibling();
    }
    return count;
}

// An unsigned 32-bit length attribute: missing, unreadable, negative or too
// large values give 0 (not fixed).
uint32_t ReadLengthAttr(const XDomElement* element, const char* name) {
    std::string text;
    int64_t value = 0;
    if (!Ctx::GetAttr(element, name, text) || !ReadNumber(text, value)) return 0;
    if (value < 0 || value > int64_t(UINT32_MAX)) return 0;
    return static_cast<uint32_t>(value);
}

// A maximum-length attribute: missing or 0 gives the maximum; values outside
// 1..maximum give the maximum with the warning of that attribute.
uint32_t ReadMaxLength(const XDomElement* element, uint32_t maximum, uint32_t warning,
                       const YMTNode& node, YImportLog& log) {
    std::string text;
    int64_t value = 0;
    if (!Ctx::GetAttr(element, "MaxLength", text) || !ReadNumber(text, value) || value == 0)
        return maximum;
    if (value < 0 || value > int64_t(maximum)) {
        log.LogWarning(warning,
                       StrFormat("Value %lld out of range [%d,%d). Using %d instead.",
                                 static_cast<long long>(value), 0, static_cast<int>(maximum + 1),
                                 static_cast<int>(maximum)),
                       node.PathName(), 1);
        return maximum;
    }
    return static_cast<uint32_t>(value);
}

// A generated length field of a short or classified stream.
std::unique_ptr<YMTParamNumber> MakeLengthNumber(YMTNode* parent, uint16_t pos, uint16_t width,
                                                 double min, double max) {
    auto n = std::make_unique<YMTParamNumber>();
    n->SetName("Length");
    n->SetParent(parent);
    n->SetParamPos(pos);
    n->SetBytesInMsg(width);
    n->SetSigned(false);
    n->SetRange(min, max);
    n->SetParamMeaning(kMeaningLength);
    n->SetParamDispMode(kDispLength);
    n->SetSelector(true);
    return n;
}

std::unique_ptr<YMTParamRawStream> MakeContent(YMTNode* parent, uint16_t pos, uint32_t length) {
    auto c = std::make_unique<YMTParamRawStream>();
    c->SetName("Content");
    c->SetParent(parent);
    c->SetParamPos(pos);
    c->SetLength(length);
    return c;
}

} // namespace

// --- YMTParamString ---------------------------------------------------------------

template <class Ar> void YMTParamString::SerializeFields(Ar& ar) {
    YMTParam::SerializeFields(ar);
    ar.Serialize32(m_MaxSize);
    ar.SerializeBool(m_HasEncodingByte);
}

void YMTParamString::Serialize(YMTArchive& ar) {
    SerializeFields(ar);
}

void YMTParamString::Read(YMTRecordReader& ar) {
    SerializeFields(ar);
}

bool YMTParamString::Dump(YImportContext&, YImportLog& log) {
    DumpLine(log, "PARAMSTRING: " + m_Texts.Name());
    DumpCommon(log);
    DumpLine(log, StrFormat(".MaxSize: %d  HasEncodingByte: %d", static_cast<int>(m_MaxSize),
                            m_HasEncodingByte ? 1 : 0));
    return true;
}

bool YMTParamString::ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) {
    if (!ImportNames(element, ctx, log)) return false;
    DefaultName("_NA_");
    if (!ImportPosition(element, ctx, log)) return false;
    const XDomElement* t = FindTypeElement(element, "TString");
    if (!t) return MissingElement(86, "TString", log);
    std::string text;
    m_MaxSize = -1;
    if (Ctx::GetAttr(t, "MaxSize", text) && !text.empty() &&
        text.find_first_not_of("0123456789") == std::string::npos) {
        // Larger values than the field holds mean "no practical limit".
        int64_t v = 0;
        for (char c : text) {
            v = v * 10 + (c - '0');
            if (v > INT32_MAX) {
                v = INT32_MAX;
                break;
            }
        }
        m_MaxSize = static_cast<int32_t>(v);
    }
    return true;
}

bool YMTParamString::CopyFrom(const YMTNode* source) {
    if (!YMTParam::CopyFrom(source)) return false;
    const auto* s = static_cast<const YMTParamString*>(source);
    m_MaxSize = s->m_MaxSize;
    m_HasEncodingByte = s->m_HasEncodingByte;
    return true;
}

uint32_t YMTParamString::GetAttrInt(uint32_t attr, uint32_t* value) {
    switch (attr) {
    case 1002:
        *value = 3;
        return kAttrOk;
    case 1020:
        *value = static_cast<uint32_t>(m_MaxSize);
        return kAttrOk;
    case 1021:
        *value = m_HasEncodingByte ? 1 : 0;
        return kAttrOk;
    default:
        return YMTParam::GetAttrInt(attr, value);
    }
}

// --- YMTParamVoid -------------------------------------------------------------------

bool YMTParamVoid::Dump(YImportContext&, YImportLog& log) {
    DumpLine(log, "PARAMVOID: " + m_Texts.Name());
    DumpCommon(log);
    return true;
}

bool YMTParamVoid::ImportXML(const XDomElement* element, YImportContext& ctx, YImportLog& log) {
    if (!ImportNames(element, ctx, log)) return false;
    DefaultName("Void");
    if (!ImportPosition(element, ctx, log)) return false;
    if (!FindTypeElement(element, "TVoid")) return MissingElement(100, "TVoid", log);
    return true;
}

// --- YMTParamFktIDBitStream ---------------------------------------------------------

bool YMTParamFktIDBitStream::Dump(YImportContext&, YImportLog& log) {
    DumpLine(log, "PARAMFKTIDBITSTREAM: " + m_Texts.Name());
    DumpCommon(log);
    return true;
}

bool YMTParamFktIDBitStream::ImportXML(const XDomElement* element, YImportContext& ctx,
                                       YImportLog& log) {
    bool ok = ImportNames(element, ctx, log);
    m_Texts.SetName("BitField");
    return ok;
}

uint32_t YMTParamFktIDBitStream::GetAttrInt(uint32_t attr, uint32_t* value) {
    if (attr == 1002) {
        *value = 4;
        return kAttrOk;
    }
    return YMTParam::GetAttrInt(attr, value);
}

// --- YMTParamRawStream ----------------------------------------------------------------

template <class Ar> void YMTParamRawStream::SerializeFields(Ar& ar) {
    YMTParam::SerializeFields(ar);
    ar.Serialize32(m_Length);
}

void YMTParamRawStream::Serialize(YMTArchive& ar) {
    SerializeFields(ar);
}

void YMTParamRawStream::Read(YMTRecordReader& ar) {
    SerializeFields(ar);
}

bool YMTParamRawStream::Dump(YImportContext&, YImportLog& log) {
    DumpLine(log, "PARAMRAWSTREAM: " + m_Texts.Name());
    DumpCommon(log);
    DumpLine(log, StrFormat(".Length: %d", static_cast<int>(m_Length)));
    return true;
}

bool YMTParamRawStream::ImportXML(const XDomElement* element, YImportContext& ctx,
                                  YImportLog& log) {
    if (!ImportNames(element, ctx, log)) return false;
    DefaultName("RawStream");
    if (!ImportPosition(element, ctx, log)) return false;
    const XDomElement* t = FindTypeElement(element, "TStream");
    if (!t) return MissingElement(232, "TStream", log);
    m_Length = ReadLengthAttr(t, "Length");
    return true;
}

bool YMTParamRawStream::CopyFrom(const YMTNode* source) {
    if (!YMTParam::CopyFrom(source)) return false;
    m_Length = static_cast<const YMTParamRawStream*>(source)->m_Length;
    return true;
}

uint32_t YMTParamRawStream::GetAttrInt(uint32_t attr, uint32_t* value) {
    switch (attr) {
    case 1002:
        *value = 4;
        return kAttrOk;
    case 1500:
        *value = m_Length;
        return kAttrOk;
    default:
        return YMTParam::GetAttrInt(attr, value);
    }
}

// --- streams with a length field -------------------------------------------------------

namespace {

const YMTParamLengthStreamBase::Kind kRawShortStreamKind{
    "TShortStream", 224, "ShortStream", 255, 226, "PARAMRAWSHORTSTREAM: ", 7};
const YMTParamLengthStreamBase::Kind kCStreamKind{"TCStream",       197, "CStream", 65535, 227,
                                                  "PARAMCSTREAM: ", 6};

} // namespace

template <class Ar> void YMTParamLengthStreamBase::SerializeFields(Ar& ar) {
    YMTParam::SerializeFields(ar);
    ar.Serialize32(m_MaxLength);
    ar.SerializeList(*this, YMTListKind::StreamParts);
}

void YMTParamLengthStreamBase::Serialize(YMTArchive& ar) {
    SerializeFields(ar);
}

void YMTParamLengthStreamBase::Read(YMTRecordReader& ar) {
    SerializeFields(ar);
}

bool YMTParamLengthStreamBase::Dump(YImportContext& ctx, YImportLog& log) {
    DumpLine(log, m_Kind.dumpTitle + m_Texts.Name());
    DumpCommon(log);
    DumpLine(log, StrFormat(".MaxLength: %d", static_cast<int>(m_MaxLength)));
    return DumpAll(ctx, log);
}

bool YMTParamLengthStreamBase::ImportXML(const XDomElement* element, YImportContext& ctx,
                                         YImportLog& log) {
    if (!ImportNames(element, ctx, log)) return false;
    DefaultName(m_Kind.defaultName);
    if (!ImportPosition(element, ctx, log)) return false;
    const XDomElement* t = FindTypeElement(element, m_Kind.typeTag);
    if (!t) return MissingElement(m_Kind.missingError, m_Kind.typeTag, log);
    m_MaxLength = ReadMaxLength(t, m_Kind.maximum, m_Kind.tooLongWarning, *this, log);
    BuildParts();
    return true;
}

bool YMTParamLengthStreamBase::CopyFrom(const YMTNode* source) {
    if (!YMTParam::CopyFrom(source)) return false;
    const auto* s = static_cast<const YMTParamLengthStreamBase*>(source);
    m_MaxLength = s->m_MaxLength;
    return YMTChildList::CopyFrom(*s, this);
}

uint32_t YMTParamLengthStreamBase::GetAttrInt(uint32_t attr, uint32_t* value) {
    switch (attr) {
    case 1002:
        *value = m_Kind.itemKind;
        return kAttrOk;
    case 1004:
        *value = 1;
        return kAttrOk;
    case 1500:
        *value = m_MaxLength;
        return kAttrOk;
    default:
        return YMTParam::GetAttrInt(attr, value);
    }
}

YMTParamRawShortStream::YMTParamRawShortStream() : YMTParamLengthStreamBase(kRawShortStreamKind) {}

void YMTParamRawShortStream::BuildParts() {
    RemoveAll();
    SetAt(MakeLengthNumber(this, 1, 1, 0, m_MaxLength).release(), 1);
    SetAt(MakeContent(this, 2, m_MaxLength).release(), 2);
}

YMTParamCStream::YMTParamCStream() : YMTParamLengthStreamBase(kCStreamKind) {}

void YMTParamCStream::BuildParts() {
    RemoveAll();
    SetAt(MakeLengthNumber(this, 1, 2, 1, m_MaxLength).release(), 1);
    auto media = std::make_unique<YMTParamString>();
    media->SetName("MediaType");
    media->SetParent(this);
    media->SetParamPos(2);
    media->SetSelector(true);
    SetAt(media.release(), 2);
    SetAt(MakeContent(this, 3, m_MaxLength).release(), 3);
}

// --- YMTParamDetailedStreamBase -------------------------------------------------------------

template <class Ar> void YMTParamDetailedStreamBase::SerializeFields(Ar& ar) {
    YMTParam::SerializeFields(ar);
    ar.Serialize32(m_Length);
    ar.Serialize8(m_ParamMeaning);
    ar.SerializeRef(m_SelectorParam, YMTRefKind::Selector);
    ar.SerializeRef(m_ListSizeParam, YMTRefKind::ListSize);
    ar.SerializeList(*this, YMTListKind::StreamCases);
}

void YMTParamDetailedStreamBase::Serialize(YMTArchive& ar) {
    SerializeFields(ar);
}

void YMTParamDetailedStreamBase::Read(YMTRecordReader& ar) {
    SerializeFields(ar);
}

bool YMTParamDetailedStreamBase::Dump(YImportContext& ctx, YImportLog& log) {
    DumpLine(log, DumpTitle() + m_Texts.Name());
    DumpCommon(log);
    DumpLine(log, ".SelectorParam: " + (m_SelectorParam ? m_SelectorParam->NameRef() : "-"));
    DumpLine(log, ".ListSizeParam: " + (m_ListSizeParam ? m_ListSizeParam->NameRef() : "-"));
    DumpLine(log, StrFormat(".Length: %d", static_cast<int>(m_Length)));
    return DumpAll(ctx, log);
}

bool YMTParamDetailedStreamBase::Check(YImportContext& ctx, YImportLog& log) {
    if (!YMTParam::Check(ctx, log)) return false;
    // Both references are found again on every check, so that a copy never
    // keeps pointers into the tree it was copied from.
    m_SelectorParam = nullptr;
    m_ListSizeParam = nullptr;
    YMTNode* parent = Parent();
    if (parent && EqualsNoCase(m_Texts.Name(), "ListElements") &&
        (parent->NodeType() == kNodeOperation || parent->NodeType() == kNodeStreamCase)) {
        YMTNode* listSize = parent->FindChild("ListSize");
        if (listSize && listSize->NodeType() == kNodeNumber && listSize->ID() < ID())
            m_ListSizeParam = listSize;
    }
    return CheckAll(ctx, log);
}

bool YMTParamDetailedStreamBase::CopyFrom(const YMTNode* source) {
    if (!YMTParam::CopyFrom(source)) return false;
    const auto* s = static_cast<const YMTParamDetailedStreamBase*>(source);
    m_Length = s->m_Length;
    m_ParamMeaning = s->m_ParamMeaning;
    m_SelectorParam = nullptr;
    m_ListSizeParam = nullptr;
    return YMTChildList::CopyFrom(*s, this);
}

uint32_t YMTParamDetailedStreamBase::GetAttrInt(uint32_t attr, uint32_t* value) {
    if (attr == 1004) {
        *value = 1;
        return kAttrOk;
    }
    return YMTParam::GetAttrInt(attr, value);
}

YMTParamStreamCase* YMTParamDetailedStreamBase::CaseAt(uint32_t index) const {
    YMTNode* n = GetAt(index);
    return (n && n->NodeType() == kNodeStreamCase) ? static_cast<YMTParamStreamCase*>(n) : nullptr;
}

YMTParamStreamCase* YMTParamDetailedStreamBase::FindStreamCase(uint32_t selectorValue) const {
    for (uint32_t i = 0, n = ItemCount(); i < n; ++i) {
        YMTNode* node = ItemAt(i);
        if (!node || node->NodeType() != kNodeStreamCase) continue;
        auto* c = static_cast<YMTParamStreamCase*>(node);
        if (c->PosYMin() <= selectorValue && selectorValue <= c->PosYMax()) return c;
    }
    return nullptr;
}

bool YMTParamDetailedStreamBase::ImportCases(const XDomElement* typeElement, YImportContext& ctx,
                                             YImportLog& log) {
    // Streams in stream cases import recursively; the depth is limited so
    // that a hostile catalog cannot exhaust the stack.
    uint32_t depth = 0;
    for (YMTNode* p = Parent(); p; p = p->Parent())
        if (IsDetailedStreamType(p->NodeType())) ++depth;
    if (depth >= kMaxStreamNesting) {
        log.LogError(kErrStreamNesting,
                     StrFormat("Streams nested more than %u levels deep are not supported",
                               kMaxStreamNesting),
                     PathName());
        return false;
    }

    std::vector<const XDomElement*> elements;
    for (const XDomElement* e = Ctx::FirstChildElement(typeElement, "StreamCase"); e;
         e = Ctx::NextSiblingElement(e, "StreamCase"))
        elements.push_back(e);
    if (elements.empty()) log.LogWarning(31, "Can not find element <StreamCase>", PathName(), 5);

    uint64_t budget = kStreamNodeAllowance + kStreamNodesPerItem * CountElements(typeElement);
    std::vector<YMTParamStreamCase*> cases =
        ImportStreamCaseElements(*this, elements, ctx, log, budget);

    RemoveAll();
    if (!cases.empty()) Reserve(static_cast<uint32_t>(cases.size()) + 1);
    for (size_t i = 0; i < cases.size(); ++i) {
        uint32_t index = static_cast<uint32_t>(i + 1);
        cases[i]->SetParamPos(static_cast<uint16_t>(index));
        SetAt(cases[i], index);
    }

    // Overlapping selector ranges make the case choice ambiguous.
    for (size_t i = 0; i < cases.size(); ++i) {
        bool overlap = false;
        for (size_t j = i + 1; j < cases.size() && !overlap; ++j) {
            const YMTParamStreamCase& a = *cases[i];
            const YMTParamStreamCase& b = *cases[j];
            overlap = (a.PosYMin() >= b.PosYMin() && a.PosYMin() <= b.PosYMax()) ||
                      (a.PosYMax() >= b.PosYMin() && a.PosYMax() <= b.PosYMax());
        }
        if (overlap) {
            log.LogWarning(35, "Overlapping streamcase(s)", PathName(), 1);
            break;
        }
    }
    return true;
}

// --- YMTParamDetailedStream ------------------------------------------------------------

bool YMTParamDetailedStream::ImportXML(const XDomElement* element, YImportContext& ctx,
                                       YImportLog& log) {
    if (!ImportNames(element, ctx, log)) return false;
    DefaultName("Stream");
    if (!ImportPosition(element, ctx, log)) return false;
    const XDomElement* t = FindTypeElement(element, "TStream");
    if (!t) return MissingElement(28, "TStream", log);
    m_Length = ReadLengthAttr(t, "Length");
    return ImportCases(t, ctx, log);
}

uint32_t YMTParamDetailedStream::GetAttrInt(uint32_t attr, uint32_t* value) {
    if (attr == 1002) {
        *value = 12;
        return kAttrOk;
    }
    return YMTParamDetailedStreamBase::GetAttrInt(attr, value);
}

bool YMTParamDetailedStream::HasUnspecifiedLength() const {
    for (uint32_t i = 0; i < GetSize(); ++i)
        if (YMTParamStreamCase* c = CaseAt(i); c && c->HasUnspecifiedLength()) return true;
    return false;
}

// --- YMTParamDetailedShortStream --------------------------------------------------------

bool YMTParamDetailedShortStream::ImportXML(const XDomElement* element, YImportContext& ctx,
                                            YImportLog& log) {
    if (!ImportNames(element, ctx, log)) return false;
    DefaultName("ShortStream");
    if (!ImportPosition(element, ctx, log)) return false;
    const XDomElement* t = FindTypeElement(element, "TShortStream");
    if (!t) return MissingElement(233, "TShortStream", log);
    m_Length = ReadMaxLength(t, 255, 226, *this, log);
    if (!ImportCases(t, ctx, log)) return false;
    SetAt(MakeLengthNumber(this, 0, 1, 0, m_Length).release(), 0);
    return true;
}

uint32_t YMTParamDetailedShortStream::GetAttrInt(uint32_t attr, uint32_t* value) {
    if (attr == 1002) {
        *value = 19;
        return kAttrOk;
    }
    return YMTParamDetailedStreamBase::GetAttrInt(attr, value);
}

// --- decoding and assembling --------------------------------------------------------

uint32_t YMTParamString::BytesPerChar(uint8_t encoding) {
    return (encoding == 0 || encoding == 7) ? 2 : 1;
}

std::string YMTParamString::StringText(const uint8_t* bytes, size_t size, uint32_t limit) const {
    size_t n = size < limit ? size : limit;
    size_t start = m_HasEncodingByte ? 1 : 0;
    uint8_t encoding = (m_HasEncodingByte && size > 0) ? bytes[0] : 1;
    std::string out;
    bool zero = false;
    if (encoding == 0) {
        // Two bytes per character, most significant first; characters beyond
        // the 8-bit range show as "?".
        for (size_t k = start; k + 1 < n; k += 2) {
            if (bytes[k] == 0 && bytes[k + 1] == 0) {
                zero = true;
                break;
            }
            out.push_back(bytes[k] == 0 ? static_cast<char>(bytes[k + 1]) : '?');
        }
    } else {
        for (size_t k = start; k < n; ++k) {
            if (bytes[k] == 0) {
                zero = true;
                break;
            }
            out.push_back(static_cast<char>(bytes[k]));
        }
    }
    if (!zero && size == limit)
        out += " {NotTerm}";
    else if (size > limit)
        out += "...";
    return out;
}

void YMTParamString::EncodeString(const std::string& text, uint8_t encoding,
                                  std::vector<uint8_t>& out) const {
    out.clear();
    if (!m_HasEncodingByte) encoding = 1;
    if (m_HasEncodingByte) out.push_back(encoding);
    for (char c : text) {
        if (encoding == 0) out.push_back(0);
        out.push_back(static_cast<uint8_t>(c));
    }
    out.insert(out.end(), BytesPerChar(encoding), 0);
}

bool YMTParamString::Disassemble(DisasmContext& ctx) {
    uint32_t pos = ctx.m_Pos;
    uint32_t level = EntryLevelOf(*this);
    uint32_t avail = ctx.AvailableLength();
    uint8_t encoding = 1;
    uint32_t i = pos;
    if (m_HasEncodingByte) {
        if (!ctx.Fits(pos, 1)) {
            if (ctx.Opt(kOptDiagLength)) ctx.Diagnose(1, NameRef(), nullptr, 0, pos, level);
            return false;
        }
        encoding = ctx.ReadByte(pos);
        i = pos + 1;
    }
    bool terminated = false;
    if (encoding == 0) {
        for (; i < avail; i += 2) {
            if (i + 1 >= avail) {
                i = avail;
                break;
            }
            if (ctx.ReadByte(i) == 0 && ctx.ReadByte(i + 1) == 0) {
                i += 2;
                terminated = true;
                break;
            }
        }
    } else {
        while (i < avail) {
            if (ctx.ReadByte(i++) != 0) continue;
            if (encoding == 7) {
                // The zero byte is followed by one more byte of the string.
                if (i >= avail) break;
                ++i;
            }
            terminated = true;
            break;
        }
    }
    uint32_t size = i > pos ? i - pos : 0;
    const uint8_t* data = ctx.BytesAt(pos, size);
    YFciParamInfoImpl* e = ctx.NewEntry(kKindString, Entry(), data, size, pos, false, 0);
    e->SetHasEncodingByte(m_HasEncodingByte);
    uint64_t shown = uint64_t(BytesPerChar(encoding)) * ctx.m_TextLimit + 2;
    if (size > shown) e->SetLength(static_cast<uint32_t>(shown));
    if (ctx.Opt(kOptHexText)) AppendHex(e->HexRef(), data, e->Length());
    if (ctx.Opt(kOptValueText)) e->ValueRef() = StringText(data, size, ctx.m_TextLimit);
    ctx.AddEntry(e);
    ctx.m_Pos = i;
    if (!terminated) {
        if (ctx.Opt(kOptDiagString)) ctx.Diagnose(2, NameRef(), nullptr, 0, pos, level);
        return false;
    }
    return true;
}

bool YMTParamString::Assemble(DisasmContext& ctx) {
    bool done = false;
    if (!ctx.TakeInput(done)) return done;
    const std::string& input = ctx.CurrentInput();
    std::vector<uint8_t> bytes;
    bool wildcard = input == "*";
    if (wildcard) {
        if (!ctx.WildcardAllowed()) return false;
        EncodeString(std::string(), 1, bytes);
    } else {
        if (!InputHasShape(kKindString, input)) {
            ctx.SetStatus(kAsmBadInput);
            return false;
        }
        EncodeString(input.substr(1, input.size() - 2), 1, bytes);
    }
    uint32_t n = static_cast<uint32_t>(bytes.size());
    YFciParamInfoImpl* e = ctx.NewEntry(kKindString, Entry(), bytes.data(), n, ctx.m_Pos, false, 0);
    e->SetHasEncodingByte(m_HasEncodingByte);
    e->SetWildcard(wildcard);
    if (ctx.Opt(kOptHexText)) AppendHex(e->HexRef(), bytes.data(), n);
    if (ctx.Opt(kOptValueText)) e->ValueRef() = StringText(bytes.data(), n, ctx.m_TextLimit);
    ctx.AddEntry(e);
    ctx.m_Pos += n;
    ++ctx.m_InputIndex;
    return true;
}

uint32_t YMTParamString::ConvertBytesToStr(const uint8_t* bytes, uint32_t length, char* text,
                                           int32_t textSize) {
    if (!text || textSize < 1) return 2;
    text[0] = '\0';
    if (!bytes || length == 0) return kAttrOk;
    if (bytes[0] != 1) return 2;
    uint32_t n = 1;
    while (n < length && bytes[n] != 0)
        ++n;
    uint32_t chars = n - 1;
    uint32_t room = static_cast<uint32_t>(textSize) - 1;
    uint32_t copied = chars < room ? chars : room;
    std::memcpy(text, bytes + 1, copied);
    text[copied] = '\0';
    return chars > room ? 20 : kAttrOk;
}

bool YMTParamVoid::Disassemble(DisasmContext& ctx) {
    ctx.AddEntry(ctx.NewEntry(kKindVoid, Entry(), nullptr, 0, ctx.m_Pos, false, 0));
    return true;
}

std::string YMTParamFktIDBitStream::FktIDListText(const uint8_t* bytes, size_t size, bool hex) {
    // Entry i of the packed 12-bit list; false when its bytes are not all there.
    auto entry = [&](size_t i, uint32_t& out) {
        size_t at = i * 3 / 2;
        if (at + 1 >= size) return false;
        out = (i % 2 == 0) ? (uint32_t(bytes[at]) << 4) | (bytes[at + 1] >> 4)
                           : (uint32_t(bytes[at] & 0x0F) << 8) | bytes[at + 1];
        return true;
    };
    auto number = [hex](uint32_t v) {
        if (!hex) return IntText(static_cast<int>(v));
        // "%03X" of a 12-bit entry.
        static const char kDigits[] = "0123456789ABCDEF";
        return std::string{kDigits[(v >> 8) & 15], kDigits[(v >> 4) & 15], kDigits[v & 15]};
    };
    uint32_t first = 0;
    if (!entry(0, first)) return "-";
    std::string out;
    if (first > 0) {
        out = number(0);
        if (first == 2)
            out += "," + number(1);
        else if (first > 2)
            out += ".." + number(first - 1);
    }
    uint32_t previous = first;
    uint32_t start = 0;
    for (size_t i = 1;; ++i) {
        uint32_t v = 0;
        if (!entry(i, v)) break;
        if (v == 0 || v <= previous) {
            out += " # error in bitstream #";
            break;
        }
        if (i % 2 == 1) {
            start = v;
            if (!out.empty()) out += ",";
            out += number(v);
        } else if (v - 1 > start) {
            out += (v == start + 2 ? "," : "..") + number(v - 1);
        }
        previous = v;
    }
    return out;
}

bool YMTParamFktIDBitStream::Disassemble(DisasmContext& ctx) {
    uint32_t pos = ctx.m_Pos;
    uint32_t avail = ctx.AvailableLength();
    uint32_t size = pos < avail ? avail - pos : 0;
    if (ctx.m_StreamLimit < size) size = ctx.m_StreamLimit;
    const uint8_t* p = ctx.BytesAt(pos, size);
    YFciParamInfoImpl* e = ctx.NewEntry(kKindFktIDBitStream, Entry(), p, size, pos, false, 0);
    if (ctx.Opt(kOptDecimalText | kOptValueText)) {
        std::string text = FktIDListText(p, size, false);
        if (ctx.Opt(kOptDecimalText)) e->DecimalRef() = text;
        if (ctx.Opt(kOptValueText)) ctx.SetValueText(*e, std::move(text));
    }
    if (ctx.Opt(kOptHexText)) e->HexRef() = FktIDListText(p, size, true);
    ctx.AddEntry(e);
    ctx.m_Pos = pos + size;
    ctx.m_OpenLength = 1;
    return true;
}

bool YMTParamRawStream::Disassemble(DisasmContext& ctx) {
    uint32_t pos = ctx.m_Pos;
    uint32_t avail = ctx.AvailableLength();
    uint32_t level = EntryLevelOf(*this);
    if (pos > avail) {
        if (ctx.Opt(kOptDiagLength)) ctx.Diagnose(1, NameRef(), nullptr, 0, pos, level);
        return false;
    }
    uint32_t left = avail - pos;
    uint32_t size;
    bool isShort = false;
    if (ctx.m_StreamLimit != kNoLimit) {
        uint32_t limit = ctx.m_StreamLimit;
        size = left < limit ? left : limit;
        // Short only when the payload ended before the enclosing structure
        // did: inside a structure the bytes left may simply be the rest of it.
        isShort = left < limit && (ctx.m_Limit == kNoLimit || avail < ctx.m_Limit);
    } else if (HasUnspecifiedLength()) {
        size = left;
    } else {
        size = left < m_Length ? left : m_Length;
    }
    const uint8_t* p = ctx.BytesAt(pos, size);
    YFciParamInfoImpl* e = ctx.NewEntry(kKindRawStream, Entry(), p, size, pos, false, 0);
    uint32_t half = ctx.m_TextLimit / 2;
    e->SetLength(half < size ? half : size);
    if (ctx.Opt(kOptHexText)) {
        AppendHex(e->HexRef(), p, half < size ? half : size);
        if (size > half) e->HexRef() += "...";
    }
    ctx.AddEntry(e);
    ctx.m_OpenLength = HasUnspecifiedLength() ? 1 : 0;
    ctx.m_Pos = pos + size;
    if (isShort) {
        if (ctx.Opt(kOptDiagString)) ctx.Diagnose(6, NameRef(), nullptr, 0, pos, level);
        return false;
    }
    return true;
}

bool YMTParamRawStream::Assemble(DisasmContext& ctx) {
    bool done = false;
    if (!ctx.TakeInput(done)) return done;
    const std::string& input = ctx.CurrentInput();
    if (input == "*") {
        if (!ctx.WildcardAllowed()) return false;
        YFciParamInfoImpl* e = ctx.NewEntry(kKindRawStream, Entry(), nullptr, 0, ctx.m_Pos, false, 0);
        e->SetWildcard(true);
        ctx.AddEntry(e);
        ++ctx.m_InputIndex;
        return true;
    }
    // Raw bytes in braces were taken by the raw step; anything else has the
    // wrong shape for a byte stream.
    ctx.SetStatus(kAsmBadInput);
    return false;
}

namespace {

// Disassembles a child parameter of a structure; false when it is missing or
// its step stops the walk.
bool ChildDisassemble(const YMTChildList& list, uint32_t index, DisasmContext& ctx) {
    YMTNode* child = list.GetAt(index);
    return child && child->Disassemble(ctx);
}

bool ChildAssemble(const YMTChildList& list, uint32_t index, DisasmContext& ctx) {
    YMTNode* child = list.GetAt(index);
    return child && child->Assemble(ctx);
}

uint32_t SaturatingAdd(uint32_t a, uint32_t b) {
    return b > kNoLimit - a ? kNoLimit - 1 : a + b;
}

} // namespace

bool YMTParamLengthStreamBase::Disassemble(DisasmContext& ctx) {
    bool classified = NodeType() == kNodeCStream;
    ctx.AddHead(classified ? kKindCStream : kKindRawShortStream, Entry());
    if (!ChildDisassemble(*this, 1, ctx)) return false;
    YFciParamInfoImpl* last = ctx.LastEntry();
    uint32_t length = last ? last->DataAsULong() : 0;
    if (!classified) {
        uint32_t savedStream = ctx.SwapStreamLimit(length < m_MaxLength ? length : m_MaxLength);
        bool ok = ChildDisassemble(*this, 2, ctx);
        ctx.SwapStreamLimit(savedStream);
        return ok;
    }
    uint32_t start = ctx.m_Pos;
    uint32_t savedLimit = ctx.SwapLimit(SaturatingAdd(ctx.m_Pos, length));
    bool ok = ChildDisassemble(*this, 2, ctx);
    if (ok) {
        uint32_t used = ctx.m_Pos - start;
        uint32_t limit = length < m_MaxLength ? length : m_MaxLength;
        uint32_t savedStream = ctx.SwapStreamLimit(limit > used ? limit - used : 0);
        ok = ChildDisassemble(*this, 3, ctx);
        ctx.SwapStreamLimit(savedStream);
    }
    ctx.SwapLimit(savedLimit);
    return ok;
}

bool YMTParamLengthStreamBase::Assemble(DisasmContext& ctx) {
    bool classified = NodeType() == kNodeCStream;
    ctx.AddHead(classified ? kKindCStream : kKindRawShortStream, Entry());
    uint32_t last = classified ? 3 : 2;
    for (uint32_t i = 1; i <= last; ++i) {
        if (ctx.EntryLimitReached() || !ctx.InputsLeft()) break;
        if (!ChildAssemble(*this, i, ctx)) return false;
    }
    return true;
}

YStreamStep YStreamStep::Of(const YMTParamDetailedStreamBase& stream) {
    return YStreamStep{&stream, stream.Entry(), stream.NodeType() == kNodeDetailedShortStream,
                       nullptr};
}

YMTParamStreamCase* YStreamStep::CaseOf(uint32_t selector) const {
    if (bySelector) {
        if (selector >= bySelector->size()) return nullptr;
        uint16_t index = (*bySelector)[selector];
        return index ? (*cases)[index - 1u].streamCase : nullptr;
    }
    if (!cases) return stream->FindStreamCase(selector);
    for (const Case& c : *cases)
        if (c.min <= selector && selector <= c.max) return c.streamCase;
    return nullptr;
}

bool DecodeStream(DisasmContext& ctx, const YStreamStep& step) {
    const YMTParamDetailedStreamBase& stream = *step.stream;
    bool isShort = step.isShort;
    uint32_t kind = isShort ? kKindDetailedShortStream : kKindDetailedStream;
    uint32_t level = step.entry.level;
    uint32_t start = ctx.m_Pos;
    YFciParamInfoImpl* head = nullptr;
    if (ctx.Opt(kOptHeads)) {
        head = ctx.NewEntry(kind, step.entry, nullptr, 0, start, true, 0);
        ctx.AddEntry(head);
    }
    uint32_t end = 0;
    uint32_t savedLimit = 0, savedStream = 0;
    uint8_t savedOpen = 0;
    if (isShort) {
        if (!ChildDisassemble(stream, 0, ctx)) return false;
        YFciParamInfoImpl* last = ctx.LastEntry();
        uint32_t length = last ? last->DataAsULong() : 0;
        if (stream.Length() < length) length = stream.Length();
        end = SaturatingAdd(ctx.m_Pos, length);
        savedLimit = ctx.SwapLimit(end);
        savedStream = ctx.SwapStreamLimit(length);
        savedOpen = ctx.m_OpenLength;
    }
    uint32_t selector = 0;
    ctx.RecordedSelector(stream.SelectorParam(), selector);
    bool ok;
    if (YMTParamStreamCase* c = step.CaseOf(selector)) {
        if (head && stream.SelectorParam() && ctx.Opt(kOptSuffixes)) {
            std::string suffix = "(";
            AppendInt(suffix, static_cast<int32_t>(selector));
            suffix += ')';
            head->SetNameSuffix(suffix);
        }
        ok = c->Disassemble(ctx);
    } else {
        if (ctx.Opt(kOptDiagCase)) ctx.Diagnose(3, stream.NameRef(), nullptr, 0, ctx.m_Pos, level);
        ok = false;
    }
    if (!isShort) return ok;
    ctx.SwapLimit(savedLimit);
    ctx.SwapStreamLimit(savedStream);
    ctx.m_OpenLength = savedOpen;
    if (end <= ctx.AvailableLength()) {
        ctx.m_Pos = end;
        return true;
    }
    if (ctx.Opt(kOptDiagLength)) ctx.Diagnose(6, stream.NameRef(), nullptr, 0, start, level);
    return false;
}

bool YMTParamDetailedStreamBase::Disassemble(DisasmContext& ctx) {
    return DecodeStream(ctx, YStreamStep::Of(*this));
}

bool YMTParamDetailedStreamBase::Assemble(DisasmContext& ctx) {
    if (NodeType() == kNodeDetailedShortStream && !ChildAssemble(*this, 0, ctx)) return false;
    uint32_t selector = 0;
    uint8_t wildcard = 0;
    ctx.RecordedSelectorAndFlag(SelectorParam(), selector, wildcard);
    if (wildcard) {
        ctx.SetStatus(kAsmWildcardRefused, ctx.m_InputIndex ? ctx.m_InputIndex - 1 : 0);
        return false;
    }
    YMTParamStreamCase* c = FindStreamCase(selector);
    if (!c) {
        ctx.SetStatus(kAsmNoCase);
        return false;
    }
    return c->Assemble(ctx);
}

} // namespace mostfcat
