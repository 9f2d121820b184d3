// The built program, started in a working folder of its own with no screen, is asked to end the
// way a session or `kill` asks (SIGTERM, which closes the main window like its close button). It
// must end by that close, normally, with its sound output stopped and its recording complete.
// How long that takes is measured by bench/program_exit_bench.cpp.
#include "support/working_folder.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <cstdint>
#include <fstream>
#include <thread>

namespace {

// Whether process `pid` catches SIGTERM yet, from the mask of caught signals in /proc.
bool catchesTermination(qint64 pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1;
    return false;
}

uint32_t le32(const std::string& bytes, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes.at(at + static_cast<size_t>(i)));
    return v;
}

} // namespace

// Starts the program in `folder`, recording into `recording`, and waits until it catches SIGTERM.
static void startProgram(QProcess& program, const groovane::test::WorkingFolder& folder, const std::string& recording)
{
    program.setProgram(GROOVANE_PROGRAM);
    program.setWorkingDirectory(QString::fromStdString(folder.path().string()));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("GROOVANE_AUDIO", QString::fromStdString("wav:" + recording));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start();
    ASSERT_TRUE(program.waitForStarted(-1));

    // The program catches SIGTERM once its windows are up and its event loop is about to run.
    // (The limit only keeps a broken program from hanging the test run.)
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!catchesTermination(program.processId()) && program.state() == QProcess::Running &&
           std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(catchesTermination(program.processId())) << "the program ended before it was up";
}

TEST(ProgramExit, ClosingTheMainWindowEndsTheProcessWithItsRecordingComplete)
{
    groovane::test::WorkingFolder folder;
    const std::string recording = folder.file("recording.wav");
    QProcess program;
    startProgram(program, folder, recording);
    if (HasFatalFailure())
        return;

    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(120000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "ended by the close, not by the signal";
    EXPECT_EQ(program.exitCode(), 0);

    // The output was stopped and its file closed: the header counts every byte written.
    const std::string bytes = folder.read("recording.wav");
    ASSERT_GE(bytes.size(), 44u);
    EXPECT_EQ(le32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(le32(bytes, 40), bytes.size() - 44);
}

TEST(ProgramExit, ASessionEndingAtAFullDiskEndsTheProgramAndKeepsThePans)
{
    // "Panning.dat" cannot be replaced (no one may write it): the close work fails and shows
    // why, and the program ends all the same, with the old pans whole.
    groovane::test::WorkingFolder folder;
    const std::string pans = folder.read("Panning.dat");
    std::filesystem::permissions(folder.path() / "Panning.dat", std::filesystem::perms::owner_read |
                                                                    std::filesystem::perms::group_read |
                                                                    std::filesystem::perms::others_read);
    QProcess program;
    startProgram(program, folder, folder.file("recording.wav"));
    if (HasFatalFailure())
        return;
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(120000)) << "the refused close kept the program running";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);
    EXPECT_EQ(folder.read("Panning.dat"), pans);
}
