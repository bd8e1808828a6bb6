#include "native/rate_limit.h"

#include <algorithm>

RateLimit::RateLimit(int burst, Clock::duration interval)
    : burst_(std::max(burst, 1)), interval_(interval) {}

bool RateLimit::Allow(Clock::time_point now) {
  // Each event fills the bucket for one interval; it holds |burst_| of them.
  const Clock::time_point full_at = std::max(full_at_, now) + interval_;
  if (full_at - now > interval_ * burst_)
    return false;
  full_at_ = full_at;
  return true;
}
