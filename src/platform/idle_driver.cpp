#include "idle_driver.h"

#include "handler_guard.h"

#include <QGuiApplication>
#include <QThread>

#include <algorithm>
#include <climits>

namespace groovane {

IdleDriver::IdleDriver(IdleHost& host, int topLoopLevel, QObject* parent)
    : QObject(parent), host_(host), topLoopLevel_(topLoopLevel)
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { wake(); });
    host_.setWakeListener([this] { rearm(); });
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        host_.setActive(app->applicationState() == Qt::ApplicationActive);
        connect(app, &QGuiApplication::applicationStateChanged, this,
                [this](Qt::ApplicationState state) { host_.setActive(state == Qt::ApplicationActive); });
    }
    rearm();
}

IdleDriver::~IdleDriver()
{
    host_.setWakeListener({});
}

void IdleDriver::rearm()
{
    // While a tick runs, the poll re-arms when it ends.
    if (polling_)
        return;
    IdleHandler* handler = host_.idleHandler();
    if (!handler) {
        timer_.stop();
        return;
    }
    const uint32_t wait = host_.isPaused() ? kBlockedRetryMs : handler->msUntilDue();
    timer_.start(static_cast<int>(std::min<uint32_t>(wait, INT_MAX)));
}

void IdleDriver::wake()
{
    if (polling_ || host_.isPaused() || QThread::currentThread()->loopLevel() > topLoopLevel_) {
        if (host_.idleHandler())
            timer_.start(kBlockedRetryMs);
        return;
    }
    polling_ = true;
    runGuarded([this] { host_.runIdle(); });
    polling_ = false;
    rearm();
}

} // namespace groovane
