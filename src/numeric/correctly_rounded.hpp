// Correctly rounded math (to nearest, ties to even) of exact double arguments, the same bits on
// every platform. NaN results: see each function.
//
// The platform's math library is declined on purpose: Windows' C runtime gives plainly wrong
// digits (sin of huge angles, pow of large results, round of 0.49999999999999994), and no two
// platforms' libraries agree in every last digit. The one answer every platform can give is the
// correctly rounded one, computed with nothing but exact integer arithmetic and IEEE double
// operations (+, -, *, /, each correctly rounded on every x86-64 compiler; the build turns off
// contraction into fused multiply-adds). One file a family: trigonometric.cpp, exponential.cpp,
// exact.cpp.
//
// Each rounding function has a fast path: an evaluation that carries double-doubles only where
// a term needs more than 53 bits and the higher-order terms in plain doubles, with a proven
// bound on its error, then a rounding test: when the approximation minus and plus the bound
// round to the same double, that double is the correctly rounded value. Otherwise the slow path
// evaluates the function in the fixed-point arithmetic of multiprecision.hpp at 192, 384 and 768
// fraction bits (Ziv's strategy), each time with a proven error bound.
#pragma once

namespace korvane::cr {

// sin, cos, tan of an angle in radians. NaN for an infinity; a NaN argument comes back as it is.
double sin(double x) noexcept;
double cos(double x) noexcept;
double tan(double x) noexcept;
// e^x.
double exp(double x) noexcept;
// x^y with C's special cases (pow(x, ±0) = 1 and pow(1, y) = 1 even for NaN; a negative x with
// a non-integer y gives NaN). A NaN argument comes back as it is (x's first); a NaN the
// operation creates is the positive quiet NaN.
double pow(double x, double y) noexcept;

// Exact operations.
double floor(double x) noexcept;
double ceil(double x) noexcept;
double trunc(double x) noexcept;
double round(double x) noexcept;  // halves away from zero
// The IEEE remainder x - n*y, n the integer nearest x/y (ties to even). NaN arguments come back
// as they are (x's first); an infinite x or a zero y gives the positive quiet NaN.
double remainder(double x, double y) noexcept;

// The positive quiet NaN that operations create.
double created_nan() noexcept;

}  // namespace korvane::cr
