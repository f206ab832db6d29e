// The byte and hex-text helpers of the message layer.
#include "mostfcat/hexdump.h"

#include "platform/hex.h"

using mostfcat::AppendHex;
using mostfcat::HexDigit;
using mostfcat::HexPair;

YFciHexdumpHelper& YFciHexdumpHelper::operator=(const YFciHexdumpHelper&) {
    return *this;
}

void YFciHexdumpHelper::Append(Bytes& dst, const Bytes& src) {
    dst.insert(dst.end(), src.begin(), src.end());
}

void YFciHexdumpHelper::Append(Bytes& dst, const Bytes& src, unsigned long start) {
    if (start >= src.size()) return;
    dst.insert(dst.end(), src.begin() + static_cast<long>(start), src.end());
}

void YFciHexdumpHelper::Append(Bytes& dst, const unsigned char* p, unsigned long count) {
    if (!p || count == 0) return;
    dst.insert(dst.end(), p, p + count);
}

long YFciHexdumpHelper::AppendHexDumpBits(const Bytes& src, Bytes& dst, long lastIndex,
                                          unsigned long bitPos, unsigned long bitCount,
                                          bool bigEndian) {
    if (bitCount == 0) return lastIndex;
    // The source must hold ceil(bitCount / 8) bytes; missing ones read as 0.
    auto srcByte = [&](unsigned long i) -> unsigned char { return i < src.size() ? src[i] : 0; };
    // A last index that does not match dst is taken as dst's real last byte,
    // so that a caller's stale index can never write outside the vector.
    if (lastIndex >= static_cast<long>(dst.size())) lastIndex = static_cast<long>(dst.size()) - 1;
    if (lastIndex < -1) lastIndex = -1;
    bitPos &= 7;
    if (bigEndian) {
        unsigned long s = (8 - bitCount % 8) % 8;
        unsigned long t = bitPos;
        unsigned char cur = srcByte(0);
        for (unsigned long step = 0; step < bitCount; ++step, ++s, ++t) {
            if (s > 0 && s % 8 == 0) cur = srcByte(s / 8);
            if (t % 8 == 0 || lastIndex < 0) {
                dst.push_back(0);
                ++lastIndex;
            }
            if (cur & (0x80u >> (s % 8))) dst[static_cast<size_t>(lastIndex)] |= 0x80u >> (t % 8);
        }
    } else {
        unsigned char cur = srcByte(0);
        for (unsigned long i = 0; i < bitCount; ++i) {
            if (i > 0 && i % 8 == 0) cur = srcByte(i / 8);
            if ((i + bitPos) % 8 == 0 || lastIndex < 0) {
                dst.push_back(0);
                ++lastIndex;
            }
            if (cur & (1u << (i % 8)))
                dst[static_cast<size_t>(lastIndex)] |=
                    static_cast<unsigned char>(1u << ((bitPos + i) % 8));
        }
    }
    return lastIndex;
}

uint64_t YFciHexdumpHelper::BytesToUInt64(const Bytes& bytes, bool littleEndian) {
    size_t n = bytes.size();
    if (n == 0 || n > 8) return 0;
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i)
        v = (v << 8) | bytes[littleEndian ? n - 1 - i : i];
    return v;
}

int64_t YFciHexdumpHelper::BytesToInt64(const Bytes& bytes, bool littleEndian) {
    size_t n = bytes.size();
    if (n == 0 || n > 8) return 0;
    uint64_t v = BytesToUInt64(bytes, littleEndian);
    unsigned char top = bytes[littleEndian ? n - 1 : 0];
    if (n < 8 && (top & 0x80)) v |= ~uint64_t(0) << (8 * n);
    return static_cast<int64_t>(v);
}

unsigned long YFciHexdumpHelper::BytesToULong(const Bytes& bytes) {
    return BytesToULong(bytes, 0, bytes.size());
}

unsigned long YFciHexdumpHelper::BytesToULong(const Bytes& bytes, unsigned long start,
                                              unsigned long count) {
    if (count < 1 || count > 4 || start > bytes.size() || count > bytes.size() - start) return 0;
    return BytesToULong(bytes.data() + start, count);
}

unsigned long YFciHexdumpHelper::BytesToULong(const unsigned char* p, unsigned long count) {
    if (!p || count < 1 || count > 4) return 0;
    unsigned long v = 0;
    for (unsigned long i = 0; i < count; ++i)
        v = (v << 8) | p[i];
    return v;
}

std::string YFciHexdumpHelper::BytesToStringHex(const Bytes& bytes, unsigned long start,
                                                unsigned long count) {
    std::string out;
    if (start >= bytes.size() || count == 0 || count > bytes.size() - start) return out;
    out.reserve(count * 3);
    for (unsigned long i = 0; i < count; ++i) {
        if (i) out.push_back(' ');
        out.append(HexPair(bytes[start + i]), 2);
    }
    return out;
}

std::string YFciHexdumpHelper::BytesToStringHex(const Bytes& bytes, unsigned long start) {
    if (start >= bytes.size()) return std::string();
    return BytesToStringHex(bytes, start, bytes.size() - start);
}

std::string YFciHexdumpHelper::BytesToStringDec(const Bytes& bytes, unsigned long start,
                                                unsigned long count) {
    std::string out;
    if (start >= bytes.size() || count == 0 || count > bytes.size() - start) return out;
    out.reserve(count * 4);
    for (unsigned long i = 0; i < count; ++i) {
        if (i) out.push_back(' ');
        unsigned v = bytes[start + i];
        char buf[3] = {' ', ' ', ' '};
        buf[2] = static_cast<char>('0' + v % 10);
        if (v >= 10) buf[1] = static_cast<char>('0' + (v / 10) % 10);
        if (v >= 100) buf[0] = static_cast<char>('0' + v / 100);
        out.append(buf, 3);
    }
    return out;
}

std::string YFciHexdumpHelper::BytesToStringDec(const Bytes& bytes, unsigned long start) {
    return BytesToStringHex(bytes, start);
}

std::string YFciHexdumpHelper::CondensedString(const Bytes& bytes) {
    std::string out;
    AppendHex(out, bytes.data(), bytes.size());
    return out;
}

std::string YFciHexdumpHelper::CondensedString(const Bytes& bytes, unsigned long max) {
    std::string out;
    AppendHex(out, bytes.data(), bytes.size() < max ? bytes.size() : max);
    return out;
}

void YFciHexdumpHelper::CondensedString(std::string& out, const unsigned char* p,
                                        unsigned long count) {
    out.clear();
    if (p) AppendHex(out, p, count);
}

bool YFciHexdumpHelper::StringToBytes(Bytes& out, const std::string& text) {
    Bytes bytes;
    bytes.reserve(text.size() / 2);
    int high = -1;
    for (char c : text) {
        if (c == ' ') continue;
        int d = HexDigit(c);
        if (d < 0) return false;
        if (high < 0) {
            high = d;
        } else {
            bytes.push_back(static_cast<unsigned char>(high << 4 | d));
            high = -1;
        }
    }
    if (high >= 0) bytes.push_back(static_cast<unsigned char>(high << 4));
    out.swap(bytes);
    return true;
}
