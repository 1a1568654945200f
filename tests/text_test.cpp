// Character-class tests and the switch-item lookup.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "support/calls.hpp"

namespace korvane::test {
namespace {

struct ClassCase {
  const char* export_name;
  const char* text;
  float expected;
};

class CharacterClass : public testing::TestWithParam<ClassCase> {};

TEST_P(CharacterClass, AnswersForEveryByte) {
  const ClassCase& c = GetParam();
  const Outcome outcome = call(c.export_name, c.text, 0.0, "untouched");
  EXPECT_EQ(outcome.result, c.expected) << c.export_name << "(\"" << c.text << "\")";
  EXPECT_EQ(outcome.buffer, "untouched");
}

INSTANTIATE_TEST_SUITE_P(
    Examples, CharacterClass,
    testing::Values(
        ClassCase{"Is_Digit", "", 0}, ClassCase{"Is_Alpha", "", 0}, ClassCase{"Is_Space", "", 0},
        ClassCase{"Is_Punct", "", 0}, ClassCase{"Is_AlNum", "", 0}, ClassCase{"Is_Digit", "42", 1},
        ClassCase{"Is_Digit", "007", 1}, ClassCase{"Is_Digit", "-5", 0},
        ClassCase{"Is_Digit", "3.5", 0}, ClassCase{"Is_Digit", "12a", 0},
        ClassCase{"Is_Digit", "12 ", 0}, ClassCase{"Is_Digit", "a12", 0},
        ClassCase{"Is_Alpha", "Hello", 1}, ClassCase{"Is_Alpha", "Hello World", 0},
        ClassCase{"Is_Alpha", "zZ", 1}, ClassCase{"Is_Space", " ", 1},
        ClassCase{"Is_Space", "\t\n", 1}, ClassCase{"Is_Space", "\r", 1},
        ClassCase{"Is_Space", "\v\f", 1}, ClassCase{"Is_Space", " x ", 0},
        ClassCase{"Is_Punct", ".,;:!?", 1}, ClassCase{"Is_Punct", "()[]{}", 1},
        ClassCase{"Is_Punct", "!\"#$%&'*+-/<=>@\\^_`|~", 1}, ClassCase{"Is_Punct", ". ,", 0},
        ClassCase{"Is_Punct", ".a", 0}, ClassCase{"Is_AlNum", "abc123", 1},
        ClassCase{"Is_AlNum", "abc 123", 0}, ClassCase{"Is_AlNum", "abc_123", 0},
        ClassCase{"Is_AlNum", "_abc", 0},
        // Bytes 0x80-0xFF are in no class, even where the host's locale calls them letters.
        ClassCase{"Is_Alpha", "caf\xE9", 0}, ClassCase{"Is_Alpha", "\xC4", 0},
        ClassCase{"Is_AlNum", "\xB2", 0}, ClassCase{"Is_Digit", "\xB9", 0},
        ClassCase{"Is_Space", "\xA0", 0}, ClassCase{"Is_Punct", "\xA7", 0},
        // Control characters and DEL are in none of the classes but space.
        ClassCase{"Is_Punct", "\x7F", 0}, ClassCase{"Is_Punct", "\x01", 0},
        ClassCase{"Is_Space", "\x1F", 0}));

// Each byte 1-127 is classified as the "C" locale classifies it.
TEST(CharacterClassBytes, AgreeWithTheCLocaleForEveryAsciiByte) {
  for (int byte = 1; byte < 128; ++byte) {
    const char text[] = {static_cast<char>(byte), '\0'};
    const auto in = [](bool yes) { return yes ? 1.0f : 0.0f; };
    const bool digit = byte >= '0' && byte <= '9';
    const bool alpha = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
    const bool space = byte == ' ' || (byte >= 9 && byte <= 13);
    const bool punct = byte > 32 && byte < 127 && !digit && !alpha;
    EXPECT_EQ(call("Is_Digit", text).result, in(digit)) << byte;
    EXPECT_EQ(call("Is_Alpha", text).result, in(alpha)) << byte;
    EXPECT_EQ(call("Is_Space", text).result, in(space)) << byte;
    EXPECT_EQ(call("Is_Punct", text).result, in(punct)) << byte;
    EXPECT_EQ(call("Is_AlNum", text).result, in(digit || alpha)) << byte;
  }
}

// The table the library was built with, from the same list.
const std::vector<std::string_view> kSwitchItems = {
#include "switch_items.inc"
};

bool in_table(std::string_view path) {
  for (const std::string_view item : kSwitchItems) {
    if (item == path) {
      return true;
    }
  }
  return false;
}

TEST(SwitchItems, EveryEntryIsFoundTheFirstAndTheLastIncluded) {
  ASSERT_GE(kSwitchItems.size(), 2U);
  for (const std::string_view item : kSwitchItems) {
    const Outcome outcome = call("IsSwitchType", std::string(item).c_str(), 0.0, "untouched");
    EXPECT_EQ(outcome.result, 1.0f) << item;
    EXPECT_EQ(outcome.buffer, "untouched");
  }
}

TEST(SwitchItems, OnlyTheExactPathMatches) {
  for (const std::string_view item : kSwitchItems) {
    const std::string path(item);
    std::string upper = path;
    for (char& c : upper) {
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    const std::vector<std::string> near_misses = {
        " " + path, path + " ",  path + "x", path.substr(0, path.size() - 1),
        upper,      path + '\n', "1" + path};
    for (const std::string& miss : near_misses) {
      if (!in_table(miss)) {
        EXPECT_EQ(call("IsSwitchType", miss.c_str()).result, 0.0f) << '"' << miss << '"';
      }
    }
  }
  EXPECT_EQ(call("IsSwitchType", "").result, 0.0f);
  EXPECT_EQ(call("IsSwitchType", ":").result, 0.0f);
}

}  // namespace
}  // namespace korvane::test
