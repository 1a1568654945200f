// The portable exports beside bare baselines: the same computation and the same output text,
// written with the C library directly (math functions, snprintf, strtod, strcmp, strftime).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <string>

#include "harness.hpp"
#include "host/library.hpp"
#include "numeric/number_text.hpp"

namespace korvane::bench {
namespace {

// Baselines: script functions like the exports, so that both are called the same way.

float bare_version(const char*, double, char*, int) { return 1.01f; }

// Every byte of the text in a class, as a plain loop over the NUL-terminated text.
template <typename InClass>
float bare_every_byte(const char* text, double, char*, int) {
  if (*text == '\0') {
    return 0.0f;
  }
  for (const char* p = text; *p != '\0'; ++p) {
    if (!InClass{}(static_cast<unsigned char>(*p))) {
      return 0.0f;
    }
  }
  return 1.0f;
}

struct Digit {
  bool operator()(unsigned char c) const { return c >= '0' && c <= '9'; }
};
struct Alpha {
  bool operator()(unsigned char c) const {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  }
};
struct Space {
  bool operator()(unsigned char c) const { return c == ' ' || (c >= '\t' && c <= '\r'); }
};
struct Punct {
  bool operator()(unsigned char c) const {
    return c > ' ' && c < 0x7F && !Digit{}(c) && !Alpha{}(c);
  }
};
struct AlNum {
  bool operator()(unsigned char c) const { return Digit{}(c) || Alpha{}(c); }
};

const char* const kSwitchItems[] = {
#include "switch_items.inc"
};

float bare_switch_item(const char* text, double, char*, int) {
  if (*text >= '0' && *text <= '9') {
    return 0.0f;
  }
  for (const char* item : kSwitchItems) {
    if (std::strcmp(item, text) == 0) {
      return 1.0f;
    }
  }
  return 0.0f;
}

float bare_number_text(double value, char* buffer) {
  if (value == 0.0) {
    return 0.0f;
  }
  std::snprintf(buffer, kCapacity, "%f", value);
  return 1.0f;
}

double bare_radians(double degrees) { return degrees * 3.14159265 / 180.0; }

float bare_sine(const char*, double number, char* buffer, int) {
  return bare_number_text(std::sin(bare_radians(number)), buffer);
}
float bare_cosine(const char*, double number, char* buffer, int) {
  return bare_number_text(std::cos(bare_radians(number)), buffer);
}
float bare_tangent(const char*, double number, char* buffer, int) {
  return bare_number_text(std::tan(bare_radians(number)), buffer);
}
float bare_floor(const char*, double number, char* buffer, int) {
  return bare_number_text(std::floor(number), buffer);
}
float bare_ceil(const char*, double number, char* buffer, int) {
  return bare_number_text(std::ceil(number), buffer);
}
float bare_trunc(const char*, double number, char* buffer, int) {
  return bare_number_text(std::trunc(number), buffer);
}
float bare_round(const char*, double number, char* buffer, int) {
  return bare_number_text(std::round(number), buffer);
}
float bare_exponent(const char*, double number, char* buffer, int) {
  return bare_number_text(std::exp(number), buffer);
}
float bare_power(const char* text, double number, char* buffer, int) {
  return bare_number_text(std::pow(std::strtod(text, nullptr), number), buffer);
}
float bare_remainder(const char* text, double number, char* buffer, int) {
  const double divisor = static_cast<double>(static_cast<float>(number));
  return bare_number_text(std::remainder(std::strtod(text, nullptr), divisor), buffer);
}

constexpr std::size_t kTimeLimit = 255;

// The pattern is the caller's, as in the exports.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"

float bare_time_format(const char* text, double, char* buffer, int) {
  const char* pattern = text != nullptr ? text : "The current time is : %I:%M%p.";
  const std::time_t now = std::time(nullptr);
  std::tm fields{};
  localtime_r(&now, &fields);
  if (std::strftime(buffer, kTimeLimit, pattern, &fields) == 0) {
    buffer[0] = '\0';
  }
  return 1.0f;
}

float bare_timestamp(const char* text, double, char* buffer, int) {
  std::timespec now{};
  std::timespec_get(&now, TIME_UTC);
  std::tm fields{};
  gmtime_r(&now.tv_sec, &fields);
  if (std::strftime(buffer, kTimeLimit, text, &fields) == 0) {
    buffer[0] = '\0';
  }
  return 1.0f;
}

#pragma GCC diagnostic pop

float bare_start_counter(const char*, double, char* buffer, int) {
  std::snprintf(buffer, kCapacity, "%lld", static_cast<long long>(std::time(nullptr)));
  return 1.0f;
}

float bare_end_counter(const char*, double, char* buffer, int) {
  const long long start = std::strtoll(buffer, nullptr, 10);
  const auto now = static_cast<long long>(std::time(nullptr));
  std::snprintf(buffer, kCapacity, "%lld", now - start);
  return 1.0f;
}

// Texts of 1 KiB, every byte in one class, so that the whole text is examined.
std::string kibibyte_of(const char* pattern) {
  std::string text;
  while (text.size() < 1024) {
    text += pattern;
  }
  text.resize(1024);
  return text;
}

const std::string kDigits = kibibyte_of("0123456789");
const std::string kLetters = kibibyte_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
const std::string kSpaces = kibibyte_of(" \t\n\v\f\r");
const std::string kPunctuation = kibibyte_of("!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~");
const std::string kAlphanumerics = kibibyte_of("abc123XYZ7");

// Number text alone: the library's writer beside snprintf("%f"), into a block of the same size.
using NumberWriter = std::size_t (*)(double, char*);

std::size_t library_number_text(double value, char* out) { return format_fixed6(value, out); }

std::size_t snprintf_number_text(double value, char* out) {
  return static_cast<std::size_t>(std::snprintf(out, kNumberTextMax + 1, "%f", value));
}

void run_number_text(benchmark::State& state, NumberWriter writer, double value) {
  char out[kNumberTextMax + 1];
  benchmark::DoNotOptimize(writer);
  for (auto _ : state) {
    const std::size_t length = writer(value, out);
    benchmark::DoNotOptimize(length);
    benchmark::ClobberMemory();
  }
}

}  // namespace

void register_portable(const host::Library& library) {
  add_pair(library, "Version", "Version", bare_version, {});

  add_pair(library, "Is_Digit", "Is_Digit/1KiB", bare_every_byte<Digit>, {kDigits.c_str()});
  add_pair(library, "Is_Digit", "Is_Digit/short", bare_every_byte<Digit>, {"2024"});
  add_pair(library, "Is_Alpha", "Is_Alpha/1KiB", bare_every_byte<Alpha>, {kLetters.c_str()});
  add_pair(library, "Is_Space", "Is_Space/1KiB", bare_every_byte<Space>, {kSpaces.c_str()});
  add_pair(library, "Is_Punct", "Is_Punct/1KiB", bare_every_byte<Punct>, {kPunctuation.c_str()});
  add_pair(library, "Is_AlNum", "Is_AlNum/1KiB", bare_every_byte<AlNum>, {kAlphanumerics.c_str()});

  const char* const last_item = kSwitchItems[std::size(kSwitchItems) - 1];
  add_pair(library, "IsSwitchType", "IsSwitchType/last", bare_switch_item, {last_item});
  add_pair(library, "IsSwitchType", "IsSwitchType/miss", bare_switch_item,
           {"window:docking:no such item"});
  add_pair(library, "IsSwitchType", "IsSwitchType/digit", bare_switch_item, {"3d:view"});

  add_pair(library, "Sine", "Sine/30", bare_sine, {nullptr, 30.0});
  add_pair(library, "Sine", "Sine/37.5", bare_sine, {nullptr, 37.5});
  add_pair(library, "Cosine", "Cosine/37.5", bare_cosine, {nullptr, 37.5});
  add_pair(library, "Tangent", "Tangent/37.5", bare_tangent, {nullptr, 37.5});
  add_pair(library, "Floor", "Floor/1234.56", bare_floor, {nullptr, 1234.56});
  add_pair(library, "Floor", "Floor/0.7", bare_floor, {nullptr, 0.7});
  add_pair(library, "Ceil", "Ceil/1234.56", bare_ceil, {nullptr, 1234.56});
  add_pair(library, "Trunc", "Trunc/-1234.56", bare_trunc, {nullptr, -1234.56});
  add_pair(library, "Round", "Round/2.5", bare_round, {nullptr, 2.5});
  add_pair(library, "Exponent", "Exponent/1", bare_exponent, {nullptr, 1.0});
  add_pair(library, "Exponent", "Exponent/700", bare_exponent, {nullptr, 700.0});
  add_pair(library, "Power", "Power/2^10", bare_power, {"2", 10.0});
  add_pair(library, "Power", "Power/1.0001^1000", bare_power, {"1.0001", 1000.0});
  add_pair(library, "Remainder", "Remainder/1e6%0.3", bare_remainder, {"1000000", 0.3});
  // Huge angles and results at the ends of the double range: ordinary inputs.
  add_pair(library, "Sine", "Sine/1e22", bare_sine, {nullptr, 1e22});
  add_pair(library, "Sine", "Sine/1e300", bare_sine, {nullptr, 1e300});
  add_pair(library, "Cosine", "Cosine/1e300", bare_cosine, {nullptr, 1e300});
  add_pair(library, "Tangent", "Tangent/1e300", bare_tangent, {nullptr, 1e300});
  add_pair(library, "Exponent", "Exponent/709.7", bare_exponent, {nullptr, 709.7});
  add_pair(library, "Power", "Power/0.1^320.5 (subnormal)", bare_power, {"0.1", 320.5});
  // The slowest known inputs: exact ties of pow, published worst cases of sin and tan (found
  // by timing the whole list), x near 1 with a huge y, a value next to a midpoint.
  add_pair(library, "Power", "Hard/Power/10^23 (exact tie)", bare_power, {"10", 23.0});
  add_pair(library, "Power", "Hard/Power/(1.5 2^-42)^25 (exact tie)", bare_power,
           {"0x1.8p-42", 25.0});
  add_pair(library, "Power", "Hard/Power/(1 + 2^-52)^(1.4 2^61) (near overflow)", bare_power,
           {"0x1.0000000000001p+0", 0x1.6280000000001p+61});
  add_pair(library, "Sine", "Hard/Sine/worst case 0x1.ad6ad47ac4e9ep+7", bare_sine,
           {nullptr, 0x1.ad6ad47ac4e9ep+7});
  add_pair(library, "Tangent", "Hard/Tangent/worst case 0x1.a049fbe007ac7p+10", bare_tangent,
           {nullptr, 0x1.a049fbe007ac7p+10});
  add_pair(library, "Exponent", "Hard/Exponent/2^-53 (near a midpoint)", bare_exponent,
           {nullptr, 0x1p-53});

  add_pair(library, "Time_Format", "Time_Format/default", bare_time_format, {nullptr});
  add_pair(library, "Time_Format", "Time_Format/date-time", bare_time_format,
           {"%Y-%m-%d %H:%M:%S"});
  add_pair(library, "Precision_TimeStamp", "Precision_TimeStamp/iso", bare_timestamp,
           {"%Y-%m-%dT%H:%M:%SZ"});
  add_pair(library, "Start_Counter", "Start_Counter", bare_start_counter, {});
  add_pair(library, "End_Counter", "End_Counter", bare_end_counter, {nullptr, 0.0, "1700000000"});

  struct NumberCase {
    const char* name;
    double value;
  };
  for (const NumberCase number :
       {NumberCase{"0.5", 0.5}, NumberCase{"e", 2.718281828459045}, NumberCase{"1024", 1024.0},
        NumberCase{"-2^-7", -0.0078125}, NumberCase{"123456.789", 123456.789},
        NumberCase{"1e15", 1e15}, NumberCase{"1e300", 1e300}}) {
    const std::string name = std::string("NumberText/") + number.name;
    const double value = number.value;
    add("korvane/" + name,
        [value](benchmark::State& state) { run_number_text(state, library_number_text, value); });
    add("bare/" + name,
        [value](benchmark::State& state) { run_number_text(state, snprintf_number_text, value); });
  }
}

}  // namespace korvane::bench
