// The writer the trace decoder builds its output lines with.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/hex.h"
#include "platform/strings.h"

namespace mostfcat {

// Appends to a string through a raw pointer: room is made in steps (the
// string is lengthened and its new bytes overwritten), so a piece costs a
// compare and a copy instead of a call. The first step is the expected
// length of what is written, later ones are short (new room is zero-filled
// first); the string's own growth keeps reallocations few. The
// string is cut back to what was written when the appender goes; helpers
// that append to the string itself run through Via.
class Appender {
public:
    Appender(std::string& out, size_t expected) : m_Out(out), m_Step(expected) { Resume(); }
    ~Appender() {
        if (m_P) Done();
    }
    Appender(const Appender&) = delete;
    Appender& operator=(const Appender&) = delete;

    // Runs f on the string as written so far, then goes on after what it
    // appended. While f runs (and when it throws) the string is what counts.
    template <class F> void Via(F f) {
        Done();
        m_P = m_End = nullptr;
        f(m_Out);
        Resume();
    }

    [[gnu::always_inline]] void Put(char c) {
        Room(1);
        *m_P++ = c;
    }
    // Most pieces are short: they are copied in place, in two overlapping
    // words or halves, instead of through a call.
    [[gnu::always_inline]] void Put(const char* s, size_t n) {
        Room(n);
        if (n >= 8 && n <= 16) {
            std::memcpy(m_P, s, 8);
            std::memcpy(m_P + n - 8, s + n - 8, 8);
        } else if (n >= 4 && n < 8) {
            std::memcpy(m_P, s, 4);
            std::memcpy(m_P + n - 4, s + n - 4, 4);
        } else if (n < 4) {
            for (size_t k = 0; k < n; ++k)
                m_P[k] = s[k];
        } else {
            std::memcpy(m_P, s, n);
        }
        m_P += n;
    }
    [[gnu::always_inline]] void Put(const std::string& s) { Put(s.data(), s.size()); }
    // Puts text and returns true when it is all ASCII; else puts nothing
    // and returns false. The bytes are checked in the words they are copied in.
    [[gnu::always_inline]] bool PutAscii(const std::string& text) {
        return PutIf(text, [](uint64_t w) { return w & kHighBits; });
    }
    // The same for text that goes into a JSON string as it is: ASCII without
    // control bytes, quotes or backslashes.
    [[gnu::always_inline]] bool PutPlainJson(const std::string& text) {
        return PutIf(text, [](uint64_t w) {
            return (BytesBelow(w, 0x20) | BytesBelow(w ^ (kOnes * '"'), 1) |
                    BytesBelow(w ^ (kOnes * '\\'), 1) | w) &
                   kHighBits;
        });
    }
    template <size_t N> [[gnu::always_inline]] void Lit(const char (&s)[N]) { Put(s, N - 1); }
    void Blanks(size_t n) {
        Room(n);
        for (size_t k = 0; k < n; ++k)
            m_P[k] = ' ';
        m_P += n;
    }
    // The condensed hex text of n bytes (upper-case digits).
    void Hex(const uint8_t* p, size_t n) {
        Room(2 * n);
        for (size_t k = 0; k < n; ++k) {
            const char* pair = HexPair(p[k]);
            m_P[2 * k] = pair[0];
            m_P[2 * k + 1] = pair[1];
        }
        m_P += 2 * n;
    }
    // Numbers of one or two digits (kinds, levels, most positions) are
    // written in place; larger ones through to_chars.
    [[gnu::always_inline]] void UInt(uint64_t v) {
        Room(20);
        if (v < 10) {
            *m_P++ = static_cast<char>('0' + v);
        } else if (v < 100) {
            m_P[0] = static_cast<char>('0' + v / 10);
            m_P[1] = static_cast<char>('0' + v % 10);
            m_P += 2;
        } else {
            m_P = std::to_chars(m_P, m_P + 20, v).ptr;
        }
    }
    // Where the next byte goes, as an offset (for taking back what was written).
    size_t Size() const { return static_cast<size_t>(m_P - m_Out.data()); }
    void CutTo(size_t size) { m_P = m_Out.data() + size; }

private:
    static constexpr uint64_t kOnes = 0x0101010101010101ull;
    static constexpr uint64_t kHighBits = 0x8080808080808080ull;
    // Nonzero (in the high bits) when a byte of w is below n (1 to 128).
    static uint64_t BytesBelow(uint64_t w, uint8_t n) { return (w - kOnes * n) & ~w & kHighBits; }

    // Copies text and keeps it when no 8-byte word of it (words overlap
    // where it is not a multiple of 8 long) makes refused(word) nonzero.
    template <class Refused> [[gnu::always_inline]] bool PutIf(const std::string& text,
                                                               Refused refused) {
        const char* s = text.data();
        const size_t n = text.size();
        Room(n);
        uint64_t bad = 0;
        if (n >= 8 && n <= 16) {
            uint64_t a, b;
            std::memcpy(&a, s, 8);
            std::memcpy(&b, s + n - 8, 8);
            std::memcpy(m_P, &a, 8);
            std::memcpy(m_P + n - 8, &b, 8);
            bad = refused(a) | refused(b);
        } else if (n >= 4 && n < 8) {
            uint32_t a, b;
            std::memcpy(&a, s, 4);
            std::memcpy(&b, s + n - 4, 4);
            std::memcpy(m_P, &a, 4);
            std::memcpy(m_P + n - 4, &b, 4);
            bad = refused(uint64_t(a) | uint64_t(b) << 32);
        } else if (n > 16) {
            std::memcpy(m_P, s, n);
            uint64_t w;
            for (size_t k = 0; k + 8 < n; k += 8) {
                std::memcpy(&w, s + k, 8);
                bad |= refused(w);
            }
            std::memcpy(&w, s + n - 8, 8);
            bad |= refused(w);
        } else if (n > 0) {
            // 1 to 3 bytes: a word of the first, middle and last byte, the
            // first repeated in the others.
            auto byte = [s](size_t k) { return uint64_t(static_cast<unsigned char>(s[k])); };
            uint64_t w = (kOnes * byte(0)) << 24 | byte(0) | byte(n / 2) << 8 | byte(n - 1) << 16;
            for (size_t k = 0; k < n; ++k)
                m_P[k] = s[k];
            bad = refused(w);
        }
        if (bad) return false;
        m_P += n;
        return true;
    }

    void Done() { m_Out.resize(static_cast<size_t>(m_P - m_Out.data())); }
    void Resume() { m_P = m_End = m_Out.data() + m_Out.size(); }
    void Room(size_t n) {
        if (static_cast<size_t>(m_End - m_P) < n) Grow(n);
    }
    void Grow(size_t n) {
        size_t used = Size();
        m_Out.resize(used + std::max(n, m_Step));
        m_P = m_Out.data() + used;
        m_End = m_Out.data() + m_Out.size();
        // Room is made (and zero-filled) for the whole expected length once;
        // after that, and after every Via, only for what comes next.
        m_Step = kLaterStep;
    }
    static constexpr size_t kLaterStep = 64;

    std::string& m_Out;
    size_t m_Step;
    char* m_P;
    char* m_End;
};

// True when text goes into a JSON string as it is: ASCII without control
// bytes, quotes or backslashes.
inline bool IsPlainJson(const std::string& text) {
    bool plain = true;
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        plain &= c >= 0x20 && c < 0x80 && c != '"' && c != '\\';
    }
    return plain;
}

} // namespace mostfcat
