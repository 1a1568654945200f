// The building blocks of the correctly rounded math (trigonometric.cpp, exponential.cpp,
// exact.cpp): doubles taken apart as bits, double-double arithmetic, and the fast paths'
// rounding test. Each operation is exact or carries the error its comment states.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>

#include "numeric/math_tables.hpp"

namespace korvane::cr {

using tables::DoubleDouble;
using DD = DoubleDouble;

// ---------------------------------------------------------------------------------------------
// Doubles as bits.

inline std::uint64_t bits_of(double x) noexcept { return std::bit_cast<std::uint64_t>(x); }
inline double from_bits(std::uint64_t b) noexcept { return std::bit_cast<double>(b); }
inline double magnitude(double x) noexcept {
  return from_bits(bits_of(x) & ~(std::uint64_t{1} << 63));
}
inline bool is_nan(double x) noexcept { return bits_of(magnitude(x)) > 0x7FF0000000000000ULL; }
inline bool is_inf(double x) noexcept { return bits_of(magnitude(x)) == bits_of(HUGE_VAL); }
inline bool sign_bit(double x) noexcept { return (bits_of(x) >> 63) != 0; }
inline double with_sign(double x, bool negative) noexcept {
  return negative ? -magnitude(x) : magnitude(x);
}
// 2^e for -1022 <= e <= 1023.
inline double power_of_two(int e) noexcept {
  return from_bits(static_cast<std::uint64_t>(e + 1023) << 52);
}

// A finite double's magnitude as mantissa * 2^exponent, the mantissa an integer below 2^53
// (subnormals included).
struct Decomposed {
  std::uint64_t mantissa;
  int exponent;
};
inline Decomposed decompose(double x) noexcept {
  const std::uint64_t b = bits_of(x);
  const int biased = static_cast<int>((b >> 52) & 0x7FF);
  const std::uint64_t fraction = b & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0) {
    return {fraction, -1074};
  }
  return {fraction | (std::uint64_t{1} << 52), biased - 1075};
}

// Rounds to the nearest integer (ties to even) for |x| < 2^51.
inline double nearest_integer(double x) noexcept { return (x + 0x1.8p52) - 0x1.8p52; }

// ---------------------------------------------------------------------------------------------
// Double-double arithmetic (Dekker, Knuth): every product and sum is exact or carries a relative
// error of a few units of 2^-106. Always inlined: as calls they cost more than their arithmetic.

[[gnu::always_inline]] inline DD two_sum(double a, double b) noexcept {
  const double s = a + b;
  const double bb = s - a;
  return {s, (a - (s - bb)) + (b - bb)};
}
[[gnu::always_inline]] inline DD fast_two_sum(double a, double b) noexcept {  // |a| >= |b|
  const double s = a + b;
  return {s, b - (s - a)};
}
[[gnu::always_inline]] inline DD split(double a) noexcept {
  const double c = 134217729.0 * a;
  const double hi = c - (c - a);
  return {hi, a - hi};
}
[[gnu::always_inline]] inline DD two_prod(double a, double b) noexcept {
  const double p = a * b;
  const DD x = split(a);
  const DD y = split(b);
  return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}
inline DD neg(DD a) noexcept { return {-a.hi, -a.lo}; }
// The error of a sum is within a few units of 2^-106 of |a| + |b|; every sum below either has
// no cancellation or has its bound stated in terms of the summands' magnitudes.
[[gnu::always_inline]] inline DD add(DD a, DD b) noexcept {
  DD s = two_sum(a.hi, b.hi);
  s.lo += a.lo + b.lo;
  return fast_two_sum(s.hi, s.lo);
}
inline DD add(DD a, double b) noexcept { return add(a, DD{b, 0.0}); }
[[gnu::always_inline]] inline DD mul(DD a, DD b) noexcept {
  DD p = two_prod(a.hi, b.hi);
  p.lo += a.hi * b.lo + a.lo * b.hi;
  return fast_two_sum(p.hi, p.lo);
}
[[gnu::always_inline]] inline DD mul(DD a, double b) noexcept {
  DD p = two_prod(a.hi, b);
  p.lo += a.lo * b;
  return fast_two_sum(p.hi, p.lo);
}

// The rounding test: y approximates a value within `error` (absolute). Returns the correctly
// rounded double of the value when y - error and y + error round alike. hi + t is rounded
// correctly and is monotonic in t; the bound is widened so that rounding lo ± error cannot
// narrow the interval.
inline std::optional<double> decide(DD y, double error) noexcept {
  const double e = error + 0x1p-50 * (magnitude(y.lo) + error);
  const double low = y.hi + (y.lo - e);
  const double high = y.hi + (y.lo + e);
  if (low == high) {
    return low;
  }
  return std::nullopt;
}

}  // namespace korvane::cr
