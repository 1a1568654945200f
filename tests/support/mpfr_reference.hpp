// The text that a math export must write, from MPFR's correctly rounded value (Linux only): the
// oracle of math_reference_test and of the math differential fuzz target.
#pragma once

#include <mpfr.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace korvane::test {

// MPFR at double precision with IEEE subnormals: emin/emax as the double format has them.
class DoubleContext {
 public:
  DoubleContext() : emin_(mpfr_get_emin()), emax_(mpfr_get_emax()) {
    mpfr_set_emin(-1073);
    mpfr_set_emax(1024);
  }
  ~DoubleContext() {
    mpfr_set_emin(emin_);
    mpfr_set_emax(emax_);
  }

 private:
  mpfr_exp_t emin_, emax_;
};

using Unary = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
using Binary = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_srcptr, mpfr_rnd_t);

inline double correctly_rounded(const std::function<int(mpfr_ptr)>& compute) {
  const DoubleContext context;
  mpfr_t r;
  mpfr_init2(r, 53);
  int inexact = compute(r);
  inexact = mpfr_check_range(r, inexact, MPFR_RNDN);
  mpfr_subnormalize(r, inexact, MPFR_RNDN);
  const double value = mpfr_get_d(r, MPFR_RNDN);
  mpfr_clear(r);
  return value;
}

inline double unary(Unary f, double x) {
  return correctly_rounded([&](mpfr_ptr r) {
    mpfr_t a;
    mpfr_init2(a, 53);
    mpfr_set_d(a, x, MPFR_RNDN);
    const int inexact = f(r, a, MPFR_RNDN);
    mpfr_clear(a);
    return inexact;
  });
}

inline double binary(Binary f, double x, double y) {
  return correctly_rounded([&](mpfr_ptr r) {
    mpfr_t a, b;
    mpfr_inits2(53, a, b, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_d(a, x, MPFR_RNDN);
    mpfr_set_d(b, y, MPFR_RNDN);
    const int inexact = f(r, a, b, MPFR_RNDN);
    mpfr_clears(a, b, static_cast<mpfr_ptr>(nullptr));
    return inexact;
  });
}

inline int mpfr_round_half_away(mpfr_ptr r, mpfr_srcptr a, mpfr_rnd_t) { return mpfr_round(r, a); }
inline int mpfr_floor_(mpfr_ptr r, mpfr_srcptr a, mpfr_rnd_t) { return mpfr_floor(r, a); }
inline int mpfr_ceil_(mpfr_ptr r, mpfr_srcptr a, mpfr_rnd_t) { return mpfr_ceil(r, a); }
inline int mpfr_trunc_(mpfr_ptr r, mpfr_srcptr a, mpfr_rnd_t) { return mpfr_trunc(r, a); }

inline double through_single(double value) {
  if (std::isnan(value)) return value;
  if (std::fabs(value) >= 0x1.ffffffp127) return std::copysign(HUGE_VAL, value);
  return static_cast<double>(static_cast<float>(value));
}

// The expected buffer of a call of the export `name` with the number x and, for Power and
// Remainder, the text's value `base`; empty for "result 0, buffer untouched".
inline std::string expected_text(std::string_view name, double base, double x) {
  double value = 0.0;
  double first_nan = 0.0;
  bool nan_argument = false;
  const auto note_nan = [&](double v) {
    if (std::isnan(v) && !nan_argument) {
      nan_argument = true;
      first_nan = v;
    }
  };
  if (name == "Sine" || name == "Cosine" || name == "Tangent") {
    note_nan(x);
    const double d = x * 3.14159265 / 180.0;
    value = unary(name == "Sine" ? mpfr_sin : name == "Cosine" ? mpfr_cos : mpfr_tan, d);
  } else if (name == "Floor" || name == "Ceil" || name == "Trunc" || name == "Round") {
    note_nan(x);
    value = unary(name == "Floor"   ? mpfr_floor_
                  : name == "Ceil"  ? mpfr_ceil_
                  : name == "Trunc" ? mpfr_trunc_
                                    : mpfr_round_half_away,
                  x);
  } else if (name == "Exponent") {
    note_nan(x);
    value = unary(mpfr_exp, x);
  } else if (name == "Power") {
    if (x == 0.0 || base == 1.0) {
      value = 1.0;
    } else {
      note_nan(base);
      note_nan(x);
      value = binary(mpfr_pow, base, x);
    }
  } else if (name == "Remainder") {
    const double dividend = base;
    const double divisor = through_single(x);
    note_nan(dividend);
    note_nan(divisor);
    value = binary(mpfr_remainder, dividend, divisor);
  }
  if (std::isnan(value)) {
    return nan_argument && std::signbit(first_nan) ? "-nan" : "nan";
  }
  if (value == 0.0) {
    return "";
  }
  char text[400];
  std::snprintf(text, sizeof text, "%f", value);
  return text;
}

}  // namespace korvane::test
