// Sine, Cosine, Tangent, Floor, Ceil, Trunc, Round, Exponent, Power, Remainder.
// One pattern with ten formulas: compute the correctly rounded double (correctly_rounded.hpp); a
// zero (either sign) returns 0 and leaves the buffer alone; anything else, infinities and NaNs
// included, is written over the buffer as number text and returns 1.
//
// NaNs: a NaN argument keeps its sign (the first NaN in argument order: the text's number, then
// the number argument); a NaN that the operation itself creates is the positive one ("nan").
//
// Each computes in the default floating-point environment, whatever the caller has set, and
// gives the caller's environment back as it was (floating_point_environment.hpp).
#include "frame/buffer.hpp"
#include "frame/export.hpp"
#include "numeric/correctly_rounded.hpp"
#include "numeric/floating_point_environment.hpp"
#include "numeric/number_text.hpp"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace korvane {
namespace {

float deliver(double value, char* buffer) noexcept {
  // Zero of either sign, told by the bits: a comparison would raise a flag for a signaling NaN.
  if ((std::bit_cast<std::uint64_t>(value) << 1) == 0 || buffer == nullptr) {
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

// The ten formulas: the value of an export's arguments. Each is kept a function of its own
// (never inlined), so that all of its arithmetic happens between the setting and the restoring
// of the floating-point environment in compute().
using Formula = double (*)(const char* text, double number) noexcept;

[[gnu::noinline]] double sine(const char*, double number) noexcept {
  return cr::sin(radians(number));
}
[[gnu::noinline]] double cosine(const char*, double number) noexcept {
  return cr::cos(radians(number));
}
[[gnu::noinline]] double tangent(const char*, double number) noexcept {
  return cr::tan(radians(number));
}
[[gnu::noinline]] double power(const char* text, double number) noexcept {
  return cr::pow(read_number(text_argument(text)), number);
}
[[gnu::noinline]] double remainder(const char* text, double number) noexcept {
  return cr::remainder(read_number(text_argument(text)), through_single(number));
}
[[gnu::noinline]] double exponent(const char*, double number) noexcept { return cr::exp(number); }

// The math exports that round: the value in the default floating-point environment, delivered.
float compute(Formula formula, const char* text, double number, char* buffer) noexcept {
  const DefaultFloatingPoint environment;
  return deliver(formula(text, number), buffer);
}

// Floor, Ceil, Trunc and Round: exact on the bits, their answers and the environment the same
// in any environment (exact.cpp), so they skip setting one up, which costs more than they do.
float compute_exact(double (*function)(double) noexcept, double number, char* buffer) noexcept {
  return deliver(function(number), buffer);
}

}  // namespace
}  // namespace korvane

KORVANE_EXPORT(Sine) { return korvane::compute(korvane::sine, text, number, buffer); }

KORVANE_EXPORT(Cosine) { return korvane::compute(korvane::cosine, text, number, buffer); }

KORVANE_EXPORT(Tangent) { return korvane::compute(korvane::tangent, text, number, buffer); }

KORVANE_EXPORT(Floor) { return korvane::compute_exact(korvane::cr::floor, number, buffer); }

KORVANE_EXPORT(Ceil) { return korvane::compute_exact(korvane::cr::ceil, number, buffer); }

KORVANE_EXPORT(Trunc) { return korvane::compute_exact(korvane::cr::trunc, number, buffer); }

KORVANE_EXPORT(Round) { return korvane::compute_exact(korvane::cr::round, number, buffer); }

KORVANE_EXPORT(Exponent) { return korvane::compute(korvane::exponent, text, number, buffer); }

KORVANE_EXPORT(Power) { return korvane::compute(korvane::power, text, number, buffer); }

KORVANE_EXPORT(Remainder) { return korvane::compute(korvane::remainder, text, number, buffer); }
