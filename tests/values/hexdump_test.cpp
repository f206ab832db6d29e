// The hex-dump helper: text forms of byte vectors, numbers from bytes, hex
// input, and the bounds of the decoder's bit extraction.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "decoding/disasm_context.h"
#include "mostfcat/hexdump.h"

namespace mostfcat {
namespace {

using H = YFciHexdumpHelper;
using Bytes = std::vector<unsigned char>;

TEST(HexdumpTest, TextForms) {
    const Bytes b{0x01, 0xA2, 0xFF};
    EXPECT_EQ(H::BytesToStringHex(b, 0, 3), "01 A2 FF");
    EXPECT_EQ(H::BytesToStringHex(b, 1), "A2 FF");
    EXPECT_EQ(H::CondensedString(b), "01A2FF");
    EXPECT_EQ(H::CondensedString(b, 2), "01A2");
    EXPECT_EQ(H::CondensedString(b, 9), "01A2FF");
    EXPECT_EQ(H::BytesToStringDec(Bytes{1, 200}, 0, 2), "  1 200");
    EXPECT_EQ(H::BytesToStringDec(Bytes{1, 200, 7}, 1, 2), "200   7");
    // The two-argument decimal form gives the hex text.
    EXPECT_EQ(H::BytesToStringDec(Bytes{1, 200}, 0), "01 C8");
    // Ranges that do not fit the vector give empty texts.
    for (auto [start, count] : {std::pair{3ul, 1ul}, {0ul, 0ul}, {2ul, 2ul}, {9ul, 1ul}}) {
        EXPECT_EQ(H::BytesToStringHex(b, start, count), "") << start << "+" << count;
        EXPECT_EQ(H::BytesToStringDec(b, start, count), "") << start << "+" << count;
    }
    EXPECT_EQ(H::BytesToStringHex(b, 3), "");
    std::string out = "stale";
    H::CondensedString(out, b.data(), 2);
    EXPECT_EQ(out, "01A2");
    H::CondensedString(out, nullptr, 2);
    EXPECT_EQ(out, "");
}

TEST(HexdumpTest, NumbersFromBytes) {
    EXPECT_EQ(H::BytesToULong(Bytes{0x12, 0x34}), 0x1234ul);
    EXPECT_EQ(H::BytesToULong(Bytes{1, 2, 3, 4, 5}), 0ul);
    EXPECT_EQ(H::BytesToULong(Bytes{}), 0ul);
    EXPECT_EQ(H::BytesToULong(Bytes{9, 0x12, 0x34}, 1, 2), 0x1234ul);
    EXPECT_EQ(H::BytesToULong(Bytes{9, 0x12, 0x34}, 2, 2), 0ul) << "past the end";
    EXPECT_EQ(H::BytesToULong(Bytes{9, 0x12, 0x34}, 0, 0), 0ul);
    const unsigned char raw[5] = {0xDE, 0xAD, 0xBE, 0xEF, 0x01};
    EXPECT_EQ(H::BytesToULong(raw, 4), 0xDEADBEEFul);
    EXPECT_EQ(H::BytesToULong(raw, 5), 0ul);

    // Bytes, little-endian: as signed and as unsigned 64-bit numbers.
    const std::tuple<Bytes, bool, int64_t, uint64_t> rows[] = {
        {{0xFF, 0xFE}, false, -2, 0xFFFE},
        {{0xFF, 0xFE}, true, -257, 0xFEFF},
        {{0x7F, 0xFF}, true, -129, 0xFF7F},
        {{0x80}, false, -128, 0x80},
        {{0x12, 0x34, 0x56}, false, 0x123456, 0x123456},
        {{0x80, 0, 0, 0, 0, 0, 0, 1}, false, INT64_MIN + 1, 0x8000000000000001ull},
        {{0x01, 0, 0, 0, 0, 0, 0, 0x80}, true, INT64_MIN + 1, 0x8000000000000001ull},
        {{}, false, 0, 0},
        {Bytes(9, 0x11), false, 0, 0},
    };
    for (const auto& [bytes, little, i64, u64] : rows) {
        EXPECT_EQ(H::BytesToInt64(bytes, little), i64) << H::CondensedString(bytes);
        EXPECT_EQ(H::BytesToUInt64(bytes, little), u64) << H::CondensedString(bytes);
    }
}

TEST(HexdumpTest, HexInput) {
    // Text: whether it is read, and the bytes.
    const std::tuple<const char*, bool, Bytes> rows[] = {
        {"1 2 3", true, {0x12, 0x30}},
        {"ABC", true, {0xAB, 0xC0}},
        {"a b ", true, {0xAB}},
        {"", true, {}},
        {"  ", true, {}},
        {"0x12", false, {}},
        {"12\t34", false, {}},
        {"1G", false, {}},
    };
    for (const auto& [text, ok, bytes] : rows) {
        Bytes out{0x77};
        EXPECT_EQ(H::StringToBytes(out, text), ok) << text;
        EXPECT_EQ(out, ok ? bytes : Bytes{0x77}) << text;
    }
}

// Bits that run past the available bytes read as zeros, whatever lies
// beyond the limit. (The bit order of every signal layout is checked by the
// two decoders against each other over generated catalogs.)
TEST(HexdumpTest, ReadBitsPastTheAvailableBytesGiveZeros) {
    const Bytes payload{0xF0, 0xFF, 0xFF};
    mostfcat::YDisasmTarget target;
    DisasmContext ctx(payload.data(), 3, target, 100, 0xFFFFFFFF, 100, 100);
    ctx.m_Limit = 2;
    EXPECT_EQ(ctx.ReadBits(0, 4, 8, false), (Bytes{0x0F}));
    EXPECT_EQ(ctx.ReadBits(1, 4, 8, false), (Bytes{0x00}));
    EXPECT_EQ(ctx.ReadBits(1, 4, 8, true), (Bytes{0x00}));
    EXPECT_EQ(ctx.ReadBits(2, 0, 1, true), (Bytes{0x00}));
}

} // namespace
} // namespace mostfcat
