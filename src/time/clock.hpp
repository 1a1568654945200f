// The clock and its conversions to broken-down time. The platform supplies local time and the
// zone's name (clock_linux.cpp, clock_win.cpp); the rest is portable (clock.cpp).
#pragma once

#include <cstdint>
#include <ctime>

namespace korvane {

// Broken-down time with what %z and %Z need.
struct ZonedTime {
  std::tm fields{};
  std::int64_t utc_offset_seconds = 0;  // local time minus UTC
  char zone_name[64] = {};              // NUL-terminated, possibly empty
};

// Seconds since 1970-01-01 00:00:00 UTC by the runtime's calendar clock (time(), 64-bit), the
// one clock of every time export, so that they agree with each other at a second's turn. On
// Linux it is the kernel's second count, which costs next to nothing.
std::int64_t now_seconds() noexcept;

// UTC broken-down time of `seconds`, zone "UTC". Works for any 64-bit count.
ZonedTime utc_time(std::int64_t seconds) noexcept;

// Local broken-down time of `seconds` by the platform's zone rules; false when the platform
// cannot convert it. Thread-safe.
bool local_time(std::int64_t seconds, ZonedTime& out) noexcept;

// Seconds from 1970-01-01 00:00:00 to the calendar fields' date and time, read as UTC.
std::int64_t seconds_from_fields(const std::tm& fields) noexcept;

}  // namespace korvane
