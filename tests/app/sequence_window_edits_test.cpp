#include "app/playhead_display.h"
#include "app/sequence_window.h"
#include "pattern/grid_view.h"
#include "platform/scope_exit.h"
#include "platform/sound_mixer.h"
#include "platform/sound_system.h"
#include "support/scripted_dialogs.h"
#include "support/sequence_window_access.h"
#include "support/song_files.h"
#include "support/working_folder.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidgetItem>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <map>

using namespace groovane;

namespace {

// Every cell a pattern can hold here, hidden ones included, and the row count.
struct GridState {
    std::map<std::pair<int, int>, std::string> cells;
    int rows = 0;
    bool operator==(const GridState&) const = default;
};

GridState stateOf(const PatternGrid& grid)
{
    GridState state;
    state.rows = grid.rowCount();
    for (int row = 0; row < 70; ++row)
        for (int column = 0; column < PatternGrid::kColumnCount; ++column)
            if (!grid.cell(column, row).empty())
                state.cells[{column, row}] = grid.cell(column, row);
    return state;
}

// The check marks are left out: ticking an entry is no action of its own.
struct ListState {
    std::vector<std::string> names;
    std::string title;
    bool operator==(const ListState&) const = default;
};

} // namespace

// The main window's edits through its handlers, with Undo and Redo from the Edit menu.
class SequenceEditsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::writePatternFile(folder, "Rock", 16, 60, 1, {{"Kick", "", "HiHat"}, {}, {"", "Snare"}});
        test::writePatternFile(folder, "Funk", 8, 40, 2, {{"", "", "", "Tamb"}});
        window = std::make_unique<TSequence>();
        ui = &controlsOf(*window);
        window->show();
        window->FormCreate();
    }

    void clickCell(int column, int row, const QString& instrument)
    {
        ui->ComboBox1->setEditText(instrument);
        QTest::mouseClick(ui->StringGrid1->viewport(), Qt::LeftButton, {},
                          ui->StringGrid1->cellRect(column, row).center());
    }
    void applyTime(const QString& item)
    {
        ui->TimeBar->setEditText(item);
        QTest::mouseClick(ui->BitBtn13, Qt::LeftButton);
    }
    void add(const std::string& name)
    {
        ui->MusicLib->setCurrentRow(window->Library.indexOf(name));
        QTest::mouseClick(ui->BitBtn1, Qt::LeftButton);
    }
    ListState list() const
    {
        ListState state;
        const PlayList entries = window->readSongList();
        for (const PlayListEntry& entry : entries.entries())
            state.names.push_back(entry.name);
        state.title = ui->Edit3->text().toStdString();
        return state;
    }
    const EditHistory& history() { return window->Edits.history(); }
    void undo() { ui->Undo1->trigger(); }
    void redo() { ui->Redo1->trigger(); }

    test::WorkingFolder folder;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<TSequence> window;
    TSequenceControls* ui = nullptr;
};

TEST_F(SequenceEditsTest, EachGridActionIsOneStepAndUndoRestoresTheGridExactly)
{
    EXPECT_FALSE(ui->Undo1->isEnabled());
    EXPECT_FALSE(ui->Redo1->isEnabled());
    std::vector<GridState> states{stateOf(window->Grid)};
    const auto step = [&](auto&& action) {
        action();
        states.push_back(stateOf(window->Grid));
        EXPECT_EQ(history().undoCount(), states.size() - 1) << "one action, one step";
    };
    step([&] { clickCell(1, 17, "Kick"); }); // the last of 16 steps
    step([&] { applyTime("8  | 2"); });      // hides the Kick's row
    step([&] {
        ui->Edit2->clear();                    // the box shows "Name" while the name cell is empty
        QTest::keyClicks(ui->Edit2, "Groove"); // a name typed is one step
    });
    step([&] { QTest::mouseClick(ui->BitBtn7, Qt::LeftButton); }); // Clear Pattern, hidden rows too
    step([&] { clickCell(2, 3, "Snare"); });
    ASSERT_EQ(states[3].cells.at({0, 0}), "Groove");
    EXPECT_TRUE(ui->Undo1->isEnabled());

    for (size_t i = states.size() - 1; i > 0; --i) {
        undo();
        EXPECT_EQ(stateOf(window->Grid), states[i - 1]) << "undo to state " << i - 1;
        EXPECT_EQ(ui->Edit2->text().toStdString(), window->Grid.cell(0, 0));
    }
    EXPECT_FALSE(ui->Undo1->isEnabled());
    EXPECT_EQ(window->Grid.cell(1, 17), "") << "the first state had no Kick";
    for (size_t i = 1; i < states.size(); ++i) {
        redo();
        EXPECT_EQ(stateOf(window->Grid), states[i]) << "redo to state " << i;
    }
    EXPECT_FALSE(ui->Redo1->isEnabled());

    // Ctrl+Z in the name box takes back the last action, not the box's own typing; Ctrl+Shift+Z
    // and Ctrl+Y bring it back.
    window->activateWindow();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    ui->Edit2->setFocus();
    QTest::keyClick(ui->Edit2, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(window->Grid.cell(2, 3), "");
    QTest::keyClick(ui->Edit2, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(window->Grid.cell(2, 3), "Snare");
    undo();
    QTest::keyClick(ui->Edit2, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(window->Grid.cell(2, 3), "Snare");
}

TEST_F(SequenceEditsTest, PatternLoadsAndPlayListCommandsUndoAndRedoExactly)
{
    test::writeSongFile(folder, "Set.sng", {"Funk", "Funk", "Rock"});
    std::vector<ListState> lists{list()};
    std::vector<GridState> grids{stateOf(window->Grid)};
    const auto step = [&](auto&& action) {
        action();
        lists.push_back(list());
        grids.push_back(stateOf(window->Grid));
        EXPECT_EQ(history().undoCount(), lists.size() - 1) << "one action, one step";
    };
    step([&] { add("Rock"); });
    undo();
    EXPECT_EQ(ui->Edit2->text(), "Name") << "an undo that leaves the name alone leaves the name box alone";
    redo();
    step([&] { add("Funk"); });
    step([&] { add("Rock"); });
    step([&] {
        ui->SongList->setCurrentRow(2);
        ui->UpDown1->clicked(UpDown::Button::Next); // up
    });
    step([&] { window->LoadPattern("Funk"); }); // what pressing its entry does
    step([&] {
        ui->SongList->item(0)->setCheckState(Qt::Checked);
        ui->SongList->item(2)->setCheckState(Qt::Checked);
        QTest::mouseClick(ui->SongBin, Qt::LeftButton);
    });
    step([&] {
        dialogs.openAnswers.push_back((folder.path() / "Set.sng").string());
        QTest::mouseClick(ui->BitBtn8, Qt::LeftButton);
    });
    step([&] { QTest::mouseClick(ui->BitBtn10, Qt::LeftButton); }); // Clear List
    step([&] { add("Rock"); });
    step([&] { ui->New_Song->trigger(); });
    ASSERT_EQ(lists[4].names, (std::vector<std::string>{"Rock", "Rock", "Funk"}));
    ASSERT_EQ(lists[6].names, (std::vector<std::string>{"Rock"}));
    ASSERT_EQ(lists[7].names, (std::vector<std::string>{"Funk", "Funk", "Rock"}));
    ASSERT_EQ(lists[7].title, "Set");
    ASSERT_EQ(grids[5].cells.at({0, 0}), "Funk");

    for (size_t i = lists.size() - 1; i > 0; --i) {
        undo();
        EXPECT_EQ(list(), lists[i - 1]) << "undo to state " << i - 1;
        EXPECT_EQ(stateOf(window->Grid), grids[i - 1]) << "undo to state " << i - 1;
        if (i == 6) {
            // The entries the bin took come back with their check marks.
            EXPECT_EQ(ui->SongList->item(0)->checkState(), Qt::Checked);
            EXPECT_EQ(ui->SongList->item(1)->checkState(), Qt::Unchecked);
            EXPECT_EQ(ui->SongList->item(2)->checkState(), Qt::Checked);
        }
    }
    for (size_t i = 1; i < lists.size(); ++i) {
        redo();
        EXPECT_EQ(list(), lists[i]) << "redo to state " << i;
        EXPECT_EQ(stateOf(window->Grid), grids[i]) << "redo to state " << i;
    }

    // Playing the song passes its patterns through the grid and leaves nothing to undo.
    undo();
    const size_t steps = history().undoCount();
    const GridState edited = stateOf(window->Grid);
    ui->SongList->setCurrentRow(0);
    window->BitBtn12Click();
    window->BitBtn4Click();
    EXPECT_EQ(history().undoCount(), steps);
    EXPECT_EQ(stateOf(window->Grid), edited);
    EXPECT_TRUE(ui->Redo1->isEnabled());
}

TEST_F(SequenceEditsTest, UnsavedStateFollowsEditsSavesAndUndoToTheSavedState)
{
    EXPECT_FALSE(history().isGridModified());
    EXPECT_FALSE(history().isSongModified());
    window->LoadPattern("Rock");
    EXPECT_FALSE(history().isGridModified()) << "a loaded pattern matches its file";
    clickCell(4, 6, "Tamb");
    EXPECT_TRUE(history().isGridModified());
    undo();
    EXPECT_FALSE(history().isGridModified()) << "back to what the file holds";
    redo();
    QTest::mouseClick(ui->BitBtn6, Qt::LeftButton); // Save Pattern
    EXPECT_FALSE(history().isGridModified());
    EXPECT_TRUE(history().isSongModified()) << "saving put the name into the play list";
    undo();
    EXPECT_TRUE(history().isGridModified());
    redo();
    EXPECT_FALSE(history().isGridModified());

    dialogs.saveAnswers.push_back((folder.path() / "Mine.sng").string());
    QTest::mouseClick(ui->BitBtn9, Qt::LeftButton);
    EXPECT_FALSE(history().isSongModified());
    add("Funk");
    EXPECT_TRUE(history().isSongModified());
    undo();
    EXPECT_FALSE(history().isSongModified());

    test::writeSongFile(folder, "Set.sng", {"Funk"});
    dialogs.openAnswers.push_back((folder.path() / "Set.sng").string());
    QTest::mouseClick(ui->BitBtn8, Qt::LeftButton);
    EXPECT_FALSE(history().isSongModified()) << "an opened song matches its file";
    undo();
    EXPECT_TRUE(history().isSongModified());
}

TEST_F(SequenceEditsTest, ClosingAsksOnlyWithUnsavedChangesAndStaysOpenUnlessSavedOrLetGo)
{
    // Nothing to lose: nothing asked.
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(dialogs.messages.empty());
    window->show();

    clickCell(1, 2, "Kick");
    dialogs.answers = {MessageResult::Cancel};
    EXPECT_FALSE(window->close());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Save changes to the pattern?");
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::YesNoCancel);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->Grid.cell(1, 2), "Kick");
    EXPECT_TRUE(ui->Undo1->isEnabled());

    // Yes with no name to save under: the save does not happen and the window stays.
    dialogs.answers = {MessageResult::Yes};
    EXPECT_FALSE(window->close());
    EXPECT_EQ(dialogs.messages.back().text, "Name of pattern?");

    // Ctrl+C (Exit) asks too; Yes saves the pattern, which puts it into the play list, so the
    // song is asked about next; its save dialog cancelled keeps the window open.
    ui->Edit2->setText("Mine");
    dialogs.messages.clear();
    dialogs.answers = {MessageResult::Yes, MessageResult::Yes};
    dialogs.saveAnswers.push_back(std::nullopt);
    ui->Exit1->trigger();
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].text, "Save changes to Mine?");
    EXPECT_EQ(dialogs.messages[1].text, "Save changes to the song?");
    EXPECT_TRUE(std::filesystem::exists(folder.path() / "Mine.pat"));
    EXPECT_FALSE(history().isGridModified());

    // No lets the song go.
    dialogs.messages.clear();
    dialogs.answers = {MessageResult::No};
    EXPECT_TRUE(window->close());
    EXPECT_EQ(dialogs.messages.size(), 1u);
    window->show();

    // A session that ends asks nothing.
    clickCell(1, 3, "Snare");
    dialogs.messages.clear();
    EXPECT_TRUE(window->closeWithoutQuestion());
    EXPECT_TRUE(dialogs.messages.empty());
}

// The marks follow what the output plays: a tick's row is marked once its hits are at the output,
// a latency after the tick, and the marks go with Stop. The current cell stays where it was.
TEST_F(SequenceEditsTest, PlayheadMarksTheRowAndEntryAtTheOutputAndGoesOnStop)
{
    SoundMixer& mixer = SoundSystem::instance().mixer();
    mixer.setLatencyFrames(4410); // 100 ms
    const ScopeExit latencyBack([&] { mixer.setLatencyFrames(0); });
    folder.pump(256);
    ui->StringGrid1->setCurrentCell(3, 9);
    const auto markedAfter = [&](uint32_t frames) {
        folder.pump(frames);
        QTest::qWait(3 * PlayheadDisplay::kRefreshMs);
        return ui->StringGrid1->playheadRow();
    };

    // Ticks run by hand, the step timer left off, so only these ticks play.
    window->Pattern.start();
    window->DXTimer2Timer(nullptr, 1);
    EXPECT_EQ(markedAfter(4000), -1) << "its hits are not at the output yet";
    EXPECT_EQ(markedAfter(600), 2);
    window->DXTimer2Timer(nullptr, 1);
    EXPECT_EQ(markedAfter(4000), 2) << "row 2 is heard until row 3's hits come";
    EXPECT_EQ(markedAfter(600), 3);
    EXPECT_EQ(ui->StringGrid1->currentRow(), 9);
    EXPECT_EQ(ui->StringGrid1->currentColumn(), 3);
    window->BitBtn4Click();
    EXPECT_EQ(ui->StringGrid1->playheadRow(), -1);

    // A song played from its second entry marks that entry and its pattern's row.
    add("Rock");
    add("Funk");
    ui->SongList->setCurrentRow(1);
    window->BitBtn12Click();
    window->DXTimer1.setEnabled(false);
    window->DXTimer1Timer(nullptr, 1);
    window->DXTimer1Timer(nullptr, 1);
    EXPECT_EQ(markedAfter(5000), 3);
    EXPECT_TRUE(ui->SongList->item(1)->data(Qt::BackgroundRole).isValid());
    EXPECT_FALSE(ui->SongList->item(0)->data(Qt::BackgroundRole).isValid());
    window->BitBtn4Click();
    EXPECT_EQ(ui->StringGrid1->playheadRow(), -1);
    EXPECT_FALSE(ui->SongList->item(1)->data(Qt::BackgroundRole).isValid());
}

// An action reads the play list box once, however many actions open inside it (a song's every
// pattern passes the name box through the grid), and the menu items follow once, at its end.
TEST(EditBinding, ReadsTheListOnceAnActionAndTellsOfTheChangeWhenItCloses)
{
    PatternGrid grid;
    PlayList box;
    int reads = 0;
    int changes = 0;
    EditBinding binding(grid);
    binding.setViews(
        {[&] { return ++reads, box; }, [&](const PlayList& list) { box = list; }, {}, {}, [&] { ++changes; }});
    {
        const auto outer = binding.edit();
        for (int i = 0; i < 50; ++i) {
            const auto inner = binding.edit(EditHistory::kNameTyping);
            grid.setCell(0, 0, "Pattern " + std::to_string(i));
        }
        binding.editList([](PlayList& list) { list.append("Rock"); });
        EXPECT_EQ(changes, 0);
    }
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(binding.history().undoCount(), 1u);
    EXPECT_EQ(box.size(), 1);
}
