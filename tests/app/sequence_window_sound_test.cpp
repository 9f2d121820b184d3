#include "scripted_dialogs.h"
#include "sequence_window.h"
#include "working_folder.h"

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
        window->FormCreate();
    }
    // Auditions `text` and returns the first `frames` output frames of it, then lets it ring out.
    std::vector<int16_t> audition(const QString& text, uint32_t frames = 4410)
    {
        window->ComboBox1->setEditText(text);
        QTest::mouseClick(window->BitBtn11, Qt::LeftButton);
        std::vector<int16_t> out = folder.pump(frames);
        folder.pump(44100 * 3);
        return out;
    }

    test::WorkingFolder folder;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<TSequence> window;
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
    EXPECT_TRUE(window->set3->isChecked()) << "the menu names the format the device runs in";
    EXPECT_EQ(window->DXWaveList1.Items().Count(), 17);
}

TEST_F(SequenceSoundTest, PlayInstrumentSoundsTheChosenKitInstrument)
{
    start();
    EXPECT_EQ(peak(audition("")), 0) << "the empty entry is silent";

    const std::vector<int16_t> kick = audition("kick");
    EXPECT_GT(peak(kick), 10000) << "names match without regard to case";
    const std::vector<int16_t> tamb = audition("Tamb");
    EXPECT_GT(peak(tamb), 10000);
    EXPECT_NE(kick, tamb);
    EXPECT_EQ(audition("Cowbel"), tamb) << "a text that names nothing sounds the tambourine";

    // The menu item runs the same command.
    window->ComboBox1->setEditText("Kick");
    window->PlayInstrument1->trigger();
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
    EXPECT_EQ(window->Label6->text(), "80");
    EXPECT_EQ(window->BaseFolder, "");
    EXPECT_EQ(window->MusicLib->count(), 1);
    // The device stays as its silent first opening left it: the refused 0 Hz format kept the
    // device's own 8-bit start format.
    ASSERT_TRUE(window->DXSound1.Initialized());
    EXPECT_EQ(window->DXSound1.Primary()->Format().wBitsPerSample, 8);

    // Auditioning then fails with the sound layer's message instead of crashing.
    window->ComboBox1->setEditText("Kick");
    QTest::mouseClick(window->BitBtn11, Qt::LeftButton);
    ASSERT_EQ(dialogs.errors.size(), 2u);
    EXPECT_EQ(dialogs.errors[1], "Wave 'Kick' not found.");
}
