// A small fixed-point multi-precision arithmetic for the slow path of the correctly rounded math
// (trigonometric.cpp, exponential.cpp): numbers of n 64-bit limbs, the top limb the integer part
// (two's complement), the others 64(n-1) fraction bits. Every operation truncates: its result is
// within one unit of the last fraction bit (an "ulp", 2^-64(n-1)) of the exact one, unless said
// otherwise. Callers keep values within the integer part's range (|value| < 2^63).
#pragma once

#include <cstdint>
#include <optional>

namespace korvane::mp {

inline constexpr int kMaxLimbs = 16;

// Products of two limbs (GCC's 128-bit integers, on both toolchains).
__extension__ typedef unsigned __int128 u128;

struct Fixed {
  int n = 0;                        // limbs in use
  std::uint64_t w[kMaxLimbs] = {};  // least significant first; w[n - 1] is the integer part
};

Fixed zero(int n) noexcept;
// The exact value of x truncated to the fraction bits (error below one ulp). |x| < 2^63.
Fixed from_double(double x, int n) noexcept;
// An integer part and fraction limbs given most significant first (as the tables store them).
Fixed from_limbs(std::uint64_t integer, const std::uint64_t* fraction, int n) noexcept;

bool is_negative(const Fixed& a) noexcept;
bool is_zero(const Fixed& a) noexcept;
Fixed negate(const Fixed& a) noexcept;               // exact
Fixed abs(const Fixed& a) noexcept;                  // exact
Fixed add(const Fixed& a, const Fixed& b) noexcept;  // exact
Fixed sub(const Fixed& a, const Fixed& b) noexcept;  // exact
Fixed mul(const Fixed& a, const Fixed& b) noexcept;
Fixed mul_int(const Fixed& a, std::int64_t k) noexcept;  // exact
Fixed div_int(const Fixed& a, std::uint64_t k) noexcept;
Fixed div(const Fixed& a, const Fixed& b) noexcept;    // b != 0
Fixed shift_right(const Fixed& a, int bits) noexcept;  // 0 <= bits < 64(n-1)
Fixed shift_left(const Fixed& a, int bits) noexcept;   // exact while the result fits
// |a| < 2^-bits (bits within the fraction).
bool magnitude_below(const Fixed& a, int bits) noexcept;
// A double near the value (within a few units of its last bit); for estimates and error bounds.
double approximate(const Fixed& a) noexcept;
// The integer part (the top limb, as signed).
std::int64_t integer_part(const Fixed& a) noexcept;

// The correctly rounded double (to nearest, ties to even; subnormals on the 2^-1074 grid,
// overflow to an infinity) of the exact value a * 2^scale.
double round_scaled(const Fixed& a, int scale) noexcept;

// Rounds value ± error (error >= 0, in ulps of the fraction given as a double) times 2^scale.
// When both ends round to the same double, that double is the correctly rounded value of any
// number between them. When they do not and `tie_break` is set, the value is taken to be the
// exact midpoint between the two (adjacent) candidates and rounded to even.
std::optional<double> round_interval(const Fixed& value, double error_ulps, int scale,
                                     bool tie_break) noexcept;

// Bits [first, first + 64 * limbs) of the binary fraction given most significant limb first
// (bit 1 is the first bit after the point), as a number with `limbs` limbs, least significant
// first. Bits past the end of the table read as zero.
void fraction_window(const std::uint64_t* fraction, int fraction_limbs, int first,
                     std::uint64_t* out, int limbs) noexcept;

}  // namespace korvane::mp
