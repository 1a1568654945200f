// Sine, Cosine, Tangent, Floor, Ceil, Trunc, Round, Exponent, Power, Remainder.
// One pattern with ten formulas: compute a double; a zero (either sign) returns 0 and leaves the
// buffer alone; anything else, infinities and NaNs included, is written over the buffer as
// number text and returns 1.
#include "frame/buffer.hpp"
#include "frame/export.hpp"
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

// Degrees to radians with the library's own constant, multiplying first.
double radians(double degrees) noexcept { return degrees * 3.14159265 / 180.0; }

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

using korvane::deliver;
using korvane::radians;

extern "C" KORVANE_API float KORVANE_CALL Sine(const char*, double number, char* buffer, int) {
  return deliver(std::sin(radians(number)), buffer);
}

extern "C" KORVANE_API float KORVANE_CALL Cosine(const char*, double number, char* buffer, int) {
  return deliver(std::cos(radians(number)), buffer);
}

extern "C" KORVANE_API float KORVANE_CALL Tangent(const char*, double number, char* buffer, int) {
  return deliver(std::tan(radians(number)), buffer);
}

extern "C" KORVANE_API float KORVANE_CALL Floor(const char*, double number, char* buffer, int) {
  return deliver(std::floor(number), buffer);
}

extern "C" KORVANE_API float KORVANE_CALL Ceil(const char*, double number, char* buffer, int) {
  return deliver(std::ceil(number), buffer);
}

extern "C" KORVANE_API float KORVANE_CALL Trunc(const char*, double number, char* buffer, int) {
  return deliver(std::trunc(number), buffer);
}

extern "C" KORVANE_API float KORVANE_CALL Round(const char*, double number, char* buffer, int) {
  return deliver(std::round(number), buffer);
}

extern "C" KORVANE_API float KORVANE_CALL Exponent(const char*, double number, char* buffer, int) {
  return deliver(std::exp(number), buffer);
}

extern "C" KORVANE_API float KORVANE_CALL Power(const char* text, double number, char* buffer,
                                                int) {
  return deliver(std::pow(korvane::read_number(korvane::text_argument(text)), number), buffer);
}

extern "C" KORVANE_API float KORVANE_CALL Remainder(const char* text, double number, char* buffer,
                                                    int) {
  return deliver(std::remainder(korvane::read_number(korvane::text_argument(text)),
                                korvane::through_single(number)),
                 buffer);
}
