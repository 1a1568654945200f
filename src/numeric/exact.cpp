// The exact operations: floor, ceil, trunc, round (halves away from zero) and the IEEE
// remainder, on the bits and by integer arithmetic: no rounding happens anywhere.

#include <cstdint>

#include "numeric/correctly_rounded.hpp"
#include "numeric/double_double.hpp"

namespace korvane::cr {

double created_nan() noexcept { return from_bits(0x7FF8000000000000ULL); }

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

// floor, ceil, trunc and round decide on the bits alone, and add or subtract 1 only to a whole
// number below 2^52: their answers and the floating-point environment stay the same whatever
// environment the caller has set (no flag is raised, not even for a subnormal or a signaling
// NaN argument).

double floor(double x) noexcept {
  const double t = trunc(x);
  return (bits_of(t) != bits_of(x) && sign_bit(x)) ? t - 1.0 : t;
}

double ceil(double x) noexcept {
  const double t = trunc(x);
  return (bits_of(t) != bits_of(x) && !sign_bit(x)) ? t + 1.0 : t;
}

double round(double x) noexcept {
  const std::uint64_t b = bits_of(x);
  const int e = static_cast<int>((b >> 52) & 0x7FF) - 1023;
  if (e >= 52) {
    return x;  // an integer, an infinity or a NaN
  }
  if (e < -1) {
    return with_sign(0.0, sign_bit(x));  // below 1/2
  }
  // The bit worth 1/2: the leading bit for 1/2 <= |x| < 1, else the first fraction bit.
  const bool half = e == -1 || ((b >> (51 - e)) & 1U) != 0;
  const double t = trunc(x);
  return half ? with_sign(magnitude(t) + 1.0, sign_bit(x)) : t;
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
