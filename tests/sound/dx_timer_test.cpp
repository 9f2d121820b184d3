#include "sound/dx_timer.h"
#include "platform/exception.h"
#include "platform/idle_host.h"
#include "platform/sound_system.h"

#include <gtest/gtest.h>

#include <vector>

using namespace groovane;

namespace {

struct Tick {
    uint32_t at;
    int lagCount;
};

} // namespace

// Every timer polled through a host of its own, with a clock the test moves.
class DXTimerTest : public ::testing::Test {
protected:
    MillisecondClock clock()
    {
        return [this] { return now; };
    }

    // A timer as the main window holds it: loaded with ActiveOnly false, recording its ticks.
    std::unique_ptr<TDXTimer> makeTimer(uint32_t intervalMs, std::vector<Tick>& ticks)
    {
        auto timer = std::make_unique<TDXTimer>(host, clock());
        timer->setEnabled(false);
        timer->setActiveOnly(false);
        timer->setInterval(intervalMs);
        timer->Loaded();
        timer->OnTimer = [this, &ticks](TDXTimer&, int lagCount) { ticks.push_back({now, lagCount}); };
        return timer;
    }

    // The idle loop polling once a millisecond for `ms` milliseconds.
    void pollEveryMs(uint32_t ms)
    {
        for (uint32_t i = 0; i < ms; ++i) {
            ++now;
            host.runIdle();
        }
    }

    IdleHost host;
    uint32_t now = 5000;
};

TEST_F(DXTimerTest, TicksOneIntervalApartMeasuredFromTheActualTick)
{
    std::vector<Tick> ticks;
    auto timer = makeTimer(240, ticks);
    EXPECT_FALSE(timer->isRunning());
    host.runIdle();
    timer->setEnabled(true);
    EXPECT_TRUE(timer->isTicking());
    EXPECT_EQ(timer->msUntilDue(), 240u);
    pollEveryMs(1000);
    ASSERT_EQ(ticks.size(), 4u);
    for (size_t i = 0; i < ticks.size(); ++i) {
        EXPECT_EQ(ticks[i].at, 5000 + 240 * (i + 1));
        EXPECT_EQ(ticks[i].lagCount, 1);
    }
    EXPECT_EQ(timer->msUntilDue(), 200u);
}

TEST_F(DXTimerTest, ABlockedLoopReportsTheMissedIntervalsAndDoesNotCatchUp)
{
    std::vector<Tick> ticks;
    auto timer = makeTimer(240, ticks);
    timer->setEnabled(true);
    now += 1000; // a handler blocked the loop for a second
    host.runIdle();
    host.runIdle();
    ASSERT_EQ(ticks.size(), 1u);
    EXPECT_EQ(ticks[0].lagCount, 4);
    pollEveryMs(239);
    EXPECT_EQ(ticks.size(), 1u);
    pollEveryMs(1);
    ASSERT_EQ(ticks.size(), 2u);
    EXPECT_EQ(ticks[1].lagCount, 1);
}

TEST_F(DXTimerTest, IntervalZeroFiresOnEveryPollWithTheElapsedTimeAsLag)
{
    std::vector<Tick> ticks;
    auto timer = makeTimer(0, ticks);
    timer->setEnabled(true);
    host.runIdle();
    now += 7;
    host.runIdle();
    ASSERT_EQ(ticks.size(), 2u);
    EXPECT_EQ(ticks[0].lagCount, 1) << "nothing elapsed still counts as one";
    EXPECT_EQ(ticks[1].lagCount, 7);
    EXPECT_EQ(timer->msUntilDue(), 0u);
}

TEST_F(DXTimerTest, NewIntervalSetInsideATickCountsFromThatTick)
{
    std::vector<Tick> ticks;
    auto timer = makeTimer(100, ticks);
    timer->OnTimer = [&](TDXTimer& sender, int lagCount) {
        ticks.push_back({now, lagCount});
        sender.setInterval(30);
    };
    timer->setEnabled(true);
    pollEveryMs(160);
    ASSERT_EQ(ticks.size(), 3u);
    EXPECT_EQ(ticks[0].at, 5100u);
    EXPECT_EQ(ticks[1].at, 5130u);
    EXPECT_EQ(ticks[2].at, 5160u);
}

TEST_F(DXTimerTest, TheClockWrappingDoesNotStopTheTicks)
{
    now = 0xFFFFFF00u;
    std::vector<Tick> ticks;
    auto timer = makeTimer(200, ticks);
    timer->setEnabled(true);
    pollEveryMs(400);
    ASSERT_EQ(ticks.size(), 2u);
    EXPECT_EQ(ticks[1].at, 0xFFFFFF00u + 400u);
}

TEST_F(DXTimerTest, SoundsOfATickArePlacedAtTheTickNotAtTheirCall)
{
    // The sound system's clock is the same clock in nanoseconds, 0.7 ms into the millisecond.
    SoundSystem sounds;
    sounds.setClock([this] { return int64_t{now} * 1'000'000 + 700'000; });
    TDXTimer timer(host, clock(), &sounds);
    timer.setActiveOnly(false);
    timer.setInterval(240);
    std::vector<int64_t> playTimes;
    timer.OnTimer = [&](TDXTimer&, int) {
        playTimes.push_back(sounds.playTime());
        now += 3; // the tick's work takes a while
        playTimes.push_back(sounds.playTime());
    };
    timer.Loaded();
    now += 241; // a millisecond late: the tick and its sounds keep the time it was due
    host.runIdle();
    EXPECT_EQ(timer.previousTickTime(), 5240u);
    EXPECT_EQ(playTimes, (std::vector<int64_t>{5240'000'000, 5240'000'000}));
    now += 239; // 5483, three milliseconds late after the last tick's work: still on the grid
    host.runIdle();
    ASSERT_EQ(playTimes.size(), 4u);
    EXPECT_EQ(playTimes[2], 5480'000'000);
    playTimes.clear();
    now += 500; // 5986, a tick missed: the grid starts again from this tick's reading
    host.runIdle();
    EXPECT_EQ(timer.previousTickTime(), 5986u);
    EXPECT_EQ(playTimes, (std::vector<int64_t>{5986'000'000, 5986'000'000}));
    EXPECT_EQ(sounds.playTime(), sounds.now()) << "outside a tick, sounds start when they are called";

    timer.OnTimer = [&](TDXTimer&, int) { throw Exception("Wave 'Kick' not found"); };
    now += 240;
    EXPECT_THROW(host.runIdle(), Exception);
    EXPECT_EQ(sounds.playTime(), sounds.now()) << "an error leaves no stamp behind";
}

TEST_F(DXTimerTest, OneSlotForAllTimers)
{
    std::vector<Tick> song, pattern;
    auto timer1 = makeTimer(100, song);
    auto timer2 = makeTimer(100, pattern);
    timer1->setEnabled(true);
    pollEveryMs(100);
    EXPECT_EQ(song.size(), 1u);

    timer2->setEnabled(true);
    pollEveryMs(300);
    EXPECT_EQ(song.size(), 1u) << "displaced";
    EXPECT_EQ(pattern.size(), 3u);
    EXPECT_TRUE(timer1->isRunning());
    EXPECT_FALSE(timer1->isTicking());

    timer2->setEnabled(false);
    pollEveryMs(300);
    EXPECT_EQ(song.size(), 1u) << "suspending either empties the slot";
    EXPECT_EQ(host.idleHandler(), nullptr);
    EXPECT_TRUE(timer1->Enabled());

    // Disabling the displaced timer also empties the slot, whichever timer is in it.
    timer2->setEnabled(true);
    timer1->setEnabled(false);
    EXPECT_EQ(host.idleHandler(), nullptr);
    pollEveryMs(300);
    EXPECT_EQ(pattern.size(), 3u);
}

TEST_F(DXTimerTest, SettingTheCurrentValueChangesNothing)
{
    std::vector<Tick> ticks;
    auto timer = makeTimer(100, ticks);
    timer->setEnabled(true);
    pollEveryMs(60);
    timer->setEnabled(true);
    timer->setInterval(100);
    pollEveryMs(40);
    ASSERT_EQ(ticks.size(), 1u) << "a running timer is not restarted";
    EXPECT_EQ(ticks[0].at, 5100u);

    timer->setEnabled(false);
    timer->setEnabled(false);
    pollEveryMs(500);
    EXPECT_EQ(ticks.size(), 1u);
}

TEST_F(DXTimerTest, PropertiesSetWhileLoadingTakeEffectWhenLoaded)
{
    TDXTimer timer(host, clock());
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000u);
    EXPECT_TRUE(timer.ActiveOnly());
    EXPECT_EQ(timer.MaxLag(), 10);
    EXPECT_FALSE(timer.isRunning()) << "loading: nothing starts";
    int ticks = 0;
    timer.OnTimer = [&](TDXTimer&, int) { ++ticks; };
    timer.Loaded();
    EXPECT_TRUE(timer.isTicking());
    pollEveryMs(1000);
    EXPECT_EQ(ticks, 1);
}

TEST_F(DXTimerTest, AnErrorInTheHandlerKeepsTheTimerTicking)
{
    std::vector<Tick> ticks;
    auto timer = makeTimer(100, ticks);
    timer->OnTimer = [&](TDXTimer&, int lagCount) {
        ticks.push_back({now, lagCount});
        throw Exception("Wave 'Kick' not found");
    };
    timer->setEnabled(true);
    now += 100;
    EXPECT_THROW(host.runIdle(), Exception);
    EXPECT_TRUE(timer->isTicking());
    now += 300; // the error box stays open a while
    EXPECT_THROW(host.runIdle(), Exception);
    ASSERT_EQ(ticks.size(), 2u);
    EXPECT_EQ(ticks[1].lagCount, 3);
}

TEST_F(DXTimerTest, ActiveOnlyTimersFollowActivation)
{
    TDXTimer timer(host, clock());
    timer.setInterval(10);
    int activations = 0, deactivations = 0, ticks = 0;
    timer.OnActivate = [&](TDXTimer&) { ++activations; };
    timer.OnDeactivate = [&](TDXTimer&) { ++deactivations; };
    timer.OnTimer = [&](TDXTimer&, int) { ++ticks; };
    host.setActive(false);
    timer.Loaded();
    EXPECT_TRUE(timer.isRunning());
    EXPECT_FALSE(timer.isTicking()) << "waits for activation";
    host.setActive(true);
    EXPECT_TRUE(timer.isTicking());
    pollEveryMs(10);
    host.setActive(false);
    pollEveryMs(100);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(activations, 1);
    EXPECT_EQ(deactivations, 2);

    // Without ActiveOnly, activation changes nothing but the two events.
    timer.setActiveOnly(false);
    timer.setEnabled(false);
    timer.setEnabled(true);
    host.setActive(true);
    host.setActive(false);
    EXPECT_TRUE(timer.isTicking());
    EXPECT_EQ(activations, 2);
}

TEST_F(DXTimerTest, FrameRateCountsTicksPerSecond)
{
    std::vector<Tick> ticks;
    auto timer = makeTimer(20, ticks);
    timer->setEnabled(true);
    pollEveryMs(1000);
    EXPECT_EQ(timer->FrameRate(), 50);
    // Polling every 3 ms: each tick comes up to 2 ms late and the next makes it up, 50 a second.
    for (int i = 0; i < 700; ++i) {
        now += 3;
        host.runIdle();
    }
    EXPECT_EQ(timer->FrameRate(), 50);
}

TEST_F(DXTimerTest, DestroyingATickingTimerEmptiesTheSlot)
{
    std::vector<Tick> ticks;
    auto timer = makeTimer(10, ticks);
    timer->setEnabled(true);
    timer.reset();
    EXPECT_EQ(host.idleHandler(), nullptr);
    host.runIdle();
    host.setActive(false); // no listener left behind
}
