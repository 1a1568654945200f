// The library built with a 16-byte buffer and its own switch-item list: output is cut at the
// capacity, never past it, and the lookup follows the list it was built with.
#include <gtest/gtest.h>

#include <string>

#include "support/calls.hpp"

namespace korvane::test {
namespace {

static_assert(KORVANE_BUFFER_CAPACITY == 16);

TEST(Capacity, NumberTextIsCutToFitWithItsNul) {
  const Outcome big = call("Power", "1e300", 1.0);
  EXPECT_EQ(big.result, 1.0f);
  EXPECT_EQ(big.buffer, "100000000000000");  // 15 characters and the NUL
  const Outcome fits = call("Power", "-12345678", 1.0);
  EXPECT_EQ(fits.buffer, "-12345678.00000");
  const Outcome exact = call("Power", "12345678", 1.0);
  EXPECT_EQ(exact.buffer, "12345678.000000");  // exactly 15: nothing cut
}

TEST(Capacity, TimeTextIsCutToFit) {
  const Outcome stamp = call("Precision_TimeStamp", "%Y-%m-%d %H:%M:%S", 0.0);
  EXPECT_EQ(stamp.result, 1.0f);
  EXPECT_EQ(stamp.buffer.size(), 15U);
  EXPECT_EQ(stamp.buffer[4], '-');
}

TEST(Capacity, BufferInputIsReadOnlyWithinTheCapacity) {
  // 15 digits and a NUL fit; the start time is read and the elapsed time written.
  EXPECT_EQ(call("End_Counter", nullptr, 0.0, "000000000000000").result, 1.0f);
  std::string block(KORVANE_BUFFER_CAPACITY, '0');
  block += '\0';  // the NUL lies past the capacity: not text
  EXPECT_EQ(find_export("End_Counter")(nullptr, 0.0, block.data(), 0), 0.0f);
  EXPECT_EQ(block, std::string(KORVANE_BUFFER_CAPACITY, '0') + '\0');
}

TEST(IntegratorSwitchItems, TheBuildsOwnListIsLookedUp) {
  EXPECT_EQ(call("IsSwitchType", "tiny:first").result, 1.0f);
  EXPECT_EQ(call("IsSwitchType", "tiny:sub:second").result, 1.0f);
  EXPECT_EQ(call("IsSwitchType", "tiny:sub:second item").result, 1.0f);
  EXPECT_EQ(call("IsSwitchType", "tiny:sub").result, 0.0f);
  EXPECT_EQ(call("IsSwitchType", "view:show grid").result, 0.0f);
  // An entry that starts with a digit is in the table but never found.
  EXPECT_EQ(call("IsSwitchType", "3d:enabled").result, 0.0f);
}

}  // namespace
}  // namespace korvane::test
