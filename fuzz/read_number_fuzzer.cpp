// read_number against the C library's strtod in the "C" locale: for any text, the same value
// bit for bit (for a NaN, any NaN: its sign and payload are not compared).
#include <locale.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "numeric/number_text.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", nullptr);
  // The exports read a NUL-terminated text: everything up to the first NUL.
  std::string text(reinterpret_cast<const char*>(data), size);
  text.resize(std::strlen(text.c_str()));

  const double expected = strtod_l(text.c_str(), nullptr, c_locale);
  const double got = korvane::read_number(text);
  if (std::isnan(expected) && std::isnan(got)) {
    return 0;
  }
  std::uint64_t expected_bits = 0;
  std::uint64_t got_bits = 0;
  std::memcpy(&expected_bits, &expected, sizeof expected);
  std::memcpy(&got_bits, &got, sizeof got);
  if (expected_bits != got_bits) {
    std::fprintf(stderr, "read_number(\"%s\") = %a, strtod gives %a\n", text.c_str(), got,
                 expected);
    std::abort();
  }
  return 0;
}
