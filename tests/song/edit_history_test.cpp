#include "song/edit_history.h"
#include "platform/exception.h"
#include "pattern/pattern_editing.h"
#include "pattern/pattern_library.h"

#include <gtest/gtest.h>

#include <map>

using namespace groovane;

namespace {

// Everything undo must give back: every cell a pattern of up to 64 steps can reach (hidden rows
// and the trailing row included), the row count, the list with its marks, selection and title.
struct State {
    std::map<std::pair<int, int>, std::string> cells;
    int rows = 0;
    std::vector<std::pair<std::string, bool>> entries;
    int selected = -1;
    std::string title;
    bool operator==(const State&) const = default;
};

} // namespace

class EditHistoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeLengthAndTime(grid, 16, 4);
        writeStepLabels(grid, 16, 4);
        writeChannelHeadings(grid);
        library.add("Rock1");
        library.add("Funk");
        library.sort();
    }

    State state() const
    {
        State s;
        for (int row = 0; row <= 70; ++row)
            for (int column = 0; column < PatternGrid::kColumnCount; ++column)
                if (!grid.cell(column, row).empty())
                    s.cells[{column, row}] = grid.cell(column, row);
        s.rows = grid.rowCount();
        for (const auto& entry : list.entries())
            s.entries.emplace_back(entry.name, entry.ticked);
        s.selected = list.selected();
        s.title = title;
        return s;
    }

    // Runs one user action and returns the state after it.
    template <typename F>
    State act(F&& edit, EditHistory::Merge merge = EditHistory::Merge::Never)
    {
        const auto action = history.action(merge);
        edit();
        return state();
    }

    PatternGrid grid;
    PlayList list;
    PatternLibrary library;
    std::string title = "Demo";
    EditHistory history{grid, list, {[this] { return title; }, [this](const std::string& t) { title = t; }}};
};

TEST_F(EditHistoryTest, UndoAndRedoWalkEveryGridAndListActionBackAndForthExactly)
{
    std::vector<State> states{state()};
    // A 64-step pattern with hits beyond step 16, then shrunk: those hits are hidden rows.
    states.push_back(act([&] {
        applyLengthAndTime(grid, "64", "32");
        grid.setCell(1, 40, "Kick");
        grid.setCell(3, 66, "Trailing");
        applyLengthAndTime(grid, "16", "4");
    }));
    states.push_back(act([&] { grid.setCell(2, 5, toggledCellText(grid.cell(2, 5), "Snare")); }));
    states.push_back(act([&] { grid.setCell(0, 0, "G"); }, EditHistory::kNameTyping));
    states.push_back(act([&] { clearPatternCells(grid); }));
    states.push_back(act([&] {
        list.append("Rock1");
        list.append("Funk");
        list.append("Rock1");
    }));
    states.push_back(act([&] {
        list.select(2);
        list.moveSelected(PlayList::Direction::Up);
    }));
    states.push_back(act([&] {
        list.setTicked(0, true);
        list.setTicked(2, true);
        list.deleteTicked();
    }));
    states.push_back(act([&] {
        list.assign({"Intro", "Verse", "Intro"});
        title = "Song";
    }));
    states.push_back(act([&] {
        list.select(1);
        list.removeSelected(library);
    }));
    // A pattern loaded over the grid.
    PatternGrid loaded;
    writeLengthAndTime(loaded, 8, 2);
    loaded.setCell(0, 0, "Loaded");
    loaded.setCell(4, 3, "Tom1");
    states.push_back(act([&] { grid.assignCells(loaded); }));
    ASSERT_EQ(history.undoCount(), states.size() - 1); // one action, one step

    for (size_t i = states.size() - 1; i-- > 0;) {
        ASSERT_TRUE(history.undo());
        EXPECT_EQ(state(), states[i]) << "after undoing action " << i + 1;
    }
    EXPECT_FALSE(history.canUndo());
    EXPECT_FALSE(history.undo());
    for (size_t i = 1; i < states.size(); ++i) {
        ASSERT_TRUE(history.redo());
        EXPECT_EQ(state(), states[i]) << "after redoing action " << i;
    }
    EXPECT_FALSE(history.canRedo());

    // A new action after an undo ends the redo branch.
    history.undo();
    act([&] { list.append("Funk"); });
    EXPECT_FALSE(history.canRedo());
}

TEST_F(EditHistoryTest, ActionsThatChangeNothingLeaveNoStepAndNestedOnesJoinTheOuter)
{
    act([&] { applyLengthAndTime(grid, "16", "4"); }); // what it already had
    act([&] { list.moveSelected(PlayList::Direction::Up); });
    EXPECT_FALSE(history.canUndo());

    // New Song: grid and list in one action, the name box's program change inside it.
    list.append("Rock1");
    grid.setCell(1, 2, "Kick");
    grid.setCell(0, 0, "Groove");
    const State before = state();
    act([&] {
        clearPatternCells(grid);
        {
            const auto nameBox = history.action(EditHistory::kNameTyping);
            grid.setCell(0, 0, "");
        }
        list.clear();
        title.clear();
    });
    EXPECT_EQ(history.undoCount(), 1u);
    history.undo();
    EXPECT_EQ(state(), before);
}

TEST_F(EditHistoryTest, AFailingUpdateTimeIsUndoneWithWhatItChangedBeforeTheError)
{
    const State before = state();
    EXPECT_THROW(act([&] { applyLengthAndTime(grid, "1x", "4"); }), Exception);
    EXPECT_EQ(grid.cell(2, 0), "1x");
    ASSERT_TRUE(history.undo());
    EXPECT_EQ(state(), before);
}

TEST_F(EditHistoryTest, TypingANameIsOneStepUnlessASaveCameBetween)
{
    for (const char* name : {"F", "Fu", "Fun"})
        act([&] { grid.setCell(0, 0, name); }, EditHistory::kNameTyping);
    EXPECT_EQ(history.undoCount(), 1u);
    history.markGridSaved();
    act([&] { grid.setCell(0, 0, "Funk"); }, EditHistory::kNameTyping);
    EXPECT_EQ(history.undoCount(), 2u);
    history.undo();
    EXPECT_EQ(grid.cell(0, 0), "Fun");
    EXPECT_FALSE(history.isGridModified());

    // A click between two keystrokes keeps them apart.
    act([&] { grid.setCell(1, 2, "Kick"); });
    act([&] { grid.setCell(0, 0, "Funky"); }, EditHistory::kNameTyping);
    EXPECT_EQ(history.undoCount(), 3u);
}

TEST_F(EditHistoryTest, UnsavedStateFollowsEditsSavesAndUndoToTheSavedState)
{
    EXPECT_FALSE(history.isGridModified());
    EXPECT_FALSE(history.isSongModified());

    act([&] { grid.setCell(1, 2, "Kick"); });
    EXPECT_TRUE(history.isGridModified());
    EXPECT_FALSE(history.isSongModified()) << "a grid edit is no change of the song";
    history.markGridSaved();
    act([&] { grid.setCell(1, 3, "Snare"); });
    EXPECT_TRUE(history.isGridModified());
    history.undo();
    EXPECT_FALSE(history.isGridModified()) << "back at the saved state";
    history.undo();
    EXPECT_TRUE(history.isGridModified()) << "past the saved state";
    history.redo();
    EXPECT_FALSE(history.isGridModified());
    // Undo before the save, then a new edit: the saved state can never come back by undo.
    history.undo();
    act([&] { grid.setCell(1, 4, "Tom1"); });
    history.undo();
    EXPECT_TRUE(history.isGridModified());

    // The song: names count, marks and the selection do not.
    act([&] { list.append("Rock1"); });
    EXPECT_TRUE(history.isSongModified());
    history.markSongSaved();
    act([&] {
        list.setTicked(0, true);
        list.select(0);
    });
    EXPECT_TRUE(history.canUndo());
    EXPECT_FALSE(history.isSongModified());
    history.noteSongChangedOutside();
    EXPECT_TRUE(history.isSongModified());
    history.markSongSaved();
    EXPECT_FALSE(history.isSongModified());
}

TEST_F(EditHistoryTest, KeepsTheLatestStepsAndForgetsTheOldestFirst)
{
    const size_t extra = 30;
    for (size_t i = 0; i < EditHistory::kMaxSteps + extra; ++i) {
        if (i == extra)
            history.markGridSaved(); // the state after 30 actions, which stays within reach
        act([&] { grid.setCell(1, 2, std::to_string(i)); });
    }
    EXPECT_EQ(history.undoCount(), EditHistory::kMaxSteps);
    while (history.canUndo())
        history.undo();
    EXPECT_EQ(grid.cell(1, 2), std::to_string(extra - 1));
    EXPECT_FALSE(history.isGridModified());
}

TEST_F(EditHistoryTest, AStepTheGridOrListNoLongerMatchesIsRefusedInsteadOfOverwritingWork)
{
    act([&] { grid.setCell(1, 2, "Kick"); });
    act([&] { list.append("Rock1"); });
    // Save Pattern appends to the list outside an action: the step still applies.
    list.append("Saved");
    ASSERT_TRUE(history.undo());
    EXPECT_EQ(list.size(), 1);
    EXPECT_EQ(list.at(0).name, "Saved");

    grid.setCell(1, 2, "Snare"); // changed where no action saw it
    EXPECT_FALSE(history.undo());
    EXPECT_EQ(grid.cell(1, 2), "Snare");
    EXPECT_FALSE(history.canUndo());
    EXPECT_FALSE(history.canRedo());
}
