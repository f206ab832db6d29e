// What the values of a message instance decode from: the hex-dump text made
// into bytes (pairs that are not two hex digits count as 00 and make the
// values that hold them undefined), a cursor with a bit position, limits of
// the enclosing structures, and the selector and count values recorded on
// the way.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace mostfcat {

class YFciParamImpl;
class YMTNode;

class YValueContext {
public:
    static constexpr uint32_t kNone = 0xFFFFFFFF;

    // A context over a hex-dump text: blanks removed, upper-cased, an odd
    // length completed with "_".
    YValueContext(const std::string& text, uint32_t decodeOptions);
    // A context over payload bytes.
    YValueContext(const uint8_t* bytes, size_t size, uint32_t decodeOptions);
    // An empty context (values decoded from it stay undefined).
    explicit YValueContext(uint32_t decodeOptions);

    // Start over on new text or bytes (not this context's own text). The
    // buffers keep their capacity, so a message instance decodes payload
    // after payload through one context.
    void Reset(const std::string& text, uint32_t decodeOptions);
    void Reset(const uint8_t* bytes, size_t size, uint32_t decodeOptions);

    const std::string& Text() const { return m_Text; }
    uint32_t DecodeOptions() const { return m_Options; }

    // Bytes up to the current end limit.
    uint32_t Size() const {
        uint32_t n = static_cast<uint32_t>(m_Bytes.size());
        return m_End < n ? m_End : n;
    }
    uint32_t PayloadSize() const { return static_cast<uint32_t>(m_Bytes.size()); }
    bool AtEnd() const { return m_Pos >= Size(); }
    uint32_t Left() const { return m_Pos < Size() ? Size() - m_Pos : 0; }
    // True when the n bytes from pos are there and were written in hex digits.
    bool Defined(uint32_t pos, uint32_t n) const;
    uint8_t Byte(uint32_t pos) const { return pos < Size() ? m_Bytes[pos] : 0; }
    // Copies n bytes from pos (missing ones as 0).
    void Copy(uint32_t pos, uint32_t n, std::vector<uint8_t>& out) const;
    // The 2n characters of the text for n bytes from pos (missing ones as "_").
    std::string TextOf(uint32_t pos, uint32_t n) const;

    uint32_t SwapEnd(uint32_t end) { return std::exchange(m_End, end); }
    uint32_t SwapStreamLimit(uint32_t limit) { return std::exchange(m_StreamLimit, limit); }
    uint32_t StreamLimit() const { return m_StreamLimit; }

    // The value object that decoded a selector / list-size definition.
    void RecordSelector(const YMTNode* definition, YFciParamImpl* value);
    YFciParamImpl* RecordedSelector(const YMTNode* definition) const;
    void RecordCount(const YMTNode* definition, YFciParamImpl* value);
    YFciParamImpl* RecordedCount(const YMTNode* definition) const;

    uint32_t m_Pos = 0;
    uint16_t m_BitPos = 0;

private:
    void Restart(uint32_t decodeOptions);

    std::string m_Text;
    std::vector<uint8_t> m_Bytes;
    std::vector<uint8_t> m_Valid; // 1 where the pair was two hex digits
    uint32_t m_Options;
    uint32_t m_End = kNone;
    uint32_t m_StreamLimit = kNone;
    std::vector<std::pair<const YMTNode*, YFciParamImpl*>> m_Selectors;
    std::vector<std::pair<const YMTNode*, YFciParamImpl*>> m_Counts;
};

} // namespace mostfcat
