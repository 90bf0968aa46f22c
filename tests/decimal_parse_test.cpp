// parseDecimal against the C++ library's own std::from_chars (libstdc++'s, natively and under
// mingw): the same value to the bit, the same end and the same error, on texts drawn to reach
// every branch of a decimal reader (long significands, halfway cases, overflow, underflow,
// subnormals, spelled-out infinities, stray characters).
#include "calc/decimal_parse.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

namespace {

struct Outcome {
    std::uint64_t bits;
    std::ptrdiff_t used;
    std::errc ec;
};

Outcome viaStandard(const std::string& text) {
    double value = -7.25;  // left as it is on an error
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return {bits, r.ptr - text.data(), r.ec};
}

Outcome viaParseDecimal(const std::string& text) {
    double value = -7.25;
    const auto r = varnel::parseDecimal(text.data(), text.data() + text.size(), value);
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return {bits, r.ptr - text.data(), r.ec};
}

void expectSame(const std::string& text) {
    const Outcome a = viaStandard(text);
    const Outcome b = viaParseDecimal(text);
    EXPECT_EQ(a.bits, b.bits) << '"' << text << '"';
    EXPECT_EQ(a.used, b.used) << '"' << text << '"';
    EXPECT_EQ(static_cast<int>(a.ec), static_cast<int>(b.ec)) << '"' << text << '"';
}

class ParseDecimal : public testing::TestWithParam<const char*> {};

TEST_P(ParseDecimal, MatchesFromChars) {
    expectSame(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseDecimal,
    testing::Values("0", "-0", "12.5", "12.5abc", ".5", "5.", "-.5", ".", "-", "", "+1", " 1", "1e",
                    "1e+", "1e-x", "1E5", "0x1A", "inf", "-inf", "INF", "infinity", "-Infinity",
                    "infinit", "nan", "-nan", "NaN(123)", "1e400", "-1e400", "1e-400", "-1e-400",
                    "0e999999", "0.0e-999", "000000000000000000001e-400", "1.7976931348623157e308",
                    "1.7976931348623158e308", "1.7976931348623159e308", "2.2250738585072011e-308",
                    "4.9406564584124654e-324", "2.4703282292062328e-324", "2.4703282292062327e-324",
                    "2e-324", "1e-310", "9007199254740993",
                    "9007199254740992.5000000000000000000001",
                    "0.1000000000000000055511151231257827021181583404541015625",
                    "123456789012345678901234567890e-10", "19.3", "103.53715395"));

// Random texts from an alphabet weighted towards digits, with points, exponents and signs in
// odd places, and random decimals of every magnitude written out as digits.
TEST(ParseDecimal, RandomTextsMatchFromChars) {
    std::mt19937_64 random(20261208);
    const std::string alphabet = "0123456789012345678901234567890123456789..eE+-x";
    std::uniform_int_distribution<std::size_t> length(0, 30);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (int i = 0; i < 100000; ++i) {
        std::string text;
        for (std::size_t n = length(random); n > 0; --n) text += alphabet[pick(random)];
        expectSame(text);
    }
    std::uniform_int_distribution<int> digits(1, 40);
    std::uniform_int_distribution<int> exponent(-360, 330);
    std::uniform_int_distribution<int> digit(0, 9);
    for (int i = 0; i < 100000; ++i) {
        std::string text = random() % 2 ? "-" : "";
        for (int n = digits(random); n > 0; --n) text += static_cast<char>('0' + digit(random));
        if (random() % 2) text.insert(text.size() / 2 + (text[0] == '-' ? 1 : 0), ".");
        text += "e" + std::to_string(exponent(random));
        expectSame(text);
    }
}

}  // namespace
