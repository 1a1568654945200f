#include "time/clock.hpp"

#include <cstring>

namespace korvane {
namespace {

// Days from 1970-01-01 to year-month-day in the proleptic Gregorian calendar, and back
// (H. Hinnant's civil calendar algorithms). Our own arithmetic rather than the standard's
// calendars: std::chrono::year stops at +-32,767 and the runtimes' gmtime at platform limits
// (the Windows runtime's at year 3000), while the clock is a 64-bit second count.
std::int64_t days_from_civil(std::int64_t year, unsigned month, unsigned day) noexcept {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto year_of_era = static_cast<unsigned>(year - era * 400);
  const unsigned day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + static_cast<std::int64_t>(day_of_era) - 719468;
}

}  // namespace

std::int64_t now_seconds() noexcept { return static_cast<std::int64_t>(std::time(nullptr)); }

std::int64_t seconds_from_fields(const std::tm& fields) noexcept {
  const std::int64_t days = days_from_civil(static_cast<std::int64_t>(fields.tm_year) + 1900,
                                            static_cast<unsigned>(fields.tm_mon + 1),
                                            static_cast<unsigned>(fields.tm_mday));
  return days * 86400 + fields.tm_hour * 3600 + fields.tm_min * 60 + fields.tm_sec;
}

ZonedTime utc_time(std::int64_t seconds) noexcept {
  std::int64_t days = seconds / 86400;
  std::int64_t second_of_day = seconds % 86400;
  if (second_of_day < 0) {
    second_of_day += 86400;
    --days;
  }
  // Civil date from days since 1970-01-01.
  const std::int64_t shifted = days + 719468;
  const std::int64_t era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
  const auto day_of_era = static_cast<unsigned>(shifted - era * 146097);
  const unsigned year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const unsigned day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const unsigned mp = (5 * day_of_year + 2) / 153;
  const unsigned day = day_of_year - (153 * mp + 2) / 5 + 1;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t year =
      static_cast<std::int64_t>(year_of_era) + era * 400 + (month <= 2 ? 1 : 0);

  ZonedTime out;
  std::tm& f = out.fields;
  f.tm_year = static_cast<int>(year - 1900);
  f.tm_mon = static_cast<int>(month - 1);
  f.tm_mday = static_cast<int>(day);
  f.tm_hour = static_cast<int>(second_of_day / 3600);
  f.tm_min = static_cast<int>(second_of_day / 60 % 60);
  f.tm_sec = static_cast<int>(second_of_day % 60);
  // 1970-01-01 was a Thursday.
  f.tm_wday = static_cast<int>(((days % 7) + 11) % 7);
  f.tm_yday = static_cast<int>(days - days_from_civil(year, 1, 1));
  f.tm_isdst = 0;
  out.utc_offset_seconds = 0;
  std::memcpy(out.zone_name, "UTC", 4);
  return out;
}

}  // namespace korvane
