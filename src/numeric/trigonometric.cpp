// Correctly rounded sin, cos and tan of a double angle in radians.
//
// The approach (the platform's math declined, a fast path with a rounding test, the slow path
// of multiprecision.hpp): correctly_rounded.hpp.

#include <bit>
#include <cstdint>
#include <iterator>
#include <optional>

#include "numeric/correctly_rounded.hpp"
#include "numeric/double_double.hpp"
#include "numeric/math_tables.hpp"
#include "numeric/multiprecision.hpp"

namespace korvane::cr {
namespace {

// The reduced angle r >= 0 (r <= pi/4 + tiny) split at the nearest j/256: r = j/256 + b,
// |b| <= 2^-9 (plus r's low part). sin b and cos b come as a few doubles: sin b = b + sin_rest,
// cos b = 1 + cos_head + cos_rest with cos_head = -b^2/2 exactly (two_prod); sin_rest (below
// 2^-29.5) and cos_rest (below 2^-40.5) are plain doubles.
struct SplitAngle {
  int j;
  double b;
  double sin_rest;
  double cos_head;
  double cos_rest;
  double b_cubed;  // |b|^3
  double b_fourth;
};
[[gnu::always_inline]] inline SplitAngle split_angle(DD r) noexcept {
  using tables::kInverseFactorial;
  const int j = static_cast<int>(nearest_integer(r.hi * 256.0));
  const DD b = two_sum(r.hi - static_cast<double>(j) * 0x1p-8, r.lo);  // first difference exact
  const DD square = two_prod(b.hi, b.hi);
  const double s = square.hi;
  // sin b = b - b^3/6 + b^5/120 - b^7/5040 (+ b^9/9! < 2^-99), and b's low part times cos b.
  const double sin_poly =
      -kInverseFactorial[3].hi + s * (kInverseFactorial[5].hi - s * kInverseFactorial[7].hi);
  const double cube = s * b.hi;
  const double sin_rest = cube * sin_poly + (b.lo - 0.5 * s * b.lo);
  // cos b = 1 - b^2/2 + b^4/24 - b^6/720 + b^8/40320 (+ b^10/10! < 2^-111), less b.lo sin b.
  const double cos_poly =
      kInverseFactorial[4].hi - s * (kInverseFactorial[6].hi - s * kInverseFactorial[8].hi);
  const double fourth = s * s;
  const double cos_rest = fourth * cos_poly + (-0.5 * square.lo - b.hi * b.lo);
  return {j, b.hi, sin_rest, -0.5 * s, cos_rest, magnitude(cube), fourth};
}

// a cos b + c sin b for table values a, c (|a|, |c| <= 1, double-doubles within 2^-106), with
// a bound on its absolute error. a + c b + a cos_head are exact as five doubles (two_prod,
// two_sum); the rest is one low double. The errors: sin_rest within 2^-50.8 relative of its
// b^3/6 (the Horner sum, b^3's two roundings, the product), its product with c and the two
// sums of the low part (2^-53 each), the dropped c.lo sin_rest: |c| |b|^3 2^-51.7 in all;
// cos_rest within 2^-55 b^4 and its product and sums: |a| b^4 2^-54; the table's and the
// small parts' roundings: (|a| + |c b|) 2^-100.
struct Bounded {
  DD value;
  double error;
};
[[gnu::always_inline]] inline Bounded rotate(const SplitAngle& t, DD a, DD c) noexcept {
  const DD p1 = two_prod(c.hi, t.b);
  const DD p2 = two_prod(a.hi, t.cos_head);
  const DD h1 = two_sum(a.hi, p1.hi);
  const DD h2 = two_sum(h1.hi, p2.hi);
  const double small =
      ((a.lo + p1.lo) + (c.lo * t.b + p2.lo)) + ((h1.lo + h2.lo) + a.lo * t.cos_head);
  const double low = (c.hi * t.sin_rest + a.hi * t.cos_rest) + small;
  const double ma = magnitude(a.hi);
  const double mc = magnitude(c.hi);
  const double error =
      (mc * t.b_cubed + ma * t.b_fourth) * 0x1p-51 + (ma + mc * magnitude(t.b)) * 0x1p-99;
  return {fast_two_sum(h2.hi, low), error};
}

enum class Trig { sin, cos, tan };

// Below this magnitude sin x and tan x round to x and cos x to 1: the terms x^3/6, x^3/3 and
// x^2/2 stay below a quarter of the last bit.
constexpr double kTinyAngle = 0x1p-30;
// Up to here the fast path reduces with a four-piece pi/2 (k < 2^20); from here on with the
// bits of 2/pi.
constexpr double kModerateAngle = 1e6;

// x = q pi/2 + r (mod 2 pi), |r| <= pi/4 + 2^-30, with a bound on r's absolute error.
struct ReducedAngle {
  int quadrant;  // q mod 4
  DD r;
  double error;
};

// Cody and Waite's reduction, for |x| < kModerateAngle.
ReducedAngle reduce_moderate(double x) noexcept {
  using tables::kHalfPiPieces;
  const double kd = nearest_integer(x * tables::kTwoOverPi);
  const int quadrant = static_cast<int>(static_cast<std::int64_t>(kd) & 3);
  // r = x - k pi/2: the first two products are exact (20 + 33 bits), the first difference is
  // exact (Sterbenz), the third product exact as a double-double. Angles within pi/4 need none.
  DD r{x, 0.0};
  if (kd != 0) {
    r = two_sum(x - kd * kHalfPiPieces[0], -kd * kHalfPiPieces[1]);
    r = add(r, neg(two_prod(kd, kHalfPiPieces[2])));
    r = add(r, -kd * kHalfPiPieces[3]);
  }
  // Error of r: the pieces end 2^-176 * k away from pi/2, the additions 2^-104 |r|.
  return {quadrant, r, magnitude(r.hi) * 0x1p-102 + 0x1p-150};
}

// Bits first .. first + 63 of the fraction of 2/pi as one word.
std::uint64_t two_over_pi_word(int first) noexcept {
  return mp::fraction_word(tables::kTwoOverPiBits,
                           static_cast<int>(std::size(tables::kTwoOverPiBits)), first);
}

// Payne and Hanek's reduction in integers, for any finite x (used from kModerateAngle on).
// With x = mx 2^ex (mx < 2^53), x 2/pi = mx sum_i b_i 2^(ex - i) over the bits b_i of 2/pi.
// The bits with i <= ex - 2 add multiples of 4, which change neither the quadrant nor r: the
// window W of bits ex - 1 .. ex + 190 gives mx W 2^-190, x 2/pi mod 4 within mx 2^-190 <
// 2^-137 (the bits past the window), its low 192 bits holding 2 integer and 190 fraction bits.
// The fraction's first 128 bits F (f = F 2^-128, within 2^-128 more; f - 1 for f >= 1/2, a half
// carried into the quadrant) are taken to 106 significant bits (within 2^-105 relative) and
// multiplied by pi/2 as a double-double (2^-104 relative, the constant within 2^-106): r is
// within 2^-102.5 |r| + 2^-127. Only an angle within 2^-64 of a multiple of pi/2 leaves no
// significant bit in F; none is a double (x = 6381956970095103 2^797 comes closest, 2^-60.9),
// and such an angle would go to the slow path.
std::optional<ReducedAngle> reduce_huge(double x) noexcept {
  const auto [mx, ex] = decompose(magnitude(x));
  const std::uint64_t window[3] = {two_over_pi_word(ex + 127), two_over_pi_word(ex + 63),
                                   two_over_pi_word(ex - 1)};
  // mx W mod 2^192.
  std::uint64_t v[3] = {};
  std::uint64_t carry = 0;
  for (int i = 0; i < 3; ++i) {
    const mp::u128 product = static_cast<mp::u128>(window[i]) * mx + carry;
    v[i] = static_cast<std::uint64_t>(product);
    carry = static_cast<std::uint64_t>(product >> 64);
  }
  int quadrant = static_cast<int>(v[2] >> 62);
  mp::u128 fraction =
      (static_cast<mp::u128>((v[2] << 2) | (v[1] >> 62)) << 64) | ((v[1] << 2) | (v[0] >> 62));
  const bool negative = (fraction >> 127) != 0;
  if (negative) {  // f >= 1/2: f - 1 in the next quadrant, its magnitude 2^128 - F
    fraction = -fraction;
    quadrant = (quadrant + 1) & 3;
  }
  const auto high = static_cast<std::uint64_t>(fraction >> 64);
  if (high == 0) {
    return std::nullopt;
  }
  // |f| = N 2^(-128 - shift), N = F 2^shift with its top bit set: its first 53 bits and the
  // next 53 as two doubles.
  const int shift = std::countl_zero(high);
  const mp::u128 normalized = fraction << shift;
  const auto top = static_cast<double>(static_cast<std::uint64_t>(normalized >> 75));
  const auto next = static_cast<double>(static_cast<std::uint64_t>(normalized >> 22) &
                                        ((std::uint64_t{1} << 53) - 1));
  const DD f = fast_two_sum(top * power_of_two(-53 - shift), next * power_of_two(-106 - shift));
  DD r = mul(f, tables::kHalfPi);
  if (negative != (x < 0)) {
    r = neg(r);
  }
  if (x < 0) {
    quadrant = (4 - quadrant) & 3;
  }
  return ReducedAngle{quadrant, r, magnitude(r.hi) * 0x1p-102 + 0x1p-127};
}

// sin, cos or tan of q pi/2 + r.
std::optional<double> trig_fast(const ReducedAngle& reduced, Trig which) noexcept {
  const DD r = reduced.r;
  const int quadrant = reduced.quadrant;
  // sin and cos change by at most r's error.
  const double r_error = reduced.error;
  const bool negative = r.hi < 0;
  const SplitAngle angle = split_angle(negative ? neg(r) : r);
  const tables::SinCosEntry& entry = tables::kSinCosTable[angle.j];
  // sin r = sin(j/256) cos b + cos(j/256) sin b; cos r = cos(j/256) cos b - sin(j/256) sin b.
  const auto sin_r = [&] {
    Bounded v = rotate(angle, entry.sin, entry.cos);
    if (negative) {
      v.value = neg(v.value);
    }
    return v;
  };
  const auto cos_r = [&] { return rotate(angle, entry.cos, neg(entry.sin)); };
  if (which == Trig::tan) {
    // tan(r + q pi/2) is sin r / cos r for even q, -cos r / sin r for odd q.
    const bool odd = (quadrant & 1) != 0;
    const Bounded s = sin_r();
    const Bounded c = cos_r();
    const DD num = odd ? neg(c.value) : s.value;
    const DD den = odd ? s.value : c.value;
    const double num_error = (odd ? c.error : s.error) + r_error;
    const double den_error = (odd ? s.error : c.error) + r_error;
    // Two steps of long division with one reciprocal: q1 within 2^-52 relative, the remainder
    // num - den q1 within 2^-104 |num|, the correction within 2^-52 of its 2^-51 |q|: the
    // quotient is within 2^-102 relative.
    const double inverse = 1.0 / den.hi;
    const double q1 = num.hi * inverse;
    const DD rest = add(num, neg(mul(den, q1)));
    const DD value = fast_two_sum(q1, rest.hi * inverse);
    // |n/d - n'/d'| <= (en + |n/d| ed) / (|d| - ed); ed is far below |d| 2^-60.
    const double error =
        (num_error + magnitude(q1) * 1.001 * den_error) * magnitude(inverse) * (1 + 0x1p-40) +
        magnitude(value.hi) * 0x1p-100;
    return decide(value, error);
  }
  // sin(r + q pi/2) for q = 0..3: sin r, cos r, -sin r, -cos r.
  const int q = which == Trig::sin ? quadrant : (quadrant + 1) & 3;
  Bounded v = (q & 1) == 0 ? sin_r() : cos_r();
  if ((q & 2) != 0) {
    v.value = neg(v.value);
  }
  return decide(v.value, v.error + r_error);
}

// ---------------------------------------------------------------------------------------------
// Slow path: fixed point with n limbs (64 (n - 1) fraction bits), Ziv's loop over n.

mp::Fixed half_pi_fixed(int n) noexcept { return mp::from_limbs(1, tables::kHalfPiFraction, n); }

// x * 2/pi reduced: the quadrant (mod 4) and the angle r = f pi/2, |f| <= 1/2, with the error
// of r in ulps.
struct Reduced {
  int quadrant;
  mp::Fixed r;
  double error;
};
Reduced reduce_fixed(double x, int n) noexcept {
  const auto [mx, ex] = decompose(x);
  // x 2/pi = mx sum_i b_i 2^(ex - i). Bits with ex - i >= 2 add multiples of 4: skip them.
  const int first = ex - 1 > 1 ? ex - 1 : 1;
  const int fraction = 64 * (n - 1);
  // Enough bits that the rest adds under a quarter ulp: through bit ex + fraction + 56.
  const int last = ex + fraction + 56;
  const int count = last - first + 1;
  const int limbs = (count + 63) / 64 + 1;
  std::uint64_t window[2 * mp::kMaxLimbs + 4] = {};
  mp::fraction_window(tables::kTwoOverPiBits, static_cast<int>(std::size(tables::kTwoOverPiBits)),
                      first, window, limbs);
  // The window is the integer W of bits first .. first + 64 limbs - 1; x 2/pi (mod 4) is
  // mx W 2^(ex - (first + 64 limbs - 1)). Multiply by mx, then take bits as a fixed number.
  std::uint64_t product[2 * mp::kMaxLimbs + 5] = {};
  std::uint64_t carry = 0;
  for (int i = 0; i < limbs; ++i) {
    const mp::u128 t = static_cast<mp::u128>(window[i]) * mx + carry;
    product[i] = static_cast<std::uint64_t>(t);
    carry = static_cast<std::uint64_t>(t >> 64);
  }
  product[limbs] = carry;
  // Bit j of the product has weight 2^(ex - first - 64 limbs + 1 + j); fixed bit k (0-based
  // from the fraction's bottom) has weight 2^(k - fraction).
  const int offset = ex - first - 64 * limbs + 1 + fraction;  // fixed bit = j + offset
  mp::Fixed f = mp::zero(n);
  for (int i = 0; i < n; ++i) {
    f.w[i] = mp::bits_from(product, limbs + 1, 64 * i - offset);
  }
  f.w[n - 1] &= 3U;  // integer part mod 4
  int quadrant = static_cast<int>(f.w[n - 1]);
  f.w[n - 1] = 0;
  if ((f.w[n - 2] >> 63) != 0) {  // fraction >= 1/2: f - 1, next quadrant
    f.w[n - 1] = ~std::uint64_t{0};
    quadrant = (quadrant + 1) & 3;
  }
  if (x < 0) {
    f = mp::negate(f);
    quadrant = (4 - quadrant) & 3;
  }
  const mp::Fixed r = mp::mul(f, half_pi_fixed(n));
  return {quadrant, r, 4.0};
}

// sin r (odd) or cos r by its Taylor series, |r| <= 0.8, w = r^2 within 1 ulp, with the error
// in ulps: each term is within a few ulps (a product and a division, and the previous term's
// error shrunk by |w| / (i (i + 1)) < 1/3), the sums are exact.
mp::Approximation taylor(const mp::Fixed& r, const mp::Fixed& w, bool odd) noexcept {
  const int n = r.n;
  mp::Fixed term = r;
  if (!odd) {
    term = mp::zero(n);
    term.w[n - 1] = 1;
  }
  mp::Fixed sum = term;
  int terms = 0;
  const int fraction = 64 * (n - 1);
  for (std::uint64_t i = 2; !mp::magnitude_below(term, fraction); i += 2) {
    term = mp::negate(mp::div_int(mp::mul(term, w), odd ? i * (i + 1) : (i - 1) * i));
    sum = mp::add(sum, term);
    ++terms;
  }
  return {sum, 4.0 * terms + 4.0, 0};
}

double trig_slow(double x, Trig which) noexcept {
  return mp::correctly_rounded([x, which](int n) {
    const Reduced reduced = reduce_fixed(x, n);
    const mp::Fixed w = mp::mul(reduced.r, reduced.r);
    // sin(r + q pi/2) for q = 0..3: sin r, cos r, -sin r, -cos r; cos is sin a quadrant on.
    const int q = which == Trig::cos ? (reduced.quadrant + 1) & 3 : reduced.quadrant;
    if (which != Trig::tan) {
      mp::Approximation value = taylor(reduced.r, w, (q & 1) == 0);
      value.error += reduced.error * 1.01;
      if ((q & 2) != 0) {
        value.value = mp::negate(value.value);
      }
      return value;
    }
    // tan(r + q pi/2) is sin r / cos r for even q, -cos r / sin r for odd q.
    const mp::Approximation s = taylor(reduced.r, w, true);
    const mp::Approximation c = taylor(reduced.r, w, false);
    const double error = (s.error > c.error ? s.error : c.error) + reduced.error * 1.01;
    const bool odd = (q & 1) != 0;
    const mp::Fixed num = odd ? mp::negate(c.value) : s.value;
    const mp::Fixed den = odd ? s.value : c.value;
    const mp::Fixed value = mp::div(num, den);
    // |a/b - a'/b'| <= (ea + |a/b| eb) / (|b| - eb), in ulps; the division adds one.
    const double ulp = power_of_two(-64 * (n - 1));
    const double den_magnitude = magnitude(mp::approximate(den)) - 2.0 * error * ulp;
    const double quotient = magnitude(mp::approximate(value)) + 1.0;
    const double value_error = den_magnitude > 0
                                   ? (error + quotient * error) / den_magnitude * 1.01 + 2.0
                                   : HUGE_VAL;  // no bound: the next precision
    return mp::Approximation{value, value_error, 0};
  });
}

double trig(double x, Trig which) noexcept {
  if (is_nan(x)) {
    return x;
  }
  if (is_inf(x)) {
    return created_nan();
  }
  if (magnitude(x) < kTinyAngle) {
    return which == Trig::cos ? 1.0 : x;
  }
  const std::optional<ReducedAngle> reduced =
      magnitude(x) < kModerateAngle ? reduce_moderate(x) : reduce_huge(x);
  if (reduced) {
    if (const std::optional<double> fast = trig_fast(*reduced, which)) {
      return *fast;
    }
  }
  return trig_slow(x, which);
}

}  // namespace

double sin(double x) noexcept { return trig(x, Trig::sin); }
double cos(double x) noexcept { return trig(x, Trig::cos); }
double tan(double x) noexcept { return trig(x, Trig::tan); }

}  // namespace korvane::cr
