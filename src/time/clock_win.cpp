#include <cstring>
#include <ctime>

#include "time/clock.hpp"

namespace korvane {

bool local_time(std::int64_t seconds, ZonedTime& out) noexcept {
  const __time64_t t = seconds;
  // _localtime64_s fills the caller's structure: no broken-down time is shared between threads.
  if (_localtime64_s(&out.fields, &t) != 0) {
    return false;
  }
  out.utc_offset_seconds = seconds_from_fields(out.fields) - seconds;
  std::size_t length = 0;
  if (_get_tzname(&length, out.zone_name, sizeof out.zone_name, out.fields.tm_isdst > 0 ? 1 : 0) !=
      0) {
    out.zone_name[0] = '\0';
  }
  return true;
}

}  // namespace korvane
