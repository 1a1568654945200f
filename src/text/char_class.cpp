// Is_Digit, Is_Alpha, Is_Space, Is_Punct, Is_AlNum: does every byte of the text belong to one
// character class? The classes are those of the "C" locale, decided by byte ranges so that the
// host's locale never changes an answer; bytes 0x80-0xFF belong to no class.
#include "frame/c_locale.hpp"
#include "frame/export.hpp"

#include <array>
#include <cstdint>
#include <string_view>

namespace korvane {
namespace {

enum Class : std::uint8_t {
  kDigit = 1U << 0U,
  kAlpha = 1U << 1U,
  kSpace = 1U << 2U,
  kPunct = 1U << 3U,
};

constexpr std::array<std::uint8_t, 256> make_class_table() {
  std::array<std::uint8_t, 256> table{};
  for (unsigned byte = 0; byte < 128; ++byte) {
    const auto c = static_cast<char>(byte);
    std::uint8_t classes = 0;
    if (is_c_digit(c)) {
      classes = kDigit;
    } else if (is_c_alpha(c)) {
      classes = kAlpha;
    } else if (is_c_space(c)) {
      classes = kSpace;
    } else if (is_c_punct(c)) {
      classes = kPunct;
    }
    table[byte] = classes;
  }
  return table;
}

constexpr std::array<std::uint8_t, 256> kClassTable = make_class_table();
static_assert(kClassTable[0] == 0, "the terminating NUL must end every scan");

// 1 when the text (never null) is not empty and every byte is in one of `classes`, else 0. One pass
// over the text: the terminating NUL is in no class, so the scan stops at it or at the first byte
// outside the classes, whichever comes first.
template <std::uint8_t kClasses>
float every_byte_in(const char* text) noexcept {
  const auto* byte = reinterpret_cast<const unsigned char*>(text);
  while ((kClassTable[*byte] & kClasses) != 0) {
    ++byte;
  }
  return result(*byte == '\0' && byte != reinterpret_cast<const unsigned char*>(text));
}

}  // namespace
}  // namespace korvane

KORVANE_EXPORT(Is_Digit) {
  return korvane::every_byte_in<korvane::kDigit>(korvane::text_argument(text));
}

KORVANE_EXPORT(Is_Alpha) {
  return korvane::every_byte_in<korvane::kAlpha>(korvane::text_argument(text));
}

KORVANE_EXPORT(Is_Space) {
  return korvane::every_byte_in<korvane::kSpace>(korvane::text_argument(text));
}

KORVANE_EXPORT(Is_Punct) {
  return korvane::every_byte_in<korvane::kPunct>(korvane::text_argument(text));
}

KORVANE_EXPORT(Is_AlNum) {
  return korvane::every_byte_in<korvane::kAlpha | korvane::kDigit>(korvane::text_argument(text));
}
