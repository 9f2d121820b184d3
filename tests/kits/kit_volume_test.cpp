// The kit volume control over a kit that plays on the offline output: slider steps to volumes,
// muting and unmuting with the saved volume, a kit without an instrument, OK, and the volumes
// as they are heard.
#include "kit_sounds.h"
#include "support/scripted_dialogs.h"
#include "kits/volume_control_window.h"
#include "sound/wave.h"
#include "sound/wave_collection.h"
#include "support/working_folder.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

using namespace groovane;

namespace {

constexpr int kLevel = 8000;

class KitVolumeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A kit of 17 sounds that each hold one constant level, so what is heard is the level
        // times the volume's gain.
        const std::string image = test::constantWav(kLevel, 4000);
        TWave wave;
        wave.LoadPropertyBytes(image);
        const char* instruments[] = {"",      "Kick",  "Short Kick", "Snare",   "ClsHiat", "OpHiat",
                                     "Tom1",  "Tom2",  "Cymbol1",    "Cymbol2", "Rimshot", "Shaker",
                                     "Block", "Congo", "Cowbell",    "Crack",   "Tamb"};
        for (const char* name : instruments) {
            TWaveCollectionItem& item = list.Items().Add();
            item.SetName(name);
            item.SetWave(wave);
        }
        device.SetOptions(soGlobalFocus | soExclusive);
        device.OnInitialize = [](TCustomDXSound& sound) {
            WaveFormatEx format{};
            MakePCMWaveFormat(format, 44100, 16, 2);
            sound.Primary()->SetFormat(format);
        };
        list.SetDXSound(&device);
        device.Initialize();
        window = std::make_unique<TVolume_Control>(list.Items());
    }

    // The loudest left-channel sample while `name` sounds once.
    int heard(const std::string& name)
    {
        // Long enough for every earlier sound to have ended.
        folder.pump(4500);
        list.Items().Find(name).Play();
        const std::vector<int16_t> out = folder.pump(2000);
        int peak = 0;
        for (size_t i = 0; i < out.size(); i += 2)
            peak = std::max(peak, std::abs(int(out[i])));
        return peak;
    }

    int32_t volume(const std::string& name) { return list.Items().Find(name).Volume(); }

    test::WorkingFolder folder;
    test::ScriptedDialogs dialogs;
    TDXSoundForm form;
    TDXSound device{&form};
    TDXWaveList list;
    std::unique_ptr<TVolume_Control> window;
};

TEST_F(KitVolumeTest, SlidersSetVolumesInHundredthsOfADecibelFromTheTop)
{
    window->TrackBars[0]->setValue(40);
    EXPECT_EQ(volume("Kick"), -4000);
    window->TrackBars[0]->setValue(0);
    EXPECT_EQ(volume("Kick"), 0);
    window->TrackBars[15]->setValue(7);
    EXPECT_EQ(volume("Tamb"), -700);
    // A key press on a slider moves it down, towards less level.
    window->TrackBars[2]->setFocus();
    QTest::keyClick(window->TrackBars[2], Qt::Key_Down);
    EXPECT_EQ(window->TrackBars[2]->value(), 1);
    EXPECT_EQ(volume("Snare"), -100);
    EXPECT_EQ(volume("Short Kick"), 0);
}

TEST_F(KitVolumeTest, MutingKeepsTheVolumeThatUnmutingRestores)
{
    window->TrackBars[2]->setValue(12);
    window->CheckBoxes[2]->click();
    EXPECT_FALSE(window->CheckBoxes[2]->isChecked());
    EXPECT_FALSE(window->TrackBars[2]->isEnabled());
    EXPECT_EQ(volume("Snare"), -4000);
    EXPECT_EQ(window->SavedVolume[2], -1200);
    window->CheckBoxes[2]->click();
    EXPECT_TRUE(window->TrackBars[2]->isEnabled());
    EXPECT_EQ(volume("Snare"), -1200);

    // A volume given by something else than the slider comes back too.
    list.Items().Find("Tom1").SetVolume(-650);
    window->CheckBoxes[5]->click();
    window->CheckBoxes[5]->click();
    EXPECT_EQ(volume("Tom1"), -650);
    EXPECT_EQ(window->TrackBars[5]->value(), 0);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(KitVolumeTest, VolumesAreHeardAtTheirGain)
{
    EXPECT_NEAR(heard("Kick"), kLevel, 1);
    window->TrackBars[0]->setValue(20); // -20 dB
    EXPECT_NEAR(heard("Kick"), kLevel / 10, 2);
    window->CheckBoxes[0]->click(); // -40 dB
    EXPECT_NEAR(heard("Kick"), kLevel / 100, 2);
    window->CheckBoxes[0]->click();
    EXPECT_NEAR(heard("Kick"), kLevel / 10, 2);
    // A copy already sounding keeps its volume; the next one takes the new one.
    folder.pump(4500);
    list.Items().Find("Snare").Play();
    window->TrackBars[2]->setValue(40);
    std::vector<int16_t> out = folder.pump(1000);
    EXPECT_NEAR(std::abs(int(out[1000])), kLevel, 1);
    EXPECT_NEAR(heard("Snare"), kLevel / 100, 2);
}

TEST_F(KitVolumeTest, AKitWithoutTheInstrumentShowsWhichAndKeepsTheBoxAndSliderChange)
{
    list.Items().Find("Congo").SetName("Conga");
    QTest::mouseClick(window->CheckBoxes[12], Qt::LeftButton);
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"Wave 'Congo' not found."});
    EXPECT_FALSE(window->TrackBars[12]->isEnabled());
    EXPECT_EQ(window->SavedVolume[12], 0);
    EXPECT_EQ(list.Items().Find("Conga").Volume(), 0);
}

TEST_F(KitVolumeTest, OkHidesTheWindowWithItsSlidersAsTheyWere)
{
    window->show();
    window->TrackBars[9]->setValue(30);
    window->CheckBoxes[9]->click();
    QTest::mouseClick(window->Button1, Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    window->show();
    EXPECT_EQ(window->TrackBars[9]->value(), 30);
    EXPECT_FALSE(window->CheckBoxes[9]->isChecked());
}

} // namespace
