#include "playback/playhead.h"

#include "platform/sound_mixer.h"

#include <cmath>

namespace groovane {

namespace {

// As close (in frames) as a time may fall before a frame's start and still count as that frame;
// the mixer places a timed Play with the same margin.
constexpr double kFrameTolerance = 0.001;

} // namespace

void Playhead::record(uint64_t frame, int32_t row, int32_t entry)
{
    // After a restart of the output the frames start over; what was scheduled past the new
    // frame will not be heard where it was recorded.
    while (count_ > 0 && ticks_[newest_].frame > frame) {
        newest_ = (newest_ + kCapacity - 1) % kCapacity;
        --count_;
    }
    newest_ = count_ == 0 ? 0 : (newest_ + 1) % kCapacity;
    ticks_[newest_] = {frame, {row, entry}};
    if (count_ < kCapacity)
        ++count_;
}

PlayheadMark Playhead::at(uint64_t frame) const
{
    // Newest first: the display asks for frames near the newest ticks.
    for (size_t i = 0; i < count_; ++i) {
        const Tick& tick = ticks_[(newest_ + kCapacity - i) % kCapacity];
        if (tick.frame <= frame)
            return tick.mark;
    }
    return {};
}

std::optional<uint64_t> tickFrame(const SoundMixer& mixer, int64_t tickTimeNs)
{
    const auto frame = mixer.outputFrameAt(tickTimeNs);
    if (!frame || *frame < 0.0)
        return std::nullopt;
    // As the mixer places a timed Play: the first frame heard at or after the time.
    return static_cast<uint64_t>(std::ceil(*frame - kFrameTolerance)) + mixer.latencyFrames();
}

std::optional<uint64_t> heardFrame(const SoundMixer& mixer, int64_t nowNs)
{
    const auto frame = mixer.outputFrameAt(nowNs);
    if (!frame || *frame < 0.0)
        return std::nullopt;
    // A time taken from a frame's own clock reading is that frame despite nanosecond rounding.
    return static_cast<uint64_t>(std::floor(*frame + kFrameTolerance));
}

} // namespace groovane
