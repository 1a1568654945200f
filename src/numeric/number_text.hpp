// Numbers as text and text as numbers, the same on every platform and in every host locale.
#pragma once

#include <cstddef>
#include <string_view>

namespace korvane {

// Longest number text: a minus sign, 309 integer digits, the point and six decimals.
inline constexpr std::size_t kNumberTextMax = 1 + 309 + 1 + 6;

// Writes `value` as "%f" writes it in the "C" locale (six decimals, exact digits, ties to
// even; inf, -inf, nan, -nan) into `out`, which holds kNumberTextMax bytes. Returns the length.
std::size_t format_fixed6(double value, char* out) noexcept;

// Reads the longest prefix of `text` that the C strtod grammar accepts, in the "C" locale:
// leading white space, a sign, decimal or hexadecimal digits with a point and an exponent,
// inf, infinity, nan and nan(chars). Overflow gives an infinity, underflow a zero. A text with
// no such prefix reads as 0.
double read_number(std::string_view text) noexcept;

}  // namespace korvane
