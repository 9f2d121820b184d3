// The hand-over of calls from workers to the UI thread, and the manual clock workers wait on in
// tests: calls run on the serving thread, a failing call releases its worker before the error
// is reported, serveUntil serves while it waits, and the clock's periods end only when told.
#include "platform/ui_call_queue.h"
#include "platform/worker_clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace groovane {
namespace {

TEST(UiCallQueue, CallsRunOnTheServingThreadWhileTheirWorkersWait)
{
    UiCallQueue queue;
    const std::thread::id ui = std::this_thread::get_id();
    std::atomic<int> returned{0};
    std::vector<std::thread::id> ranOn;
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i)
        workers.emplace_back([&] {
            queue.callAndWait([&] { ranOn.push_back(std::this_thread::get_id()); });
            ++returned;
            queue.notify();
        });
    queue.serveUntil([&] { return returned.load() == 4; });
    for (std::thread& w : workers)
        w.join();
    ASSERT_EQ(ranOn.size(), 4u);
    for (std::thread::id id : ranOn)
        EXPECT_EQ(id, ui);
    EXPECT_EQ(queue.serve(), 0);
    EXPECT_EQ(queue.pending(), 0u);
}

TEST(UiCallQueue, AFailingCallReleasesItsWorkerBeforeTheErrorIsReported)
{
    UiCallQueue queue;
    std::atomic<bool> workerWentOn{false};
    std::vector<std::string> reported;
    int posts = 0;
    queue.setPostListener([&] { ++posts; });
    // The report waits for the worker to go on: were the worker still held, this would hang.
    queue.setErrorReporter([&](std::exception_ptr error) {
        queue.serveUntil([&] { return workerWentOn.load(); });
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            reported.push_back(e.what());
        }
    });
    std::thread worker([&] {
        queue.callAndWait([] { throw std::runtime_error("refill failed"); });
        workerWentOn = true;
        queue.notify();
    });
    queue.serveUntil([&] { return !reported.empty(); });
    worker.join();
    EXPECT_EQ(reported, std::vector<std::string>{"refill failed"});
    EXPECT_EQ(posts, 1);
}

TEST(UiCallQueue, ACallMayServeTheQueueItselfAndEachCallRunsOnce)
{
    UiCallQueue queue;
    std::vector<int> order;
    std::atomic<int> handed{0};
    std::thread second;
    std::thread first([&] {
        queue.callAndWait([&] {
            order.push_back(1);
            // A nested event loop inside the first call serves the second.
            second = std::thread([&] {
                queue.callAndWait([&] { order.push_back(2); });
                ++handed;
                queue.notify();
            });
            queue.serveUntil([&] { return handed.load() == 1; });
        });
        ++handed;
        queue.notify();
    });
    queue.serveUntil([&] { return handed.load() == 2; });
    first.join();
    second.join();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(ManualWorkerClock, PeriodsEndOnlyWhenTheClockMovesAndASignalIsConsumedOnce)
{
    UiCallQueue queue;
    ManualWorkerClock clock;
    WakeEvent event;
    std::atomic<int> timeouts{0};
    std::atomic<int> signals{0};
    clock.enter(event);
    std::thread worker([&] {
        // Two periods, then two signals: the second signal ends the worker.
        while (signals.load() < 2) {
            if (clock.wait(event, 50))
                ++signals;
            else
                queue.callAndWait([&] { ++timeouts; });
        }
        clock.leave(event);
    });
    clock.settle(queue);
    clock.advance(49);
    clock.settle(queue);
    EXPECT_EQ(timeouts.load(), 0);
    clock.step(1, queue);
    EXPECT_EQ(timeouts.load(), 1);
    clock.step(50, queue);
    EXPECT_EQ(timeouts.load(), 2);

    event.signal();
    clock.settle(queue);
    EXPECT_EQ(signals.load(), 1);
    EXPECT_EQ(clock.workerCount(), 1);
    event.signal();
    clock.settle(queue);
    worker.join();
    EXPECT_EQ(signals.load(), 2);
    EXPECT_EQ(timeouts.load(), 2);
    EXPECT_EQ(clock.workerCount(), 0);
}

} // namespace
} // namespace groovane
