#include "pattern_grid.h"

#include <algorithm>

namespace groovane {

const std::string& PatternGrid::cell(int column, int row) const
{
    static const std::string empty;
    const auto it = cells_.find(key(column, row));
    return it == cells_.end() ? empty : it->second;
}

void PatternGrid::setCell(int column, int row, const std::string& text)
{
    // Empty cells are not stored, so clearing a huge hidden area leaves no residue.
    if (text.empty())
        cells_.erase(key(column, row));
    else
        cells_[key(column, row)] = text;
    changed();
}

void PatternGrid::setRowCount(int rows)
{
    rowCount_ = std::max(rows, kFixedRows);
    changed();
}

void PatternGrid::assignCells(const PatternGrid& other)
{
    cells_ = other.cells_;
    rowCount_ = other.rowCount_;
    changed();
}

void PatternGrid::changed()
{
    ++revision_;
    if (changeListener_)
        changeListener_();
}

} // namespace groovane
