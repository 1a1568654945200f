// A small fixed-point multi-precision arithmetic for the slow path of the correctly rounded math
// (trigonometric.cpp, exponential.cpp): numbers of n 64-bit limbs, the top limb the integer part
// (two's complement), the others 64(n-1) fraction bits. Every operation truncates: its result is
// within one unit of the last fraction bit (an "ulp", 2^-64(n-1)) of the exact one, unless said
// otherwise. Callers keep values within the integer part's range (|value| < 2^63).
#pragma once

#include <cstddef>
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
Fixed div(const Fixed& a, const Fixed& b) noexcept;    // b != 0, |a / b| < 2^63
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

// Rounds value ± error (error >= 0, any finite number of ulps of the fraction) times 2^scale.
// When both ends round to the same double, that double is the correctly rounded value of any
// number between them; otherwise there is no answer at this precision.
std::optional<double> round_interval(const Fixed& value, double error_ulps, int scale) noexcept;

// The precisions of the slow paths, in limbs: 192, 384 and 768 fraction bits.
inline constexpr int kPrecisions[] = {4, 7, 13};

// A value times 2^scale, within `error` ulps of an exact result.
struct Approximation {
  Fixed value;
  double error;
  int scale;
};

// Ziv's loop: evaluates at each precision until the rounding test decides, and answers the
// correctly rounded double. The callers answer their exact cases before the loop, and the
// hardest known inputs of their functions are decided at the first precision; an interval that
// even the last one leaves undecided (a value closer to a rounding boundary than that
// precision's error, hundreds of bits beyond any known input) is answered by rounding its
// centre.
template <typename Evaluate>
double correctly_rounded(Evaluate&& evaluate) noexcept {
  constexpr std::size_t kLevels = sizeof kPrecisions / sizeof kPrecisions[0];
  for (std::size_t level = 0; level + 1 < kLevels; ++level) {
    const Approximation a = evaluate(kPrecisions[level]);
    if (const std::optional<double> rounded = round_interval(a.value, a.error, a.scale)) {
      return *rounded;
    }
  }
  const Approximation a = evaluate(kPrecisions[kLevels - 1]);
  return round_interval(a.value, a.error, a.scale).value_or(round_scaled(a.value, a.scale));
}

// Bits from .. from + 63 of a number given as n limbs, least significant first, as one word;
// bits outside the limbs (below 0 included) read as zero. Inline: the fast path's reduction
// takes its words this way.
inline std::uint64_t bits_from(const std::uint64_t* w, int n, int from) noexcept {
  const int limb = from >= 0 ? from / 64 : -((63 - from) / 64);  // rounded down
  const int offset = from - 64 * limb;                           // 0 to 63
  const auto at = [&](int i) { return i >= 0 && i < n ? w[i] : std::uint64_t{0}; };
  std::uint64_t word = at(limb) >> offset;
  if (offset != 0) {
    word |= at(limb + 1) << (64 - offset);
  }
  return word;
}

// Bits first .. first + 63 of a binary fraction given most significant limb first (bit 1 is the
// first after the point), as one word whose top bit is bit `first`. Bits before the point and
// past the end of the table read as zero.
inline std::uint64_t fraction_word(const std::uint64_t* fraction, int fraction_limbs,
                                   int first) noexcept {
  const int start = first - 1;  // 0-based index of the word's top bit
  const int limb = start >= 0 ? start / 64 : -((63 - start) / 64);  // rounded down
  const int offset = start - 64 * limb;                             // 0 to 63
  const auto at = [&](int i) {
    return i >= 0 && i < fraction_limbs ? fraction[i] : std::uint64_t{0};
  };
  std::uint64_t word = at(limb) << offset;
  if (offset != 0) {
    word |= at(limb + 1) >> (64 - offset);
  }
  return word;
}

// Bits [first, first + 64 * limbs) of the fraction as a number with `limbs` limbs, least
// significant first.
void fraction_window(const std::uint64_t* fraction, int fraction_limbs, int first,
                     std::uint64_t* out, int limbs) noexcept;

}  // namespace korvane::mp
