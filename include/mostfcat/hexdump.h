// mostfcat: conversions between payload bytes, numbers and the hex texts that
// message descriptions and message instances show and accept.
#ifndef MOSTFCAT_HEXDUMP_H
#define MOSTFCAT_HEXDUMP_H

#include <cstdint>
#include <string>
#include <vector>

#ifndef MOSTFCAT_CLASS
#if defined(MOSTFCAT_BUILDING_LIBRARY)
#define MOSTFCAT_CLASS __attribute__((visibility("default")))
#else
#define MOSTFCAT_CLASS
#endif
#endif

// Static helpers only; the class has no data.
class MOSTFCAT_CLASS YFciHexdumpHelper {
public:
    typedef std::vector<unsigned char> Bytes;

    YFciHexdumpHelper& operator=(const YFciHexdumpHelper& other);

    // Appends all of src / src from index start / count bytes from p.
    static void Append(Bytes& dst, const Bytes& src);
    static void Append(Bytes& dst, const Bytes& src, unsigned long start);
    static void Append(Bytes& dst, const unsigned char* p, unsigned long count);

    // Writes the last bitCount bits of src (right-aligned in its bytes) into
    // dst, continuing at bit bitPos of dst's last byte (index lastIndex, -1
    // for an empty vector). Returns the index of dst's last byte afterwards.
    static long AppendHexDumpBits(const Bytes& src, Bytes& dst, long lastIndex,
                                  unsigned long bitPos, unsigned long bitCount, bool bigEndian);

    // Up to 8 bytes as a two's-complement / unsigned number in the given byte
    // order; 0 for an empty vector or more than 8 bytes.
    static int64_t BytesToInt64(const Bytes& bytes, bool littleEndian);
    static uint64_t BytesToUInt64(const Bytes& bytes, bool littleEndian);

    // 1 to 4 bytes as an unsigned big-endian number; 0 otherwise.
    static unsigned long BytesToULong(const Bytes& bytes);
    static unsigned long BytesToULong(const Bytes& bytes, unsigned long start, unsigned long count);
    static unsigned long BytesToULong(const unsigned char* p, unsigned long count);

    // "01 A2 FF" (hex pairs separated by blanks).
    static std::string BytesToStringHex(const Bytes& bytes, unsigned long start,
                                        unsigned long count);
    static std::string BytesToStringHex(const Bytes& bytes, unsigned long start);
    // "  1 200" (each byte "%3d", separated by blanks). The two-argument form
    // gives the hex text of BytesToStringHex.
    static std::string BytesToStringDec(const Bytes& bytes, unsigned long start,
                                        unsigned long count);
    static std::string BytesToStringDec(const Bytes& bytes, unsigned long start);

    // "01A2FF" (hex pairs without separators).
    static std::string CondensedString(const Bytes& bytes);
    static std::string CondensedString(const Bytes& bytes, unsigned long max);
    static void CondensedString(std::string& out, const unsigned char* p, unsigned long count);

    // Reads hex input: blanks are skipped anywhere, two digits make a byte, a
    // single digit left at the end is the high nibble of a last byte. False
    // (out unchanged) on any other character.
    static bool StringToBytes(Bytes& out, const std::string& text);
};

#endif // MOSTFCAT_HEXDUMP_H
