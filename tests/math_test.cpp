// The ten math exports: their values, the number text, and the reading of numbers from text.
#include <gtest/gtest.h>
#include <immintrin.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "support/calls.hpp"
#include "support/trig_worst_cases.hpp"

namespace korvane::test {
namespace {

struct MathCase {
  const char* export_name;
  const char* text;
  double number;
  const char* expected;  // the buffer afterwards; null: result 0 and the buffer untouched
};

void PrintTo(const MathCase& c, std::ostream* out) {
  *out << c.export_name << "(\"" << (c.text != nullptr ? c.text : "<null>") << "\", " << c.number
       << ")";
}

class Math : public testing::TestWithParam<MathCase> {};

TEST_P(Math, WritesTheValueOrLeavesTheBufferForZero) {
  const MathCase& c = GetParam();
  const std::string earlier = "an older and much longer text";
  const Outcome outcome = call(c.export_name, c.text, c.number, earlier);
  if (c.expected == nullptr) {
    EXPECT_EQ(outcome.result, 0.0f);
    EXPECT_EQ(outcome.buffer, earlier);
  } else {
    EXPECT_EQ(outcome.result, 1.0f);
    EXPECT_EQ(outcome.buffer, c.expected);
  }
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kSignalingNaN = std::numeric_limits<double>::signaling_NaN();

INSTANTIATE_TEST_SUITE_P(
    Trigonometry, Math,
    testing::Values(
        MathCase{"Sine", "", 0, nullptr}, MathCase{"Sine", "", 30, "0.500000"},
        MathCase{"Sine", "", 90, "1.000000"}, MathCase{"Sine", "", 180, "0.000000"},
        MathCase{"Sine", "", 360, "-0.000000"}, MathCase{"Sine", "", -30, "-0.500000"},
        MathCase{"Cosine", "", 0, "1.000000"}, MathCase{"Cosine", "", 60, "0.500000"},
        MathCase{"Cosine", "", 90, "0.000000"}, MathCase{"Tangent", "", 0, nullptr},
        MathCase{"Tangent", "", 45, "1.000000"}, MathCase{"Tangent", "", 180, "-0.000000"},
        MathCase{"Tangent", "", 90, "557135115.020977"}, MathCase{"Sine", "", kInf, "nan"},
        MathCase{"Cosine", "", kNaN, "nan"}, MathCase{"Sine", "ignored text", 30, "0.500000"},
        // Huge angles reduced with enough bits of pi; NaN signs by the one rule.
        MathCase{"Sine", "", 1e22, "0.957896"}, MathCase{"Cosine", "", 1e22, "-0.287114"},
        MathCase{"Sine", "", -kNaN, "-nan"}, MathCase{"Cosine", "", -kInf, "nan"},
        MathCase{"Tangent", "", 1e300, "-5.518549"}));

INSTANTIATE_TEST_SUITE_P(
    Rounding, Math,
    testing::Values(MathCase{"Floor", "", -0.5, "-1.000000"}, MathCase{"Floor", "", 0.7, nullptr},
                    MathCase{"Floor", "", 2.5, "2.000000"}, MathCase{"Ceil", "", 0.2, "1.000000"},
                    MathCase{"Ceil", "", -0.5, nullptr}, MathCase{"Trunc", "", -1.7, "-1.000000"},
                    MathCase{"Trunc", "", 0.9, nullptr}, MathCase{"Round", "", 2.5, "3.000000"},
                    MathCase{"Round", "", -2.5, "-3.000000"},
                    MathCase{"Round", "", 0.5, "1.000000"}, MathCase{"Round", "", 0.4, nullptr},
                    MathCase{"Round", "", -0.4, nullptr}, MathCase{"Floor", "", kInf, "inf"},
                    MathCase{"Ceil", "", -kInf, "-inf"}, MathCase{"Trunc", "", -kNaN, "-nan"},
                    // Exact everywhere: the largest double below 1/2, the halves near 2^52.
                    MathCase{"Round", "", 0.49999999999999994, nullptr},
                    MathCase{"Round", "", -0.49999999999999994, nullptr},
                    MathCase{"Round", "", 0x1p52 - 0.5, "4503599627370496.000000"},
                    MathCase{"Round", "", -(0x1p52 - 1.5), "-4503599627370495.000000"},
                    MathCase{"Floor", "", -(0x1p52 - 0.5), "-4503599627370496.000000"},
                    MathCase{"Ceil", "", 0x1p52 - 1.5, "4503599627370495.000000"},
                    MathCase{"Round", "", -kNaN, "-nan"}));

INSTANTIATE_TEST_SUITE_P(
    Exponentials, Math,
    testing::Values(
        MathCase{"Exponent", "", 0, "1.000000"}, MathCase{"Exponent", "", 1, "2.718282"},
        MathCase{"Exponent", "", -1000, nullptr}, MathCase{"Exponent", "", 1000, "inf"},
        MathCase{"Power", "2", 10, "1024.000000"},
        MathCase{"Power", "2", -7, "0.007812"},  // 0.0078125: the tie goes to even
        MathCase{"Power", "abc", 2, nullptr}, MathCase{"Power", "0", 0, "1.000000"},
        MathCase{"Power", " 2.5e1xyz", 2, "625.000000"}, MathCase{"Power", "-8", 1.0 / 3.0, "nan"},
        MathCase{"Power", "10", 22, "10000000000000000000000.000000"},
        MathCase{"Power", "2", 1024, "inf"},
        // An exact tie goes to even; results far past 1e15 keep every digit.
        MathCase{"Power", "10", 23, "99999999999999991611392.000000"},
        MathCase{"Power", "1.0000001", 1e9, "26881038582144647470035137871132316907077632.000000"},
        MathCase{"Power", "3", 40, "12157665459056928768.000000"},
        // Subnormal results: 2^-1074 is nonzero; 2^-1075 ties to the even zero.
        MathCase{"Power", "2", -1074, "0.000000"}, MathCase{"Power", "2", -1075, nullptr},
        MathCase{"Exponent", "", -745, "0.000000"}, MathCase{"Exponent", "", -746, nullptr},
        // NaNs: an argument's NaN keeps its sign, the text's first; C's pow(x, 0)
        // and pow(1, y) are 1 even for a NaN.
        MathCase{"Power", "-nan", 1, "-nan"}, MathCase{"Power", "nan", -kNaN, "nan"},
        MathCase{"Power", "2", -kNaN, "-nan"}, MathCase{"Power", "-nan", 0, "1.000000"},
        MathCase{"Power", "1", -kNaN, "1.000000"},
        MathCase{"Power", "1", kSignalingNaN, "1.000000"},
        MathCase{"Exponent", "", -kNaN, "-nan"}));

INSTANTIATE_TEST_SUITE_P(
    Remainders, Math,
    testing::Values(
        MathCase{"Remainder", "10", 3, "1.000000"}, MathCase{"Remainder", "11", 3, "-1.000000"},
        MathCase{"Remainder", "7.5", 2, "-0.500000"}, MathCase{"Remainder", "9", 3, nullptr},
        MathCase{"Remainder", "1000000", 0.3, "0.060264"},
        MathCase{"Remainder", "1000", 0.1, "-0.000015"}, MathCase{"Remainder", "5", 0, "nan"},
        MathCase{"Remainder", "5", 1e39, "5.000000"}, MathCase{"Remainder", "5", -1e39, "5.000000"},
        MathCase{"Remainder", "5", 1e-46, "nan"}, MathCase{"Remainder", "-nan", 3, "-nan"},
        MathCase{"Remainder", "3", -kNaN, "-nan"}, MathCase{"Remainder", "1e300", 0.3, "0.058959"},
        // Just below halfway between the largest float and 2^128 the divisor
        // rounds to the largest float; from halfway on, to infinity.
        MathCase{"Remainder", "0x1p128", 0x1.fffffefffffffp127,
                 "20282409603651670423947251286016.000000"},
        MathCase{"Remainder", "0x1p128", 0x1.ffffffp127,
                 "340282366920938463463374607431768211456.000000"},
        MathCase{"Remainder", "inf", 3, "nan"}));

// The shared table (tests/math_cases.inc): hard cases and a seeded sample with the "%f" text of
// MPFR's correctly rounded value, written and checked against MPFR by math_reference_test on
// Linux. Every platform must give these bytes.
const MathCase kSharedCases[] = {
#include "math_cases.inc"
};

TEST(Math, EveryPlatformWritesTheCorrectlyRoundedText) {
  const std::string earlier = "untouched";
  int mismatches = 0;
  for (const MathCase& c : kSharedCases) {
    const Outcome outcome = call(c.export_name, c.text, c.number, earlier);
    const bool ok = c.expected == nullptr
                        ? (outcome.result == 0.0f && outcome.buffer == earlier)
                        : (outcome.result == 1.0f && outcome.buffer == c.expected);
    if (!ok) {
      ++mismatches;
      ADD_FAILURE() << testing::PrintToString(c) << ": expected "
                    << (c.expected != nullptr ? c.expected : "<zero>") << ", got "
                    << outcome.buffer;
    }
  }
  std::printf("%zu shared math cases, %d mismatches\n", std::size(kSharedCases), mismatches);
  EXPECT_GT(std::size(kSharedCases), 3000U);
}

// The caller's floating-point environment (MXCSR: x86-64 computes doubles in SSE): each directed
// rounding mode, flush-to-zero with denormals-are-zero as graphics and audio hosts set them,
// unmasked exceptions, raised flags. The shared table comes out as in the default environment,
// and the caller gets its environment back bit for bit.
TEST(Math, NoCallerFloatingPointEnvironmentChangesAnAnswer) {
  constexpr unsigned kDefault = 0x1F80;
  const struct {
    const char* what;
    unsigned mxcsr;
  } environments[] = {{"upward", 0x5F80},
                      {"downward", 0x3F80},
                      {"toward zero", 0x7F80},
                      {"flush-to-zero and denormals-are-zero", 0x9FC0},
                      {"upward, flush-to-zero, denormals-are-zero, every flag raised", 0xDFFF},
                      {"invalid, zero-divide and overflow unmasked", 0x1900}};
  std::string buffer(KORVANE_BUFFER_CAPACITY, '\0');
  for (const auto& environment : environments) {
    int mismatches = 0;
    for (const MathCase& c : kSharedCases) {
      const korvane_script_function function = find_export(c.export_name);
      buffer.assign(KORVANE_BUFFER_CAPACITY, '\0');
      buffer.replace(0, 9, "untouched");
      _mm_setcsr(environment.mxcsr);
      const float result = function(c.text, c.number, buffer.data(), 0);
      const unsigned after = _mm_getcsr();
      _mm_setcsr(kDefault);
      const bool ok = c.expected == nullptr
                          ? (result == 0.0f && std::strcmp(buffer.c_str(), "untouched") == 0)
                          : (result == 1.0f && std::strcmp(buffer.c_str(), c.expected) == 0);
      if (!ok || after != environment.mxcsr) {
        if (++mismatches <= 5) {
          ADD_FAILURE() << environment.what << ": " << testing::PrintToString(c) << " gave "
                        << buffer.c_str() << ", expected "
                        << (c.expected != nullptr ? c.expected : "<zero>") << "; MXCSR " << std::hex
                        << environment.mxcsr << " came back as " << after;
        }
      }
    }
    EXPECT_EQ(mismatches, 0) << environment.what;
  }
  // A signaling NaN raises no flag and, with invalid operations unmasked, no trap.
  for (const char* name : {"Floor", "Ceil", "Trunc", "Round", "Exponent", "Sine"}) {
    buffer.assign(KORVANE_BUFFER_CAPACITY, '\0');
    const korvane_script_function function = find_export(name);
    _mm_setcsr(0x1F00);
    const float result = function(nullptr, kSignalingNaN, buffer.data(), 0);
    const unsigned after = _mm_getcsr();
    _mm_setcsr(kDefault);
    EXPECT_EQ(result, 1.0f) << name;
    EXPECT_STREQ(buffer.c_str(), "nan") << name;
    EXPECT_EQ(after, 0x1F00U) << name;
  }
}

// The published worst cases of sin, cos and tan for correct rounding that the degree
// conversion reaches, every row, with the text of the correctly rounded value.
TEST(Math, PublishedTrigonometricWorstCases) {
  const std::vector<TrigWorstCase> rows = read_trig_worst_cases(KORVANE_TRIG_WORST_CASES);
  ASSERT_EQ(rows.size(), 151317U);
  const korvane_script_function functions[] = {find_export("Sine"), find_export("Cosine"),
                                               find_export("Tangent")};
  std::string buffer(KORVANE_BUFFER_CAPACITY, '\0');
  int mismatches = 0;
  for (const TrigWorstCase& row : rows) {
    const int which = row.export_name == "Sine" ? 0 : row.export_name == "Cosine" ? 1 : 2;
    buffer[0] = '\0';
    const float result = functions[which](nullptr, row.number, buffer.data(), 0);
    if (result != 1.0f || row.expected != buffer.c_str()) {
      if (++mismatches <= 10) {
        ADD_FAILURE() << row.export_name << "(" << std::hexfloat << row.number << std::defaultfloat
                      << "): expected " << row.expected << ", got " << buffer.c_str() << " (result "
                      << result << ")";
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// The base of Power is read as C's strtod reads it, in the "C" locale whatever the host's:
// Power(text, 1) is the number read.
INSTANTIATE_TEST_SUITE_P(
    NumberReading, Math,
    testing::Values(
        MathCase{"Power", "2.5", 1, "2.500000"},  // a point, never the locale's comma
        MathCase{"Power", "2,5", 1, "2.000000"}, MathCase{"Power", " \t\n\v\f\r7", 1, "7.000000"},
        MathCase{"Power", "+7", 1, "7.000000"}, MathCase{"Power", "-7e-1x", 1, "-0.700000"},
        MathCase{"Power", "+-7", 1, nullptr}, MathCase{"Power", "-+7", 1, nullptr},
        MathCase{"Power", ".5", 1, "0.500000"}, MathCase{"Power", "5.", 1, "5.000000"},
        MathCase{"Power", ".", 1, nullptr}, MathCase{"Power", "e5", 1, nullptr},
        MathCase{"Power", "1e", 1, "1.000000"}, MathCase{"Power", "1e+", 1, "1.000000"},
        MathCase{"Power", "1E2", 1, "100.000000"}, MathCase{"Power", "0x1p4", 1, "16.000000"},
        MathCase{"Power", "-0X.8", 1, "-0.500000"}, MathCase{"Power", "0x1.8p1", 1, "3.000000"},
        MathCase{"Power", "0xAbC", 1, "2748.000000"}, MathCase{"Power", "0x", 1, nullptr},
        MathCase{"Power", "0xg", 1, nullptr}, MathCase{"Power", "0x-1", 1, nullptr},
        MathCase{"Power", "0x.p1", 1, nullptr}, MathCase{"Power", "0x1p", 1, "1.000000"},
        MathCase{"Power", "inf", 1, "inf"}, MathCase{"Power", "-Infinity", 1, "-inf"},
        MathCase{"Power", "INFINITE", 1, "inf"}, MathCase{"Power", "nan", 1, "nan"},
        MathCase{"Power", "nan(123)", 1, "nan"}, MathCase{"Power", "in", 1, nullptr},
        MathCase{"Power", "1e400", 1, "inf"}, MathCase{"Power", "-1e400", 1, "-inf"},
        MathCase{"Power", "0.0000001e-400", 1, nullptr}, MathCase{"Power", "1e-400", 1, nullptr},
        MathCase{"Power", "0x1p5000", 1, "inf"}, MathCase{"Power", "0x1p-5000", 1, nullptr},
        MathCase{"Power", "123456789012345678901234567890e-30", 1, "0.123457"},
        MathCase{"Power", "4.9e-324", 1, "0.000000"},
        // A sign with no number after it reads as +0 (0 to the -1 is +inf, where
        // -0 would give -inf); an exponent marker with two signs ends the number.
        MathCase{"Power", "-", -1, "inf"}, MathCase{"Power", "-abc", -1, "inf"},
        MathCase{"Power", " -x", -1, "inf"}, MathCase{"Power", " -0x", -1, "-inf"},
        MathCase{"Power", "0xFAFp+-1066", 1, "4015.000000"},
        MathCase{"Power", "0x1p-+3", 1, "1.000000"}, MathCase{"Power", "1e+-5", 1, "1.000000"}));

// The C library's "%f" in the "C" locale: only the decimal point can differ under the host's
// locale, and it is put back to a point.
std::string c_fixed6(double value) {
  char text[512];
  std::snprintf(text, sizeof text, "%f", value);
  std::string result = text;
  const char point = std::localeconv()->decimal_point[0];
  for (char& c : result) {
    if (c == point) {
      c = '.';
    }
  }
  return result;
}

// The shortest hexadecimal text of a value, which reads back exactly.
std::string hex_text(double value) {
  char text[64] = "0x";
  const double magnitude = std::fabs(value);
  const auto end =
      std::to_chars(text + 2, text + sizeof text, magnitude, std::chars_format::hex).ptr;
  return (value < 0 ? "-" : "") + std::string(text, end);
}

TEST(NumberText, AgreesWithTheCLibrarysFixedConversion) {
  std::mt19937_64 random(20261208);
  std::uniform_int_distribution<std::uint64_t> any_bits;
  std::uniform_real_distribution<double> moderate(-1e7, 1e7);
  int compared = 0;
  for (int i = 0; i < 20000; ++i) {
    double value = 0.0;
    if (i % 2 == 0) {
      const std::uint64_t bits = any_bits(random);
      std::memcpy(&value, &bits, sizeof value);
    } else {
      // Values with few decimals, where ties to even decide the last digit.
      value = std::round(moderate(random) * 1e7) / 1e7 + (i % 4 == 1 ? 0.0000005 : 0.0);
    }
    if (!std::isfinite(value) || value == 0.0) {
      continue;
    }
    const Outcome outcome = call("Power", hex_text(value).c_str(), 1.0);
    ASSERT_EQ(outcome.buffer, c_fixed6(value)) << hex_text(value);
    ++compared;
  }
  EXPECT_GT(compared, 15000);
}

TEST(NumberText, HugeValuesKeepEveryDigit) {
  const Outcome largest = call("Power", "0x1.fffffffffffffp1023", 1.0);
  EXPECT_EQ(largest.buffer.size(), 309U + 7U);
  EXPECT_EQ(largest.buffer.substr(0, 20), "17976931348623157081");
  EXPECT_EQ(largest.buffer.substr(300), "124858368.000000");
  EXPECT_EQ(call("Power", "-0x1.fffffffffffffp1023", 1.0).buffer.size(), 317U);
}

}  // namespace
}  // namespace korvane::test
