// Fixed-point multi-precision arithmetic: see multiprecision.hpp.
#include "numeric/multiprecision.hpp"

#include <bit>
#include <cmath>
#include <cstring>

namespace korvane::mp {
namespace {

int fraction_bits(const Fixed& a) noexcept { return 64 * (a.n - 1); }

// Highest set bit of a magnitude given as limbs (least significant first); -1 for zero.
int top_bit(const std::uint64_t* w, int n) noexcept {
  for (int i = n - 1; i >= 0; --i) {
    if (w[i] != 0) {
      return 64 * i + 63 - std::countl_zero(w[i]);
    }
  }
  return -1;
}

bool bit_at(const std::uint64_t* w, int n, int index) noexcept {
  if (index < 0 || index >= 64 * n) {
    return false;
  }
  return ((w[index / 64] >> (index % 64)) & 1U) != 0;
}

// Any set bit below `index`.
bool any_below(const std::uint64_t* w, int n, int index) noexcept {
  if (index <= 0) {
    return false;
  }
  const int limb = index / 64;
  for (int i = 0; i < limb && i < n; ++i) {
    if (w[i] != 0) {
      return true;
    }
  }
  if (limb < n && index % 64 != 0) {
    return (w[limb] & ((std::uint64_t{1} << (index % 64)) - 1)) != 0;
  }
  return false;
}

// The correctly rounded double of the magnitude M (limbs) times 2^exponent, with a sign.
double round_magnitude(bool negative, const std::uint64_t* w, int n, int exponent) noexcept {
  const int top = top_bit(w, n);
  if (top < 0) {
    return negative ? -0.0 : 0.0;
  }
  const int value_exponent = top + exponent;  // the value lies in [2^ve, 2^(ve+1))
  if (value_exponent > 1023) {
    return negative ? -HUGE_VAL : HUGE_VAL;
  }
  int lsb = value_exponent - 52;  // exponent of the last kept bit
  if (lsb < -1074) {
    lsb = -1074;
  }
  const int shift = lsb - exponent;  // bits of M below the last kept bit
  std::uint64_t mantissa = 0;
  if (shift <= 0) {
    mantissa = bits_from(w, n, 0) << -shift;
  } else {
    mantissa = bits_from(w, n, shift);
    const bool half = bit_at(w, n, shift - 1);
    const bool sticky = any_below(w, n, shift - 1);
    if (half && (sticky || (mantissa & 1U) != 0)) {
      ++mantissa;
    }
  }
  if (mantissa == (std::uint64_t{1} << 53)) {
    mantissa >>= 1;
    ++lsb;
  }
  if (mantissa >= (std::uint64_t{1} << 52) && lsb + 52 > 1023) {
    return negative ? -HUGE_VAL : HUGE_VAL;
  }
  std::uint64_t bits = 0;
  if (mantissa >= (std::uint64_t{1} << 52)) {
    bits = (static_cast<std::uint64_t>(lsb + 1075) << 52) |
           (mantissa & ((std::uint64_t{1} << 52) - 1));
  } else {
    bits = mantissa;  // subnormal (lsb is -1074) or zero
  }
  const double magnitude = std::bit_cast<double>(bits);
  return negative ? -magnitude : magnitude;
}

}  // namespace

Fixed zero(int n) noexcept {
  Fixed a;
  a.n = n;
  return a;
}

Fixed from_double(double x, int n) noexcept {
  Fixed a = zero(n);
  if (x == 0.0) {
    return a;
  }
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  int exponent = biased - 1075;  // of the mantissa's last bit
  if (biased == 0) {
    exponent = -1074;
  } else {
    mantissa |= std::uint64_t{1} << 52;
  }
  // Place mantissa * 2^exponent at bit position exponent + fraction bits.
  const int position = exponent + fraction_bits(a);
  for (int b = 0; b < 53; ++b) {
    if (((mantissa >> b) & 1U) != 0) {
      const int at = position + b;
      if (at >= 0 && at < 64 * n) {
        a.w[at / 64] |= std::uint64_t{1} << (at % 64);
      }
    }
  }
  return x < 0 ? negate(a) : a;
}

Fixed from_limbs(std::uint64_t integer, const std::uint64_t* fraction, int n) noexcept {
  Fixed a = zero(n);
  a.w[n - 1] = integer;
  for (int i = 0; i < n - 1; ++i) {
    a.w[n - 2 - i] = fraction[i];
  }
  return a;
}

bool is_negative(const Fixed& a) noexcept { return (a.w[a.n - 1] >> 63) != 0; }

bool is_zero(const Fixed& a) noexcept {
  for (int i = 0; i < a.n; ++i) {
    if (a.w[i] != 0) {
      return false;
    }
  }
  return true;
}

Fixed negate(const Fixed& a) noexcept {
  Fixed r = zero(a.n);
  unsigned carry = 1;
  for (int i = 0; i < a.n; ++i) {
    const u128 sum = static_cast<u128>(~a.w[i]) + carry;
    r.w[i] = static_cast<std::uint64_t>(sum);
    carry = static_cast<unsigned>(sum >> 64);
  }
  return r;
}

Fixed abs(const Fixed& a) noexcept { return is_negative(a) ? negate(a) : a; }

Fixed add(const Fixed& a, const Fixed& b) noexcept {
  Fixed r = zero(a.n);
  unsigned carry = 0;
  for (int i = 0; i < a.n; ++i) {
    const u128 sum = static_cast<u128>(a.w[i]) + b.w[i] + carry;
    r.w[i] = static_cast<std::uint64_t>(sum);
    carry = static_cast<unsigned>(sum >> 64);
  }
  return r;
}

Fixed sub(const Fixed& a, const Fixed& b) noexcept { return add(a, negate(b)); }

Fixed mul(const Fixed& a, const Fixed& b) noexcept {
  const int n = a.n;
  const bool negative = is_negative(a) != is_negative(b);
  const Fixed x = abs(a);
  const Fixed y = abs(b);
  std::uint64_t product[2 * kMaxLimbs] = {};
  for (int i = 0; i < n; ++i) {
    std::uint64_t carry = 0;
    for (int j = 0; j < n; ++j) {
      const u128 t = static_cast<u128>(x.w[i]) * y.w[j] + product[i + j] + carry;
      product[i + j] = static_cast<std::uint64_t>(t);
      carry = static_cast<std::uint64_t>(t >> 64);
    }
    product[i + n] = carry;
  }
  Fixed r = zero(n);
  for (int i = 0; i < n; ++i) {
    r.w[i] = product[i + n - 1];
  }
  return negative ? negate(r) : r;
}

Fixed mul_int(const Fixed& a, std::int64_t k) noexcept {
  const bool negative = is_negative(a) != (k < 0);
  const Fixed x = abs(a);
  const std::uint64_t m = k < 0 ? 0 - static_cast<std::uint64_t>(k) : static_cast<std::uint64_t>(k);
  Fixed r = zero(a.n);
  std::uint64_t carry = 0;
  for (int i = 0; i < a.n; ++i) {
    const u128 t = static_cast<u128>(x.w[i]) * m + carry;
    r.w[i] = static_cast<std::uint64_t>(t);
    carry = static_cast<std::uint64_t>(t >> 64);
  }
  return negative ? negate(r) : r;
}

Fixed div_int(const Fixed& a, std::uint64_t k) noexcept {
  const bool negative = is_negative(a);
  const Fixed x = abs(a);
  Fixed r = zero(a.n);
  u128 remainder = 0;
  for (int i = a.n - 1; i >= 0; --i) {
    const u128 t = (remainder << 64) | x.w[i];
    r.w[i] = static_cast<std::uint64_t>(t / k);
    remainder = t % k;
  }
  return negative ? negate(r) : r;
}

Fixed div(const Fixed& a, const Fixed& b) noexcept {
  // |a| 2^(64(n-1)) divided by |b|, truncated: long division in base 2^64 (Knuth's algorithm D),
  // the quotient's n low limbs kept.
  const int n = a.n;
  const bool negative = is_negative(a) != is_negative(b);
  const Fixed x = abs(a);
  const Fixed y = abs(b);
  const int m = 2 * n - 1;  // limbs of the numerator
  std::uint64_t u[2 * kMaxLimbs + 1] = {};
  for (int i = 0; i < n; ++i) {
    u[i + n - 1] = x.w[i];
  }
  int d = n;  // limbs of the divisor, its top limb nonzero
  while (d > 1 && y.w[d - 1] == 0) {
    --d;
  }
  std::uint64_t q[2 * kMaxLimbs] = {};
  if (d == 1) {
    u128 remainder = 0;
    for (int i = m - 1; i >= 0; --i) {
      const u128 t = (remainder << 64) | u[i];
      q[i] = static_cast<std::uint64_t>(t / y.w[0]);
      remainder = t % y.w[0];
    }
  } else {
    // Normalised so that the divisor's top bit is set; the numerator gains a limb.
    const int s = std::countl_zero(y.w[d - 1]);
    const auto shifted = [s](std::uint64_t high, std::uint64_t low) {
      return s == 0 ? high : (high << s) | (low >> (64 - s));
    };
    std::uint64_t v[kMaxLimbs] = {};
    for (int i = d - 1; i > 0; --i) {
      v[i] = shifted(y.w[i], y.w[i - 1]);
    }
    v[0] = y.w[0] << s;
    u[m] = s == 0 ? 0 : u[m - 1] >> (64 - s);
    for (int i = m - 1; i > 0; --i) {
      u[i] = shifted(u[i], u[i - 1]);
    }
    u[0] <<= s;
    for (int j = m - d; j >= 0; --j) {
      // The quotient limb estimated from the top two limbs, at most two too large after the
      // correction against the third.
      const u128 top = (static_cast<u128>(u[j + d]) << 64) | u[j + d - 1];
      u128 estimate = top / v[d - 1];
      u128 rest = top % v[d - 1];
      while ((estimate >> 64) != 0 || estimate * v[d - 2] > ((rest << 64) | u[j + d - 2])) {
        --estimate;
        rest += v[d - 1];
        if ((rest >> 64) != 0) {
          break;
        }
      }
      // u[j .. j + d] -= estimate * v; if that went below zero, one v back.
      std::uint64_t carry = 0;
      std::uint64_t borrow = 0;
      for (int i = 0; i < d; ++i) {
        const u128 product = estimate * v[i] + carry;
        carry = static_cast<std::uint64_t>(product >> 64);
        const u128 t = static_cast<u128>(u[i + j]) - static_cast<std::uint64_t>(product) - borrow;
        u[i + j] = static_cast<std::uint64_t>(t);
        borrow = (t >> 64) != 0 ? 1 : 0;
      }
      const u128 t = static_cast<u128>(u[j + d]) - carry - borrow;
      u[j + d] = static_cast<std::uint64_t>(t);
      if ((t >> 64) != 0) {
        --estimate;
        std::uint64_t add_carry = 0;
        for (int i = 0; i < d; ++i) {
          const u128 sum = static_cast<u128>(u[i + j]) + v[i] + add_carry;
          u[i + j] = static_cast<std::uint64_t>(sum);
          add_carry = static_cast<std::uint64_t>(sum >> 64);
        }
        u[j + d] += add_carry;
      }
      q[j] = static_cast<std::uint64_t>(estimate);
    }
  }
  Fixed r = zero(n);
  for (int i = 0; i < n; ++i) {
    r.w[i] = q[i];
  }
  return negative ? negate(r) : r;
}

namespace {

// |a| moved `bits` places towards the top (towards the bottom for negative bits), its sign
// kept; bits moved past either end are lost.
Fixed shift(const Fixed& a, int bits) noexcept {
  const bool negative = is_negative(a);
  const Fixed x = abs(a);
  Fixed r = zero(a.n);
  for (int i = 0; i < a.n; ++i) {
    r.w[i] = bits_from(x.w, x.n, 64 * i - bits);
  }
  return negative ? negate(r) : r;
}

}  // namespace

Fixed shift_right(const Fixed& a, int bits) noexcept { return shift(a, -bits); }

Fixed shift_left(const Fixed& a, int bits) noexcept { return shift(a, bits); }

bool magnitude_below(const Fixed& a, int bits) noexcept {
  const Fixed x = abs(a);
  return top_bit(x.w, x.n) < fraction_bits(a) - bits;
}

double approximate(const Fixed& a) noexcept {
  const Fixed x = abs(a);
  const double magnitude = round_magnitude(false, x.w, x.n, -fraction_bits(a));
  return is_negative(a) ? -magnitude : magnitude;
}

std::int64_t integer_part(const Fixed& a) noexcept {
  return static_cast<std::int64_t>(a.w[a.n - 1]);
}

double round_scaled(const Fixed& a, int scale) noexcept {
  const Fixed x = abs(a);
  return round_magnitude(is_negative(a), x.w, x.n, scale - fraction_bits(a));
}

std::optional<double> round_interval(const Fixed& value, double error_ulps, int scale) noexcept {
  // The error as a whole number of ulps, rounded up with one to spare: (m + 1) 2^shift for the
  // error's mantissa m and exponent, or the integer itself below 2^53. Conversion to an integer
  // truncates whatever the rounding mode.
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(error_ulps);
  const int biased = static_cast<int>(bits >> 52);
  Fixed error = zero(value.n);
  if (error_ulps < 0x1p53) {
    error.w[0] = static_cast<std::uint64_t>(error_ulps) + 2;
  } else {
    const int shift = biased - 1075;
    // The error must stay far below the fixed numbers' range (and be finite).
    if (biased >= 0x7FF || shift + 54 >= 64 * value.n - 2) {
      return std::nullopt;
    }
    error.w[0] = (bits & ((std::uint64_t{1} << 52) - 1)) + (std::uint64_t{1} << 52) + 1;
    error = shift_left(error, shift);
  }
  const double low = round_scaled(sub(value, error), scale);
  const double high = round_scaled(add(value, error), scale);
  if (low == high && std::signbit(low) == std::signbit(high)) {
    return low;
  }
  return std::nullopt;
}

void fraction_window(const std::uint64_t* fraction, int fraction_limbs, int first,
                     std::uint64_t* out, int limbs) noexcept {
  for (int i = 0; i < limbs; ++i) {
    out[limbs - 1 - i] = fraction_word(fraction, fraction_limbs, first + 64 * i);
  }
}

}  // namespace korvane::mp
