#include "pattern/pattern_editing.h"

#include "platform/exception.h"
#include "platform/files.h"
#include "platform/str_to_int.h"

namespace groovane {

const std::array<std::string, 24>& timeBarItems()
{
    static const std::array<std::string, 24> items = {
        "16 | 4",  "16 | 8",  "16 | 16", "8  | 8",  "8  | 4",  "8  | 2",  "4  | 4",  "4  | 2 ",
        "12 | 4 ", "24 | 4 ", "24 | 8 ", "32 | 16", "32 | 8 ", "32 | 4 ", "64 | 32", "64 | 16",
        "64 | 8 ", "64 | 4 ", "3  | 3 ", "9  | 3 ", "12 | 3 ", "15 | 3 ", "7  | 4",  "7  | 7",
    };
    return items;
}

std::string stepLabel(int step, int groupPosition)
{
    std::string label = std::to_string(step) + ":" + std::to_string(groupPosition);
    if (groupPosition == 0)
        label += "*";
    return label;
}

void writeStepLabels(PatternGrid& grid, int length, int time)
{
    int q = 0;
    for (int step = 1; step <= length; ++step) {
        grid.setCell(0, step + 1, stepLabel(step, q));
        ++q;
        if (q >= time)
            q = 0;
    }
}

void writeChannelHeadings(PatternGrid& grid)
{
    for (int channel = 1; channel <= PatternGrid::kChannelCount; ++channel)
        grid.setCell(channel, 1, "Channel:" + std::to_string(channel));
}

void writeLengthAndTime(PatternGrid& grid, int length, int time)
{
    grid.setRowCount(length + 2);
    grid.setCell(1, 0, "Length:");
    grid.setCell(2, 0, std::to_string(length));
    grid.setCell(3, 0, "Time:");
    grid.setCell(4, 0, std::to_string(time));
}

namespace {

// Removes up to `count` characters starting at the 1-based `position`; a position outside the
// text removes nothing.
std::string deleteChars(std::string text, size_t position, size_t count)
{
    if (position >= 1 && position <= text.size())
        text.erase(position - 1, count);
    return text;
}

std::string cutAtBlank(std::string text)
{
    if (text.size() >= 2 && text[1] == ' ')
        text.resize(1);
    return text;
}

} // namespace

TimeBarSplit splitTimeBarText(const std::string& text)
{
    return {cutAtBlank(deleteChars(text, 3, 6)), cutAtBlank(deleteChars(text, 1, 5))};
}

std::string toggledCellText(const std::string& cell, const std::string& selector)
{
    return cell == selector ? std::string() : selector;
}

void checkPatternLength(long long length)
{
    if (length > kMaxPatternLength)
        throw Exception("Pattern length " + std::to_string(length) + " is too long: a pattern has at most " +
                        std::to_string(kMaxPatternLength) + " steps");
}

void applyLengthAndTime(PatternGrid& grid, const std::string& lengthText, const std::string& timeText)
{
    if (const auto length = tryStrToInt(lengthText))
        checkPatternLength(*length);
    grid.setCell(2, 0, lengthText);
    const int length = strToInt(lengthText);
    grid.setCell(4, 0, timeText);
    const int time = strToInt(timeText);
    grid.setRowCount(length + 2);
    writeStepLabels(grid, length, time);
    writeChannelHeadings(grid);
}

void clearPatternCells(PatternGrid& grid)
{
    for (int row = 2; row <= 66; ++row)
        for (int column = 1; column <= PatternGrid::kChannelCount; ++column)
            grid.setCell(column, row, "");
    grid.setCell(0, 0, "");
}

} // namespace groovane
