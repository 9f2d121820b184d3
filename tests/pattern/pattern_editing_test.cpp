#include "platform/exception.h"
#include "pattern/pattern_editing.h"

#include <gtest/gtest.h>

using namespace groovane;

namespace {

std::vector<std::string> labels(const PatternGrid& grid)
{
    std::vector<std::string> out;
    for (int row = 2; row < grid.rowCount(); ++row)
        out.push_back(grid.cell(0, row));
    return out;
}

PatternGrid startUpGrid()
{
    PatternGrid grid;
    writeLengthAndTime(grid, 16, 4);
    writeStepLabels(grid, 16, 4);
    writeChannelHeadings(grid);
    return grid;
}

} // namespace

TEST(TimeBarSplit, EveryItemSplitsIntoTheLengthAndTimeItNames)
{
    const int expected[24][2] = {{16, 4}, {16, 8}, {16, 16}, {8, 8},   {8, 4},  {8, 2},  {4, 4},   {4, 2},
                                 {12, 4}, {24, 4}, {24, 8},  {32, 16}, {32, 8}, {32, 4}, {64, 32}, {64, 16},
                                 {64, 8}, {64, 4}, {3, 3},   {9, 3},   {12, 3}, {15, 3}, {7, 4},   {7, 7}};
    const auto& items = timeBarItems();
    for (size_t i = 0; i < items.size(); ++i) {
        const TimeBarSplit split = splitTimeBarText(items[i]);
        EXPECT_EQ(split.length, std::to_string(expected[i][0])) << "item " << i << " '" << items[i] << "'";
        EXPECT_EQ(split.time, std::to_string(expected[i][1])) << "item " << i << " '" << items[i] << "'";

        // Applying it gives L + 2 rows and labels that restart every T steps.
        PatternGrid grid = startUpGrid();
        applyLengthAndTime(grid, split.length, split.time);
        const int length = expected[i][0], time = expected[i][1];
        ASSERT_EQ(grid.rowCount(), length + 2);
        for (int step = 1; step <= length; ++step)
            EXPECT_EQ(grid.cell(0, step + 1), stepLabel(step, (step - 1) % time));
    }
}

TEST(TimeBarSplit, TypedTextSplitsByPositionNotBySense)
{
    EXPECT_EQ(splitTimeBarText("abc").length, "ab");
    EXPECT_EQ(splitTimeBarText("abc").time, "");
    EXPECT_EQ(splitTimeBarText("1x | 4").length, "1x");
    EXPECT_EQ(splitTimeBarText("1x | 4").time, "4");
    EXPECT_EQ(splitTimeBarText("1").length, "1");
    EXPECT_EQ(splitTimeBarText("123456789012").length, "129012");
    EXPECT_EQ(splitTimeBarText("5 ").length, "5");
}

TEST(StepLabels, StartUpLayoutReadsOneToSixteenInGroupsOfFour)
{
    const PatternGrid grid = startUpGrid();
    EXPECT_EQ(grid.rowCount(), 18);
    const std::vector<std::string> expected = {"1:0*", "2:1",  "3:2",  "4:3",  "5:0*",  "6:1",  "7:2",  "8:3",
                                               "9:0*", "10:1", "11:2", "12:3", "13:0*", "14:1", "15:2", "16:3"};
    EXPECT_EQ(labels(grid), expected);
    EXPECT_EQ(grid.cell(1, 0), "Length:");
    EXPECT_EQ(grid.cell(2, 0), "16");
    EXPECT_EQ(grid.cell(3, 0), "Time:");
    EXPECT_EQ(grid.cell(4, 0), "4");
    EXPECT_EQ(grid.cell(0, 0), "");
    EXPECT_EQ(grid.cell(0, 1), "");
    for (int c = 1; c <= 6; ++c)
        EXPECT_EQ(grid.cell(c, 1), "Channel:" + std::to_string(c));
}

TEST(LengthAndTime, SevenInFourGivesNineRows)
{
    PatternGrid grid = startUpGrid();
    applyLengthAndTime(grid, "7", "4");
    EXPECT_EQ(grid.rowCount(), 9);
    EXPECT_EQ(labels(grid), (std::vector<std::string>{"1:0*", "2:1", "3:2", "4:3", "5:0*", "6:1", "7:2"}));
}

TEST(LengthAndTime, HiddenStepsSurviveShrinkingAndGrowing)
{
    PatternGrid grid = startUpGrid();
    applyLengthAndTime(grid, "64", "32");
    for (int row = 2; row <= 65; ++row)
        grid.setCell(1 + row % 6, row, "Kick" + std::to_string(row));
    grid.setCell(3, 66, "trailing");

    applyLengthAndTime(grid, "16", "4");
    EXPECT_EQ(grid.rowCount(), 18);
    EXPECT_EQ(grid.cell(1 + 40 % 6, 40), "Kick40") << "hidden, not emptied";

    applyLengthAndTime(grid, "64", "32");
    for (int row = 2; row <= 65; ++row)
        EXPECT_EQ(grid.cell(1 + row % 6, row), "Kick" + std::to_string(row));
    EXPECT_EQ(grid.cell(3, 66), "trailing");
    EXPECT_EQ(grid.cell(0, 2 + 32), "33:0*");
}

TEST(LengthAndTime, BadTextsFailAfterTheCellsTookThemAndChangeNothingElse)
{
    PatternGrid grid = startUpGrid();
    try {
        applyLengthAndTime(grid, "1x", "4");
        ADD_FAILURE();
    } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()), "'1x' is not a valid integer value");
    }
    EXPECT_EQ(grid.cell(2, 0), "1x");
    EXPECT_EQ(grid.cell(4, 0), "4");
    EXPECT_EQ(grid.rowCount(), 18);

    EXPECT_THROW(applyLengthAndTime(grid, "8", "q"), EConvertError);
    EXPECT_EQ(grid.cell(2, 0), "8");
    EXPECT_EQ(grid.cell(4, 0), "q");
    EXPECT_EQ(grid.rowCount(), 18);
    EXPECT_EQ(grid.cell(0, 17), "16:3");
}

TEST(LengthAndTime, LengthsAndTimesBelowOneKeepTheHeadings)
{
    PatternGrid grid = startUpGrid();
    applyLengthAndTime(grid, "0", "4");
    EXPECT_EQ(grid.rowCount(), 2);
    EXPECT_EQ(grid.cell(1, 1), "Channel:1");
    applyLengthAndTime(grid, "-5", "4");
    EXPECT_EQ(grid.rowCount(), 2);
    EXPECT_EQ(grid.cell(1, 0), "Length:");

    applyLengthAndTime(grid, "3", "0");
    EXPECT_EQ(labels(grid), (std::vector<std::string>{"1:0*", "2:0*", "3:0*"}));
    applyLengthAndTime(grid, "3", "-2");
    EXPECT_EQ(labels(grid), (std::vector<std::string>{"1:0*", "2:0*", "3:0*"}));
}

TEST(Toggle, PlacesReplacesAndRemovesWithCaseCounting)
{
    EXPECT_EQ(toggledCellText("", "Kick"), "Kick");
    EXPECT_EQ(toggledCellText("Kick", "Kick"), "");
    EXPECT_EQ(toggledCellText("Snare", "Kick"), "Kick");
    EXPECT_EQ(toggledCellText("kick", "Kick"), "Kick");
    EXPECT_EQ(toggledCellText("Snare", ""), "");
    EXPECT_EQ(toggledCellText("", ""), "");
}

TEST(ClearPattern, EmptiesStepsAndNameIncludingHiddenRowsButKeepsTheLayout)
{
    PatternGrid grid = startUpGrid();
    grid.setCell(0, 0, "Rock1");
    applyLengthAndTime(grid, "64", "4");
    grid.setCell(6, 66, "Tamb");
    grid.setCell(2, 50, "Kick");
    applyLengthAndTime(grid, "16", "4");
    grid.setCell(1, 2, "Snare");

    clearPatternCells(grid);
    EXPECT_EQ(grid.cell(0, 0), "");
    EXPECT_EQ(grid.cell(1, 2), "");
    EXPECT_EQ(grid.cell(2, 50), "");
    EXPECT_EQ(grid.cell(6, 66), "");
    EXPECT_EQ(grid.rowCount(), 18);
    EXPECT_EQ(grid.cell(2, 0), "16");
    EXPECT_EQ(grid.cell(0, 2), "1:0*");
    EXPECT_EQ(grid.cell(3, 1), "Channel:3");
}

TEST(InstrumentLookUp, MatchesWithoutCaseAndFallsBackPerCommand)
{
    EXPECT_EQ(instrumentSlot("Kick"), 1);
    EXPECT_EQ(instrumentSlot("kick"), 1);
    EXPECT_EQ(instrumentSlot("SHORT KICK"), 2);
    EXPECT_EQ(instrumentSlot("tamb"), 16);
    EXPECT_EQ(instrumentSlot("sample3"), 19);
    EXPECT_EQ(instrumentSlot("Sample8"), 24);
    EXPECT_EQ(instrumentSlot(""), 0);
    EXPECT_EQ(instrumentSlot("Kick "), 0);
    EXPECT_EQ(instrumentSlot("Cowbel"), 0);

    // Play Instrument: unknown texts sound Tamb, the empty text stays silent.
    EXPECT_EQ(auditionSlot("Cowbel"), 16);
    EXPECT_EQ(auditionSlot("Kick "), 16);
    EXPECT_EQ(auditionSlot(""), 0);
    EXPECT_EQ(auditionSlot("SNARE"), 3);
    EXPECT_EQ(auditionSlot("Sample3"), 19);
}
