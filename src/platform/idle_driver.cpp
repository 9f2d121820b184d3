#include "platform/idle_driver.h"

#include "platform/handler_guard.h"
#include "platform/sound_system.h"

#include <QGuiApplication>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>

namespace groovane {

namespace {

constexpr int64_t kNsPerMs = 1'000'000;

} // namespace

IdleDriver::IdleDriver(IdleHost& host, int topLoopLevel, QObject* parent)
    : QObject(parent),
      host_(host),
      topLoopLevel_(topLoopLevel)
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
    if (host_.isPaused()) {
        arm(kBlockedRetryMs, 0);
        return;
    }
    // The millisecond is read before the handler's clock: should the clock move on in between,
    // the due time comes out a millisecond early, which costs one more wake and is never late.
    const int64_t thisMsNs = steadyNanoseconds() / kNsPerMs * kNsPerMs;
    const int wait = static_cast<int>(std::min<uint32_t>(handler->msUntilDue(), INT_MAX - 1));
    arm(wait, thisMsNs + int64_t{wait} * kNsPerMs);
}

void IdleDriver::arm(int intervalMs, int64_t dueNs)
{
    armedIntervalMs_ = intervalMs;
    dueNs_ = dueNs;
    timer_.start(dueNs != 0 ? std::max(intervalMs - kEarlyWakeMs, 0) : intervalMs);
}

void IdleDriver::wake()
{
    if (polling_ || host_.isPaused() || QThread::currentThread()->loopLevel() > topLoopLevel_) {
        if (host_.idleHandler())
            arm(kBlockedRetryMs, 0);
        return;
    }
    const int64_t early = dueNs_ - steadyNanoseconds();
    if (early > 0 && early <= (kEarlyWakeMs + 1) * kNsPerMs)
        std::this_thread::sleep_until(std::chrono::steady_clock::time_point(std::chrono::nanoseconds(dueNs_)));
    polling_ = true;
    runGuarded([this] { host_.runIdle(); });
    polling_ = false;
    rearm();
}

} // namespace groovane
