// How long the program takes to end once its main window closes, from outside, as a user sees
// it: the built program runs in a working folder of its own with no screen, is asked to close
// its main window (SIGTERM, which closes it like its close button), and the time until the
// process has ended is measured. A user should never wait more than 0.3 s.
#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

// Whether process `pid` catches SIGTERM yet: then its windows are up.
bool catchesTermination(qint64 pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1;
    return false;
}

// A working folder laid out as scripts/run.sh lays it out.
fs::path makeWorkingFolder()
{
    std::string templ = (fs::temp_directory_path() / "groovane-exit-bench-XXXXXX").string();
    if (!::mkdtemp(templ.data()))
        std::abort();
    const fs::path folder = templ;
    fs::copy_file(GROOVANE_DEFAULT_KIT, folder / "Rock_kit.dxg");
    for (const char* name : {"Blank.wav", "Panning.dat"})
        fs::copy_file(fs::path(GROOVANE_SOURCE_DATA) / name, folder / name);
    fs::create_directory(folder / "temp");
    return folder;
}

// Arg 0: the null output; arg 1: the WAV recorder.
void CloseToExit(benchmark::State& state)
{
    static int argc = 1;
    static char name[] = "program_exit_bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    const fs::path folder = makeWorkingFolder();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("GROOVANE_AUDIO",
               state.range(0) == 0 ? QString("null") : QString::fromStdString("wav:" + (folder / "rec.wav").string()));
    for (auto _ : state) {
        QProcess program;
        program.setProgram(GROOVANE_PROGRAM);
        program.setWorkingDirectory(QString::fromStdString(folder.string()));
        program.setProcessEnvironment(env);
        program.start();
        if (!program.waitForStarted(-1)) {
            state.SkipWithError("the program did not start");
            break;
        }
        while (!catchesTermination(program.processId()) && program.state() == QProcess::Running)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        // Let the event loop settle, as a user's close never comes in the first moment.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));

        const auto closed = std::chrono::steady_clock::now();
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        program.waitForFinished(-1);
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - closed;
        state.SetIterationTime(seconds.count());
        if (program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0) {
            state.SkipWithError("the program did not end by its close");
            break;
        }
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
}

} // namespace

BENCHMARK(CloseToExit)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
