// The editing rules of the step grid (the instrument list the cells draw on is in instruments.h): the step labels,
// the length-and-time choices and how their text splits, placing and removing an instrument,
// applying a new length and time, and clearing. Plain functions over PatternGrid, so the rules
// are tested without a window.
#pragma once

#include "pattern/instruments.h"
#include "pattern/pattern_grid.h"

#include <array>
#include <string>

namespace groovane {

// The 24 length-and-time choices, written exactly as the selector shows them.
const std::array<std::string, 24>& timeBarItems();

// The longest pattern the program accepts, one limit for Update Time, loading and saving, so a
// pattern it loads it can save again. 9999 steps is over 150 times the longest length on offer
// (64) and fills the four-digit length box; at that length a load, a save or laying out the rows
// takes some tens of milliseconds, while lengths of millions would stall the window for seconds.
inline constexpr int kMaxPatternLength = 9999;

// Raises Exception "Pattern length <n> is too long: a pattern has at most 9999 steps" for a
// length beyond kMaxPatternLength. Lengths below 1 are not guarded here. Any thread.
void checkPatternLength(long long length);

// Label of step n (1-based) at group position q (0-based): "n:q", with "*" when q is 0.
std::string stepLabel(int step, int groupPosition);

// Writes the labels of rows 2..length+1 for groups of `time` steps. A time below 1 puts every
// step at group position 0.
void writeStepLabels(PatternGrid& grid, int length, int time);

// Writes "Channel:1" .. "Channel:6" into row 1.
void writeChannelHeadings(PatternGrid& grid);

// Row 0's "Length:", length, "Time:", time, and the row count length + 2.
void writeLengthAndTime(PatternGrid& grid, int length, int time);

// The length and time texts that a selector text splits into.
struct TimeBarSplit {
    std::string length;
    std::string time;
};
// Length: the text less 6 characters from position 3 on; time: the text less its first 5
// characters; either is cut to its first character when its second one is a blank.
TimeBarSplit splitTimeBarText(const std::string& text);

// The text a cell takes when toggled with selector text `selector`: empty when it held exactly
// that text (letter case counts), otherwise the selector text.
std::string toggledCellText(const std::string& cell, const std::string& selector);

// Update Time: the length cell takes `lengthText` and the time cell `timeText`, then both are
// converted (raising "'%s' is not a valid integer value" for a bad one, after the cells took the
// text), and the row count, step labels and channel headings follow. Channel cells keep their
// text. A length beyond kMaxPatternLength raises checkPatternLength's error before any cell
// changes, so the grid keeps a length it can save.
void applyLengthAndTime(PatternGrid& grid, const std::string& lengthText, const std::string& timeText);

// Clear Pattern's work on the cells: empties columns 1..6 of rows 2..66 and the name cell.
// Length, time, labels and headings stay.
void clearPatternCells(PatternGrid& grid);

} // namespace groovane
