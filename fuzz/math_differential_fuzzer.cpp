// The ten math exports against MPFR: whatever the export, the number's bits and the text, the
// buffer must hold the "%f" text of MPFR's correctly rounded value (round to nearest, ties to
// even) of the exact function, or be left untouched with the result 0 when that value is a
// zero; NaNs follow the library's rule (a NaN argument keeps its sign, a created NaN is "nan").
// The text of Power and Remainder is read with the library's own number reader, which
// fuzz_read_number checks on its own.
//
// The input: a byte choosing the export, a byte choosing how the number is made (its raw bits,
// or a small integer or a short fraction, where exact cases and ties live), eight bytes for it,
// and the rest as the text (or, by a flag, the "%.17g" text of another eight bytes' double).
#include <korvanelib.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_input.hpp"
#include "numeric/number_text.hpp"
#include "support/mpfr_reference.hpp"

namespace {

struct Export {
  const char* name;
  korvane_script_function function;
};

const Export kExports[] = {
    {"Sine", Sine},   {"Cosine", Cosine},       {"Tangent", Tangent}, {"Floor", Floor},
    {"Ceil", Ceil},   {"Trunc", Trunc},         {"Round", Round},     {"Exponent", Exponent},
    {"Power", Power}, {"Remainder", Remainder},
};
constexpr std::size_t kExportCount = sizeof kExports / sizeof kExports[0];

using Input = korvane::fuzz::FuzzInput;

double from_bits(std::uint64_t bits) {
  double value = 0.0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// A number made as the mode byte says.
double make_number(std::uint8_t mode, std::uint64_t bits) {
  switch (mode % 4) {
    case 0: return from_bits(bits);
    case 1:  // an integer up to 2^16 either way
      return static_cast<double>(static_cast<std::int16_t>(bits));
    case 2:  // a short fraction: n / 2^k
      return std::ldexp(static_cast<double>(static_cast<std::int32_t>(bits)),
                        -static_cast<int>((bits >> 32) % 64));
    default:  // a double near 1 (a few units of 2^-52 away)
      return 1.0 + std::ldexp(static_cast<double>(static_cast<std::int8_t>(bits)), -52);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in{data, size};
  const Export& e = kExports[in.byte() % kExportCount];
  const std::uint8_t mode = in.byte();
  const double number = make_number(mode, in.big_endian(8));
  std::string text;
  if ((mode & 4U) != 0) {
    const std::uint8_t base_mode = in.byte();
    char printed[64];
    std::snprintf(printed, sizeof printed, "%.17g", make_number(base_mode, in.big_endian(8)));
    text = printed;
  } else {
    text.assign(reinterpret_cast<const char*>(in.data), in.size);
    text = text.substr(0, text.find('\0'));
  }
  const double base = korvane::read_number(text);
  const std::string expected = korvane::test::expected_text(e.name, base, number);

  char buffer[KORVANE_BUFFER_CAPACITY];
  std::memset(buffer, 'x', sizeof buffer);
  buffer[sizeof buffer - 1] = '\0';
  const std::string before(buffer);
  const float result = e.function(text.c_str(), number, buffer, 0);
  const std::string got = result == 0.0f ? "" : std::string(buffer);
  const bool ok =
      expected.empty() ? (result == 0.0f && before == buffer) : (result == 1.0f && got == expected);
  if (!ok) {
    std::fprintf(stderr, "%s(\"%s\", %a): wrote \"%s\" (result %g), MPFR's value is \"%s\"\n",
                 e.name, text.c_str(), number, got.c_str(), static_cast<double>(result),
                 expected.c_str());
    std::abort();
  }
  return 0;
}
