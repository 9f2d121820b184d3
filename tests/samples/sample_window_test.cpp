// A sample window driven offscreen through its handlers, its file dialog and error box answered
// from a script, its player's worker on a manual clock: creation on the blank sound, Open and
// the sliders, a second Open, Close and what passes over a closed slot, a file that cannot be
// played, the audition and its end, and the global-focus item.
#include "samples/slot_player.h"
#include "samples/sample_window.h"
#include "support/scripted_dialogs.h"
#include "platform/sound_device.h"
#include "platform/ui_call_queue.h"
#include "support/working_folder.h"
#include "platform/worker_clock.h"

#include "support/le_bytes.h"

#include <QAction>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

using namespace groovane;
using test::chunk;
using test::le16;
using test::le32;

namespace {

// A mono 16-bit WAV image of `frames` samples of 1000 at `rate`.
std::string wav(uint32_t rate, int frames)
{
    std::string data;
    for (int i = 0; i < frames; ++i)
        data += le16(1000);
    const std::string body =
        chunk("fmt ", le16(1) + le16(1) + le32(rate) + le32(rate * 2) + le16(2) + le16(16)) + chunk("data", data);
    return "RIFF" + le32(uint32_t(body.size() + 4)) + "WAVE" + body;
}

// A mono 16-bit 44100 Hz WAV image whose sample i is 10 * i.
std::string rampWav(int frames)
{
    std::string data;
    for (int i = 0; i < frames; ++i)
        data += le16(10 * i);
    const std::string body =
        chunk("fmt ", le16(1) + le16(1) + le32(44100) + le32(88200) + le16(2) + le16(16)) + chunk("data", data);
    return "RIFF" + le32(uint32_t(body.size() + 4)) + "WAVE" + body;
}

class SampleWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setWorkerClock(&clock);
        window = std::make_unique<TMainForm2>(folder.path().string());
        window->FormCreate();
    }
    void TearDown() override
    {
        window.reset();
        setWorkerClock(nullptr);
    }

    // Opens `name` (written into the folder with `bytes`) through the window's File menu.
    void open(const std::string& name, const std::string& bytes)
    {
        folder.write(name, bytes);
        dialogs.openAnswers.push_back(folder.file(name));
        window->FileOpen->trigger();
    }

    void play(uint32_t ms)
    {
        folder.pump(44100 * ms / 1000);
        clock.step(ms, uiCallQueue());
    }

    test::WorkingFolder folder;
    test::ScriptedDialogs dialogs;
    ManualWorkerClock clock;
    std::unique_ptr<SampleWindow> window;
};

TEST_F(SampleWindowTest, StartsOnTheBlankSoundWithItsControlsDisabled)
{
    EXPECT_EQ(window->windowTitle(), "Sample3");
    EXPECT_EQ(window->pos(), QPoint(188, 176));
    ASSERT_NE(window->Player(), nullptr);
    EXPECT_EQ(window->Player()->FileName(), "Blank.wav");
    EXPECT_EQ(window->Player()->Frequency(), 44100);
    const WaveFormatEx primary = window->DXSound.Primary()->Format();
    EXPECT_EQ(primary.nSamplesPerSec, 44100u);
    EXPECT_EQ(primary.wBitsPerSample, 16);
    EXPECT_EQ(primary.nChannels, 2);
    EXPECT_FALSE(window->PlayButton->isEnabled());
    EXPECT_FALSE(window->FrequencyTrackBar->isEnabled());
    EXPECT_EQ(window->FrequencyTrackBar->value(), 4410);
    EXPECT_TRUE(window->GlobalFocusItem->isChecked());
    EXPECT_EQ(window->scratchFileName(), folder.file("temp/Sample3.wav"));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SampleWindowTest, OpenShowsTheFilesRateAndTheSlidersDriveThePlayer)
{
    open("low.wav", wav(22050, 100));
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.fileDialogs[0].initialFolder, folder.path().string());
    EXPECT_EQ(dialogs.fileDialogs[0].filter, "Wave (*.wav)|*.wav|All files (*.*)|*.*");
    EXPECT_EQ(dialogs.fileDialogs[0].defaultExt, "wav");
    EXPECT_TRUE(dialogs.fileDialogs[0].mustExist);
    EXPECT_TRUE(dialogs.errors.empty());

    EXPECT_EQ(window->windowTitle(), "Groovane Pro - low.wav");
    ASSERT_NE(window->Player(), nullptr);
    EXPECT_EQ(window->Player()->FileName(), folder.file("low.wav"));
    EXPECT_EQ(folder.read("temp/Sample3.wav"), wav(22050, 100));
    EXPECT_TRUE(window->PlayButton->isEnabled());
    EXPECT_TRUE(window->PanTrackBar->isEnabled());
    EXPECT_EQ(window->FrequencyTrackBar->value(), 22050);
    EXPECT_EQ(window->Player()->Frequency(), 22050);

    window->VolumeTrackBar->setValue(-40);
    EXPECT_EQ(window->Player()->Volume(), -4000);
    window->PanTrackBar->setValue(-20);
    EXPECT_EQ(window->Player()->Pan(), -2000);
    window->FrequencyTrackBar->setValue(44100);
    EXPECT_EQ(window->Player()->Frequency(), 44100);
}

TEST_F(SampleWindowTest, ASecondOpenReplacesTheScratchCopyAndResetsPanAndVolume)
{
    open("first.wav", wav(22050, 100));
    window->VolumeTrackBar->setValue(-10);
    window->PanTrackBar->setValue(30);

    // 4000 Hz lies below the pitch slider: it stops at its end, the player keeps the file's rate.
    open("second.wav", wav(4000, 50));
    EXPECT_EQ(folder.read("temp/Sample3.wav"), wav(4000, 50));
    EXPECT_EQ(window->VolumeTrackBar->value(), 0);
    EXPECT_EQ(window->PanTrackBar->value(), 0);
    EXPECT_EQ(window->FrequencyTrackBar->value(), 4410);
    EXPECT_EQ(window->Player()->Frequency(), 4000);
    EXPECT_EQ(window->Player()->Volume(), 0);
    EXPECT_EQ(window->Player()->Pan(), 0);
    EXPECT_FALSE(window->Updating);
}

TEST_F(SampleWindowTest, AClosedSlotHasNoPlayerAndEverythingPassesOverIt)
{
    open("hit.wav", wav(44100, 100));
    window->PlayButtonClick();
    window->FileClose->trigger();
    EXPECT_EQ(window->Player(), nullptr);
    EXPECT_FALSE(window->PlayButton->isEnabled());
    EXPECT_FALSE(window->VolumeTrackBar->isEnabled());
    EXPECT_FALSE(window->Timer->isActive());
    EXPECT_EQ(window->windowTitle(), "Groovane Pro - hit.wav");
    EXPECT_EQ(clock.workerCount(), 0);

    // A song may enable and move the controls of a slot without a player.
    window->show();
    window->VolumeTrackBar->setEnabled(true);
    window->VolumeTrackBar->setValue(-30);
    window->PlayButtonClick();
    window->TimerTimer();
    window->GlobalFocusItem->trigger();
    triggerSampleSlot(window->Player());
    stopSampleSlot(window->Player());
    QTest::mouseClick(window->Button1, Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(SampleWindowTest, AFileThatCannotBePlayedClosesTheSlotAndShowsThePlayersError)
{
    open("text.wav", "not a wave at all");
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"Wave is invalid."});
    EXPECT_EQ(window->Player(), nullptr);
    EXPECT_FALSE(window->PlayButton->isEnabled());
    // The copy was made before the file was tried.
    EXPECT_EQ(folder.read("temp/Sample3.wav"), "not a wave at all");

    dialogs.openAnswers.push_back(folder.file("gone.wav"));
    window->FileOpen->trigger();
    EXPECT_EQ(dialogs.errors.back(), "Cannot open file " + folder.file("gone.wav") + ".");
    EXPECT_EQ(window->Player(), nullptr);

    // A cancelled dialog changes nothing.
    open("ok.wav", wav(44100, 10));
    dialogs.openAnswers.push_back(std::nullopt);
    window->FileOpen->trigger();
    EXPECT_NE(window->Player(), nullptr);
}

TEST_F(SampleWindowTest, AnAuditionPlaysFromTheStartUntilItsEndIsNoticed)
{
    open("hit.wav", rampWav(2205));
    window->PlayButtonClick();
    EXPECT_TRUE(window->Player()->Playing());
    EXPECT_TRUE(window->Timer->isActive());
    std::vector<int16_t> out = folder.pump(100);
    EXPECT_EQ(out[2 * 99], 990);
    // A second press restarts it from its start.
    window->PlayButtonClick();
    out = folder.pump(2);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[2], 10);

    window->TimerTimer();
    EXPECT_TRUE(window->Timer->isActive()) << "still playing";
    play(50);
    play(50);
    play(50);
    ASSERT_FALSE(window->Player()->Playing());
    window->TimerTimer();
    EXPECT_FALSE(window->Timer->isActive());
    EXPECT_TRUE(window->PlayButton->isEnabled());
    EXPECT_EQ(window->Player()->Position(), 0);
    EXPECT_EQ(clock.workerCount(), 0);

    // Exit hides the window and the sound goes on; OK stops it.
    window->show();
    window->PlayButtonClick();
    window->FileEnd->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window->Player()->Playing());
    window->show();
    window->Button1Click();
    EXPECT_FALSE(window->Player()->Playing());
    EXPECT_FALSE(window->isVisible());
}

TEST_F(SampleWindowTest, GlobalFocusRemakesTheRingKeepingItsSettings)
{
    open("hit.wav", wav(44100, 44100));
    window->VolumeTrackBar->setValue(-12);
    window->Player()->SetPosition(800);
    window->GlobalFocusItem->trigger();
    EXPECT_FALSE(window->GlobalFocusItem->isChecked());
    EXPECT_EQ(window->Player()->Buffer().IBuffer().flags(), 0x100E0u);
    EXPECT_EQ(window->Player()->Volume(), -1200);
    EXPECT_EQ(window->Player()->Position(), 800);

    window->GlobalFocusItemClick();
    EXPECT_TRUE(window->GlobalFocusItem->isChecked());
    EXPECT_EQ(window->Player()->Buffer().IBuffer().flags(), 0x180E0u);
}

TEST(SampleWindowCreation, FailsWithThePlayersErrorWithoutTheBlankSound)
{
    test::WorkingFolder folder;
    std::filesystem::remove(folder.path() / "Blank.wav");
    TMainForm7 window(folder.path().string());
    EXPECT_EQ(window.windowTitle(), "Sample8");
    try {
        window.FormCreate();
        FAIL() << "created without Blank.wav";
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file Blank.wav");
    }
    ASSERT_NE(window.Player(), nullptr);
    EXPECT_EQ(window.Player()->FileName(), "");
}

} // namespace
