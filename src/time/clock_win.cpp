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
  // The runtime's zone names, which the conversion above has set up (from TZ, else from the
  // system's zone); every conversion writes the same names, so reading them here is safe.
  const char* zone = _tzname[out.fields.tm_isdst > 0 ? 1 : 0];
  std::strncpy(out.zone_name, zone != nullptr ? zone : "", sizeof out.zone_name - 1);
  out.zone_name[sizeof out.zone_name - 1] = '\0';
  return true;
}

}  // namespace korvane
