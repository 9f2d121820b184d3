#include "sound/dx_timer.h"
#include "platform/exception.h"
#include "platform/idle_driver.h"
#include "support/scripted_dialogs.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

using namespace groovane;

namespace {

QCoreApplication& application()
{
    static int argc = 1;
    static char name[] = "idle_driver_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app =
        QCoreApplication::instance() ? QCoreApplication::instance() : new QCoreApplication(argc, argv);
    return *app;
}

} // namespace

// The driver against a clock the test moves: the Qt timer is armed for the timer's due time, and
// the tick runs when the test's clock says it is due, however long the real wait was.
class IdleDriverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        application();
        timer.setActiveOnly(false);
        timer.setEnabled(false);
        timer.setInterval(240);
        timer.Loaded();
        timer.OnTimer = [this](TDXTimer&, int lagCount) { lags.push_back(lagCount); };
    }

    // Runs the event loop in short slices until `done`, for at most a bounded number of slices.
    static void runLoopFor(int ms)
    {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
    template <class Done>
    void pumpUntil(Done done)
    {
        for (int i = 0; i < 400 && !done(); ++i)
            runLoopFor(5);
    }

    IdleHost host;
    uint32_t now = 1000;
    TDXTimer timer{host, [this] { return now; }};
    IdleDriver driver{host, 1};
    std::vector<int> lags;
};

TEST_F(IdleDriverTest, SleepsUntilTheDueTimeInsteadOfPolling)
{
    EXPECT_FALSE(driver.isArmed()) << "an empty slot costs nothing";
    timer.setEnabled(true);
    ASSERT_TRUE(driver.isArmed());
    EXPECT_EQ(driver.armedIntervalMs(), 240);
    now += 100;
    timer.setInterval(120);
    EXPECT_EQ(driver.armedIntervalMs(), 20) << "re-armed for the new due time";
    now += 20;
    pumpUntil([&] { return !lags.empty(); });
    ASSERT_EQ(lags, std::vector<int>{1});
    EXPECT_EQ(driver.armedIntervalMs(), 120);
    timer.setEnabled(false);
    EXPECT_FALSE(driver.isArmed());
}

TEST_F(IdleDriverTest, AnErrorIsShownAndTickingGoesOn)
{
    test::ScriptedDialogs dialogs;
    timer.OnTimer = [this](TDXTimer&, int lagCount) {
        lags.push_back(lagCount);
        throw Exception("Wave 'Kick' not found");
    };
    timer.setEnabled(true);
    now += 240;
    pumpUntil([&] { return lags.size() == 1; });
    now += 240;
    pumpUntil([&] { return lags.size() == 2; });
    EXPECT_EQ(lags.size(), 2u);
    EXPECT_EQ(dialogs.errors, (std::vector<std::string>{"Wave 'Kick' not found.", "Wave 'Kick' not found."}));
    EXPECT_TRUE(driver.isArmed());
}

TEST_F(IdleDriverTest, NoTicksWhilePausedOrInsideANestedLoop)
{
    timer.setEnabled(true);
    now += 1000;
    {
        IdleHost::Pause pause(host);
        host.dueTimeChanged();
        runLoopFor(30);
        EXPECT_TRUE(lags.empty());
    }
    // A modal dialog's loop runs one level deeper than the loop ticks belong to.
    QEventLoop outer;
    QTimer::singleShot(0, &outer, [&] {
        host.dueTimeChanged(); // due at once, while the nested loop runs
        runLoopFor(30);
        outer.quit();
    });
    outer.exec();
    EXPECT_TRUE(lags.empty());
    pumpUntil([&] { return !lags.empty(); });
    ASSERT_EQ(lags, std::vector<int>{4}) << "the lag of the blocked stretch is reported";
}
