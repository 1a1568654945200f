// Time_Format, Precision_TimeStamp, Start_Counter and End_Counter.
#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <ctime>
#include <regex>
#include <string>
#include <vector>

#include "support/calls.hpp"

#if defined(__GLIBC__)
#include <locale.h>
#endif

namespace korvane::test {
namespace {

// The calendar clock that Time_Format and the counters read. (On Linux it may trail the precise
// clock by a clock tick, so a precise reading could run a second ahead of the exports.)
std::int64_t now() { return static_cast<std::int64_t>(std::time(nullptr)); }

// Calls `first` and `second` within one second of the clock, retrying when the clock ticked
// between them, so that both describe the same moment.
std::pair<Outcome, Outcome> same_second(const char* first_export, const char* first_pattern,
                                        const char* second_export, const char* second_pattern) {
  for (int attempt = 0;; ++attempt) {
    const std::int64_t before = now();
    Outcome first = call(first_export, first_pattern);
    Outcome second = call(second_export, second_pattern);
    if (now() == before || attempt == 5) {
      return {first, second};
    }
  }
}

int to_int(const std::string& digits) {
  int value = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return value;
}

TEST(TimeFormat, TheDefaultPatternNamesTheTwelveHourTime) {
  const auto [text, parts] = same_second("Time_Format", nullptr, "Time_Format", "%I:%M%p");
  EXPECT_EQ(text.result, 1.0f);
  EXPECT_EQ(text.buffer, "The current time is : " + parts.buffer + ".");
}

TEST(TimeFormat, AnEmptyPatternWritesTheEmptyText) {
  const Outcome outcome = call("Time_Format", "", 0.0, "older text");
  EXPECT_EQ(outcome.result, 1.0f);
  EXPECT_EQ(outcome.buffer, "");
}

// Both exports differ only in the zone: local time is UTC moved by the zone's offset.
TEST(TimeFormat, LocalTimeIsUtcMovedByTheZoneOffset) {
  const auto [local, utc] =
      same_second("Time_Format", "%Y %j %H %M %z", "Precision_TimeStamp", "%Y %j %H %M %z");
  ASSERT_TRUE(std::regex_match(local.buffer, std::regex("\\d{4} \\d{3} \\d\\d \\d\\d [-+]\\d{4}")))
      << local.buffer;
  const std::string offset = local.buffer.substr(local.buffer.size() - 5);
  const int sign = offset[0] == '-' ? -1 : 1;
  const int offset_minutes =
      sign * (to_int(offset.substr(1, 2)) * 60 + to_int(offset.substr(3, 2)));
  auto minutes = [](const std::string& text) {
    // Minutes since an arbitrary origin: year, day of year, hour, minute.
    const int year = to_int(text.substr(0, 4));
    return (year * 366 + to_int(text.substr(5, 3))) * 1440 + to_int(text.substr(9, 2)) * 60 +
           to_int(text.substr(12, 2));
  };
  const int year_change = to_int(local.buffer.substr(0, 4)) - to_int(utc.buffer.substr(0, 4));
  if (year_change == 0) {
    EXPECT_EQ(minutes(local.buffer) - minutes(utc.buffer), offset_minutes);
  }
  EXPECT_EQ(utc.buffer.substr(utc.buffer.size() - 5), "+0000");
}

#if !defined(_WIN32)
TEST(TimeFormat, TheZoneComesFromTheEnvironment) {
  // The tests run with TZ=KST-5:30.
  EXPECT_EQ(call("Time_Format", "%Z %z").buffer, "KST +0530");
}
#endif

TEST(TimeFormat, NamesAreTheCLocalesWhateverTheHostsLocale) {
  const Outcome names = call("Precision_TimeStamp", "%a|%A|%b|%B|%p");
  EXPECT_TRUE(std::regex_match(
      names.buffer,
      std::regex("(Sun|Mon|Tue|Wed|Thu|Fri|Sat)\\|(Sun|Mon|Tues|Wednes|Thurs|Fri|Satur)day\\|"
                 "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)\\|"
                 "(January|February|March|April|May|June|July|August|September|October|"
                 "November|December)\\|(AM|PM)")))
      << names.buffer;
  EXPECT_EQ(names.buffer.substr(0, 3), names.buffer.substr(4, 3));
}

TEST(TimeFormat, OutputOfMoreThan254CharactersLeavesTheEmptyText) {
  const std::string fits(254, 'x');
  EXPECT_EQ(call("Time_Format", fits.c_str(), 0.0, "old").buffer, fits);
  const std::string too_long = fits + "x";
  const Outcome outcome = call("Precision_TimeStamp", too_long.c_str(), 0.0, "old");
  EXPECT_EQ(outcome.result, 1.0f);
  EXPECT_EQ(outcome.buffer, "");
}

TEST(PrecisionTimeStamp, HasOneSecondResolution) {
  const auto [first, second] =
      same_second("Precision_TimeStamp", "%H:%M:%S", "Precision_TimeStamp", "%H:%M:%S");
  EXPECT_EQ(first.buffer, second.buffer);
}

#if defined(__GLIBC__)
// Every conversion agrees with the C library's strftime in the "C" locale.
TEST(PrecisionTimeStamp, AgreesWithTheCLibraryForEveryConversion) {
  const std::string conversions = "aAbBcCdDeFgGhHIjmMnprRStTuUVwWxXyY%";
  std::string pattern;
  for (const char c : conversions) {
    pattern += std::string("[%") + c + "]";
  }
  const locale_t c_locale = newlocale(LC_ALL_MASK, "C", nullptr);
  for (int attempt = 0; attempt < 5; ++attempt) {
    // The same clock as the library's: time() may lag it by a tick at a second's turn.
    const std::time_t before = static_cast<std::time_t>(now());
    const Outcome outcome = call("Precision_TimeStamp", pattern.c_str());
    std::tm fields{};
    gmtime_r(&before, &fields);
    char expected[512];
    strftime_l(expected, sizeof expected, pattern.c_str(), &fields, c_locale);
    if (now() == before) {
      EXPECT_EQ(outcome.buffer, expected);
      break;
    }
  }
  freelocale(c_locale);
}
#endif

TEST(StartCounter, OverwritesWithTheCurrentTimeInSeconds) {
  const std::int64_t before = now();
  const Outcome outcome = call("Start_Counter", nullptr, 0.0, std::string(100, 'z'));
  const std::int64_t after = now();
  EXPECT_EQ(outcome.result, 1.0f);
  ASSERT_TRUE(std::regex_match(outcome.buffer, std::regex("[1-9][0-9]*"))) << outcome.buffer;
  const std::int64_t start = std::stoll(outcome.buffer);
  EXPECT_GE(start, before);
  EXPECT_LE(start, after);
}

TEST(EndCounter, WritesTheSecondsSinceTheStartTime) {
  const Outcome start = call("Start_Counter", nullptr);
  const Outcome end = call("End_Counter", nullptr, 0.0, start.buffer);
  EXPECT_EQ(end.result, 1.0f);
  EXPECT_TRUE(end.buffer == "0" || end.buffer == "1") << end.buffer;

  struct Case {
    std::string start;
    std::int64_t expected_offset;  // elapsed = now - start, start = now - offset
  };
  const std::int64_t t = now();
  const std::vector<Case> cases = {
      {std::to_string(t - 100), 100},
      {" \t+" + std::to_string(t - 5) + "xyz", 5},
      {std::to_string(t + 60), -60},                     // the clock went back
      {std::to_string(t - 4102444800LL), 4102444800LL},  // a start time past 2038 works too
  };
  for (const Case& c : cases) {
    const Outcome outcome = call("End_Counter", nullptr, 0.0, c.start);
    EXPECT_EQ(outcome.result, 1.0f) << c.start;
    const std::int64_t elapsed = std::stoll(outcome.buffer);
    EXPECT_GE(elapsed, c.expected_offset) << c.start;
    EXPECT_LE(elapsed, c.expected_offset + 2) << c.start;
  }
  EXPECT_EQ(call("End_Counter", nullptr, 0.0, "-5").buffer.substr(0, 1), "1");
}

TEST(EndCounter, ABufferWithoutAStartTimeIsLeftAsItWas) {
  for (const char* text : {"", "abc", "   ", "+", "-", "+-5", "--5", "99999999999999999999",
                           "-9223372036854775808", "9223372036854775808"}) {
    const Outcome outcome = call("End_Counter", nullptr, 0.0, text);
    EXPECT_EQ(outcome.result, 0.0f) << text;
    EXPECT_EQ(outcome.buffer, text);
  }
  // The largest start time leaves an elapsed time that still fits in 64 bits.
  const Outcome largest = call("End_Counter", nullptr, 0.0, "9223372036854775807");
  EXPECT_EQ(largest.result, 1.0f);
  EXPECT_EQ(largest.buffer.substr(0, 4), "-922");
}

}  // namespace
}  // namespace korvane::test
