#include "libraries/field_text.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

#include "calc/decimal_parse.h"

namespace varnel {

namespace {

// Space, or \t \n \v \f \r (0x09 to 0x0D).
inline bool isSpace(char c) {
    return c == ' ' || static_cast<unsigned char>(c - '\t') < 5;
}
inline bool isDigit(char c) {
    return static_cast<unsigned char>(c - '0') < 10;
}

std::size_t skipSpace(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) ++i;
    return i;
}

bool isLeadByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x81 && b <= 0xFE;
}

}  // namespace

// Exact powers of ten as doubles: 10^22 is the largest that a double holds exactly.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

double parseReal(std::string_view text) noexcept {
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p != end && isSpace(*p)) ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    const char* const start = p;

    // The digits, without leading zeros, gathered into an integer. It is exact while there are
    // at most 19 of them; beyond that it has wrapped and the slow path reads the text instead.
    std::uint64_t mantissa = 0;
    int significant = 0;
    int pointShift = 0;  // decimal places taken into the mantissa
    while (p != end && *p == '0') ++p;
    for (; p != end && isDigit(*p); ++p, ++significant) {
        mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    }
    const char* const intEnd = p;
    bool anyDigit = intEnd != start;
    if (p != end && *p == '.') {
        const char* const fracStart = ++p;
        if (significant == 0) {
            while (p != end && *p == '0') ++p;
        }
        for (; p != end && isDigit(*p); ++p, ++significant) {
            mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
        }
        pointShift = static_cast<int>(p - fracStart);
        anyDigit = anyDigit || p != fracStart;
    }
    if (!anyDigit) return 0.0;  // no digit: not a number

    // An exponent counts only when at least one digit follows its optional sign.
    long long exponent = 0;
    if (p != end && (*p == 'e' || *p == 'E')) {
        const char* e = p + 1;
        const bool expNegative = e != end && *e == '-';
        if (e != end && (*e == '+' || *e == '-')) ++e;
        const char* const expStart = e;
        for (; e != end && isDigit(*e); ++e) {
            exponent = std::min(exponent * 10 + (*e - '0'), 1000000000LL);
        }
        if (e != expStart) {
            p = e;
            if (expNegative) exponent = -exponent;
        } else {
            exponent = 0;
        }
    }

    // Fast path: an integer of at most 2^53 times or divided by an exact power of ten is one
    // correctly rounded operation.
    const long long scale = exponent - pointShift;
    if (significant <= 19 && mantissa <= (std::uint64_t{1} << 53) && scale >= -22 && scale <= 22) {
        const auto m = static_cast<double>(mantissa);
        const double value = scale >= 0 ? m * kPowersOfTen[scale] : m / kPowersOfTen[-scale];
        return negative ? -value : value;
    }

    double value = 0.0;
    const auto [ptr, ec] = parseDecimal(start, p, value);
    if (ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: infinity or zero, by the sign of the decimal
        // exponent of the leading digit (fraction-only mantissas are read as exponent 0).
        const long long magnitude = static_cast<long long>(intEnd - start) + exponent;
        value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (ec != std::errc() || ptr != p) {
        value = 0.0;
    }
    return negative ? -value : value;
}

std::int32_t parseWhole(std::string_view text) noexcept {
    std::size_t i = skipSpace(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Accumulate as a negative number: its range holds INT32_MIN.
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        value = value * 10 - (text[i] - '0');
        if (value < kMin) break;  // clamped below; further digits change nothing
    }
    if (negative) return static_cast<std::int32_t>(value < kMin ? kMin : value);
    const std::int64_t positive = -value;
    return static_cast<std::int32_t>(positive > kMax ? kMax : positive);
}

void copyText(char* field, std::size_t size, std::string_view text) noexcept {
    if (size == 0) return;
    const std::size_t room = size - 1;
    if (text.size() <= room) {  // it all fits: no character needs to be told from the next
        std::memcpy(field, text.data(), text.size());
        std::memset(field + text.size(), 0, size - text.size());
        return;
    }
    std::memset(field, 0, size);
    std::size_t n = 0;
    while (n < text.size()) {
        const std::size_t width = isLeadByte(text[n]) && n + 1 < text.size() ? 2 : 1;
        if (n + width > room) break;
        n += width;
    }
    std::memcpy(field, text.data(), n);
}

}  // namespace varnel
