#include "values/value_context.h"

#include "platform/hex.h"

namespace mostfcat {

YValueContext::YValueContext(const std::string& text, uint32_t decodeOptions)
    : m_Options(decodeOptions) {
    Reset(text, decodeOptions);
}

YValueContext::YValueContext(const uint8_t* bytes, size_t size, uint32_t decodeOptions)
    : m_Options(decodeOptions) {
    Reset(bytes, size, decodeOptions);
}

YValueContext::YValueContext(uint32_t decodeOptions) : m_Options(decodeOptions) {}

void YValueContext::Restart(uint32_t decodeOptions) {
    m_Pos = 0;
    m_BitPos = 0;
    m_Options = decodeOptions;
    m_End = kNone;
    m_StreamLimit = kNone;
    m_Text.clear();
    m_Bytes.clear();
    m_Valid.clear();
    m_Selectors.clear();
    m_Counts.clear();
}

void YValueContext::Reset(const uint8_t* bytes, size_t size, uint32_t decodeOptions) {
    Restart(decodeOptions);
    if (bytes && size) {
        AppendHex(m_Text, bytes, size);
        m_Bytes.assign(bytes, bytes + size);
        m_Valid.assign(size, 1);
    }
}

void YValueContext::Reset(const std::string& text, uint32_t decodeOptions) {
    Restart(decodeOptions);
    m_Text.reserve(text.size() + 1);
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        m_Text.push_back((c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c);
    }
    if (m_Text.size() % 2) m_Text.push_back('_');
    size_t n = m_Text.size() / 2;
    m_Bytes.assign(n, 0);
    m_Valid.assign(n, 0);
    for (size_t i = 0; i < n; ++i) {
        int hi = HexDigit(m_Text[2 * i]);
        int lo = HexDigit(m_Text[2 * i + 1]);
        if (hi < 0 || lo < 0) continue;
        m_Bytes[i] = static_cast<uint8_t>(hi << 4 | lo);
        m_Valid[i] = 1;
    }
}

bool YValueContext::Defined(uint32_t pos, uint32_t n) const {
    if (uint64_t(pos) + n > Size()) return false;
    for (uint32_t i = 0; i < n; ++i)
        if (!m_Valid[pos + i]) return false;
    return true;
}

void YValueContext::Copy(uint32_t pos, uint32_t n, std::vector<uint8_t>& out) const {
    out.assign(n, 0);
    for (uint32_t i = 0; i < n && uint64_t(pos) + i < Size(); ++i)
        out[i] = m_Bytes[pos + i];
}

std::string YValueContext::TextOf(uint32_t pos, uint32_t n) const {
    std::string out(2 * size_t(n), '_');
    for (uint32_t i = 0; i < n && uint64_t(pos) + i < Size(); ++i) {
        out[2 * i] = m_Text[2 * size_t(pos + i)];
        out[2 * i + 1] = m_Text[2 * size_t(pos + i) + 1];
    }
    return out;
}

void YValueContext::RecordSelector(const YMTNode* definition, YFciParamImpl* value) {
    if (!definition) return;
    for (auto& s : m_Selectors)
        if (s.first == definition) {
            s.second = value;
            return;
        }
    m_Selectors.emplace_back(definition, value);
}

YFciParamImpl* YValueContext::RecordedSelector(const YMTNode* definition) const {
    for (const auto& s : m_Selectors)
        if (s.first == definition) return s.second;
    return nullptr;
}

void YValueContext::RecordCount(const YMTNode* definition, YFciParamImpl* value) {
    if (!definition) return;
    for (auto& s : m_Counts)
        if (s.first == definition) {
            s.second = value;
            return;
        }
    m_Counts.emplace_back(definition, value);
}

YFciParamImpl* YValueContext::RecordedCount(const YMTNode* definition) const {
    for (const auto& s : m_Counts)
        if (s.first == definition) return s.second;
    return nullptr;
}

} // namespace mostfcat
