#include "support/folder_tree.h"
#include "platform/handler_guard.h"
#include "platform/line_buffer.h"
#include "pattern/pattern_editing.h"
#include "pattern/pattern_file.h"
#include "support/scripted_dialogs.h"
#include "app/sequence_window.h"
#include "support/sequence_window_access.h"
#include "support/working_folder.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace groovane;

class SequenceWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<TSequence>();
        ui = &controlsOf(*window);
        window->openDocument = [this](const QUrl& url) { opened.push_back(url); };
        window->show();
        window->FormCreate();
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    void TearDown() override { window.reset(); }

    void chooseInstrument(const QString& name) { ui->ComboBox1->setEditText(name); }
    void clickCell(int column, int row)
    {
        QTest::mouseClick(ui->StringGrid1->viewport(), Qt::LeftButton, {},
                          ui->StringGrid1->cellRect(column, row).center());
    }
    void applyTime(const QString& item)
    {
        ui->TimeBar->setEditText(item);
        QTest::mouseClick(ui->BitBtn13, Qt::LeftButton);
    }
    std::string cell(int column, int row) const { return window->Grid.cell(column, row); }
    // What pressing a play list entry of that name does, errors shown as the event loop would.
    void load(const std::string& name)
    {
        runGuarded([&] { window->LoadPattern(name); });
    }

    test::WorkingFolder folder;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<TSequence> window;
    TSequenceControls* ui = nullptr; // the window's controls
    std::vector<QUrl> opened;
};

TEST_F(SequenceWindowTest, StartsWithTheDesignedLayoutTempoAndFolder)
{
    EXPECT_EQ(window->windowTitle(), "Groovane Pro v4.0");
    EXPECT_EQ(ui->Label6->text(), "120");
    EXPECT_EQ(window->StepInterval, 120);
    EXPECT_EQ(window->TempoPosition, 60);
    EXPECT_EQ(window->BaseFolder, std::filesystem::current_path().string());
    EXPECT_EQ(ui->Loop->value(), 1);
    EXPECT_EQ(window->Grid.rowCount(), 18);
    EXPECT_EQ(cell(0, 2), "1:0*");
    EXPECT_EQ(cell(0, 17), "16:3");
    EXPECT_EQ(ui->Edit2->text(), "Name");
    EXPECT_EQ(cell(0, 0), "") << "the name cell stays empty until the name box changes";
    EXPECT_EQ(ui->ComboBox1->count(), 25);
    EXPECT_EQ(ui->ComboBox1->currentText(), "");
    EXPECT_EQ(ui->TimeBar->count(), 24);
    EXPECT_EQ(ui->TimeBar->itemText(7), "4  | 2 ");
    EXPECT_FALSE(ui->ProgressBar1->isVisible());
    EXPECT_TRUE(ui->set3->isChecked());
    EXPECT_TRUE(ui->Focus->isChecked());
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SequenceWindowTest, ClicksPlaceReplaceAndRemoveInstruments)
{
    chooseInstrument("Kick");
    clickCell(2, 5);
    EXPECT_EQ(cell(2, 5), "Kick");
    clickCell(2, 5);
    EXPECT_EQ(cell(2, 5), "");

    window->Grid.setCell(3, 4, "Snare");
    clickCell(3, 4);
    EXPECT_EQ(cell(3, 4), "Kick");

    // A click on a heading selects nothing: the cell that was current is toggled.
    clickCell(4, 1);
    EXPECT_EQ(cell(3, 4), "");
    EXPECT_EQ(cell(4, 1), "Channel:4");

    chooseInstrument("");
    window->Grid.setCell(1, 2, "Tamb");
    clickCell(1, 2);
    EXPECT_EQ(cell(1, 2), "");
    clickCell(1, 2);
    EXPECT_EQ(cell(1, 2), "");
}

TEST_F(SequenceWindowTest, UpdateTimeAppliesTheChosenItem)
{
    applyTime("7  | 4");
    EXPECT_EQ(ui->Edit4->text(), "7");
    EXPECT_EQ(ui->Edit5->text(), "4");
    EXPECT_EQ(window->Grid.rowCount(), 9);
    EXPECT_EQ(cell(0, 8), "7:2");
    EXPECT_EQ(cell(2, 0), "7");
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(SequenceWindowTest, UpdateTimeReportsABadLengthAfterTheLengthCellTookIt)
{
    applyTime("1x | 4");
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "'1x' is not a valid integer value.");
    EXPECT_EQ(cell(2, 0), "1x");
    EXPECT_EQ(window->Grid.rowCount(), 18);
    EXPECT_EQ(cell(0, 17), "16:3");

    // A word too short to hold a time clears the three boxes and changes nothing.
    applyTime("abc");
    EXPECT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(ui->TimeBar->currentText(), "");
    EXPECT_EQ(ui->Edit4->text(), "");
    EXPECT_EQ(ui->Edit5->text(), "");
    EXPECT_EQ(window->Grid.rowCount(), 18);
}

TEST_F(SequenceWindowTest, ClearPatternEmptiesStepsNameAndLoopCountOnly)
{
    ui->Edit2->setText("Rock1");
    EXPECT_EQ(cell(0, 0), "Rock1");
    chooseInstrument("Snare");
    clickCell(1, 3);
    ui->Loop->setValue(4);
    QTest::mouseClick(ui->BitBtn7, Qt::LeftButton);
    EXPECT_EQ(cell(1, 3), "");
    EXPECT_EQ(cell(0, 0), "");
    EXPECT_EQ(ui->Edit2->text(), "");
    EXPECT_EQ(ui->Loop->value(), 1);
    EXPECT_EQ(cell(1, 0), "Length:");
    EXPECT_EQ(cell(0, 3), "2:1");
    EXPECT_EQ(cell(6, 1), "Channel:6");
}

TEST_F(SequenceWindowTest, EnterTogglesTheCurrentCellFromAnyControl)
{
    chooseInstrument("Kick");
    clickCell(2, 3);
    ASSERT_EQ(cell(2, 3), "Kick");

    ui->Edit2->setFocus();
    QTest::keyClick(ui->Edit2, Qt::Key_Return);
    EXPECT_EQ(cell(2, 3), "");
    EXPECT_TRUE(ui->StringGrid1->hasFocus());

    ui->ComboBox1->setFocus();
    QTest::keyClick(ui->ComboBox1, Qt::Key_Enter);
    EXPECT_EQ(cell(2, 3), "Kick");
    EXPECT_EQ(ui->ComboBox1->count(), 25) << "Enter must not add the text to the list";
}

TEST_F(SequenceWindowTest, ControlKeysReachTheMenuItemsThatOwnThem)
{
    QSignalSpy saveSong(ui->SavePattern1, &QAction::triggered);
    QSignalSpy playInstrument(ui->PlayInstrument1, &QAction::triggered);
    dialogs.saveAnswers.push_back(std::nullopt); // Save Song asks for a file
    ui->Edit2->setFocus();
    QTest::keyClick(ui->Edit2, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(saveSong.count(), 1);
    EXPECT_EQ(playInstrument.count(), 0);

    // Ctrl+C closes the program even from an edit box, where it would otherwise copy.
    ui->Edit2->selectAll();
    QTest::keyClick(ui->Edit2, Qt::Key_C, Qt::ControlModifier);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(SequenceWindowTest, HelpOpensTheManualBesideTheProgramAndTheInstalledOne)
{
    ui->Contents1->trigger();
    ui->Vis_Site->trigger();
    window->InstalledFolder = "/usr/share/groovane";
    ui->Vis_Site->trigger();
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[0].toLocalFile().toStdString(), window->BaseFolder + "/groovane.html");
    // Nothing that leads nowhere: without an installed folder, the working folder's manual.
    EXPECT_EQ(opened[1], opened[0]);
    EXPECT_EQ(opened[2].toLocalFile().toStdString(), "/usr/share/groovane/groovane.html");
}

// ---------------------------------------------------------------------------------------------
// What a new user ran into: pattern lengths, the loop box, names that are no file names, folders
// in a pattern's place, the length list and the instrument box.

namespace {

// A pattern file of `length` steps with a kick on the last step, as the program writes it.
std::string patternFileOf(const std::string& name, int length)
{
    PatternGrid grid;
    grid.setCell(0, 0, name);
    writeLengthAndTime(grid, length, 4);
    writeStepLabels(grid, length, 4);
    writeChannelHeadings(grid);
    grid.setCell(1, length + 1, "Kick");
    return LineBuffer::joinLines(patternFileLines(grid, length, 60, 1));
}

} // namespace

TEST_F(SequenceWindowTest, APatternOfTheLongestLengthLoadsAndSavesAgainAndALongerOneIsRefused)
{
    folder.write("Long.pat", patternFileOf("Long", kMaxPatternLength));
    load("Long");
    ASSERT_TRUE(dialogs.errors.empty()) << dialogs.errors[0];
    EXPECT_EQ(window->Grid.rowCount(), kMaxPatternLength + 2);
    std::filesystem::remove(folder.file("Long.pat"));
    QTest::mouseClick(ui->BitBtn6, Qt::LeftButton);
    ASSERT_TRUE(dialogs.errors.empty()) << dialogs.errors[0];
    EXPECT_EQ(folder.read("Long.pat"), patternFileOf("Long", kMaxPatternLength));

    // One step more: refused by loading as by Update Time, with one message, changing nothing.
    const std::string message = "Pattern length " + std::to_string(kMaxPatternLength + 1) +
                                " is too long: a pattern has at most " + std::to_string(kMaxPatternLength) + " steps.";
    folder.write("Longer.pat", patternFileOf("Longer", kMaxPatternLength + 1));
    load("Longer");
    ui->Edit4->setText(QString::number(kMaxPatternLength + 1));
    ui->Edit5->setText("4");
    QTest::mouseClick(ui->BitBtn13, Qt::LeftButton);
    EXPECT_EQ(dialogs.errors, (std::vector<std::string>{message, message}));
    EXPECT_EQ(cell(0, 0), "Long");
    EXPECT_EQ(cell(2, 0), std::to_string(kMaxPatternLength));
    EXPECT_EQ(window->Grid.rowCount(), kMaxPatternLength + 2);
}

TEST_F(SequenceWindowTest, TheLoopBoxTurnsWhatIsNoCountIntoOneAtOnceAndShowsFourDigits)
{
    QLineEdit* edit = ui->Loop->findChild<QLineEdit*>();
    ui->Loop->setFocus();
    auto type = [&](const QString& keys) {
        edit->selectAll();
        QTest::keyClicks(edit, keys);
    };

    type("-3");
    EXPECT_EQ(ui->Loop->text(), "1") << "a negative count, not the 3 after a corrected sign";
    EXPECT_EQ(ui->Loop->value(), 1);
    type("0");
    EXPECT_EQ(ui->Loop->text(), "1");
    type("500");
    EXPECT_EQ(ui->Loop->value(), 500);

    // An emptied box shows 1 at once, and the next digit replaces it.
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(ui->Loop->text(), "1");
    QTest::keyClicks(edit, "7");
    EXPECT_EQ(ui->Loop->text(), "7");

    // What the box shows is what the pattern stores.
    type("-3");
    ui->Edit2->setText("Loops");
    QTest::mouseClick(ui->BitBtn6, Qt::LeftButton);
    const auto lines = LineBuffer::splitLines(folder.read("Loops.pat"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "1");

    // Four digits fit the box at its designed width.
    EXPECT_EQ(ui->Loop->width(), 37);
    EXPECT_GE(edit->contentsRect().width() - 4, edit->fontMetrics().horizontalAdvance("9999"));
}

TEST_F(SequenceWindowTest, NamesThatAreNoFileNamesInTheWorkingFolderAreRefusedAndNothingIsWritten)
{
    const std::string outside = folder.path().filename().string() + "-escape";
    const auto before = folderTree(folder.path());
    for (const std::string& name : std::vector<std::string>{"../" + outside, "temp/inner", "a\\b", ".", ".."}) {
        dialogs.errors.clear();
        ui->Edit2->setText(QString::fromStdString(name));
        QTest::mouseClick(ui->BitBtn6, Qt::LeftButton);
        ASSERT_EQ(dialogs.errors.size(), 1u) << name;
        EXPECT_TRUE(dialogs.errors[0].starts_with("'" + name + "' is not a valid pattern name: ")) << dialogs.errors[0];
        EXPECT_EQ(folderTree(folder.path()), before) << name;
        EXPECT_EQ(ui->SongList->count(), 0) << name;
        EXPECT_EQ(ui->MusicLib->count(), 1) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(folder.path().parent_path() / (outside + ".pat")));

    // Dots inside a name are fine.
    ui->Edit2->setText("take.2");
    QTest::mouseClick(ui->BitBtn6, Qt::LeftButton);
    EXPECT_TRUE(std::filesystem::is_regular_file(folder.path() / "take.2.pat"));
}

TEST_F(SequenceWindowTest, AFolderInAPatternsPlaceGivesTheProgramsOwnMessages)
{
    std::filesystem::create_directory(folder.path() / "dir.pat");
    const std::string path = window->BaseFolder + "/dir.pat";
    load("dir");
    ui->Edit2->setText("dir");
    QTest::mouseClick(ui->BitBtn6, Qt::LeftButton);
    EXPECT_EQ(dialogs.errors,
              (std::vector<std::string>{"Cannot open file " + path + ".", "Cannot create file " + path + "."}));
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "dir.pat"));
}

TEST_F(SequenceWindowTest, TheLengthListIsAsWideAsItsWidestItemWhileTheBoxKeepsItsSize)
{
    // A font whose items are wider than the box, as another machine's font may be.
    QFont wide = ui->TimeBar->font();
    wide.setPixelSize(16);
    ui->TimeBar->setFont(wide);
    ui->TimeBar->showPopup();
    QAbstractItemView* list = ui->TimeBar->view();
    ASSERT_GT(list->sizeHintForColumn(0), ui->TimeBar->width());
    ASSERT_TRUE(list->isVisible());
    // The list shows every item at the width it needs, so none is cut short.
    for (int i = 0; i < ui->TimeBar->count(); ++i)
        EXPECT_GE(list->viewport()->width(), list->sizeHintForIndex(list->model()->index(i, 0)).width())
            << ui->TimeBar->itemText(i).toStdString();
    EXPECT_EQ(ui->TimeBar->width(), 57);
    ui->TimeBar->hidePopup();
}

TEST_F(SequenceWindowTest, TheInstrumentBoxPutsWhatIsTypedIntoTheCellAsTyped)
{
    clickCell(2, 4);
    ui->ComboBox1->setFocus();
    QTest::keyClicks(ui->ComboBox1, "snare");
    EXPECT_EQ(ui->ComboBox1->currentText(), "snare");
    clickCell(2, 4);
    EXPECT_EQ(cell(2, 4), "snare");
}
