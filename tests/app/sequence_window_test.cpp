#include "scripted_dialogs.h"
#include "sequence_window.h"
#include "working_folder.h"

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

using namespace groovane;

class SequenceWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<TSequence>();
        window->openDocument = [this](const QUrl& url) { opened.push_back(url); };
        window->show();
        window->FormCreate();
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    void TearDown() override { window.reset(); }

    void chooseInstrument(const QString& name) { window->ComboBox1->setEditText(name); }
    void clickCell(int column, int row)
    {
        QTest::mouseClick(window->StringGrid1->viewport(), Qt::LeftButton, {},
                          window->StringGrid1->cellRect(column, row).center());
    }
    void applyTime(const QString& item)
    {
        window->TimeBar->setEditText(item);
        QTest::mouseClick(window->BitBtn13, Qt::LeftButton);
    }
    std::string cell(int column, int row) const { return window->Grid.cell(column, row); }

    test::WorkingFolder folder;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<TSequence> window;
    std::vector<QUrl> opened;
};

TEST_F(SequenceWindowTest, StartsWithTheDesignedLayoutTempoAndFolder)
{
    EXPECT_EQ(window->windowTitle(), "Groovane Pro v4.0");
    EXPECT_EQ(window->Label6->text(), "120");
    EXPECT_EQ(window->StepInterval, 120);
    EXPECT_EQ(window->TempoPosition, 60);
    EXPECT_EQ(window->BaseFolder, std::filesystem::current_path().string());
    EXPECT_EQ(window->Loop->value(), 1);
    EXPECT_EQ(window->Grid.rowCount(), 18);
    EXPECT_EQ(cell(0, 2), "1:0*");
    EXPECT_EQ(cell(0, 17), "16:3");
    EXPECT_EQ(window->Edit2->text(), "Name");
    EXPECT_EQ(cell(0, 0), "") << "the name cell stays empty until the name box changes";
    EXPECT_EQ(window->ComboBox1->count(), 25);
    EXPECT_EQ(window->ComboBox1->currentText(), "");
    EXPECT_EQ(window->TimeBar->count(), 24);
    EXPECT_EQ(window->TimeBar->itemText(7), "4  | 2 ");
    EXPECT_FALSE(window->ProgressBar1->isVisible());
    EXPECT_TRUE(window->set3->isChecked());
    EXPECT_TRUE(window->Focus->isChecked());
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
    EXPECT_EQ(window->Edit4->text(), "7");
    EXPECT_EQ(window->Edit5->text(), "4");
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
    EXPECT_EQ(window->TimeBar->currentText(), "");
    EXPECT_EQ(window->Edit4->text(), "");
    EXPECT_EQ(window->Edit5->text(), "");
    EXPECT_EQ(window->Grid.rowCount(), 18);
}

TEST_F(SequenceWindowTest, ClearPatternEmptiesStepsNameAndLoopCountOnly)
{
    window->Edit2->setText("Rock1");
    EXPECT_EQ(cell(0, 0), "Rock1");
    chooseInstrument("Snare");
    clickCell(1, 3);
    window->Loop->setValue(4);
    QTest::mouseClick(window->BitBtn7, Qt::LeftButton);
    EXPECT_EQ(cell(1, 3), "");
    EXPECT_EQ(cell(0, 0), "");
    EXPECT_EQ(window->Edit2->text(), "");
    EXPECT_EQ(window->Loop->value(), 1);
    EXPECT_EQ(cell(1, 0), "Length:");
    EXPECT_EQ(cell(0, 3), "2:1");
    EXPECT_EQ(cell(6, 1), "Channel:6");
}

TEST_F(SequenceWindowTest, EnterTogglesTheCurrentCellFromAnyControl)
{
    chooseInstrument("Kick");
    clickCell(2, 3);
    ASSERT_EQ(cell(2, 3), "Kick");

    window->Edit2->setFocus();
    QTest::keyClick(window->Edit2, Qt::Key_Return);
    EXPECT_EQ(cell(2, 3), "");
    EXPECT_TRUE(window->StringGrid1->hasFocus());

    window->ComboBox1->setFocus();
    QTest::keyClick(window->ComboBox1, Qt::Key_Enter);
    EXPECT_EQ(cell(2, 3), "Kick");
    EXPECT_EQ(window->ComboBox1->count(), 25) << "Enter must not add the text to the list";
}

TEST_F(SequenceWindowTest, ControlKeysReachTheMenuItemsThatOwnThem)
{
    QSignalSpy saveSong(window->SavePattern1, &QAction::triggered);
    QSignalSpy playInstrument(window->PlayInstrument1, &QAction::triggered);
    dialogs.saveAnswers.push_back(std::nullopt); // Save Song asks for a file
    window->Edit2->setFocus();
    QTest::keyClick(window->Edit2, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(saveSong.count(), 1);
    EXPECT_EQ(playInstrument.count(), 0);

    // Ctrl+C closes the program even from an edit box, where it would otherwise copy.
    window->Edit2->selectAll();
    QTest::keyClick(window->Edit2, Qt::Key_C, Qt::ControlModifier);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(SequenceWindowTest, HelpOpensTheManualBesideTheProgramAndTheSite)
{
    window->Contents1->trigger();
    window->Vis_Site->trigger();
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0].toLocalFile().toStdString(), window->BaseFolder + "/groovane.html");
    EXPECT_EQ(opened[1].host().toStdString(), "groovane.example.org");
}
