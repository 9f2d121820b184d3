// The UI call queue connected to the Qt event loop: a worker's calls run from the loop, and an
// error a call raises reaches the program's error box.
#include "platform/exception.h"
#include "support/scripted_dialogs.h"
#include "platform/ui_call_driver.h"
#include "platform/ui_call_queue.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace groovane {
namespace {

TEST(UiCallDriver, ServesHandedOverCallsFromTheEventLoopAndShowsTheirErrors)
{
    test::ScriptedDialogs dialogs;
    UiCallQueue queue;
    UiCallDriver driver(queue);
    const std::thread::id ui = std::this_thread::get_id();
    std::thread::id ranOn;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        queue.callAndWait([&] { ranOn = std::this_thread::get_id(); });
        queue.callAndWait([] { throw Exception("Stream read error"); });
        done = true;
        // Wakes the loop below so it sees `done`.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    worker.join();
    EXPECT_EQ(ranOn, ui);
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"Stream read error."});
}

} // namespace
} // namespace groovane
