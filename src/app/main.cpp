// Groovane Pro: a drum-pattern sequencer. The program works in the folder --folder names, in the
// folder it is started in when that holds the default kit, and otherwise in ~/Groovane; a folder
// it works in other than a current working folder is prepared first (folder_preparation.h).
#include "app/command_line.h"
#include "platform/dialogs.h"
#include "app/folder_preparation.h"
#include "platform/handler_guard.h"
#include "platform/idle_driver.h"
#include "app/program_windows.h"
#include "platform/qt_dialogs.h"
#include "app/sequence_window.h"
#include "platform/sound_device.h"
#include "platform/sound_system.h"
#include "platform/ui_call_driver.h"
#include "platform/ui_call_queue.h"
#include "platform/termination_signal.h"
#include "platform/toolkit_messages.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Reads the command line, chooses the working folder and, unless it is the current folder as it
// is, prepares it and changes into it.
// Returns the song to open once the windows are up, or the exit code when the program ends here
// (--help, --version, a bad command line, a folder that cannot be prepared).
struct Start {
    std::optional<std::string> song;
    std::optional<int> exitCode;
    fs::path shipped; // the program's own files
};

Start start(int argc, char** argv)
{
    groovane::CommandLine line;
    try {
        line = groovane::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), std::getenv("HOME"));
    } catch (const groovane::CommandLineError& error) {
        std::fprintf(stderr, "groovane: %s\nTry 'groovane --help'.\n", error.what());
        return {std::nullopt, 2, {}};
    }
    if (line.showsHelp || line.showsVersion) {
        std::fputs(line.showsHelp ? groovane::usageText().c_str() : groovane::versionText().c_str(), stdout);
        return {std::nullopt, 0, {}};
    }
    std::error_code ec;
    const fs::path invocationFolder = fs::current_path(ec);
    const groovane::FolderChoice choice =
        groovane::chooseWorkingFolder(line.folder, invocationFolder, std::getenv("HOME"));
    if (!choice.note.empty())
        std::fprintf(stderr, "groovane: %s\n", choice.note.c_str());
    const fs::path executable = fs::read_symlink("/proc/self/exe", ec);
    const fs::path shipped = groovane::shippedFilesFolder(executable, GROOVANE_SHIPPED_RELATIVE, GROOVANE_BUILD_DATA);
    std::optional<fs::path> newFolder;
    if (choice.toPrepare) {
        try {
            if (groovane::prepareWorkingFolder(*choice.toPrepare, shipped).isNew)
                newFolder = fs::absolute(*choice.toPrepare, ec);
            fs::current_path(*choice.toPrepare);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "groovane: %s\n", error.what());
            return {std::nullopt, 1, {}};
        }
    }
    return {groovane::startupSong(line.song, invocationFolder, newFolder), std::nullopt, shipped};
}

} // namespace

int main(int argc, char** argv)
{
    const Start how = start(argc, argv);
    if (how.exitCode)
        return *how.exitCode;
    // Only the program's own lines and the toolkit's real warnings reach the terminal.
    groovane::quietenToolkitMessages();
    // The toolkit takes none of the program's arguments.
    int toolkitArgc = 1;
    QApplication app(toolkitArgc, argv);
    // The desktop entry's name is the application's: the window's class (from the application's
    // name) and its app id (from the desktop file name) follow it, so docks and task bars show
    // the window under its menu entry. Windows and boxes still say "Groovane Pro".
    QApplication::setApplicationName(QStringLiteral(GROOVANE_APP_ID));
    QApplication::setApplicationDisplayName(groovane::kApplicationTitle);
    QGuiApplication::setDesktopFileName(QStringLiteral(GROOVANE_APP_ID));
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
        windows.Sequence->InstalledFolder = how.shipped.string();
        // The main window's closing ends the program, whatever other windows are open or refuse
        // to close; a SIGTERM closes it like its close button.
        windows.Sequence->onClosed = [] { QCoreApplication::exit(0); };
        groovane::TerminationSignal termination(windows.Sequence.get(),
                                                [&windows] { return windows.Sequence->closeWithoutQuestion(); });
        // A sound card that cannot be opened, or is lost for good, is said once in a box, where
        // someone who started the program from a menu looks, besides the line on stderr.
        groovane::NoSoundNotice noSound;
        QTimer soundWatch;
        const auto tellNoSound = [&noSound, &soundWatch] {
            if (const auto text = noSound.take(groovane::SoundSystem::instance())) {
                soundWatch.stop();
                groovane::dialogs().message(groovane::kApplicationTitle, *text, groovane::MessageIcon::Warning,
                                            groovane::MessageButtons::Ok);
            }
        };
        QObject::connect(&soundWatch, &QTimer::timeout, tellNoSound);
        soundWatch.start(1000);
        QTimer::singleShot(0, windows.Sequence.get(), tellNoSound);
        // The song opens once the event loop runs, over the windows, as Open Song would.
        if (how.song)
            QTimer::singleShot(0, windows.Sequence.get(), [&windows, &how] {
                groovane::runGuarded([&] { windows.Sequence->openSongFile(*how.song); });
            });
        result = QApplication::exec();
        // Silence first: no mixing runs while the windows and their sounds are taken down.
        groovane::SoundSystem::instance().stopOutput();
        dialogs.setParent(nullptr);
    }
    groovane::setDialogs(nullptr);
    return result;
}
