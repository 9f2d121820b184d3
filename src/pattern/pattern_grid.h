// The current pattern as the program holds it: a table of text cells addressed by column and
// row. There is no pattern object besides it: saving writes these cells out, loading writes them
// back, and playback reads instrument names straight from them.
//
// The table is sparse and keeps text beyond the row count: shrinking the pattern hides rows
// without emptying them, and growing it again shows their old text.
//
// Row 0: name, "Length:", L, "Time:", T. Row 1: channel headings. Rows 2..L+1: steps (column 0 a
// label, columns 1..6 an instrument name or nothing). Row L+2: the trailing row, saved and
// loaded but never shown or played.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace groovane {

// Told of every change a grid's cells and row count undergo while it is attached, with what was
// there before, so an edit history can record exactly what one user action changed.
class GridJournal {
public:
    virtual ~GridJournal() = default;
    // Only real changes are reported: a cell written with the text it already held is not.
    virtual void cellChanged(int column, int row, const std::string& before, const std::string& after) = 0;
    virtual void rowCountChanged(int before, int after) = 0;
};

// One cell's text, for writing many cells at once.
struct GridCell {
    int column = 0;
    int row = 0;
    std::string text;
};

class PatternGrid {
public:
    static constexpr int kColumnCount = 7;
    static constexpr int kChannelCount = 6;
    static constexpr int kFixedRows = 2;

    // Text of a cell; empty for a cell never written. Any column or row, also negative ones.
    const std::string& cell(int column, int row) const;
    void setCell(int column, int row, const std::string& text);

    // Number of rows shown (L + 2 for a pattern of length L). Never below the two heading rows.
    int rowCount() const { return rowCount_; }
    void setRowCount(int rows);

    // Takes every cell of `other`, hidden ones included, and its row count; the change listener
    // stays this grid's own.
    void assignCells(const PatternGrid& other);

    // Number of cells holding text, hidden ones included.
    size_t storedCellCount() const { return cells_.size(); }

    // Writes every cell of `cells` and then the row count, with one change notice however many
    // cells it touches (undo and redo over a long pattern). Not reported to the journal.
    void restoreCells(const std::vector<GridCell>& cells, int rows);

    // While set, every change is reported to `journal` (nullptr detaches). The grid does not own it.
    // A copy of the grid starts without one.
    void setJournal(GridJournal* journal) { journal_.target = journal; }
    GridJournal* journal() const { return journal_.target; }

    // Incremented on every change, so a view can tell that it must repaint.
    uint64_t revision() const { return revision_; }

    // Called after every change; the grid view uses it to schedule a repaint.
    void setChangeListener(std::function<void()> listener) { changeListener_ = std::move(listener); }

private:
    static uint64_t key(int column, int row)
    {
        return (static_cast<uint64_t>(static_cast<uint32_t>(row)) << 32) | static_cast<uint32_t>(column);
    }

    std::unordered_map<uint64_t, std::string> cells_;
    int rowCount_ = 18;
    uint64_t revision_ = 0;
    std::function<void()> changeListener_;
    // A copied grid must not report into its original's journal: the link is never copied.
    struct JournalLink {
        JournalLink() = default;
        JournalLink(const JournalLink&) {}
        JournalLink& operator=(const JournalLink&) { return *this; }
        GridJournal* target = nullptr;
    };
    JournalLink journal_;

    void changed();
    void storeCell(uint64_t key, const std::string& text);
};

} // namespace groovane
