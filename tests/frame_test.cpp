// The frame every export shares: Version, null pointers, text that is not text, reloading.
#include <gtest/gtest.h>

#include <string>

#include "support/calls.hpp"

namespace korvane::test {
namespace {

TEST(Version, AnswersOneOhOneWhateverItIsGivenAndWritesNothing) {
  EXPECT_EQ(call("Version", nullptr, 0.0, "keep").result, 1.01f);
  const Outcome outcome = call("Version", "text", -3.5, "keep");
  EXPECT_EQ(outcome.result, 1.01f);
  EXPECT_EQ(outcome.buffer, "keep");
  EXPECT_EQ(static_cast<double>(outcome.result), 1.00999999046325684);
  EXPECT_EQ(find_export("Version")(nullptr, 0.0, nullptr, 0), 1.01f);
}

// Every export that writes the buffer does nothing with a null buffer and answers 0.
TEST(NullPointers, ANullBufferGivesZero) {
  for (const char* name :
       {"Sine", "Cosine", "Tangent", "Floor", "Ceil", "Trunc", "Round", "Exponent", "Power",
        "Remainder", "Time_Format", "Precision_TimeStamp", "Start_Counter", "End_Counter"}) {
    const korvane_script_function function = find_export(name);
    ASSERT_NE(function, nullptr);
    EXPECT_EQ(function("3", 45.0, nullptr, 0), 0.0f) << name;
    EXPECT_EQ(function(nullptr, 45.0, nullptr, 0), 0.0f) << name;
  }
}

TEST(NullPointers, ANullTextReadsAsTheEmptyText) {
  for (const char* name :
       {"Is_Digit", "Is_Alpha", "Is_Space", "Is_Punct", "Is_AlNum", "IsSwitchType"}) {
    EXPECT_EQ(call(name, nullptr).result, 0.0f) << name;
  }
  // Power with an empty base: 0 to the 2 is 0; Remainder of 0 by 3 is 0.
  EXPECT_EQ(call("Power", nullptr, 2.0, "keep").buffer, "keep");
  EXPECT_EQ(call("Remainder", nullptr, 3.0, "keep").result, 0.0f);
  EXPECT_EQ(call("Power", nullptr, 0.0).buffer, "1.000000");
  // Precision_TimeStamp has no default pattern: a null pattern formats to the empty text.
  const Outcome stamp = call("Precision_TimeStamp", nullptr, 0.0, "old text");
  EXPECT_EQ(stamp.result, 1.0f);
  EXPECT_EQ(stamp.buffer, "");
}

// A buffer whose capacity holds no NUL is not text: an export reading it changes nothing.
TEST(BufferInput, NoNulWithinTheCapacityIsNotText) {
  std::string block(KORVANE_BUFFER_CAPACITY + 1, '7');
  block.back() = '\0';  // the NUL lies just past the capacity
  EXPECT_EQ(find_export("End_Counter")(nullptr, 0.0, block.data(), 0), 0.0f);
  EXPECT_EQ(block, std::string(KORVANE_BUFFER_CAPACITY, '7') + '\0');
}

TEST(Loading, AFreshLoadAnswersAsTheFirst) {
  for (int cycle = 0; cycle < 3; ++cycle) {
    const Outcome sine = call_in_fresh_load("Sine", nullptr, 30.0);
    EXPECT_EQ(sine.result, 1.0f);
    EXPECT_EQ(sine.buffer, "0.500000");
    EXPECT_EQ(call_in_fresh_load("Version", nullptr, 0.0).result, 1.01f);
    EXPECT_EQ(call_in_fresh_load("IsSwitchType", "view:show grid", 0.0).result, 1.0f);
  }
}

}  // namespace
}  // namespace korvane::test
