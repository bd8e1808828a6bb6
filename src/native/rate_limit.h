// How often something the program does on a page's or another program's behalf
// may happen: a burst at once, then one per interval (a token bucket).
#ifndef SRC_NATIVE_RATE_LIMIT_H_
#define SRC_NATIVE_RATE_LIMIT_H_

#include <chrono>

class RateLimit {
 public:
  using Clock = std::chrono::steady_clock;

  // |burst| events at once (at least 1), then one more per |interval| as time passes.
  RateLimit(int burst, Clock::duration interval);

  // Whether an event at |now| may happen; counts it when it may. Refused events
  // cost nothing, so a flood does not push later events further away.
  bool Allow(Clock::time_point now);

 private:
  const int burst_;
  const Clock::duration interval_;
  // When the bucket is full again; in the past while it is full.
  Clock::time_point full_at_{};
};

#endif  // SRC_NATIVE_RATE_LIMIT_H_
