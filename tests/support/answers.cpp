#include "support/answers.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <ctime>
#include <limits>

namespace korvane::test {
namespace {

constexpr std::size_t kGuard = 64;
constexpr char kGuardByte = '\x5A';
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::tm local_fields(std::int64_t seconds) {
  std::tm fields{};
#if defined(_WIN32)
  const __time64_t t = seconds;
  _localtime64_s(&fields, &t);
#else
  const auto t = static_cast<std::time_t>(seconds);
  localtime_r(&t, &fields);
#endif
  return fields;
}

std::tm utc_fields(std::int64_t seconds) {
  std::tm fields{};
#if defined(_WIN32)
  const __time64_t t = seconds;
  _gmtime64_s(&fields, &t);
#else
  const auto t = static_cast<std::time_t>(seconds);
  gmtime_r(&t, &fields);
#endif
  return fields;
}

// The C locale's names, written out so that the host's locale cannot change them.
constexpr const char* kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};
constexpr const char* kMonths[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};

// `value` in decimal with at least `width` digits, by to_chars: no locale is consulted, so
// that a host changing its locale on another thread cannot disturb the check.
std::string digits(int value, int width) {
  char text[16];
  const auto end = std::to_chars(text, text + sizeof text, value < 0 ? -value : value).ptr;
  std::string result(text, end);
  if (result.size() < static_cast<std::size_t>(width)) {
    result.insert(0, static_cast<std::size_t>(width) - result.size(), '0');
  }
  return value < 0 ? "-" + result : result;
}

std::string date(const std::tm& t) {
  return digits(t.tm_year + 1900, 1) + "-" + digits(t.tm_mon + 1, 2) + "-" + digits(t.tm_mday, 2);
}

std::string time_of_day(const std::tm& t) {
  return digits(t.tm_hour, 2) + ":" + digits(t.tm_min, 2) + ":" + digits(t.tm_sec, 2);
}

// "The current time is : %I:%M%p."
std::string default_pattern(std::int64_t now) {
  const std::tm t = local_fields(now);
  const int hour12 = t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12;
  return "The current time is : " + digits(hour12, 2) + ":" + digits(t.tm_min, 2) +
         (t.tm_hour < 12 ? "AM" : "PM") + ".";
}

// "%Y-%m-%d %H:%M:%S %A %B %p"
std::string local_with_names(std::int64_t now) {
  const std::tm t = local_fields(now);
  return date(t) + " " + time_of_day(t) + " " + kWeekdays[t.tm_wday] + " " + kMonths[t.tm_mon] +
         (t.tm_hour < 12 ? " AM" : " PM");
}

// "%Y-%m-%dT%H:%M:%SZ %a %b %j"
std::string utc_with_names(std::int64_t now) {
  const std::tm t = utc_fields(now);
  return date(t) + "T" + time_of_day(t) + "Z " + std::string(kWeekdays[t.tm_wday], 3) + " " +
         std::string(kMonths[t.tm_mon], 3) + " " + digits(t.tm_yday + 1, 3);
}

std::string seconds(std::int64_t now) { return std::to_string(now); }
std::string since_1e9(std::int64_t now) { return std::to_string(now - 1000000000); }
std::string since_1700000000(std::int64_t now) { return std::to_string(now - 1700000000); }

}  // namespace

const std::vector<FixedCall>& fixed_calls() {
  // A number of 20,000 digits that reads as exactly 1: slow to read, so made every 50th round.
  static const std::string long_number = "1" + std::string(20000, '0') + "e-20000";
  static const std::vector<FixedCall> calls = {
      {"Version", nullptr, 0.0, "keep"},
      {"Version", "text", -1.5, ""},
      {"Is_Digit", "0123456789", 0.0, "keep"},
      {"Is_Digit", "12a", 0.0, ""},
      {"Is_Digit", "\xB2", 0.0, ""},  // superscript two in Latin-1: no digit in "C"
      {"Is_Alpha", "Hello", 0.0, ""},
      {"Is_Alpha", "caf\xE9", 0.0, ""},  // a letter in a Latin-1 locale, not in "C"
      {"Is_Alpha", "", 0.0, ""},
      {"Is_Space", " \t\n\v\f\r", 0.0, ""},
      {"Is_Space", "\xA0", 0.0, ""},  // no-break space in Latin-1
      {"Is_Punct", ".,;:!?[]{}", 0.0, ""},
      {"Is_Punct", "\xA7", 0.0, ""},  // section sign in Latin-1
      {"Is_AlNum", "abc123", 0.0, ""},
      {"Is_AlNum", "abc_123", 0.0, ""},
      {"IsSwitchType", "view:show grid", 0.0, ""},
      {"IsSwitchType", "view:show Grid", 0.0, ""},
      {"IsSwitchType", nullptr, 0.0, ""},
      {"Sine", nullptr, 30.0, "an older, longer text"},
      {"Sine", nullptr, 0.0, "keep"},
      {"Sine", nullptr, 360.0, ""},
      {"Cosine", nullptr, 60.0, ""},
      {"Cosine", nullptr, kInf, ""},
      {"Tangent", nullptr, 90.0, ""},
      {"Floor", nullptr, -0.5, ""},
      {"Floor", nullptr, -1.7976931348623157e308, ""},
      {"Ceil", nullptr, 0.2, ""},
      {"Ceil", nullptr, -0.5, "keep"},
      {"Trunc", nullptr, -1.7, ""},
      {"Round", nullptr, 2.5, ""},
      {"Round", nullptr, -2.5, ""},
      {"Exponent", nullptr, 1.0, ""},
      {"Exponent", nullptr, 1000.0, ""},
      {"Exponent", nullptr, -1000.0, "keep"},
      {"Exponent", nullptr, kNaN, ""},
      {"Power", "2", 10.0, ""},
      {"Power", "2", -7.0, ""},
      {"Power", "2,5", 2.0, ""},  // a comma ends the number in "C"
      {"Power", " 2.5e1xyz", 2.0, ""},
      {"Power", "0x1.fffffffffffffp1023", 1.0, ""},
      {"Power", "-8", 1.0 / 3.0, ""},
      {"Power", "abc", 2.0, "keep"},
      {"Power", long_number.c_str(), 1.0, "", 50},
      {"Remainder", "1000000", 0.3, ""},
      {"Remainder", "1000", 0.1, ""},
      {"Remainder", "5", 0.0, ""},
      {"Remainder", "9", 3.0, "keep"},
      // Starts a process: every 100th round. The output replaces the command line; both command
      // processors print "one" and a line end (read as "\n" on Windows too).
      {"_ShellExecute", nullptr, 0.0, "echo one", 100, "one\n"},
  };
  return calls;
}

const std::vector<ClockCall>& clock_calls() {
  static const std::vector<ClockCall> calls = {
      {"Time_Format", nullptr, "", default_pattern},
      {"Time_Format", "%Y-%m-%d %H:%M:%S %A %B %p", "an older, longer text", local_with_names},
      {"Precision_TimeStamp", "%Y-%m-%dT%H:%M:%SZ %a %b %j", "", utc_with_names},
      {"Start_Counter", nullptr, "an older, longer text", seconds},
      {"End_Counter", nullptr, "1000000000", since_1e9},
      {"End_Counter", nullptr, " +1700000000xyz", since_1700000000},
  };
  return calls;
}

std::string check_reference(const FixedCall& call, const Answer& answer) {
  if (!answer.fault.empty()) {
    return std::string(call.name) + ": " + answer.fault;
  }
  if (call.known != nullptr && (answer.result != 1.0f || answer.buffer != call.known)) {
    return std::string(call.name) + ": result " + std::to_string(answer.result) + ", \"" +
           answer.buffer + "\" where 1 and \"" + call.known + "\" were due";
  }
  return "";
}

Caller::Caller() : block_(KORVANE_BUFFER_CAPACITY + kGuard, kGuardByte) {}

Answer Caller::call(korvane_script_function function, const char* text, double number,
                    const char* buffer) {
  Answer answer;
  const std::size_t length =
      std::min(std::strlen(buffer), std::size_t{KORVANE_BUFFER_CAPACITY} - 1);
  std::memcpy(block_.data(), buffer, length);
  block_[length] = '\0';
  answer.result = function(text, number, block_.data(), 0);
  for (std::size_t i = KORVANE_BUFFER_CAPACITY; i < block_.size(); ++i) {
    if (block_[i] != kGuardByte) {
      answer.fault = "wrote past the capacity";
      block_[i] = kGuardByte;
    }
  }
  const void* nul = std::memchr(block_.data(), '\0', KORVANE_BUFFER_CAPACITY);
  if (nul == nullptr) {
    answer.fault += "left no NUL within the capacity";
    return answer;
  }
  answer.buffer.assign(block_.data(),
                       static_cast<std::size_t>(static_cast<const char*>(nul) - block_.data()));
  return answer;
}

std::string check_clock_call(const ClockCall& call, const Answer& answer, std::int64_t before,
                             std::int64_t after) {
  if (!answer.fault.empty()) {
    return answer.fault;
  }
  if (answer.result != 1.0f) {
    return "result " + std::to_string(answer.result);
  }
  for (std::int64_t t = before; t <= after; ++t) {
    if (answer.buffer == call.expected(t)) {
      return "";
    }
  }
  return "\"" + answer.buffer + "\" where \"" + call.expected(before) + "\" was due";
}

// The C library's time(), the clock the exports read: glibc serves it from a coarse clock that
// can lag the fine one by a tick, so reading the fine one here could see the next second before
// a call that still reads the last one.
std::int64_t now_seconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

}  // namespace korvane::test
