#include "pattern_file.h"

#include "exception.h"
#include "files.h"
#include "pattern_editing.h"
#include "str_to_int.h"

#include <algorithm>
#include <climits>

namespace groovane {

namespace {

constexpr int kLengthLine = 2;
constexpr int kLengthColumn = 2;

// A line the file lacks, also before its start, reads as empty text.
const std::string& lineOrEmpty(const std::vector<std::string>& lines, long long index)
{
    static const std::string empty;
    if (index < 0 || static_cast<unsigned long long>(index) >= lines.size())
        return empty;
    return lines[static_cast<size_t>(index)];
}

} // namespace

std::string patternFilePath(const std::string& folder, const std::string& name)
{
    return joinPath(folder, name + ".pat");
}

int patternLengthForSave(const PatternGrid& grid)
{
    const std::string& text = grid.cell(kLengthColumn, 0);
    const int length = strToInt(text);
    if (length > kMaxPatternLength)
        throw Exception("Pattern length " + text + " is longer than " + std::to_string(kMaxPatternLength) +
                        " steps");
    return length;
}

std::vector<std::string> patternFileLines(const PatternGrid& grid, int length, int tempoPosition, int loopCount)
{
    std::vector<std::string> lines;
    const int lastRow = length + 2;
    if (lastRow >= 0)
        lines.reserve(static_cast<size_t>(lastRow + 1) * PatternGrid::kColumnCount + 2);
    for (int row = 0; row <= lastRow; ++row)
        for (int column = 0; column < PatternGrid::kColumnCount; ++column)
            lines.push_back(grid.cell(column, row));
    lines.push_back(std::to_string(tempoPosition));
    lines.push_back(std::to_string(loopCount));
    return lines;
}

int PatternFileReader::length() const
{
    return strToInt(lineOrEmpty(lines_, kLengthLine));
}

void PatternFileReader::loadCells(PatternGrid& grid) const
{
    const long long length = this->length();
    const long long lastRow = length + 2;
    grid.setRowCount(static_cast<int>(std::clamp<long long>(lastRow, INT_MIN, INT_MAX)));

    // Rows the file reaches are copied line by line; the rest of 0..L+2 would only read empty
    // lines, so they are emptied in one pass over the stored cells instead of row by row.
    const long long rowsInFile =
        (static_cast<long long>(lines_.size()) + PatternGrid::kColumnCount - 1) / PatternGrid::kColumnCount;
    const long long lastCopiedRow = std::min(lastRow, rowsInFile - 1);
    for (long long row = 0; row <= lastCopiedRow; ++row)
        for (int column = 0; column < PatternGrid::kColumnCount; ++column)
            grid.setCell(column, static_cast<int>(row),
                         lineOrEmpty(lines_, row * PatternGrid::kColumnCount + column));
    if (lastRow > lastCopiedRow)
        grid.clearRows(static_cast<int>(std::max(0LL, lastCopiedRow + 1)),
                       static_cast<int>(std::min<long long>(lastRow, INT_MAX)));
}

const std::string& PatternFileReader::line(size_t index) const
{
    return lineOrEmpty(lines_, static_cast<long long>(index));
}

long long PatternFileReader::settingsLine() const
{
    return (static_cast<long long>(length()) + 3) * PatternGrid::kColumnCount;
}

int PatternFileReader::tempoPosition() const
{
    return strToInt(lineOrEmpty(lines_, settingsLine()));
}

int PatternFileReader::loopCount() const
{
    return strToInt(lineOrEmpty(lines_, settingsLine() + 1));
}

} // namespace groovane
