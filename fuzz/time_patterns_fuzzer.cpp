// format_time with any pattern bytes and any field values, the out-of-range ones included: it
// must neither fault nor write outside its kTimeTextMax + 1 bytes, must stop at kTimeTextMax
// characters, and must copy a pattern without conversions as it stands.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "fuzz_input.hpp"
#include "time/clock.hpp"
#include "time/time_pattern.hpp"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  korvane::fuzz::FuzzInput in{data, size};
  korvane::ZonedTime time;
  std::tm& t = time.fields;
  t.tm_sec = in.any_int();
  t.tm_min = in.any_int();
  t.tm_hour = in.any_int();
  t.tm_mday = in.any_int();
  t.tm_mon = in.any_int();
  t.tm_year = in.any_int();
  t.tm_wday = in.any_int();
  t.tm_yday = in.any_int();
  t.tm_isdst = in.any_int();
  time.utc_offset_seconds = static_cast<std::int64_t>(in.big_endian(8));
  // The zone name: up to 63 bytes and its NUL.
  const std::size_t name_length = in.big_endian(1) % sizeof time.zone_name;
  for (std::size_t i = 0; i < name_length; ++i) {
    time.zone_name[i] = static_cast<char>(in.big_endian(1) | 1U);
  }
  time.zone_name[name_length] = '\0';
  const std::string_view pattern(reinterpret_cast<const char*>(in.data), in.size);

  constexpr std::size_t kGuard = 32;
  constexpr std::size_t kOut = korvane::kTimeTextMax + 1;
  char block[kGuard + kOut + kGuard];
  std::memset(block, 0x5A, sizeof block);
  char* const out = block + kGuard;
  const auto length = korvane::format_time(pattern, time, out);
  for (std::size_t i = 0; i < kGuard; ++i) {
    if (block[i] != 0x5A || block[kGuard + kOut + i] != 0x5A) {
      fail("format_time wrote outside its output");
    }
  }
  if (length) {
    if (*length > korvane::kTimeTextMax || out[*length] != '\0') {
      fail("format_time's text is too long or not terminated");
    }
    if (pattern.find('%') == std::string_view::npos && std::string_view(out, *length) != pattern) {
      fail("a pattern without conversions was not copied");
    }
  } else if (pattern.find('%') == std::string_view::npos && pattern.size() <= kOut - 1) {
    fail("a plain pattern of at most 254 characters was refused");
  }
  return 0;
}
