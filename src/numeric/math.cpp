// Sine, Cosine, Tangent, Floor, Ceil, Trunc, Round, Exponent, Power, Remainder.
// One pattern with ten formulas: compute the correctly rounded double (correctly_rounded.hpp); a
// zero (either sign) returns 0 and leaves the buffer alone; anything else, infinities and NaNs
// included, is written over the buffer as number text and returns 1.
//
// NaNs: a NaN argument keeps its sign (the first NaN in argument order: the text's number, then
// the number argument); a NaN that the operation itself creates is the positive one ("nan").
#include "frame/buffer.hpp"
#include "frame/export.hpp"
#include "numeric/correctly_rounded.hpp"
#include "numeric/number_text.hpp"

#include <cmath>
#include <limits>

namespace korvane {
namespace {

float deliver(double value, char* buffer) noexcept {
  if (value == 0.0 || buffer == nullptr) {
    return kFalse;
  }
  char text[kNumberTextMax];
  const std::size_t length = format_fixed6(value, text);
  return result(overwrite_buffer(buffer, std::string_view(text, length)));
}

// Degrees to radians with the library's own constant, multiplying first. A NaN passes
// through as it is, its sign kept.
double radians(double degrees) noexcept {
  if (std::isnan(degrees)) {
    return degrees;
  }
  return degrees * 3.14159265 / 180.0;
}

// The double rounded to single precision (to nearest, ties to even) and widened back. Spelled
// out because converting an out-of-range double to float is undefined in C++: magnitudes that
// round beyond the largest float become an infinity, as IEEE 754 rounding gives.
double through_single(double value) noexcept {
  // The smallest magnitude that rounds to infinity: halfway between FLT_MAX and 2^128.
  constexpr double kOverflow = 0x1.ffffffp127;
  if (std::isnan(value)) {
    return value;
  }
  if (std::fabs(value) >= kOverflow) {
    return std::copysign(std::numeric_limits<double>::infinity(), value);
  }
  return static_cast<double>(static_cast<float>(value));
}

}  // namespace
}  // namespace korvane

KORVANE_EXPORT(Sine) {
  return korvane::deliver(korvane::cr::sin(korvane::radians(number)), buffer);
}

KORVANE_EXPORT(Cosine) {
  return korvane::deliver(korvane::cr::cos(korvane::radians(number)), buffer);
}

KORVANE_EXPORT(Tangent) {
  return korvane::deliver(korvane::cr::tan(korvane::radians(number)), buffer);
}

KORVANE_EXPORT(Floor) { return korvane::deliver(korvane::cr::floor(number), buffer); }

KORVANE_EXPORT(Ceil) { return korvane::deliver(korvane::cr::ceil(number), buffer); }

KORVANE_EXPORT(Trunc) { return korvane::deliver(korvane::cr::trunc(number), buffer); }

KORVANE_EXPORT(Round) { return korvane::deliver(korvane::cr::round(number), buffer); }

KORVANE_EXPORT(Exponent) { return korvane::deliver(korvane::cr::exp(number), buffer); }

KORVANE_EXPORT(Power) {
  return korvane::deliver(
      korvane::cr::pow(korvane::read_number(korvane::text_argument(text)), number), buffer);
}

KORVANE_EXPORT(Remainder) {
  return korvane::deliver(korvane::cr::remainder(korvane::read_number(korvane::text_argument(text)),
                                                 korvane::through_single(number)),
                          buffer);
}
