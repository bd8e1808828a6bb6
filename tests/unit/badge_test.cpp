#include "native/badge.h"

#include <gtest/gtest.h>

namespace {

TEST(BadgeTest, PositiveCountsShowTheirDigits) {
  EXPECT_EQ("1", BadgeText(1));
  EXPECT_EQ("120", BadgeText(120));
  EXPECT_EQ("2147483647", BadgeText(INT32_MAX));
  EXPECT_EQ(120, BadgeCount(120));
}

TEST(BadgeTest, ZeroNegativeAndMissingCountsShowNone) {
  // A notification without "unreadCount" arrives as -1.
  for (int32_t count : {0, -5, -1, INT32_MIN}) {
    EXPECT_EQ(std::nullopt, BadgeText(count)) << count;
    EXPECT_EQ(std::nullopt, BadgeCount(count)) << count;
  }
}

}  // namespace
