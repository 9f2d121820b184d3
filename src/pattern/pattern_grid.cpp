#include "pattern/pattern_grid.h"

#include <algorithm>

namespace groovane {

const std::string& PatternGrid::cell(int column, int row) const
{
    static const std::string empty;
    const auto it = cells_.find(key(column, row));
    return it == cells_.end() ? empty : it->second;
}

void PatternGrid::storeCell(uint64_t cellKey, const std::string& text)
{
    // Empty cells are not stored, so clearing a huge hidden area leaves no residue.
    if (text.empty())
        cells_.erase(cellKey);
    else
        cells_[cellKey] = text;
}

void PatternGrid::setCell(int column, int row, const std::string& text)
{
    if (GridJournal* journal = journal_.target) {
        const std::string& before = cell(column, row);
        if (before != text) {
            const std::string old = before;
            storeCell(key(column, row), text);
            journal->cellChanged(column, row, old, text);
        }
    } else {
        storeCell(key(column, row), text);
    }
    changed();
}

void PatternGrid::setRowCount(int rows)
{
    const int before = rowCount_;
    rowCount_ = std::max(rows, kFixedRows);
    if (journal_.target && before != rowCount_)
        journal_.target->rowCountChanged(before, rowCount_);
    changed();
}

void PatternGrid::assignCells(const PatternGrid& other)
{
    if (GridJournal* journal = journal_.target) {
        // Reported cell by cell, so a pattern loaded over the grid is recorded as the cells it
        // actually changed rather than as two whole patterns.
        const auto columnOf = [](uint64_t k) { return static_cast<int>(static_cast<uint32_t>(k)); };
        const auto rowOf = [](uint64_t k) { return static_cast<int>(static_cast<uint32_t>(k >> 32)); };
        static const std::string empty;
        for (const auto& [k, text] : cells_) {
            const auto it = other.cells_.find(k);
            const std::string& after = it == other.cells_.end() ? empty : it->second;
            if (after != text)
                journal->cellChanged(columnOf(k), rowOf(k), text, after);
        }
        for (const auto& [k, text] : other.cells_)
            if (!cells_.contains(k))
                journal->cellChanged(columnOf(k), rowOf(k), empty, text);
        if (rowCount_ != other.rowCount_)
            journal->rowCountChanged(rowCount_, other.rowCount_);
    }
    cells_ = other.cells_;
    rowCount_ = other.rowCount_;
    changed();
}

void PatternGrid::restoreCells(const std::vector<GridCell>& cells, int rows)
{
    for (const auto& c : cells)
        storeCell(key(c.column, c.row), c.text);
    rowCount_ = std::max(rows, kFixedRows);
    changed();
}

void PatternGrid::changed()
{
    ++revision_;
    if (changeListener_)
        changeListener_();
}

} // namespace groovane
