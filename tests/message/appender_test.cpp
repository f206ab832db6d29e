// The output writer of the trace decoder against plain string building: the
// word-wise checks of its checked copies against byte-by-byte ones, and any
// mix of pieces, taken-back pieces and helper output against std::string.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "message/appender.h"

namespace mostfcat::test {
namespace {

// Puts text through the checked copy named by json and compares the outcome
// with the byte-by-byte predicate; the writer must go on where it should.
void ExpectCheckedCopy(const std::string& text, bool json) {
    std::string out = "<";
    bool kept;
    {
        Appender w(out, 4);
        kept = json ? w.PutPlainJson(text) : w.PutAscii(text);
        w.Put('>');
    }
    bool plain = json ? IsPlainJson(text) : IsAscii(text);
    ASSERT_EQ(kept, plain) << (json ? "json " : "ascii ") << testing::PrintToString(text);
    ASSERT_EQ(out, plain ? "<" + text + ">" : "<>");
}

TEST(AppenderTest, CheckedCopiesAgreeWithTheByteChecks) {
    // Every text of up to three bytes from the bytes at the edges of the
    // checks.
    const std::string edges("\x00\x01\x1F\x20\x21\x22\x23\x5B\x5C\x5D\x7E\x7F\x80\xC3\xFF", 15);
    std::string t;
    for (char a : edges) {
        ExpectCheckedCopy(std::string(1, a), false);
        ExpectCheckedCopy(std::string(1, a), true);
        for (char b : edges)
            for (char c : edges) {
                ExpectCheckedCopy({a, b}, true);
                ExpectCheckedCopy({a, b, c}, true);
                ExpectCheckedCopy({a, b, c}, false);
            }
    }
    ExpectCheckedCopy("", true);
    ExpectCheckedCopy("", false);
    // One edge byte at every position of texts of every length up to 40,
    // across the word boundaries of the copy.
    for (size_t n = 1; n <= 40; ++n)
        for (size_t at = 0; at < n; ++at)
            for (char e : edges) {
                std::string text(n, 'a');
                text[at] = e;
                ExpectCheckedCopy(text, true);
                ExpectCheckedCopy(text, false);
            }
}

TEST(AppenderTest, AnyMixOfPiecesWritesWhatStringBuildingWrites) {
    std::mt19937 rng(11);
    for (int round = 0; round < 2000; ++round) {
        std::string out = rng() % 3 ? "" : "head ", expected = out;
        {
            Appender w(out, rng() % 200);
            for (int k = 0, steps = static_cast<int>(rng() % 40); k < steps; ++k) {
                std::string piece(rng() % 70, static_cast<char>('a' + rng() % 26));
                switch (rng() % 6) {
                case 0:
                    w.Put(piece);
                    expected += piece;
                    break;
                case 1:
                    w.Blanks(piece.size());
                    expected.append(piece.size(), ' ');
                    break;
                case 2: {
                    uint64_t v = uint64_t(rng()) << (rng() % 33);
                    w.UInt(v);
                    expected += std::to_string(v);
                    break;
                }
                case 3:
                    w.Via([&](std::string& o) { o += piece; });
                    expected += piece;
                    break;
                case 4: {
                    size_t keep = expected.size() - (expected.size() ? rng() % expected.size() : 0);
                    w.CutTo(keep);
                    expected.resize(keep);
                    break;
                }
                default:
                    w.Lit("::");
                    expected += "::";
                }
                ASSERT_EQ(w.Size(), expected.size());
            }
        }
        ASSERT_EQ(out, expected) << "round " << round;
    }
}

} // namespace
} // namespace mostfcat::test
