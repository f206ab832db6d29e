// Control telegrams read from trace lines and put together into messages.
// Segments are kept per (source, FBlock, instance, function, OpType), so
// that messages of several nodes, or of one node to several functions,
// interleave safely. Every fault is reported with the coordinates it
// concerns; no byte is decoded as part of a message that did not arrive
// whole.
#include <algorithm>
#include <cstring>
#include <exception>
#include <new>
#include <unordered_map>

#include "mostfcat/fci.h"
#include "mostfcat/telegrams.h"
#include "platform/hex.h"
#include "platform/strings.h"

namespace mostfcat {
// In trace_decoder.cpp: the JSON string writer, the echo of a line and the
// time-stamp test that the decode output shares.
void AppendJsonString(std::string& out, const std::string& utf8);
std::string EchoLine(const char* line, size_t length, bool withLength);
bool IsTimeToken(const char* p, size_t n);
} // namespace mostfcat

using namespace mostfcat;

namespace {

using Telegram = YFciTelegrams::Telegram;
using Result = YFciTelegrams::Result;

std::string Coordinates(uint32_t fb, uint32_t inst, uint32_t fkt, uint32_t op, int32_t source) {
    std::string s = StrFormat("%02X.%02X.%03X.%X", fb, inst, fkt, op);
    if (source >= 0) s += StrFormat(" from node %04X", static_cast<unsigned>(source));
    return s;
}

std::string Coordinates(const Telegram& t) {
    return Coordinates(t.fblock, t.instance, t.function, t.operation, t.source);
}

const char* Plural(uint32_t n, const char* one, const char* more) {
    return n == 1 ? one : more;
}

// --- text lines ----------------------------------------------------------------------------

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// Hex bytes with blanks allowed between (not inside) bytes; position counted
// from 1 within the whole line.
bool ReadHexBytes(const char* p, size_t n, size_t base, YFciTelegrams::Bytes& out,
                  std::string& error) {
    out.clear();
    size_t i = 0;
    while (i < n) {
        if (IsBlank(p[i])) {
            ++i;
            continue;
        }
        int hi = HexDigit(p[i]);
        if (hi < 0) {
            error = StrFormat("'%c' at position %zu is not a hex digit", p[i], base + i + 1);
            return false;
        }
        if (i + 1 >= n || IsBlank(p[i + 1])) {
            error = StrFormat("an odd hex digit at position %zu", base + i + 1);
            return false;
        }
        int lo = HexDigit(p[i + 1]);
        if (lo < 0) {
            error = StrFormat("'%c' at position %zu is not a hex digit", p[i + 1], base + i + 2);
            return false;
        }
        if (out.size() >= 4096) {
            error = "more than 4096 bytes";
            return false;
        }
        out.push_back(static_cast<unsigned char>(hi << 4 | lo));
        i += 2;
    }
    return true;
}

// --- JSON capture lines ------------------------------------------------------------------

// A small reader for one flat JSON object: the capture fields are integers,
// "data" an array of integers, "time" a number; other members are skipped.
class JsonLine {
public:
    JsonLine(const char* p, size_t n) : m_P(p), m_E(p + n) {}

    bool Read(YFciTelegrams::Layout layout, Telegram& t, std::string& error);

private:
    void Ws() {
        while (m_P < m_E && (*m_P == ' ' || *m_P == '\t' || *m_P == '\r' || *m_P == '\n'))
            ++m_P;
    }
    bool Fail(const std::string& why) {
        if (m_Error.empty()) m_Error = why;
        return false;
    }
    bool String(std::string& out);
    bool Number(std::string& token);
    bool Skip(int depth);
    bool Integer(const char* key, uint64_t max, uint64_t& out);

    const char* m_P;
    const char* m_E;
    std::string m_Error;
};

bool JsonLine::String(std::string& out) {
    out.clear();
    if (m_P >= m_E || *m_P != '"') return Fail("a string expected");
    ++m_P;
    while (m_P < m_E) {
        char c = *m_P++;
        if (c == '"') return true;
        if (static_cast<unsigned char>(c) < 0x20) return Fail("a control byte in a string");
        if (c == '\\') {
            if (m_P >= m_E) break;
            char e = *m_P++;
            if (e == 'u') {
                for (int i = 0; i < 4; ++i)
                    if (m_P >= m_E || HexDigit(*m_P++) < 0) return Fail("a bad \\u escape");
                out.push_back('?'); // keys that matter are plain ASCII
            } else if (std::strchr("\"\\/bfnrt", e) && e) {
                out.push_back(e);
            } else {
                return Fail("a bad escape in a string");
            }
        } else {
            out.push_back(c);
        }
        if (out.size() > 256) return Fail("a string longer than 256 bytes");
    }
    return Fail("an unterminated string");
}

bool JsonLine::Number(std::string& token) {
    const char* start = m_P;
    if (m_P < m_E && *m_P == '-') ++m_P;
    const char* digits = m_P;
    while (m_P < m_E && *m_P >= '0' && *m_P <= '9')
        ++m_P;
    if (m_P == digits) return Fail("a number expected");
    if (m_P - digits > 1 && *digits == '0') return Fail("a number with a leading zero");
    if (m_P < m_E && *m_P == '.') {
        ++m_P;
        const char* f = m_P;
        while (m_P < m_E && *m_P >= '0' && *m_P <= '9')
            ++m_P;
        if (m_P == f) return Fail("digits expected after '.'");
    }
    if (m_P < m_E && (*m_P == 'e' || *m_P == 'E')) {
        ++m_P;
        if (m_P < m_E && (*m_P == '+' || *m_P == '-')) ++m_P;
        const char* x = m_P;
        while (m_P < m_E && *m_P >= '0' && *m_P <= '9')
            ++m_P;
        if (m_P == x) return Fail("digits expected in an exponent");
    }
    if (m_P - start > 64) return Fail("a number longer than 64 characters");
    token.assign(start, m_P);
    return true;
}

bool JsonLine::Skip(int depth) {
    if (depth > 16) return Fail("nested deeper than 16 levels");
    Ws();
    if (m_P >= m_E) return Fail("a value expected");
    std::string scratch;
    char c = *m_P;
    if (c == '"') return String(scratch);
    if (c == '{' || c == '[') {
        char close = c == '{' ? '}' : ']';
        ++m_P;
        Ws();
        if (m_P < m_E && *m_P == close) {
            ++m_P;
            return true;
        }
        for (;;) {
            if (c == '{') {
                Ws();
                if (!String(scratch)) return false;
                Ws();
                if (m_P >= m_E || *m_P != ':') return Fail("':' expected");
                ++m_P;
            }
            if (!Skip(depth + 1)) return false;
            Ws();
            if (m_P < m_E && *m_P == ',') {
                ++m_P;
                continue;
            }
            if (m_P < m_E && *m_P == close) {
                ++m_P;
                return true;
            }
            return Fail(StrFormat("',' or '%c' expected", close));
        }
    }
    for (const char* word : {"true", "false", "null"}) {
        size_t n = std::strlen(word);
        if (size_t(m_E - m_P) >= n && std::memcmp(m_P, word, n) == 0) {
            m_P += n;
            return true;
        }
    }
    return Number(scratch);
}

bool JsonLine::Integer(const char* key, uint64_t max, uint64_t& out) {
    std::string token;
    Ws();
    if (!Number(token)) return Fail(std::string("\"") + key + "\" must be a whole number");
    if (token[0] == '-' || token.find_first_of(".eE") != std::string::npos || token.size() > 10)
        return Fail(std::string("\"") + key + "\" must be a whole number from 0 to " +
                    std::to_string(max) + ", not " + token);
    out = std::stoull(token);
    if (out > max)
        return Fail(std::string("\"") + key + "\" must be a whole number from 0 to " +
                    std::to_string(max) + ", not " + token);
    return true;
}

bool JsonLine::Read(YFciTelegrams::Layout layout, Telegram& t, std::string& error) {
    static const char* const kKeys[] = {"fBlockID",       "instanceID",   "fktID", "opType",
                                        "telId",          "telLen",       "data",  "time",
                                        "sourceAddrHigh", "sourceAddrLow"};
    constexpr int kKeyCount = 10;
    const uint64_t field = YFciTelegrams::FieldSize(layout);
    const uint64_t kMax[] = {
        0xFF, 0xFF, 0xFFF, 0xF, 0xF, layout == YFciTelegrams::eMost150 ? 0xFFFu : 0xFu,
        0,    0,    0xFF,  0xFF};
    uint64_t values[kKeyCount] = {};
    bool seen[kKeyCount] = {};
    const size_t header = layout == YFciTelegrams::eMost150 ? 6 : 5;
    t.time.clear();
    t.data.clear();
    t.source = -1;
    Ws();
    if (m_P >= m_E || *m_P != '{') {
        error = "a JSON object expected";
        return false;
    }
    ++m_P;
    Ws();
    bool empty = m_P < m_E && *m_P == '}';
    if (empty) ++m_P;
    std::string key;
    while (!empty) {
        Ws();
        if (!String(key)) break;
        Ws();
        if (m_P >= m_E || *m_P != ':') {
            Fail("':' expected after \"" + key + "\"");
            break;
        }
        ++m_P;
        int k = 0;
        while (k < kKeyCount && key != kKeys[k])
            ++k;
        if (k < kKeyCount && seen[k]) {
            Fail("\"" + key + "\" given twice");
            break;
        }
        if (k < kKeyCount) seen[k] = true;
        bool ok = true;
        if (k == 6) { // data
            Ws();
            if (m_P >= m_E || *m_P != '[') {
                Fail("\"data\" must be an array of bytes");
                break;
            }
            ++m_P;
            Ws();
            if (m_P < m_E && *m_P == ']') {
                ++m_P;
            } else {
                for (;;) {
                    uint64_t b = 0;
                    if (!Integer("data", 0xFF, b)) {
                        ok = false;
                        break;
                    }
                    if (t.data.size() >= header + field) {
                        ok = Fail(StrFormat("\"data\" holds more than %zu bytes",
                                            size_t(header + field)));
                        break;
                    }
                    t.data.push_back(static_cast<unsigned char>(b));
                    Ws();
                    if (m_P < m_E && *m_P == ',') {
                        ++m_P;
                        continue;
                    }
                    if (m_P < m_E && *m_P == ']') {
                        ++m_P;
                        break;
                    }
                    ok = Fail("',' or ']' expected in \"data\"");
                    break;
                }
            }
        } else if (k == 7) { // time
            Ws();
            ok = Number(t.time);
            if (!ok) m_Error = "\"time\" must be a number";
        } else if (k < kKeyCount) {
            ok = Integer(kKeys[k], kMax[k], values[k]);
        } else {
            ok = Skip(0);
        }
        if (!ok) break;
        Ws();
        if (m_P < m_E && *m_P == ',') {
            ++m_P;
            continue;
        }
        if (m_P < m_E && *m_P == '}') {
            ++m_P;
            break;
        }
        Fail("',' or '}' expected");
        break;
    }
    if (m_Error.empty()) {
        Ws();
        if (m_P != m_E) Fail("text after the object");
    }
    if (m_Error.empty()) {
        for (int k = 0; k < 7; ++k)
            if (!seen[k]) {
                Fail(std::string("\"") + kKeys[k] + "\" is missing");
                break;
            }
    }
    if (m_Error.empty() && seen[8] != seen[9])
        Fail("\"sourceAddrHigh\" and \"sourceAddrLow\" come together");
    if (!m_Error.empty()) {
        error = "capture line: " + m_Error;
        return false;
    }
    t.fblock = uint32_t(values[0]);
    t.instance = uint32_t(values[1]);
    t.function = uint32_t(values[2]);
    t.operation = uint32_t(values[3]);
    t.telId = uint32_t(values[4]);
    t.telLen = uint32_t(values[5]);
    if (seen[8]) t.source = int32_t(values[8] << 8 | values[9]);
    if (t.data.size() > field) { // the whole frame: its header must agree with the fields
        Telegram frame;
        if (!YFciTelegrams::ParseFrame(t.data.data(), t.data.size(), layout, frame, error)) {
            error = "capture line: " + error;
            return false;
        }
        if (frame.fblock != t.fblock || frame.instance != t.instance ||
            frame.function != t.function || frame.operation != t.operation ||
            frame.telId != t.telId || frame.telLen != t.telLen) {
            error =
                StrFormat("capture line: the header bytes of \"data\" (%s, TelID %u, TelLen "
                          "%u) disagree with the fields (%s, TelID %u, TelLen %u)",
                          Coordinates(frame).c_str(), frame.telId, frame.telLen,
                          Coordinates(t.fblock, t.instance, t.function, t.operation, -1).c_str(),
                          t.telId, t.telLen);
            return false;
        }
        t.data.erase(t.data.begin(), t.data.begin() + static_cast<std::ptrdiff_t>(header));
    }
    return true;
}

} // namespace

// --- the reassembler -------------------------------------------------------------------------

uint32_t YFciTelegrams::FieldSize(Layout layout) {
    return layout == eMost150 ? 45 : 12;
}

bool YFciTelegrams::ParseFrame(const uint8_t* frame, size_t length, Layout layout, Telegram& out,
                               std::string& error) {
    const size_t header = layout == eMost150 ? 6 : 5;
    if (!frame || length < header) {
        error = StrFormat("%zu %s, fewer than the %zu header bytes", length,
                          Plural(uint32_t(length), "byte", "bytes"), header);
        return false;
    }
    if (length > header + FieldSize(layout)) {
        error = StrFormat("%zu bytes, more than the %zu header bytes and the %u-byte data field",
                          length, header, FieldSize(layout));
        return false;
    }
    out.fblock = frame[0];
    out.instance = frame[1];
    out.function = uint32_t(frame[2]) << 4 | frame[3] >> 4;
    out.operation = frame[3] & 0xF;
    out.telId = frame[4] >> 4;
    out.telLen = layout == eMost150 ? (uint32_t(frame[4] & 0xF) << 8 | frame[5]) : frame[4] & 0xF;
    out.data.assign(frame + header, frame + length);
    return true;
}

YFciTelegrams::LineKind YFciTelegrams::ParseLine(const char* line, size_t length, Layout layout,
                                                 Telegram& out, std::string& error) {
    try {
        if (!line) length = 0;
        for (size_t i = 0; i < length; ++i) {
            auto c = static_cast<unsigned char>(line[i]);
            if ((c < 0x20 && c != '\t' && c != '\r') || c == 0x7F) {
                error = StrFormat("the control byte 0x%02X at position %zu", c, i + 1);
                return eLineBad;
            }
        }
        size_t b = 0, e = length;
        while (b < e && IsBlank(line[b]))
            ++b;
        while (e > b && IsBlank(line[e - 1]))
            --e;
        if (b == e || line[b] == '#') return eLineSkipped;
        if (line[b] == '{') {
            JsonLine reader(line + b, e - b);
            return reader.Read(layout, out, error) ? eLineTelegram : eLineBad;
        }
        out.time.clear();
        out.source = -1;
        // TIME: the first token, when it is digits with a '.'.
        size_t tokEnd = b;
        while (tokEnd < e && !IsBlank(line[tokEnd]))
            ++tokEnd;
        if (IsTimeToken(line + b, tokEnd - b)) {
            out.time.assign(line + b, tokEnd - b);
            b = tokEnd;
            while (b < e && IsBlank(line[b]))
                ++b;
        }
        // SRC: four hex digits and a ':'.
        const void* colonAt = std::memchr(line + b, ':', e - b);
        if (colonAt) {
            size_t colon = static_cast<size_t>(static_cast<const char*>(colonAt) - line);
            size_t s = b, se = colon;
            while (se > s && IsBlank(line[se - 1]))
                --se;
            uint32_t v = 0;
            bool ok = se - s == 4;
            for (size_t i = s; ok && i < se; ++i) {
                int d = HexDigit(line[i]);
                ok = d >= 0;
                v = v << 4 | uint32_t(d < 0 ? 0 : d);
            }
            if (!ok) {
                error = "expected [TIME] [SRC:] BYTES with SRC four hex digits, not '" +
                        std::string(line + s, std::min<size_t>(se - s, 40)) + "'";
                return eLineBad;
            }
            out.source = int32_t(v);
            b = colon + 1;
        }
        Bytes frame;
        if (!ReadHexBytes(line + b, e - b, b, frame, error)) return eLineBad;
        if (frame.empty()) {
            error = "no telegram bytes";
            return eLineBad;
        }
        std::string time = std::move(out.time);
        int32_t source = out.source;
        if (!ParseFrame(frame.data(), frame.size(), layout, out, error)) return eLineBad;
        out.time = std::move(time);
        out.source = source;
        return eLineTelegram;
    } catch (const std::exception& ex) {
        error = std::string("not read: ") + ex.what();
        return eLineBad;
    }
}

struct YFciTelegrams::Impl {
    struct Pending {
        uint32_t fblock, instance, function, operation;
        int32_t source;
        uint8_t next;       // the message count the next segment must carry
        uint32_t telegrams; // segments so far
        uint64_t seq;       // when it began, for the oldest-first order
        Bytes payload;
    };

    Layout layout;
    uint32_t maxPending, maxMessage;
    uint64_t seq = 0;
    std::unordered_map<uint64_t, Pending> pending;
    Telegram scratch;

    static uint64_t KeyOf(const Telegram& t) {
        uint64_t src = t.source < 0 ? 0x10000u : uint64_t(t.source);
        return src << 32 | uint64_t(t.fblock) << 24 | uint64_t(t.instance) << 16 |
               uint64_t(t.function) << 4 | t.operation;
    }

    static Result& Fault(std::vector<Result>& out, const std::string& error, const Telegram* t) {
        out.emplace_back();
        Result& r = out.back();
        r.fault = true;
        r.error = error;
        if (t) {
            r.fblock = t->fblock;
            r.instance = t->instance;
            r.function = t->function;
            r.operation = t->operation;
            r.time = t->time;
            r.source = t->source;
        }
        return r;
    }

    static std::string Received(const Pending& p) {
        return StrFormat("%u %s (%zu %s) dropped", p.telegrams,
                         Plural(p.telegrams, "segment", "segments"), p.payload.size(),
                         Plural(uint32_t(p.payload.size()), "byte", "bytes"));
    }

    static std::string Coords(const Pending& p) {
        return Coordinates(p.fblock, p.instance, p.function, p.operation, p.source);
    }

    void Feed(const Telegram& t, std::vector<Result>& out);
};

YFciTelegrams::YFciTelegrams(Layout layout, uint32_t maxPending, uint32_t maxMessage)
    : m_Impl(new Impl{layout == eMost150 ? eMost150 : eMost50,
                      maxPending ? maxPending : 1,
                      maxMessage ? maxMessage : 1,
                      0,
                      {},
                      {}}) {}

YFciTelegrams::~YFciTelegrams() {
    delete m_Impl;
}

size_t YFciTelegrams::Pending() const {
    return m_Impl->pending.size();
}

void YFciTelegrams::Feed(const Telegram& telegram, std::vector<Result>& out) {
    try {
        m_Impl->Feed(telegram, out);
    } catch (const std::bad_alloc&) {
        Impl::Fault(out, "out of memory: " + Coordinates(telegram) + " dropped", &telegram);
    } catch (const std::exception& e) {
        Impl::Fault(out, std::string("not read: ") + e.what(), &telegram);
    }
}

void YFciTelegrams::Impl::Feed(const Telegram& t, std::vector<Result>& out) {
    if (t.fblock > 0xFF || t.instance > 0xFF || t.function > 0xFFF || t.operation > 0xF ||
        t.source > 0xFFFF) {
        Fault(out, "telegram coordinates out of range", nullptr);
        return;
    }
    const uint32_t field = FieldSize(layout);
    if (t.telId > eLast) {
        Fault(out, StrFormat("telegram %s: unknown TelID %u", Coordinates(t).c_str(), t.telId), &t);
        return;
    }
    if (t.telLen > field) {
        Fault(out,
              StrFormat("telegram %s: TelLen %u is beyond the %u-byte data field",
                        Coordinates(t).c_str(), t.telLen, field),
              &t);
        return;
    }
    if (t.data.size() < t.telLen) {
        Fault(out,
              StrFormat("telegram %s: TelLen %u but only %zu data %s", Coordinates(t).c_str(),
                        t.telLen, t.data.size(), Plural(uint32_t(t.data.size()), "byte", "bytes")),
              &t);
        return;
    }
    const uint8_t* data = t.data.data();
    if (t.telId == eWhole) {
        out.emplace_back();
        Result& r = out.back();
        r.fblock = t.fblock;
        r.instance = t.instance;
        r.function = t.function;
        r.operation = t.operation;
        r.payload.assign(data, data + t.telLen);
        r.time = t.time;
        r.source = t.source;
        r.telegrams = 1;
        return;
    }
    static const char* const kSegment[] = {"", "first", "middle", "last"};
    if (t.telLen == 0) {
        Fault(out,
              StrFormat("%s segment of %s without its message count (TelLen 0)", kSegment[t.telId],
                        Coordinates(t).c_str()),
              &t);
        return;
    }
    const uint8_t count = data[0];
    const uint64_t key = KeyOf(t);
    auto it = pending.find(key);
    if (t.telId == eFirst) {
        if (it != pending.end()) {
            Fault(out,
                  "incomplete message " + Coords(it->second) +
                      ": a new first segment came before its last; " + Received(it->second),
                  &t);
            pending.erase(it);
        }
        if (count != 0) {
            Fault(out,
                  StrFormat("gap in the message count of %s: a first segment counts 0, not %u; "
                            "the segment is dropped",
                            Coordinates(t).c_str(), count),
                  &t);
            return;
        }
        if (t.telLen - 1 > maxMessage) {
            Fault(out,
                  StrFormat("message %s is longer than %u bytes: dropped", Coordinates(t).c_str(),
                            maxMessage),
                  &t);
            return;
        }
        if (pending.size() >= maxPending) {
            auto oldest = pending.begin();
            for (auto i = pending.begin(); i != pending.end(); ++i)
                if (i->second.seq < oldest->second.seq) oldest = i;
            Fault(out,
                  StrFormat("too many messages pending (%u): the oldest, ", maxPending) +
                      Coords(oldest->second) + ", is dropped unfinished; " +
                      Received(oldest->second),
                  &t);
            pending.erase(oldest);
        }
        Pending& p = pending[key];
        p.fblock = t.fblock;
        p.instance = t.instance;
        p.function = t.function;
        p.operation = t.operation;
        p.source = t.source;
        p.next = 1;
        p.telegrams = 1;
        p.seq = seq++;
        p.payload.assign(data + 1, data + t.telLen);
        return;
    }
    if (it == pending.end()) {
        Fault(out,
              StrFormat("%s segment of %s (message count %u) without a first segment; dropped",
                        kSegment[t.telId], Coordinates(t).c_str(), count),
              &t);
        return;
    }
    Pending& p = it->second;
    if (count != p.next) {
        Fault(out,
              StrFormat("gap in the message count of %s: %u expected, %u came; ",
                        Coordinates(t).c_str(), p.next, count) +
                  Received(p) + " with this one",
              &t);
        pending.erase(it);
        return;
    }
    if (p.payload.size() + (t.telLen - 1) > maxMessage) {
        Fault(
            out,
            StrFormat("message %s is longer than %u bytes: ", Coordinates(t).c_str(), maxMessage) +
                Received(p),
            &t);
        pending.erase(it);
        return;
    }
    p.payload.insert(p.payload.end(), data + 1, data + t.telLen);
    p.next = static_cast<uint8_t>(p.next + 1);
    ++p.telegrams;
    if (t.telId == eMiddle) return;
    out.emplace_back();
    Result& r = out.back();
    r.fblock = p.fblock;
    r.instance = p.instance;
    r.function = p.function;
    r.operation = p.operation;
    r.payload = std::move(p.payload);
    r.time = t.time;
    r.source = p.source;
    r.telegrams = p.telegrams;
    pending.erase(it);
}

void YFciTelegrams::FeedLine(const char* line, size_t length, std::vector<Result>& out) {
    try {
        std::string error;
        size_t before = out.size();
        LineKind kind = ParseLine(line, length, m_Impl->layout, m_Impl->scratch, error);
        if (kind == eLineSkipped) return;
        if (kind == eLineBad)
            Impl::Fault(out, "not a telegram: " + error, nullptr);
        else
            Feed(m_Impl->scratch, out);
        // Faults this line caused carry it.
        for (size_t i = before; i < out.size(); ++i)
            if (out[i].fault) out[i].input.assign(line, length);
    } catch (const std::exception& e) {
        out.emplace_back();
        out.back().fault = true;
        out.back().error = std::string("not read: ") + e.what();
    }
}

void YFciTelegrams::Finish(std::vector<Result>& out) {
    try {
        std::vector<const Impl::Pending*> left;
        for (const auto& [key, p] : m_Impl->pending)
            left.push_back(&p);
        std::sort(left.begin(), left.end(),
                  [](const Impl::Pending* a, const Impl::Pending* b) { return a->seq < b->seq; });
        for (const Impl::Pending* p : left) {
            Result& r =
                Impl::Fault(out,
                            "incomplete message " + Impl::Coords(*p) +
                                " at the end of the input: no last segment; " + Impl::Received(*p),
                            nullptr);
            r.fblock = p->fblock;
            r.instance = p->instance;
            r.function = p->function;
            r.operation = p->operation;
            r.source = p->source;
        }
        m_Impl->pending.clear();
    } catch (const std::exception& e) {
        m_Impl->pending.clear();
        Impl::Fault(out, std::string("not read: ") + e.what(), nullptr);
    }
}

// --- the decoder of telegram lines -----------------------------------------------------------

struct YFciTelegramDecoder::Impl {
    YFciTraceDecoder decoder;
    YFciTelegrams telegrams;
    YFciTraceDecoder::Format format;
    std::vector<Result> results;
    uint64_t faults = 0;

    Impl(YFciFCatManager* manager, uint16_t channel, uint32_t options, YFciTraceDecoder::Format f,
         YFciTelegrams::Layout layout)
        : decoder(manager, channel, options, f), telegrams(layout), format(f) {}

    void Write(std::string& out) {
        for (Result& r : results) {
            if (!r.fault) {
                decoder.DecodeMessage(r.fblock, r.instance, r.function, r.operation,
                                      r.payload.data(), r.payload.size(), r.time, r.source,
                                      r.telegrams, out);
                continue;
            }
            ++faults;
            if (format == YFciTraceDecoder::eJson) {
                out += "{\"error\":";
                AppendJsonString(out, YFciUserInput::InputTextToUtf8(r.error));
                if (!r.input.empty()) {
                    out += ",\"input\":";
                    AppendJsonString(out, EchoLine(r.input.data(), r.input.size(), false));
                }
                out += "}\n";
            } else {
                if (!r.input.empty()) out += EchoLine(r.input.data(), r.input.size(), true) + "  ";
                out += YFciUserInput::InputTextToUtf8(r.error) + "\n";
            }
        }
        results.clear();
    }
};

YFciTelegramDecoder::YFciTelegramDecoder(YFciFCatManager* manager, uint16_t channel,
                                         uint32_t options, YFciTraceDecoder::Format format,
                                         YFciTelegrams::Layout layout)
    : m_Impl(new Impl(manager, channel, options, format, layout)) {}

YFciTelegramDecoder::~YFciTelegramDecoder() {
    delete m_Impl;
}

void YFciTelegramDecoder::DecodeLine(const char* line, size_t length, std::string& out) {
    try {
        m_Impl->telegrams.FeedLine(line, length, m_Impl->results);
        m_Impl->Write(out);
    } catch (const std::exception& e) {
        m_Impl->results.clear();
        ++m_Impl->faults;
        out += std::string("not decoded: ") + e.what() + "\n";
    }
}

void YFciTelegramDecoder::Finish(std::string& out) {
    try {
        m_Impl->telegrams.Finish(m_Impl->results);
        m_Impl->Write(out);
    } catch (const std::exception& e) {
        m_Impl->results.clear();
        ++m_Impl->faults;
        out += std::string("not decoded: ") + e.what() + "\n";
    }
}

uint64_t YFciTelegramDecoder::Faults() const {
    return m_Impl->faults;
}

std::string YFciTelegramDecoder::Summary() const {
    try {
        std::string text = m_Impl->decoder.Summary();
        if (m_Impl->faults == 0) return text;
        if (!text.empty()) text += "; ";
        return text + std::to_string(m_Impl->faults) +
               (m_Impl->faults == 1 ? " telegram fault" : " telegram faults");
    } catch (const std::exception&) {
        return "not all telegrams could be decoded";
    }
}
