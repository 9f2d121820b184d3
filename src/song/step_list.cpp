#include "song/step_list.h"

#include "platform/exception.h"
#include "pattern/pattern_file.h"
#include "pattern/pattern_grid.h"

#include <algorithm>

namespace groovane {

const std::string StepList::kMarker = "//";
const std::string StepList::kEnd = "%%%";

namespace {

constexpr int kChannels = PatternGrid::kChannelCount;

[[noreturn]] void tooLong()
{
    throw Exception("The song is too long to be played");
}

int64_t checkedAdd(int64_t a, int64_t b)
{
    int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        tooLong();
    return sum;
}

int64_t checkedMultiply(int64_t a, int64_t b)
{
    int64_t product = 0;
    if (__builtin_mul_overflow(a, b, &product))
        tooLong();
    return product;
}

} // namespace

std::vector<std::string> patternStepCells(const PatternFileReader& reader)
{
    const int64_t length = reader.length();
    // Cell (c, r) is line 7r + c; rows past the file's end would only read as empty.
    const int64_t columns = PatternGrid::kColumnCount;
    const int64_t rowsInFile = (static_cast<int64_t>(reader.lineCount()) + columns - 1) / columns;
    const int64_t endRow = std::min(rowsInFile, length + 2);
    std::vector<std::string> cells;
    for (int64_t row = PatternGrid::kFixedRows; row < endRow; ++row)
        for (int64_t column = 1; column <= kChannels; ++column)
            cells.emplace_back(reader.line(static_cast<size_t>(row * columns + column)));
    return cells;
}

void StepList::clear()
{
    entries_.clear();
    lineCount_ = 0;
    isClosed_ = false;
}

void StepList::appendPattern(SongPattern pattern)
{
    Entry entry;
    entry.firstLine = lineCount_;
    entry.tempoPosition = pattern.tempoPosition;
    entry.tempoText = std::to_string(pattern.tempoPosition);
    const int64_t rows = std::max<int64_t>(pattern.length, 0);
    entry.rowLines = rows * kChannels;
    const int64_t loops = std::max<int64_t>(pattern.loopCount, 1);
    const int64_t lines = checkedAdd(2, checkedMultiply(entry.rowLines, loops));
    const int64_t total = checkedAdd(checkedAdd(lineCount_, lines), 1); // room for the end line

    entry.cells = std::move(pattern.cells);
    if (entry.cells.size() > static_cast<size_t>(entry.rowLines))
        entry.cells.resize(static_cast<size_t>(entry.rowLines));
    // Only the builder's own lines may read as markers or as the end.
    for (std::string& cell : entry.cells)
        if (cell == kMarker || cell == kEnd)
            cell.clear();
    // Trailing empty cells read as empty anyway.
    while (!entry.cells.empty() && entry.cells.back().empty())
        entry.cells.pop_back();
    entry.cells.shrink_to_fit();

    entries_.push_back(std::move(entry));
    lineCount_ = total - 1;
}

void StepList::close()
{
    if (isClosed_)
        return;
    if (lineCount_ == INT64_MAX)
        tooLong();
    ++lineCount_;
    isClosed_ = true;
}

const StepList::Entry* StepList::entryAt(int64_t index) const
{
    if (index < 0 || index >= lineCount_ || entries_.empty())
        return nullptr;
    auto after = std::upper_bound(entries_.begin(), entries_.end(), index,
                                  [](int64_t i, const Entry& e) { return i < e.firstLine; });
    if (after == entries_.begin())
        return nullptr;
    const Entry& entry = *(after - 1);
    // The end line follows the last entry.
    if (after == entries_.end() && isClosed_ && index == lineCount_ - 1)
        return nullptr;
    return &entry;
}

std::optional<StepList::RowPosition> StepList::rowPositionOf(int64_t index) const
{
    const Entry* entry = entryAt(index);
    const int64_t offset = entry ? index - entry->firstLine : 0;
    if (!entry || offset < 2 || entry->rowLines == 0)
        return std::nullopt;
    // 6 x L fits 64 bits with L a 32-bit length, so the row within a loop fits 32 bits.
    const auto row = static_cast<int32_t>((offset - 2) % entry->rowLines / PatternGrid::kChannelCount);
    return RowPosition{static_cast<int32_t>(entry - entries_.data()), row + 2};
}

const std::string& StepList::line(int64_t index) const
{
    static const std::string empty;
    const Entry* entry = entryAt(index);
    if (!entry)
        return kEnd;
    const int64_t offset = index - entry->firstLine;
    if (offset == 0)
        return kMarker;
    if (offset == 1)
        return entry->tempoText;
    const int64_t cell = (offset - 2) % entry->rowLines;
    return static_cast<size_t>(cell) < entry->cells.size() ? entry->cells[static_cast<size_t>(cell)] : empty;
}

StepList buildStepList(const std::vector<std::string>& names, const PatternLoader& load)
{
    // Every name first, so a song that names a file outside the working folder opens none.
    for (const std::string& name : names)
        checkPatternName(name);
    StepList list;
    for (const std::string& name : names)
        list.appendPattern(load(name));
    list.close();
    return list;
}

std::optional<int32_t> StepWalk::enterPattern()
{
    std::optional<int32_t> tempo;
    while (const StepList::Entry* entry = list_.entryAt(index_)) {
        if (index_ != entry->firstLine)
            break;
        tempo = entry->tempoPosition;
        index_ += 2;
    }
    return tempo;
}

StepLine StepWalk::next()
{
    StepLine line;
    const StepList::Entry* entry = list_.entryAt(index_);
    if (entry && index_ == entry->firstLine) {
        line.kind = StepLine::Kind::Marker;
        line.tempoPosition = entry->tempoPosition;
        line.passCells = entry->rowLines;
        line.text_ = &StepList::kMarker;
        index_ += 2;
        return line;
    }
    line.text_ = &list_.line(index_);
    if (entry)
        line.kind = StepLine::Kind::Cell;
    // The end line is passed like a cell, so the index after it is the list's line count.
    if (index_ < INT64_MAX)
        ++index_;
    return line;
}

void StepWalk::skipPattern()
{
    const StepList::Entry* entry = list_.entryAt(index_);
    if (!entry)
        return;
    const auto& entries = list_.entries_;
    const size_t next = static_cast<size_t>(entry - entries.data()) + 1;
    if (next < entries.size())
        index_ = entries[next].firstLine;
    else
        index_ = list_.isClosed_ ? list_.lineCount_ - 1 : list_.lineCount_;
}

bool StepWalk::atEnd() const
{
    return list_.line(index_) == StepList::kEnd;
}

} // namespace groovane
