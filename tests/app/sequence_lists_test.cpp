#include "platform/files.h"
#include "support/full_disk.h"
#include "pattern/grid_view.h"
#include "platform/idle_host.h"
#include "platform/line_buffer.h"
#include "support/scripted_dialogs.h"
#include "app/sequence_window.h"
#include "support/sequence_window_access.h"
#include "support/working_folder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidgetItem>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

using namespace groovane;

namespace {

std::vector<std::string> texts(const QListWidget* list)
{
    std::vector<std::string> result;
    for (int i = 0; i < list->count(); ++i)
        result.push_back(list->item(i)->text().toStdString());
    return result;
}

} // namespace

// The main window in a fresh working folder, driven through its handlers and controls.
class SequenceListsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"Rock1.pat", "funk.pat", "Ballad.PAT"})
            folder.write(name, patternFile(name, 16, 60, 1));
        window = std::make_unique<TSequence>();
        ui = &controlsOf(*window);
        window->show();
        window->FormCreate();
    }

    void TearDown() override { window.reset(); }

    // A 16-step pattern file with a kick on step 1 and the given settings.
    static std::string patternFile(const std::string& name, int length, int tempo, int loops)
    {
        std::vector<std::string> lines{name, "Length:", std::to_string(length), "Time:", "4", "", ""};
        lines.insert(lines.end(), {"", "Channel:1", "Channel:2", "Channel:3", "Channel:4", "Channel:5", "Channel:6"});
        for (int step = 1; step <= length + 1; ++step) {
            lines.push_back(step <= length ? std::to_string(step) + ":x" : "");
            for (int channel = 1; channel <= 6; ++channel)
                lines.push_back(step == 1 && channel == 1 ? "Kick" : "");
        }
        lines.push_back(std::to_string(tempo));
        lines.push_back(std::to_string(loops));
        return LineBuffer::joinLines(lines);
    }

    void selectLibrary(const std::string& name)
    {
        const int index = window->Library.indexOf(name);
        ASSERT_GE(index, 0) << name;
        ui->MusicLib->setCurrentRow(index);
    }
    void pressSongEntry(int index)
    {
        QListWidgetItem* item = ui->SongList->item(index);
        QRect rect = ui->SongList->visualItemRect(item);
        QTest::mousePress(ui->SongList->viewport(), Qt::RightButton, {}, rect.center() + QPoint(20, 0));
        QTest::mouseRelease(ui->SongList->viewport(), Qt::RightButton, {}, rect.center() + QPoint(20, 0));
    }
    void saveAs(const std::string& name)
    {
        ui->Edit2->setText(QString::fromStdString(name));
        QTest::mouseClick(ui->BitBtn6, Qt::LeftButton);
    }
    std::vector<std::string> library() const { return texts(ui->MusicLib); }
    std::vector<std::string> songs() const { return texts(ui->SongList); }

    test::WorkingFolder folder;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<TSequence> window;
    TSequenceControls* ui = nullptr; // the window's controls
};

TEST_F(SequenceListsTest, StartUpListsThePatternFilesSortedWithBlankFirst)
{
    EXPECT_EQ(library(), (std::vector<std::string>{"<Blank>", "Ballad", "funk", "Rock1"}));
    EXPECT_TRUE(window->Library.isSorted());
    EXPECT_FALSE(window->DXTimer1.Enabled());
    EXPECT_FALSE(window->DXTimer2.Enabled());
    EXPECT_EQ(window->DXTimer1.Interval(), 1000u);
    EXPECT_FALSE(window->DXTimer2.ActiveOnly());
    EXPECT_EQ(window->DXTimer2.MaxLag(), 10);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SequenceListsTest, SaveWritesTheFileAndAddsANewNameToBothListsOnce)
{
    window->Grid.setCell(3, 5, "Snare");
    ui->Loop->setValue(3);
    saveAs("New1");
    const auto lines = LineBuffer::splitLines(folder.read("New1.pat"));
    ASSERT_EQ(lines.size(), 135u);
    EXPECT_EQ(lines[0], "New1");
    EXPECT_EQ(lines[7 * 5 + 3], "Snare");
    EXPECT_EQ(lines[133], "60");
    EXPECT_EQ(lines[134], "3");
    EXPECT_EQ(window->PatternName, "New1");
    EXPECT_EQ(songs(), std::vector<std::string>{"New1"});
    EXPECT_EQ(library(), (std::vector<std::string>{"<Blank>", "Ballad", "funk", "New1", "Rock1"}));
    EXPECT_TRUE(window->MusicPad.lines().empty());

    saveAs("New1");
    EXPECT_EQ(songs(), std::vector<std::string>{"New1"}) << "saving again only rewrites the file";
    EXPECT_EQ(library().size(), 5u);

    // In the play list but not in the library: the library is left alone.
    ui->SongList->addItem("Orphan");
    saveAs("Orphan");
    EXPECT_TRUE(fileExists(folder.file("Orphan.pat")));
    EXPECT_EQ(library().size(), 5u);

    // A name that differs only in case is a second entry; both name the same file here.
    saveAs("rock1");
    EXPECT_EQ(library(), (std::vector<std::string>{"<Blank>", "Ballad", "funk", "New1", "Rock1", "rock1"}));
    EXPECT_EQ(LineBuffer::splitLines(folder.read("Rock1.pat"))[0], "rock1");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SequenceListsTest, SaveChecksLengthThenNameAndWritesNothingOnEither)
{
    window->Grid.setCell(2, 0, "1x");
    ui->Edit2->setText("");
    QTest::mouseClick(ui->BitBtn6, Qt::LeftButton);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"'1x' is not a valid integer value."})
        << "the length is converted before the name is checked";

    window->Grid.setCell(2, 0, "16");
    QTest::mouseClick(ui->BitBtn6, Qt::LeftButton);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].caption, "NAME");
    EXPECT_EQ(dialogs.messages[1].text, "Name of pattern?");
    EXPECT_EQ(dialogs.messages[1].buttons, MessageButtons::Ok);
    EXPECT_TRUE(songs().empty());
    EXPECT_EQ(listFilesWithSuffix(folder.path().string(), ".pat").size(), 3u);
}

TEST_F(SequenceListsTest, AFailedWriteKeepsTheOldFileAndTheLists)
{
    const std::string old = folder.read("Rock1.pat");
    test::FullDisk disk(test::FullDiskKind::FileSizeLimit, folder.path(), 100);
    disk.fill();
    saveAs("Rock1");
    disk.clear();
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"Stream write error."});
    EXPECT_EQ(folder.read("Rock1.pat"), old);
    EXPECT_TRUE(songs().empty());
    EXPECT_TRUE(window->MusicPad.lines().empty()) << "the next save starts from an empty buffer";

    saveAs("Rock1");
    EXPECT_EQ(songs(), std::vector<std::string>{"Rock1"});
    EXPECT_EQ(LineBuffer::splitLines(folder.read("Rock1.pat")).size(), 135u);
}

TEST_F(SequenceListsTest, ClickingAnEntryLoadsItsPatternTempoAndLoopCount)
{
    folder.write("Slow.pat", patternFile("Slow", 8, 90, 0));
    ui->SongList->addItem("Slow");
    window->Grid.setCell(1, 12, "Tom1"); // a row the 8-step pattern hides but keeps
    pressSongEntry(0);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(window->PatternName, "Slow");
    EXPECT_EQ(window->Grid.rowCount(), 10);
    EXPECT_EQ(window->Grid.cell(1, 2), "Kick");
    EXPECT_EQ(window->Grid.cell(0, 3), "2:x") << "labels shown as stored";
    EXPECT_EQ(window->Grid.cell(1, 12), "Tom1");
    EXPECT_EQ(ui->Delay->value(), 90);
    EXPECT_EQ(ui->Label6->text(), "80");
    EXPECT_EQ(window->StepInterval, 180);
    EXPECT_EQ(window->TempoPosition, 60) << "a program move of the slider is not the user's tempo";
    EXPECT_EQ(ui->Loop->value(), 1) << "a stored loop count of 0 loads as 1";
    EXPECT_EQ(ui->Edit2->text(), "Slow");
    EXPECT_TRUE(window->MusicPad.lines().empty());
}

TEST_F(SequenceListsTest, LoadFailuresFollowTheOrderOfTheLoad)
{
    ui->SongList->addItem("Missing");
    ui->SongList->addItem("<Blank>");
    ui->SongList->addItem("BadTempo");
    window->Grid.setCell(1, 2, "Snare");
    pressSongEntry(0);
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"Cannot open file " + folder.file("Missing.pat") + "."});
    EXPECT_EQ(window->PatternName, "Missing");
    EXPECT_EQ(window->Grid.cell(1, 2), "Snare");

    pressSongEntry(1);
    EXPECT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(window->PatternName, "<Blank>");

    // A file cut after its header: the cells load as far as the file goes, then the missing
    // tempo line fails.
    folder.write("BadTempo.pat", "BadTempo\r\nLength:\r\n16\r\nTime:\r\n4\r\n");
    pressSongEntry(2);
    ASSERT_EQ(dialogs.errors.size(), 2u);
    EXPECT_EQ(dialogs.errors[1], "'' is not a valid integer value.");
    EXPECT_EQ(window->Grid.cell(0, 0), "BadTempo");
    EXPECT_EQ(window->Grid.cell(1, 2), "");
    EXPECT_EQ(ui->Delay->value(), 60);
    EXPECT_TRUE(window->MusicPad.lines().empty());
}

TEST_F(SequenceListsTest, APressBelowTheEntriesReloadsTheSelectedOne)
{
    ui->SongList->addItem("funk");
    pressSongEntry(0);
    window->Grid.setCell(1, 2, "");
    const QPoint below = ui->SongList->visualItemRect(ui->SongList->item(0)).bottomLeft() + QPoint(5, 40);
    QTest::mousePress(ui->SongList->viewport(), Qt::LeftButton, {}, below);
    QTest::mouseRelease(ui->SongList->viewport(), Qt::LeftButton, {}, below);
    EXPECT_EQ(window->Grid.cell(1, 2), "Kick");
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(SequenceListsTest, AddingFromTheLibraryAndRemovingBack)
{
    window->MusicLibDblClick(); // nothing selected
    selectLibrary("<Blank>");
    window->MusicLibDblClick();
    EXPECT_TRUE(songs().empty());
    selectLibrary("Rock1");
    window->MusicLibDblClick();
    QTest::mouseClick(ui->BitBtn1, Qt::LeftButton);
    QTest::mouseClick(ui->BitBtn1, Qt::LeftButton);
    EXPECT_EQ(songs(), (std::vector<std::string>{"Rock1", "Rock1", "Rock1"}));
    EXPECT_EQ(ui->SongList->currentRow(), -1) << "adding leaves the play list's selection";

    ui->SongList->setCurrentRow(1);
    QTest::mouseClick(ui->BitBtn2, Qt::LeftButton);
    EXPECT_EQ(songs(), (std::vector<std::string>{"Rock1", "Rock1"}));
    EXPECT_EQ(library().size(), 4u);

    ui->SongList->addItem("FromSong");
    ui->SongList->setCurrentRow(2);
    QTest::mouseClick(ui->BitBtn2, Qt::LeftButton);
    EXPECT_EQ(songs(), (std::vector<std::string>{"Rock1", "Rock1"}));
    EXPECT_EQ(library(), (std::vector<std::string>{"<Blank>", "Ballad", "FromSong", "funk", "Rock1"}));
}

TEST_F(SequenceListsTest, DeleteAsksThenRemovesFileLibraryEntryAndExactMatchesOnly)
{
    for (const char* name : {"Rock1", "rock1", "funk", "Rock1"})
        ui->SongList->addItem(name);
    ui->MusicLib->setCurrentRow(-1);
    window->LibBinClick();
    ui->MusicLib->setCurrentRow(0);
    QTest::mouseClick(ui->LibBin, Qt::LeftButton);
    EXPECT_TRUE(dialogs.messages.empty()) << "nothing selected or the first entry: no question";

    selectLibrary("Rock1");
    dialogs.answers.push_back(MessageResult::Cancel);
    QTest::mouseClick(ui->LibBin, Qt::LeftButton);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, "!Are you sure you wish to delete?");
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(library().size(), 4u);

    selectLibrary("Rock1");
    dialogs.answers.push_back(MessageResult::Ok);
    QTest::mouseClick(ui->LibBin, Qt::LeftButton);
    EXPECT_EQ(library(), (std::vector<std::string>{"<Blank>", "Ballad", "funk"}));
    EXPECT_FALSE(fileExists(folder.file("Rock1.pat")));
    EXPECT_EQ(songs(), (std::vector<std::string>{"rock1", "funk"}));

    // A missing file is no error.
    window->Library.add("Ghost");
    ui->MusicLib->insertItem(window->Library.indexOf("Ghost"), "Ghost");
    selectLibrary("Ghost");
    dialogs.answers.push_back(MessageResult::Ok);
    window->LibBinClick();
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_FALSE(window->Library.contains("Ghost"));
}

TEST_F(SequenceListsTest, MoveTickAndBinOnTheListBox)
{
    for (const char* name : {"A", "B", "C", "D", "E"})
        ui->SongList->addItem(name);
    PlayList list = window->readSongList();
    list.setTicked(0, true);
    list.setTicked(2, true);
    list.select(2);
    window->showSongList(list);
    window->UpDown1Click(ui->UpDown1, UpDown::Button::Next);
    EXPECT_EQ(songs(), (std::vector<std::string>{"A", "C", "B", "D", "E"}));
    EXPECT_EQ(ui->SongList->currentRow(), 1);
    EXPECT_EQ(ui->SongList->item(1)->checkState(), Qt::Checked) << "the mark moves with its entry";
    window->UpDown1Click(ui->UpDown1, UpDown::Button::Prev);
    window->UpDown1Click(ui->UpDown1, UpDown::Button::Prev);
    window->UpDown1Click(ui->UpDown1, UpDown::Button::Prev);
    window->UpDown1Click(ui->UpDown1, UpDown::Button::Prev);
    EXPECT_EQ(songs(), (std::vector<std::string>{"A", "B", "D", "E", "C"}));
    EXPECT_EQ(ui->SongList->currentRow(), 4);

    QTest::mouseClick(ui->SongBin, Qt::LeftButton);
    EXPECT_EQ(songs(), (std::vector<std::string>{"B", "D", "E"}));
    EXPECT_EQ(library().size(), 4u);
}

TEST_F(SequenceListsTest, ClearListStopsTheSongAndNewSongClearsEverything)
{
    IdleHost& host = applicationIdleHost();
    ui->SongList->addItem("Rock1");
    ui->Edit3->setText("My song");
    EXPECT_EQ(window->windowTitle(), "Groovane Pro v4.0 - My song");
    ui->BitBtn3->setEnabled(false);
    ui->BitBtn12->setEnabled(false);
    window->DXTimer1.setEnabled(true);
    EXPECT_EQ(host.idleHandler(), &window->DXTimer1);
    window->MainPlay = buildStepList({"Rock1"}, [](const std::string&) { return SongPattern{60, 1, 1, {"Kick"}}; });
    QTest::mouseClick(ui->BitBtn10, Qt::LeftButton);
    EXPECT_TRUE(songs().empty());
    EXPECT_EQ(window->PlayState, "Stop");
    EXPECT_TRUE(ui->BitBtn3->isEnabled());
    EXPECT_TRUE(ui->BitBtn12->isEnabled());
    EXPECT_FALSE(window->DXTimer1.Enabled());
    EXPECT_EQ(host.idleHandler(), nullptr);
    EXPECT_TRUE(window->MainPlay.empty());
    EXPECT_EQ(window->windowTitle(), "Groovane Pro v4.0 - ");

    // New Song: every step row up to 66, hidden or not, the name and the list; the loop count stays.
    ui->SongList->addItem("Rock1");
    ui->Edit3->setText("Other");
    ui->Edit2->setText("Pat");
    window->Grid.setCell(6, 66, "Tamb");
    window->Grid.setCell(1, 2, "Kick");
    ui->Loop->setValue(5);
    ui->New_Song->trigger();
    EXPECT_EQ(window->Grid.cell(6, 66), "");
    EXPECT_EQ(window->Grid.cell(1, 2), "");
    EXPECT_EQ(window->Grid.cell(0, 0), "");
    EXPECT_EQ(ui->Edit2->text(), "");
    EXPECT_EQ(window->Grid.cell(1, 0), "Length:");
    EXPECT_EQ(window->Grid.rowCount(), 18);
    EXPECT_TRUE(songs().empty());
    EXPECT_EQ(ui->Edit3->text(), "");
    EXPECT_EQ(ui->Loop->value(), 5);
    EXPECT_EQ(window->windowTitle(), "Groovane Pro v4.0");
}

TEST_F(SequenceListsTest, OnlyUserMovesOfTheSliderSetTheUsersTempo)
{
    ui->Delay->setFocus();
    ui->Delay->setValue(63);
    EXPECT_EQ(window->TempoPosition, 60) << "program move";
    EXPECT_EQ(ui->Label6->text(), "120");

    QTest::keyClick(ui->Delay, Qt::Key_Down); // inverted: down is one larger
    EXPECT_EQ(ui->Delay->value(), 64);
    EXPECT_EQ(window->TempoPosition, 64);
    EXPECT_EQ(window->StepInterval, 128);
    EXPECT_EQ(ui->Label6->text(), "112");
    EXPECT_EQ(window->DXTimer1.Interval(), 1000u) << "Global unticked";

    ui->Global->setChecked(true);
    QTest::keyClick(ui->Delay, Qt::Key_End);
    EXPECT_EQ(ui->Label6->text(), "51");
    EXPECT_EQ(window->DXTimer1.Interval(), 280u);
    QTest::keyClick(ui->Delay, Qt::Key_End); // already at the end: no change, no handler
    ui->Delay->setValue(1);
    EXPECT_EQ(window->TempoPosition, 140);
    EXPECT_EQ(window->DXTimer1.Interval(), 280u);
}

TEST_F(SequenceListsTest, LoopCountBelowOneBecomesOneAtOnce)
{
    ui->Loop->setValue(-3);
    EXPECT_EQ(ui->Loop->value(), 1);
    ui->Loop->setValue(7);
    ui->Loop->setFocus();
    ui->Loop->selectAll();
    QTest::keyClick(ui->Loop, Qt::Key_Delete);
    EXPECT_EQ(ui->Loop->text(), "1") << "an empty box is not a number";
    ui->Loop->selectAll();
    QTest::keyClicks(ui->Loop, "0");
    EXPECT_EQ(ui->Loop->text(), "1");
    ui->Loop->selectAll();
    QTest::keyClicks(ui->Loop, "12");
    EXPECT_EQ(ui->Loop->value(), 12);
    ui->Loop->setValue(1);
    ui->Loop->selectAll();
    QTest::keyClick(ui->Loop, Qt::Key_Backspace);
    EXPECT_EQ(ui->Loop->text(), "1") << "also when the value was 1 already";
}

// Pattern files written in the old 8-bit code page, and a name with control characters that is
// longer than a line edit holds by default: shown as Windows-1252, loaded and saved back byte for
// byte.
class SequencePatternBytesTest : public SequenceListsTest {
protected:
    void SetUp() override
    {
        std::vector<std::string> lines = LineBuffer::splitLines(patternFile("Caf\xE9", 16, 70, 2));
        lines[7 * 2 + 2] = "Cong\xE4"; // channel 2 of step 1
        oldCodePage = LineBuffer::joinLines(lines);
        folder.write("Caf\xE9.pat", oldCodePage);
        lines[0] = longName;
        folder.write("Long.pat", LineBuffer::joinLines(lines));
        SequenceListsTest::SetUp();
    }

    std::string oldCodePage;
    const std::string longName = std::string(40000, 'n') + "\t\x01\xE9";
};

TEST_F(SequencePatternBytesTest, LoadThenSaveWritesTheSameBytesUntilTheUserEditsTheName)
{
    selectLibrary("Caf\xE9");
    EXPECT_EQ(ui->MusicLib->currentItem()->text(), QString::fromUtf8("Café"));
    QTest::mouseClick(ui->BitBtn1, Qt::LeftButton);
    pressSongEntry(0);
    ASSERT_TRUE(dialogs.messages.empty()) << dialogs.errors.at(0);
    EXPECT_EQ(ui->SongList->item(0)->text(), QString::fromUtf8("Café"));
    EXPECT_EQ(ui->Edit2->text(), QString::fromUtf8("Café"));
    EXPECT_EQ(window->Grid.cell(0, 0), "Caf\xE9");
    EXPECT_EQ(window->Grid.cell(2, 2), "Cong\xE4");

    std::filesystem::remove(folder.path() / "Caf\xE9.pat");
    QTest::mouseClick(ui->BitBtn6, Qt::LeftButton);
    EXPECT_EQ(folder.read("Caf\xE9.pat"), oldCodePage);
    EXPECT_EQ(songs().size(), 1u) << "the play list already holds the pattern";
    EXPECT_EQ(library().size(), 6u);

    // Selector text that reads as a cell's text removes it, as the same bytes would.
    ui->StringGrid1->setCurrentCell(2, 2);
    ui->ComboBox1->setEditText(QString::fromUtf8("Congä"));
    window->StringGrid1MouseUp(ui->StringGrid1);
    EXPECT_EQ(window->Grid.cell(2, 2), "");
    window->StringGrid1MouseUp(ui->StringGrid1);
    EXPECT_EQ(window->Grid.cell(2, 2), "Cong\xC3\xA4") << "what the user places is UTF-8";

    // A name the user edits is what they typed, in UTF-8; the other cells keep their bytes.
    window->Grid.setCell(2, 2, "Cong\xE4");
    ui->Edit2->setFocus();
    ui->Edit2->end(false);
    QTest::keyClicks(ui->Edit2, " 2");
    EXPECT_EQ(window->Grid.cell(0, 0), "Caf\xC3\xA9 2");
    QTest::mouseClick(ui->BitBtn6, Qt::LeftButton);
    std::vector<std::string> lines = LineBuffer::splitLines(oldCodePage);
    lines[0] = "Caf\xC3\xA9 2";
    EXPECT_EQ(folder.read("Caf\xC3\xA9 2.pat"), LineBuffer::joinLines(lines));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SequencePatternBytesTest, ALongNameWithControlCharactersIsKeptWhole)
{
    ui->SongList->addItem("Long");
    pressSongEntry(0);
    ASSERT_TRUE(dialogs.messages.empty()) << dialogs.errors.at(0);
    EXPECT_EQ(ui->Edit2->text().size(), qsizetype(longName.size()));
    EXPECT_TRUE(window->Grid.cell(0, 0) == longName) << "the name cell keeps every byte";
}
