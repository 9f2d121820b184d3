// groovane-render against the program: a song opened with Open Song on a fresh start and
// rendered from the window, and the same song rendered by the command-line program in the same
// folder, give the same file byte for byte, from the first entry and from a later one. The song
// uses kit sounds with stored pans, sample slots with a pitch, with a pan, and with a pitch and
// pan the sound device refuses, and two patterns at different tempos; a stale scratch copy of a
// slot, and a slot closed and the song opened again during a render, change nothing.
#include "support/le_bytes.h"
#include "platform/line_buffer.h"
#include "platform/list_box.h"
#include "app/program_windows.h"
#include "samples/sample_window.h"
#include "support/scripted_dialogs.h"
#include "app/sequence_window.h"
#include "support/sequence_window_access.h"
#include "support/song_files.h"
#include "support/working_folder.h"

#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>

using namespace groovane;
using namespace groovane::test;

namespace {

// A 16-bit PCM WAV file of `frames` frames of a decaying tone.
std::string toneWav(int channels, std::uint32_t rate, int frames)
{
    std::string samples;
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            samples += le16(static_cast<int>(20000 * std::sin(f * 0.05 * (c + 1)) * std::exp(-f / 3000.0)));
    const std::string fmt =
        le16(1) + le16(channels) + le32(rate) + le32(rate * channels * 2) + le16(channels * 2) + le16(16);
    const std::string body = "WAVE" + chunk("fmt ", fmt) + chunk("data", samples);
    return "RIFF" + le32(static_cast<std::uint32_t>(body.size())) + body;
}

// Runs groovane-render in `folder`; its exit status, and what it printed on stderr.
std::pair<int, std::string> runCommandLine(const TempFolder& folder, const QStringList& args)
{
    QProcess program;
    program.setProgram(GROOVANE_RENDER);
    program.setArguments(args);
    program.setWorkingDirectory(QString::fromStdString(folder.path().string()));
    program.start();
    if (!program.waitForFinished(-1))
        return {-1, "did not run"};
    return {program.exitCode(), program.readAllStandardError().toStdString()};
}

} // namespace

TEST(CommandLineRender, WritesTheWindowsRenderOfTheSameSongByteForByte)
{
    WorkingFolder folder;
    ScriptedDialogs dialogs;
    folder.write("Panning.dat", LineBuffer::joinLines({"0", "-2000", "1500", "0", "700", "-300", "0", "0", "0", "2000",
                                                       "0", "0", "0", "0", "0", "0", "0"}));
    folder.write("Low.wav", toneWav(1, 22050, 3000));
    folder.write("Hit.wav", toneWav(2, 44100, 2500));
    writePatternFile(folder, "Verse", 8, 55, 2,
                     {{"Kick", "ClsHiat", "Sample1"},
                      {"", "ClsHiat"},
                      {"Snare", "OpHiat", "", "Sample2"},
                      {"", "ClsHiat", "Sample3"},
                      {"Kick", "ClsHiat"},
                      {"Kick", "ClsHiat", "sample2"},
                      {"Snare", "Cymbol1"},
                      {"", "ClsHiat", "Kick"}});
    writePatternFile(folder, "Fill", 4, 80, 1,
                     {{"Tom1", "Sample1"}, {"Tom2"}, {"Snare", "Short Kick"}, {"Kick", "Cymbol2"}});
    // Slot 1 by its full path at a pitch, slot 2 by a bare name at its own rate and panned right,
    // slot 3 with a pitch and a pan outside what the sound device takes (it keeps its own).
    writeSongFile(folder, "Song.sng", {"Verse", "Fill", "Verse"},
                  {SongSampleSettings{folder.file("Low.wav"), 30000, -2500}, SongSampleSettings{"Hit.wav", 0, 4000},
                   SongSampleSettings{"Hit.wav", 50, 20000}});

    {
        ProgramWindows windows;
        TSequence& main = *windows.Sequence;
        dialogs.openAnswers.push_back(folder.file("Song.sng"));
        main.BitBtn8Click();
        // A stale scratch copy of slot 1: the render mixes what the slot's player plays.
        folder.write("temp/Sample1.wav", toneWav(2, 44100, 100));
        dialogs.saveAnswers.push_back(folder.file("window.wav"));
        main.RendorClick();

        // While the second render runs, slot 3 is closed in its window and the song opened
        // again: the render goes on with the sounds it started with.
        controlsOf(main).SongList->setCurrentRow(1);
        dialogs.saveAnswers.push_back(folder.file("window-fill.wav"));
        dialogs.openAnswers.push_back(folder.file("Song.sng"));
        QTimer::singleShot(0, &main, [&] {
            windows.sampleWindow(3)->FileCloseClick();
            main.BitBtn8Click();
        });
        main.RendorClick();
    }
    ASSERT_TRUE(dialogs.errors.empty()) << dialogs.errors.front();

    EXPECT_EQ(runCommandLine(folder, {"Song.sng", "cli.wav"}), std::make_pair(0, std::string()));
    EXPECT_EQ(runCommandLine(folder, {"--from", "2", "--quiet", "Song.sng", "cli-fill.wav"}),
              std::make_pair(0, std::string()));

    const std::string window = folder.read("window.wav");
    ASSERT_GT(window.size(), 44u + 4 * 44100);
    EXPECT_TRUE(folder.read("cli.wav") == window) << "the command line's render differs from the window's";
    const std::string fill = folder.read("window-fill.wav");
    EXPECT_LT(fill.size(), window.size());
    EXPECT_TRUE(folder.read("cli-fill.wav") == fill) << "the renders from entry 2 differ";
}

TEST(CommandLineRender, RunsStartedTogetherInOneFolderEachWriteTheirOwnSong)
{
    // Two songs long enough that four runs started together overlap (a scratch file shared
    // between them would mix one song into another), each against its render run alone.
    WorkingFolder folder;
    folder.write("Hit.wav", toneWav(2, 44100, 20000));
    writePatternFile(folder, "Beat", 16, 90, 12,
                     {{"Kick", "ClsHiat"}, {"", "ClsHiat"}, {"Snare", "OpHiat", "Sample1"}, {"", "ClsHiat"}});
    writePatternFile(folder, "Toms", 8, 60, 10, {{"Tom1", "Sample1"}, {"Tom2"}, {"Snare", "Cymbol2"}});
    writeSongFile(folder, "A.sng", {"Beat", "Toms"}, {SongSampleSettings{"Hit.wav", 0, 0}});
    writeSongFile(folder, "B.sng", {"Toms", "Beat", "Toms"}, {SongSampleSettings{"Hit.wav", 30000, 1000}});
    ASSERT_EQ(runCommandLine(folder, {"-q", "A.sng", "alone-a.wav"}).first, 0);
    ASSERT_EQ(runCommandLine(folder, {"-q", "B.sng", "alone-b.wav"}).first, 0);
    ASSERT_NE(folder.read("alone-a.wav"), folder.read("alone-b.wav"));

    std::vector<std::unique_ptr<QProcess>> runs;
    for (int i = 0; i < 4; ++i) {
        auto run = std::make_unique<QProcess>();
        run->setProgram(GROOVANE_RENDER);
        run->setArguments({"-q", i % 2 == 0 ? "A.sng" : "B.sng", QString("together-%1.wav").arg(i)});
        run->setWorkingDirectory(QString::fromStdString(folder.path().string()));
        runs.push_back(std::move(run));
    }
    for (auto& run : runs)
        run->start();
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(runs[size_t(i)]->waitForFinished(-1));
        EXPECT_EQ(runs[size_t(i)]->exitCode(), 0) << runs[size_t(i)]->readAllStandardError().toStdString();
        EXPECT_TRUE(folder.read("together-" + std::to_string(i) + ".wav") ==
                    folder.read(i % 2 == 0 ? "alone-a.wav" : "alone-b.wav"))
            << "run " << i << " differs from its song rendered alone";
    }
    // Each run's scratch file is gone with it.
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
}
