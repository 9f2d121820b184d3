// What the speakers play now, for the marks on the grid and the play list while a pattern or a
// song plays. A tick's hits are heard a latency after the tick (they are placed on the output
// frame heard at the tick's time, plus the latency), so the row a tick plays is marked only once
// its frame is at the output, not when the tick ran.
//
// How the window uses it (UI thread only):
//   - In each tick, after the row has been sounded: record(tickFrame(mixer, tickTimeNs), row,
//     entry), with the row the tick played and, for a song, the play list entry it belongs to.
//   - From a display timer (or after each tick): const auto mark = playhead.at(heardFrame(mixer,
//     now)); repaint only when mark differs from what is shown (the row that was marked and the
//     row that now is).
//   - When playback stops: clear(), and the marks go.
// Nothing here allocates after construction; record() and at() are a few comparisons, so a tick
// pays nothing for it, and the audio thread is never involved.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace groovane {

class SoundMixer;

struct PlayheadMark {
    int32_t row = -1;   // the grid row heard, -1 for none
    int32_t entry = -1; // the play list entry heard, -1 for none (pattern playback)
    bool operator==(const PlayheadMark&) const = default;
};

class Playhead {
public:
    // Ticks remembered: far more than fit in the latency at the fastest tempo (2 ms steps against
    // about 140 ms), so a tick is never forgotten before it is heard.
    static constexpr size_t kCapacity = 256;

    // The hits of a tick that played `row` (of play list entry `entry`) start on output frame
    // `frame`. Frames come in the order of the ticks; a frame earlier than the last recorded one
    // (the output restarted) drops what was recorded after it.
    void record(uint64_t frame, int32_t row, int32_t entry = -1);

    // What is heard on output frame `frame`: the latest tick whose frame is at or before it, or
    // no mark before the first tick is heard.
    PlayheadMark at(uint64_t frame) const;

    void clear() { count_ = 0; }

private:
    struct Tick {
        uint64_t frame = 0;
        PlayheadMark mark;
    };
    std::array<Tick, kCapacity> ticks_{};
    size_t newest_ = 0; // index of the newest tick when count_ > 0
    size_t count_ = 0;
};

// The output frame a tick's sounds start on: the frame heard at its time `tickTimeNs` (the
// sound system's clock, as PlayTimeStamp takes it) plus the mixer's latency. Empty until the
// output has mixed its first block. UI thread.
std::optional<uint64_t> tickFrame(const SoundMixer& mixer, int64_t tickTimeNs);

// The output frame heard at `nowNs`. Empty until the output has mixed its first block. UI thread.
std::optional<uint64_t> heardFrame(const SoundMixer& mixer, int64_t nowNs);

} // namespace groovane
