// How precisely the step timer ticks when the event loop sleeps until its due time, and how
// little processor time that costs: a real event loop, the real millisecond clock, one timer.
// Reports the mean and worst lateness of ticks against their due time and the share of one core
// the loop used meanwhile.
#include "sound/dx_timer.h"
#include "platform/idle_driver.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <ctime>

namespace {

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void StepTimerLateness(benchmark::State& state)
{
    static int argc = 1;
    static char name[] = "step_timer_bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    const auto intervalMs = static_cast<uint32_t>(state.range(0));
    groovane::IdleHost host;
    groovane::IdleDriver driver(host, 1);
    groovane::TDXTimer timer(host);
    timer.setActiveOnly(false);
    timer.setEnabled(false);
    timer.setInterval(intervalMs);
    timer.Loaded();

    for (auto _ : state) {
        QEventLoop loop;
        int ticks = 0;
        uint32_t previous = groovane::timeGetTime();
        double lateSum = 0;
        double lateMax = 0;
        timer.OnTimer = [&](groovane::TDXTimer&, int) {
            const uint32_t now = groovane::timeGetTime();
            const double late = static_cast<double>(now - previous) - intervalMs;
            previous = now;
            lateSum += late;
            lateMax = std::max(lateMax, late);
            if (++ticks == 50)
                loop.quit();
        };
        const double cpuBefore = cpuSeconds();
        const uint32_t wallBefore = groovane::timeGetTime();
        timer.setEnabled(true);
        loop.exec();
        timer.setEnabled(false);
        const double wallSeconds = (groovane::timeGetTime() - wallBefore) / 1000.0;
        state.counters["late_mean_ms"] = lateSum / ticks;
        state.counters["late_max_ms"] = lateMax;
        state.counters["core_share"] = (cpuSeconds() - cpuBefore) / wallSeconds;
    }
}

} // namespace

BENCHMARK(StepTimerLateness)->Arg(20)->Arg(120)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
