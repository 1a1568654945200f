// Character tests and case folding of the "C" locale, decided by byte value. The library reads
// numbers, classifies characters and matches URI schemes with these rather than <cctype>: the
// C functions follow the host's locale (in a German ISO-8859-1 locale isalpha(0xE9) is true),
// and no answer of the library may change with it. Bytes 0x80-0xFF are in no class.
#pragma once

namespace korvane {

constexpr bool is_c_digit(char c) noexcept { return c >= '0' && c <= '9'; }

constexpr bool is_c_alpha(char c) noexcept {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Space, tab, line feed, vertical tab, form feed, carriage return.
constexpr bool is_c_space(char c) noexcept { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The printable characters that are neither letters, digits nor space.
constexpr bool is_c_punct(char c) noexcept {
  return c > ' ' && c < 0x7F && !is_c_digit(c) && !is_c_alpha(c);
}

constexpr char c_lower(char c) noexcept {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The value of a hexadecimal digit (either case), or -1 for any other byte.
constexpr int c_hex_value(char c) noexcept {
  if (is_c_digit(c)) {
    return c - '0';
  }
  const char lower = c_lower(c);
  return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

}  // namespace korvane
