#include "platform/termination_signal.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include <utility>

namespace groovane {

namespace {

int signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    // Async-signal-safe; a full pipe already holds a request.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignal::TerminationSignal(QWidget* window, std::function<bool()> close)
    : window_(window),
      close_(std::move(close))
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        // A request that comes while the close work is still running (its error on screen)
        // ends the program at once.
        if (isClosing_) {
            QCoreApplication::exit(kRefusedCloseStatus);
            return;
        }
        isClosing_ = true;
        // The error the close work shows waits for OK; a session that is ending gives it a few
        // seconds on screen, then the program ends whether or not it was answered.
        QTimer::singleShot(kErrorShownMs, this, [this] {
            if (isClosing_)
                QCoreApplication::exit(kRefusedCloseStatus);
        });
        const bool closed = close_ ? close_() : window_->close();
        isClosing_ = false;
        // The close work has shown why it failed (a full disk, a read-only folder, the files it
        // writes kept as they were); a session that ends cannot wait for the user to fix it.
        if (!closed)
            QCoreApplication::exit(kRefusedCloseStatus);
    });
    struct sigaction action {};
    action.sa_handler = &onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
}

TerminationSignal::~TerminationSignal()
{
    if (!notifier_)
        return;
    ::signal(SIGTERM, SIG_DFL);
    delete notifier_;
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

} // namespace groovane
