#include "native/idle_time.h"

#include <limits>

int32_t IdleTimeMilliseconds(std::chrono::duration<double, std::milli> idle) {
  const double ms = idle.count();
  // Written so that NaN fails the first test.
  if (!(ms > 0))
    return 0;
  if (ms >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(ms);
}
