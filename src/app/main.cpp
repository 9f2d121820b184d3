// Groovane Pro: a drum-pattern sequencer. The program works in the folder it is started in.
#include "dialogs.h"
#include "idle_driver.h"
#include "program_windows.h"
#include "qt_dialogs.h"
#include "sequence_window.h"
#include "sound_device.h"
#include "sound_system.h"
#include "ui_call_driver.h"
#include "ui_call_queue.h"
#include "termination_signal.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(groovane::kApplicationTitle);
    // Secondary windows only hide when closed; the main window's closing ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    // Step timers tick from the application's idle slot; this wakes the event loop when due.
    groovane::IdleDriver idleDriver;
    // Streamed players' workers hand their refills to this thread through the event loop.
    groovane::UiCallDriver uiCallDriver(groovane::uiCallQueue());

    // Sounds made without global focus fall silent while another program is active.
    QObject::connect(&app, &QGuiApplication::applicationStateChanged, [](Qt::ApplicationState state) {
        groovane::setApplicationActive(state == Qt::ApplicationActive);
    });
    // Open the sound card (GROOVANE_AUDIO picks another output) before any window makes a device.
    groovane::SoundSystem::instance().ensureOutput();

    groovane::QtDialogs dialogs;
    groovane::setDialogs(&dialogs);
    int result = 0;
    {
        groovane::ProgramWindows windows;
        dialogs.setParent(windows.Sequence.get());
        // The main window's closing ends the program, whatever other windows are open or refuse
        // to close; a SIGTERM closes it like its close button.
        windows.Sequence->onClosed = [] { QCoreApplication::exit(0); };
        groovane::TerminationSignal termination(windows.Sequence.get());
        result = QApplication::exec();
        // Silence first: no mixing runs while the windows and their sounds are taken down.
        groovane::SoundSystem::instance().stopOutput();
        dialogs.setParent(nullptr);
    }
    groovane::setDialogs(nullptr);
    return result;
}
