// The main window's song playback on the offline output: Play Song building the step list from
// the pattern files through the editor (and giving the editor back), the song timer's ticks with
// their tempos, Global and the repeating song, the song's end, failed builds and an error inside
// a tick. The song timer reads a millisecond clock that follows the output, and the test polls it
// as the idle driver would; the sample slots are short clicks on the kit's device, so each row's
// hit can be found on the output to the frame.
#include "sound/dx_sound.h"
#include "platform/handler_guard.h"
#include "platform/idle_host.h"
#include "platform/line_buffer.h"
#include "pattern/pattern_editing.h"
#include "pattern/pattern_file.h"
#include "playback/sample_slots.h"
#include "support/scripted_dialogs.h"
#include "app/sequence_window.h"
#include "support/sequence_window_access.h"
#include "support/song_files.h"
#include "platform/audio_output.h"
#include "platform/sound_device.h"
#include "sound/wave.h"
#include "support/working_folder.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

using namespace groovane;

namespace {

using test::Rows;

// A mono 16-bit 44100 Hz sound of a few frames, one click at its start.
TWave clickWave(int16_t height)
{
    TWave wave;
    WaveFormatEx format;
    MakePCMWaveFormat(format, 44100, 16, 1);
    wave.SetFormat(format);
    wave.SetSize(20);
    std::fill(wave.Data(), wave.Data() + 20, uint8_t{0});
    wave.Data()[0] = static_cast<uint8_t>(static_cast<uint16_t>(height));
    wave.Data()[1] = static_cast<uint8_t>(static_cast<uint16_t>(height) >> 8);
    return wave;
}

// Sample slots that log each call and click on the output.
class ClickSlots : public SampleSlots {
public:
    void attach(TDirectSound& device)
    {
        for (int k = 1; k <= kSampleSlotCount; ++k) {
            buffers_.push_back(std::make_unique<TDirectSoundBuffer>(device));
            buffers_.back()->LoadFromWave(clickWave(static_cast<int16_t>(1000 * k)));
        }
    }
    void restart(int slot) override
    {
        if (unloaded.count(slot))
            throw Exception("WaveStream not set");
        calls.push_back("restart " + std::to_string(slot));
        TDirectSoundBuffer& buffer = *buffers_.at(static_cast<size_t>(slot - 1));
        buffer.Stop();
        buffer.SetPosition(0);
        buffer.Play(false);
    }
    void stop(int slot) override { calls.push_back("stop " + std::to_string(slot)); }
    size_t restarts() const
    {
        return static_cast<size_t>(
            std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("restart", 0) == 0; }));
    }

    std::vector<std::string> calls;
    std::set<int> unloaded;

private:
    std::vector<std::unique_ptr<TDirectSoundBuffer>> buffers_;
};

} // namespace

class SongPlaybackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<TSequence>();
        ui = &controlsOf(*window);
        window->FormCreate();
        ASSERT_TRUE(dialogs.errors.empty());
        samples.attach(*window->DXSound1.DSound());
        window->setSampleSlots(&samples);
        for (TDXTimer* timer : {&window->DXTimer1, &window->DXTimer2})
            timer->setClock([this] { return static_cast<uint32_t>(nowNs() / 1'000'000); });
    }
    int64_t nowNs() { return folder.output().timeOfFrame(folder.output().framesRendered()); }

    void writePattern(const std::string& name, int length, int tempo, int loops, const Rows& rows = {})
    {
        test::writePatternFile(folder, name, length, tempo, loops, rows);
    }
    void setPlayList(const std::vector<std::string>& names, int selected = -1)
    {
        ui->SongList->clear();
        for (const std::string& name : names)
            ui->SongList->addItem(QString::fromStdString(name));
        ui->SongList->setCurrentRow(selected);
    }
    // F5, through the handler guard as the menu runs it.
    void playSong() { ui->Stop1->trigger(); }

    // Lets `ms` milliseconds of sound play, polling the idle slot at every millisecond as the
    // idle driver would (errors go to the error box). Returns the frames, counted from the
    // output's start, on which a click began, with its left sample.
    std::vector<std::pair<uint64_t, int>> run(int ms)
    {
        std::vector<std::pair<uint64_t, int>> hits;
        for (int i = 0; i < ms; ++i) {
            const int64_t next = (nowNs() / 1'000'000 + 1) * 1'000'000;
            const uint64_t frame =
                static_cast<uint64_t>((static_cast<__int128>(next) * 44100 + 999'999'999) / 1'000'000'000);
            const uint64_t first = folder.output().framesRendered();
            const std::vector<int16_t> block = folder.pump(static_cast<uint32_t>(frame - first));
            for (size_t f = 0; f < block.size() / 2; ++f) {
                const int16_t sample = block[2 * f];
                if (sample != 0 && previousSample_ == 0)
                    hits.emplace_back(first + f, sample);
                previousSample_ = sample;
            }
            runGuarded([] { applicationIdleHost().runIdle(); });
        }
        return hits;
    }

    int16_t previousSample_ = 0;

    bool playButtonsEnabled() const { return ui->BitBtn3->isEnabled() && ui->BitBtn12->isEnabled(); }

    test::WorkingFolder folder;
    test::ScriptedDialogs dialogs;
    ClickSlots samples;
    std::unique_ptr<TSequence> window;
    TSequenceControls* ui = nullptr; // the window's controls
};

TEST_F(SongPlaybackTest, TwoPatternsFromTheSelectedEntryMakeTwoHundredFortyFiveLinesAndFortyTicks)
{
    writePattern("Intro", 4, 60, 1, {{"Sample8"}});
    writePattern("Verse", 16, 30, 2, Rows(16, {"Sample1"}));
    writePattern("Fill", 8, 30, 1, Rows(8, {"", "", "", "", "", "Sample2"}));
    setPlayList({"Intro", "Verse", "Fill"}, 1);
    QTest::mouseClick(ui->BitBtn12, Qt::LeftButton);
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(window->MainPlay.lineCount(), 245);
    EXPECT_EQ(window->MainPlay.line(0), "//");
    EXPECT_EQ(window->MainPlay.line(1), "30");
    EXPECT_EQ(window->MainPlay.line(194), "//");
    EXPECT_EQ(window->MainPlay.line(244), "%%%");
    EXPECT_FALSE(ui->BitBtn3->isEnabled());
    EXPECT_FALSE(ui->BitBtn12->isEnabled());
    EXPECT_TRUE(window->DXTimer1.Enabled());
    EXPECT_EQ(ui->SongList->currentRow(), 0);
    EXPECT_EQ(window->Song.SongStepIndex, 0);

    // The first row comes after the timer's first interval of 1000 ms, then one every 60 ms.
    EXPECT_TRUE(run(999).empty());
    const auto hits = run(39 * 60 + 5);
    ASSERT_EQ(hits.size(), 40u);
    EXPECT_EQ(samples.calls, [] {
        std::vector<std::string> expected(32, "restart 1");
        expected.insert(expected.end(), 8, "restart 2");
        return expected;
    }());
    for (size_t i = 1; i < hits.size(); ++i)
        EXPECT_EQ(hits[i].first - hits[i - 1].first, 2646u) << "tick " << i;

    // The song ended in the tick that played its last row.
    EXPECT_FALSE(window->DXTimer1.Enabled());
    EXPECT_TRUE(playButtonsEnabled());
    EXPECT_TRUE(window->MainPlay.empty());
    EXPECT_EQ(ui->SongList->currentRow(), 0);
    EXPECT_TRUE(run(2000).empty());
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(SongPlaybackTest, ATempoChangeBetweenPatternsLandsOnTheExactFrames)
{
    writePattern("Fast", 2, 30, 1, {{"Sample1"}, {"Sample1"}});
    writePattern("Slow", 3, 50, 1, {{"Sample2"}, {"Sample2"}, {"Sample2"}});
    setPlayList({"Fast", "Slow"});
    playSong();
    const auto hits = run(1000 + 60 + 60 + 100 + 100 + 5);
    ASSERT_EQ(hits.size(), 5u);
    std::vector<uint64_t> gaps;
    for (size_t i = 1; i < hits.size(); ++i)
        gaps.push_back(hits[i].first - hits[i - 1].first);
    // The slow pattern's first row comes one fast interval after the fast pattern's last; its
    // tempo governs the intervals after it.
    EXPECT_EQ(gaps, (std::vector<uint64_t>{2646, 2646, 4410, 4410}));
    EXPECT_EQ(samples.calls,
              (std::vector<std::string>{"restart 1", "restart 1", "restart 2", "restart 2", "restart 2"}));
    EXPECT_EQ(ui->Delay->value(), 50);
    EXPECT_EQ(ui->Label6->text(), "144");
    EXPECT_EQ(window->StepInterval, 100) << "the last pattern read set it; the ticks leave it";
    EXPECT_EQ(window->TempoPosition, 60);
}

TEST_F(SongPlaybackTest, GlobalKeepsTheUsersTempoAndUntickedTheSliderFollowsEachPattern)
{
    writePattern("Fast", 1, 30, 1, {{"Sample1"}});
    writePattern("Slow", 1, 50, 1, {{"Sample2"}});
    setPlayList({"Fast", "Slow"});

    playSong();
    EXPECT_EQ(ui->Delay->value(), 50) << "the slider shows the last pattern read";
    run(1000);
    EXPECT_EQ(ui->Delay->value(), 30);
    EXPECT_EQ(ui->Label6->text(), "240");
    EXPECT_EQ(window->DXTimer1.Interval(), 60u);
    run(65);
    EXPECT_EQ(ui->Delay->value(), 50);
    EXPECT_EQ(window->DXTimer1.Interval(), 100u);
    EXPECT_FALSE(window->DXTimer1.Enabled());

    // The user's tempo, taken by a move of the slider, governs the whole song.
    ui->Global->setChecked(true);
    ui->Delay->setValue(40);
    window->DelayChange();
    EXPECT_EQ(window->DXTimer1.Interval(), 80u);
    playSong();
    EXPECT_EQ(ui->Delay->value(), 40);
    const auto hits = run(80 + 80 + 5);
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[1].first - hits[0].first, 3528u);
    EXPECT_EQ(ui->Delay->value(), 40);
    EXPECT_EQ(ui->Label6->text(), "180");
    EXPECT_EQ(window->DXTimer1.Interval(), 80u);
}

TEST_F(SongPlaybackTest, ARepeatingSongFollowsItsLastRowWithItsFirstUntilStop)
{
    writePattern("A", 2, 30, 1, {{"Sample1"}, {"Sample2"}});
    writePattern("B", 1, 30, 1, {{"Sample3"}});
    setPlayList({"A", "B"});
    ui->Noend->setChecked(true);
    playSong();
    const auto hits = run(1000 + 60 * 6 + 5);
    ASSERT_EQ(hits.size(), 7u);
    for (size_t i = 0; i < hits.size(); ++i) {
        EXPECT_EQ(samples.calls[i], "restart " + std::to_string(i % 3 + 1));
        if (i > 0) {
            EXPECT_EQ(hits[i].first - hits[i - 1].first, 2646u);
        }
    }
    EXPECT_TRUE(window->DXTimer1.Enabled());
    EXPECT_FALSE(window->MainPlay.empty());

    ui->BitBtn4->click();
    EXPECT_FALSE(window->DXTimer1.Enabled());
    EXPECT_TRUE(window->MainPlay.empty());
    EXPECT_TRUE(playButtonsEnabled());
    EXPECT_TRUE(run(500).empty());
}

TEST_F(SongPlaybackTest, LoopCountZeroPlaysOnceAndPatternsWithoutStepsPassStraightOn)
{
    writePattern("Empty", 0, 20, 3);
    writePattern("Negative", -1, 25, 1);
    writePattern("Once", 2, 40, 0, {{"Sample1"}, {"Sample2"}});
    setPlayList({"Empty", "Negative", "Once", "Empty"});
    playSong();
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(window->MainPlay.lineCount(), 2 + 2 + (2 + 12) + 2 + 1);
    const auto hits = run(1000 + 80 + 500);
    ASSERT_EQ(hits.size(), 2u);
    // The pattern after the empty ones is entered at once, at its own tempo.
    EXPECT_EQ(hits[1].first - hits[0].first, 3528u);
    EXPECT_EQ(samples.calls, (std::vector<std::string>{"restart 1", "restart 2"}));
    EXPECT_FALSE(window->DXTimer1.Enabled()) << "the song ended after its last row";
    EXPECT_TRUE(playButtonsEnabled());

    // A song of nothing but empty patterns ends at its first tick without a sound.
    setPlayList({"Empty"});
    playSong();
    EXPECT_TRUE(run(1000).empty());
    EXPECT_FALSE(window->DXTimer1.Enabled());
    EXPECT_TRUE(playButtonsEnabled());
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(SongPlaybackTest, MarkerAndEndTextsInCellsAreSilentCells)
{
    writePattern("Odd", 3, 30, 1, {{"//", "Sample1"}, {"Sample2", "", "%%%"}, {"%%%", "//", "Sample3"}});
    setPlayList({"Odd"});
    playSong();
    const auto hits = run(1000 + 120 + 5);
    EXPECT_TRUE(dialogs.errors.empty());
    ASSERT_EQ(hits.size(), 3u);
    EXPECT_EQ(samples.calls, (std::vector<std::string>{"restart 1", "restart 2", "restart 3"}));
    EXPECT_EQ(hits[2].first - hits[0].first, 2u * 2646u);
    EXPECT_FALSE(window->DXTimer1.Enabled());
}

TEST_F(SongPlaybackTest, AFailedBuildLeavesTheButtonsOffAndTheNextGoodOnePlays)
{
    writePattern("Good", 1, 30, 1, {{"Sample1"}});
    folder.write("Bad.pat", "Bad\r\nLength:\r\nx\r\n");
    setPlayList({"Good", "Missing"});
    playSong();
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"Cannot open file " + folder.file("Missing.pat") + "."});
    EXPECT_FALSE(ui->BitBtn3->isEnabled());
    EXPECT_FALSE(ui->BitBtn12->isEnabled());
    EXPECT_FALSE(window->DXTimer1.Enabled());
    EXPECT_TRUE(window->MainPlay.empty()) << "nothing of the failed build is kept";
    EXPECT_TRUE(run(1500).empty());

    setPlayList({"Good", "Bad"});
    playSong();
    ASSERT_EQ(dialogs.errors.size(), 2u);
    EXPECT_EQ(dialogs.errors[1], "'x' is not a valid integer value.");
    EXPECT_TRUE(window->MainPlay.empty());

    // F5 with a list that reads plays it; Stop also gives the buttons back.
    setPlayList({"Good", "Good"});
    playSong();
    EXPECT_EQ(window->MainPlay.lineCount(), 2 * 8 + 1);
    EXPECT_EQ(run(1000 + 60 + 5).size(), 2u);
    EXPECT_TRUE(playButtonsEnabled());

    setPlayList({"Missing"});
    playSong();
    window->BitBtn4Click();
    EXPECT_TRUE(playButtonsEnabled());
}

TEST_F(SongPlaybackTest, TheEditorKeepsThePatternTheUserHadWhileTheSliderFollowsTheSong)
{
    writePattern("Song", 2, 30, 4, {{"Sample1", "Kick"}, {"Sample2"}});
    writeLengthAndTime(window->Grid, 5, 3);
    ui->Edit2->setText("Mine");
    window->Grid.setCell(3, 2, "Snare");
    window->Grid.setCell(6, 6, "Tamb"); // the trailing row
    window->Grid.setCell(2, 12, "Hat"); // hidden below the pattern
    ui->Loop->setValue(3);
    PatternGrid edited;
    edited.assignCells(window->Grid);
    // The current cell lies below the song pattern's shorter grid.
    ASSERT_TRUE(ui->StringGrid1->setCurrentCell(4, 6));

    setPlayList({"Song"});
    playSong();
    EXPECT_EQ(ui->StringGrid1->currentColumn(), 4);
    EXPECT_EQ(ui->StringGrid1->currentRow(), 6) << "the next Enter would land elsewhere";
    EXPECT_EQ(ui->Edit2->text(), "Mine");
    EXPECT_EQ(ui->Loop->value(), 3);
    EXPECT_EQ(window->Grid.rowCount(), edited.rowCount());
    EXPECT_EQ(window->Grid.storedCellCount(), edited.storedCellCount());
    for (int row = 0; row < 14; ++row)
        for (int column = 0; column < 7; ++column)
            EXPECT_EQ(window->Grid.cell(column, row), edited.cell(column, row)) << column << "," << row;
    EXPECT_EQ(ui->Delay->value(), 30);
    EXPECT_EQ(ui->Label6->text(), "240");
    EXPECT_EQ(window->MainPlay.lineCount(), 2 + 6 * 2 * 4 + 1) << "the song's own loop count";

    // A build that fails gives the editor back too.
    setPlayList({"Song", "Missing"});
    window->BitBtn4Click();
    playSong();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(ui->Edit2->text(), "Mine");
    EXPECT_EQ(window->Grid.cell(1, 2), "");
    EXPECT_EQ(window->Grid.cell(2, 12), "Hat");
    EXPECT_EQ(window->Grid.cell(2, 0), "5");
}

TEST_F(SongPlaybackTest, AnErrorInASongTickStopsTheSongAndShowsOneMessage)
{
    writePattern("Song", 2, 30, 1, {{"Sample1", "Sample2", "Sample3"}, {"Sample1"}});
    setPlayList({"Song"});
    samples.unloaded = {2};
    ui->Noend->setChecked(true);
    playSong();
    run(3000);
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"WaveStream not set."});
    EXPECT_EQ(samples.calls, (std::vector<std::string>{"restart 1", "stop 1", "stop 2", "stop 3", "stop 4", "stop 5",
                                                       "stop 6", "stop 7", "stop 8"}));
    EXPECT_FALSE(window->DXTimer1.Enabled());
    EXPECT_EQ(window->PlayState, "Stop");
    EXPECT_TRUE(window->MainPlay.empty());
    EXPECT_TRUE(playButtonsEnabled());
}

TEST_F(SongPlaybackTest, AnEmptyPlayListChangesNothingAndASongTakesOverFromAPattern)
{
    playSong();
    EXPECT_TRUE(playButtonsEnabled());
    EXPECT_FALSE(window->DXTimer1.Enabled());
    EXPECT_TRUE(window->MainPlay.empty());

    // F5 while a pattern plays: the song takes the idle slot and the pattern stops advancing.
    writePattern("Song", 1, 30, 1, {{"Sample2"}});
    writeLengthAndTime(window->Grid, 1, 4);
    window->Grid.setCell(1, 2, "Sample1");
    ui->endless->setChecked(true);
    window->BitBtn3Click();
    run(120 * 2 + 1);
    EXPECT_EQ(samples.restarts(), 2u);
    setPlayList({"Song"});
    playSong();
    samples.calls.clear();
    run(2000);
    EXPECT_EQ(samples.calls, std::vector<std::string>{"restart 2"});
    EXPECT_FALSE(window->DXTimer1.Enabled());
    EXPECT_EQ(window->Grid.cell(1, 2), "Sample1") << "the pattern in the editor stays";
}

TEST_F(SongPlaybackTest, PlaySongDuringASongStartsItAgainFromItsFirstRow)
{
    writePattern("Song", 3, 30, 1, {{"Sample1"}, {"Sample2"}, {"Sample3"}});
    setPlayList({"Song"});
    playSong();
    run(1000 + 60 + 5);
    EXPECT_EQ(samples.calls, (std::vector<std::string>{"restart 1", "restart 2"}));
    // The pattern changed on disk meanwhile: the new song is read as it is now.
    writePattern("Song", 2, 30, 1, {{"Sample4"}, {"Sample5"}});
    samples.calls.clear();
    playSong();
    EXPECT_EQ(window->Song.SongStepIndex, 0);
    EXPECT_TRUE(window->DXTimer1.Enabled());
    const auto hits = run(60 + 60 + 5);
    EXPECT_EQ(samples.calls, (std::vector<std::string>{"restart 4", "restart 5"}));
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[1].first - hits[0].first, 2646u);
    EXPECT_FALSE(window->DXTimer1.Enabled());
    EXPECT_TRUE(dialogs.errors.empty());
}
