// Trace lines decoded into the text or the JSON a user reads: one message a
// line, malformed lines reported without losing the others.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <type_traits>
#include <typeinfo>
#include <unordered_map>
#include <vector>

#include "mostfcat/fci.h"
#include "mostfcat/user_input.h"
#include "decoding/param_info.h"
#include "message/appender.h"
#include "platform/hex.h"
#include "platform/strings.h"
#include "tree/catalog.h"
#include "tree/fblock.h"

using namespace mostfcat;

namespace {

// The longest part of a malformed line that is echoed back.
constexpr size_t kEchoLimit = 80;

const YMTInstance* InstanceOf(uint64_t handle) {
    auto* node = reinterpret_cast<YMTNode*>(handle);
    return node && node->NodeType() == kNodeInstance ? static_cast<const YMTInstance*>(node)
                                                     : nullptr;
}

// Calls f with each entry; the library's own entries as their exact type, so
// that reading their fields needs no virtual call.
template <class F> void ForEachEntry(const std::vector<YFciParamInfo*>& entries, F f) {
    for (const YFciParamInfo* e : entries) {
        if (typeid(*e) == typeid(YFciParamInfoImpl))
            f(static_cast<const YFciParamInfoImpl&>(*e));
        else
            f(*e);
    }
}

// True when the value shown for an entry is the library's own value text
// (made UTF-8): strings are shown decoded by their encoding byte instead, and
// a bool field whose two states share one text shows its bit.
template <class E> bool ShowsLibraryText(const E& e) {
    uint32_t type = e.ParamType();
    if (type == eFciParamString) return false;
    if (type != eFciParamBoolfield) return true;
    if constexpr (std::is_same_v<E, YFciParamInfoImpl>) return !(e.Remarks() & kRemarkOneText);
    return false;
}

// The remarks of an entry (YFciUserInput::EntryRemarks), read from the
// library's own entries without a call.
template <class E> uint32_t RemarksOf(const E& e) {
    static_assert(uint32_t(kRemarkOutOfRange) == YFciUserInput::eRemarkOutOfRange &&
                  uint32_t(kRemarkUndefinedCode) == YFciUserInput::eRemarkUndefined);
    if constexpr (std::is_same_v<E, YFciParamInfoImpl>)
        return e.Remarks() & (kRemarkOutOfRange | kRemarkUndefinedCode);
    else
        return YFciUserInput::EntryRemarks(e);
}

// --- JSON writing ------------------------------------------------------------------------

void JsonString(std::string& out, const std::string& utf8) {
    out.push_back('"');
    for (char ch : utf8) {
        auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                static const char kHex[] = "0123456789abcdef";
                out += "\\u00";
                out.push_back(kHex[c >> 4]);
                out.push_back(kHex[c & 15]);
            } else {
                out.push_back(ch);
            }
        }
    }
    out.push_back('"');
}

// "key": after a comma unless the object just opened. Keys are literals:
// their length is known here.
template <size_t N> void Key(std::string& out, const char (&key)[N]) {
    if (out.back() != '{') out.push_back(',');
    out.push_back('"');
    out.append(key, N - 1);
    out.append("\":", 2);
}

template <size_t N>
void KeyString(std::string& out, const char (&key)[N], const std::string& utf8) {
    Key(out, key);
    JsonString(out, utf8);
}

template <size_t N> void KeyUInt(std::string& out, const char (&key)[N], uint64_t v) {
    Key(out, key);
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

} // namespace

namespace mostfcat {

// A time stamp of a trace line: digits with exactly one '.', at least one
// digit (for the other trace readers of the library too).
bool IsTimeToken(const char* p, size_t n) {
    size_t dots = 0, digits = 0;
    for (size_t i = 0; i < n; ++i) {
        if (p[i] == '.')
            ++dots;
        else if (p[i] >= '0' && p[i] <= '9')
            ++digits;
        else
            return false;
    }
    return dots == 1 && digits > 0;
}

// A text as a JSON string (for the other trace writers of the library).
void AppendJsonString(std::string& out, const std::string& utf8) {
    JsonString(out, utf8);
}

// A double as JSON writers of the shortest round-trip form print it: plain
// decimals from 1e-4 to 1e15 ("60.0", "0.001"), else "1.5e+20"; never NaN.
void AppendJsonNumber(std::string& out, double v) {
    if (!std::isfinite(v)) {
        out += "null";
        return;
    }
    if (v == 0) {
        out += std::signbit(v) ? "-0.0" : "0.0";
        return;
    }
    char buf[64];
    if (std::fabs(v) < 1e15 && v == std::trunc(v)) {
        // Whole numbers, the common case: their digits and ".0".
        auto r = std::to_chars(buf, buf + sizeof buf, static_cast<int64_t>(v));
        out.append(buf, r.ptr);
        out += ".0";
        return;
    }
    // The shortest round-trip digits, read off the scientific form: sign,
    // digits with the point after the first, 'e', exponent.
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    const char* p = buf;
    if (*p == '-') {
        out.push_back('-');
        ++p;
    }
    const char* end = r.ptr;
    const char* e = std::find(p, end, 'e');
    char digits[32];
    int k = 0; // the number of digits
    for (const char* q = p; q < e && k < 32; ++q)
        if (*q != '.') digits[k++] = *q;
    int exp10 = 0;
    const char* x = e + 1 < end && e[1] == '+' ? e + 2 : e + 1;
    std::from_chars(x, end, exp10);
    const int n = exp10 + 1; // the point's place after the first n digits
    auto put = [&out, &digits](int from, int count) {
        out.append(digits + from, static_cast<size_t>(count));
    };
    if (k <= n && n <= 15) {
        put(0, k);
        out.append(static_cast<size_t>(n - k), '0');
        out += ".0";
    } else if (0 < n && n <= 15) {
        put(0, n);
        out.push_back('.');
        put(n, k - n);
    } else if (-4 < n && n <= 0) {
        out += "0.";
        out.append(static_cast<size_t>(-n), '0');
        put(0, k);
    } else {
        put(0, 1);
        if (k > 1) {
            out.push_back('.');
            put(1, k - 1);
        }
        int power = n - 1;
        out += power < 0 ? "e-" : "e+";
        if (power < 0) power = -power;
        if (power < 10) out.push_back('0');
        char num[8];
        out.append(num, std::to_chars(num, num + sizeof num, power).ptr);
    }
}

} // namespace mostfcat

std::string YFciUserInput::InstanceFallbackText(YFciMesgInfo& info) {
    try {
        const YMTInstance* used = InstanceOf(info.InstanceNode());
        if (!used || used->InstanceID == info.InstID()) return std::string();
        std::string device = used->DeviceName.str();
        return StrFormat(
                   "FBlock %02X has no instance %02X: decoded with the layout of instance %02X",
                   info.FBlockID(), info.InstID(), used->InstanceID) +
               (device.empty() ? std::string() : " (" + Latin1ToUtf8(device) + ")");
    } catch (...) {
        return std::string();
    }
}

struct YFciTraceDecoder::Impl {
    YFciFCatManager* manager;
    uint16_t channel;
    uint32_t options;
    Format format;
    // A message kind: its description and the texts every message of the
    // kind starts with, made again when a catalog went since.
    struct Kind {
        std::unique_ptr<YFciMesgInfo> info;
        uint64_t madeAt = ~uint64_t(0);
        std::string unknown, fallback, head;
    };
    std::unordered_map<uint64_t, Kind> infos;
    uint64_t counts[4] = {0, 0, 0, 0};
    // Reused by every plain line.
    std::string time;
    std::vector<uint8_t> payload;
    // The kind of the last message (a trace often repeats one); the map's
    // elements stay where they are while others are added.
    uint64_t lastKey = ~uint64_t(0);
    Kind* last = nullptr;

    Outcome Malformed(const char* line, size_t length, const std::string& time,
                      const std::string& why, std::string& out);
    // source < 0 and telegrams 0 leave those fields out.
    Outcome Decode(uint32_t fb, uint32_t inst, uint32_t fkt, uint32_t op, const uint8_t* data,
                   size_t length, const std::string& time, std::string& out, int32_t source = -1,
                   uint32_t telegrams = 0);
    void JsonHead(YFciMesgInfo& info, const std::string& unknown, bool fallback,
                  std::string& out) const;
    void TextHead(YFciMesgInfo& info, const std::string& unknown, const std::string& fallback,
                  std::string& out) const;
    void Json(const Kind& kind, const std::string& time, int32_t source, uint32_t telegrams,
              std::string& out) const;
    void Text(const Kind& kind, const std::string& time, int32_t source, uint32_t telegrams,
              std::string& out) const;
};

namespace {

// Why a message has no operation, or empty when it has one.
std::string UnknownReason(YFciMesgInfo& info) {
    if (!info.FBlockNode()) return StrFormat("unknown message: no FBlock %02X", info.FBlockID());
    if (!info.InstanceNode())
        return StrFormat("unknown message: no instance %02X of FBlock %02X", info.InstID(),
                         info.FBlockID());
    if (!info.FunctionNode()) return StrFormat("unknown message: no function %03X", info.FktID());
    if (!info.OperationNode())
        return StrFormat("unknown message: no operation %X of function %03X", info.OpType(),
                         info.FktID());
    return std::string();
}

// Text of the catalog (8-bit) as UTF-8, appended: as it is when it is
// ASCII, else converted.
void AppendUtf8Of(std::string& out, const std::string& text) {
    if (IsAscii(text))
        out += text;
    else
        out += YFciUserInput::Latin1ToUtf8(text);
}

// The entry's full name (name and suffix) as UTF-8.
void AppendNameUtf8(std::string& out, const YFciParamInfo& e) {
    AppendUtf8Of(out, e.Name());
    AppendUtf8Of(out, e.NameSuffix());
}

// The body of a JSON string for an 8-bit text: the text as it is when every
// byte is printable ASCII other than '"' and '\\' (names, numbers, hex: one
// scan and one copy), else converted to UTF-8 and escaped. The conversion
// and the escapes work byte by byte, so texts may be appended in pieces.
void AppendJsonBody(std::string& out, const std::string& text) {
    if (IsPlainJson(text)) {
        out += text;
        return;
    }
    std::string quoted;
    JsonString(quoted, YFciUserInput::Latin1ToUtf8(text));
    out.append(quoted, 1, quoted.size() - 2);
}

// A JSON string of 8-bit texts (the pieces of one field).
void AppendJsonField(std::string& out, const std::string& text, const std::string& more = {}) {
    out += '"';
    AppendJsonBody(out, text);
    if (!more.empty()) AppendJsonBody(out, more);
    out += '"';
}

// The hex field of an entry: hex always, also where the value text is not
// (array positions show "PosX=.. PosY=..").
void AppendEntryHex(std::string& out, const YFciParamInfo& e) {
    if (e.ParamMeaning() != eFciMeaningArrayPos || e.HexText().empty())
        out += e.HexText();
    else
        AppendHex(out, e.Data().data(), e.Data().size());
}

// A field of an 8-bit text (head: the comma, key and opening quote), left
// out when the text is empty.
template <size_t N>
void JsonTextField(Appender& w, const char (&head)[N], const std::string& text) {
    if (text.empty()) return;
    w.Lit(head);
    if (!w.PutPlainJson(text)) w.Via([&](std::string& o) { AppendJsonBody(o, text); });
    w.Put('"');
}

// What append writes for e, as a JSON string (escaped in place).
template <class Append> void JsonUtf8Of(std::string& out, const YFciParamInfo& e, Append append) {
    out += '"';
    size_t start = out.size();
    append(out, e);
    bool plain = true;
    for (size_t i = start; i < out.size() && plain; ++i) {
        auto c = static_cast<unsigned char>(out[i]);
        plain = c >= 0x20 && c != '"' && c != '\\';
    }
    if (plain) {
        out += '"';
        return;
    }
    std::string text = out.substr(start);
    out.resize(start - 1);
    JsonString(out, text);
}

std::string InstanceLabel(YFciMesgInfo& info, bool fallback) {
    const YMTInstance* used = InstanceOf(info.InstanceNode());
    if (!used || fallback) return StrFormat("Inst%02X", info.InstID());
    return YFciUserInput::Latin1ToUtf8(used->NameRef());
}

std::string DeviceOf(YFciMesgInfo& info, bool fallback) {
    const YMTInstance* used = InstanceOf(info.InstanceNode());
    return used && !fallback ? YFciUserInput::Latin1ToUtf8(used->DeviceName.str()) : std::string();
}

// Text of a line for output: control bytes as \xNN, other bytes as
// characters of the catalog's 8-bit convention.
std::string Echo(const char* line, size_t length) {
    // At most kEchoLimit characters of at most 4 bytes; a UTF-8 sequence cut
    // at the end of that piece is left out rather than misread.
    size_t n = std::min(length, 4 * kEchoLimit);
    if (n < length)
        for (size_t back = 1; back <= 3 && back <= n; ++back) {
            auto c = static_cast<unsigned char>(line[n - back]);
            if ((c & 0xC0) == 0x80) continue;
            size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            if (need > back) n -= back;
            break;
        }
    std::string text = YFciUserInput::InputTextToUtf8(std::string(line, n));
    std::string out;
    size_t chars = 0;
    for (size_t i = 0; i < text.size() && chars < kEchoLimit; ++chars) {
        auto c = static_cast<unsigned char>(text[i]);
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 4;
        if (c < 0x20 || c == 0x7F)
            out += StrFormat("\\x%02X", c);
        else
            out.append(text, i, len);
        i += len;
    }
    return out;
}

bool ReadHexField(const std::string& t, uint32_t max, uint32_t& out) {
    std::string s = Trim(t);
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.erase(0, 2);
    if (s.empty() || s.size() > 8) return false;
    uint32_t v = 0;
    for (char c : s) {
        int d = HexDigit(c);
        if (d < 0) return false;
        v = v * 16 + static_cast<uint32_t>(d);
    }
    if (v > max) return false;
    out = v;
    return true;
}

// "FBLOCK.INST.FKT.OP"; false with the reason.
bool ParseCoordinates(const std::string& text, uint32_t (&at)[4], std::string& why) {
    static const char* const kWhat[] = {"FBlock ID", "instance ID", "function ID", "OpType"};
    static const uint32_t kMax[] = {0xFF, 0xFF, 0xFFF, 0xF};
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        size_t dot = i < 3 ? text.find('.', start) : std::string::npos;
        if (i < 3 && dot == std::string::npos) {
            why = "expected four hexadecimal coordinates FBLOCK.INST.FKT.OP, not '" + text + "'";
            return false;
        }
        std::string part = text.substr(start, dot == std::string::npos ? dot : dot - start);
        if (i == 3 && part.find('.') != std::string::npos) {
            why = "expected four hexadecimal coordinates FBLOCK.INST.FKT.OP, not '" + text + "'";
            return false;
        }
        if (!ReadHexField(part, kMax[i], at[i])) {
            why = std::string(kWhat[i]) + " '" + part + "' is not a hexadecimal number up to " +
                  StrFormat("%X", kMax[i]);
            return false;
        }
        start = dot + 1;
    }
    return true;
}

// A time stamp: digits with one '.', as a JSON number.
bool IsTime(const std::string& t) {
    return IsTimeToken(t.data(), t.size());
}

inline bool IsLineBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// A time stamp as a JSON number, written into out (which keeps its buffer
// from line to line): a leading or trailing point gets its zero, and leading
// zeros go but the one before the point.
void AssignJsonTime(std::string& out, const char* p, size_t n);
std::string JsonTime(const std::string& t);

// A message line in its plain form ([TIME] FB.INST.FKT.OP:HEX, blanks only
// around the time stamp and between bytes) read without copies: true with
// the time (as JSON gives it), coordinates and payload. Anything else (a
// skipped line, a fault, blanks inside the coordinates) is false and left
// to the general reading, which says what is wrong.
bool ReadPlainLine(const char* line, size_t length, std::string& time, uint32_t (&at)[4],
                   std::vector<uint8_t>& payload, size_t& count) {
    static const uint32_t kMax[] = {0xFF, 0xFF, 0xFFF, 0xF};
    size_t b = 0, e = length;
    while (b < e && IsLineBlank(line[b]))
        ++b;
    while (e > b && IsLineBlank(line[e - 1]))
        --e;
    if (b == e || line[b] == '#') return false;
    // A time is a first word of digits and dots: the scan stops at the first
    // other byte, so a line without a time is not read through to its end.
    size_t i = b;
    while (i < e && ((line[i] >= '0' && line[i] <= '9') || line[i] == '.'))
        ++i;
    if (i < e && IsLineBlank(line[i]) && IsTimeToken(line + b, i - b)) {
        AssignJsonTime(time, line + b, i - b);
        while (i < e && IsLineBlank(line[i]))
            ++i;
        b = i;
    } else {
        time.clear();
    }
    i = b;
    // Each coordinate is read in one pass: hex digits (after an optional
    // 0x) up to its separator.
    for (int k = 0; k < 4; ++k) {
        const char end = k < 3 ? '.' : ':';
        if (i + 2 < e && line[i] == '0' && (line[i + 1] | 0x20) == 'x' && HexDigit(line[i + 2]) >= 0)
            i += 2;
        uint32_t v = 0;
        size_t digits = 0;
        for (int d; i < e && (d = HexDigit(line[i])) >= 0; ++i, ++digits)
            v = v * 16 + static_cast<uint32_t>(d);
        if (digits == 0 || digits > 8 || i == e || line[i] != end || v > kMax[k]) return false;
        at[k] = v;
        ++i;
    }
    // At most one byte per two characters: room for them at once (the
    // buffer only grows, so a line costs no clearing of it).
    if (payload.size() < (e - i) / 2) payload.resize((e - i) / 2);
    uint8_t* to = payload.data();
    size_t n = 0;
    while (i < e) {
        int hi = HexDigit(line[i]);
        if (hi < 0) {
            if (!IsLineBlank(line[i])) return false;
            ++i;
            continue;
        }
        int lo = i + 1 < e ? HexDigit(line[i + 1]) : -1;
        if (lo < 0) return false;
        to[n++] = static_cast<uint8_t>(hi << 4 | lo);
        i += 2;
    }
    count = n;
    return true;
}

void AssignJsonTime(std::string& out, const char* p, size_t n) {
    out.clear();
    if (n == 0) return;
    if (p[0] == '.') out += '0';
    out.append(p, n);
    if (p[n - 1] == '.') out += '0';
    size_t nonzero = out.find_first_not_of('0');
    if (nonzero == std::string::npos) return;
    if (nonzero > 0 && out[nonzero] == '.') nonzero -= 1;
    out.erase(0, nonzero);
}

std::string JsonTime(const std::string& t) {
    std::string out;
    AssignJsonTime(out, t.data(), t.size());
    return out;
}

} // namespace

YFciTraceDecoder::YFciTraceDecoder(YFciFCatManager* manager, uint16_t channel, uint32_t options,
                                   Format format)
    : m_Impl(new Impl{manager, channel, options, format, {}, {0, 0, 0, 0}, {}, {}}) {}

YFciTraceDecoder::~YFciTraceDecoder() {
    delete m_Impl;
}

uint64_t YFciTraceDecoder::Count(Outcome outcome) const {
    return static_cast<unsigned>(outcome) < 4 ? m_Impl->counts[outcome] : 0;
}

std::string YFciTraceDecoder::Summary() const {
    const uint64_t* c = m_Impl->counts;
    uint64_t bad = c[eUnknown] + c[eMalformed], all = bad + c[eDecoded];
    if (bad == 0) return std::string();
    std::string text = std::to_string(bad) + " of " + std::to_string(all) +
                       (all == 1 ? " message" : " messages") + " could not be decoded (";
    if (c[eMalformed]) text += std::to_string(c[eMalformed]) + " malformed";
    if (c[eMalformed] && c[eUnknown]) text += ", ";
    if (c[eUnknown])
        text += std::to_string(c[eUnknown]) +
                (c[eUnknown] == 1 ? " unknown message" : " unknown messages");
    return text + ")";
}

YFciTraceDecoder::Outcome YFciTraceDecoder::DecodeLine(const char* line, size_t length,
                                                       std::string& out) {
    try {
        // A plain line holds nothing but digits, dots, a colon and blanks:
        // it is read first, and only what it refuses is looked at closely.
        uint32_t at[4] = {0, 0, 0, 0};
        size_t count = 0;
        if (ReadPlainLine(line, length, m_Impl->time, at, m_Impl->payload, count))
            return m_Impl->Decode(at[0], at[1], at[2], at[3], m_Impl->payload.data(), count,
                                  m_Impl->time, out);
        for (size_t i = 0; i < length; ++i) {
            auto c = static_cast<unsigned char>(line[i]);
            if ((c < 0x20 && c != '\t' && c != '\r') || c == 0x7F)
                return m_Impl->Malformed(
                    line, length, "",
                    StrFormat("the control byte 0x%02X at position %zu", c, i + 1), out);
        }
        std::string text(line, length);
        for (char& c : text)
            if (c == '\t' || c == '\r') c = ' ';
        std::string t = Trim(text);
        if (t.empty() || t[0] == '#') {
            ++m_Impl->counts[eSkipped];
            return eSkipped;
        }
        std::string time;
        size_t blank = t.find(' ');
        if (blank != std::string::npos && IsTime(t.substr(0, blank))) {
            time = JsonTime(t.substr(0, blank));
            t = Trim(t.substr(blank + 1));
        }
        size_t colon = t.find(':');
        if (colon == std::string::npos)
            return m_Impl->Malformed(line, length, time, "expected FBLOCK.INST.FKT.OP:HEX", out);
        std::string why;
        if (!ParseCoordinates(t.substr(0, colon), at, why))
            return m_Impl->Malformed(line, length, time, why, out);
        YFciUserInput::Bytes payload;
        if (!YFciUserInput::ParseHex(t.substr(colon + 1), payload, why))
            return m_Impl->Malformed(line, length, time, "in the payload, " + why, out);
        return m_Impl->Decode(at[0], at[1], at[2], at[3], payload.data(), payload.size(), time,
                              out);
    } catch (const std::exception& e) {
        return m_Impl->Malformed(line, length, "", std::string("not decoded: ") + e.what(), out);
    }
}

YFciTraceDecoder::Outcome YFciTraceDecoder::DecodeMessage(uint32_t fblock, uint32_t instance,
                                                          uint32_t function, uint32_t operation,
                                                          const uint8_t* data, size_t length,
                                                          const std::string& time,
                                                          std::string& out) {
    try {
        if (fblock > 0xFF || instance > 0xFF || function > 0xFFF || operation > 0xF ||
            (!data && length))
            return m_Impl->Malformed("", 0, time, "coordinates out of range", out);
        return m_Impl->Decode(fblock, instance, function, operation, data, length, time, out);
    } catch (const std::exception& e) {
        return m_Impl->Malformed("", 0, time, std::string("not decoded: ") + e.what(), out);
    }
}

YFciTraceDecoder::Outcome YFciTraceDecoder::DecodeMessage(uint32_t fblock, uint32_t instance,
                                                          uint32_t function, uint32_t operation,
                                                          const uint8_t* data, size_t length,
                                                          const std::string& time, int32_t source,
                                                          uint32_t telegrams, std::string& out) {
    try {
        if (fblock > 0xFF || instance > 0xFF || function > 0xFFF || operation > 0xF ||
            (!data && length) || source > 0xFFFF)
            return m_Impl->Malformed("", 0, time, "coordinates out of range", out);
        return m_Impl->Decode(fblock, instance, function, operation, data, length,
                              time.empty() ? time : JsonTime(time), out, source < 0 ? -1 : source,
                              telegrams);
    } catch (const std::exception& e) {
        return m_Impl->Malformed("", 0, time, std::string("not decoded: ") + e.what(), out);
    }
}

YFciTraceDecoder::Outcome YFciTraceDecoder::Impl::Malformed(const char* line, size_t length,
                                                            const std::string& time,
                                                            const std::string& why,
                                                            std::string& out) {
    ++counts[eMalformed];
    std::string echo = Echo(line, length);
    if (format == eJson) {
        out += "{";
        if (!time.empty()) {
            Key(out, "time");
            out += time;
        }
        KeyString(out, "input", echo);
        KeyUInt(out, "length", length);
        KeyString(out, "error", "malformed message: " + YFciUserInput::InputTextToUtf8(why));
        out += "}\n";
    } else {
        out += echo;
        if (length > kEchoLimit) out += StrFormat("... (%zu bytes)", length);
        out += "  malformed message: " + YFciUserInput::InputTextToUtf8(why) + "\n";
    }
    return eMalformed;
}

YFciTraceDecoder::Outcome YFciTraceDecoder::Impl::Decode(uint32_t fb, uint32_t inst, uint32_t fkt,
                                                         uint32_t op, const uint8_t* data,
                                                         size_t length, const std::string& time,
                                                         std::string& out, int32_t source,
                                                         uint32_t telegrams) {
    uint64_t key = uint64_t(fb) << 24 | uint64_t(inst) << 16 | uint64_t(fkt) << 4 | op;
    if (key != lastKey || !last) {
        last = &infos[key];
        lastKey = key;
    }
    Kind& kind = *last;
    std::unique_ptr<YFciMesgInfo>& info = kind.info;
    if (!info) {
        info.reset(manager ? manager->CreateMesgInfo(channel, fb, inst, fkt, op) : nullptr);
        if (!info) {
            last = nullptr;
            infos.erase(key);
            return Malformed("", 0, time, "no catalog manager", out);
        }
        // An instance the FBlock lacks is decoded with the layout of its
        // lowest instance, and said.
        info->SetInstFallback(1);
        info->SetOptions(options);
    }
    info->ClearParamInfos();
    info->SetData(data, static_cast<uint32_t>(length));
    uint64_t epoch = YMTCatalog::DeletedCount();
    if (kind.madeAt != epoch) {
        kind.unknown = UnknownReason(*info);
        kind.fallback = YFciUserInput::InstanceFallbackText(*info);
        kind.head.clear();
        if (format == eJson)
            JsonHead(*info, kind.unknown, !kind.fallback.empty(), kind.head);
        else
            TextHead(*info, kind.unknown, kind.fallback, kind.head);
        kind.madeAt = epoch;
    }
    if (format == eJson)
        Json(kind, time, source, telegrams, out);
    else
        Text(kind, time, source, telegrams, out);
    Outcome outcome = kind.unknown.empty() ? eDecoded : eUnknown;
    ++counts[outcome];
    return outcome;
}

void YFciTraceDecoder::Impl::JsonHead(YFciMesgInfo& info, const std::string& unknown, bool fallback,
                                      std::string& out) const {
    out += "{";
    KeyUInt(out, "fblock_id", info.FBlockID());
    KeyUInt(out, "instance_id", info.InstID());
    KeyUInt(out, "function_id", info.FktID());
    KeyUInt(out, "operation_id", info.OpType());
    auto name = [&out](const auto& key, const std::string& text) {
        if (!text.empty()) KeyString(out, key, YFciUserInput::Latin1ToUtf8(text));
    };
    name("fblock", info.FBlockName());
    if (info.FBlockNode()) KeyString(out, "instance", InstanceLabel(info, fallback));
    std::string device = DeviceOf(info, fallback);
    if (!device.empty()) KeyString(out, "device", device);
    if (fallback) {
        Key(out, "instance_fallback");
        out += "true";
    }
    name("function", info.FunctionName());
    name("operation", info.OperationName());
    if (!unknown.empty()) KeyString(out, "error", unknown);
    out.erase(0, 1); // the fields only: the object opens before the time
}

void YFciTraceDecoder::Impl::Json(const Kind& kind, const std::string& time, int32_t source,
                                  uint32_t telegrams, std::string& out) const {
    YFciMesgInfo& info = *kind.info;
    const std::vector<YFciParamInfo*>& entries = info.Disassemble();
    const std::vector<uint8_t>& payload = info.Data();
    // The whole object goes through one writer. Fields whose texts are plain
    // ASCII are copied as they are; the others go through the converting and
    // escaping writers. The room made at once (and cleared) is about what an
    // entry with its texts takes; a longer one gets more as it goes.
    Appender w(out, 96 + time.size() + kind.head.size() + 2 * payload.size() +
                        128 * entries.size());
    w.Put('{');
    bool before = false; // a field before the message's own
    if (!time.empty()) {
        w.Lit("\"time\":");
        w.Put(time);
        before = true;
    }
    if (source >= 0) {
        if (before) w.Put(',');
        w.Lit("\"source\":");
        w.UInt(static_cast<uint64_t>(source));
        before = true;
    }
    if (telegrams) {
        if (before) w.Put(',');
        w.Lit("\"telegrams\":");
        w.UInt(telegrams);
        before = true;
    }
    if (before) w.Put(',');
    w.Put(kind.head);
    w.Lit(",\"payload\":\"");
    w.Hex(payload.data(), payload.size());
    w.Lit("\",\"params\":[");
    bool first = true;
    ForEachEntry(entries, [&](const auto& entry) {
        const auto* e = &entry;
        if (first)
            w.Put('{');
        else
            w.Lit(",{");
        first = false;
        const std::string& name = e->Name();
        const std::string& suffix = e->NameSuffix();
        if (!name.empty() || !suffix.empty()) {
            size_t mark = w.Size();
            w.Lit("\"name\":\"");
            if (w.PutPlainJson(name) && w.PutPlainJson(suffix)) {
                w.Lit("\",");
            } else {
                w.CutTo(mark);
                w.Via([&](std::string& o) {
                    Key(o, "name");
                    AppendJsonField(o, name, suffix);
                    o += ',';
                });
            }
        }
        w.Lit("\"kind\":");
        w.UInt(e->ParamType());
        w.Lit(",\"level\":");
        w.UInt(e->Level());
        w.Lit(",\"position\":");
        w.UInt(e->Position());
        const std::string& hex = e->HexText();
        if (!hex.empty()) {
            size_t mark = w.Size();
            w.Lit(",\"hex\":\"");
            if (e->ParamMeaning() != eFciMeaningArrayPos && w.PutPlainJson(hex)) {
                w.Put('"');
            } else {
                w.CutTo(mark);
                w.Via([&](std::string& o) {
                    size_t mark = o.size();
                    Key(o, "hex");
                    size_t quote = o.size();
                    JsonUtf8Of(o, *e, &AppendEntryHex);
                    if (o.size() == quote + 2) o.resize(mark);
                });
            }
        }
        JsonTextField(w, ",\"decimal\":\"", e->DecimalText());
        const std::string& value = e->ValueText();
        uint32_t type = e->ParamType();
        size_t mark = w.Size();
        if (!value.empty() && ShowsLibraryText(*e)) w.Lit(",\"value\":\"");
        if (w.Size() != mark && w.PutPlainJson(value)) {
            w.Put('"');
        } else if (!value.empty() || type == eFciParamString) {
            w.CutTo(mark);
            w.Via([&](std::string& o) {
                size_t mark = o.size();
                Key(o, "value");
                size_t quote = o.size();
                JsonUtf8Of(o, *e, [](std::string& to, const YFciParamInfo& x) {
                    YFciUserInput::AppendEntryValueText(to, x);
                });
                if (o.size() == quote + 2) o.resize(mark); // an empty value is left out
            });
        }
        JsonTextField(w, ",\"unit\":\"", e->UnitText());
        double numeric = 0;
        if (e->NumericValue(numeric)) {
            w.Lit(",\"numeric\":");
            if (numeric != 0 && std::fabs(numeric) < 1e15 && numeric == std::trunc(numeric)) {
                // Whole numbers, the common case, as AppendJsonNumber writes them.
                auto whole = static_cast<int64_t>(numeric);
                if (whole < 0) w.Put('-');
                w.UInt(whole < 0 ? 0 - static_cast<uint64_t>(whole) : static_cast<uint64_t>(whole));
                w.Lit(".0");
            } else {
                w.Via([&](std::string& o) { AppendJsonNumber(o, numeric); });
            }
        }
        uint32_t remarks = RemarksOf(*e);
        if (remarks & YFciUserInput::eRemarkOutOfRange) w.Lit(",\"out_of_range\":true");
        if (remarks & YFciUserInput::eRemarkUndefined) w.Lit(",\"undefined\":true");
        w.Put('}');
    });
    w.Lit("]}\n");
}

void YFciTraceDecoder::Impl::TextHead(YFciMesgInfo& info, const std::string& unknown,
                                      const std::string& fallback, std::string& out) const {
    out += StrFormat("%02X.%02X.%03X.%X  ", info.FBlockID(), info.InstID(), info.FktID(),
                     info.OpType());
    if (!unknown.empty()) {
        out += unknown;
    } else {
        bool fb = !fallback.empty();
        out += YFciUserInput::Latin1ToUtf8(info.FBlockName()) + "." + InstanceLabel(info, fb) +
               "." + YFciUserInput::Latin1ToUtf8(info.FunctionName()) + "." +
               YFciUserInput::Latin1ToUtf8(info.OperationName());
        std::string device = DeviceOf(info, fb);
        if (!device.empty()) out += " (" + device + ")";
    }
}

void YFciTraceDecoder::Impl::Text(const Kind& kind, const std::string& time, int32_t source,
                                  uint32_t telegrams, std::string& out) const {
    if (!time.empty()) {
        out += time;
        out += ' ';
    }
    if (source >= 0) out += StrFormat("%04X: ", static_cast<unsigned>(source));
    out += kind.head;
    if (telegrams > 1) out += StrFormat("  [%u telegrams]", telegrams);
    out += '\n';
    if (!kind.fallback.empty()) {
        out += "  warning: ";
        out += kind.fallback;
        out += '\n';
    }
    const std::vector<YFciParamInfo*>& entries = kind.info->Disassemble();
    // ASCII texts are copied as they are; the others are converted to UTF-8.
    Appender w(out, 64 * entries.size() + 16);
    ForEachEntry(entries, [&](const auto& entry) {
        const auto* e = &entry;
        // Written in place; a line that got nothing after its indent goes.
        size_t start = w.Size();
        w.Blanks(2 + 2 * size_t(e->Level() < 50 ? e->Level() : 50));
        size_t indented = w.Size();
        if (!w.PutAscii(e->Name()) || !w.PutAscii(e->NameSuffix())) {
            w.CutTo(indented);
            w.Via([&](std::string& o) { AppendNameUtf8(o, *e); });
        }
        w.Lit(": ");
        size_t value = w.Size();
        const std::string& library = e->ValueText().empty() ? e->DecimalText() : e->ValueText();
        if (!ShowsLibraryText(*e) || !w.PutAscii(library))
            w.Via([&](std::string& o) { YFciUserInput::AppendEntryValueText(o, *e); });
        if (w.Size() == value) w.CutTo(value - 2);
        const std::string& unit = e->UnitText();
        if (!unit.empty()) {
            w.Put(' ');
            if (!w.PutAscii(unit)) w.Via([&](std::string& o) { AppendUtf8Of(o, unit); });
        }
        w.Lit(" [");
        size_t hex = w.Size();
        if (e->ParamMeaning() != eFciMeaningArrayPos || e->HexText().empty())
            w.Put(e->HexText());
        else
            w.Via([&](std::string& o) { AppendEntryHex(o, *e); });
        if (w.Size() == hex)
            w.CutTo(hex - 2);
        else
            w.Put(']');
        if (w.Size() == indented) {
            w.CutTo(start);
            return;
        }
        if (RemarksOf(*e) & YFciUserInput::eRemarkOutOfRange)
            w.Lit("  (outside the catalog's range)");
        w.Put('\n');
    });
}

namespace mostfcat {

// A line as the decode output echoes it; withLength adds the length of a
// line longer than the echo.
std::string EchoLine(const char* line, size_t length, bool withLength) {
    std::string out = Echo(line, length);
    if (withLength && length > kEchoLimit) out += StrFormat("... (%zu bytes)", length);
    return out;
}

} // namespace mostfcat
