// The math exports against MPFR, an independent correctly rounded reference (Linux only): a
// table of hard cases, a seeded random sweep, the shared table of cases that both platforms
// check (tests/math_cases.inc, which this program also writes: --write-cases FILE), and the
// library's generated constants (src/numeric/math_tables.inc).
#include <gtest/gtest.h>
#include <mpfr.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "numeric/math_tables.hpp"
#include "support/calls.hpp"
#include "support/mpfr_reference.hpp"
#include "support/trig_worst_cases.hpp"

namespace korvane::test {
namespace {

struct Case {
  const char* export_name;
  std::string text;
  double number;
};

std::string hex_text(double value) {
  if (std::isnan(value)) {
    return std::signbit(value) ? "-nan" : "nan";
  }
  if (std::isinf(value)) {
    return value < 0 ? "-inf" : "inf";
  }
  char text[64] = "0x";
  const auto end =
      std::to_chars(text + 2, text + sizeof text, std::fabs(value), std::chars_format::hex).ptr;
  return (std::signbit(value) ? "-" : "") + std::string(text, end);
}

// Reads a case's text the way the tests write it (hex, inf, nan with a sign).
double text_value(const std::string& text) {
  if (text == "nan") return std::numeric_limits<double>::quiet_NaN();
  if (text == "-nan") return -std::numeric_limits<double>::quiet_NaN();
  return std::strtod(text.c_str(), nullptr);
}

// Degrees whose radians (after the conversion with 3.14159265) lie closest to an odd multiple
// of pi/2 among the doubles near (m + 1/2) pi 180 / 3.14159265, m of every size: tangents far
// past 5e8, whose error bounds in the multiprecision division are large.
std::vector<Case> tangent_poles() {
  std::vector<Case> cases;
  const DoubleContext context;
  mpfr_t pole, degrees, value;
  mpfr_inits2(300, pole, degrees, value, static_cast<mpfr_ptr>(nullptr));
  for (const double m : {1e6, 1234567.0, 1e7 + 3, 5e8, 1e12, 0x1p40 + 1, 1e15, 0x1p60}) {
    mpfr_const_pi(pole, MPFR_RNDN);
    mpfr_mul_d(pole, pole, m + 0.5, MPFR_RNDN);
    mpfr_mul_ui(degrees, pole, 180, MPFR_RNDN);
    mpfr_div_d(degrees, degrees, 3.14159265, MPFR_RNDN);
    double best = mpfr_get_d(degrees, MPFR_RNDN);
    double best_tangent = 0.0;
    double candidate = std::nextafter(std::nextafter(best, 0.0), 0.0);
    for (int i = 0; i < 5; ++i, candidate = std::nextafter(candidate, HUGE_VAL)) {
      mpfr_set_d(value, candidate * 3.14159265 / 180.0, MPFR_RNDN);
      mpfr_tan(value, value, MPFR_RNDN);
      const double tangent = std::fabs(mpfr_get_d(value, MPFR_RNDN));
      if (tangent > best_tangent) {
        best_tangent = tangent;
        best = candidate;
      }
    }
    cases.push_back({"Tangent", "", best});
    cases.push_back({"Tangent", "", -best});
  }
  mpfr_clears(pole, degrees, value, static_cast<mpfr_ptr>(nullptr));
  return cases;
}

// The hard cases: ties, halves, huge angles, huge and subnormal results.
std::vector<Case> hard_cases() {
  std::vector<Case> cases;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double v : {0.49999999999999994,
                   -0.49999999999999994,
                   0.5,
                   -0.5,
                   1.5,
                   2.5,
                   -2.5,
                   0x1p52 - 0.5,
                   0x1p52 + 1,
                   0x1p52 - 1.5,
                   -(0x1p52 - 0.5),
                   0x1p53 - 1,
                   1e300,
                   4.9e-324,
                   -4.9e-324,
                   0.9999999999999999,
                   HUGE_VAL,
                   -HUGE_VAL,
                   nan,
                   -nan}) {
    for (const char* e : {"Floor", "Ceil", "Trunc", "Round"}) {
      cases.push_back({e, "", v});
    }
  }
  for (double v : {1e22,      -1e22,
                   1e14,      1e15,
                   1e300,     1.7976931348623157e308,
                   0x1p1023,  180.0,
                   360.0,     90.0,
                   270.0,     1e-300,
                   4.9e-324,  5e-7,
                   1e6,       1e7,
                   1e9 + 0.5, 5e15,
                   8.5e18,    6381956970095103.0 * 0x1p797,
                   HUGE_VAL,  -HUGE_VAL,
                   nan,       -nan,
                   2.2e-7,    0x1.921fb54442d18p+0 * 180 / 3.14159265,
                   45.0,      135.0,
                   30.0,      0x1.5752b68694ee5p+26}) {
    for (const char* e : {"Sine", "Cosine", "Tangent"}) {
      cases.push_back({e, "", v});
    }
  }
  for (double v : {0.0,
                   1.0,
                   -1.0,
                   709.782712893384,
                   709.7827128933841,
                   709.78,
                   -708.39,
                   -708.4,
                   -745.13321910194110842,
                   -745.1332191019412,
                   -745.2,
                   -740.0,
                   -708.3964185322641,
                   -708.39641853226408,
                   -744.4400719213812,
                   709.089565712824,
                   -720.5,
                   0x1p-53,
                   -0x1p-54,
                   0x1p-54,
                   1e-300,
                   7.09e2,
                   36.0,
                   35.0,
                   40.0,
                   100.0,
                   HUGE_VAL,
                   -HUGE_VAL,
                   nan,
                   -nan}) {
    cases.push_back({"Exponent", "", v});
  }
  const std::pair<const char*, double> powers[] = {
      {"10", 23},
      {"10", 22},
      {"10", -5},
      {"1.0000001", 1e9},
      {"3", 200},
      {"2", -1074},
      {"2", -1075},
      {"2", -1076},
      {"0x1.8p0", -1000},
      {"0x1.8p0", -1800},
      {"2", 1023.5},
      {"2", 1024},
      {"-2", 3},
      {"-2", 1023},
      {"-8", 1.0 / 3.0},
      {"-0", -1},
      {"-0", -2},
      {"0", -0.5},
      {"-1", HUGE_VAL},
      {"0.5", HUGE_VAL},
      {"2", -HUGE_VAL},
      {"-inf", 3},
      {"-inf", -3},
      {"-inf", 2},
      {"inf", -1},
      {"nan", 0},
      {"1", nan},
      {"-nan", 1},
      {"nan", -nan},
      {"2", -nan},
      {"-2", 0.5},
      {"5", 0.5},
      {"0x1.fffffffffffffp1023", 0.5},
      {"4.9e-324", 0.5},
      {"4.9e-324", -1},
      {"0.1", 308},
      {"0.1", 320},
      {"7", 18},
      {"7", 19},
      {"3", 33},
      {"3", 34},
      {"1.1", 400},
      {"1.0001", 50000},
      {"0.9999999999999999", 1e17},
      {"1.0000000000000002", 1e18},
      {"1e-300", 1.05},
      {"1.8470415667005061e-288", -0x1.000007dffdf47p+1009},
      {"1.8470415667005061e-288", 0x1p1000},
      {"-3", -1e300},
      {"0.5", -0x1p64},
      {"1.0000000000000002", 0x1p63},
      // Exact midpoints and exact results, answered in integers: odd parts of 54 bits
      // (3^34, 7^19, (2^27 - 1)^2, 5^23 2^-41 25), a subnormal midpoint (243 2^-1075),
      // roots that are dyadic.
      {"0x1.8p-42", 25},
      {"134217727", 2},
      {"5", 23},
      {"0x1.8p-214", 5},
      {"0x1.9p+4", 1.5},
      {"6561", 0.25},
      {"0x1p-1074", -0.5},
      {"0x1p-1000", 1.075},
      {"0x1.0000000000001p+0", 0x1.6280000000001p+61},
      {"0x1.00000000002p+0", -0x1.6300000000163p+52}};
  for (const auto& [text, y] : powers) {
    cases.push_back({"Power", text, y});
  }
  // x within 2^-43 of 1 and y of 2^52 and more, the results near overflow, below the normal
  // range and near the last subnormal, with y's neighbours.
  for (const double step : {0x1p-52, 0x1p-43, 3 * 0x1p-52, -0x1p-53, -0x1.2345p-45}) {
    const double x = 1.0 + step;
    for (const double target :
         {709.5, 709.78, 708.5, -708.2, -708.3964185322641, -720.0, -744.44, -745.0, -745.13}) {
      const double y = target / std::log1p(step);
      for (const double neighbour :
           {std::nextafter(y, -HUGE_VAL), y, std::nextafter(y, HUGE_VAL)}) {
        cases.push_back({"Power", hex_text(x), neighbour});
      }
    }
  }
  for (const Case& c : tangent_poles()) {
    cases.push_back(c);
  }
  const std::pair<const char*, double> remainders[] = {{"1000000", 0.3},
                                                       {"1e300", 0.3},
                                                       {"1e308", 1e-30},
                                                       {"4.9e-324", 1e-45},
                                                       {"-7.5", 2},
                                                       {"7.5", 2},
                                                       {"5", 2},
                                                       {"6.5", -1},
                                                       {"inf", 1},
                                                       {"5", 0},
                                                       {"nan", 0},
                                                       {"-nan", 3},
                                                       {"3", -nan},
                                                       {"1", HUGE_VAL},
                                                       {"0x1p1023", 0x1p100},
                                                       {"1e-310", 1e-45}};
  for (const auto& [text, y] : remainders) {
    cases.push_back({"Remainder", text, y});
  }
  return cases;
}

// A seeded sweep over magnitudes.
std::vector<Case> random_cases(int per_export, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const auto spread = [&](double low_exponent, double high_exponent) {
    const double e = low_exponent + (high_exponent - low_exponent) * unit(random);
    const double v = std::exp2(e) * (1.0 + unit(random));
    return (random() & 1U) != 0 ? -v : v;
  };
  std::vector<Case> cases;
  for (int i = 0; i < per_export; ++i) {
    const double degrees = i % 4 == 0 ? spread(-40, 1020) : spread(-10, 25);
    cases.push_back({"Sine", "", degrees});
    cases.push_back({"Cosine", "", i % 4 == 1 ? spread(-40, 1020) : spread(-10, 25)});
    cases.push_back({"Tangent", "", i % 4 == 2 ? spread(-40, 1020) : spread(-10, 25)});
    const double rounding = i % 2 == 0 ? spread(-3, 54) : std::ldexp(std::floor(spread(0, 53)), -1);
    const char* rounding_names[] = {"Floor", "Ceil", "Trunc", "Round"};
    cases.push_back({rounding_names[i % 4], "", rounding});
    cases.push_back({"Exponent", "", i % 3 == 0 ? (unit(random) * 1500 - 750) : spread(-60, 9)});
    // Power: results spread from subnormal to overflow, many above 1e15.
    const double base = i % 5 == 0 ? spread(-1074, 1023) : std::fabs(spread(-8, 8));
    const double target = unit(random) * 2150 - 1100;
    double y = target / std::log2(std::fabs(base));
    if (i % 4 == 0) y = std::round(y);
    if (i % 7 == 0) y = std::floor(unit(random) * 60);
    cases.push_back({"Power", hex_text(i % 9 == 0 ? -std::fabs(base) : base), y});
    cases.push_back({"Remainder", hex_text(spread(-30, 1000)), spread(-60, 100)});
  }
  return cases;
}

struct Tally {
  int compared = 0;
  int mismatches = 0;
};

void check(const Case& c, Tally& tally) {
  const std::string expected = expected_text(c.export_name, text_value(c.text), c.number);
  const std::string earlier = "untouched";
  const Outcome outcome = call(c.export_name, c.text.c_str(), c.number, earlier);
  ++tally.compared;
  const bool ok = expected.empty() ? (outcome.result == 0.0f && outcome.buffer == earlier)
                                   : (outcome.result == 1.0f && outcome.buffer == expected);
  if (!ok) {
    ++tally.mismatches;
    ADD_FAILURE() << c.export_name << "(\"" << c.text << "\", " << hex_text(c.number)
                  << "): expected " << (expected.empty() ? "<zero>" : expected) << ", got "
                  << outcome.buffer;
  }
}

// The shared table, as both platforms' math_test reads it.
struct SharedCase {
  const char* export_name;
  const char* text;
  double number;
  const char* expected;  // null: result 0, buffer untouched
};
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const SharedCase kSharedCases[] = {
#include "math_cases.inc"
};

std::string number_source(double v) {
  if (std::isnan(v)) return std::signbit(v) ? "-kNaN" : "kNaN";
  if (std::isinf(v)) return v < 0 ? "-kInf" : "kInf";
  return hex_text(v);
}

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// The hard cases, a seeded sample and every 150th published trigonometric worst case, with
// MPFR's answers: the rows every platform checks, also under every floating-point environment.
std::vector<Case> shared_cases() {
  std::vector<Case> cases = hard_cases();
  for (const Case& c : random_cases(400, 20261210)) {
    cases.push_back(c);
  }
  const std::vector<TrigWorstCase> worst = read_trig_worst_cases(KORVANE_TRIG_WORST_CASES);
  for (std::size_t i = 0; i < worst.size(); i += 150) {
    cases.push_back({worst[i].export_name == "Sine"     ? "Sine"
                     : worst[i].export_name == "Cosine" ? "Cosine"
                                                        : "Tangent",
                     "", worst[i].number});
  }
  return cases;
}

// KORVANE_WRITE_MATH_CASES=tests/math_cases.inc rewrites the shared table from MPFR.
TEST(MathReference, SharedTableIsMpfrs) {
  const std::vector<Case> cases = shared_cases();
  if (const char* path = std::getenv("KORVANE_WRITE_MATH_CASES")) {
    std::ofstream out(path);
    out << "// Generated by math_reference_test (KORVANE_WRITE_MATH_CASES) from MPFR; do not "
           "edit.\n"
        << "// Export, text, number, the \"%f\" text of the correctly rounded value (null: "
           "zero).\n";
    for (const Case& c : cases) {
      const std::string expected = expected_text(c.export_name, text_value(c.text), c.number);
      out << "{\"" << c.export_name << "\", " << quoted(c.text) << ", " << number_source(c.number)
          << ", " << (expected.empty() ? std::string("nullptr") : quoted(expected)) << "},\n";
    }
    ASSERT_TRUE(out.good()) << path;
    return;
  }
  ASSERT_EQ(std::size(kSharedCases), cases.size()) << "regenerate tests/math_cases.inc";
  int mismatches = 0;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const SharedCase& row = kSharedCases[i];
    const Case c{row.export_name, row.text, row.number};
    const std::string expected = expected_text(c.export_name, text_value(c.text), c.number);
    const std::string stored = row.expected != nullptr ? row.expected : "";
    EXPECT_STREQ(row.export_name, cases[i].export_name) << i;
    EXPECT_EQ(std::string(row.text), cases[i].text) << i;
    if (stored != expected) {
      ++mismatches;
      ADD_FAILURE() << "row " << i << ": stored " << stored << ", MPFR " << expected;
    }
  }
  std::printf("shared table: %zu rows, %d differ from MPFR\n", cases.size(), mismatches);
}

// The published trigonometric worst cases: each row's number converts to its radians, and its
// text is MPFR's. KORVANE_WRITE_TRIG_WORST_CASES=FILE writes the table with MPFR's texts (pack
// it with: tar -cJf tests/data/trig_worst_cases.tar.xz -C DIR trig_worst_cases.tsv).
TEST(MathReference, PublishedTrigonometricWorstCasesHoldMpfrsTexts) {
  const std::vector<TrigWorstCase> rows = read_trig_worst_cases(KORVANE_TRIG_WORST_CASES);
  const char* path = std::getenv("KORVANE_WRITE_TRIG_WORST_CASES");
  std::ofstream out;
  if (path != nullptr) {
    out.open(path);
    out << "# The published binary64 worst cases of sin, cos and tan for correct rounding that "
           "the degree conversion (number * 3.14159265 / 180) reaches: values that agree with a "
           "rounding boundary on 43 or more bits after the round bit, and the arguments closest "
           "to multiples of pi/2 (V. Lefevre's testlibm data of 2020-11-27 and bacsel searches, "
           "as collected for the correct-rounding literature).\n"
        << "# export\ttext\tnumber (degrees, %a)\tradians (%a)\tthe \"%f\" text of the "
           "correctly rounded value (MPFR)\n";
  }
  int mismatches = 0;
  for (const TrigWorstCase& row : rows) {
    EXPECT_EQ(row.number * 3.14159265 / 180.0, row.radians) << hex_text(row.number);
    const std::string expected = expected_text(row.export_name, 0.0, row.number);
    if (path != nullptr) {
      out << row.export_name << "\t\t" << hex_text(row.number) << "\t" << hex_text(row.radians)
          << "\t" << expected << "\n";
    } else if (expected != row.expected && ++mismatches <= 10) {
      ADD_FAILURE() << row.export_name << "(" << hex_text(row.number) << "): stored "
                    << row.expected << ", MPFR " << expected;
    }
  }
  EXPECT_EQ(rows.size(), 151317U);
  EXPECT_EQ(mismatches, 0);
  if (path != nullptr) {
    ASSERT_TRUE(out.good()) << path;
  }
}

// The generated constants of src/numeric/math_tables.inc, recomputed.
class Mpfr {
 public:
  Mpfr() { mpfr_init2(v, 4096); }
  ~Mpfr() { mpfr_clear(v); }
  mpfr_t v;
};

void expect_fraction_limbs(mpfr_srcptr value, const std::uint64_t* limbs, int count) {
  Mpfr frac, limb;
  mpfr_frac(frac.v, value, MPFR_RNDZ);
  for (int i = 0; i < count; ++i) {
    mpfr_mul_2ui(frac.v, frac.v, 64, MPFR_RNDZ);
    mpfr_floor(limb.v, frac.v);
    mpfr_sub(frac.v, frac.v, limb.v, MPFR_RNDZ);
    mpfr_sub_d(limb.v, limb.v, static_cast<double>(limbs[i] >> 11) * 2048.0, MPFR_RNDN);
    EXPECT_EQ(mpfr_get_ui(limb.v, MPFR_RNDZ), limbs[i] & 2047U) << "limb " << i;
  }
}

void expect_double_double(mpfr_srcptr value, tables::DoubleDouble dd, const char* what, int index) {
  Mpfr error;
  EXPECT_EQ(dd.hi, mpfr_get_d(value, MPFR_RNDN)) << what << " " << index;
  mpfr_sub_d(error.v, value, dd.hi, MPFR_RNDN);
  mpfr_sub_d(error.v, error.v, dd.lo, MPFR_RNDN);
  EXPECT_LE(std::fabs(mpfr_get_d(error.v, MPFR_RNDN)), std::fabs(dd.hi) * 0x1p-105)
      << what << " " << index;
}

TEST(MathReference, GeneratedTablesAgreeWithMpfr) {
  Mpfr pi, x, y;
  mpfr_const_pi(pi.v, MPFR_RNDN);
  mpfr_ui_div(x.v, 2, pi.v, MPFR_RNDN);
  expect_fraction_limbs(x.v, tables::kTwoOverPiBits, 36);
  mpfr_div_2ui(x.v, pi.v, 1, MPFR_RNDN);
  expect_fraction_limbs(x.v, tables::kHalfPiFraction, 20);
  double sum = 0;
  for (double piece : tables::kHalfPiPieces) {
    mpfr_sub_d(x.v, x.v, piece, MPFR_RNDN);
    sum += piece;
  }
  EXPECT_LE(std::fabs(mpfr_get_d(x.v, MPFR_RNDN)), 0x1p-170);
  mpfr_div_2ui(x.v, pi.v, 1, MPFR_RNDN);
  expect_double_double(x.v, tables::kHalfPi, "pi/2", 0);
  mpfr_const_log2(y.v, MPFR_RNDN);
  expect_fraction_limbs(y.v, tables::kLn2Fraction, 20);
  for (int j = 0; j < 64; ++j) {
    mpfr_set_si(x.v, j, MPFR_RNDN);
    mpfr_div_2ui(x.v, x.v, 6, MPFR_RNDN);
    mpfr_exp2(x.v, x.v, MPFR_RNDN);
    expect_double_double(x.v, tables::kExp2Table[j], "2^(j/64)", j);
  }
  for (int j = 0; j <= 202; ++j) {
    mpfr_set_si(y.v, j, MPFR_RNDN);
    mpfr_div_2ui(y.v, y.v, 8, MPFR_RNDN);
    mpfr_sin(x.v, y.v, MPFR_RNDN);
    if (j > 0) expect_double_double(x.v, tables::kSinCosTable[j].sin, "sin", j);
    mpfr_cos(x.v, y.v, MPFR_RNDN);
    expect_double_double(x.v, tables::kSinCosTable[j].cos, "cos", j);
  }
  for (int i = -38; i <= 53; ++i) {
    const tables::LogEntry& entry = tables::kLogTable[i + 38];
    EXPECT_EQ(entry.c, std::nearbyint(128.0 / (128 + i) * 4096) / 4096) << i;
    mpfr_set_d(x.v, entry.c, MPFR_RNDN);
    mpfr_log(x.v, x.v, MPFR_RNDN);
    mpfr_neg(x.v, x.v, MPFR_RNDN);
    if (i != 0) expect_double_double(x.v, entry.minus_log, "-log c", i);
  }
  for (int n = 1; n <= 24; ++n) {
    mpfr_set_ui(x.v, 1, MPFR_RNDN);
    mpfr_div_ui(x.v, x.v, static_cast<unsigned long>(n), MPFR_RNDN);
    expect_double_double(x.v, tables::kInverse[n], "1/n", n);
    mpfr_fac_ui(y.v, static_cast<unsigned long>(n), MPFR_RNDN);
    mpfr_ui_div(y.v, 1, y.v, MPFR_RNDN);
    expect_double_double(y.v, tables::kInverseFactorial[n], "1/n!", n);
  }
}

TEST(MathReference, HardCasesAgreeWithMpfr) {
  Tally tally;
  for (const Case& c : hard_cases()) {
    check(c, tally);
  }
  std::printf("hard cases: %d compared, %d mismatches\n", tally.compared, tally.mismatches);
}

TEST(MathReference, RandomSweepAgreesWithMpfr) {
  Tally tally;
  for (const Case& c : random_cases(3000, 20261209)) {
    check(c, tally);
  }
  std::printf("random sweep: %d compared, %d mismatches\n", tally.compared, tally.mismatches);
  EXPECT_GE(tally.compared, 21000);
}

}  // namespace
}  // namespace korvane::test
