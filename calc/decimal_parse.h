// Decimal text to double, correctly rounded, the same on every build: fast_float's from_chars
// (the C++ library of the WebAssembly toolchain has no floating-point from_chars), with the
// out-of-range report of the standard's from_chars.
#pragma once

#include <fast_float/fast_float.h>

#include <charconv>
#include <cmath>
#include <system_error>

namespace varnel {

// Reads a decimal number at [first, last) as std::from_chars(first, last, value) does with
// chars_format::general: an optional '-', digits with an optional point, an optional exponent,
// or inf, infinity, nan. A number whose magnitude overflows a double, or which rounds to zero
// although it has a nonzero digit, is result_out_of_range and leaves `value` as it was.
inline std::from_chars_result parseDecimal(const char* first, const char* last,
                                           double& value) noexcept {
    double parsed = 0.0;
    const auto result = fast_float::from_chars(first, last, parsed);
    if (result.ec != std::errc()) return {result.ptr, result.ec};
    const char* p = first;
    if (p != last && *p == '-') ++p;
    const bool spelledOut = p != last && (*p == 'i' || *p == 'I' || *p == 'n' || *p == 'N');
    if (!spelledOut) {
        if (std::isinf(parsed)) return {result.ptr, std::errc::result_out_of_range};
        if (parsed == 0.0) {
            // Zero is out of range only when the significand had a nonzero digit.
            for (; p != result.ptr && *p != 'e' && *p != 'E'; ++p) {
                if (*p >= '1' && *p <= '9') return {result.ptr, std::errc::result_out_of_range};
            }
        }
    }
    value = parsed;
    return {result.ptr, std::errc()};
}

}  // namespace varnel
