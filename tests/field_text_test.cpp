#include "libraries/field_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

using varnel::copyText;
using varnel::parseReal;
using varnel::parseWhole;

struct RealCase {
    const char* text;
    double expected;
};

class ParseReal : public testing::TestWithParam<RealCase> {};

TEST_P(ParseReal, TakesTheLongestDecimalPrefix) {
    const auto& c = GetParam();
    const double got = parseReal(c.text);
    if (std::isinf(c.expected)) {
        EXPECT_EQ(got, c.expected) << '"' << c.text << '"';
    } else {
        EXPECT_EQ(got, c.expected) << '"' << c.text << '"';
        EXPECT_EQ(std::signbit(got), std::signbit(c.expected)) << '"' << c.text << '"';
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseReal,
    testing::Values(
        RealCase{"12.5abc", 12.5}, RealCase{"abc", 0.0}, RealCase{"", 0.0}, RealCase{"  -5", -5.0},
        RealCase{"\t\n\v\f\r 7", 7.0}, RealCase{"1,5", 1.0}, RealCase{"+3.25", 3.25},
        RealCase{".5", 0.5}, RealCase{"5.", 5.0}, RealCase{"-.", 0.0}, RealCase{".", 0.0},
        RealCase{"-", 0.0}, RealCase{"1e3", 1000.0}, RealCase{"1E-2x", 0.01}, RealCase{"2e", 2.0},
        RealCase{"2e+", 2.0}, RealCase{"2e-x", 2.0}, RealCase{"inf", 0.0}, RealCase{"nan", 0.0},
        RealCase{"-infinity", 0.0}, RealCase{"0x1A", 0.0}, RealCase{"19.3", 19.3},
        RealCase{"1e400", std::numeric_limits<double>::infinity()},
        RealCase{"-1e400", -std::numeric_limits<double>::infinity()}, RealCase{"1e-400", 0.0},
        RealCase{"0.000001e-999999999999999999999", 0.0}, RealCase{"\xB4\xF3 5", 0.0},
        RealCase{"0.1", 0.1}, RealCase{"2.2250738585072014e-308", 2.2250738585072014e-308}));

TEST(ParseReal, ExpansionCoefficientScaling) {
    EXPECT_EQ(parseReal("19.3") * 1e-6, 1.9299999999999998e-05);
    EXPECT_NE(parseReal("19.3") * 1e-6, 19.3 / 1000000);
}

#ifndef _WIN32
// The C library's strtod in the "C" locale is correctly rounded on glibc: an independent oracle
// for random decimal texts (plain decimals, where both read the same prefix).
TEST(ParseReal, AgreesWithTheCLibraryOnRandomDecimals) {
    std::setlocale(LC_NUMERIC, "C");
    std::mt19937_64 rng(20261207);
    std::uniform_int_distribution<int> digitCount(1, 25);
    std::uniform_int_distribution<int> digit(0, 9);
    std::uniform_int_distribution<int> exponent(-330, 310);
    for (int n = 0; n < 20000; ++n) {
        std::string text = (n % 3 == 0) ? "-" : "";
        const int whole = digitCount(rng);
        for (int i = 0; i < whole; ++i) text += static_cast<char>('0' + digit(rng));
        text += '.';
        const int fraction = digitCount(rng);
        for (int i = 0; i < fraction; ++i) text += static_cast<char>('0' + digit(rng));
        if (n % 2 == 0) text += "e" + std::to_string(exponent(rng));
        const double expected = std::strtod(text.c_str(), nullptr);
        ASSERT_EQ(parseReal(text), expected) << text;
    }
}
#endif

struct WholeCase {
    const char* text;
    int expected;
};

class ParseWhole : public testing::TestWithParam<WholeCase> {};

TEST_P(ParseWhole, TakesTheIntegerPrefixClamped) {
    EXPECT_EQ(parseWhole(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseWhole,
    testing::Values(WholeCase{"12.7", 12}, WholeCase{"3.9", 3}, WholeCase{"  -5", -5},
                    WholeCase{"+8", 8}, WholeCase{"", 0}, WholeCase{"x1", 0},
                    WholeCase{"2147483647", 2147483647}, WholeCase{"2147483648", 2147483647},
                    WholeCase{"-2147483648", -2147483647 - 1},
                    WholeCase{"-99999999999999999999999", -2147483647 - 1},
                    WholeCase{"99999999999999999999999", 2147483647}, WholeCase{"1e5", 1}));

TEST(CopyText, ZeroFillsAndCutsAtACharacterBoundary) {
    char field[8];
    std::memset(field, 'x', sizeof field);
    copyText(field, "AB");
    EXPECT_EQ(std::memcmp(field, "AB\0\0\0\0\0\0", 8), 0);

    copyText(field, "1234567");  // exactly fills, NUL in the last byte
    EXPECT_EQ(std::memcmp(field, "1234567\0", 8), 0);

    copyText(field, "123456789");
    EXPECT_EQ(std::memcmp(field, "1234567\0", 8), 0);

    // Four GBK characters are 8 bytes: only three fit before the NUL, and the fourth's lead
    // byte is not left behind.
    copyText(field, "\xB4\xF3\xB7\xE7\xC4\xEA\xC6\xBD");
    EXPECT_EQ(std::memcmp(field, "\xB4\xF3\xB7\xE7\xC4\xEA\0\0", 8), 0);
    copyText(field, "A\xB4\xF3\xB7\xE7\xC4\xEA\xC6\xBD");
    EXPECT_EQ(std::memcmp(field, "A\xB4\xF3\xB7\xE7\xC4\xEA\0", 8), 0);
    // A text that fits is copied as it is, a lone lead byte at its end included.
    copyText(field, "ABCDEF\xB4");
    EXPECT_EQ(std::memcmp(field, "ABCDEF\xB4\0", 8), 0);
    copyText(field, "");
    EXPECT_EQ(std::memcmp(field, "\0\0\0\0\0\0\0\0", 8), 0);
}

}  // namespace
