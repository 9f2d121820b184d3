// The main window's playback and kit library on the default kit and the offline output: the
// buttons, timers and step list around Play Pattern and Stop, errors inside a tick, the sample
// slots, and loading another kit. The pattern timer reads a millisecond clock that follows the
// output, and the test polls it as the idle driver would.
#include "platform/handler_guard.h"
#include "platform/idle_host.h"
#include "pattern/pattern_editing.h"
#include "playback/sample_slots.h"
#include "support/scripted_dialogs.h"
#include "app/sequence_window.h"
#include "support/sequence_window_access.h"
#include "platform/audio_output.h"
#include "platform/sound_device.h"
#include "support/working_folder.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>

using namespace groovane;

namespace {

struct RecordingSlots : SampleSlots {
    void restart(int slot) override
    {
        if (unloaded.count(slot))
            throw Exception("WaveStream not set");
        calls.push_back("restart " + std::to_string(slot));
    }
    void stop(int slot) override { calls.push_back("stop " + std::to_string(slot)); }
    std::vector<std::string> calls;
    std::set<int> unloaded;
};

const std::vector<std::string> kAllStopped = {"stop 1", "stop 2", "stop 3", "stop 4",
                                              "stop 5", "stop 6", "stop 7", "stop 8"};

int peak(const std::vector<int16_t>& samples)
{
    int p = 0;
    for (int16_t s : samples)
        p = std::max(p, std::abs(static_cast<int>(s)));
    return p;
}

} // namespace

class SequencePlaybackTest : public ::testing::Test {
protected:
    void start()
    {
        window = std::make_unique<TSequence>();
        ui = &controlsOf(*window);
        window->FormCreate();
        window->setSampleSlots(&samples);
        for (TDXTimer* timer : {&window->DXTimer1, &window->DXTimer2})
            timer->setClock([this] { return static_cast<uint32_t>(nowNs() / 1'000'000); });
    }
    int64_t nowNs() { return folder.output().timeOfFrame(folder.output().framesRendered()); }

    // A pattern of `length` steps whose step n has `cells[n - 1]` in its channels.
    void setPattern(int length, const std::vector<std::vector<std::string>>& cells)
    {
        writeLengthAndTime(window->Grid, length, 4);
        for (size_t step = 0; step < cells.size(); ++step)
            for (size_t c = 0; c < cells[step].size(); ++c)
                window->Grid.setCell(static_cast<int>(c) + 1, static_cast<int>(step) + 2, cells[step][c]);
    }

    // Lets `ms` milliseconds of sound play, polling the idle slot at every millisecond as the
    // idle driver would (errors go to the error box); returns what was heard.
    std::vector<int16_t> run(int ms)
    {
        std::vector<int16_t> heard;
        for (int i = 0; i < ms; ++i) {
            const int64_t next = (nowNs() / 1'000'000 + 1) * 1'000'000;
            const uint64_t frame =
                static_cast<uint64_t>((static_cast<__int128>(next) * 44100 + 999'999'999) / 1'000'000'000);
            const std::vector<int16_t> block =
                folder.pump(static_cast<uint32_t>(frame - folder.output().framesRendered()));
            heard.insert(heard.end(), block.begin(), block.end());
            runGuarded([] { applicationIdleHost().runIdle(); });
        }
        return heard;
    }

    bool playButtonsEnabled() const { return ui->BitBtn3->isEnabled() && ui->BitBtn12->isEnabled(); }

    test::WorkingFolder folder;
    test::ScriptedDialogs dialogs;
    RecordingSlots samples;
    std::unique_ptr<TSequence> window;
    TSequenceControls* ui = nullptr; // the window's controls
};

TEST_F(SequencePlaybackTest, PlayPatternSoundsEachStepOneIntervalApartThenGivesTheButtonsBack)
{
    start();
    setPattern(2, {{"Kick"}, {"", "", "Sample3"}});
    window->Grid.setCell(1, 4, "Snare"); // below the pattern
    QTest::mouseClick(ui->BitBtn3, Qt::LeftButton);
    EXPECT_FALSE(ui->BitBtn3->isEnabled());
    EXPECT_FALSE(ui->BitBtn12->isEnabled());
    EXPECT_TRUE(window->DXTimer2.Enabled());
    EXPECT_EQ(window->DXTimer2.Interval(), 120u);
    EXPECT_EQ(window->PlayState, "");

    EXPECT_EQ(peak(run(119)), 0) << "the first step sounds one interval after the start";
    EXPECT_GT(peak(run(50)), 4000);
    EXPECT_TRUE(samples.calls.empty());
    // The slider acts from the next tick on, the read-out stays.
    ui->Delay->setValue(30);
    run(80);
    EXPECT_EQ(samples.calls, std::vector<std::string>{"restart 3"});
    EXPECT_EQ(window->StepInterval, 60);
    EXPECT_EQ(ui->Label6->text(), "120");
    EXPECT_FALSE(window->DXTimer2.Enabled());
    EXPECT_TRUE(playButtonsEnabled());
    run(3000);
    EXPECT_EQ(samples.calls.size(), 1u) << "nothing after the pattern's last step";

    // F6 in the menu starts it again; Endless goes round until Stop.
    ui->endless->setChecked(true);
    ui->Play2->trigger();
    run(60 * 6 + 1);
    EXPECT_EQ(samples.calls.size(), 4u);
    EXPECT_TRUE(window->DXTimer2.Enabled());
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(SequencePlaybackTest, StopSilencesTheSampleSlotsAndLetsKitSoundsRingOut)
{
    start();
    setPattern(4, {{"Cymbol1"}});
    ui->endless->setChecked(true);
    window->MainPlay.close();
    window->BitBtn3Click();
    run(125);
    QTest::mouseClick(ui->BitBtn4, Qt::LeftButton);
    EXPECT_EQ(samples.calls, kAllStopped);
    EXPECT_EQ(window->PlayState, "Stop");
    EXPECT_TRUE(playButtonsEnabled());
    EXPECT_FALSE(window->DXTimer1.Enabled());
    EXPECT_FALSE(window->DXTimer2.Enabled());
    EXPECT_TRUE(window->MainPlay.empty());
    EXPECT_GT(peak(run(200)), 1000) << "the cymbal rings on";

    // The menu's Stop is the same command.
    samples.calls.clear();
    ui->Stop2->trigger();
    EXPECT_EQ(samples.calls, kAllStopped);
}

TEST_F(SequencePlaybackTest, AnErrorInATickStopsPlaybackAndShowsItsMessageOnce)
{
    start();
    setPattern(2, {{"Kick", "Sample2", "Snare"}});
    samples.unloaded = {2};
    ui->endless->setChecked(true);
    window->BitBtn3Click();
    run(1000);
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"WaveStream not set."});
    EXPECT_EQ(samples.calls, kAllStopped) << "Stop ran";
    EXPECT_EQ(window->PlayState, "Stop");
    EXPECT_FALSE(window->DXTimer2.Enabled());
    EXPECT_TRUE(playButtonsEnabled());
    EXPECT_EQ(window->Pattern.PatternRow, 2) << "the failing row was not passed";

    // A kit without one of the names fails the same way.
    dialogs.errors.clear();
    samples.unloaded.clear();
    window->DXWaveList1.Items().Find("Snare").SetName("Snare drum");
    window->BitBtn3Click();
    run(1000);
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"Wave 'Snare' not found."});
    EXPECT_FALSE(window->DXTimer2.Enabled());
}

TEST_F(SequencePlaybackTest, ALengthThatIsNoIntegerLeavesThePlayButtonsOffUntilStop)
{
    start();
    window->Grid.setCell(2, 0, "x");
    QTest::mouseClick(ui->BitBtn3, Qt::LeftButton);
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"'x' is not a valid integer value."});
    EXPECT_FALSE(ui->BitBtn3->isEnabled());
    EXPECT_FALSE(ui->BitBtn12->isEnabled());
    EXPECT_FALSE(window->DXTimer2.Enabled());
    window->BitBtn4Click();
    EXPECT_TRUE(playButtonsEnabled());
}

TEST_F(SequencePlaybackTest, PlayInstrumentRestartsTheSampleSlotItNames)
{
    start();
    for (const char* text : {"Sample3", "sample8"}) {
        ui->ComboBox1->setEditText(text);
        QTest::mouseClick(ui->BitBtn11, Qt::LeftButton);
    }
    EXPECT_EQ(samples.calls, (std::vector<std::string>{"restart 3", "restart 8"}));
    // Without the sample windows' players the samples are silent.
    window->setSampleSlots(nullptr);
    ui->PlayInstrument1->trigger();
    EXPECT_EQ(peak(folder.pump(4410)), 0);
    EXPECT_TRUE(dialogs.errors.empty());
}

// ---------------------------------------------------------------------------------------------
// Drum Kit Library

class KitLibraryTest : public SequencePlaybackTest {
protected:
    // The default kit under another name, changed by `change` first.
    std::string writeKit(const std::string& name, const std::function<void(TWaveCollection&)>& change = {})
    {
        TWaveCollection kit;
        kit.LoadFromFile(folder.file("Rock_kit.dxg"));
        if (change)
            change(kit);
        kit.SaveToFile(folder.file(name));
        return folder.file(name);
    }
    TWaveCollectionItem& item(const std::string& name) { return window->DXWaveList1.Items().Find(name); }
    void setSettings()
    {
        item("Kick").SetPan(3000);
        item("Kick").SetVolume(-600);
        item("Tamb").SetPan(-2000);
        item("Tamb").SetVolume(-10000); // muted
    }
    void expectSettingsKept()
    {
        EXPECT_EQ(item("Kick").Pan(), 3000);
        EXPECT_EQ(item("Kick").Volume(), -600);
        EXPECT_EQ(item("Tamb").Pan(), -2000);
        EXPECT_EQ(item("Tamb").Volume(), -10000);
        EXPECT_EQ(item("Snare").Pan(), 0);
    }
};

TEST_F(KitLibraryTest, ANewKitKeepsEveryInstrumentsVolumeAndPan)
{
    // The new kit's kick is the old kit's cowbell.
    const std::string path =
        writeKit("Other.dxg", [](TWaveCollection& kit) { kit.Find("Kick").SetWave(kit.Find("Cowbell").Wave()); });
    start();
    setSettings();
    const std::vector<uint8_t> cowbell(item("Cowbell").Wave().Data(),
                                       item("Cowbell").Wave().Data() + item("Cowbell").Wave().Size());
    dialogs.openAnswers.push_back(path);
    ui->SoundLibrary1->trigger();
    EXPECT_TRUE(dialogs.errors.empty());
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.fileDialogs[0].filter, "dxg|*.dxg");
    EXPECT_EQ(dialogs.fileDialogs[0].initialFolder, window->BaseFolder);

    EXPECT_EQ(window->DXWaveList1.Items().Count(), 17);
    EXPECT_EQ(std::vector<uint8_t>(item("Kick").Wave().Data(), item("Kick").Wave().Data() + item("Kick").Wave().Size()),
              cowbell);
    expectSettingsKept();
    // It plays at once, with the kept settings: the muted tambourine stays silent.
    ui->ComboBox1->setEditText("Kick");
    window->BitBtn11Click();
    EXPECT_GT(peak(folder.pump(4410)), 1000);
    folder.pump(44100 * 3);
    ui->ComboBox1->setEditText("Tamb");
    window->BitBtn11Click();
    EXPECT_EQ(peak(folder.pump(4410)), 0);
}

TEST_F(KitLibraryTest, ADamagedOrIncompleteKitOrNoChoiceLeavesTheOldKitPlaying)
{
    const std::string kit = folder.read("Rock_kit.dxg");
    folder.write("Broken.dxg", kit.substr(0, kit.size() / 2));
    const std::string noTamb = writeKit("NoTamb.dxg", [](TWaveCollection& k) { k.Find("Tamb").SetName("Tambourine"); });
    start();
    setSettings();
    const TWaveCollectionItem* kick = &item("Kick");

    // Cancel, and a name that is nothing but the extension, load nothing.
    dialogs.openAnswers = {folder.file("Broken.dxg"), noTamb, folder.file("Missing.dxg"), std::nullopt, ".dxg",
                           folder.file(".dxg")};
    for (int i = 0; i < 6; ++i)
        ui->SoundLibrary1->trigger();
    ASSERT_EQ(dialogs.errors.size(), 3u);
    EXPECT_EQ(dialogs.errors[1], "Wave 'Tamb' not found.");
    EXPECT_EQ(dialogs.errors[2], "Cannot open file " + folder.file("Missing.dxg") + ".");
    EXPECT_EQ(&item("Kick"), kick) << "the kit's sounds were not replaced";
    EXPECT_EQ(window->DXWaveList1.Items().Count(), 17);
    expectSettingsKept();
    ui->ComboBox1->setEditText("Kick");
    window->BitBtn11Click();
    EXPECT_GT(peak(folder.pump(4410)), 1000);
}

TEST_F(KitLibraryTest, AfterAMissingDefaultKitTheLibraryBringsAKitBack)
{
    const std::string spare = writeKit("Spare.dxg");
    std::filesystem::remove(folder.path() / "Rock_kit.dxg");
    start();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    dialogs.openAnswers.push_back(spare);
    window->SoundLibrary1Click();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(window->DXWaveList1.Items().Count(), 17);
    EXPECT_EQ(item("Kick").Pan(), 0);
    EXPECT_EQ(item("Kick").Volume(), 0);
    ui->ComboBox1->setEditText("Kick");
    window->BitBtn11Click();
    EXPECT_GT(peak(folder.pump(4410)), 1000);
}
