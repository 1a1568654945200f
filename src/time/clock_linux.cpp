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
  // The name and its NUL only: strncpy would also fill the rest of the block with NULs.
  const std::size_t length = strnlen(zone, sizeof out.zone_name - 1);
  std::memcpy(out.zone_name, zone, length);
  out.zone_name[length] = '\0';
  return true;
}

}  // namespace korvane
