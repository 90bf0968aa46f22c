// A double as "%lf" writes it (fixed notation, six decimals), without printf: the search's account
// prints a dozen stresses a call, and printf or std::to_chars cost more than the solves behind
// them.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace varnel {

// The most characters sixDecimals writes: "%lf" of the most negative double has a sign, 309
// digits, the point and six decimals.
constexpr std::size_t kSixDecimalsBound = 320;

// Writes `value` at `out` (room for kSixDecimalsBound characters) as "%lf" would, and returns the
// end. The digits are those of the exact binary value rounded to the sixth decimal, halfway cases
// to even, as the C libraries' printf and std::to_chars give them; a negative value that rounds
// to zero keeps its sign ("-0.000000"). Infinities and NaNs are left to printf, whose spelling of
// them differs between C libraries.
inline char* sixDecimals(double value, char* out) noexcept {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
    if (biased == 0x7FF) {
        const int n = std::snprintf(out, kSixDecimalsBound, "%lf", value);
        return n > 0 ? out + n : out;
    }
    // Below 2^33 the value times 10^6 has at most 53 bits before the point: the fast path. Larger
    // values, never a stress, go to std::to_chars, which is exact as well.
    if (biased >= 1023 + 33) {
        return std::to_chars(out, out + kSixDecimalsBound, value, std::chars_format::fixed, 6).ptr;
    }
    // value = ±m·2^e exactly, and value·10^6 = ±m·15625·2^(e + 6): the product p = m·15625,
    // below 2^67, in two words, shifted right by s = −(e + 6) ≥ 14 with the bits shifted out
    // deciding the rounding.
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t m = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
    const int s = 1075 - (biased == 0 ? 1 : biased) - 6;
    const std::uint64_t low32 = (m & 0xFFFFFFFF) * 15625;  // below 2^46
    const std::uint64_t high32 = (m >> 32) * 15625;        // below 2^35
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
    lo = n % 1000000;  // the decimals
    n /= 1000000;      // the units
    char* p = out;
    if (bits >> 63) *p++ = '-';
    p = std::to_chars(p, p + 20, n).ptr;
    *p++ = '.';
    // Two digits at a time.
    constexpr char kPairs[] =
        "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243"
        "4445464748495051525354555657585960616263646566676869707172737475767778798081828384858687"
        "888990919293949596979899";
    const std::uint64_t pairs[3] = {lo / 10000, lo / 100 % 100, lo % 100};
    for (std::uint64_t pair : pairs) {
        std::memcpy(p, kPairs + 2 * pair, 2);
        p += 2;
    }
    return p;
}

}  // namespace varnel
