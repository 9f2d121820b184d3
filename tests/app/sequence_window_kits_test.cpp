// The kit windows as the program wires them to the main window: the kit list moving the
// instrument selector and the pan slider without running their handlers, the Edit menu's kit
// items, the kit maker's template question, and a kit the kit maker saved taken into use.
#include "kits/kit_windows.h"
#include "app/program_windows.h"
#include "support/scripted_dialogs.h"
#include "app/sequence_window.h"
#include "support/sequence_window_access.h"
#include "sound/wave.h"
#include "support/working_folder.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

using namespace groovane;

namespace {

std::string samplesOf(const TWave& wave)
{
    return std::string(reinterpret_cast<const char*>(wave.Data()), static_cast<size_t>(wave.Size()));
}

class SequenceKitsTest : public ::testing::Test {
protected:
    TSequence& main() { return *windows.Sequence; }
    TWaveCollection& kit() { return main().DXWaveList1.Items(); }

    test::WorkingFolder folder;
    test::ScriptedDialogs dialogs;
    ProgramWindows windows;
};

TEST_F(SequenceKitsTest, AKitListClickSelectsTheInstrumentAndShowsItsPanOnly)
{
    TKit_List& list = *windows.Kit_List;
    // A pan beyond the slider's range: the slider stops at its end, and since the slider's
    // handler does not run, the pan stays as it is.
    kit().Find("Congo").SetPan(3000);
    kit().Find("Kick").SetPan(-500);
    QTest::mouseClick(list.Labels[12], Qt::LeftButton);
    EXPECT_EQ(controlsOf(main()).ComboBox1->currentText(), "Congo");
    EXPECT_EQ(controlsOf(main()).ComboBox1->currentIndex(), 13);
    EXPECT_EQ(controlsOf(main()).Panning->value(), 2000);
    EXPECT_EQ(kit().Find("Congo").Pan(), 3000);
    EXPECT_EQ(kit().PlayingCount(), 0) << "a click sounds nothing";

    QTest::mouseClick(list.Labels[3], Qt::LeftButton);
    EXPECT_EQ(controlsOf(main()).ComboBox1->currentText(), "ClsHiat");
    EXPECT_EQ(controlsOf(main()).Panning->value(), kit().Find("ClsHiat").Pan());
    QTest::mouseClick(list.Labels[0], Qt::LeftButton);
    EXPECT_EQ(controlsOf(main()).Panning->value(), -500);

    // The next cell placed names the selected instrument.
    controlsOf(main()).StringGrid1->setCurrentCell(2, 3);
    controlsOf(main()).Insertinstrument1->trigger();
    EXPECT_EQ(main().Grid.cell(2, 3), "Kick");
    EXPECT_TRUE(dialogs.errors.empty());

    // A kit without the instrument: the selector has changed, the slider has not.
    kit().Find("Tamb").SetName("Tambourine");
    QTest::mouseClick(list.Labels[15], Qt::LeftButton);
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"Wave 'Tamb' not found."});
    EXPECT_EQ(controlsOf(main()).ComboBox1->currentText(), "Tamb");
    EXPECT_EQ(controlsOf(main()).Panning->value(), -500);
}

TEST_F(SequenceKitsTest, TheEditMenuShowsTheKitWindows)
{
    windows.Kit_List->close();
    EXPECT_FALSE(windows.Kit_List->isVisible());
    controlsOf(main()).KitList1->trigger();
    EXPECT_TRUE(windows.Kit_List->isVisible());
    controlsOf(main()).KitVolumeControl1->trigger();
    EXPECT_TRUE(windows.Volume_Control->isVisible());
    QTest::mouseClick(windows.Volume_Control->Button1, Qt::LeftButton);
    EXPECT_FALSE(windows.Volume_Control->isVisible());
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SequenceKitsTest, KitMakerAsksWhetherToStartFromTheCurrentKit)
{
    dialogs.answers.push_back(MessageResult::Yes);
    controlsOf(main()).KitMake->trigger();
    EXPECT_TRUE(windows.Makit->isVisible());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, "Question");
    EXPECT_EQ(dialogs.messages[0].text, "Do you wish to template the current drum kit?");
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(main().KitTemplate, 1);
    TWaveCollection& made = windows.Makit->DXWaveList1.Items();
    EXPECT_EQ(samplesOf(made.Items(8).Wave()), samplesOf(kit().Items(8).Wave()));

    dialogs.answers.push_back(MessageResult::No);
    main().KitMakeClick();
    EXPECT_EQ(main().KitTemplate, 0);
    TWave blank;
    blank.LoadFromFile("Blank.wav");
    EXPECT_EQ(samplesOf(made.Items(8).Wave()), samplesOf(blank));
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(SequenceKitsTest, ANewKitTakenIntoUseSoundsAtFullLevelInTheCentre)
{
    kit().Find("Snare").SetVolume(-1500);
    kit().Find("Snare").SetPan(700);
    dialogs.answers.push_back(MessageResult::No);
    main().KitMakeClick();
    TMakit& maker = *windows.Makit;

    // Every sound of the new kit is the blank sound; the kick's comes from a file of its own.
    TWave blank;
    blank.LoadFromFile("Blank.wav");
    folder.write("kick.wav", folder.read("Blank.wav"));
    maker.RadioButtons[0]->setChecked(true);
    dialogs.openAnswers.push_back(folder.file("kick.wav"));
    QTest::mouseClick(maker.Load_sample, Qt::LeftButton);
    dialogs.saveAnswers.push_back(folder.file("new.dxg"));
    dialogs.answers.push_back(MessageResult::Yes);
    QTest::mouseClick(maker.Save_library, Qt::LeftButton);
    EXPECT_TRUE(dialogs.errors.empty()) << dialogs.errors.front();

    ASSERT_EQ(kit().Count(), 17);
    EXPECT_EQ(samplesOf(kit().Find("Snare").Wave()), samplesOf(blank));
    EXPECT_EQ(kit().Find("Snare").Volume(), 0);
    EXPECT_EQ(kit().Find("Snare").Pan(), 0);
    // The new kit plays at once.
    controlsOf(main()).ComboBox1->setEditText("Snare");
    QTest::mouseClick(controlsOf(main()).BitBtn11, Qt::LeftButton);
    EXPECT_EQ(kit().PlayingCount(), 1);
    EXPECT_TRUE(dialogs.errors.empty());

    // A kit file that cannot be used leaves the kit as it is.
    const std::string before = samplesOf(kit().Find("Tom2").Wave());
    folder.write("broken.dxg", folder.read("new.dxg").substr(0, 300));
    EXPECT_ANY_THROW(main().useNewKit(folder.file("broken.dxg")));
    TWaveCollection partial;
    partial.LoadFromFile(folder.file("new.dxg"));
    partial.Find("Tom2").SetName("Tom3");
    partial.SaveToFile(folder.file("renamed.dxg"));
    try {
        main().useNewKit(folder.file("renamed.dxg"));
        FAIL() << "took a kit without Tom2";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Wave 'Tom2' not found");
    }
    EXPECT_EQ(kit().Count(), 17);
    EXPECT_EQ(samplesOf(kit().Find("Tom2").Wave()), before);
}

} // namespace
