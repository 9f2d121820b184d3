// Groovane Pro: a drum-pattern sequencer. The program works in the folder it is started in.
#include "dialogs.h"
#include "idle_driver.h"
#include "program_windows.h"
#include "qt_dialogs.h"
#include "sequence_window.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(groovane::kApplicationTitle);
    // Secondary windows only hide when closed; the main window's closing ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    // Step timers tick from the application's idle slot; this wakes the event loop when due.
    groovane::IdleDriver idleDriver;

    groovane::QtDialogs dialogs;
    groovane::setDialogs(&dialogs);
    int result = 0;
    {
        groovane::ProgramWindows windows;
        dialogs.setParent(windows.Sequence.get());
        result = QApplication::exec();
        dialogs.setParent(nullptr);
    }
    groovane::setDialogs(nullptr);
    return result;
}
