// The line buffer and the pattern file reader. The line buffer reads a file as it splits the
// same bytes in memory, and its lines join and split back unchanged. A pattern loads into a grid
// that already holds a pattern, as in the main window: a file refused at its length line leaves
// the grid as it was; a file that loads saves (from the grid, as Save Pattern does) to lines
// that load into the same starting grid as exactly the same cells, tempo and loop count. The
// loaded name never leads Save to a path outside the working folder.
#include "fuzz_target.h"

#include "platform/exception.h"
#include "platform/files.h"
#include "folder_paths.h"
#include "platform/line_buffer.h"
#include "pattern/pattern_editing.h"
#include "pattern/pattern_file.h"
#include "pattern/pattern_grid.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace groovane;

// The grid before the load: a 16-step pattern with a few cells set, hidden rows included.
void startingGrid(PatternGrid& grid)
{
    applyLengthAndTime(grid, "16", "4");
    grid.setCell(0, 0, "Before");
    grid.setCell(1, 2, "Kick");
    grid.setCell(6, 17, "Sample8");
    grid.setCell(3, 30, "hidden below the pattern");
}

bool sameCells(const PatternGrid& a, const PatternGrid& b)
{
    if (a.storedCellCount() != b.storedCellCount())
        return false;
    const int lastRow = std::max({a.rowCount(), b.rowCount(), 31}) + 2;
    for (int row = -1; row <= lastRow; ++row)
        for (int column = -1; column <= PatternGrid::kColumnCount; ++column)
            if (a.cell(column, row) != b.cell(column, row))
                return false;
    return true;
}

template <typename Read>
std::optional<int> readNumber(Read read)
{
    try {
        return read();
    } catch (const EConvertError&) {
        return std::nullopt;
    }
}

} // namespace

GROOVANE_FUZZ_TARGET(pattern_file)
{
    const std::vector<std::string> lines = LineBuffer::splitLines(input);
    for (const std::string& line : lines)
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos, "line buffer");
    FUZZ_CHECK(LineBuffer::splitLines(LineBuffer::joinLines(lines)) == lines, "line buffer");
    LineBuffer pad;
    pad.loadFromFile(fuzz::writeScratchFile("pattern.pat", input));
    FUZZ_CHECK(pad.read().toStrings() == lines, "line buffer");

    PatternGrid grid;
    startingGrid(grid);
    PatternGrid before;
    before.assignCells(grid);
    const PatternFileReader reader(lines);
    try {
        reader.loadCells(grid);
    } catch (const Exception&) {
        FUZZ_CHECK(sameCells(grid, before) && grid.rowCount() == before.rowCount(), "pattern file");
        return;
    }
    // Save Pattern builds its path from the name cell the load filled.
    fuzz::checkPatternPathStaysInFolder(grid.cell(0, 0));
    const std::optional<int> tempo = readNumber([&] { return reader.tempoPosition(); });
    const std::optional<int> loops = readNumber([&] { return reader.loopCount(); });

    const std::vector<std::string> saved =
        patternFileLines(grid, patternLengthForSave(grid), tempo.value_or(50), loops.value_or(1));
    PatternGrid again;
    startingGrid(again);
    const PatternFileReader reread(LineBuffer::splitLines(LineBuffer::joinLines(saved)));
    reread.loadCells(again);
    FUZZ_CHECK(sameCells(grid, again), "pattern file");
    // A length below -2 sets the row count (to the two heading rows) but, writing no row 0,
    // leaves the length cell as it was; the rows shown then follow the row count, not the cell.
    if (reader.length() >= -2)
        FUZZ_CHECK(grid.rowCount() == again.rowCount(), "pattern file");
    FUZZ_CHECK(reread.tempoPosition() == tempo.value_or(50), "pattern file");
    FUZZ_CHECK(reread.loopCount() == loops.value_or(1), "pattern file");
}
