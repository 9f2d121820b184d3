// The millisecond clock that the step timers poll: a 32-bit count that wraps after about
// 49.7 days, so elapsed times are always taken as unsigned differences.
#pragma once

#include <cstdint>
#include <functional>

namespace groovane {

// Milliseconds since an arbitrary start, from the monotonic clock. Any thread.
uint32_t timeGetTime();

// A replaceable source of milliseconds, so tests can drive timers without waiting.
using MillisecondClock = std::function<uint32_t()>;

} // namespace groovane
