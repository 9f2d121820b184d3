#include "support/scripted_dialogs.h"
#include "platform/sound_device.h"
#include "app/sequence_window.h"
#include "support/sequence_window_access.h"
#include "support/working_folder.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace groovane;

namespace {

int peak(const std::vector<int16_t>& samples)
{
    int p = 0;
    for (int16_t s : samples)
        p = std::max(p, std::abs(static_cast<int>(s)));
    return p;
}

} // namespace

class SequenceSoundTest : public ::testing::Test {
protected:
    void start()
    {
        window = std::make_unique<TSequence>();
        ui = &controlsOf(*window);
        window->FormCreate();
    }
    // Auditions `text` and returns the first `frames` output frames of it, then lets it ring out.
    std::vector<int16_t> audition(const QString& text, uint32_t frames = 4410)
    {
        ui->ComboBox1->setEditText(text);
        QTest::mouseClick(ui->BitBtn11, Qt::LeftButton);
        std::vector<int16_t> out = folder.pump(frames);
        folder.pump(44100 * 3);
        return out;
    }

    test::WorkingFolder folder;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<TSequence> window;
    TSequenceControls* ui = nullptr; // the window's controls
};

TEST_F(SequenceSoundTest, StartsWithTheDefaultKitInTheCheckedOutputFormat)
{
    start();
    EXPECT_TRUE(dialogs.messages.empty());
    ASSERT_TRUE(window->DXSound1.Initialized());
    const WaveFormatEx format = window->DXSound1.Primary()->Format();
    EXPECT_EQ(format.nSamplesPerSec, 22050u);
    EXPECT_EQ(format.wBitsPerSample, 16);
    EXPECT_EQ(format.nChannels, 2);
    EXPECT_TRUE(ui->set3->isChecked()) << "the menu names the format the device runs in";
    EXPECT_EQ(window->DXWaveList1.Items().Count(), 17);
}

TEST_F(SequenceSoundTest, PlayInstrumentSoundsTheChosenKitInstrument)
{
    start();
    EXPECT_EQ(peak(audition("")), 0) << "the empty entry is silent";

    const std::vector<int16_t> kick = audition("kick");
    EXPECT_GT(peak(kick), 4000) << "names match without regard to case";
    const std::vector<int16_t> tamb = audition("Tamb");
    EXPECT_GT(peak(tamb), 4000);
    EXPECT_NE(kick, tamb);
    EXPECT_EQ(audition("Cowbel"), tamb) << "a text that names nothing sounds the tambourine";

    // The menu item runs the same command.
    ui->ComboBox1->setEditText("Kick");
    ui->PlayInstrument1->trigger();
    EXPECT_EQ(folder.pump(4410), kick);
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(SequenceSoundTest, AMissingKitEndsTheStartUpWorkAtItsFirstStep)
{
    std::filesystem::remove(folder.path() / "Rock_kit.dxg");
    folder.write("Rock1.pat", "");
    start();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "Cannot open file Rock_kit.dxg.");
    // The window opens with its design-time state: no labels, no library scan, no base folder.
    EXPECT_EQ(window->Grid.cell(0, 2), "");
    EXPECT_EQ(ui->Label6->text(), "80");
    EXPECT_EQ(window->BaseFolder, "");
    EXPECT_EQ(ui->MusicLib->count(), 1);
    // The device stays as its silent first opening left it: the refused 0 Hz format kept the
    // device's own 8-bit start format.
    ASSERT_TRUE(window->DXSound1.Initialized());
    EXPECT_EQ(window->DXSound1.Primary()->Format().wBitsPerSample, 8);

    // Auditioning then fails with the sound layer's message instead of crashing.
    ui->ComboBox1->setEditText("Kick");
    QTest::mouseClick(ui->BitBtn11, Qt::LeftButton);
    ASSERT_EQ(dialogs.errors.size(), 2u);
    EXPECT_EQ(dialogs.errors[1], "Wave 'Kick' not found.");
}

namespace {

bool allMultiplesOf(const std::vector<int16_t>& samples, int step)
{
    return std::all_of(samples.begin(), samples.end(), [step](int16_t s) { return s % step == 0; });
}

} // namespace

TEST_F(SequenceSoundTest, AFormatChoiceRemakesTheKitInThatFormat)
{
    start();
    ui->set4->trigger();
    EXPECT_TRUE(ui->set4->isChecked());
    EXPECT_FALSE(ui->set3->isChecked());
    EXPECT_EQ(window->OutputRate, 22050u);
    EXPECT_EQ(window->OutputBits, 8);
    const WaveFormatEx format = window->DXSound1.Primary()->Format();
    EXPECT_EQ(format.nSamplesPerSec, 22050u);
    EXPECT_EQ(format.wBitsPerSample, 8);
    EXPECT_EQ(format.nBlockAlign, 2);
    EXPECT_EQ(format.nAvgBytesPerSec, 44100u);

    // The kit sounds on the new device: 8-bit steps of 256 at 22050 Hz, so every second output
    // frame lies halfway between two such values.
    const std::vector<int16_t> eightBitHalfRate = audition("Snare");
    EXPECT_GT(peak(eightBitHalfRate), 10000);
    EXPECT_TRUE(allMultiplesOf(eightBitHalfRate, 128));
    EXPECT_FALSE(allMultiplesOf(eightBitHalfRate, 256));

    ui->set2->trigger(); // 44.1 kHz, 8 bits: every frame a step of 256
    const std::vector<int16_t> eightBit = audition("Snare");
    EXPECT_GT(peak(eightBit), 10000);
    EXPECT_TRUE(allMultiplesOf(eightBit, 256));
    ui->set2->trigger(); // the same choice again restarts the device to the same state
    EXPECT_TRUE(ui->set2->isChecked());
    EXPECT_EQ(audition("Snare"), eightBit);

    ui->set1->trigger(); // 44.1 kHz, 16 bits
    EXPECT_FALSE(allMultiplesOf(audition("Snare"), 128));
    for (QAction* item : {ui->set2, ui->set3, ui->set4})
        EXPECT_FALSE(item->isChecked());
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(SequenceSoundTest, WithoutSoundFocusTheRemadeKitFallsSilentInTheBackground)
{
    start();
    ui->Focus->trigger();
    EXPECT_FALSE(ui->Focus->isChecked());
    EXPECT_EQ(window->DXSound1.Options() & soGlobalFocus, 0u);
    EXPECT_NE(window->DXSound1.Options() & soExclusive, 0u) << "the other options stay";

    // The kit's buffers keep the focus they were made with until a format is chosen.
    setApplicationActive(false);
    EXPECT_GT(peak(audition("Kick")), 4000);
    ui->set3->trigger();
    EXPECT_EQ(peak(audition("Kick")), 0);
    setApplicationActive(true);
    EXPECT_GT(peak(audition("Kick")), 4000);

    ui->Focus->trigger();
    EXPECT_TRUE(ui->Focus->isChecked());
    ui->set3->trigger();
    setApplicationActive(false);
    EXPECT_GT(peak(audition("Kick")), 4000);
    setApplicationActive(true);
}

TEST_F(SequenceSoundTest, TheDeviceTakesAnyFormatFieldsWithoutComplaint)
{
    start();
    // The silent first opening meets fields of 0; a refused format keeps the one before.
    window->OutputRate = 0;
    window->OutputBits = 0;
    window->DXSound1.Initialize();
    EXPECT_EQ(window->DXSound1.Primary()->Format().wBitsPerSample, 8);
    window->OutputRate = 44100;
    window->OutputBits = 16;
    window->DXSound1Initialize();
    EXPECT_EQ(window->DXSound1.Primary()->Format().nSamplesPerSec, 44100u);
    EXPECT_TRUE(dialogs.errors.empty());
}
