#include "platform/worker_clock.h"

#include "platform/ui_call_queue.h"

#include <algorithm>
#include <chrono>

namespace groovane {

namespace {
std::atomic<WorkerClock*> installedClock{nullptr};
}

void WakeEvent::signal()
{
    std::lock_guard lock(mutex_);
    isSignalled_ = true;
    signalled_.notify_all();
}

bool RealWorkerClock::wait(WakeEvent& event, uint32_t periodMs)
{
    std::unique_lock lock(event.mutex_);
    const bool signalled =
        event.signalled_.wait_for(lock, std::chrono::milliseconds(periodMs), [&] { return event.isSignalled_; });
    event.isSignalled_ = false;
    return signalled;
}

WorkerClock& workerClock()
{
    static RealWorkerClock real;
    WorkerClock* clock = installedClock.load();
    return clock ? *clock : real;
}

void setWorkerClock(WorkerClock* clock)
{
    installedClock.store(clock);
}

void ManualWorkerClock::enter(WakeEvent& event)
{
    std::lock_guard lock(mutex_);
    busy_.push_back(&event);
}

bool ManualWorkerClock::wait(WakeEvent& event, uint32_t periodMs)
{
    uint64_t deadline = 0;
    {
        std::lock_guard lock(mutex_);
        deadline = nowMs_.load() + periodMs;
        std::erase(busy_, &event);
        waiting_.push_back({&event, deadline});
    }
    changed();
    bool signalled = false;
    {
        std::unique_lock lock(event.mutex_);
        // advance() moves the time before it wakes the event, under the event's lock.
        event.signalled_.wait(lock, [&] { return event.isSignalled_ || nowMs_.load() >= deadline; });
        signalled = event.isSignalled_;
        event.isSignalled_ = false;
    }
    {
        std::lock_guard lock(mutex_);
        std::erase_if(waiting_, [&](const Waiter& w) { return w.event == &event; });
        busy_.push_back(&event);
    }
    changed();
    return signalled;
}

void ManualWorkerClock::leave(WakeEvent& event)
{
    {
        std::lock_guard lock(mutex_);
        std::erase(busy_, &event);
    }
    changed();
}

void ManualWorkerClock::changed()
{
    UiCallQueue* queue = nullptr;
    {
        std::lock_guard lock(mutex_);
        queue = settling_;
    }
    if (queue)
        queue->notify();
}

void ManualWorkerClock::advance(uint32_t ms)
{
    std::lock_guard lock(mutex_);
    nowMs_ += ms;
    for (const Waiter& w : waiting_) {
        std::lock_guard eventLock(w.event->mutex_);
        w.event->signalled_.notify_all();
    }
}

bool ManualWorkerClock::isSettled()
{
    std::lock_guard lock(mutex_);
    if (!busy_.empty())
        return false;
    const uint64_t now = nowMs_.load();
    for (const Waiter& w : waiting_) {
        std::lock_guard eventLock(w.event->mutex_);
        if (w.deadlineMs <= now || w.event->isSignalled_)
            return false;
    }
    return true;
}

void ManualWorkerClock::settle(UiCallQueue& queue)
{
    {
        std::lock_guard lock(mutex_);
        settling_ = &queue;
    }
    queue.serveUntil([this] { return isSettled(); });
    std::lock_guard lock(mutex_);
    settling_ = nullptr;
}

void ManualWorkerClock::step(uint32_t ms, UiCallQueue& queue)
{
    settle(queue);
    advance(ms);
    settle(queue);
}

int ManualWorkerClock::workerCount() const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(busy_.size() + waiting_.size());
}

} // namespace groovane
