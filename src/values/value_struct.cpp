// The structure value kinds: arrays, records, detailed streams with their
// stream cases, classified and raw short streams.
#include <algorithm>

#include "params/param_number.h"
#include "params/param_stream.h"
#include "params/param_struct.h"
#include "platform/hex.h"
#include "platform/strings.h"
#include "values/value_impl.h"

namespace mostfcat {

namespace {

// Child definitions of a container definition in child order.
template <class F> void ForEachDefinition(const YMTParam* definition, F&& f) {
    const auto* list = dynamic_cast<const YMTChildList*>(definition);
    if (!list) return;
    ForEachChild(*list, [&](uint32_t index, YMTNode* child) {
        if (IsParamNodeType(child->NodeType())) f(index, static_cast<const YMTParam*>(child));
    });
}

const YMTParam* ChildDefinition(const YMTParam* definition, uint32_t index) {
    const auto* list = dynamic_cast<const YMTChildList*>(definition);
    YMTNode* child = list ? list->GetAt(index) : nullptr;
    return (child && IsParamNodeType(child->NodeType())) ? static_cast<const YMTParam*>(child)
                                                         : nullptr;
}

bool IsSignal(YFciParam* child) {
    return child->Impl()->ParamType() == eFciParamSignal;
}

long SignalBits(YFciParam* child) {
    return static_cast<YSignalImpl*>(child->Impl())->BitLength();
}

bool SignalBigEndian(YFciParam* child) {
    return static_cast<YSignalImpl*>(child->Impl())->IsBigEndian();
}

} // namespace

// --- shared structure behaviour -------------------------------------------------------------

YStructImpl::~YStructImpl() {
    ClearChildren();
}

void YStructImpl::ClearChildren() {
    for (YFciParam* c : m_Children)
        delete c;
    m_Children.clear();
}

YFciParamImpl* YStructImpl::AddChild(const YMTParam* definition, bool active) {
    YFciParam* h = CreateValue(definition, m_Message);
    if (!h) return nullptr;
    YFciParamImpl* impl = h->Impl();
    impl->SetActive(active);
    // A stream case stands at its stream's depth: its identifier is glued to
    // the stream's ("Data(3)") and paths address its members directly.
    uint32_t depth = impl->ParamType() == eFciParamStreamCase ? m_Depth : m_Depth + 1;
    impl->Attach(this, depth, &m_Children);
    m_Children.push_back(h);
    return impl;
}

std::vector<uint8_t> YStructImpl::ValueHexdump() {
    std::vector<uint8_t> out;
    long last = -1;
    unsigned long bits = 0;
    for (YFciParam* c : m_Children) {
        if (!c->Impl()->IsActiveSelf()) continue;
        if (IsSignal(c) && SignalBits(c) > 0) {
            last = YFciHexdumpHelper::AppendHexDumpBits(
                c->Impl()->ValueHexdump(), out, last, bits % 8,
                static_cast<unsigned long>(SignalBits(c)), SignalBigEndian(c));
            bits += static_cast<unsigned long>(SignalBits(c));
            continue;
        }
        std::vector<uint8_t> bytes = c->Impl()->ValueHexdump();
        out.insert(out.end(), bytes.begin(), bytes.end());
        last = static_cast<long>(out.size()) - 1;
        bits = 0;
    }
    return out;
}

void YStructImpl::AppendValueHexdumpStr(std::string& out) {
    std::vector<uint8_t> packed;
    long last = -1;
    unsigned long bits = 0;
    auto flush = [&]() {
        AppendHex(out, packed.data(), packed.size());
        packed.clear();
        last = -1;
        bits = 0;
    };
    for (YFciParam* c : m_Children) {
        if (!c->Impl()->IsActiveSelf()) continue;
        if (IsSignal(c) && SignalBits(c) > 0) {
            last = YFciHexdumpHelper::AppendHexDumpBits(
                c->Impl()->ValueHexdump(), packed, last, bits % 8,
                static_cast<unsigned long>(SignalBits(c)), SignalBigEndian(c));
            bits += static_cast<unsigned long>(SignalBits(c));
            continue;
        }
        flush();
        c->Impl()->AppendValueHexdumpStr(out);
    }
    flush();
}

YFciParam* YStructImpl::FindByPath(const YParamPath& path) {
    if (YFciParam* p = YFciParamImpl::FindByPath(path)) return p;
    if (!MatchesPathElement(path) || path.size() <= size_t(m_Depth) + 1) return nullptr;
    if (ChildRequiresIndex() && !path[m_Depth + 1].hasIndex) return nullptr;
    for (YFciParam* c : m_Children)
        if (c->Impl()->MatchesPathElement(path))
            if (YFciParam* p = c->Impl()->FindByPath(path)) return p;
    return nullptr;
}

void YStructImpl::ExpandPath(const YParamPath& path) {
    if (FindByPath(path)) return;
    for (YFciParam* c : m_Children)
        if (c->Impl()->MatchesPathElement(path)) {
            c->Impl()->ExpandPath(path);
            return;
        }
}

void YStructImpl::ExpandAll() {
    for (YFciParam* c : m_Children)
        c->Impl()->ExpandAll();
}

void YStructImpl::ForgetOutside() {
    YFciParamImpl::ForgetOutside();
    m_SelectorParam = nullptr;
    for (YFciParam* c : m_Children)
        c->Impl()->ForgetOutside();
}

// --- arrays and records -----------------------------------------------------------------

const YMTParam* YIndexedImpl::SelectorDefinition() const {
    if (!Def()) return nullptr;
    if (m_Kind == eFciParamArray) return static_cast<const YMTParamArray*>(Def())->SelectorParam();
    return static_cast<const YMTParamRecord*>(Def())->SelectorParam();
}

bool YIndexedImpl::IsSplitSelector() const {
    const YMTParam* selector = SelectorDefinition();
    return selector && Def() && selector != Def()->Parent();
}

unsigned long YIndexedImpl::GetSelectorValue() const {
    if (!m_SelectorParam) return 0;
    uint32_t v = 0;
    m_SelectorParam->SelectorValue(v);
    return IsSplitSelector() ? (v >> 8) & 0xFF : v;
}

bool YIndexedImpl::SelectorValue(uint32_t& out) const {
    out = m_OwnSelector;
    return true;
}

void YIndexedImpl::TakeSelector(YValueContext& ctx) {
    m_SelectorParam = ctx.RecordedSelector(SelectorDefinition());
    m_OwnSelector = 0;
    if (m_SelectorParam && IsSplitSelector() && IsMultiplexorParam()) {
        ctx.RecordSelector(Def(), this);
        uint32_t v = 0;
        m_SelectorParam->SelectorValue(v);
        m_OwnSelector = static_cast<uint8_t>(v & 0xFF);
    }
}

uint32_t YArrayImpl::Limit() const {
    uint32_t nmax = Def() ? static_cast<const YMTParamArray*>(Def())->NMax() : 0;
    return nmax < 256 ? nmax : 256;
}

YFciParamImpl* YArrayImpl::NewElement(uint32_t number, YValueContext* ctx) {
    const YMTParam* element = ChildDefinition(Def(), 1);
    unsigned long s = GetSelectorValue();
    YFciParamImpl* impl = AddChild(element, s == 0 || number == s);
    if (!impl) return nullptr;
    impl->SetIndex(number);
    if (ctx) {
        impl->Disassemble(*ctx);
    } else {
        // An element outside the payload: undefined, selected through this array.
        YValueContext empty(DecodeOptions());
        empty.RecordSelector(Def(), this);
        impl->Disassemble(empty);
    }
    return impl;
}

void YArrayImpl::Disassemble(YValueContext& ctx) {
    ClearChildren();
    TakeSelector(ctx);
    const YMTParam* element = ChildDefinition(Def(), 1);
    if (!element) return;
    uint32_t nmax = static_cast<const YMTParamArray*>(Def())->NMax();
    unsigned long s = GetSelectorValue();
    uint32_t n = Limit();
    if (s > 0) n = static_cast<uint32_t>(std::min<unsigned long>(s, nmax));
    if (element->NodeType() == kNodeRecord && IsMultiplexorParam() &&
        m_OwnSelector > static_cast<const YMTParamRecord*>(element)->NElements())
        return;
    if (ctx.AtEnd() && (ctx.DecodeOptions() & 0x1)) return;
    for (uint32_t i = 1; i <= n; ++i) {
        bool active = s == 0 || i == s;
        NewElement(i, active ? &ctx : nullptr);
        if (s == 0 && ctx.AtEnd()) break;
    }
}

void YArrayImpl::Renumber() {
    for (size_t i = 0; i < m_Children.size(); ++i)
        m_Children[i]->Impl()->SetIndex(static_cast<uint32_t>(i + 1));
}

void YArrayImpl::UpdateLayout() {
    unsigned long s = GetSelectorValue();
    for (YFciParam* c : m_Children) {
        c->Impl()->SetActive(s == 0 || c->Impl()->Index() == s);
        c->Impl()->UpdateLayout();
    }
}

bool YArrayImpl::InsertElem() {
    if (m_Children.size() >= Limit() || !ChildDefinition(Def(), 1)) return false;
    if (!NewElement(static_cast<uint32_t>(m_Children.size() + 1), nullptr)) return false;
    NotifyChanged(false);
    return true;
}

bool YArrayImpl::RemoveElem(YFciParam* element) {
    auto it = std::find(m_Children.begin(), m_Children.end(), element);
    if (!element || it == m_Children.end()) return false;
    m_Children.erase(it);
    delete element;
    Renumber();
    UpdateLayout();
    NotifyChanged(false);
    return true;
}

void YArrayImpl::ExpandAll() {
    if (m_Children.empty()) InsertElem();
    YStructImpl::ExpandAll();
}

void YArrayImpl::ExpandPath(const YParamPath& path) {
    if (!MatchesPathElement(path) || path.size() <= size_t(m_Depth) + 1) return;
    const YPathElement& next = path[m_Depth + 1];
    const YMTParam* element = ChildDefinition(Def(), 1);
    if (!element || !next.hasIndex || next.index < 1 || next.index > Limit()) return;
    bool names =
        next.hasPosition ? next.position == 1 : EqualsNoCase(next.name, element->NameRef());
    if (!names) return;
    for (uint32_t inserted = 0;; ++inserted) {
        for (YFciParam* c : m_Children)
            if (c->Impl()->MatchesPathElement(path)) {
                c->Impl()->ExpandPath(path);
                return;
            }
        if (inserted >= Limit() || !InsertElem()) return;
    }
}

void YRecordImpl::Disassemble(YValueContext& ctx) {
    ClearChildren();
    TakeSelector(ctx);
    unsigned long s = GetSelectorValue();
    uint32_t ordinal = 0;
    ForEachDefinition(Def(), [&](uint32_t, const YMTParam* field) {
        ++ordinal;
        bool active = s == 0 || ordinal == s;
        YFciParamImpl* impl = AddChild(field, active);
        if (!impl) return;
        if (active) {
            impl->Disassemble(ctx);
        } else {
            YValueContext empty(ctx.DecodeOptions());
            empty.RecordSelector(Def(), this);
            impl->Disassemble(empty);
        }
    });
}

void YRecordImpl::UpdateLayout() {
    unsigned long s = GetSelectorValue();
    for (size_t i = 0; i < m_Children.size(); ++i) {
        m_Children[i]->Impl()->SetActive(s == 0 || i + 1 == s);
        m_Children[i]->Impl()->UpdateLayout();
    }
}

// --- detailed streams and stream cases ---------------------------------------------------------

namespace {

const YMTParamDetailedStreamBase* StreamDef(const YMTParam* d) {
    return static_cast<const YMTParamDetailedStreamBase*>(d);
}

} // namespace

void YDetailedStreamImpl::Disassemble(YValueContext& ctx) {
    ClearChildren();
    m_TailBytes.clear();
    m_TailText.clear();
    if (!Def()) return;
    const YMTParamDetailedStreamBase* def = StreamDef(Def());
    m_SelectorParam = ctx.RecordedSelector(def->SelectorParam());
    bool isShort = m_Kind == eFciParamDetailedShortStream;
    uint32_t end = 0;
    uint32_t savedEnd = 0;
    if (isShort) {
        YFciParamImpl* length = AddChild(ChildDefinition(Def(), 0), true);
        if (!length) return;
        length->Disassemble(ctx);
        uint32_t l = 0;
        if (!length->SelectorValue(l) || l == 0) return;
        uint64_t stop = uint64_t(ctx.m_Pos) + l;
        end = stop > 0xFFFFFFF0ull ? 0xFFFFFFF0u : static_cast<uint32_t>(stop);
        uint32_t limit = std::min(ctx.PayloadSize(), end);
        savedEnd = ctx.SwapEnd(limit);
    }
    uint32_t s = 0;
    bool available =
        !def->SelectorParam() || (m_SelectorParam && m_SelectorParam->SelectorValue(s));
    if (available)
        if (const YMTParamStreamCase* c = def->FindStreamCase(s))
            if (YFciParamImpl* impl = AddChild(c, true)) impl->Disassemble(ctx);
    if (isShort) {
        if (ctx.m_BitPos != 0) {
            ctx.m_BitPos = 0;
            ++ctx.m_Pos;
        }
        uint32_t stop = std::min(end, ctx.Size());
        if (ctx.m_Pos < stop) {
            ctx.Copy(ctx.m_Pos, stop - ctx.m_Pos, m_TailBytes);
            m_TailText = ctx.TextOf(ctx.m_Pos, stop - ctx.m_Pos);
        }
        ctx.SwapEnd(savedEnd);
        ctx.m_Pos = end;
        ctx.m_BitPos = 0;
    }
}

std::vector<uint8_t> YDetailedStreamImpl::ValueHexdump() {
    std::vector<uint8_t> out = YStructImpl::ValueHexdump();
    out.insert(out.end(), m_TailBytes.begin(), m_TailBytes.end());
    return out;
}

void YDetailedStreamImpl::AppendValueHexdumpStr(std::string& out) {
    YStructImpl::AppendValueHexdumpStr(out);
    out += m_TailText;
}

YFciParam* YDetailedStreamImpl::FindByPath(const YParamPath& path) {
    // "Data(3)" names the case, not the stream: let the case answer it.
    if (m_Depth < path.size() && path[m_Depth].hasCase) {
        if (!MatchesPathElement(path)) return nullptr;
        for (YFciParam* c : m_Children)
            if (c->Impl()->MatchesPathElement(path))
                if (YFciParam* p = c->Impl()->FindByPath(path)) return p;
        return nullptr;
    }
    return YStructImpl::FindByPath(path);
}

YFciParam* YDetailedStreamImpl::GetMultiplexorParam() const {
    return m_SelectorParam ? m_SelectorParam->Handle() : nullptr;
}

const std::string& YDetailedStreamImpl::MultiplexorName() const {
    static const std::string kEmpty;
    return m_SelectorParam ? m_SelectorParam->Name() : kEmpty;
}

bool YDetailedStreamImpl::CaseValue(uint32_t& value) const {
    value = 0;
    return m_SelectorParam && m_SelectorParam->SelectorValue(value);
}

YDetailedStreamImpl* YStreamCaseImpl::Stream() const {
    return dynamic_cast<YDetailedStreamImpl*>(m_ParentEntity);
}

bool YStreamCaseImpl::HasSequence() const {
    return Def() && static_cast<const YMTParamStreamCase*>(Def())->SeqCnt() != 0;
}

bool YStreamCaseImpl::IsSequenceMember(const YMTParam* definition) const {
    return HasSequence() && definition && definition->SeqIndex() > 0;
}

void YStreamCaseImpl::Renumber() {
    if (!HasSequence()) return;
    uint32_t group = static_cast<const YMTParamStreamCase*>(Def())->SeqCnt();
    uint32_t k = 0;
    for (YFciParam* c : m_Children)
        if (IsSequenceMember(c->Impl()->Definition())) c->Impl()->SetIndex(k++ / group + 1);
}

uint32_t YStreamCaseImpl::HighestRepetition() const {
    uint32_t highest = 0;
    for (YFciParam* c : m_Children)
        if (c->Impl()->HasIndex()) highest = std::max(highest, c->Impl()->Index());
    return highest;
}

void YStreamCaseImpl::Disassemble(YValueContext& ctx) {
    ClearChildren();
    const auto* def = static_cast<const YMTParamStreamCase*>(Def());
    if (!def) return;
    uint32_t count = 0xFFFFFFFF;
    if (const YMTParamDetailedStreamBase* stream = def->Stream())
        if (YFciParamImpl* listSize = ctx.RecordedCount(stream->ListSizeParam())) {
            uint32_t v = 0;
            if (listSize->SelectorValue(v)) count = v;
        }
    bool stopAtEnd = (ctx.DecodeOptions() & 0x1) != 0;
    bool stopped = false;
    ForEachDefinition(Def(), [&](uint32_t, const YMTParam* member) {
        if (stopped) return;
        if (IsSequenceMember(member) && (count == 0 || (ctx.AtEnd() && stopAtEnd))) {
            stopped = true;
            return;
        }
        if (YFciParamImpl* impl = AddChild(member, true)) impl->Disassemble(ctx);
    });
    if (HasSequence() && !stopped) {
        uint32_t most = def->SeqIndexMax() ? def->SeqIndexMax() : 0xFFFFFFFF;
        if (count < most) most = count;
        for (uint32_t r = 2; r <= most && r <= 256 && !ctx.AtEnd(); ++r) {
            for (uint16_t pos : def->SeqPositions()) {
                const YMTParam* member = ChildDefinition(Def(), pos);
                if (YFciParamImpl* impl = member ? AddChild(member, true) : nullptr)
                    impl->Disassemble(ctx);
            }
        }
    }
    if (ctx.m_BitPos != 0) {
        ctx.m_BitPos = 0;
        ++ctx.m_Pos;
    }
    Renumber();
}

std::string YStreamCaseImpl::ShortIDTail() {
    YDetailedStreamImpl* stream = Stream();
    uint32_t v = 0;
    if (!stream || !stream->CaseValue(v)) return std::string();
    return "(" + std::to_string(v) + ")";
}

std::string YStreamCaseImpl::ShortID() {
    return m_ParentEntity ? Join(m_ParentEntity->ShortID(), ShortIDTail(), true) : ShortIDTail();
}

std::string YStreamCaseImpl::SymID() {
    return m_ParentEntity ? Join(m_ParentEntity->SymID(), SymIDTail(), true) : SymIDTail();
}

std::string YStreamCaseImpl::DescName(bool hex) {
    YDetailedStreamImpl* stream = Stream();
    uint32_t v = 0;
    if (!stream || !stream->CaseValue(v)) return Name();
    const std::string& selector = stream->MultiplexorName();
    // The case is named by the selector's value text when the selector is an
    // enumeration that names the value.
    std::string caseName;
    if (const YFciParam* m = stream->GetMultiplexorParam())
        if (const YMTParam* d = m->Impl()->Definition(); d && d->NodeType() == kNodeEnum)
            caseName = static_cast<const YMTParamEnum*>(d)->CodeText(v, false);
    if (hex)
        return caseName.empty()
                   ? StrFormat("%s = 0x%X", selector.c_str(), v)
                   : StrFormat("%s = %s (0x%X)", selector.c_str(), caseName.c_str(), v);
    return caseName.empty() ? StrFormat("%s = %u", selector.c_str(), v)
                            : StrFormat("%s = %s (%u)", selector.c_str(), caseName.c_str(), v);
}

bool YStreamCaseImpl::MatchesPathElement(const YParamPath& path) const {
    if (m_Depth >= path.size()) return false;
    const YPathElement& e = path[m_Depth];
    if (!e.hasCase) return true;
    YDetailedStreamImpl* stream = Stream();
    uint32_t v = 0;
    return stream && stream->CaseValue(v) && v == e.caseValue;
}

void YStreamCaseImpl::UpdateLayout() {
    for (YFciParam* c : m_Children)
        c->Impl()->UpdateLayout();
}

bool YStreamCaseImpl::InsertSequence() {
    if (!HasSequence()) return false;
    const auto* def = static_cast<const YMTParamStreamCase*>(Def());
    if (def->SeqPositions().empty()) return false;
    if (def->SeqIndexMax() != 0 && HighestRepetition() >= def->SeqIndexMax()) return false;
    if (HighestRepetition() >= 256) return false;
    for (uint16_t pos : def->SeqPositions()) {
        const YMTParam* member = ChildDefinition(Def(), pos);
        if (YFciParamImpl* impl = member ? AddChild(member, true) : nullptr) {
            YValueContext empty(DecodeOptions());
            impl->Disassemble(empty);
        }
    }
    Renumber();
    NotifyChanged(false);
    return true;
}

bool YStreamCaseImpl::RemoveSequence(YFciParam* member) {
    if (!HasSequence() || !member) return false;
    auto it = std::find(m_Children.begin(), m_Children.end(), member);
    if (it == m_Children.end() || !IsSequenceMember(member->Impl()->Definition()) ||
        !member->Impl()->HasIndex())
        return false;
    uint32_t repetition = member->Impl()->Index();
    std::vector<YFciParam*> kept;
    for (YFciParam* c : m_Children) {
        if (IsSequenceMember(c->Impl()->Definition()) && c->Impl()->Index() == repetition)
            delete c;
        else
            kept.push_back(c);
    }
    m_Children.swap(kept);
    Renumber();
    NotifyChanged(false);
    return true;
}

// --- classified and raw short streams ----------------------------------------------------------

unsigned long YLengthStreamImpl::MaxLength() const {
    return Def() ? static_cast<const YMTParamLengthStreamBase*>(Def())->MaxLength() : 0;
}

void YLengthStreamImpl::Disassemble(YValueContext& ctx) {
    ClearChildren();
    YFciParamImpl* length = AddChild(ChildDefinition(Def(), 1), true);
    if (!length) return;
    length->Disassemble(ctx);
    uint32_t l = 0;
    bool known = length->SelectorValue(l);
    uint32_t max = static_cast<uint32_t>(MaxLength());
    uint32_t limit = std::min(max, l);
    // Without a defined length the data cannot be told from what follows: it
    // takes nothing, so that the values after the stream keep their bytes.
    if (m_Kind == eFciParamRawShortStream) {
        uint32_t saved = ctx.SwapStreamLimit(known ? limit : 0);
        if (YFciParamImpl* data = AddChild(ChildDefinition(Def(), 2), true)) data->Disassemble(ctx);
        ctx.SwapStreamLimit(saved);
        return;
    }
    uint32_t start = ctx.m_Pos;
    if (YFciParamImpl* media = AddChild(ChildDefinition(Def(), 2), true)) media->Disassemble(ctx);
    uint32_t used = ctx.m_Pos - start;
    uint32_t saved = ctx.SwapStreamLimit(known ? (limit > used ? limit - used : 0) : 0);
    if (YFciParamImpl* content = AddChild(ChildDefinition(Def(), 3), true))
        content->Disassemble(ctx);
    ctx.SwapStreamLimit(saved);
}

void YLengthStreamImpl::UpdateLayout() {
    for (YFciParam* c : m_Children)
        c->Impl()->UpdateLayout();
}

} // namespace mostfcat
