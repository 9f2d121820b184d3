// Playing a song: the song step timer walks the step list (step_list.h), one row of six cells
// per tick, entering each pattern at its marker (whose tempo then governs the timer) and ending
// or repeating the song at the end line. The window builds the list, calls tick() from its song
// timer and applies what the tick reports to its slider and timer; every rule about markers,
// rows and the song's end is decided here.
#pragma once

#include <cstdint>
#include <optional>

namespace groovane {

class InstrumentTrigger;
class StepList;

// What a tick needs to know of the window's controls.
struct SongTickSettings {
    bool isEndless = false;             // the song repeats (the "Loop" box beside the play list)
    std::optional<int32_t> globalTempo; // set: every pattern plays at this tempo position
    bool isStopRequested = false;       // playback was told to stop: the song ends after this row
};

// What a tick did, for the window to show.
struct SongTick {
    // A pattern started at this tick: the tempo position it plays at (its own, or the global
    // one). The interval after this tick's row is 2 x that position.
    std::optional<int32_t> tempoPosition;
    // The song has ended: nothing more is to be played. Never set while the song repeats.
    bool isSongEnd = false;
    // The step-list line of the first cell of the row sounded, -1 when none was.
    int64_t rowLine = -1;
};

// UI thread only.
class SongPlayback {
public:
    // Both must outlive the playback; the list may be refilled between songs.
    SongPlayback(const StepList& list, InstrumentTrigger& trigger) : list_(list), trigger_(trigger) {}

    // Index of the step-list line the next tick reads.
    int64_t SongStepIndex = 0;

    // A song starts from the list's first line.
    void start() { SongStepIndex = 0; }

    // One tick: passes every marker at the index (a pattern without rows is followed straight by
    // the next one's marker, whose tempo then counts), sounds the next row and moves past it.
    // When the index then stands on the end line, or a stop was requested, the song ends; an
    // endless song starts again from its first line instead, one interval later. A list that
    // holds no row after the markers ends without sounding anything. An error raised by an
    // instrument ends the tick with the index on the failing row.
    SongTick tick(const SongTickSettings& settings);

private:
    const StepList& list_;
    InstrumentTrigger& trigger_;
};

} // namespace groovane
