// Turning the texts of a table row into record fields. The conversions are the library's own, so
// a table gives the same record on every platform and in whatever locale the host has set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace varnel {

// The longest decimal prefix after leading white space (space, \t, \n, \v, \f, \r): optional
// sign, digits with an optional point, optional exponent; correctly rounded. 0 when there is no
// such prefix. "inf", "nan" and hexadecimal are not numbers here.
double parseReal(std::string_view text) noexcept;

// The integer prefix after leading white space and an optional sign, clamped to the int32 range.
std::int32_t parseWhole(std::string_view text) noexcept;

// Copies text into a zero-filled field of `size` bytes, NUL included. A text that does not fit
// is cut at a GBK character boundary, so no lead byte is left without its trail byte.
void copyText(char* field, std::size_t size, std::string_view text) noexcept;

template <std::size_t N>
void copyText(char (&field)[N], std::string_view text) noexcept {
    copyText(field, N, text);
}

}  // namespace varnel
