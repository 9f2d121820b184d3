// The pattern file: the grid written out cell by cell, row by row, seven cells a row, for rows
// 0 to L + 2 (L the length cell's number), followed by the tempo position and the loop count in
// force when it was saved. A 16-step pattern is 135 lines. A reader needs only line 2 (L) to
// find everything else; labels, headings and the time are copied as text, never interpreted.
//
// Reading is split into the steps the load takes, because a load stops at the first bad line and
// keeps what it did before: a bad length line changes nothing, a bad tempo or loop line fails
// after the cells are in.
#pragma once

#include "platform/line_buffer.h"
#include "pattern/pattern_grid.h"

#include <string>
#include <utility>
#include <vector>

namespace groovane {

// `folder`/`name`.pat: the name is used exactly as typed, nothing escaped. Raises
// checkPatternName's error first, so no path outside the folder is ever built from a pattern
// name, whoever asks.
std::string patternFilePath(const std::string& folder, const std::string& name);

// A pattern is a file in the base folder, so its name must name a file there, whether it comes
// from the name box, the library, the play list or a song file: raises Exception "'<name>' is
// not a valid pattern name: ..." saying which character is wrong, for a name holding a path
// separator ("/" or "\", which song files may carry from other systems), a NUL or another
// control character, or naming "." or "..". The empty name passes (Save asks for a name
// itself). Any thread.
void checkPatternName(const std::string& name);

// The number of steps the grid's length cell holds, as Save reads it. Raises EConvertError
// "'%s' is not a valid integer value" for a cell that is not a decimal integer, and
// checkPatternLength's error for a length beyond kMaxPatternLength, before anything is written.
// UI thread (reads the grid).
int patternLengthForSave(const PatternGrid& grid);

// The file's lines for a grid of `length` steps: cells of rows 0..length+2, columns 0..6, then
// the tempo position and the loop count. A length below -2 gives no cell lines. UI thread.
std::vector<std::string> patternFileLines(const PatternGrid& grid, int length, int tempoPosition, int loopCount);

class PatternFileReader {
public:
    // Reads a file's lines (a file that is not text still has lines). Any thread.
    explicit PatternFileReader(TextLines lines) : lines_(std::move(lines)) {}

    // L from line 2. Raises EConvertError when that line is missing or not a decimal integer.
    int length() const;

    // Sets the row count to L + 2 and cell (c, r) to line 7r + c for r = 0..L+2, c = 0..6. A line
    // the file lacks empties its cell; cells below row L + 2 keep their text. Raises as length()
    // does, and checkPatternLength's error for an L the program could not save again, before
    // touching the grid.
    void loadCells(PatternGrid& grid) const;

    // The tempo position (line 7(L + 3)) and the loop count (the line after it). Raise
    // EConvertError when the line is missing or not a decimal integer.
    int tempoPosition() const;
    int loopCount() const;

    size_t lineCount() const { return lines_.size(); }
    // The file's line at `index`; empty text past its end.
    std::string_view line(size_t index) const;

private:
    long long settingsLine() const;

    TextLines lines_;
};

} // namespace groovane
