// The sample windows wired to the main window by ProgramWindows: Open Song gives the real
// windows' players their files, pitches and pans (a closed slot opened again, the volume kept,
// the pitch slider moved without touching the player, the scratch copy refreshed), Save Song
// reads them back, and playback restarts and silences the slots through the same wiring.
#include "sound/audio_stream.h"
#include "platform/files.h"
#include "platform/handler_guard.h"
#include "app/program_windows.h"
#include "samples/sample_window.h"
#include "support/scripted_dialogs.h"
#include "app/sequence_window.h"
#include "support/sequence_window_access.h"
#include "platform/ui_call_queue.h"
#include "platform/worker_clock.h"
#include "support/working_folder.h"

#include "support/le_bytes.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include <gtest/gtest.h>

#include <filesystem>

using namespace groovane;
using test::chunk;
using test::le16;
using test::le32;

namespace {

// A mono 16-bit WAV image of `frames` samples of `level` at `rate`.
std::string wav(uint32_t rate, int frames, int16_t level)
{
    std::string data;
    for (int i = 0; i < frames; ++i)
        data += le16(static_cast<uint16_t>(level));
    const std::string body =
        chunk("fmt ", le16(1) + le16(1) + le32(rate) + le32(rate * 2) + le16(2) + le16(16)) + chunk("data", data);
    return "RIFF" + le32(uint32_t(body.size() + 4)) + "WAVE" + body;
}

std::string block(int slot, const std::string& path, int frequency, int pan)
{
    return "<*sam" + std::to_string(slot) + "\r\n" + path + "\r\n" + std::to_string(frequency) + "\r\n//\r\n" +
           std::to_string(pan) + "\r\n";
}

} // namespace

class SampleSlotAccessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setWorkerClock(&clock);
        windows = std::make_unique<ProgramWindows>();
        ASSERT_TRUE(dialogs.errors.empty());
    }
    void TearDown() override
    {
        windows.reset();
        setWorkerClock(nullptr);
    }

    SampleWindow& slot(int k) { return *windows->sampleWindow(k); }
    TSequence& sequence() { return *windows->Sequence; }
    void openSong(const std::string& text)
    {
        folder.write("song.sng", text);
        dialogs.openAnswers.push_back(folder.file("song.sng"));
        runGuarded([this] { sequence().BitBtn8Click(); });
    }

    test::WorkingFolder folder;
    test::ScriptedDialogs dialogs;
    ManualWorkerClock clock;
    std::unique_ptr<ProgramWindows> windows;
};

TEST_F(SampleSlotAccessTest, OpenSongGivesTheWindowsTheirSamplesAndSaveReadsThemBack)
{
    folder.write("clap.wav", wav(22050, 2000, 3000));
    folder.write("snap.wav", wav(11025, 1000, -2000));
    // Slot 1 turned down by the user; slot 2 closed in its window.
    slot(1).VolumeTrackBar->setEnabled(true);
    slot(1).VolumeTrackBar->setValue(-15);
    ASSERT_EQ(slot(1).Player()->Volume(), -1500);
    slot(2).FileCloseClick();
    ASSERT_EQ(slot(2).Player(), nullptr);
    const std::string scratch3 = folder.read("temp/Sample3.wav");

    // A pitch beyond the slider's range must reach the player as it stands in the file.
    openSong("Intro\r\n" + block(1, folder.file("clap.wav"), 48000, -2000) +
             block(2, folder.file("snap.wav"), 11025, 3000) + block(3, "Blank.wav", 22050, 0));
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(controlsOf(sequence()).Edit3->text(), "song");

    TAudioFileStream* one = slot(1).Player();
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->FileName(), folder.file("clap.wav"));
    EXPECT_EQ(one->Frequency(), 48000) << "the pitch slider's move was passed back to the player";
    EXPECT_EQ(slot(1).FrequencyTrackBar->value(), 44100);
    EXPECT_EQ(one->Pan(), -2000);
    EXPECT_EQ(one->Volume(), -1500) << "the slot's volume is kept across the new file";
    EXPECT_EQ(slot(1).VolumeTrackBar->value(), -15);
    EXPECT_FALSE(slot(1).Updating);
    for (QWidget* control : {static_cast<QWidget*>(slot(1).PlayButton), static_cast<QWidget*>(slot(1).PanTrackBar),
                             static_cast<QWidget*>(slot(1).FrequencyTrackBar)})
        EXPECT_TRUE(control->isEnabled());
    // The render reads the slot's scratch copy: it is the file the slot now plays.
    EXPECT_EQ(folder.read("temp/Sample1.wav"), folder.read("clap.wav"));

    // The closed slot has its device and player again.
    ASSERT_NE(slot(2).Player(), nullptr);
    EXPECT_EQ(slot(2).Player()->FileName(), folder.file("snap.wav"));
    EXPECT_EQ(slot(2).Player()->Frequency(), 11025);
    EXPECT_EQ(slot(2).Player()->Pan(), 3000);
    EXPECT_EQ(slot(2).FrequencyTrackBar->value(), 11025);
    EXPECT_EQ(folder.read("temp/Sample2.wav"), folder.read("snap.wav"));

    // The blank sound leaves the controls as they were; its scratch copy is the blank sound.
    EXPECT_FALSE(slot(3).PlayButton->isEnabled());
    EXPECT_EQ(folder.read("temp/Sample3.wav"), scratch3);

    // Save Song reads the same players back.
    dialogs.saveAnswers.push_back(folder.file("again.sng"));
    sequence().BitBtn9Click();
    EXPECT_TRUE(dialogs.errors.empty());
    const std::string saved = folder.read("again.sng");
    EXPECT_EQ(saved.substr(0, saved.find("<*sam3")), "Intro\r\n" + block(1, folder.file("clap.wav"), 48000, -2000) +
                                                         block(2, folder.file("snap.wav"), 11025, 3000));
}

TEST_F(SampleSlotAccessTest, AScratchCopyThatCannotBeMadeOrIsTheSampleItselfIsPassedOver)
{
    folder.write("clap.wav", wav(22050, 2000, 3000));
    // Slot 1 plays its own scratch file; slot 4's scratch file cannot be replaced.
    folder.write("temp/Sample1.wav", wav(44100, 500, 700));
    std::filesystem::remove(folder.path() / "temp/Sample4.wav");
    std::filesystem::create_directory(folder.path() / "temp/Sample4.wav");
    openSong(block(1, folder.file("temp/sample1.wav"), 44100, 0) + block(4, folder.file("clap.wav"), 22050, 0));
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(folder.read("temp/Sample1.wav"), wav(44100, 500, 700));
    ASSERT_NE(slot(4).Player(), nullptr);
    EXPECT_EQ(slot(4).Player()->FileName(), folder.file("clap.wav"));

    // A sample that cannot be opened leaves the slot without a sound and its copy as it was.
    const std::string before = folder.read("temp/Sample5.wav");
    openSong(block(5, folder.file("missing.wav"), 22050, 0));
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"Cannot open file " + folder.file("missing.wav") + "."});
    ASSERT_NE(slot(5).Player(), nullptr);
    EXPECT_EQ(slot(5).Player()->WaveStream(), nullptr);
    EXPECT_EQ(folder.read("temp/Sample5.wav"), before);
}

TEST_F(SampleSlotAccessTest, PlaybackRestartsAndStopSilencesTheWindowsPlayers)
{
    folder.write("clap.wav", wav(44100, 44100, 3000));
    openSong(block(6, folder.file("clap.wav"), 44100, 0));
    slot(7).FileCloseClick();
    TAudioFileStream* six = slot(6).Player();
    ASSERT_NE(six, nullptr);
    for (const char* name : {"Sample6", "Sample7"}) {
        controlsOf(sequence()).ComboBox1->setEditText(name);
        sequence().BitBtn11Click();
    }
    EXPECT_TRUE(dialogs.errors.empty()) << "a closed slot is silent, not an error";
    EXPECT_TRUE(six->Playing());
    folder.pump(4410);
    clock.step(100, uiCallQueue());
    sequence().BitBtn4Click();
    EXPECT_FALSE(six->Playing());

    // Once ProgramWindows is gone the main window's slots are no longer the windows'.
    windows.reset();
}
