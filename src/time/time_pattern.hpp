// Time patterns: the conversions of C's strftime, in the "C" locale's names and forms.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "time/clock.hpp"

namespace korvane {

// Longest formatted time, in characters (its NUL makes 255 bytes).
inline constexpr std::size_t kTimeTextMax = 254;

// Formats `time` by `pattern` into `out` (kTimeTextMax + 1 bytes) and returns the length, or
// nothing when the text needs more than kTimeTextMax characters. A conversion specification
// that C does not define is copied as it stands.
std::optional<std::size_t> format_time(std::string_view pattern, const ZonedTime& time,
                                       char* out) noexcept;

}  // namespace korvane
