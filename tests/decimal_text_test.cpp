// The account's numbers against the C library's own "%lf", over every kind of double: the oracle
// is this platform's printf (glibc natively, mingw-w64's under wine).
#include "calc/decimal_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

std::string viaPrintf(double value, int decimals) {
    char text[400];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string viaFixedDecimals(double value, int decimals) {
    char text[varnel::kSixDecimalsBound + 1];
    char* end = varnel::fixedDecimals(value, decimals, text);
    return std::string(text, end);
}

std::string viaSixDecimals(double value) {
    char text[varnel::kSixDecimalsBound + 1];
    char* end = varnel::sixDecimals(value, text);
    return std::string(text, end);
}

double fromBits(std::uint64_t bits) {
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Counts the values that differ, at every number of decimals, and shows the first few.
class Mismatches {
  public:
    void check(double value) {
        if (viaSixDecimals(value) != viaPrintf(value, 6)) report(value, 6);
        for (int decimals = 0; decimals <= 6; ++decimals) {
            if (viaFixedDecimals(value, decimals) != viaPrintf(value, decimals)) {
                report(value, decimals);
            }
        }
    }
    int count() const { return count_; }

  private:
    void report(double value, int decimals) {
        if (++count_ <= 5) {
            ADD_FAILURE() << "bits " << std::hex << bits(value) << std::dec << ", " << decimals
                          << " decimals: printf " << viaPrintf(value, decimals)
                          << ", fixedDecimals " << viaFixedDecimals(value, decimals);
        }
    }
    static std::uint64_t bits(double value) {
        std::uint64_t b;
        std::memcpy(&b, &value, sizeof b);
        return b;
    }
    int count_ = 0;
};

TEST(SixDecimals, SpecialValues) {
    Mismatches m;
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double v : {0.0,
                     -0.0,
                     -1e-9,
                     4.9406564584124654e-324,
                     -4.9406564584124654e-324,
                     2.2250738585072014e-308,
                     1.7976931348623157e308,
                     -1.7976931348623157e308,
                     inf,
                     -inf,
                     nan,
                     -nan,
                     8589934591.999999,
                     8589934592.0,
                     1e22,
                     9007199254740993.0,
                     0.0000005,
                     4.9999999999999996e-07,
                     999999.9999995,
                     103.53715395}) {
        m.check(v);
    }
    EXPECT_EQ(m.count(), 0);
}

// A halfway case of the sixth decimal, (2k + 1)/(2·10^6), is a binary fraction only when 5^6
// divides 2k + 1: at the odd multiples of 2^-7, and with d decimals at those of 2^-(d + 1), all
// among the multiples of 2^-7. printf rounds them to even.
TEST(SixDecimals, HalfwayCasesRoundToEven) {
    Mismatches m;
    for (int k = 1; k < 8192; ++k) {
        const double v = k / 128.0;
        m.check(v);
        m.check(-v);
        m.check(v + 4096.0);
        m.check(std::nextafter(v, 0.0));
        m.check(std::nextafter(v, 1e300));
    }
    EXPECT_EQ(m.count(), 0);
    EXPECT_EQ(viaSixDecimals(0.0078125), "0.007812");
    EXPECT_EQ(viaSixDecimals(0.0234375), "0.023438");
    EXPECT_EQ(viaFixedDecimals(0.125, 2), "0.12");
    EXPECT_EQ(viaFixedDecimals(0.375, 2), "0.38");
    EXPECT_EQ(viaFixedDecimals(2.5, 0), "2");
}

// Random bit patterns across every exponent, and random stresses and sags as the account shows.
TEST(SixDecimals, RandomDoubles) {
    Mismatches m;
    std::mt19937_64 random(20261208);
    for (int i = 0; i < 50000; ++i) m.check(fromBits(random()));
    std::uniform_real_distribution<double> stress(0, 400);
    std::uniform_int_distribution<int> exponent(-40, 40);
    for (int i = 0; i < 50000; ++i) {
        m.check(stress(random));
        m.check(std::ldexp(stress(random), exponent(random)));
        m.check(-std::ldexp(stress(random), exponent(random)));
    }
    EXPECT_EQ(m.count(), 0);
}

}  // namespace
