// The user's idle time as the page receives it.
#ifndef SRC_NATIVE_IDLE_TIME_H_
#define SRC_NATIVE_IDLE_TIME_H_

#include <chrono>
#include <cstdint>

// Whole milliseconds of |idle|, truncated toward zero: 12.3456 s gives 12345. The
// page's answer is a 32-bit integer, so anything longer than INT32_MAX ms (about
// 24.8 days) gives INT32_MAX; a negative or not-a-number duration gives 0.
int32_t IdleTimeMilliseconds(std::chrono::duration<double, std::milli> idle);

#endif  // SRC_NATIVE_IDLE_TIME_H_
