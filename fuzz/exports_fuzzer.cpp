// Drives the 21 portable exports as a host calls them. The input chooses the export, the text
// (or a null text), the number's bit pattern and the buffer's starting bytes, with or without a
// NUL within the capacity. Whatever the input, a call must:
// - return exactly 0, 1 or (Version alone) 1.01;
// - change nothing outside the buffer's KORVANE_BUFFER_CAPACITY bytes, nor the text argument;
// - leave the buffer untouched when it only reads, or reports 0;
// - otherwise leave NUL-terminated text within the capacity and nothing changed after its NUL.
// Where an oracle is cheap it is checked too: the C library's character classes in the "C"
// locale, and the form of number text (fuzz_math_differential checks the math's values).
#include <korvanelib.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.hpp"

namespace {

constexpr std::size_t kCapacity = KORVANE_BUFFER_CAPACITY;
constexpr std::size_t kGuard = 64;
constexpr unsigned char kGuardByte = 0xA5;

enum class Kind { kVersion, kClass, kSwitch, kMath, kPattern, kStart, kEnd };

struct Export {
  const char* name;
  korvane_script_function function;
  Kind kind;
  int (*c_class)(int);  // kClass: the C library's test of the same class
};

int is_alnum(int c) { return std::isalnum(c); }
int is_alpha(int c) { return std::isalpha(c); }
int is_digit(int c) { return std::isdigit(c); }
int is_punct(int c) { return std::ispunct(c); }
int is_space(int c) { return std::isspace(c); }

const Export kExports[] = {
    {"Version", Version, Kind::kVersion, nullptr},
    {"Is_Digit", Is_Digit, Kind::kClass, is_digit},
    {"Is_Alpha", Is_Alpha, Kind::kClass, is_alpha},
    {"Is_Space", Is_Space, Kind::kClass, is_space},
    {"Is_Punct", Is_Punct, Kind::kClass, is_punct},
    {"Is_AlNum", Is_AlNum, Kind::kClass, is_alnum},
    {"IsSwitchType", IsSwitchType, Kind::kSwitch, nullptr},
    {"Sine", Sine, Kind::kMath, nullptr},
    {"Cosine", Cosine, Kind::kMath, nullptr},
    {"Tangent", Tangent, Kind::kMath, nullptr},
    {"Floor", Floor, Kind::kMath, nullptr},
    {"Ceil", Ceil, Kind::kMath, nullptr},
    {"Trunc", Trunc, Kind::kMath, nullptr},
    {"Round", Round, Kind::kMath, nullptr},
    {"Exponent", Exponent, Kind::kMath, nullptr},
    {"Power", Power, Kind::kMath, nullptr},
    {"Remainder", Remainder, Kind::kMath, nullptr},
    {"Time_Format", Time_Format, Kind::kPattern, nullptr},
    {"Precision_TimeStamp", Precision_TimeStamp, Kind::kPattern, nullptr},
    {"Start_Counter", Start_Counter, Kind::kStart, nullptr},
    {"End_Counter", End_Counter, Kind::kEnd, nullptr},
};
constexpr std::size_t kExportCount = sizeof kExports / sizeof kExports[0];
static_assert(kExportCount == 21);

[[noreturn]] void fail(const Export& e, const char* what) {
  std::fprintf(stderr, "%s: %s\n", e.name, what);
  std::abort();
}

void require(bool condition, const Export& e, const char* what) {
  if (!condition) {
    fail(e, what);
  }
}

// Whether `text` is number text as "%f" writes it ("-", digits, ".", six digits; inf, nan and
// their negatives), or the start of one when the buffer's capacity cut it.
bool is_number_text(std::string_view text) {
  const bool cut = text.size() == kCapacity - 1;
  const std::string_view magnitude = text.substr(!text.empty() && text.front() == '-' ? 1 : 0);
  if (magnitude == "inf" || magnitude == "nan") {
    return true;
  }
  const std::size_t point = magnitude.find('.');
  const std::string_view integer = magnitude.substr(0, point);
  const std::string_view decimals =
      point == std::string_view::npos ? std::string_view() : magnitude.substr(point + 1);
  const auto digits = [](std::string_view part) {
    return part.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (integer.empty() || !digits(integer) || !digits(decimals)) {
    return false;
  }
  return cut ? decimals.size() <= 6 : point != std::string_view::npos && decimals.size() == 6;
}

// The calendar clock the time exports read: time(), which may trail the precise clock by a tick
// at a second's turn.
std::int64_t now_seconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

bool all_digits(std::string_view text, bool allow_sign) {
  if (allow_sign && !text.empty() && text.front() == '-') {
    text.remove_prefix(1);
  }
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
  }
  return true;
}

using Input = korvane::fuzz::FuzzInput;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in{data, size};
  const Export& e = kExports[in.byte() % kExportCount];
  const std::uint8_t flags = in.byte();
  const bool null_text = (flags & 1U) != 0;
  const bool no_nul = (flags & 2U) != 0;  // the buffer holds no NUL within the capacity
  const auto fill = static_cast<char>(in.byte() | (no_nul ? 1U : 0U));
  const std::uint64_t bits = in.big_endian(8);
  double number = 0.0;
  std::memcpy(&number, &bits, sizeof number);
  // The rest: the text up to its first NUL, then the buffer's starting bytes.
  const auto* rest = reinterpret_cast<const char*>(in.data);
  const std::string_view remaining(rest, in.size);
  const std::size_t nul = remaining.find('\0');
  const std::string text(remaining.substr(0, nul));
  const std::string_view start =
      nul == std::string_view::npos ? std::string_view() : remaining.substr(nul + 1);

  // The buffer, with guard bytes on both sides.
  static std::vector<char> block(kGuard + kCapacity + kGuard);
  std::memset(block.data(), static_cast<int>(kGuardByte), block.size());
  char* const buffer = block.data() + kGuard;
  std::memset(buffer, fill, kCapacity);
  const std::size_t start_length = start.size() < kCapacity ? start.size() : kCapacity;
  if (start_length != 0) {
    std::memcpy(buffer, start.data(), start_length);
  }
  if (no_nul) {
    for (std::size_t i = 0; i < kCapacity; ++i) {
      if (buffer[i] == '\0') {
        buffer[i] = fill;
      }
    }
  } else {
    buffer[start_length < kCapacity ? start_length : kCapacity - 1] = '\0';
  }
  static std::vector<char> before(kCapacity);
  std::memcpy(before.data(), buffer, kCapacity);
  const char* const text_argument = null_text ? nullptr : text.c_str();

  const std::int64_t before_call = now_seconds();
  const float result = e.function(text_argument, number, buffer, 0);
  const std::int64_t after_call = now_seconds();

  // Nothing outside the buffer changed.
  for (std::size_t i = 0; i < kGuard; ++i) {
    require(static_cast<unsigned char>(block[i]) == kGuardByte, e, "wrote before the buffer");
    require(static_cast<unsigned char>(block[kGuard + kCapacity + i]) == kGuardByte, e,
            "wrote past the capacity");
  }
  require(text == std::string_view(remaining.substr(0, nul)), e, "changed its text argument");
  // 0, 1 or 1.01, bit for bit.
  const bool is_version_result = result == KORVANE_VERSION;
  require(result == KORVANE_FALSE || result == KORVANE_TRUE || is_version_result, e,
          "returned a value other than 0, 1 or 1.01");
  require(is_version_result == (e.kind == Kind::kVersion), e,
          "1.01 is Version's answer alone, and its only one");
  require(!std::signbit(result), e, "returned -0");

  const bool unchanged = std::memcmp(before.data(), buffer, kCapacity) == 0;
  const void* end = std::memchr(buffer, '\0', kCapacity);
  const std::string_view written =
      end == nullptr
          ? std::string_view()
          : std::string_view(buffer,
                             static_cast<std::size_t>(static_cast<const char*>(end) - buffer));
  // Text was written: a NUL within the capacity, and nothing changed after it.
  const auto check_written = [&] {
    require(end != nullptr, e, "left no NUL within the capacity");
    require(std::memcmp(before.data() + written.size() + 1, buffer + written.size() + 1,
                        kCapacity - written.size() - 1) == 0,
            e, "changed bytes after the text it wrote");
  };
  const std::string_view text_view = null_text ? std::string_view() : std::string_view(text);

  switch (e.kind) {
    case Kind::kVersion:
    case Kind::kSwitch:
      require(unchanged, e, "wrote the buffer");
      if (e.kind == Kind::kSwitch && !text_view.empty() && text_view.front() >= '0' &&
          text_view.front() <= '9') {
        require(result == KORVANE_FALSE, e, "found a path starting with a digit");
      }
      break;
    case Kind::kClass: {
      require(unchanged, e, "wrote the buffer");
      // The C library's classes in the "C" locale (this program never sets another).
      bool every = !text_view.empty();
      for (const char c : text_view) {
        every = every && e.c_class(static_cast<unsigned char>(c)) != 0;
      }
      require(result == (every ? KORVANE_TRUE : KORVANE_FALSE), e,
              "disagrees with the C library's character class");
      break;
    }
    case Kind::kMath: {
      // The values themselves are compared with MPFR's correctly rounded ones by
      // fuzz_math_differential; here, the buffer's use.
      if (result == KORVANE_FALSE) {
        require(unchanged, e, "wrote the buffer for a zero value");
        break;
      }
      check_written();
      require(is_number_text(written), e, "wrote something other than number text");
      break;
    }
    case Kind::kPattern:
      require(result == KORVANE_TRUE, e, "did not return 1");
      check_written();
      require(written.size() <= 254, e, "formatted more than 254 characters");
      // A pattern without conversions is copied, or left empty when longer than 254.
      if (text_argument != nullptr && text_view.find('%') == std::string_view::npos) {
        const std::string_view want = text_view.size() <= 254 ? text_view : std::string_view();
        require(written == want.substr(0, kCapacity - 1), e, "did not copy a plain pattern");
      }
      break;
    case Kind::kStart: {
      require(result == KORVANE_TRUE, e, "did not return 1");
      check_written();
      require(!written.empty() && all_digits(written, true), e, "wrote no integer");
      if (kCapacity > 20) {
        const long long now = std::strtoll(std::string(written).c_str(), nullptr, 10);
        require(now >= before_call && now <= after_call, e, "wrote another time than now");
      }
      break;
    }
    case Kind::kEnd: {
      if (no_nul) {
        require(result == KORVANE_FALSE, e, "read a buffer without a NUL within the capacity");
        require(unchanged, e, "wrote the buffer and returned 0");
        break;
      }
      // The start time as the C library's strtoll reads it: white space, a sign, digits; no
      // digits or a number out of range give 0 and leave the buffer alone, as does an elapsed
      // time that does not fit in 64 bits.
      const std::string start_text(before.data());
      char* end_of_number = nullptr;
      errno = 0;
      const long long start_time = std::strtoll(start_text.c_str(), &end_of_number, 10);
      const bool readable = end_of_number != start_text.c_str() && errno != ERANGE;
      long long elapsed_before = 0;
      long long elapsed_after = 0;
      const bool overflows_before =
          __builtin_sub_overflow(before_call, start_time, &elapsed_before);
      const bool overflows_after = __builtin_sub_overflow(after_call, start_time, &elapsed_after);
      if (!readable || (overflows_before && overflows_after)) {
        require(result == KORVANE_FALSE, e, "answered for a buffer without a start time");
      } else if (!overflows_before && !overflows_after) {
        require(result == KORVANE_TRUE, e, "did not answer for a start time");
      }
      if (result == KORVANE_FALSE) {
        require(unchanged, e, "wrote the buffer and returned 0");
        break;
      }
      check_written();
      require(!written.empty() && all_digits(written, true), e, "wrote no integer");
      if (kCapacity > 21) {
        const long long elapsed = std::strtoll(std::string(written).c_str(), nullptr, 10);
        require(elapsed >= elapsed_before && elapsed <= elapsed_after, e,
                "wrote another elapsed time than now minus the start time");
      }
      break;
    }
  }
  return 0;
}
