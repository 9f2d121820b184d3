// A message-driven repeating timer for the sound layer: the wave list frees finished one-shot
// voices from one every 500 ms. Its ticks run on the user-interface thread between handlers,
// never inside one. The program's timers come from the toolkit; tests install a factory whose
// timers they tick by hand.
#pragma once

#include <functional>
#include <memory>

namespace groovane {

// A running timer; destroying it stops it.
class IntervalTimer {
public:
    virtual ~IntervalTimer() = default;
};

using IntervalTimerFactory =
    std::function<std::unique_ptr<IntervalTimer>(int intervalMs, std::function<void()> onTick)>;

// Replaces the factory (an empty one restores the toolkit's). UI thread, before timers are made.
void setIntervalTimerFactory(IntervalTimerFactory factory);

// Starts a timer that calls onTick every intervalMs on the user-interface thread. With the
// toolkit's factory and no application object there is no event loop to tick it: null then.
std::unique_ptr<IntervalTimer> makeIntervalTimer(int intervalMs, std::function<void()> onTick);

} // namespace groovane
