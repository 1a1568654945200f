// Correctly rounded math (to nearest, ties to even) of exact double arguments, the same bits on
// every platform. NaN results: see each function.
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
