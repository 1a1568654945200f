// What a test does when something it needs is missing here (a program, an interpreter, a
// display): outside CI it is skipped, saying what is missing; in CI (the environment variable CI
// is "true") it fails, so that a package missing from scripts/install-deps cannot hide behind a
// skip. The tools left out of scripts/install-deps on purpose (tests/omitted-tools.txt) are
// skipped in CI too.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace korvane::test {

// Whether the tests run in CI: the environment variable CI is "true" (or "1").
bool running_in_ci();

// How a test ends for want of `what`; `remedy` says how to get it.
struct Absence {
  bool fails;           // in CI, and `what` is not a deliberate omission
  std::string message;  // what is missing, and why the test is skipped or fails
};
Absence absence_of(std::string_view what, std::string_view remedy);

}  // namespace korvane::test

// Ends the running test (from its body or SetUp) because `what` is missing: skipped, or in CI
// failed; `remedy` says how to get it (for example "scripts/install-deps installs it").
#define KORVANE_MISSING(what, remedy)                                                           \
  do {                                                                                          \
    const ::korvane::test::Absence korvane_absence = ::korvane::test::absence_of(what, remedy); \
    if (korvane_absence.fails) {                                                                \
      GTEST_FAIL() << korvane_absence.message;                                                  \
    }                                                                                           \
    GTEST_SKIP() << korvane_absence.message;                                                    \
  } while (false)
