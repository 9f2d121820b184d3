#include "sound/dx_timer.h"

#include "platform/sound_system.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace groovane {

TDXTimer::TDXTimer(IdleHost& host, MillisecondClock clock, SoundSystem* sounds)
    : host_(host),
      clock_(std::move(clock)),
      sounds_(sounds ? *sounds : SoundSystem::instance())
{
    host_.addActivationListener(this);
}

TDXTimer::~TDXTimer()
{
    suspend();
    // A timer that is no longer running is never in the slot, but a dangling handler would be
    // fatal, so make sure.
    if (host_.idleHandler() == this)
        host_.clearIdleHandler();
    host_.removeActivationListener(this);
}

void TDXTimer::Loaded()
{
    loading_ = false;
    if (enabled_)
        resume();
}

void TDXTimer::setEnabled(bool enabled)
{
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    if (loading_)
        return;
    if (enabled_)
        resume();
    else
        suspend();
}

void TDXTimer::setInterval(uint32_t intervalMs)
{
    if (intervalMs == interval_)
        return;
    interval_ = intervalMs;
    effectiveInterval_ = std::max<int64_t>(intervalMs, 0);
    divisorInterval_ = std::max<int64_t>(intervalMs, 1);
    if (isTicking())
        host_.dueTimeChanged();
}

void TDXTimer::resume()
{
    suspend();
    if (!activeOnly_ || host_.isActive())
        startTicking();
    running_ = true;
}

void TDXTimer::suspend()
{
    if (!running_)
        return;
    host_.clearIdleHandler();
    running_ = false;
}

void TDXTimer::startTicking()
{
    previousTick_ = clock_();
    frameRateTime_ = previousTick_;
    host_.setIdleHandler(this);
}

void TDXTimer::idle()
{
    const uint32_t now = clock_();
    const int32_t elapsed = elapsedMs(now);
    if (elapsed < effectiveInterval_)
        return;
    const int lagCount = static_cast<int>(std::max<int64_t>(1, elapsed / divisorInterval_));
    // A tick that comes late but within its interval (the UI thread woke late, no tick was
    // missed) counts from the time it was due, so the ticks and their sounds keep to one grid
    // and the next tick makes the lateness up. After missed ticks (a modal box, a long handler)
    // the next interval is measured from this tick's actual time.
    previousTick_ =
        effectiveInterval_ > 0 && lagCount == 1 ? previousTick_ + static_cast<uint32_t>(effectiveInterval_) : now;

    ++tickCount_;
    const uint32_t sinceFrameRate = now - frameRateTime_;
    if (sinceFrameRate >= 1000) {
        frameRate_ = static_cast<int>(std::lround(tickCount_ * 1000.0 / sinceFrameRate));
        tickCount_ = 0;
        frameRateTime_ = now;
    }

    if (OnTimer) {
        // The tick's sounds are placed at its time (when it was due, or its reading after missed
        // ticks), which is never later than now; a millisecond clock that is not the sound
        // system's clock (a test's) must not push the tick's sounds into the future either.
        const int64_t nowNs = sounds_.now();
        const PlayTimeStamp stamp(sounds_, std::min(millisecondClockToNs(previousTick_, nowNs), nowNs));
        OnTimer(*this, lagCount);
    }
}

uint32_t TDXTimer::msUntilDue() const
{
    const int64_t elapsed = elapsedMs(clock_());
    if (elapsed >= effectiveInterval_)
        return 0;
    return static_cast<uint32_t>(std::min<int64_t>(effectiveInterval_ - elapsed, std::numeric_limits<uint32_t>::max()));
}

void TDXTimer::applicationActivated()
{
    if (OnActivate)
        OnActivate(*this);
    if (running_ && activeOnly_)
        startTicking();
}

void TDXTimer::applicationDeactivated()
{
    if (OnDeactivate)
        OnDeactivate(*this);
    if (running_ && activeOnly_)
        host_.clearIdleHandler();
}

} // namespace groovane
