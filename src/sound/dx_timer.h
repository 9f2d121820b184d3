// The step timer that drives playback. It is not a platform timer: it lives in the application's
// single idle slot and, each time it is polled, reads the millisecond clock and fires OnTimer once
// at least Interval milliseconds have passed since its previous tick. A tick that comes late
// within its interval counts from the time it was due, so the next one makes the lateness up and
// the ticks keep to one grid; after missed ticks the interval is measured from the actual tick
// (lateness is not made up) and the late tick reports how many intervals passed in LagCount.
//
// The slot is shared: resuming a timer displaces any other running timer (which still counts
// itself as running), and suspending any timer empties the slot, whichever timer was in it.
// Playback relies on running one step timer at a time.
//
// Sounds started inside a tick are placed at the tick's time (the time stored as the previous
// tick), not at the moment of each call, so ticks sound exactly one interval apart on the output
// even when the UI thread runs one late by less than the output's latency margin.
//
// UI thread only. An exception raised by OnTimer leaves idle() and reaches the idle driver, which
// shows it; the timer stays in the slot and the next tick comes one interval after the failed one.
#pragma once

#include "platform/clock.h"
#include "platform/idle_host.h"

#include <cstdint>
#include <functional>

namespace groovane {

class SoundSystem;

class TDXTimer : public IdleHandler, public ActivationListener {
public:
    using TDXTimerEvent = std::function<void(TDXTimer& sender, int lagCount)>;
    using TNotifyEvent = std::function<void(TDXTimer& sender)>;

    // A new timer is being loaded, as a window's components are: property changes are only
    // stored until Loaded(). Defaults: Enabled true, Interval 1000, ActiveOnly true, MaxLag 10.
    // `sounds`: the sound system whose Play calls a tick stamps (null: the process's one). Its
    // clock and `clock` must be the same monotonic clock, in nanoseconds and in milliseconds.
    explicit TDXTimer(IdleHost& host = applicationIdleHost(), MillisecondClock clock = timeGetTime,
                      SoundSystem* sounds = nullptr);
    ~TDXTimer() override;
    TDXTimer(const TDXTimer&) = delete;
    TDXTimer& operator=(const TDXTimer&) = delete;

    // Ends loading: an enabled timer resumes.
    void Loaded();

    bool Enabled() const { return enabled_; }
    // Setting the current value changes nothing (a running timer is not restarted). True
    // resumes, false suspends.
    void setEnabled(bool enabled);

    uint32_t Interval() const { return interval_; }
    // Minimum milliseconds between ticks; takes effect from the next tick, measured from the
    // previous one.
    void setInterval(uint32_t intervalMs);

    // Tick only while the application is active.
    bool ActiveOnly() const { return activeOnly_; }
    void setActiveOnly(bool activeOnly) { activeOnly_ = activeOnly; }

    // Stored with the timer; nothing reads it.
    int32_t MaxLag() const { return maxLag_; }
    void setMaxLag(int32_t maxLag) { maxLag_ = maxLag; }

    // The clock reading of the previous tick (or of the start of ticking).
    uint32_t previousTickTime() const { return previousTick_; }
    // Replaces the millisecond clock (tests). While not running.
    void setClock(MillisecondClock clock) { clock_ = std::move(clock); }

    // Ticks per second over the last second or more of ticking, to the nearest whole number.
    int FrameRate() const { return frameRate_; }

    // Running: holds the idle slot, or would but for ActiveOnly, or was displaced from it.
    bool isRunning() const { return running_; }
    // Whether this timer is the one in the idle slot now.
    bool isTicking() const { return host_.idleHandler() == this; }

    TDXTimerEvent OnTimer;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;

    // IdleHandler: one poll of the clock, firing OnTimer when due.
    void idle() override;
    uint32_t msUntilDue() const override;

    // ActivationListener.
    void applicationActivated() override;
    void applicationDeactivated() override;

private:
    void resume();
    void suspend();
    void startTicking();
    int32_t elapsedMs(uint32_t now) const { return static_cast<int32_t>(now - previousTick_); }

    IdleHost& host_;
    MillisecondClock clock_;
    SoundSystem& sounds_;
    bool loading_ = true;
    bool enabled_ = true;
    uint32_t interval_ = 1000;
    int64_t effectiveInterval_ = 1000;
    int64_t divisorInterval_ = 1000;
    bool activeOnly_ = true;
    int32_t maxLag_ = 10;
    bool running_ = false;
    uint32_t previousTick_ = 0;
    uint32_t frameRateTime_ = 0;
    int tickCount_ = 0;
    int frameRate_ = 0;
};

} // namespace groovane
