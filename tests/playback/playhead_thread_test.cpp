#include "platform/sound_mixer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

using namespace groovane;

// The window reads the frame clock while the audio thread moves it. Here the output's timing
// jumps by a second at every block, so the clock is anchored afresh each time: a reading that
// took one block's frame with another block's time would be hundreds of frames off both of the
// two timings the output alternates between.
TEST(FrameClockReading, NeverMixesTwoBlocksOfTheClockWhileTheAudioThreadMovesIt)
{
    constexpr uint32_t kRate = 44100;
    constexpr uint32_t kBlock = 256;
    constexpr int64_t kSecond = 1'000'000'000;
    SoundMixer mixer;
    mixer.setOutputFormat(kRate, 0);
    const double nsPerFrame = 1e9 / kRate;
    std::vector<int16_t> out(2 * kBlock);
    mixer.render(out.data(), kBlock, 0);

    std::atomic<bool> done{false};
    std::thread audio([&] {
        for (uint64_t block = 1; block < 20000; ++block) {
            const auto heard = static_cast<int64_t>(std::llround(static_cast<double>(block * kBlock) * nsPerFrame));
            mixer.render(out.data(), kBlock, heard + (block % 2 ? kSecond : 0));
        }
        done.store(true);
    });
    const double onTime = 2.0 * kRate;  // frame heard at 2 s on the even blocks' timing
    const double late = onTime - kRate; // and on the odd blocks'
    int readings = 0;
    int torn = 0;
    while (!done.load()) {
        const auto frame = mixer.outputFrameAt(2 * kSecond);
        ASSERT_TRUE(frame);
        if (std::fabs(*frame - onTime) > 1.0 && std::fabs(*frame - late) > 1.0)
            ++torn;
        ++readings;
    }
    audio.join();
    EXPECT_EQ(torn, 0) << "of " << readings << " readings";
}
