// The bound on launches of the desktop's opener and on reopen requests.
#include "native/rate_limit.h"

#include <gtest/gtest.h>

namespace {

using std::chrono::milliseconds;

TEST(RateLimitTest, ABurstThenOnePerInterval) {
  RateLimit limit(3, milliseconds(1000));
  const RateLimit::Clock::time_point start = RateLimit::Clock::now();
  EXPECT_TRUE(limit.Allow(start));
  EXPECT_TRUE(limit.Allow(start));
  EXPECT_TRUE(limit.Allow(start));
  // A loop that asks forever gets nothing more until an interval has passed.
  for (int i = 0; i < 100; ++i)
    EXPECT_FALSE(limit.Allow(start + milliseconds(i * 9))) << i;
  EXPECT_TRUE(limit.Allow(start + milliseconds(1000)));
  EXPECT_FALSE(limit.Allow(start + milliseconds(1500)));
  EXPECT_TRUE(limit.Allow(start + milliseconds(2000)));
  // Thirteen a second for ten seconds: one a second goes through.
  int allowed = 0;
  for (int i = 0; i <= 130; ++i)
    allowed += limit.Allow(start + milliseconds(2001 + i * 77));
  EXPECT_EQ(10, allowed);
}

TEST(RateLimitTest, AQuietSpellRefillsTheBurstButNoMore) {
  RateLimit limit(2, milliseconds(500));
  const RateLimit::Clock::time_point start = RateLimit::Clock::now();
  EXPECT_TRUE(limit.Allow(start));
  EXPECT_TRUE(limit.Allow(start));
  EXPECT_FALSE(limit.Allow(start));
  const RateLimit::Clock::time_point later = start + std::chrono::hours(1);
  EXPECT_TRUE(limit.Allow(later));
  EXPECT_TRUE(limit.Allow(later));
  EXPECT_FALSE(limit.Allow(later));
}

TEST(RateLimitTest, ABurstOfOneCoalesces) {
  RateLimit limit(1, milliseconds(500));
  const RateLimit::Clock::time_point start = RateLimit::Clock::now();
  int allowed = 0;
  for (int i = 0; i < 200; ++i)
    allowed += limit.Allow(start + milliseconds(i));
  EXPECT_EQ(1, allowed);
  EXPECT_TRUE(limit.Allow(start + milliseconds(500)));
}

}  // namespace
