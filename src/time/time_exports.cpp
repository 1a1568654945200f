// Time_Format, Precision_TimeStamp, Start_Counter, End_Counter.
#include "frame/buffer.hpp"
#include "frame/c_locale.hpp"
#include "frame/export.hpp"
#include "time/clock.hpp"
#include "time/time_pattern.hpp"

#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>

namespace korvane {
namespace {

constexpr std::string_view kDefaultPattern = "The current time is : %I:%M%p.";

// Formats `time` by `pattern` over the buffer; a text longer than kTimeTextMax leaves the empty
// text. Returns 0 only for a null buffer.
float deliver_time(std::string_view pattern, const ZonedTime& time, char* buffer) noexcept {
  char text[kTimeTextMax + 1];
  const std::optional<std::size_t> length = format_time(pattern, time, text);
  return result(overwrite_buffer(buffer, std::string_view(text, length.value_or(0))));
}

float deliver_integer(std::int64_t value, char* buffer) noexcept {
  char text[24];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return result(
      overwrite_buffer(buffer, std::string_view(text, static_cast<std::size_t>(end - text))));
}

// A start time as atoi reads it (white space, a sign, decimal digits), in 64 bits. Nothing
// when there are no digits or the number is out of range.
std::optional<std::int64_t> read_start_time(std::string_view text) noexcept {
  std::size_t i = 0;
  while (i < text.size() && is_c_space(text[i])) {
    ++i;
  }
  // from_chars takes a '-' but not a '+'.
  if (i < text.size() && text[i] == '+' && i + 1 < text.size() && text[i + 1] != '-') {
    ++i;
  }
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data() + i, text.data() + text.size(), value);
  if (error != std::errc()) {
    return std::nullopt;
  }
  return value;
}

}  // namespace
}  // namespace korvane

KORVANE_EXPORT(Time_Format) {
  const std::string_view pattern =
      text == nullptr ? korvane::kDefaultPattern : std::string_view(text);
  korvane::ZonedTime time;
  const bool converted = korvane::local_time(korvane::now_seconds(), time);
  return korvane::deliver_time(converted ? pattern : std::string_view(), time, buffer);
}

KORVANE_EXPORT(Precision_TimeStamp) {
  return korvane::deliver_time(korvane::text_argument(text),
                               korvane::utc_time(korvane::now_seconds()), buffer);
}

KORVANE_EXPORT(Start_Counter) { return korvane::deliver_integer(korvane::now_seconds(), buffer); }

KORVANE_EXPORT(End_Counter) {
  const std::optional<std::string_view> start_text = korvane::buffer_text(buffer);
  if (!start_text) {
    return korvane::kFalse;
  }
  const std::optional<std::int64_t> start = korvane::read_start_time(*start_text);
  const std::int64_t now = korvane::now_seconds();
  // now - start must fit in 64 bits: start must not lie too far in the past or the future.
  if (!start || (*start < 0 && now > std::numeric_limits<std::int64_t>::max() + *start) ||
      (*start > 0 && now < std::numeric_limits<std::int64_t>::min() + *start)) {
    return korvane::kFalse;
  }
  return korvane::deliver_integer(now - *start, buffer);
}
