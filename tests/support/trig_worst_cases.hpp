// The published hard-to-round arguments of sin, cos and tan that the degree conversion reaches
// (tests/data/trig_worst_cases.tar.xz, unpacked by the build): one row a line, tab-separated,
//   export, text (empty), number (%a), the radians it converts to (%a), the expected text
// where the expected text is that of the correctly rounded value. Lines starting with '#' are
// comments.
#pragma once

#include <gtest/gtest.h>

#include <charconv>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::test {

struct TrigWorstCase {
  std::string export_name;
  double number;
  double radians;
  std::string expected;
};

// A C99 hexadecimal floating-point text ("-0x1.8p+3"), read exactly; false when it is not one.
inline bool read_hex(std::string_view text, double& value) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) {
    text.remove_prefix(1);
  }
  if (text.substr(0, 2) != "0x") {
    return false;
  }
  text.remove_prefix(2);
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::hex);
  if (negative) {
    value = -value;
  }
  return error == std::errc() && end == text.data() + text.size();
}

// Every row of the table at `path`; a row without its fifth field has an empty expected text.
inline std::vector<TrigWorstCase> read_trig_worst_cases(const char* path) {
  std::vector<TrigWorstCase> rows;
  std::ifstream in(path);
  EXPECT_TRUE(in.good()) << "cannot read " << path;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line.front() == '#') {
      continue;
    }
    std::vector<std::string_view> fields;
    for (std::string_view rest = line;;) {
      const std::size_t tab = rest.find('\t');
      fields.push_back(rest.substr(0, tab));
      if (tab == std::string_view::npos) {
        break;
      }
      rest.remove_prefix(tab + 1);
    }
    TrigWorstCase row{std::string(fields[0]), 0.0, 0.0, ""};
    const bool read =
        fields.size() >= 4 && read_hex(fields[2], row.number) && read_hex(fields[3], row.radians);
    EXPECT_TRUE(read) << "not a row: " << line;
    if (fields.size() >= 5) {
      row.expected = fields[4];
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace korvane::test
