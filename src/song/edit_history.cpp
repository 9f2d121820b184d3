#include "song/edit_history.h"

#include <algorithm>
#include <utility>

namespace groovane {

namespace {

uint64_t cellKey(int column, int row)
{
    return (static_cast<uint64_t>(static_cast<uint32_t>(row)) << 32) | static_cast<uint32_t>(column);
}

bool sameEntry(const PlayListEntry& a, const PlayListEntry& b)
{
    return a.name == b.name && a.ticked == b.ticked;
}

bool sameNames(const std::vector<PlayListEntry>& a, const std::vector<PlayListEntry>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const PlayListEntry& x, const PlayListEntry& y) { return x.name == y.name; });
}

void putNumber(std::string& out, uint64_t value)
{
    while (value >= 0x80) {
        out.push_back(static_cast<char>(static_cast<uint8_t>(value) | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<char>(value));
}

uint64_t takeNumber(const std::string& in, size_t& at)
{
    uint64_t value = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<uint8_t>(in[at++]);
        value |= uint64_t{byte & 0x7Fu} << shift;
        if (!(byte & 0x80))
            return value;
    }
}

// Columns and rows may be negative; they are stored zig-zag so small ones of either sign are short.
uint64_t zigzag(int value)
{
    return (static_cast<uint64_t>(static_cast<uint32_t>(value)) << 1) ^ (value < 0 ? ~uint64_t{0} : 0);
}

int unzigzag(uint64_t value)
{
    return static_cast<int>(static_cast<uint32_t>(value >> 1) ^ static_cast<uint32_t>(-(value & 1)));
}

} // namespace

std::string EditHistory::packCells(const std::vector<CellChange>& changes)
{
    std::string packed;
    for (const auto& c : changes) {
        putNumber(packed, zigzag(c.column));
        putNumber(packed, zigzag(c.row));
        putNumber(packed, c.before.size());
        putNumber(packed, c.after.size());
        packed += c.before;
        packed += c.after;
    }
    packed.shrink_to_fit();
    return packed;
}

template <typename Visit>
void EditHistory::forEachCell(const std::string& packed, Visit&& visit)
{
    size_t at = 0;
    while (at < packed.size()) {
        const int column = unzigzag(takeNumber(packed, at));
        const int row = unzigzag(takeNumber(packed, at));
        const size_t beforeSize = takeNumber(packed, at);
        const size_t afterSize = takeNumber(packed, at);
        const std::string_view before(packed.data() + at, beforeSize);
        const std::string_view after(packed.data() + at + beforeSize, afterSize);
        at += beforeSize + afterSize;
        if (!visit(column, row, before, after))
            return;
    }
}

std::vector<EditHistory::CellChange> EditHistory::unpackCells(const std::string& packed)
{
    std::vector<CellChange> changes;
    forEachCell(packed, [&](int column, int row, std::string_view before, std::string_view after) {
        changes.push_back({column, row, std::string(before), std::string(after)});
        return true;
    });
    return changes;
}

EditHistory::EditHistory(PatternGrid& grid, PlayList& list, SongTitleAccess title)
    : grid_(grid),
      list_(list),
      title_(std::move(title))
{}

EditHistory::~EditHistory()
{
    if (grid_.journal() == this)
        grid_.setJournal(nullptr);
}

EditHistory::Action EditHistory::action(Merge merge)
{
    begin(merge);
    return Action(*this);
}

EditHistory::Action::~Action()
{
    history_.end();
}

void EditHistory::begin(Merge merge)
{
    if (depth_++ > 0)
        return;
    openMerge_ = merge;
    // Whether this action may continue the step before it is settled now, while the grid still
    // shows what that step left.
    canMergeOpen_ = merge != Merge::Never && canUndo() && !canRedo() && canMergeInto(steps_.back());
    pending_ = Step{};
    pendingCells_.clear();
    pendingIndex_.clear();
    pendingRows_ = false;
    pending_.rowsBefore = pending_.rowsAfter = grid_.rowCount();
    pending_.selectedBefore = list_.selected();
    pending_.titleBefore = readTitle();
    // The list is compared with this copy when the action ends; a copy of 100,000 entries costs
    // about a millisecond, far less than a handler that changes the list spends on its list box.
    listBefore_ = list_.entries();
    grid_.setJournal(this);
}

void EditHistory::end() noexcept
{
    if (--depth_ > 0)
        return;
    grid_.setJournal(nullptr);
    try {
        commit();
    } catch (...) {
        // No memory for the step: a history that missed an action cannot undo past it.
        forget();
    }
    pending_ = Step{};
    pendingCells_.clear();
    pendingIndex_.clear();
    listBefore_.clear();
    listBefore_.shrink_to_fit();
}

void EditHistory::cellChanged(int column, int row, const std::string& before, const std::string& after)
{
    const auto [it, isNew] = pendingIndex_.try_emplace(cellKey(column, row), pendingCells_.size());
    if (isNew)
        pendingCells_.push_back({column, row, before, after});
    else
        pendingCells_[it->second].after = after;
}

void EditHistory::rowCountChanged(int, int after)
{
    pendingRows_ = true;
    pending_.rowsAfter = after;
}

void EditHistory::commit()
{
    Step& step = pending_;
    // A cell written and written back within the action is no change.
    std::erase_if(pendingCells_, [](const CellChange& c) { return c.before == c.after; });
    step.rowsAfter = grid_.rowCount();

    // The list's change is the run of entries between the longest common start and end.
    const auto& before = listBefore_;
    const auto& after = list_.entries();
    size_t head = 0;
    while (head < before.size() && head < after.size() && sameEntry(before[head], after[head]))
        ++head;
    size_t tail = 0;
    while (tail < before.size() - head && tail < after.size() - head &&
           sameEntry(before[before.size() - 1 - tail], after[after.size() - 1 - tail]))
        ++tail;
    step.hasListChange = head < before.size() || head < after.size();
    if (step.hasListChange) {
        step.list.first = static_cast<int>(head);
        step.list.before.assign(before.begin() + static_cast<ptrdiff_t>(head),
                                before.end() - static_cast<ptrdiff_t>(tail));
        step.list.after.assign(after.begin() + static_cast<ptrdiff_t>(head),
                               after.end() - static_cast<ptrdiff_t>(tail));
    }
    step.selectedAfter = list_.selected();
    step.titleAfter = readTitle();

    const bool touchesGrid = !pendingCells_.empty() || step.rowsBefore != step.rowsAfter;
    // The song file holds the entries' names; marks and the selection are not saved.
    const bool touchesSong =
        (step.hasListChange && !sameNames(step.list.before, step.list.after)) || step.titleBefore != step.titleAfter;
    const bool touchesSelection = step.selectedBefore != step.selectedAfter;
    if (!touchesGrid && !step.hasListChange && !touchesSelection && step.titleBefore == step.titleAfter)
        return;

    if (canMergeOpen_ && !step.hasListChange && !touchesSelection && step.titleBefore == step.titleAfter) {
        Step& top = steps_.back();
        std::vector<CellChange> cells = unpackCells(top.cells);
        std::unordered_map<uint64_t, size_t> topIndex;
        for (size_t i = 0; i < cells.size(); ++i)
            topIndex.emplace(cellKey(cells[i].column, cells[i].row), i);
        for (auto& change : pendingCells_) {
            const auto it = topIndex.find(cellKey(change.column, change.row));
            if (it == topIndex.end())
                cells.push_back(std::move(change));
            else
                cells[it->second].after = std::move(change.after);
        }
        std::erase_if(cells, [](const CellChange& c) { return c.before == c.after; });
        top.cells = packCells(cells);
        top.rowsAfter = step.rowsAfter;
        if (top.cells.empty() && top.rowsBefore == top.rowsAfter && !top.hasListChange &&
            top.selectedBefore == top.selectedAfter && top.titleBefore == top.titleAfter) {
            // Typed back to what it was: the run leaves no step, and the state is the one before.
            steps_.pop_back();
            --position_;
            isMergeOpen_ = false;
        } else {
            top.gridState = nextState_++;
        }
        return;
    }

    // A new action ends the steps that could have been redone.
    steps_.erase(steps_.begin() + static_cast<ptrdiff_t>(position_), steps_.end());
    step.cells = packCells(pendingCells_);
    step.merge = openMerge_;
    step.gridState = touchesGrid ? nextState_++ : gridState();
    step.songState = touchesSong ? nextState_++ : songState();
    steps_.push_back(std::move(step));
    ++position_;
    isMergeOpen_ = openMerge_ != Merge::Never;
    if (steps_.size() > kMaxSteps) {
        baseGridState_ = steps_.front().gridState;
        baseSongState_ = steps_.front().songState;
        steps_.pop_front();
        --position_;
    }
}

bool EditHistory::canMergeInto(const Step& step) const
{
    // A save between two keystrokes keeps them apart, so undo can come back to the saved name.
    return isMergeOpen_ && step.merge == openMerge_ && savedGridState_ != step.gridState && !step.hasListChange &&
           gridHolds(step, true);
}

bool EditHistory::gridHolds(const Step& step, bool after) const
{
    if (grid_.rowCount() != (after ? step.rowsAfter : step.rowsBefore))
        return false;
    bool holds = true;
    forEachCell(step.cells, [&](int column, int row, std::string_view before, std::string_view afterText) {
        holds = grid_.cell(column, row) == (after ? afterText : before);
        return holds;
    });
    return holds;
}

bool EditHistory::listHolds(const Step& step, bool after) const
{
    if (!step.hasListChange)
        return true;
    const auto& expected = after ? step.list.after : step.list.before;
    const auto& entries = list_.entries();
    const size_t first = static_cast<size_t>(step.list.first);
    if (entries.size() < first || entries.size() - first < expected.size())
        return false;
    return std::equal(expected.begin(), expected.end(), entries.begin() + static_cast<ptrdiff_t>(first),
                      [](const PlayListEntry& x, const PlayListEntry& y) { return x.name == y.name; });
}

void EditHistory::apply(const Step& step, bool after)
{
    if (!step.cells.empty() || step.rowsBefore != step.rowsAfter) {
        std::vector<GridCell> cells;
        forEachCell(step.cells, [&](int column, int row, std::string_view before, std::string_view afterText) {
            cells.push_back({column, row, std::string(after ? afterText : before)});
            return true;
        });
        grid_.restoreCells(cells, after ? step.rowsAfter : step.rowsBefore);
    }
    if (step.hasListChange) {
        const auto& from = after ? step.list.before : step.list.after;
        const auto& to = after ? step.list.after : step.list.before;
        list_.replaceEntries(step.list.first, static_cast<int>(from.size()), to);
    }
    list_.select(after ? step.selectedAfter : step.selectedBefore);
    if (step.titleBefore != step.titleAfter && title_.write)
        title_.write(after ? step.titleAfter : step.titleBefore);
}

bool EditHistory::undo()
{
    if (!canUndo() || depth_ > 0)
        return false;
    const Step& step = steps_[position_ - 1];
    if (!gridHolds(step, true) || !listHolds(step, true)) {
        forget();
        return false;
    }
    apply(step, false);
    --position_;
    isMergeOpen_ = false;
    return true;
}

bool EditHistory::redo()
{
    if (!canRedo() || depth_ > 0)
        return false;
    const Step& step = steps_[position_];
    if (!gridHolds(step, false) || !listHolds(step, false)) {
        forget();
        return false;
    }
    apply(step, true);
    ++position_;
    isMergeOpen_ = false;
    return true;
}

void EditHistory::markGridSaved()
{
    savedGridState_ = gridState();
    isMergeOpen_ = false;
}

void EditHistory::markSongSaved()
{
    savedSongState_ = songState();
    songChangedOutside_ = false;
}

bool EditHistory::isGridModified() const
{
    return gridState() != savedGridState_;
}

bool EditHistory::isSongModified() const
{
    return songChangedOutside_ || songState() != savedSongState_;
}

void EditHistory::forget()
{
    baseGridState_ = gridState();
    baseSongState_ = songState();
    steps_.clear();
    position_ = 0;
    isMergeOpen_ = false;
}

} // namespace groovane
