// A request from outside to end the program (SIGTERM, as sent by `kill` or a session that ends)
// closes the main window the way its close button does, so the program ends the one way it
// always ends: the main window's close work runs. Unlike the close button, a close refused
// because that work failed still ends the program, with exit status 1, once its error has been
// answered or has been on screen for a few seconds: the request to end comes from outside and
// cannot be answered by staying.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;
class QWidget;

namespace groovane {

class TerminationSignal : public QObject {
    Q_OBJECT
public:
    // Catches SIGTERM from now on, for `window`. One at a time; UI thread. The signal handler
    // itself only writes a byte to a pipe; the close runs on the UI thread from the event loop,
    // through `close` when given (a close that asks the user nothing, as a session that ends
    // cannot wait for answers), otherwise the window's own close. It returns whether it closed.
    explicit TerminationSignal(QWidget* window, std::function<bool()> close = {});
    // Restores the default action (the process ends at once).
    ~TerminationSignal() override;

    // The event loop's exit status when the close work failed.
    static constexpr int kRefusedCloseStatus = 1;
    // How long the close work's error stays on screen, unanswered, before the program ends.
    static constexpr int kErrorShownMs = 3000;

private:
    QWidget* window_;
    std::function<bool()> close_;
    bool isClosing_ = false;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace groovane
