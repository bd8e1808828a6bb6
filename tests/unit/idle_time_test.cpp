// The idle time the page receives.
#include "native/idle_time.h"

#include <chrono>
#include <limits>

#include <gtest/gtest.h>

namespace {

using Seconds = std::chrono::duration<double>;
using Milliseconds = std::chrono::duration<double, std::milli>;

TEST(IdleTimeTest, WholeMillisecondsTruncated) {
  EXPECT_EQ(12345, IdleTimeMilliseconds(Seconds(12.3456)));
  EXPECT_EQ(999, IdleTimeMilliseconds(Seconds(0.9999)));
  EXPECT_EQ(12345, IdleTimeMilliseconds(Milliseconds(12345)));
  EXPECT_EQ(0, IdleTimeMilliseconds(Milliseconds(0.999)));
  EXPECT_EQ(0, IdleTimeMilliseconds(Milliseconds(0)));
}

TEST(IdleTimeTest, HeldToThe32BitAnswer) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  EXPECT_EQ(kMax - 1, IdleTimeMilliseconds(Milliseconds(kMax - 0.5)));
  EXPECT_EQ(kMax, IdleTimeMilliseconds(Milliseconds(kMax)));
  EXPECT_EQ(kMax, IdleTimeMilliseconds(std::chrono::hours(24 * 30)));
  EXPECT_EQ(kMax, IdleTimeMilliseconds(Milliseconds(1e300)));
  EXPECT_EQ(kMax,
            IdleTimeMilliseconds(Milliseconds(std::numeric_limits<double>::infinity())));
}

TEST(IdleTimeTest, NegativeOrNotANumberIsZero) {
  EXPECT_EQ(0, IdleTimeMilliseconds(Seconds(-1.5)));
  EXPECT_EQ(0, IdleTimeMilliseconds(Milliseconds(-0.5)));
  EXPECT_EQ(0,
            IdleTimeMilliseconds(Milliseconds(std::numeric_limits<double>::quiet_NaN())));
  EXPECT_EQ(0,
            IdleTimeMilliseconds(Milliseconds(-std::numeric_limits<double>::infinity())));
}

}  // namespace
