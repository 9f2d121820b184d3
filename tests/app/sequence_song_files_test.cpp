// Save Song and Open Song on the main window, with the sample slots played by a stand-in.
#include "platform/exception.h"
#include "platform/line_buffer.h"
#include "pattern/pattern_editing.h"
#include "pattern/pattern_file.h"
#include "support/scripted_dialogs.h"
#include "app/sequence_window.h"
#include "support/sequence_window_access.h"
#include "support/working_folder.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidgetItem>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <map>

using namespace groovane;

namespace {

// Slots whose players are plain records; a path listed as unopenable fails like a missing file.
class FakeSlots : public SongSlots {
public:
    std::map<int, SongSampleSettings> players;
    std::map<int, int32_t> enabledAt; // pitch slider positions of slots whose controls were enabled
    std::string unopenable;
    bool failSettings = false;

    std::optional<SongSampleSettings> settings(int slot) const override
    {
        if (failSettings)
            throw Exception("IDirectSoundBuffer not made");
        auto it = players.find(slot);
        return it == players.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<int32_t> volume(int) const override { return 0; }
    void setFileName(int slot, const std::string& path) override
    {
        if (path == unopenable) {
            players.erase(slot);
            throw EFileError("Cannot open file " + path);
        }
        players[slot].fileName = path;
    }
    void setFrequency(int slot, int32_t frequency) override { players.at(slot).frequency = frequency; }
    void setPan(int slot, int32_t pan) override { players.at(slot).pan = pan; }
    void setVolume(int, int32_t) override {}
    void enableControls(int slot, int32_t frequency) override { enabledAt[slot] = frequency; }
};

} // namespace

class SequenceSongFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<TSequence>();
        ui = &controlsOf(*window);
        window->show();
        window->FormCreate();
        window->songSlots = &samples;
        for (int k = 1; k <= 8; ++k)
            samples.players[k] = SongSampleSettings{"Blank.wav", 22050, 0};
    }

    void setPlayList(const std::vector<std::string>& names)
    {
        ui->SongList->clear();
        for (const std::string& name : names)
            ui->SongList->addItem(QString::fromStdString(name));
    }
    std::vector<std::string> playList() const
    {
        std::vector<std::string> names;
        for (int i = 0; i < ui->SongList->count(); ++i) {
            names.push_back(ui->SongList->item(i)->text().toStdString());
            EXPECT_EQ(ui->SongList->item(i)->checkState(), Qt::Unchecked);
        }
        return names;
    }
    void save(const std::optional<std::string>& path)
    {
        dialogs.saveAnswers.push_back(path);
        QTest::mouseClick(ui->BitBtn9, Qt::LeftButton);
    }
    void open(const std::optional<std::string>& path)
    {
        dialogs.openAnswers.push_back(path);
        QTest::mouseClick(ui->BitBtn8, Qt::LeftButton);
    }
    std::string title() const { return ui->Edit3->text().toStdString(); }

    test::WorkingFolder folder;
    test::ScriptedDialogs dialogs;
    FakeSlots samples;
    std::unique_ptr<TSequence> window;
    TSequenceControls* ui = nullptr; // the window's controls
};

TEST_F(SequenceSongFilesTest, SaveThenOpenGivesBackTheSongAndItsSamples)
{
    setPlayList({"A", "B", "A"});
    ui->SongList->item(1)->setCheckState(Qt::Checked);
    samples.players[3] = SongSampleSettings{"/waves/clap.wav", 44100, -2000};
    ui->Edit3->setText("draft");
    ui->BitBtn3->setEnabled(false);
    save(folder.file("mysong.sng"));
    ASSERT_TRUE(dialogs.errors.empty()) << dialogs.errors[0];
    EXPECT_EQ(dialogs.fileDialogs[0].fileName, "draft");
    EXPECT_EQ(dialogs.fileDialogs[0].initialFolder, window->BaseFolder);
    EXPECT_EQ(dialogs.fileDialogs[0].filter, "*.sng|*.sng");
    EXPECT_EQ(title(), "mysong");
    EXPECT_TRUE(ui->BitBtn3->isEnabled());
    const std::string bytes = folder.read("mysong.sng");
    EXPECT_EQ(bytes.substr(0, 30), "A\r\nB\r\nA\r\n<*sam1\r\nBlank.wav\r\n22");

    setPlayList({"Other"});
    samples.players.clear();
    ui->Edit3->setText("");
    open(folder.file("mysong.sng"));
    ASSERT_TRUE(dialogs.errors.empty()) << dialogs.errors[0];
    EXPECT_EQ(playList(), (std::vector<std::string>{"A", "B", "A"}));
    EXPECT_EQ(ui->SongList->currentRow(), -1);
    EXPECT_EQ(title(), "mysong");
    EXPECT_EQ(window->windowTitle(), "Groovane Pro v4.0 - mysong");
    // The blank sound keeps its bare name; the imported sample enables its slot's controls.
    EXPECT_EQ(samples.players[1].fileName, "Blank.wav");
    EXPECT_EQ(samples.players[3].fileName, "/waves/clap.wav");
    EXPECT_EQ(samples.players[3].pan, -2000);
    EXPECT_EQ(samples.enabledAt, (std::map<int, int32_t>{{3, 44100}}));

    // Saved again, the song is the same file.
    save(folder.file("again.sng"));
    EXPECT_EQ(folder.read("again.sng"), bytes);
}

TEST_F(SequenceSongFilesTest, NamesInTheOldCodePageComeBackByteForByte)
{
    std::vector<std::string> lines{"Caf\xE9",
                                   "Stra\xC3\x9F"
                                   "e",
                                   "\x80\x81"};
    for (int k = 1; k <= 8; ++k)
        lines.insert(lines.end(), {"<*sam" + std::to_string(k), "Blank.wav", "22050", "//", "0"});
    folder.write("old.sng", LineBuffer::joinLines(lines));
    open(folder.file("old.sng"));
    ASSERT_TRUE(dialogs.errors.empty()) << dialogs.errors[0];
    ASSERT_EQ(ui->SongList->count(), 3);
    EXPECT_EQ(ui->SongList->item(0)->text(), QString::fromUtf8("Café"));
    EXPECT_EQ(ui->SongList->item(1)->text(), QString::fromUtf8("Straße"));
    EXPECT_EQ(ui->SongList->item(2)->text(), QString::fromUtf8("€\u0081"));

    // Entries that move keep their bytes.
    ui->SongList->setCurrentRow(2);
    window->UpDown1Click(ui->UpDown1, UpDown::Button::Next);
    std::swap(lines[1], lines[2]);
    save(folder.file("new.sng"));
    EXPECT_EQ(folder.read("new.sng"), LineBuffer::joinLines(lines));
}

TEST_F(SequenceSongFilesTest, CancelledOrNamelessSavesWriteNothing)
{
    setPlayList({"A"});
    ui->Edit3->setText("mine");
    save(std::nullopt);
    EXPECT_EQ(title(), "");
    save(folder.file(".sng"));
    EXPECT_EQ(title(), ".sng");
    EXPECT_FALSE(std::filesystem::exists(folder.path() / ".sng"));

    // Another extension is written under its own name.
    save(folder.file("song.txt"));
    EXPECT_EQ(title(), "song");
    EXPECT_TRUE(std::filesystem::exists(folder.path() / "song.txt"));
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(SequenceSongFilesTest, SavingWithoutPlayersWritesBlankSlotsAndAPlayersErrorWritesNothing)
{
    setPlayList({"A"});
    samples.players.erase(5);
    save(folder.file("closed.sng"));
    const std::vector<std::string> lines = LineBuffer::splitLines(folder.read("closed.sng"));
    ASSERT_EQ(lines.size(), 41u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 21, lines.begin() + 26),
              (std::vector<std::string>{"<*sam5", "Blank.wav", "0", "//", "0"}));

    samples.failSettings = true;
    save(folder.file("broken.sng"));
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "IDirectSoundBuffer not made.");
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "broken.sng"));
}

TEST_F(SequenceSongFilesTest, FilesThatDoNotReadChangeNothing)
{
    setPlayList({"Keep", "Me"});
    ui->Edit3->setText("current");

    open(folder.file("missing.sng"));
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "Cannot open file " + folder.file("missing.sng") + ".");

    // A frequency that is not a number, in the last block.
    folder.write("bad.sng", "X\r\n<*sam1\r\nBlank.wav\r\n22050\r\n//\r\n0\r\n<*sam2\r\n/w/a.wav\r\nfast\r\n");
    open(folder.file("bad.sng"));
    ASSERT_EQ(dialogs.errors.size(), 2u);
    EXPECT_EQ(dialogs.errors[1], "'fast' is not a valid integer value.");

    EXPECT_EQ(playList(), (std::vector<std::string>{"Keep", "Me"}));
    EXPECT_EQ(title(), "current");
    EXPECT_EQ(samples.players[1].frequency, 22050);
    EXPECT_EQ(samples.players[2].fileName, "Blank.wav") << "no slot was touched";

    // A cancelled dialog empties the title and keeps the rest.
    open(std::nullopt);
    EXPECT_EQ(title(), "");
    EXPECT_EQ(playList(), (std::vector<std::string>{"Keep", "Me"}));
}

TEST_F(SequenceSongFilesTest, ASampleThatCannotBeOpenedStopsAtItsSlot)
{
    folder.write("lost.sng", "A\r\n<*sam1\r\n/w/one.wav\r\n8000\r\n//\r\n100\r\n"
                             "<*sam2\r\n/gone.wav\r\n9000\r\n//\r\n200\r\n"
                             "<*sam3\r\n/w/three.wav\r\n7000\r\n//\r\n300\r\n");
    samples.unopenable = "/gone.wav";
    open(folder.file("lost.sng"));
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "Cannot open file /gone.wav.");
    EXPECT_EQ(playList(), (std::vector<std::string>{"A"}));
    EXPECT_EQ(title(), folder.file("lost.sng")) << "the title keeps the full path";
    EXPECT_EQ(samples.players[1].pan, 100);
    EXPECT_EQ(samples.players.count(2), 0u) << "the slot is left without a sound";
    EXPECT_EQ(samples.players[3].fileName, "Blank.wav") << "later blocks are not read";
}

TEST_F(SequenceSongFilesTest, SongPatternsPassThroughTheEditorIntoTheStepList)
{
    // An 8-step pattern stored with a tempo beyond the slider and a loop count of 0.
    PatternGrid stored;
    writeLengthAndTime(stored, 8, 4);
    stored.setCell(0, 0, "Verse");
    stored.setCell(1, 2, "Kick");
    stored.setCell(6, 9, "%%%");
    folder.write("Verse.pat", LineBuffer::joinLines(patternFileLines(stored, 8, 200, 0)));

    const SongPattern verse = window->loadSongPattern("Verse");
    EXPECT_EQ(verse.tempoPosition, 140);
    EXPECT_EQ(verse.loopCount, 1);
    EXPECT_EQ(verse.length, 8);
    ASSERT_EQ(verse.cells.size(), 48u);
    EXPECT_EQ(verse.cells[0], "Kick");
    // The editor shows the pattern, with the rows it had.
    EXPECT_EQ(window->Grid.cell(1, 2), "Kick");
    EXPECT_EQ(window->Grid.rowCount(), 18);
    EXPECT_EQ(ui->Delay->value(), 140);
    EXPECT_EQ(ui->Loop->value(), 1);
    EXPECT_EQ(ui->Label6->text(), "51");
    EXPECT_EQ(window->TempoPosition, 60);
    EXPECT_EQ(ui->Edit2->text(), "Verse");

    const PatternLoader load = [this](const std::string& name) { return window->loadSongPattern(name); };
    StepList list = buildStepList({"Verse", "Verse"}, load);
    EXPECT_EQ(list.lineCount(), 2 * (2 + 48) + 1);
    EXPECT_EQ(list.line(1), "140");
    EXPECT_EQ(list.line(2 + 6 * 7 + 5), "") << "the end text in a cell is an empty cell";

    EXPECT_THROW(list = buildStepList({"Verse", "Gone"}, load), EFileError);
    EXPECT_EQ(list.lineCount(), 101);
}
