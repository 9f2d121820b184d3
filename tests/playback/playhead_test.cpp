#include "platform/audio_output.h"
#include "playback/playhead.h"
#include "platform/sound_mixer.h"
#include "song/tempo_rule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace groovane;

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kLatencyFrames = 6174; // 140 ms
constexpr int64_t kLatencyNs = 140'000'000;
constexpr int64_t kMs = 1'000'000;

} // namespace

// Ticks of a song whose second pattern plays twice as fast, timed on the clock of an output that
// the test pumps: each tick's row is marked from the frame its hits are heard on, a latency after
// the tick, and stays marked until the next tick's hits are heard.
TEST(Playhead, MarksTheRowAndEntryHeardAtTheOutputAcrossATempoChange)
{
    SoundMixer mixer;
    mixer.setOutputFormat(kRate, kLatencyFrames);
    OfflineAudioOutput output(kRate, 0, 1'000 * kMs);
    std::string error;
    ASSERT_TRUE(output.start(mixer, &error)) << error;
    EXPECT_FALSE(heardFrame(mixer, 1'000 * kMs)) << "no clock before the first block";

    Playhead playhead;
    struct Tick {
        int64_t timeNs;
        int32_t row;
        int32_t entry;
    };
    std::vector<Tick> ticks;
    int64_t t = 1'010 * kMs;
    for (int32_t row = 2; row <= 4; ++row, t += stepIntervalMs(60) * kMs)
        ticks.push_back({t, row, 0});
    for (int32_t row = 2; row <= 4; ++row, t += stepIntervalMs(30) * kMs)
        ticks.push_back({t, row, 1});

    output.pump(256);
    for (const Tick& tick : ticks) {
        // The clock moves on between ticks as the output plays.
        while (static_cast<int64_t>(output.framesRendered()) * 1'000'000'000LL / kRate + 1'000 * kMs < tick.timeNs)
            output.pump(256);
        const auto frame = tickFrame(mixer, tick.timeNs);
        ASSERT_TRUE(frame);
        playhead.record(*frame, tick.row, tick.entry);
    }

    const auto markAt = [&](int64_t nowNs) { return playhead.at(*heardFrame(mixer, nowNs)); };
    EXPECT_EQ(markAt(ticks[0].timeNs + kLatencyNs - kMs), PlayheadMark{}) << "the first hits are not heard yet";
    for (size_t i = 0; i < ticks.size(); ++i) {
        const PlayheadMark mark{ticks[i].row, ticks[i].entry};
        EXPECT_EQ(markAt(ticks[i].timeNs + kLatencyNs), mark) << "tick " << i;
        const int64_t next = i + 1 < ticks.size() ? ticks[i + 1].timeNs : ticks[i].timeNs + 60 * kMs;
        EXPECT_EQ(markAt(next + kLatencyNs - kMs), mark) << "tick " << i << " until the next is heard";
    }

    const uint64_t last = *tickFrame(mixer, ticks.back().timeNs);
    playhead.clear();
    EXPECT_EQ(playhead.at(last), PlayheadMark{});
}
