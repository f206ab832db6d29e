// Number texts are built without printf; they must give exactly the
// characters of the printf conversions they stand for, over every exponent,
// the extremes of every width and millions of random raw values.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "decoding/value_text.h"

namespace mostfcat {
namespace {

// What the printf forms give for raw * 10^exponent.
std::string PrintfText(int64_t raw, int32_t exponent) {
    char buf[400];
    if (exponent >= -5 && exponent <= -1) {
        long double v = static_cast<long double>(raw) / std::pow(10.0L, -exponent);
        std::snprintf(buf, sizeof buf, "%.*Lf", -exponent, v);
    } else if (exponent >= 0 && exponent <= 5) {
        std::snprintf(buf, sizeof buf, "%lld",
                      static_cast<long long>(raw * static_cast<int64_t>(std::pow(10.0, exponent))));
    } else {
        double v = static_cast<double>(raw) * std::pow(10.0, exponent);
        double a = std::fabs(v);
        std::snprintf(buf, sizeof buf, a > 0.1 && a < 10 ? "%f" : "%e", v);
    }
    return buf;
}

std::string Scaled(int64_t raw, int32_t exponent) {
    std::string out;
    AppendScaled(out, raw, exponent, std::pow(10.0, exponent));
    return out;
}

TEST(NumberTextTest, ScaledTextsEqualThePrintfForms) {
    const int64_t extremes[] = {0,          1,      -1,     9,      10,    99,     127,
                                -128,       255,    32767,  -32768, 65535, 99999,  100000,
                                -99999,     2147483647,     -2147483648LL, 4294967295LL,
                                123456789};
    size_t compared = 0;
    for (int32_t e = -330; e <= 330; ++e)
        for (int64_t raw : extremes) {
            ASSERT_EQ(Scaled(raw, e), PrintfText(raw, e)) << raw << "e" << e;
            ++compared;
        }
    // Random raw values of every width, signed and unsigned, over the
    // exponents a catalog uses (each form and both sides of the general
    // form's switch between fixed and exponent notation).
    std::mt19937_64 rng(11);
    for (int i = 0; i < 2000000; ++i) {
        int bits = 8 << (rng() % 3);
        int64_t raw = static_cast<int64_t>(rng() >> (64 - bits));
        if (rng() & 1) raw -= int64_t(1) << (bits - 1);
        int32_t e = static_cast<int32_t>(rng() % 41) - 20;
        ASSERT_EQ(Scaled(raw, e), PrintfText(raw, e)) << raw << "e" << e;
        ++compared;
    }
    EXPECT_GT(compared, 2000000u);
}

TEST(NumberTextTest, GeneralFormEdgeValues) {
    const double values[] = {-0.0,      0.0,      0.1,     -0.1,     0.1000001, 9.9999995,
                             10.0,      -9.9999994, 1e-320, DBL_MIN,  DBL_MAX,   -DBL_MAX,
                             5e-7,      2.5e-7,   std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity()};
    for (double v : values) {
        char buf[400];
        double a = std::fabs(v);
        std::snprintf(buf, sizeof buf, a > 0.1 && a < 10 ? "%f" : "%e", v);
        std::string out = "x";
        AppendGeneral(out, v);
        EXPECT_EQ(out, std::string("x") + buf) << v;
    }
    // Fixed decimals keep their leading zeros and the sign of small negatives.
    EXPECT_EQ(FixedText(-5, 3), "-0.005");
    EXPECT_EQ(FixedText(100000, 5), "1.00000");
}

} // namespace
} // namespace mostfcat
