// The constants of the correctly rounded math, generated with MPFR by scripts/gen-math-tables.
#pragma once

#include <cstdint>

namespace korvane::tables {

struct DoubleDouble {
  double hi;
  double lo;
};
struct SinCosEntry {
  DoubleDouble sin;
  DoubleDouble cos;
};
struct LogEntry {
  double c;
  DoubleDouble minus_log;
};

#include "numeric/math_tables.inc"

}  // namespace korvane::tables
