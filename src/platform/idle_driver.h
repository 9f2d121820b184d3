// Drives the application's idle host from the Qt event loop. While a handler sits in the idle
// slot, a precise single-shot timer wakes the loop at the handler's due time, so ticks run on the
// UI thread between events with millisecond clock readings, without spinning a core. Ticks never
// run inside another handler: not in a nested loop (a modal dialog or message box), not while the
// host is paused, and not re-entrantly; the next poll after such a stretch reports the lag.
// An error raised by a tick is shown in the error box and polling goes on.
//
// Ticks read a millisecond clock that truncates, so a wake a fraction of a millisecond late reads
// as on time, and the fractions would add up from tick to tick until one reads a whole
// millisecond late. So the Qt timer is armed a little early and the driver sleeps the rest
// precisely, to the start of the due millisecond on the monotonic clock that the millisecond
// clock (timeGetTime) counts: the tick then reads the millisecond it is due. The sleep is short
// (at most kEarlyWakeMs and a millisecond) and never spins.
//
// UI thread only. Create one, after the application object, for the program's lifetime.
#pragma once

#include "platform/idle_host.h"

#include <QObject>
#include <QTimer>

namespace groovane {

class IdleDriver : public QObject {
    Q_OBJECT
public:
    // `topLoopLevel`: the event-loop nesting at which ticks may run (1 inside QApplication::exec;
    // 0 for code that pumps events without an event loop, as tests do).
    explicit IdleDriver(IdleHost& host = applicationIdleHost(), int topLoopLevel = 1, QObject* parent = nullptr);
    ~IdleDriver() override;

    // How long to wait before looking again while ticks may not run.
    static constexpr int kBlockedRetryMs = 5;
    // How much earlier than due the Qt timer fires; the rest is slept precisely.
    static constexpr int kEarlyWakeMs = 2;

    bool isArmed() const { return timer_.isActive(); }
    // Milliseconds from arming to the poll the driver is armed for.
    int armedIntervalMs() const { return armedIntervalMs_; }

private:
    void rearm();
    void wake();
    // Arms the Qt timer for a poll in `intervalMs`: kEarlyWakeMs early when `dueNs` gives the
    // due millisecond's start, as it is for a handler's due time (0 for a retry).
    void arm(int intervalMs, int64_t dueNs);

    IdleHost& host_;
    int topLoopLevel_;
    QTimer timer_;
    int armedIntervalMs_ = 0;
    // The monotonic clock's reading (ns) at the start of the millisecond the handler is due in.
    int64_t dueNs_ = 0;
    bool polling_ = false;
};

} // namespace groovane
