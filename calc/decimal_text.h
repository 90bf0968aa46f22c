// A double as "%.*f" writes it (fixed notation, up to six decimals), without printf: the search's
// account prints a dozen stresses a call ("%lf", six decimals), and a sag table twenty figures a
// span; printf, std::to_chars or fmt cost more than the solves behind them.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace varnel {

// The most characters fixedDecimals writes: "%lf" of the most negative double has a sign, 309
// digits, the point and six decimals.
constexpr std::size_t kSixDecimalsBound = 320;

namespace detail {

// "%.*f" of a finite |value| ≥ 2^33, exactly, with 0 to 6 decimals. Below 2^53 the value has
// at most 19 bits after the point, so its fraction times 10^6 fits a word; from 2^53 on it is a
// whole number m·2^k, written from a big integer of 32-bit words by divisions by 10^9.
inline char* largeFixedDecimals(double value, int decimals, char* out) noexcept {
    constexpr std::uint64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    char* p = out;
    if (bits >> 63) *p++ = '-';
    std::uint64_t units = 0;
    std::uint64_t fraction = 0;  // the decimals, as a whole number below 10^decimals
    if (biased < 1075) {
        const int s = 1075 - biased;  // 1 to 19 bits after the point
        const std::uint64_t mask = (std::uint64_t{1} << s) - 1;
        units = m >> s;
        const std::uint64_t scaled = (m & mask) * kPowersOfTen[decimals];  // below 2^39
        fraction = scaled >> s;
        const std::uint64_t rest = scaled & mask;
        const std::uint64_t half = std::uint64_t{1} << (s - 1);
        // Halfway goes to the even last digit: a decimal's, or with no decimals the units'.
        const std::uint64_t last = decimals == 0 ? units : fraction;
        if (rest > half || (rest == half && (last & 1) != 0)) ++fraction;
        if (fraction == kPowersOfTen[decimals]) {
            fraction = 0;
            ++units;
        }
        p = std::to_chars(p, p + 20, units).ptr;
    } else {
        // m·2^shift in little-endian 32-bit words: below 2^1024, so 32 words.
        std::uint32_t words[33] = {};
        const int shift = biased - 1075;
        const int word = shift / 32;
        const int bit = shift % 32;
        const std::uint64_t low = m << bit;  // m < 2^53 and bit < 32: the top bits spill over
        const std::uint64_t high = bit == 0 ? 0 : m >> (64 - bit);
        words[word] = static_cast<std::uint32_t>(low);
        words[word + 1] = static_cast<std::uint32_t>(low >> 32);
        words[word + 2] = static_cast<std::uint32_t>(high);
        int used = word + 3;
        // Groups of nine digits, the last first.
        std::uint32_t groups[36];
        int count = 0;
        while (used > 0) {
            std::uint64_t remainder = 0;
            for (int i = used - 1; i >= 0; --i) {
                const std::uint64_t current = (remainder << 32) | words[i];
                words[i] = static_cast<std::uint32_t>(current / 1000000000u);
                remainder = current % 1000000000u;
            }
            groups[count++] = static_cast<std::uint32_t>(remainder);
            while (used > 0 && words[used - 1] == 0) --used;
        }
        p = std::to_chars(p, p + 10, groups[--count]).ptr;
        while (count > 0) {
            std::uint32_t group = groups[--count];
            for (int i = 8; i >= 0; --i) {
                p[i] = static_cast<char>('0' + group % 10);
                group /= 10;
            }
            p += 9;
        }
    }
    if (decimals == 0) return p;
    *p++ = '.';
    for (int i = decimals - 1; i >= 0; --i) {
        p[i] = static_cast<char>('0' + fraction % 10);
        fraction /= 10;
    }
    return p + decimals;
}

}  // namespace detail

// Writes `value` at `out` (room for kSixDecimalsBound characters) as "%.*f" would with
// `Decimals` (0 to 6) decimals, and returns the end. The digits are those of the exact binary
// value rounded to the last decimal, halfway cases to even, as the C libraries' printf,
// std::to_chars and fmt give them; a negative value that rounds to zero keeps its sign
// ("-0.000000"). Infinities and NaNs are left to printf, whose spelling of them differs between
// C libraries. `Decimals` is a constant so that the divisions by 10^Decimals are multiplications.
template <int Decimals>
char* fixedDecimals(double value, char* out) noexcept {
    static_assert(Decimals >= 0 && Decimals <= 6);
    constexpr int decimals = Decimals;
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
    if (biased == 0x7FF) {
        const int n = std::snprintf(out, kSixDecimalsBound, "%.*f", decimals, value);
        return n > 0 ? out + n : out;
    }
    // Below 2^33 the value times 10^6 has at most 53 bits before the point: the fast path. Larger
    // values, never a stress or a sag, take the exact path of largeFixedDecimals.
    if (biased >= 1023 + 33) return detail::largeFixedDecimals(value, decimals, out);
    // value = ±m·2^e exactly, and value·10^d = ±m·5^d·2^(e + d): the product p = m·5^d, below
    // 2^67, in two words, shifted right by s = −(e + d) ≥ 14 with the bits shifted out deciding
    // the rounding.
    constexpr std::uint64_t kPowersOfFive[] = {1, 5, 25, 125, 625, 3125, 15625};
    constexpr std::uint64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
    constexpr auto d = static_cast<std::size_t>(decimals);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t m = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
    const int s = 1075 - (biased == 0 ? 1 : biased) - decimals;
    const std::uint64_t low32 = (m & 0xFFFFFFFF) * kPowersOfFive[d];  // below 2^46
    const std::uint64_t high32 = (m >> 32) * kPowersOfFive[d];        // below 2^35
    std::uint64_t lo = (high32 << 32) + low32;
    const std::uint64_t hi = (high32 >> 32) + (lo < low32 ? 1 : 0);
    std::uint64_t n = 0;
    if (s < 68) {  // otherwise p < 2^67 ≤ half a unit: rounds to 0
        // n = p >> s; the rest compared with half of 2^s.
        std::uint64_t restHi, restLo, halfHi, halfLo;
        if (s < 64) {
            n = (lo >> s) | (hi << (64 - s));
            restHi = 0;
            restLo = lo & ((std::uint64_t{1} << s) - 1);
            halfHi = 0;
            halfLo = std::uint64_t{1} << (s - 1);
        } else {
            n = hi >> (s - 64);
            restHi = hi & ((std::uint64_t{1} << (s - 64)) - 1);
            restLo = lo;
            halfHi = s == 64 ? 0 : std::uint64_t{1} << (s - 65);
            halfLo = s == 64 ? std::uint64_t{1} << 63 : 0;
        }
        const bool above = restHi > halfHi || (restHi == halfHi && restLo > halfLo);
        const bool halfway = restHi == halfHi && restLo == halfLo;
        if (above || (halfway && (n & 1) != 0)) ++n;
    }
    lo = n % kPowersOfTen[d];  // the decimals
    n /= kPowersOfTen[d];      // the units
    char* p = out;
    if (bits >> 63) *p++ = '-';
    p = std::to_chars(p, p + 20, n).ptr;
    if constexpr (d == 0) return p;
    *p++ = '.';
    // The decimals from the last, two digits at a time.
    constexpr char kPairs[] =
        "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243"
        "4445464748495051525354555657585960616263646566676869707172737475767778798081828384858687"
        "888990919293949596979899";
    char* digit = p + d;
    for (std::size_t left = d; left >= 2; left -= 2) {
        digit -= 2;
        std::memcpy(digit, kPairs + 2 * (lo % 100), 2);
        lo /= 100;
    }
    if (digit != p) *p = static_cast<char>('0' + lo);
    return p + d;
}

// "%lf": the account's numbers.
inline char* sixDecimals(double value, char* out) noexcept {
    return fixedDecimals<6>(value, out);
}

// The same for a count of decimals known only when running: 0 to 6.
inline char* fixedDecimals(double value, int decimals, char* out) noexcept {
    switch (decimals) {
        case 0:
            return fixedDecimals<0>(value, out);
        case 1:
            return fixedDecimals<1>(value, out);
        case 2:
            return fixedDecimals<2>(value, out);
        case 3:
            return fixedDecimals<3>(value, out);
        case 4:
            return fixedDecimals<4>(value, out);
        case 5:
            return fixedDecimals<5>(value, out);
        default:
            return fixedDecimals<6>(value, out);
    }
}

}  // namespace varnel
