// Correctly rounded exp and pow.
//
// The approach (the platform's math declined, a fast path with a rounding test, the slow path
// of multiprecision.hpp): correctly_rounded.hpp.

#include <cmath>
#include <cstdint>
#include <iterator>
#include <optional>

#include "numeric/correctly_rounded.hpp"
#include "numeric/double_double.hpp"
#include "numeric/math_tables.hpp"
#include "numeric/multiprecision.hpp"

namespace korvane::cr {
namespace {

// ---------------------------------------------------------------------------------------------
// Fast paths.

// e^z for a double-double z with |z.hi| < 746 and an absolute error of z up to z_error.
// exp(z) = 2^m * 2^(j/64) * e^r, k = 64 m + j the integer nearest z 64/ln2, r = z - k ln2/64.
//
// Only the terms that need more than a double's 53 bits are carried as double-doubles: r, r^2
// (exact by two_prod) and the final product with the table. The terms from r^3/6 on lie below
// 2^-25 and are evaluated in plain doubles.
//
// Error bound (|k| < 2^17, |r| < ln2/128 + 2^-28 < 2^-7.5, 2^(j/64) = t within 2^-106):
// - r: kd * piece 0 is exact (17 + 36 bits) and z.hi minus it is exact (Sterbenz); kd * piece 1
//   (below 2^-28) and kd * piece 2 are rounded once each, the tail sum twice: r is within
//   3 2^-81 of z - k ln2/64 plus z's own error, which moves e^r by 2^-79.4 relative.
// - e^r - 1 = u + lo: u = rh + rh^2/2 exactly; lo holds q (r^3/3! .. r^8/8!, |q| < 2^-25.07,
//   within 2^-50.8 relative: rh^3 two roundings, the Horner sum 2^-52.4 relative, the product
//   one), the rl terms (r rl, r^2 rl / 2; the dropped rl^2 and r^3 rl / 6 terms below 2^-85),
//   the truncation after r^8 (below 2^-85.9) and lo's last rounding (below 2^-78): in all
//   within 2^-75.4 of e^r - 1.
// - y = t (1 + u + lo): t.hi + t.hi u exact as three doubles; t.hi lo rounded (2^-78), the
//   dropped t.lo lo (2^-78), the last sum (2^-78), the sum of the small parts (2^-104).
// Relative to y >= 0.994 t.hi: at most (2^-75.4 + 3 2^-78) / 0.994 + 2^-79.4 < 2^-74.7. The
// test uses 2^-74.
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
  const int scale = k >> 6;  // floor(k / 64)
  if (scale > -1022) {
    // A normal result (y >= 0.7), or an overflow: y rounds to the same digits at every scale,
    // and the scaling in two exact steps gives the result, or an infinity past the largest
    // double as rounding to nearest does.
    const std::optional<double> rounded = decide(y, error);
    if (!rounded) {
      return std::nullopt;
    }
    return *rounded * power_of_two(scale / 2) * power_of_two(scale - scale / 2);
  }
  // Below 2^-1021 the result lies on the grid of 2^-1074: round T = y 2^(scale + 1074) (exact
  // scaling, T < 2^53) to an integer. Below 2^52, T + 2^52 has the integer grid as its doubles'
  // grid; from 2^52 on, T itself has. Within a few units of 2^52 the slow path decides.
  const double to_grid = power_of_two(scale + 1074);
  const DD grid{y.hi * to_grid, y.lo * to_grid};
  const double grid_error = error * to_grid;
  if (grid.hi < 0x1p52 - 4) {
    const DD offset = fast_two_sum(0x1p52, grid.hi);
    const std::optional<double> rounded = decide(DD{offset.hi, offset.lo + grid.lo}, grid_error);
    if (!rounded) {
      return std::nullopt;
    }
    return (*rounded - 0x1p52) * 0x1p-1022 * 0x1p-52;  // an integer below 2^52: exact
  }
  if (grid.hi > 0x1p52 + 4) {
    const std::optional<double> rounded = decide(grid, grid_error);
    if (!rounded) {
      return std::nullopt;
    }
    return *rounded * 0x1p-1022 * 0x1p-52;
  }
  return std::nullopt;
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

// ---------------------------------------------------------------------------------------------
// Slow paths: fixed point with n limbs (64 (n - 1) fraction bits), Ziv's loop over n.

mp::Fixed ln2_fixed(int n) noexcept { return mp::from_limbs(0, tables::kLn2Fraction, n); }

// e^z for fixed z (|z| < 800, error z_error ulps): the value in [0.7, 1.42] and the power of
// two k, value * 2^k = e^z, with the error in ulps.
mp::Approximation exp_fixed(const mp::Fixed& z, double z_error) noexcept {
  const int n = z.n;
  const int k = static_cast<int>(nearest_integer(mp::approximate(z) / 0.6931471805599453));
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

// ---------------------------------------------------------------------------------------------
// Exact powers.
//
// An exact midpoint between two doubles stays undecided at every precision of the Ziv loop, so
// the powers that can be one are computed exactly, in integers, before it. With x = a 2^e
// (a odd) and y = c 2^f (c odd), x^y is a dyadic number (an odd integer times a power of two),
// the only kind that can be a double or a midpoint, only when
// - f < 0 (y = c / 2^k, k = -f): x is a 2^k-th power, a = b^(2^k) with 2^k dividing e, so that
//   x^y = (b 2^(e / 2^k))^c; the roots are taken exactly one square root at a time (at most
//   five for b >= 3, as a < 2^53; at most ten for b = 1, as |e| <= 1074);
// - then, with the integer n = y: n > 0, or b = 1 (a negative power of an odd b > 1 is no
//   dyadic number).
// A double or a midpoint has an odd part below 2^54, so b^n < 2^64 covers them all, with
// n <= 40 for b >= 3. Every other dyadic power has an odd part of L > 64 bits and lies at
// least 2^-L (relative) from any midpoint, which the loop decides for L up to about 700.

// The integer square root of a < 2^64 when a is a perfect square.
std::optional<std::uint64_t> exact_square_root(std::uint64_t a) noexcept {
  std::uint64_t root = 0;
  for (int bit = 31; bit >= 0; --bit) {
    const std::uint64_t candidate = root | (std::uint64_t{1} << bit);
    if (candidate * candidate <= a) {
      root = candidate;
    }
  }
  if (root * root != a) {
    return std::nullopt;
  }
  return root;
}

// x^y when it is an odd integer below 2^64 times a power of two (every exact result and every
// midpoint is), correctly rounded. x > 0 finite, x != 1; y finite, 0 < |y| < 2^64.
std::optional<double> pow_exact(double x, double y) noexcept {
  auto [a, e] = decompose(x);
  const int a_zeros = std::countr_zero(a);
  a >>= a_zeros;
  e += a_zeros;
  auto [c, f] = decompose(y);
  const int c_zeros = std::countr_zero(c);
  c >>= c_zeros;
  f += c_zeros;
  for (; f < 0; ++f) {
    const std::optional<std::uint64_t> root = exact_square_root(a);
    if ((e & 1) != 0 || !root) {
      return std::nullopt;
    }
    a = *root;
    e /= 2;
  }
  // y = n = c 2^f, an integer below 2^64 in magnitude.
  if (a == 1) {
    // 2^(e n): |e n| < 1155 by the caller's |y log x| < 800 (e != 0, since x != 1).
    if ((c << f) >= 4096) {
      return std::nullopt;
    }
    const std::int64_t exponent = static_cast<std::int64_t>(e) * static_cast<std::int64_t>(c << f);
    mp::Fixed one = mp::zero(2);
    one.w[1] = 1;
    return mp::round_scaled(one, static_cast<int>(y < 0 ? -exponent : exponent));
  }
  if (y < 0 || f > 5 || (c << f) > 40) {
    return std::nullopt;
  }
  const int n = static_cast<int>(c << f);
  mp::u128 power = 1;
  for (int i = 0; i < n; ++i) {
    power *= a;
    if ((power >> 64) != 0) {
      return std::nullopt;
    }
  }
  mp::Fixed odd_part = mp::zero(2);  // power 2^-64 as a fixed number
  odd_part.w[0] = static_cast<std::uint64_t>(power);
  return mp::round_scaled(odd_part, e * n + 64);
}

// v 2^e for an error bound v: exact, or (below 2^-1022) a little larger.
double scaled_bound(double v, int e) noexcept {
  return e < -1022 ? v * 0x1p-1022 : v * power_of_two(e);
}

double pow_slow(double x, double y) noexcept {  // x > 0 finite, x != 1, y finite, |y log x| < 800
  if (const std::optional<double> exact = pow_exact(x, y)) {
    return *exact;
  }
  // Named variables, not a structured binding: the lambda below captures them, which clang
  // before version 16 does not allow for bindings.
  const Decomposed decomposed = decompose(y);
  std::uint64_t my = decomposed.mantissa;
  int ey = decomposed.exponent;
  // Trailing zeros out, so that |my * log x| stays below 2^63 when ey < 0.
  while ((my & 1U) == 0) {
    my >>= 1;
    ++ey;
  }
  return mp::correctly_rounded([&](int n) {
    const FixedError log = log_fixed(x, n);
    // z = my * log * 2^ey.
    mp::Fixed z = mp::mul_int(log.value, static_cast<std::int64_t>(my));
    double z_error = log.error * static_cast<double>(my);
    if (ey > 0) {
      z = mp::shift_left(z, ey);
      z_error = scaled_bound(z_error, ey);
    } else if (ey < 0) {
      z = -ey < 64 * (n - 1) ? mp::shift_right(z, -ey) : mp::zero(n);
      z_error = scaled_bound(z_error, ey) + 1.0;
    }
    if (y < 0) {
      z = mp::negate(z);
    }
    return exp_fixed(z, z_error);
  });
}

double exp_slow(double x) noexcept {  // |x| < 800
  return mp::correctly_rounded([x](int n) { return exp_fixed(mp::from_double(x, n), 1.0); });
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
  if (const auto fast = exp_fast(DD{x, 0.0}, 0.0)) {
    return *fast;
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
    const std::optional<double> fast = exp_fast(z, z_error);
    result = fast ? *fast : pow_slow(base, y);
  }
  return with_sign(result, negative_result);
}

}  // namespace korvane::cr
