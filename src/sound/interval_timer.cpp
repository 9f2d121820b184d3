#include "sound/interval_timer.h"

#include <QCoreApplication>
#include <QTimer>

namespace groovane {

namespace {

class QtIntervalTimer : public IntervalTimer {
public:
    QtIntervalTimer(int intervalMs, std::function<void()> onTick)
    {
        timer_.setInterval(intervalMs);
        QObject::connect(&timer_, &QTimer::timeout, [tick = std::move(onTick)] { tick(); });
        timer_.start();
    }

private:
    QTimer timer_;
};

IntervalTimerFactory& currentFactory()
{
    static IntervalTimerFactory factory;
    return factory;
}

} // namespace

void setIntervalTimerFactory(IntervalTimerFactory factory)
{
    currentFactory() = std::move(factory);
}

std::unique_ptr<IntervalTimer> makeIntervalTimer(int intervalMs, std::function<void()> onTick)
{
    if (currentFactory())
        return currentFactory()(intervalMs, std::move(onTick));
    if (!QCoreApplication::instance())
        return nullptr;
    return std::make_unique<QtIntervalTimer>(intervalMs, std::move(onTick));
}

} // namespace groovane
