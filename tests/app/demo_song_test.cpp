// The demo song as a new working folder has it, through the program's windows: opened from its
// path as the command line opens it, saved again by Save Song to the same bytes, and rendered
// with the default kit into a file that holds every pattern of the song; groovane-render in the
// same folder writes that file byte for byte.
#include "platform/files.h"
#include "platform/line_buffer.h"
#include "pattern/pattern_file.h"
#include "app/program_windows.h"
#include "support/scripted_dialogs.h"
#include "app/sequence_window.h"
#include "support/sequence_window_access.h"
#include "song/song_file.h"
#include "support/working_folder.h"

#include <QLineEdit>
#include <QProcess>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>

using namespace groovane;
namespace fs = std::filesystem;

class DemoSongTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const auto& entry : fs::directory_iterator(GROOVANE_SOURCE_DATA)) {
            const std::string name = entry.path().filename().string();
            if (name == "Demo.sng" || entry.path().extension() == ".pat")
                fs::copy_file(entry.path(), folder.path() / name);
        }
    }

    test::WorkingFolder folder;
    test::ScriptedDialogs dialogs;
};

TEST_F(DemoSongTest, OpensFromItsPathAndSavesAgainToTheSameFile)
{
    ProgramWindows windows;
    windows.Sequence->openSongFile(folder.file("Demo.sng"));
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(controlsOf(*windows.Sequence).Edit3->text(), "Demo");
    const SongFileContents song = readSongFile(LineBuffer::splitLines(folder.read("Demo.sng")));
    const PlayList list = windows.Sequence->readSongList();
    ASSERT_EQ(list.entries().size(), song.names.size());
    EXPECT_EQ(list.entries().front().name, "Count-in");

    dialogs.saveAnswers.push_back(folder.file("Again.sng"));
    windows.Sequence->BitBtn9Click();
    EXPECT_EQ(folder.read("Again.sng"), folder.read("Demo.sng"));
}

TEST_F(DemoSongTest, RendersEveryPatternOfTheSongFromTheWindowAndTheCommandLine)
{
    ProgramWindows windows;
    windows.Sequence->openSongFile("Demo.sng");
    dialogs.saveAnswers.push_back(folder.file("Demo.wav"));
    windows.Sequence->RendorClick();
    ASSERT_TRUE(dialogs.errors.empty()) << dialogs.errors.front();
    const std::string wav = folder.read("Demo.wav");
    ASSERT_GT(wav.size(), 44u);

    // Rows sound one step (2 x tempo ms) apart, and at a pattern change the new pattern's step
    // already governs the gap before its first row. Each entry's first row holds a hit, so the
    // output sounds within a few milliseconds of that frame.
    const auto leftSample = [&wav](size_t frame) {
        const size_t at = 44 + frame * 4;
        return at + 1 < wav.size()
                   ? static_cast<int16_t>(static_cast<uint8_t>(wav[at]) | static_cast<uint8_t>(wav[at + 1]) << 8)
                   : 0;
    };
    double lastRowMs = 0;
    double startMs = 0; // the end of the song's last row
    double lastLoopMs = 0;
    const PlayList list = windows.Sequence->readSongList();
    for (const PlayListEntry& entry : list.entries()) {
        SCOPED_TRACE(entry.name);
        const PatternFileReader pattern(LineBuffer::splitLines(folder.read(entry.name + ".pat")));
        const double stepMs = 2.0 * pattern.tempoPosition();
        const double firstRowMs = &entry == &list.entries().front() ? 0 : lastRowMs + stepMs;
        const auto startFrame = static_cast<size_t>(std::llround(firstRowMs * 44.1));
        int peak = 0;
        for (size_t frame = startFrame; frame < startFrame + 441; ++frame)
            peak = std::max(peak, std::abs(int(leftSample(frame))));
        EXPECT_GT(peak, 1000);
        lastLoopMs = stepMs * pattern.length();
        lastRowMs = firstRowMs + stepMs * (pattern.length() * pattern.loopCount() - 1);
        startMs = lastRowMs + stepMs;
    }
    // The file ends with the last hits' sounds: in the second half of the last loop, and no
    // later than the longest sound of the kit after it.
    const double endMs = (wav.size() - 44) / 4 / 44.1;
    EXPECT_GT(endMs, startMs - lastLoopMs / 2);
    EXPECT_LT(endMs, startMs + 3000);

    QProcess render;
    render.setWorkingDirectory(QString::fromStdString(folder.path().string()));
    render.start(GROOVANE_RENDER, {"--quiet", "Demo.sng", "Command line.wav"});
    ASSERT_TRUE(render.waitForFinished(-1));
    EXPECT_EQ(render.exitCode(), 0) << render.readAllStandardError().toStdString();
    EXPECT_TRUE(folder.read("Command line.wav") == wav) << "groovane-render wrote another file";
}
