// Playing the pattern that stands in the grid: one row per tick of the pattern step timer, the
// six channel cells of the row sounded through the instrument trigger, once through or endlessly.
// The window starts a pass, calls tick() from its step timer and stops the timer when tick()
// says the pass has ended; everything about rows and the pattern's end is decided here.
#pragma once

#include <cstdint>

namespace groovane {

class InstrumentTrigger;
class PatternGrid;

// UI thread only.
class PatternPlayback {
public:
    // The grid row of the first step.
    static constexpr int32_t kFirstStepRow = 2;

    // Both must outlive the playback.
    PatternPlayback(const PatternGrid& grid, InstrumentTrigger& trigger) : grid_(grid), trigger_(trigger) {}

    // The pattern length L the pass plays, read from the length cell when it starts.
    int32_t PatternLength = 0;
    // The grid row the next tick plays; the steps are rows 2 .. L + 1.
    int32_t PatternRow = kFirstStepRow;

    // Starts a pass: PatternLength from the grid's length cell, PatternRow the first step. A
    // length cell that is not a decimal integer raises "'<text>' is not a valid integer value"
    // and changes nothing.
    void start();

    // One tick: sounds row PatternRow, moves to the next row and returns whether the pass goes
    // on. After the last step the pass ends (false), unless `endless` is set, when the first
    // step follows without a gap. A pattern without steps (a length of 0 or below) sounds
    // nothing and ends at its first tick, endless or not: the rows below the pattern are never
    // played. An error raised by an instrument ends the tick at the failing cell; the row stays
    // where it was.
    bool tick(bool endless);

private:
    const PatternGrid& grid_;
    InstrumentTrigger& trigger_;
};

} // namespace groovane
