// Correctly rounded sin, cos, tan, exp and pow, and the exact floor, ceil, trunc, round and
// remainder.
//
// The platform's math library is declined on purpose: Windows' C runtime gives plainly wrong
// digits (sin of huge angles, pow of large results, round of 0.49999999999999994), and no two
// platforms' libraries agree in every last digit. The one answer every platform can give is the
// correctly rounded one, so it is computed here with nothing but exact integer arithmetic and
// IEEE double operations (+, -, *, /, each correctly rounded on every x86-64 compiler; the
// build turns off contraction into fused multiply-adds).
//
// Each function has a fast path: an evaluation that carries double-doubles only where a term
// needs more than 53 bits (the reduced argument, its square, the table's values) and the
// higher-order terms in plain doubles, with a proven bound on its error (2^-74 relative for
// exp, about 2^-77 for sin and cos of ordinary angles), then a rounding test: when the
// approximation minus and plus the bound round to the same double, that double is the correctly
// rounded value. Otherwise the slow path evaluates the function in the fixed-point arithmetic
// of multiprecision.hpp at 192, 384 and 768 fraction bits (Ziv's strategy), each time with a
// proven error bound. That happens for huge angles and rarely otherwise: on a seeded sweep of
// 2,000,000 inputs a function over all magnitudes the rounding test failed twice for exp, once
// each for pow, sin and tan, never for cos (about once in 2^20 to 2^21 inputs). An input that even
// 768 bits cannot decide is an exact midpoint between two doubles (pow's exact cases such as 10^23;
// no transcendental value comes that close to one): it is rounded to even.
#include "numeric/correctly_rounded.hpp"

#include <bit>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <optional>

#include "numeric/math_tables.hpp"
#include "numeric/multiprecision.hpp"

namespace korvane::cr {
namespace {

using tables::DoubleDouble;
using DD = DoubleDouble;

// ---------------------------------------------------------------------------------------------
// Doubles as bits.

std::uint64_t bits_of(double x) noexcept { return std::bit_cast<std::uint64_t>(x); }
double from_bits(std::uint64_t b) noexcept { return std::bit_cast<double>(b); }
double magnitude(double x) noexcept { return from_bits(bits_of(x) & ~(std::uint64_t{1} << 63)); }
bool is_nan(double x) noexcept { return bits_of(magnitude(x)) > 0x7FF0000000000000ULL; }
bool is_inf(double x) noexcept { return bits_of(magnitude(x)) == bits_of(HUGE_VAL); }
bool sign_bit(double x) noexcept { return (bits_of(x) >> 63) != 0; }
double with_sign(double x, bool negative) noexcept {
  return negative ? -magnitude(x) : magnitude(x);
}
// 2^e for -1022 <= e <= 1023.
double power_of_two(int e) noexcept {
  return from_bits(static_cast<std::uint64_t>(e + 1023) << 52);
}

// A finite double's magnitude as mantissa * 2^exponent, the mantissa an integer below 2^53
// (subnormals included).
struct Decomposed {
  std::uint64_t mantissa;
  int exponent;
};
Decomposed decompose(double x) noexcept {
  const std::uint64_t b = bits_of(x);
  const int biased = static_cast<int>((b >> 52) & 0x7FF);
  const std::uint64_t fraction = b & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0) {
    return {fraction, -1074};
  }
  return {fraction | (std::uint64_t{1} << 52), biased - 1075};
}

// Rounds to the nearest integer (ties to even) for |x| < 2^51.
double nearest_integer(double x) noexcept { return (x + 0x1.8p52) - 0x1.8p52; }

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
DD neg(DD a) noexcept { return {-a.hi, -a.lo}; }
// The error of a sum is within a few units of 2^-106 of |a| + |b|; every sum below either has
// no cancellation or has its bound stated in terms of the summands' magnitudes.
[[gnu::always_inline]] inline DD add(DD a, DD b) noexcept {
  DD s = two_sum(a.hi, b.hi);
  s.lo += a.lo + b.lo;
  return fast_two_sum(s.hi, s.lo);
}
DD add(DD a, double b) noexcept { return add(a, DD{b, 0.0}); }
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
std::optional<double> decide(DD y, double error) noexcept {
  const double e = error + 0x1p-50 * (magnitude(y.lo) + error);
  const double low = y.hi + (y.lo - e);
  const double high = y.hi + (y.lo + e);
  if (low == high) {
    return low;
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------------------------
// Fast paths.

// e^z for a double-double z with |z.hi| <= 708 and an absolute error of z up to z_error.
// exp(z) = 2^m * 2^(j/64) * e^r, k = 64 m + j the integer nearest z 64/ln2, r = z - k ln2/64.
//
// Only the terms that need more than a double's 53 bits are carried as double-doubles: r, r^2
// (exact by two_prod) and the final product with the table. The terms from r^3/6 on lie below
// 2^-25 and are evaluated in plain doubles.
//
// Error bound (|k| < 2^16, |r| < ln2/128 + 2^-28 < 2^-7.5, 2^(j/64) = t within 2^-106):
// - r: kd * piece 0 is exact (16 + 36 bits) and z.hi minus it is exact (Sterbenz); kd * piece 1
//   (below 2^-29) and kd * piece 2 are rounded once each, the tail sum twice: r is within 2^-80
//   of z - k ln2/64 plus z's own error.
// - e^r - 1 = u + lo: u = rh + rh^2/2 exactly; lo holds q (r^3/3! .. r^8/8!, |q| < 2^-25.07,
//   within 2^-50.8 relative: rh^3 two roundings, the Horner sum 2^-52.4 relative, the product
//   one), the rl terms (r rl, r^2 rl / 2; the dropped rl^2 and r^3 rl / 6 terms below 2^-85),
//   the truncation after r^8 (below 2^-85.9) and lo's last rounding (below 2^-78): in all
//   within 2^-75.4 of e^r - 1.
// - y = t (1 + u + lo): t.hi + t.hi u exact as three doubles; t.hi lo rounded (2^-78), the
//   dropped t.lo lo (2^-78), the last sum (2^-78), the sum of the small parts (2^-104).
// Relative to y >= 0.994 t.hi: at most 2^-75.4 / 0.994 + 3 2^-78 / 0.994 < 2^-74.7. The test
// uses 2^-74.
std::optional<double> exp_fast(DD z, double z_error) noexcept {
  using tables::kInverseFactorial;
  using tables::kLn2Over64Pieces;
  const double kd = nearest_integer(z.hi * tables::k64OverLn2);
  const int k = static_cast<int>(kd);
  const double head = z.hi - kd * kLn2Over64Pieces[0];
  const double tail = (z.lo - kd * kLn2Over64Pieces[1]) - kd * kLn2Over64Pieces[2];
  const DD r = two_sum(head, tail);
  const double rh = r.hi;
  const double rl = r.lo;
  const DD square = two_prod(rh, rh);
  const double half_square = 0.5 * square.hi;
  double poly = kInverseFactorial[8].hi;
  poly = kInverseFactorial[7].hi + rh * poly;
  poly = kInverseFactorial[6].hi + rh * poly;
  poly = kInverseFactorial[5].hi + rh * poly;
  poly = kInverseFactorial[4].hi + rh * poly;
  poly = kInverseFactorial[3].hi + rh * poly;
  const double q = (square.hi * rh) * poly;
  const DD u = fast_two_sum(rh, half_square);  // |rh| > rh^2 / 2
  const double lo = q + (((0.5 * square.lo + rh * rl) + (half_square * rl + rl)) + u.lo);
  const DD t = tables::kExp2Table[k & 63];
  const DD p = two_prod(t.hi, u.hi);
  const DD y0 = fast_two_sum(t.hi, p.hi);  // |t.hi u| < t.hi / 128
  const double small = (y0.lo + p.lo) + (t.lo + t.lo * u.hi);
  const DD y = fast_two_sum(y0.hi, t.hi * lo + small);
  const double error = magnitude(y.hi) * (0x1p-74 + z_error * 1.001);
  const std::optional<double> rounded = decide(y, error);
  if (!rounded) {
    return std::nullopt;
  }
  return *rounded * power_of_two(k >> 6);  // a normal result: scaling is exact
}

// x = m * 2^e for a finite x > 0, with m within [sqrt(1/2), sqrt(2)], exactly: the split both
// logarithms (the fast one and the multi-precision one) start from.
struct LogSplit {
  double m;
  int e;
};
LogSplit split_for_log(double x) noexcept {
  int e = 0;
  if (x < 0x1p-1022) {  // subnormal: scale into the normal range first
    x *= 0x1p54;
    e = -54;
  }
  const std::uint64_t b = bits_of(x);
  e += static_cast<int>(b >> 52) - 1023;
  double m = from_bits((b & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1023} << 52));
  if (m > 0x1.6a09e667f3bcdp0) {
    m *= 0.5;
    ++e;
  }
  return {m, e};
}

// log(x) for a finite x > 0, with an absolute error bound.
//
// x = 2^e m, m in [sqrt(1/2), sqrt(2)]; c from the table near 1/m (a multiple of 2^-12), so that
// r = m c - 1 is exact as a double-double (two_prod, then p - 1 exact by Sterbenz) and
// |r| < 2^-7.4. log x = e ln2 - log c + log(1 + r), with
// log(1 + r) = r - r^2/2 + r^3/3 + r^4 (-1/4 + r/5 - ... - r^6/10):
// r^2 exact by two_prod, r^3/3 as a double-double (within 2^-100 relative), the rest in plain
// doubles. That rest is below r^4/3.9; its error (six roundings: 2^-52.4 r^4), the dropped
// r^3 rl term (2^-53 r^4), the truncation after r^10 (r^11/11 < 2^-55.2 r^4) and the last
// rounding of the low part (2^-55 r^4 + 2^-105 |r|) stay below 2^-50.5 r^4 + 2^-104 |r|. The
// sums with e ln2 (three pieces) and -log c (a double-double within 2^-106) add a few units
// of 2^-104 of the largest term: 2^-97 of the sum of the terms' magnitudes covers them.
struct LogResult {
  DD value;
  double error;
};
LogResult log_fast(double x) noexcept {
  using tables::kInverse;
  const auto [m, e] = split_for_log(x);
  const int i = static_cast<int>(nearest_integer((m - 1.0) * 128.0));
  const tables::LogEntry& entry = tables::kLogTable[i + 38];
  const DD p = two_prod(m, entry.c);
  const DD r = two_sum(p.hi - 1.0, p.lo);
  const double rh = r.hi;
  const double rl = r.lo;
  const DD square = two_prod(rh, rh);
  const DD cube0 = two_prod(square.hi, rh);
  const DD third = mul(DD{cube0.hi, cube0.lo + square.lo * rh}, kInverse[3]);
  double poly = -kInverse[10].hi;
  poly = kInverse[9].hi + rh * poly;
  poly = -kInverse[8].hi + rh * poly;
  poly = kInverse[7].hi + rh * poly;
  poly = -kInverse[6].hi + rh * poly;
  poly = kInverse[5].hi + rh * poly;
  poly = -kInverse[4].hi + rh * poly;
  const double rest = (square.hi * square.hi) * poly;
  const DD head = fast_two_sum(rh, -0.5 * square.hi);  // |rh| > rh^2 / 2
  const DD h = two_sum(head.hi, third.hi);
  // r's low part enters as rl (1 - r + r^2) to first order.
  const double low =
      rest + (((head.lo + h.lo) + third.lo) + ((rl - 0.5 * square.lo) + (square.hi - rh) * rl));
  const DD log1p = fast_two_sum(h.hi, low);
  // log x = e ln2 + (-log c + log(1 + r)); the first two are zero for x near 1.
  DD sum = log1p;
  if (i != 0) {
    sum = add(entry.minus_log, sum);
  }
  const double ed = static_cast<double>(e);
  if (e != 0) {
    DD e_ln2 = two_sum(ed * tables::kLn2Pieces[0], ed * tables::kLn2Pieces[2]);  // first exact
    e_ln2 = add(e_ln2, two_prod(ed, tables::kLn2Pieces[1]));
    sum = add(e_ln2, sum);
  }
  const double scale =
      magnitude(ed) * 0.7 + magnitude(entry.minus_log.hi) + magnitude(log1p.hi) + magnitude(sum.hi);
  const double r4 = square.hi * square.hi;
  return {sum, scale * 0x1p-97 + r4 * 0x1p-50};
}

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
// Up to here the fast path reduces with a four-piece pi/2 (k < 2^20).
constexpr double kModerateAngle = 1e6;

std::optional<double> trig_fast(double x, Trig which) noexcept {
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
  // Error of r: the pieces end 2^-176 * k away from pi/2, the additions 2^-104 |r|. sin and cos
  // change by at most r's error.
  const double r_error = magnitude(r.hi) * 0x1p-102 + 0x1p-150;
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
// Slow paths: fixed point with n limbs (64 (n - 1) fraction bits), Ziv's loop over n.

constexpr int kPrecisions[] = {4, 7, 13};

mp::Fixed ln2_fixed(int n) noexcept { return mp::from_limbs(0, tables::kLn2Fraction, n); }
mp::Fixed half_pi_fixed(int n) noexcept { return mp::from_limbs(1, tables::kHalfPiFraction, n); }

// e^z for fixed z (|z| < 800, error z_error ulps): returns the value in [0.7, 1.42] and the
// power of two k, value * 2^k = e^z, with the error in ulps.
struct Scaled {
  mp::Fixed value;
  double error;
  int scale;
};
Scaled exp_fixed(const mp::Fixed& z, double z_error) noexcept {
  const int n = z.n;
  const int k = static_cast<int>(std::nearbyint(mp::approximate(z) / 0.6931471805599453));
  // r = z - k ln2: ln2's error (1 ulp) times |k| <= 1200.
  mp::Fixed r = mp::sub(z, mp::mul_int(ln2_fixed(n), k));
  const double r_error = z_error + std::abs(k) + 1.0;
  // e^r = (e^(r / 2^8))^(2^8); the Taylor series of e^t for |t| < 2^-9.
  constexpr int kHalvings = 8;
  const mp::Fixed t = mp::shift_right(r, kHalvings);
  mp::Fixed one = mp::zero(n);
  one.w[n - 1] = 1;
  mp::Fixed sum = mp::add(one, t);
  mp::Fixed term = t;
  int terms = 1;
  for (std::uint64_t i = 2; !mp::magnitude_below(term, 64 * (n - 1)); ++i) {
    term = mp::div_int(mp::mul(term, t), i);
    sum = mp::add(sum, term);
    ++terms;
  }
  // Each term is within 2 ulps; then each squaring at most triples the error plus 1 ulp.
  double error = 2.0 * terms + 2.0 + r_error / 256.0 * 1.01;
  for (int i = 0; i < kHalvings; ++i) {
    sum = mp::mul(sum, sum);
    error = 3.0 * error + 1.0;
  }
  return {sum, error, k};
}

// log x for a finite x > 0: the fixed value and its error in ulps.
struct FixedError {
  mp::Fixed value;
  double error;
};
FixedError log_fixed(double x, int n) noexcept {
  const auto [m, e] = split_for_log(x);
  mp::Fixed one = mp::zero(n);
  one.w[n - 1] = 1;
  const mp::Fixed mf = mp::from_double(m, n);  // exact
  // log m = 2 atanh(s), s = (m - 1)/(m + 1), |s| <= 0.1716.
  const mp::Fixed s = mp::div(mp::sub(mf, one), mp::add(mf, one));
  const mp::Fixed w = mp::mul(s, s);
  mp::Fixed sum = s;
  mp::Fixed power = s;
  int terms = 1;
  for (std::uint64_t i = 3; !mp::magnitude_below(power, 64 * (n - 1)); i += 2) {
    power = mp::mul(power, w);
    sum = mp::add(sum, mp::div_int(power, i));
    ++terms;
  }
  mp::Fixed result = mp::add(mp::shift_left(sum, 1), mp::mul_int(ln2_fixed(n), e));
  return {result, 8.0 * terms + 8.0 + std::abs(e)};
}

double pow_slow(double x, double y) noexcept {  // x > 0 finite, x != 1, y finite, |y log x| < 800
  auto [my, ey] = decompose(y);
  // Trailing zeros out, so that |my * log x| stays below 2^63 when ey < 0.
  while ((my & 1U) == 0) {
    my >>= 1;
    ++ey;
  }
  for (std::size_t level = 0; level < std::size(kPrecisions); ++level) {
    const int n = kPrecisions[level];
    const FixedError log = log_fixed(x, n);
    // z = my * log * 2^ey.
    mp::Fixed z = mp::mul_int(log.value, static_cast<std::int64_t>(my));
    double z_error = log.error * static_cast<double>(my);
    if (ey > 0) {
      z = mp::shift_left(z, ey);
      z_error = z_error * std::ldexp(1.0, ey);
    } else if (ey < 0) {
      const int shift = -ey < 64 * (n - 1) ? -ey : 64 * (n - 1) - 1;
      z = -ey < 64 * (n - 1) ? mp::shift_right(z, shift) : mp::zero(n);
      z_error = z_error * std::ldexp(1.0, ey) + 1.0;
    }
    if (y < 0) {
      z = mp::negate(z);
    }
    const Scaled e = exp_fixed(z, z_error);
    const bool last = level + 1 == std::size(kPrecisions);
    if (const auto rounded = mp::round_interval(e.value, e.error, e.scale, last)) {
      return *rounded;
    }
  }
  return 0.0;  // not reached: the last level always answers
}

double exp_slow(double x) noexcept {  // |x| < 800
  for (std::size_t level = 0; level < std::size(kPrecisions); ++level) {
    const int n = kPrecisions[level];
    const Scaled e = exp_fixed(mp::from_double(x, n), 1.0);
    const bool last = level + 1 == std::size(kPrecisions);
    if (const auto rounded = mp::round_interval(e.value, e.error, e.scale, last)) {
      return *rounded;
    }
  }
  return 0.0;
}

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
  mp::fraction_window(tables::kTwoOverPiBits, 36, first, window, limbs);
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
  for (int k = 0; k < 64 * n; ++k) {
    const int j = k - offset;
    if (j >= 0 && j < 64 * (limbs + 1) && ((product[j / 64] >> (j % 64)) & 1U) != 0) {
      f.w[k / 64] |= std::uint64_t{1} << (k % 64);
    }
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

// sin r and cos r by their Taylor series, |r| <= 0.8, with errors in ulps.
void sincos_fixed(const mp::Fixed& r, mp::Fixed& sin_r, mp::Fixed& cos_r, double& error) noexcept {
  const int n = r.n;
  const mp::Fixed w = mp::mul(r, r);
  mp::Fixed one = mp::zero(n);
  one.w[n - 1] = 1;
  sin_r = r;
  cos_r = one;
  mp::Fixed term = r;  // r^i / i!
  mp::Fixed cos_term = one;
  int terms = 0;
  const int fraction = 64 * (n - 1);
  for (std::uint64_t i = 2;
       !mp::magnitude_below(term, fraction) || !mp::magnitude_below(cos_term, fraction); i += 2) {
    cos_term = mp::negate(mp::div_int(mp::div_int(mp::mul(cos_term, w), i - 1), i));
    term = mp::negate(mp::div_int(mp::div_int(mp::mul(term, w), i), i + 1));
    cos_r = mp::add(cos_r, cos_term);
    sin_r = mp::add(sin_r, term);
    ++terms;
  }
  error = 4.0 * terms + 4.0;
}

double trig_slow(double x, Trig which) noexcept {
  for (std::size_t level = 0; level < std::size(kPrecisions); ++level) {
    const int n = kPrecisions[level];
    const Reduced reduced = reduce_fixed(x, n);
    mp::Fixed s = mp::zero(n);
    mp::Fixed c = mp::zero(n);
    double series_error = 0.0;
    sincos_fixed(reduced.r, s, c, series_error);
    const double error = series_error + reduced.error * 1.01;
    mp::Fixed value = mp::zero(n);
    double value_error = error;
    if (which == Trig::tan) {
      const bool odd = (reduced.quadrant & 1) != 0;
      const mp::Fixed num = odd ? mp::negate(c) : s;
      const mp::Fixed den = odd ? s : c;
      value = mp::div(num, den);
      // |a/b - a'/b'| <= (ea + |a/b| eb) / (|b| - eb), in ulps.
      const double ulp = std::ldexp(1.0, -64 * (n - 1));
      const double den_magnitude = std::fabs(mp::approximate(den)) - 2.0 * error * ulp;
      if (!(den_magnitude > 0)) {
        continue;
      }
      const double quotient = std::fabs(mp::approximate(value)) + 1.0;
      value_error = (error + quotient * error) / den_magnitude * 1.01 + 2.0;
    } else {
      const int q = which == Trig::sin ? reduced.quadrant : (reduced.quadrant + 1) & 3;
      value = (q & 1) == 0 ? s : c;
      if ((q & 2) != 0) {
        value = mp::negate(value);
      }
    }
    const bool last = level + 1 == std::size(kPrecisions);
    if (const auto rounded = mp::round_interval(value, value_error, 0, last)) {
      return *rounded;
    }
  }
  return 0.0;
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
  if (magnitude(x) < kModerateAngle) {
    if (const auto fast = trig_fast(x, which)) {
      return *fast;
    }
  }
  return trig_slow(x, which);
}

bool is_integer(double y) noexcept { return trunc(y) == y; }
bool is_odd_integer(double y) noexcept {
  if (magnitude(y) >= 0x1p53 || !is_integer(y)) {
    return false;
  }
  return (static_cast<std::int64_t>(y) & 1) != 0;
}

// Overflow and underflow thresholds of e^z: above log(2^1024 - 2^970) the result rounds to an
// infinity; below log(2^-1075) to zero.
constexpr double kExpOverflow = 709.7827128933841;
constexpr double kExpUnderflow = -745.1332191019412;

}  // namespace

double created_nan() noexcept { return from_bits(0x7FF8000000000000ULL); }

double sin(double x) noexcept { return trig(x, Trig::sin); }
double cos(double x) noexcept { return trig(x, Trig::cos); }
double tan(double x) noexcept { return trig(x, Trig::tan); }

double exp(double x) noexcept {
  if (is_nan(x)) {
    return x;
  }
  if (x > 710.0) {
    return HUGE_VAL;
  }
  if (x < -746.0) {
    return 0.0;
  }
  if (magnitude(x) <= 708.0) {
    if (const auto fast = exp_fast(DD{x, 0.0}, 0.0)) {
      return *fast;
    }
  }
  return exp_slow(x);
}

double pow(double x, double y) noexcept {
  if (y == 0.0 || x == 1.0) {
    return 1.0;
  }
  if (is_nan(x)) {
    return x;
  }
  if (is_nan(y)) {
    return y;
  }
  const bool odd = is_odd_integer(y);
  const bool negative_result = sign_bit(x) && odd;
  if (x == 0.0) {
    const double result = y < 0 ? HUGE_VAL : 0.0;
    return with_sign(result, negative_result);
  }
  if (is_inf(y)) {
    if (x == -1.0) {
      return 1.0;
    }
    const bool big = magnitude(x) > 1.0;
    return (big == (y > 0)) ? HUGE_VAL : 0.0;
  }
  if (is_inf(x)) {
    return with_sign(y < 0 ? 0.0 : HUGE_VAL, negative_result);
  }
  if (x < 0 && !is_integer(y)) {
    return created_nan();
  }
  const double base = magnitude(x);
  if (base == 1.0) {
    return with_sign(1.0, negative_result);
  }
  // |y| >= 2^64: |y log x| > 2^10 (|log x| > 2^-53.1 for a double x != 1), past both
  // thresholds. This also keeps y within two_prod's reach (its split overflows past 2^995).
  if (magnitude(y) >= 0x1p64) {
    return (base > 1.0) == (y > 0) ? HUGE_VAL : 0.0;
  }
  const LogResult log = log_fast(base);
  const DD p = two_prod(y, log.value.hi);
  const DD z = fast_two_sum(p.hi, p.lo + y * log.value.lo);
  const double z_error = magnitude(y) * log.error + magnitude(z.hi) * 0x1p-100;
  double result = 0.0;
  if (z.hi - z_error > kExpOverflow * (1 + 0x1p-40)) {
    result = HUGE_VAL;
  } else if (z.hi + z_error < kExpUnderflow * (1 + 0x1p-40)) {
    result = 0.0;
  } else {
    std::optional<double> fast;
    if (magnitude(z.hi) <= 708.0) {
      fast = exp_fast(z, z_error);
    }
    result = fast ? *fast : pow_slow(base, y);
  }
  return with_sign(result, negative_result);
}

double trunc(double x) noexcept {
  const std::uint64_t b = bits_of(x);
  const int e = static_cast<int>((b >> 52) & 0x7FF) - 1023;
  if (e >= 52) {
    return x;  // an integer, an infinity or a NaN
  }
  if (e < 0) {
    return with_sign(0.0, sign_bit(x));
  }
  const std::uint64_t fraction_mask = (std::uint64_t{1} << (52 - e)) - 1;
  return from_bits(b & ~fraction_mask);
}

double floor(double x) noexcept {
  const double t = trunc(x);
  return (t != x && x < 0) ? t - 1.0 : t;
}

double ceil(double x) noexcept {
  const double t = trunc(x);
  return (t != x && x > 0) ? t + 1.0 : t;
}

double round(double x) noexcept {
  const double t = trunc(x);
  if (t == x || is_nan(x)) {
    return x;
  }
  // |x| - |t| is exact (both in [0, 2^52), t the integer part of x).
  return magnitude(x) - magnitude(t) >= 0.5 ? with_sign(magnitude(t) + 1.0, sign_bit(x)) : t;
}

namespace {

// The exact value a mod b for finite a >= 0, b > 0 (as C's fmod), by integer arithmetic.
double exact_fmod(double a, double b) noexcept {
  if (a < b) {
    return a;
  }
  const auto [ma, ea] = decompose(a);
  const auto [mb, eb] = decompose(b);
  std::uint64_t r = 0;
  int e = 0;
  if (ea >= eb) {
    // (ma 2^(ea - eb) mod mb) 2^eb, eleven bits at a time (mb < 2^53).
    r = ma % mb;
    for (int d = ea - eb; d > 0;) {
      const int step = d < 11 ? d : 11;
      r = (r << step) % mb;
      d -= step;
    }
    e = eb;
  } else {
    // a >= b forces mb 2^(eb - ea) <= ma < 2^53.
    r = ma % (mb << (eb - ea));
    e = ea;
  }
  // r 2^e is a double: r < 2^53 and e >= -1074.
  double result = static_cast<double>(r);
  if (e < -1000) {
    result *= 0x1p-1000;
    e += 1000;
  }
  return result * from_bits(static_cast<std::uint64_t>(e + 1023) << 52);
}

}  // namespace

double remainder(double x, double y) noexcept {
  if (is_nan(x)) {
    return x;
  }
  if (is_nan(y)) {
    return y;
  }
  if (is_inf(x) || y == 0.0) {
    return created_nan();
  }
  if (is_inf(y)) {
    return x;
  }
  const double p = magnitude(y);
  double a = magnitude(x);
  // a mod 2p (when 2p is finite), then at most two subtractions of p: all exact.
  if (p <= 0x1p1022) {
    a = exact_fmod(a, p + p);
  }
  if (a == p) {
    return with_sign(0.0, sign_bit(x));
  }
  if (p < 0x1p-1021) {
    if (a + a > p) {
      a -= p;
      if (a + a >= p) {
        a -= p;
      }
    }
  } else {
    const double half = 0.5 * p;
    if (a > half) {
      a -= p;
      if (a >= half) {
        a -= p;
      }
    }
  }
  return sign_bit(x) ? -a : a;
}

}  // namespace korvane::cr
