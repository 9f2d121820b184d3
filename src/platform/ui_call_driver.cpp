#include "platform/ui_call_driver.h"

#include "platform/handler_guard.h"
#include "platform/ui_call_queue.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace groovane {

UiCallDriver::UiCallDriver(UiCallQueue& queue) : queue_(queue)
{
    // Posting is all the worker's thread does here; serve() runs on the UI thread.
    queue_.setPostListener([&queue] {
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app, [&queue] { queue.serve(); }, Qt::QueuedConnection);
    });
    queue_.setErrorReporter([](std::exception_ptr error) { showCurrentException(error); });
}

UiCallDriver::~UiCallDriver()
{
    queue_.setPostListener({});
    queue_.setErrorReporter({});
}

} // namespace groovane
