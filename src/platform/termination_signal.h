// A request from outside to end the program (SIGTERM, as sent by `kill` or a session that ends)
// closes the main window the way its close button does, so the program ends the one way it
// always ends: the main window's close work runs, and a refused close keeps it running.
#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

namespace groovane {

class TerminationSignal : public QObject {
    Q_OBJECT
public:
    // Catches SIGTERM from now on, for `window`. One at a time; UI thread. The signal handler
    // itself only writes a byte to a pipe; the close runs on the UI thread from the event loop.
    explicit TerminationSignal(QWidget* window);
    // Restores the default action (the process ends at once).
    ~TerminationSignal() override;

private:
    QWidget* window_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace groovane
