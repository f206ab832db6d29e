// The output writer of the trace decoder against plain string building: the
// word-wise checks of its checked copies against byte-by-byte ones, and any
// mix of pieces, taken-back pieces and helper output against std::string;
// and the numbers of its JSON output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>

#include "message/appender.h"
#include "platform/hex.h"

namespace mostfcat {
void AppendJsonNumber(std::string& out, double v);
}

namespace mostfcat::test {
namespace {

// Puts text through both checked copies; each keeps it exactly when the
// byte-by-byte check agrees, and the writer goes on where it should.
void ExpectCheckedCopies(const std::string& text) {
    for (bool json : {false, true}) {
        std::string out = "<";
        bool kept;
        {
            Appender w(out, 4);
            kept = json ? w.PutPlainJson(text) : w.PutAscii(text);
            w.Put('>');
        }
        bool plain = json ? IsPlainJson(text) : IsAscii(text);
        ASSERT_EQ(kept, plain) << json << testing::PrintToString(text);
        ASSERT_EQ(out, plain ? "<" + text + ">" : "<>");
    }
}

TEST(AppenderTest, CheckedCopiesAgreeWithTheByteChecks) {
    // Every text of up to three bytes from the bytes at the edges of the
    // checks, then one such byte at every position of texts up to 40 long,
    // across the word boundaries of the copy.
    const std::string edges("\x00\x01\x1F\x20\x21\x22\x23\x5B\x5C\x5D\x7E\x7F\x80\xC3\xFF", 15);
    ExpectCheckedCopies("");
    for (char a : edges)
        for (char b : edges)
            for (char c : edges) {
                ExpectCheckedCopies({a});
                ExpectCheckedCopies({a, b});
                ExpectCheckedCopies({a, b, c});
            }
    for (size_t n = 1; n <= 40; ++n)
        for (size_t at = 0; at < n; ++at)
            for (char e : edges) {
                std::string text(n, 'a');
                text[at] = e;
                ExpectCheckedCopies(text);
            }
}

TEST(AppenderTest, AnyMixOfPiecesWritesWhatStringBuildingWrites) {
    // Each step does the same to the writer and to a plain string.
    using Step = std::function<void(Appender&, std::string&, const std::string&)>;
    const Step steps[] = {
        [](Appender& w, std::string& e, const std::string& p) { w.Put(p), e += p; },
        [](Appender& w, std::string& e, const std::string& p) {
            w.Blanks(p.size()), e.append(p.size(), ' ');
        },
        [](Appender& w, std::string& e, const std::string& p) {
            uint64_t v = uint64_t(p.size()) << (p.size() % 58);
            w.UInt(v), e += std::to_string(v);
        },
        [](Appender& w, std::string& e, const std::string& p) {
            w.Via([&](std::string& o) { o += p; }), e += p;
        },
        [](Appender& w, std::string& e, const std::string& p) {
            size_t keep = e.size() - std::min(e.size(), p.size());
            w.CutTo(keep), e.resize(keep);
        },
        [](Appender& w, std::string& e, const std::string&) { w.Lit("::"), e += "::"; },
        [](Appender& w, std::string& e, const std::string& p) {
            auto* bytes = reinterpret_cast<const unsigned char*>(p.data());
            w.Hex(bytes, p.size()), AppendHex(e, bytes, p.size());
        },
    };
    std::mt19937 rng(11);
    for (int round = 0; round < 2000; ++round) {
        std::string out = rng() % 3 ? "" : "head ", expected = out;
        {
            Appender w(out, rng() % 200);
            for (int k = 0, n = static_cast<int>(rng() % 40); k < n; ++k) {
                std::string piece(rng() % 70, static_cast<char>('a' + rng() % 26));
                steps[rng() % std::size(steps)](w, expected, piece);
                ASSERT_EQ(w.Size(), expected.size());
            }
        }
        ASSERT_EQ(out, expected) << "round " << round;
    }
}

std::string JsonNumber(double v) {
    std::string out;
    AppendJsonNumber(out, v);
    return out;
}

TEST(AppenderTest, JsonNumbersTakeTheShortestDigitsInTheirForm) {
    // Every form and the edges between them.
    const std::pair<double, const char*> table[] = {
        {0.0, "0.0"},
        {-0.0, "-0.0"},
        {60, "60.0"},
        {-1, "-1.0"},
        {0.1, "0.1"},
        {-2.5, "-2.5"},
        {123.456, "123.456"},
        {0.001, "0.001"},
        {1e-4, "0.0001"},
        {-1.5e-4, "-0.00015"},
        {9.9e-5, "9.9e-05"},
        {1e-300, "1e-300"},
        {5e-324, "5e-324"},
        {999999999999999.0, "999999999999999.0"},
        {123456789012345.6, "123456789012345.6"},
        {1e15, "1e+15"},
        {1.5e20, "1.5e+20"},
        {-1.7976931348623157e308, "-1.7976931348623157e+308"},
        {HUGE_VAL, "null"},
        {std::nan(""), "null"},
    };
    for (const auto& [v, text] : table)
        EXPECT_EQ(JsonNumber(v), text) << v;
    // Any finite double reads back as itself, in the plain form exactly
    // between 1e-4 and 1e15.
    std::mt19937_64 rng(5);
    for (int i = 0; i < 200000; ++i) {
        uint64_t bits = rng();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        if (!std::isfinite(v)) continue;
        std::string text = JsonNumber(v);
        double back = std::strtod(text.c_str(), nullptr);
        ASSERT_EQ(std::memcmp(&back, &v, sizeof v), 0) << text;
        bool plain = text.find('e') == std::string::npos;
        double a = std::fabs(v);
        ASSERT_EQ(plain, a == 0 || (a >= 1e-4 && a < 1e15)) << text;
    }
}

} // namespace
} // namespace mostfcat::test
