// The hex-dump helper: text forms of byte vectors, numbers from bytes, hex
// input, and the decoder's bit extraction against a bit-by-bit reference over
// random offsets and lengths (the bit packing of the assembler is checked by
// assembling decoded signals back into their payloads).
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
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

// --- random checks against a bit-by-bit reference -----------------------------------

// The bits of the payload from bit offset `first` on (msb-first numbering
// inside each byte when msbFirst) as a number, the first bit being the most
// significant (msbFirst) or the least significant one.
uint64_t ReferenceValue(const Bytes& payload, uint64_t first, uint32_t count, bool msbFirst) {
    uint64_t v = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint64_t k = first + i;
        unsigned mask = msbFirst ? 0x80u >> (k % 8) : 1u << (k % 8);
        uint64_t bit = (payload[k / 8] & mask) ? 1 : 0;
        v |= msbFirst ? bit << (count - 1 - i) : bit << i;
    }
    return v;
}

// The extraction's layout of a value: ceil(count / 8) bytes, most significant
// byte first for msb-first order, least significant first otherwise.
Bytes Layout(uint64_t v, uint32_t count, bool msbFirst) {
    Bytes out((count + 7) / 8);
    for (size_t i = 0; i < out.size(); ++i)
        out[msbFirst ? out.size() - 1 - i : i] = static_cast<unsigned char>(v >> (8 * i));
    return out;
}

TEST(HexdumpTest, ReadBitsMatchesBitByBitReference) {
    const uint32_t seed = 20240611;
    std::mt19937_64 rng(seed);
    for (int round = 0; round < 20000; ++round) {
        Bytes payload(1 + rng() % 12);
        for (auto& b : payload)
            b = static_cast<unsigned char>(rng());
        mostfcat::YDisasmTarget target;
        DisasmContext ctx(payload.data(), static_cast<uint32_t>(payload.size()), target, 100,
                          0xFFFFFFFF, 100, 100);
        if (rng() % 4 == 0) ctx.m_Limit = static_cast<uint32_t>(rng() % (payload.size() + 1));
        uint32_t pos = static_cast<uint32_t>(rng() % (payload.size() + 1));
        uint16_t offset = static_cast<uint16_t>(rng() % 12);
        uint32_t count = 1 + static_cast<uint32_t>(rng() % 64);
        bool lsb = rng() % 2;
        Bytes got = ctx.ReadBits(pos, offset, count, lsb);
        Bytes want((count + 7) / 8, 0);
        if ((offset + count + 7) / 8 + pos <= ctx.AvailableLength())
            want = Layout(ReferenceValue(payload, uint64_t(pos) * 8 + offset, count, !lsb), count,
                          !lsb);
        ASSERT_EQ(H::CondensedString(got), H::CondensedString(want))
            << "seed " << seed << " round " << round << " payload " << H::CondensedString(payload)
            << " limit " << ctx.m_Limit << " pos " << pos << " offset " << offset << " count "
            << count << (lsb ? " lsb" : " msb");
    }
}

} // namespace
} // namespace mostfcat
