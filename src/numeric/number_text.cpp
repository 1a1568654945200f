#include "numeric/number_text.hpp"

#include "frame/c_locale.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>
#include <system_error>

namespace korvane {

std::size_t format_fixed6(double value, char* out) noexcept {
  // Infinities and NaNs are told and spelled from the bits ("inf", "nan", with a "-" for a set
  // sign bit): a floating-point test of a signaling NaN would raise the invalid-operation flag.
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  if ((bits & 0x7FF0000000000000ULL) == 0x7FF0000000000000ULL) {
    const bool negative = (bits >> 63) != 0;
    const std::string_view name = (bits << 12) != 0 ? "nan" : "inf";
    char* end = out;
    if (negative) {
      *end++ = '-';
    }
    for (const char c : name) {
      *end++ = c;
    }
    return static_cast<std::size_t>(end - out);
  }
  // to_chars gives the exact digits of a finite value, rounded ties-to-even, without consulting
  // a locale.
  const auto [end, error] =
      std::to_chars(out, out + kNumberTextMax, value, std::chars_format::fixed, 6);
  if (error != std::errc()) {
    return 0;  // cannot happen: kNumberTextMax holds the longest text
  }
  return static_cast<std::size_t>(end - out);
}

namespace {

bool is_digit(char c, bool hex) noexcept { return hex ? c_hex_value(c) >= 0 : is_c_digit(c); }

// Length of the digits, point and exponent at the start of `text` that form a number: at least
// one digit, and an exponent only when a digit follows its marker and optional sign. Zero when
// there is no digit. from_chars is given exactly this much: some of its implementations read
// further than the C grammar allows (libstdc++ 12 takes "p+-3" as an exponent of a hexadecimal
// number).
std::size_t number_length(std::string_view text, bool hex) noexcept {
  std::size_t i = 0;
  std::size_t digits = 0;
  for (; i < text.size() && is_digit(text[i], hex); ++i) {
    ++digits;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    for (; i < text.size() && is_digit(text[i], hex); ++i) {
      ++digits;
    }
  }
  if (digits == 0) {
    return 0;
  }
  const char marker = hex ? 'p' : 'e';
  if (i < text.size() && (text[i] == marker || text[i] == marker - ('a' - 'A'))) {
    std::size_t e = i + 1;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) {
      ++e;
    }
    if (e < text.size() && is_c_digit(text[e])) {
      while (e < text.size() && is_c_digit(text[e])) {
        ++e;
      }
      i = e;
    }
  }
  return i;
}

// For text that from_chars found out of range: true when its magnitude is too large (an
// infinity), false when it is too small (a zero). The text is digits with an optional point and
// exponent; its order of magnitude is decided by the first non-zero digit and the exponent.
bool magnitude_overflows(std::string_view digits, bool hex) noexcept {
  long long order = 0;  // position of the first non-zero digit relative to the point
  bool seen_point = false;
  bool seen_nonzero = false;
  std::size_t i = 0;
  for (; i < digits.size(); ++i) {
    const char c = digits[i];
    if (c == '.') {
      seen_point = true;
    } else if (is_digit(c, hex)) {
      if (c != '0') {
        seen_nonzero = true;
      }
      if (seen_nonzero && !seen_point) {
        ++order;
      } else if (!seen_nonzero && seen_point) {
        --order;
      }
    } else {
      break;  // the exponent marker
    }
  }
  long long exponent = 0;
  bool negative_exponent = false;
  if (i < digits.size()) {
    ++i;  // 'e' or 'p'
    if (i < digits.size() && (digits[i] == '+' || digits[i] == '-')) {
      negative_exponent = digits[i] == '-';
      ++i;
    }
    for (; i < digits.size() && is_c_digit(digits[i]); ++i) {
      if (exponent < 1'000'000'000) {
        exponent = exponent * 10 + (digits[i] - '0');
      }
    }
  }
  // A hexadecimal digit is four binary places; the exponent after 'p' counts binary places.
  const long long scaled_order = hex ? order * 4 : order;
  return scaled_order + (negative_exponent ? -exponent : exponent) > 0;
}

}  // namespace

// The C grammar read by our own code around from_chars. strtod is declined because it reads by
// the host's locale (a German host's decimal comma makes "2.5" read as 2), and its locale-free
// forms are not portable (strtod_l on Linux, _strtod_l on Windows, with different rules for
// hexadecimal text and overflow).
double read_number(std::string_view text) noexcept {
  std::size_t i = 0;
  while (i < text.size() && is_c_space(text[i])) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // from_chars takes a '-' of its own and no "0x": the sign and the prefix are read here.
  std::string_view rest = text.substr(i);
  bool hex = false;
  if (rest.size() > 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X') &&
      (is_digit(rest[2], true) || (rest[2] == '.' && rest.size() > 3 && is_digit(rest[3], true)))) {
    hex = true;
    rest.remove_prefix(2);
  }
  double magnitude = 0.0;
  bool read = false;
  // Digits are passed as far as they form a number; anything else (inf, nan) as it stands.
  const std::size_t length = number_length(rest, hex);
  if (length != 0) {
    rest = rest.substr(0, length);
  }
  if (!rest.empty() && rest.front() != '-' && rest.front() != '+') {
    const auto [end, error] =
        std::from_chars(rest.data(), rest.data() + rest.size(), magnitude,
                        hex ? std::chars_format::hex : std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
      const std::string_view matched(rest.data(), static_cast<std::size_t>(end - rest.data()));
      magnitude = magnitude_overflows(matched, hex) ? std::numeric_limits<double>::infinity() : 0.0;
      read = true;
    } else if (error == std::errc()) {
      read = true;
    } else {
      magnitude = 0.0;
    }
  }
  // A sign without a number after it is no number: the text reads as +0, not -0.
  return negative && read ? -magnitude : magnitude;
}

}  // namespace korvane
