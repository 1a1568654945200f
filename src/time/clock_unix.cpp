#include <cstring>
#include <ctime>

#include "time/clock.hpp"

namespace korvane {

bool local_time(std::int64_t seconds, ZonedTime& out) noexcept {
  const auto t = static_cast<std::time_t>(seconds);
  if (localtime_r(&t, &out.fields) == nullptr) {
    return false;
  }
  out.utc_offset_seconds = out.fields.tm_gmtoff;
  const char* zone = out.fields.tm_zone != nullptr ? out.fields.tm_zone : "";
  std::strncpy(out.zone_name, zone, sizeof out.zone_name - 1);
  out.zone_name[sizeof out.zone_name - 1] = '\0';
  return true;
}

}  // namespace korvane
