// The step list: a song flattened for playback and for the render. Read as lines, it is, for
// each play list entry from the start entry on, the marker "//", the pattern's tempo position as
// text, then the pattern's step rows C times over (C its loop count), six channel cells a row;
// after the last entry the end line "%%%". One tick of the song timer plays one row.
//
// The lines are not stored one by one: a loop count has no upper bound, and 6 x L x C lines for
// a large C would exhaust memory and overflow a 32-bit index. Each entry is held once (tempo,
// rows, loop count) and lines are addressed by a 64-bit index, each reading as the flat list
// would. A cell whose text is "//" or "%%%" is held as an empty cell, so only real markers and
// the real end line ever read as such.
//
// The song timer and the render build their list with the same builder and walk it with
// StepWalk, which tells markers (with their pattern's tempo), cells and the end line apart, so
// the two find the same patterns, rows and hits. UI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace groovane {

class PatternFileReader;

// What the step list takes from one pattern, as loading it into the editor leaves things.
struct SongPattern {
    int32_t tempoPosition = 0; // the tempo slider's position after the load
    int32_t loopCount = 1;     // the loop count after the load; below 1 counts as 1
    int32_t length = 0;        // L: the step rows are rows 2 .. L + 1; below 1 means none
    // The channel cells of step rows 2, 3, ... in order, columns 1..6 of each row. Rows past the
    // end of this vector read as empty (a file that claims more rows than it holds).
    std::vector<std::string> cells;
};

// The pattern of a name, read however the caller reads patterns (the main window loads it
// through its grid and controls). Whatever it raises ends the build.
using PatternLoader = std::function<SongPattern(const std::string& name)>;

// The channel cells of a pattern's step rows (rows 2 .. L + 1, columns 1..6) as its file holds
// them, as far as the file reaches. Raises the length line's conversion error.
std::vector<std::string> patternStepCells(const PatternFileReader& reader);

class StepList {
public:
    static const std::string kMarker; // "//"
    static const std::string kEnd;    // "%%%"

    // Lines of the flat list: 2 + 6 x L x C per entry, and the end line once the list is
    // complete. 0 for an empty list.
    int64_t lineCount() const { return lineCount_; }
    bool empty() const { return lineCount_ == 0; }
    void clear();

    // The line at `index` as the flat list holds it. An index before the start or at or past
    // the end reads as the end line.
    const std::string& line(int64_t index) const;

    // Appends an entry's marker, tempo and rows. Raises an Exception when the list would pass
    // 2^63 - 1 lines (a song no one could ever hear to its end).
    void appendPattern(SongPattern pattern);
    // Appends the end line.
    void close();

    size_t entryCount() const { return entries_.size(); }

    // Where a line of a pattern's rows comes from: the entry (0 for the first pattern appended)
    // and the grid row of its step (2 for the first step), in any of the pattern's loops.
    struct RowPosition {
        int32_t entry = 0;
        int32_t row = 0;
    };
    // Nothing for a marker, a tempo line, the end line or an index outside the list.
    std::optional<RowPosition> rowPositionOf(int64_t index) const;

private:
    struct Entry {
        int64_t firstLine = 0; // index of its marker
        int32_t tempoPosition = 0;
        std::string tempoText;
        int64_t rowLines = 0; // 6 x L, 0 for a pattern without rows
        std::vector<std::string> cells;
    };
    friend class StepWalk;
    const Entry* entryAt(int64_t index) const;

    std::vector<Entry> entries_;
    int64_t lineCount_ = 0;
    bool isClosed_ = false;
};

// Builds the step list of the patterns named, in order, into a fresh list. Nothing of a failed
// build is kept: whatever `load` raises passes through, and the caller's list stays as it was.
// Every name is checked (checkPatternName) before the first is loaded.
StepList buildStepList(const std::vector<std::string>& names, const PatternLoader& load);

// One line of a step list as the walk takes it.
struct StepLine {
    enum class Kind { Marker, Cell, End };
    Kind kind = Kind::End;
    // A marker's pattern: its tempo position and the cells of one pass of its rows (6 x L, 0 for
    // a pattern without rows; its loops repeat them).
    int32_t tempoPosition = 0;
    int64_t passCells = 0;
    // The line as the flat list reads it; for a marker, the marker itself. Lives as long as the
    // list.
    const std::string& text() const { return *text_; }

    const std::string* text_ = &StepList::kEnd;
};

// The walk of a step list: an index into it, and the lines taken from there. Song playback's
// tick first enters a pattern when the index stands on a marker, then takes up to six cells,
// advancing past each, and ends the song when the index reaches the end line. The render takes
// the list line by line with next(), timing each row by the tempo of the marker before it, and
// finds the instruments a song names with next() and skipPattern().
class StepWalk {
public:
    explicit StepWalk(const StepList& list) : list_(list) {}

    int64_t index() const { return index_; }
    void setIndex(int64_t index) { index_ = index; }

    // Passes every marker at the index with its tempo line (a pattern without rows is followed
    // straight by the next pattern's marker) and returns the tempo of the last pattern entered;
    // nothing when no pattern starts here.
    std::optional<int32_t> enterPattern();
    // True when the index stands on the end line, or at or past the end of the list.
    bool atEnd() const;
    // The cell at the index.
    const std::string& cell() const { return list_.line(index_); }
    void advance() { ++index_; }

    // The line at the index, and the index moved past it: a marker together with its tempo line,
    // any other line (the end line too) by one. At or past the end every call gives the end line.
    StepLine next();
    // Moves the index to the next pattern's marker, or to the end line after the last pattern.
    // A pattern's loops repeat the cells of its first pass, so a look at which cells a song holds
    // needs one pass of each pattern, however large its loop count.
    void skipPattern();

private:
    const StepList& list_;
    int64_t index_ = 0;
};

} // namespace groovane
