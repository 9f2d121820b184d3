// How worker threads keep time. A worker sleeps for its period on an auto-reset event, so it
// can be woken at once to end; the clock decides when the period is over. In the program that
// is real time; tests install a manual clock that only moves when told, so a worker's wake-ups
// happen at exactly the moments the test chooses and no test waits on real time.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace groovane {

class UiCallQueue;

// An auto-reset event: signal() lets one wait end; that wait consumes the signal.
class WakeEvent {
public:
    // Any thread.
    void signal();

private:
    friend class RealWorkerClock;
    friend class ManualWorkerClock;
    std::mutex mutex_;
    std::condition_variable signalled_;
    bool isSignalled_ = false;
};

class WorkerClock {
public:
    virtual ~WorkerClock() = default;
    // The thread that will start a worker, before starting it: the worker whose event this is
    // now runs on this clock.
    virtual void enter(WakeEvent&) {}
    // The worker: blocks until `event` is signalled (true; the signal is consumed) or
    // `periodMs` milliseconds have passed on this clock (false).
    virtual bool wait(WakeEvent& event, uint32_t periodMs) = 0;
    // The worker, as it ends: it will not wait again.
    virtual void leave(WakeEvent&) {}
};

// Real time, from the monotonic clock.
class RealWorkerClock final : public WorkerClock {
public:
    bool wait(WakeEvent& event, uint32_t periodMs) override;
};

// The clock workers of this process start on: real time unless a test installed another.
// Any thread.
WorkerClock& workerClock();
// Installs `clock` (null: real time again) for workers started from now on. The clock must
// outlive the workers started on it. UI thread.
void setWorkerClock(WorkerClock* clock);

// A clock that moves only when the test says. Its periods end on advance(); settle() then lets
// the woken workers hand their calls over and come back to waiting, serving the queue meanwhile.
class ManualWorkerClock final : public WorkerClock {
public:
    void enter(WakeEvent& event) override;
    bool wait(WakeEvent& event, uint32_t periodMs) override;
    void leave(WakeEvent& event) override;

    // Test thread: moves the clock on by `ms`; every wait whose period has passed ends.
    void advance(uint32_t ms);
    // Test thread: serves `queue` until every worker on this clock waits for a period that has
    // not passed yet, unsignalled, or has left.
    void settle(UiCallQueue& queue);
    // settle, advance, settle: one stretch of `ms` with every wake-up in it handled.
    void step(uint32_t ms, UiCallQueue& queue);

    uint64_t nowMs() const { return nowMs_.load(); }
    // Workers entered and not left. Any thread.
    int workerCount() const;

private:
    struct Waiter {
        WakeEvent* event;
        uint64_t deadlineMs;
    };
    bool isSettled();
    void changed();

    mutable std::mutex mutex_;
    std::atomic<uint64_t> nowMs_{0};
    std::vector<WakeEvent*> busy_; // entered, running, not waiting
    std::vector<Waiter> waiting_;
    UiCallQueue* settling_ = nullptr;
};

} // namespace groovane
