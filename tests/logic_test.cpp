// The library's pure logic through fixed inputs: time patterns over fixed times, the number
// reader, and the file-URI parser. Linked with the library's objects, not loaded.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "desktop/uri_list.hpp"
#include "numeric/number_text.hpp"
#include "time/time_pattern.hpp"

namespace korvane {
namespace {

// Local time `offset` seconds ahead of UTC at the UTC time `seconds`, in the zone `zone`.
ZonedTime zoned(std::int64_t seconds, std::int64_t offset = 0, const char* zone = "UTC") {
  ZonedTime time = utc_time(seconds + offset);
  time.utc_offset_seconds = offset;
  std::strncpy(time.zone_name, zone, sizeof time.zone_name - 1);
  return time;
}

std::optional<std::string> formatted(const char* pattern, const ZonedTime& time) {
  char out[kTimeTextMax + 1];
  const auto length = format_time(pattern, time, out);
  if (!length) {
    return std::nullopt;
  }
  EXPECT_EQ(out[*length], '\0');
  return std::string(out, *length);
}

struct TimeCase {
  std::int64_t seconds;  // UTC
  const char* pattern;
  const char* expected;
};

TEST(TimePattern, FormatsFixedTimes) {
  const TimeCase cases[] = {
      {0, "%Y-%m-%d %H:%M:%S %a %A %b %B %j %u %w",
       "1970-01-01 00:00:00 Thu Thursday Jan January 001 4 4"},
      {-1, "%F %T %a %U %W", "1969-12-31 23:59:59 Wed 52 52"},
      {951782400, "%F %j %a", "2000-02-29 060 Tue"},
      {253402300799, "%c", "Fri Dec 31 23:59:59 9999"},
      {-2208988800, "%x|%C|%y|%W|%U", "01/01/00|19|00|01|00"},
      // ISO 8601 weeks at the turn of the year: the week-based year differs from the year.
      {1609632000, "%F %G-W%V-%u %g", "2021-01-03 2020-W53-7 20"},
      {1104537600, "%F %G-W%V-%u %g", "2005-01-01 2004-W53-6 04"},
      {1230681600, "%F %G-W%V-%u %g %j", "2008-12-31 2009-W01-3 09 366"},
      {1735516800, "%F %G-W%V-%u %U %W", "2024-12-30 2025-W01-1 52 53"},
      // Twelve-hour clock: midnight and noon are 12; the default pattern of Time_Format.
      {1710460800, "%I %p|%r", "12 AM|12:00:00 AM"},
      {1710504000, "%I %p|%R", "12 PM|12:00"},
      {1710511500, "The current time is : %I:%M%p.", "The current time is : 02:05PM."},
      {1710495000, "The current time is : %I:%M%p.", "The current time is : 09:30AM."},
      // Composites and the E/O forms mean their parts; %e pads with a space.
      {1710511500, "%c|%x|%X|%D|%T|%h|%e|%Ec|%EY|%Oy|%Od",
       "Fri Mar 15 14:05:00 2024|03/15/24|14:05:00|03/15/24|14:05:00|Mar|15|"
       "Fri Mar 15 14:05:00 2024|2024|24|15"},
      {1710460800 - 14 * 86400, "[%e]", "[ 1]"},
      // What C does not define is copied as it stands; %% %n %t are characters.
      {1710511500, "%q|%Ez|%E%y|%5Y|100%% %n%t|%", "%q|%Ez|%E24|%5Y|100% \n\t|%"},
      {1710511500, "", ""},
  };
  for (const TimeCase& c : cases) {
    EXPECT_EQ(formatted(c.pattern, zoned(c.seconds)), c.expected)
        << c.pattern << " at " << c.seconds;
  }
}

TEST(TimePattern, ZoneOffsetsAndNames) {
  struct Case {
    std::int64_t offset;
    const char* zone;
    const char* expected;  // "%z %Z %H:%M" at 2024-03-15 14:05 UTC
  };
  const Case cases[] = {
      {0, "UTC", "+0000 UTC 14:05"},       {19800, "KST", "+0530 KST 19:35"},
      {-12600, "NST", "-0330 NST 10:35"},  {-43200, "", "-1200  02:05"},
      {50400, "LINT", "+1400 LINT 04:05"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(formatted("%z %Z %H:%M", zoned(1710511500, c.offset, c.zone)), c.expected)
        << c.offset;
  }
}

TEST(TimePattern, OutputIsAtMost254Characters) {
  const ZonedTime time = zoned(1710511500);
  const std::string x250(250, 'x');
  EXPECT_EQ(formatted((x250 + "xxxx").c_str(), time), x250 + "xxxx");
  EXPECT_EQ(formatted((x250 + "xxxxx").c_str(), time), std::nullopt);
  EXPECT_EQ(formatted((x250 + "%Y").c_str(), time), x250 + "2024");
  EXPECT_EQ(formatted((x250 + "x%Y").c_str(), time), std::nullopt);
  // A conversion's text counts, not the pattern's: 28 of %B%A (14 characters each) is 392.
  std::string names;
  for (int i = 0; i < 28; ++i) {
    names += "%B%A";
  }
  EXPECT_EQ(formatted(names.c_str(), time), std::nullopt);
}

struct NumberCase {
  const char* text;
  double expected;  // compared bit for bit, the sign of a zero included
};

TEST(ReadNumber, FollowsTheCGrammar) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const NumberCase cases[] = {
      {"2", 2.0},
      {" \t\n+3", 3.0},
      {" 2.5e1xyz", 25.0},
      {"1.5E+2abc", 150.0},
      {".5", 0.5},
      {"5.", 5.0},
      {"1e", 1.0},
      {"1e+", 1.0},
      {"1e-x", 1.0},
      {"1_000", 1.0},
      {"-0", -0.0},
      {"0x1.8p1", 3.0},
      {"-0X10", -16.0},
      {"0x.8", 0.5},
      {"0x", 0.0},
      {"0xg", 0.0},
      {"0xFAFp+-1066", 4015.0},  // an exponent takes one sign only
      {"inf", kInf},
      {"-Infinity", -kInf},
      {"infinit", kInf},  // the longest valid prefix is "inf"
      {"1e400", kInf},
      {"-1e400", -kInf},
      {"1e-400", 0.0},
      {"-1e-400", -0.0},
      {"4.9406564584124654e-324", 0x1p-1074},
      {"0x1p-1075", 0.0},
      {"1.00000000000000011102230246251565404236316680908203125", 1.0},  // a tie: to even
      {"", 0.0},
      {".", 0.0},
      {"e5", 0.0},
      {"abc", 0.0},
      {"-", 0.0},  // a sign without a number is no number: +0
      {"+-5", 0.0},
  };
  for (const NumberCase& c : cases) {
    const double value = read_number(c.text);
    EXPECT_TRUE(value == c.expected && std::signbit(value) == std::signbit(c.expected))
        << '"' << c.text << "\" read as " << value;
  }
}

TEST(ReadNumber, NotANumberKeepsItsSign) {
  for (const char* text : {"nan", "NaN(123)", "nan(", "-nan", "-NAN(x_1)"}) {
    const double value = read_number(text);
    EXPECT_TRUE(std::isnan(value)) << text;
    EXPECT_EQ(std::signbit(value), text[0] == '-') << text;
  }
}

TEST(FileUri, LocalPathsOnly) {
  struct Case {
    const char* uri;
    const char* path;  // null: not a local file
  };
  const Case cases[] = {
      {"file:///a/b", "/a/b"},
      {"file://localhost/x%20y", "/x y"},
      {"FILE://LocalHost/A", "/A"},
      {"file:/p", "/p"},
      {"file:///%41%c3%a9", "/A\xc3\xa9"},
      {"file:///a?q=1#f", "/a"},
      {"file:///a%2", "/a%2"},
      {"file:///a%zz", "/a%zz"},
      {"file://host/p", nullptr},
      {"file://", nullptr},
      {"file://localhost", nullptr},
      {"file:relative", nullptr},
      {"file:", nullptr},
      {"http://x/y", nullptr},
      {"fil:///a", nullptr},
      {"file:///a%00b", nullptr},
      {"file:///a%0Ab", nullptr},
  };
  for (const Case& c : cases) {
    std::string path;
    const bool local = file_uri_path(c.uri, path);
    EXPECT_EQ(local, c.path != nullptr) << c.uri;
    if (local && c.path != nullptr) {
      EXPECT_EQ(path, c.path) << c.uri;
    }
  }
}

}  // namespace
}  // namespace korvane
