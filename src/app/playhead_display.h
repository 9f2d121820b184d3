// The marks of what the speakers play while the pattern or a song plays: the sounding row on the
// step grid and the sounding entry on the play list. Each step tick records the row it started;
// a display timer on the UI thread looks up what the output plays now (the row whose hits are at
// the output, a latency after the tick that scheduled them) and moves the marks only when that
// changes, so a tick pays a few comparisons and the grid draws again only the rows that change.
// The marks never move the grid's current cell or the play list's selection. UI thread only.
#pragma once

#include "playback/playhead.h"

#include <QTimer>

#include <cstdint>
#include <optional>

namespace groovane {

class GridView;
class ListBox;
class SoundSystem;
class StepList;

class PlayheadDisplay : public QObject {
public:
    // How often the marks follow the output while something plays.
    static constexpr int kRefreshMs = 15;

    // The views and the sound system must outlive the display.
    PlayheadDisplay(GridView& grid, ListBox& list, SoundSystem& sounds);

    // A step tick at `tickTimeNs` (the sound system's clock, as the tick's sounds are stamped)
    // started grid row `row`, of play list entry `entry` (-1 for pattern playback).
    void record(int64_t tickTimeNs, int row, int entry = -1);
    // What the running step tick sounded, at the time its sounds are stamped with: step row `row`
    // of a pattern of `length` steps (nothing for a row past them); or the row of the step list
    // whose first cell is line `rowLine` (-1: none), of the song played from play list entry
    // `firstEntry` on.
    void recordPatternRow(int row, int length);
    void recordSongRow(const StepList& list, int64_t rowLine, int firstEntry);
    // Playback has ended of itself; the marks go once what started before `endTimeNs` has been
    // heard, or, without a time, one step interval of `intervalMs` after the running tick.
    void finish(int64_t endTimeNs);
    void finishAfterTick(int intervalMs);
    // Playback was stopped: the marks go now.
    void stop();

    // The marks shown.
    PlayheadMark shown() const { return shown_; }
    // Moves the marks to what the output plays now; the display timer runs it.
    void refresh();

private:
    void show(PlayheadMark mark);

    GridView& grid_;
    ListBox& list_;
    SoundSystem& sounds_;
    Playhead playhead_;
    PlayheadMark shown_;
    QTimer timer_;
    // Set by finish(): the output frame from which nothing recorded sounds any more.
    std::optional<uint64_t> endFrame_;
};

} // namespace groovane
