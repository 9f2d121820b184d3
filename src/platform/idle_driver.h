// Drives the application's idle host from the Qt event loop. While a handler sits in the idle
// slot, a precise single-shot timer wakes the loop at the handler's due time, so ticks run on the
// UI thread between events with millisecond clock readings, without spinning a core. Ticks never
// run inside another handler: not in a nested loop (a modal dialog or message box), not while the
// host is paused, and not re-entrantly; the next poll after such a stretch reports the lag.
// An error raised by a tick is shown in the error box and polling goes on.
//
// UI thread only. Create one, after the application object, for the program's lifetime.
#pragma once

#include "idle_host.h"

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

    bool isArmed() const { return timer_.isActive(); }
    int armedIntervalMs() const { return timer_.interval(); }

private:
    void rearm();
    void wake();

    IdleHost& host_;
    int topLoopLevel_;
    QTimer timer_;
    bool polling_ = false;
};

} // namespace groovane
