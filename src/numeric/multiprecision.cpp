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

// Bits [from, from + 64) of a magnitude as one word.
std::uint64_t word_at(const std::uint64_t* w, int n, int from) noexcept {
  std::uint64_t result = 0;
  for (int b = 0; b < 64; ++b) {
    if (bit_at(w, n, from + b)) {
      result |= std::uint64_t{1} << b;
    }
  }
  return result;
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
    mantissa = word_at(w, n, 0) << -shift;
  } else {
    mantissa = word_at(w, n, shift);
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
  // Binary long division of |a| * 2^(fraction bits) by |b|.
  const int n = a.n;
  const bool negative = is_negative(a) != is_negative(b);
  const Fixed x = abs(a);
  const Fixed y = abs(b);
  std::uint64_t numerator[2 * kMaxLimbs] = {};
  for (int i = 0; i < n; ++i) {
    numerator[i + n - 1] = x.w[i];
  }
  const int numerator_limbs = 2 * n - 1;
  std::uint64_t remainder[kMaxLimbs + 1] = {};
  Fixed q = zero(n);
  for (int bit = 64 * numerator_limbs - 1; bit >= 0; --bit) {
    // remainder = remainder * 2 + next bit
    std::uint64_t carry = (numerator[bit / 64] >> (bit % 64)) & 1U;
    for (int i = 0; i <= n; ++i) {
      const std::uint64_t next = remainder[i] >> 63;
      remainder[i] = (remainder[i] << 1) | carry;
      carry = next;
    }
    // remainder >= y ?
    bool greater_or_equal = remainder[n] != 0;
    if (!greater_or_equal) {
      greater_or_equal = true;
      for (int i = n - 1; i >= 0; --i) {
        if (remainder[i] != y.w[i]) {
          greater_or_equal = remainder[i] > y.w[i];
          break;
        }
      }
    }
    if (greater_or_equal) {
      unsigned borrow = 0;
      for (int i = 0; i <= n; ++i) {
        const std::uint64_t subtrahend = i < n ? y.w[i] : 0;
        const u128 t = static_cast<u128>(remainder[i]) - subtrahend - borrow;
        remainder[i] = static_cast<std::uint64_t>(t);
        borrow = static_cast<unsigned>((t >> 64) & 1U);
      }
      if (bit < 64 * n) {
        q.w[bit / 64] |= std::uint64_t{1} << (bit % 64);
      }
    }
  }
  return negative ? negate(q) : q;
}

namespace {

// The 64 bits of x's limbs that start at bit `first` (bit 0 the lowest bit of limb 0); bits
// outside the limbs read as zero.
std::uint64_t window(const Fixed& x, int first) noexcept {
  const int limb = first >= 0 ? first / 64 : -((63 - first) / 64);
  const int offset = first - limb * 64;  // 0 to 63
  const auto at = [&](int i) { return i >= 0 && i < x.n ? x.w[i] : std::uint64_t{0}; };
  std::uint64_t v = at(limb) >> offset;
  if (offset != 0) {
    v |= at(limb + 1) << (64 - offset);
  }
  return v;
}

// |a| moved `bits` places towards the top (towards the bottom for negative bits), its sign
// kept; bits moved past either end are lost.
Fixed shift(const Fixed& a, int bits) noexcept {
  const bool negative = is_negative(a);
  const Fixed x = abs(a);
  Fixed r = zero(a.n);
  for (int i = 0; i < a.n; ++i) {
    r.w[i] = window(x, 64 * i - bits);
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

std::optional<double> round_interval(const Fixed& value, double error_ulps, int scale,
                                     bool tie_break) noexcept {
  // The error as a whole number of ulps, rounded up (and one more for safety).
  const double whole = std::ceil(error_ulps) + 1.0;
  if (!(whole < 0x1p62)) {
    return std::nullopt;
  }
  Fixed error = zero(value.n);
  error.w[0] = static_cast<std::uint64_t>(whole);
  const double low = round_scaled(sub(value, error), scale);
  const double high = round_scaled(add(value, error), scale);
  if (low == high && std::signbit(low) == std::signbit(high)) {
    return low;
  }
  if (!tie_break) {
    return std::nullopt;
  }
  // An exact midpoint: the candidate with an even last bit.
  const std::uint64_t low_bits = std::bit_cast<std::uint64_t>(low);
  return (low_bits & 1U) == 0 ? low : high;
}

void fraction_window(const std::uint64_t* fraction, int fraction_limbs, int first,
                     std::uint64_t* out, int limbs) noexcept {
  const int total = 64 * limbs;
  for (int i = 0; i < limbs; ++i) {
    out[i] = 0;
  }
  // Bit `first + k` of the fraction (k = 0 is the most significant of the window) goes to
  // position total - 1 - k of the result.
  for (int k = 0; k < total; ++k) {
    const int index = first + k - 1;  // 0-based index into the fraction's bits
    if (index < 0 || index >= 64 * fraction_limbs) {
      continue;
    }
    const bool bit = ((fraction[index / 64] >> (63 - index % 64)) & 1U) != 0;
    if (bit) {
      const int at = total - 1 - k;
      out[at / 64] |= std::uint64_t{1} << (at % 64);
    }
  }
}

}  // namespace korvane::mp
