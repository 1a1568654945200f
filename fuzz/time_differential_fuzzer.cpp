// format_time against the C library's strftime in the "C" locale, for patterns made of the
// conversions C defines (with their E and O modifiers) and literal bytes, and broken-down times
// either converted from a calendar time (where utc_time must also agree with gmtime_r) or made
// of arbitrary fields within their ranges. Texts of at most 254 characters must be equal; a
// longer text must be refused.
//
// Two places where glibc departs from C are kept out: below the year 1000 glibc writes %C
// without its leading zeros ("0" for the year 5, where C has two digits, "00"), and where the
// year, or the ISO week-based year one past it, exceeds INT_MAX, glibc's int wraps around.
#include <locale.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <string>
#include <string_view>

#include "fuzz_input.hpp"
#include "time/clock.hpp"
#include "time/time_pattern.hpp"

namespace {

// Every conversion C defines, and the modified forms it allows.
constexpr const char* kConversions[] = {
    "%a",  "%A",  "%b",  "%B",  "%c",  "%C",  "%d",  "%D",  "%e",  "%F",  "%g",  "%G",
    "%h",  "%H",  "%I",  "%j",  "%m",  "%M",  "%n",  "%p",  "%r",  "%R",  "%S",  "%t",
    "%T",  "%u",  "%U",  "%V",  "%w",  "%W",  "%x",  "%X",  "%y",  "%Y",  "%z",  "%Z",
    "%%",  "%Ec", "%EC", "%Ex", "%EX", "%Ey", "%EY", "%Od", "%Oe", "%OH", "%OI", "%Om",
    "%OM", "%OS", "%Ou", "%OU", "%OV", "%Ow", "%OW", "%Oy"};
constexpr std::size_t kConversionCount = sizeof kConversions / sizeof kConversions[0];

using Input = korvane::fuzz::FuzzInput;

[[noreturn]] void fail(const char* what, const std::string& pattern) {
  std::fprintf(stderr, "%s (pattern \"%s\")\n", what, pattern.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", nullptr);
  Input in{data, size};
  korvane::ZonedTime time;
  std::tm& t = time.fields;
  if ((in.byte() & 1U) == 0) {
    // A calendar time whose year fits an int (about two billion years either way).
    const auto seconds =
        static_cast<std::int64_t>(in.big_endian(8)) % std::int64_t{60'000'000'000'000'000};
    time = korvane::utc_time(seconds);
    const auto c_seconds = static_cast<std::time_t>(seconds);
    std::tm c{};
    if (gmtime_r(&c_seconds, &c) == nullptr) {
      fail("gmtime_r failed", "");
    }
    if (c.tm_sec != t.tm_sec || c.tm_min != t.tm_min || c.tm_hour != t.tm_hour ||
        c.tm_mday != t.tm_mday || c.tm_mon != t.tm_mon || c.tm_year != t.tm_year ||
        c.tm_wday != t.tm_wday || c.tm_yday != t.tm_yday) {
      std::fprintf(stderr, "utc_time(%lld) differs from gmtime_r\n",
                   static_cast<long long>(seconds));
      std::abort();
    }
  } else {
    t.tm_sec = in.in_range(0, 60);
    t.tm_min = in.in_range(0, 59);
    t.tm_hour = in.in_range(0, 23);
    t.tm_mday = in.in_range(1, 31);
    t.tm_mon = in.in_range(0, 11);
    t.tm_year = static_cast<int>(static_cast<std::uint32_t>(in.big_endian(4)));
    if (t.tm_year > std::numeric_limits<int>::max() - 1901) {
      t.tm_year -= 1901;
    }
    t.tm_wday = in.in_range(0, 6);
    t.tm_yday = in.in_range(0, 365);
  }
  t.tm_isdst = 0;
  // A zone: an offset up to a day either way, to the second, and a short name (not empty: for
  // an empty name glibc falls back to its own zone's name).
  time.utc_offset_seconds = in.in_range(-86400, 86400);
  const std::size_t name_length = 1 + in.byte() % 8;
  for (std::size_t i = 0; i < name_length; ++i) {
    time.zone_name[i] = static_cast<char>('A' + in.byte() % 26);
  }
  time.zone_name[name_length] = '\0';

  const bool century_has_two_digits = std::int64_t{t.tm_year} + 1900 >= 1000;
  std::string pattern;
  for (int items = 0; items < 64 && in.size > 0; ++items) {
    const std::uint8_t b = in.byte();
    if (b >= 0x80) {
      const std::string_view conversion = kConversions[(b - 0x80U) % kConversionCount];
      if (conversion.back() != 'C' || century_has_two_digits) {
        pattern += conversion;
      }
    } else if (b != '%' && b != '\0') {
      pattern += static_cast<char>(b);
    }
  }

  std::tm c = t;
  c.tm_gmtoff = static_cast<long>(time.utc_offset_seconds);
  c.tm_zone = time.zone_name;
  static char expected[16384];
  const std::size_t expected_length =
      strftime_l(expected, sizeof expected, pattern.c_str(), &c, c_locale);
  char got[korvane::kTimeTextMax + 1];
  const auto length = korvane::format_time(pattern, time, got);
  if (expected_length <= korvane::kTimeTextMax) {
    if (!length || std::string_view(got, *length) != std::string_view(expected, expected_length)) {
      std::fprintf(stderr, "ours: \"%s\"\nC:    \"%s\"\n", length ? got : "<refused>", expected);
      fail("format_time differs from strftime", pattern);
    }
  } else if (length) {
    fail("format_time accepted a text longer than 254 characters", pattern);
  }
  return 0;
}
