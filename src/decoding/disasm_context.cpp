#include "decoding/disasm_context.h"

#include "decoding/value_text.h"
#include "mostfcat/hexdump.h"
#include "platform/hex.h"
#include "platform/strings.h"
#include "tree/catalog.h"

namespace mostfcat {

void DisasmContext::CheckNameSources() {
    m_Target.pool->CheckNameSources(YMTCatalog::DeletedCount());
}

std::vector<uint8_t> DisasmContext::ReadBytes(uint32_t pos, uint32_t count) const {
    const uint8_t* p = BytesAt(pos, count);
    return p ? std::vector<uint8_t>(p, p + count) : std::vector<uint8_t>();
}

std::vector<uint8_t> DisasmContext::ReadBits(uint32_t bytePos, uint16_t bitOffset,
                                             uint32_t bitCount, bool lsbFirst) const {
    std::vector<uint8_t> out((bitCount + 7) / 8, 0);
    if (!Fits(bytePos, (uint64_t(bitOffset) + bitCount + 7) / 8)) return out;
    const uint8_t* src = m_Payload + bytePos;
    uint32_t t = lsbFirst ? 0 : (8 - bitCount % 8) % 8;
    for (uint32_t k = bitOffset; k < uint32_t(bitOffset) + bitCount; ++k, ++t) {
        if (lsbFirst) {
            if (src[k / 8] & (1u << (k % 8))) out[t / 8] |= static_cast<uint8_t>(1u << (t % 8));
        } else {
            if (src[k / 8] & (0x80u >> (k % 8)))
                out[t / 8] |= static_cast<uint8_t>(0x80u >> (t % 8));
        }
    }
    return out;
}

void DisasmContext::RecordSelector(YDefinitionKey definition, uint32_t value, uint8_t flag) {
    if (!definition) return;
    for (size_t i = 0; i < m_Selectors.size(); ++i)
        if (Recorded& r = m_Selectors[i]; r.definition == definition) {
            r.value = value;
            r.flag = flag;
            return;
        }
    m_Selectors.push_back(Recorded{definition, value, flag});
}

bool DisasmContext::RecordedSelectorAndFlag(YDefinitionKey definition, uint32_t& value,
                                            uint8_t& flag) const {
    for (size_t i = 0; i < m_Selectors.size(); ++i)
        if (const Recorded& r = m_Selectors[i]; r.definition == definition) {
            value = r.value;
            flag = r.flag;
            return true;
        }
    value = 0;
    flag = 0;
    return false;
}

bool DisasmContext::RecordedSelector(YDefinitionKey definition, uint32_t& value) const {
    uint8_t flag;
    return RecordedSelectorAndFlag(definition, value, flag);
}

void DisasmContext::RecordCount(YDefinitionKey definition, uint32_t value) {
    if (!definition) return;
    for (size_t i = 0; i < m_Counts.size(); ++i)
        if (Counted& c = m_Counts[i]; c.definition == definition) {
            c.value = value;
            return;
        }
    m_Counts.push_back(Counted{definition, value});
}

bool DisasmContext::RecordedCount(YDefinitionKey definition, uint32_t& value) const {
    for (size_t i = 0; i < m_Counts.size(); ++i)
        if (const Counted& c = m_Counts[i]; c.definition == definition) {
            value = c.value;
            return true;
        }
    value = 0;
    return false;
}

namespace {

constexpr size_t kFirstBlock = 4;

} // namespace

YFciParamInfoImpl* YEntryPool::NextMade() {
    // The made entries of the current block are used up.
    for (;;) {
        if (m_Block == m_Blocks.size()) {
            m_Blocks.emplace_back();
            m_Blocks.back().reserve(kFirstBlock << (m_Block < 10 ? m_Block : 10));
            Enter(m_Block);
        }
        std::vector<YFciParamInfoImpl>& block = m_Blocks[m_Block];
        if (block.size() < block.capacity()) return nullptr;
        Enter(m_Block + 1);
        if (m_Next != m_End) return m_Next++;
    }
}

YFciParamInfoImpl* YEntryPool::TakeMore(uint32_t kind, const uint8_t* data, size_t size,
                                        uint32_t pos, bool hasNoData, uint32_t bitLength,
                                        const std::string* name, uint32_t nameForm) {
    if (YFciParamInfoImpl* entry = NextMade()) {
        entry->Reset(kind, data, size, pos, hasNoData, bitLength, name, nameForm);
        return entry;
    }
    // Within the block's reserved room: the entries before it stay put.
    std::vector<YFciParamInfoImpl>& block = m_Blocks[m_Block];
    block.emplace_back(kind, data, size, pos, hasNoData, bitLength);
    ++m_Made;
    m_Next = m_End = block.data() + block.size();
    return &block.back();
}

YFciParamInfoImpl* YEntryPool::TakeCopy(const YFciParamInfoImpl& other) {
    if (m_Next != m_End) {
        *m_Next = other;
        return m_Next++;
    }
    if (YFciParamInfoImpl* entry = NextMade()) {
        *entry = other;
        return entry;
    }
    std::vector<YFciParamInfoImpl>& block = m_Blocks[m_Block];
    block.push_back(other);
    ++m_Made;
    m_Next = m_End = block.data() + block.size();
    return &block.back();
}

void YEntryPool::Trim() {
    size_t kept = 0;
    for (size_t b = 0; b < m_Blocks.size(); ++b) {
        kept += m_Blocks[b].size();
        if (kept > kKeep) {
            m_Blocks.resize(b + 1);
            break;
        }
    }
    m_Made = kept;
}

void YEntryPool::CheckNameSources(uint64_t catalogsDeleted) {
    if (catalogsDeleted == m_CatalogsDeleted) return;
    m_CatalogsDeleted = catalogsDeleted;
    for (std::vector<YFciParamInfoImpl>& block : m_Blocks)
        for (YFciParamInfoImpl& entry : block)
            entry.ForgetNameSource();
}

void AppendDiagnosticText(std::string& out, uint32_t kind, const std::string& name,
                          bool insideStructure) {
    auto quoted = [&](const char* before, const char* after) {
        out += before;
        out += name;
        out += after;
    };
    switch (kind) {
    case 1:
        if (insideStructure)
            quoted("Parameter '", "' exceeds length of superior structure");
        else
            quoted("Position of parameter '", "' exceeds message length");
        break;
    case 2:
        out += "End of message while disassembling string";
        break;
    case 3:
        quoted("Unknown streamcase in '", "'");
        break;
    case 4:
        out += "Bytes left";
        break;
    case 5:
        quoted("Further interpretation of '", "' not possible");
        break;
    case 6:
        out += "Stream data length conflict";
        break;
    default:
        quoted("Unknown error while disassembling '", "'");
        break;
    }
}

std::string DiagnosticText(uint32_t kind, const std::string& name, bool insideStructure) {
    std::string out;
    AppendDiagnosticText(out, kind, name, insideStructure);
    return out;
}

void DisasmContext::Diagnose(uint32_t kind, const std::string& name, const uint8_t* data,
                             size_t size, uint32_t pos, uint32_t level) {
    // The sentence depends on the kind, on whether the parameter lies inside
    // a structure and, for most kinds, on the parameter's name (a definition's
    // text); an entry that held the same sentence last time keeps it.
    static const std::string kNoName;
    bool inside = m_Limit != kNoLimit;
    const std::string* from = nullptr;
    uint32_t form = 0;
    if (Opt(kOptNames)) {
        from = (kind == 2 || kind == 4 || kind == 6) ? &kNoName : &name;
        form = 1 + (kind << 1 | (inside ? 1u : 0u));
    }
    YFciParamInfoImpl* entry = MakeEntry(kKindDiagnostic, data, size, pos, kind != 4, 0, from, form);
    entry->SetErrorKind(kind);
    entry->SetLevel(level);
    if (from) {
        if (!entry->HasNameFrom(from, form)) {
            std::string& text = entry->NameRef();
            text = "# ";
            AppendDiagnosticText(text, kind, name, inside);
            text += " #";
        }
        entry->NoteNameSource(from, form);
    }
    uint32_t half = m_TextLimit / 2;
    entry->SetLength(half < m_Size ? half : m_Size);
    if (Opt(kOptHexText)) {
        std::string& hex = entry->HexRef();
        AppendHex(hex, data, size < half ? size : half);
        if (size > half) hex += "...";
    }
    AddEntry(entry);
}

const std::string& DisasmContext::CurrentInput() const {
    static const std::string kEmpty;
    return InputsLeft() ? (*m_Inputs)[m_InputIndex] : kEmpty;
}

bool DisasmContext::RawStep() {
    const std::string& input = CurrentInput();
    if (input.empty()) {
        SetStatus(kAsmBadInput);
        return true;
    }
    if (input.size() < 2 || input.front() != '{' || input.back() != '}') return false;
    std::string inner = input.substr(1, input.size() - 2);
    // A "*" may only stand last: the data then matches any continuation.
    size_t last = inner.find_last_not_of(' ');
    bool open = last != std::string::npos && inner[last] == '*';
    if (open) inner.erase(last);
    std::vector<uint8_t> bytes;
    size_t digits = 0;
    for (char c : inner)
        if (c != ' ') ++digits;
    if (inner.find('*') != std::string::npos || (open && digits % 2 != 0) ||
        !YFciHexdumpHelper::StringToBytes(bytes, inner)) {
        SetStatus(kAsmNotConvertible);
        return true;
    }
    YFciParamInfoImpl* entry =
        MakeEntry(kKindRawStream, bytes.data(), bytes.size(), m_Pos, false, 0);
    entry->SetOpenEnded(open);
    if (Opt(kOptHexText)) AppendHex(entry->HexRef(), bytes.data(), bytes.size());
    AddEntry(entry);
    m_Pos += static_cast<uint32_t>(bytes.size());
    ++m_InputIndex;
    if (InputsLeft()) SetStatus(kAsmTooManyInputs);
    return true;
}

bool DisasmContext::TakeInput(bool& done) {
    if (!InputsLeft() || CurrentInput().empty()) {
        SetStatus(kAsmBadInput);
        done = false;
        return false;
    }
    if (RawStep()) {
        done = m_Status == kAsmOk;
        return false;
    }
    return true;
}

void DisasmContext::SetValueText(YFciParamInfoImpl& entry, std::string text) const {
    entry.ValueRef() = std::move(text);
    LimitValueText(entry);
}

void DisasmContext::LimitValueText(YFciParamInfoImpl& entry) const {
    std::string& value = entry.ValueRef();
    if (value.size() > m_TextLimit) {
        value.resize(m_TextLimit);
        value += "...";
    }
}

void DisasmContext::SetValueTextOf(YFciParamInfoImpl& entry, const std::string& text) const {
    std::string& value = entry.ValueRef();
    if (text.size() > m_TextLimit) {
        value.assign(text, 0, m_TextLimit);
        value += "...";
    } else {
        value = text;
    }
}

const uint8_t* DisasmContext::ValueBytes(const YEntryDescription& definition, uint32_t n) {
    static const uint8_t kNone = 0;
    if (!Fits(m_Pos, n)) {
        if (Opt(kOptDiagLength)) Diagnose(1, *definition.name, nullptr, 0, m_Pos, definition.level);
        return nullptr;
    }
    return n ? m_Payload + m_Pos : &kNone;
}

void DisasmContext::AddHead(uint32_t kind, const YEntryDescription& definition) {
    if (!Opt(kOptHeads)) return;
    AddEntry(NewEntry(kind, definition, nullptr, 0, m_Pos, true, 0));
}

void DisasmContext::SuffixEntries(uint32_t first, uint32_t level, uint32_t number) {
    if (!Opt(kOptSuffixes)) return;
    std::string suffix;
    for (uint32_t i = first; i < EntryCount(); ++i) {
        YFciParamInfoImpl* e = EntryAt(i);
        if (e->Level() != level || e->ParamType() == kKindDiagnostic) continue;
        if (suffix.empty()) {
            suffix += '[';
            AppendInt(suffix, static_cast<int32_t>(number));
            suffix += ']';
        }
        e->SetNameSuffix(suffix);
    }
}

bool InputHasShape(uint32_t kind, const std::string& input) {
    switch (kind) {
    case kKindBool:
    case kKindNumber:
    case kKindBitField:
    case kKindSignal: {
        std::string t = ToLower(Trim(input));
        if (t.empty()) return false;
        auto allOf = [&](size_t from, const char* chars) {
            if (from >= t.size()) return false;
            return t.find_first_not_of(chars, from) == std::string::npos;
        };
        if (StartsWith(t, "0x")) return allOf(2, "0123456789abcdef");
        if (StartsWith(t, "0b")) return allOf(2, "01");
        size_t from = (t[0] == '-' || t[0] == '+') ? 1 : 0;
        return allOf(from, "0123456789");
    }
    case kKindEnum:
        return !input.empty();
    case kKindString:
        return input.size() >= 2 && input.front() == '\'' && input.back() == '\'';
    case kKindRawStream:
        return input.size() >= 2 && input.front() == '{' && input.back() == '}';
    default:
        return false;
    }
}

} // namespace mostfcat
