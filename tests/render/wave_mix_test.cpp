// Mixing one wave into another: rate change with linear interpolation, gains, clipping, the
// start offset, and the inputs for which mixing is undefined.
#include "wav_bytes.h"

#include <gtest/gtest.h>

using namespace groovane;
using namespace groovane::test;
using groovane::wavaudio::TWave;

namespace {

class WaveMixTest : public ::testing::Test {
protected:
    TempFolder dir;
    TWave out; // stereo, 16 bits, 44100 Hz, empty
    TWave hit;
};

TEST_F(WaveMixTest, HalfRateSourceIsInterpolatedOverTwiceTheFrames)
{
    // 22050 Hz source played at its own rate into 44100 Hz: every other output frame falls
    // halfway between two source frames, and halves round to even.
    loadBytes(hit, dir, wav16(2, 22050, {1, -1, 2, -2, 5, -5, 0, -8}));
    out.Mix(hit, 22050, 1.0, 0.0, 0.0);
    ASSERT_EQ(out.FrameCount(), 8);
    EXPECT_EQ(allSamples(out), (std::vector<int>{1, -1, 2, -2, 2, -2, 4, -4, 5, -5, 2, -6, 0, -8, 0, -8}));
}

TEST_F(WaveMixTest, PlaybackRateSetsTheLength)
{
    loadBytes(hit, dir, wav16(1, 44100, {0, 300, 600, 900}));
    out.Mix(hit, 88200, 1.0, 0.0, 0.0);
    EXPECT_EQ(out.FrameCount(), 2);
    EXPECT_EQ(out.GetSample(0, 1), 600);

    TWave slow;
    slow.Mix(hit, 22050, 1.0, 0.0, 0.0);
    EXPECT_EQ(slow.FrameCount(), 8);
    EXPECT_EQ(slow.GetSample(0, 3), 450);
}

TEST_F(WaveMixTest, MixingTwiceDoublesAndClipsAtPlusMinus32767)
{
    loadBytes(hit, dir, wav16(2, 44100, {20000, -20000, 30000, -32768, 5, -5}));
    out.Mix(hit, 44100, 1.0, 0.0, 0.0);
    out.Mix(hit, 44100, 1.0, 0.0, 0.0);
    // A lone -32768 is first clipped to -32767 too.
    EXPECT_EQ(allSamples(out), (std::vector<int>{32767, -32767, 32767, -32767, 10, -10}));
}

TEST_F(WaveMixTest, VolumeScalesBeforeRounding)
{
    loadBytes(hit, dir, wav16(2, 44100, {3, -3, 5, 1000}));
    out.Mix(hit, 44100, 0.5, 0.0, 0.0);
    EXPECT_EQ(allSamples(out), (std::vector<int>{2, -2, 2, 500}));
}

TEST_F(WaveMixTest, PanSetsLeftAndRightGains)
{
    loadBytes(hit, dir, wav16(2, 44100, {1000, 1000}));
    const struct {
        double pan;
        int left;
        int right;
    } cases[] = {{0, 1000, 1000},   {2, 0, 1000},  {1, 0, 1000}, {0.25, 750, 1000},
                 {-0.5, 1000, 500}, {-1, 1000, 0}, {-3, 1000, 0}};
    for (const auto& c : cases) {
        TWave dest;
        dest.Mix(hit, 44100, 1.0, c.pan, 0.0);
        EXPECT_EQ(dest.GetSample(0, 0), c.left) << "pan " << c.pan;
        EXPECT_EQ(dest.GetSample(1, 0), c.right) << "pan " << c.pan;
    }
}

TEST_F(WaveMixTest, MonoSourceFeedsTheRightChannelFromTheNextFrame)
{
    loadBytes(hit, dir, wav16(1, 44100, {10, 20, 30}));
    out.Mix(hit, 44100, 1.0, 0.0, 0.0);
    EXPECT_EQ(allSamples(out), (std::vector<int>{10, 20, 20, 30, 30, 0}));
}

TEST_F(WaveMixTest, StartBeyondTheEndExtendsWithSilence)
{
    loadBytes(hit, dir, wav16(2, 44100, {7, 8, 9, 10}));
    out.Mix(hit, 44100, 1.0, 0.0, 0.0);
    out.Mix(hit, 44100, 1.0, 0.0, 6 / 44100.0);
    ASSERT_EQ(out.FrameCount(), 8);
    EXPECT_EQ(allSamples(out), (std::vector<int>{7, 8, 9, 10, 0, 0, 0, 0, 0, 0, 0, 0, 7, 8, 9, 10}));
    // A start before 0 drops the frames that would land before the beginning.
    out.Mix(hit, 44100, 1.0, 0.0, -1 / 44100.0);
    EXPECT_EQ(out.GetSample(0, 0), 16);
    EXPECT_EQ(out.GetSample(1, 0), 18);
    EXPECT_EQ(out.GetSample(0, 1), 9);
    EXPECT_EQ(out.FrameCount(), 8);
}

TEST_F(WaveMixTest, ChannelsAfterTheSecondTakeFullGain)
{
    TWave surround;
    loadBytes(surround, dir, riff(chunk("fmt ", fmtBody(3, 44100, 16)) + chunk("data", samples16({0, 0, 0}))),
              "three.wav");
    loadBytes(hit, dir, riff(chunk("fmt ", fmtBody(3, 44100, 16)) + chunk("data", samples16({100, 200, 300}))));
    surround.Mix(hit, 44100, 1.0, 1.0, 0.0);
    EXPECT_EQ(allSamples(surround), (std::vector<int>{0, 200, 300}));
}

TEST_F(WaveMixTest, UndefinedMixesLeaveTheDestinationIntact)
{
    loadBytes(out, dir, wav16(2, 44100, {1, 2, 3, 4}), "dest.wav");
    const auto before = out.Data();

    TWave empty;
    out.Mix(empty, 44100, 1.0, 0.0, 0.0);
    loadBytes(hit, dir, wav16(2, 44100, {100, 100}));
    out.Mix(hit, 0, 1.0, 0.0, 0.0);
    out.Mix(hit, -44100, 1.0, 0.0, 0.0);
    TWave noRate;
    loadBytes(noRate, dir, wav16(2, 0, {100, 100}), "norate.wav");
    out.Mix(noRate, 44100, 1.0, 0.0, 0.0);
    TWave noBlockAlign;
    loadBytes(noBlockAlign, dir,
              riff(chunk("fmt ", le16(1) + le16(2) + le32(44100) + le32(0) + le16(0) + le16(16)) +
                   chunk("data", samples16({100, 100}))),
              "noalign.wav");
    EXPECT_EQ(noBlockAlign.FrameCount(), 0);
    out.Mix(noBlockAlign, 44100, 1.0, 0.0, 0.0);
    noBlockAlign.Mix(hit, 44100, 1.0, 0.0, 0.0);
    EXPECT_EQ(noBlockAlign.FrameCount(), 0);

    EXPECT_EQ(out.Data(), before);
    EXPECT_EQ(out.FrameCount(), 2);
}

TEST_F(WaveMixTest, WaveMixedIntoItselfReadsWhatItHasWritten)
{
    loadBytes(out, dir, wav16(2, 44100, {100, 200, 300, 400}));
    out.Mix(out, 44100, 1.0, 0.0, 1 / 44100.0);
    // Frame 1 is doubled from the source's frame 0; frame 2 then reads the new frame 1.
    EXPECT_EQ(allSamples(out), (std::vector<int>{100, 200, 400, 600, 400, 600}));
}

TEST_F(WaveMixTest, PreparedValuesAreWhatMixAddsForShortAndVeryLongSounds)
{
    // A mono source mixed into stereo, panned and scaled. Played at 20 Hz it lasts 2.2 million
    // frames, more than the prepared values keep at once, so they are computed piece by piece.
    std::string data;
    for (int i = 0; i < 1000; ++i)
        data += le16((i * 7919) % 60001 - 30000);
    loadBytes(hit, dir, riff(chunk("fmt ", fmtBody(1, 44100, 16)) + chunk("data", data)));
    for (const int rate : {44100, 33075, 20}) {
        TWave mixed;
        mixed.Mix(hit, rate, 0.7, -0.4, 0.0);
        const wavaudio::TMixSource prepared = out.PrepareMix(hit, rate, 0.7, -0.4);
        ASSERT_EQ(prepared.Frames(), mixed.FrameCount()) << rate;
        ASSERT_EQ(prepared.Channels(), 2);
        std::vector<std::int32_t> scratch;
        for (const std::int64_t first : {std::int64_t{0}, prepared.Frames() / 3, prepared.Frames() - 7}) {
            const std::int32_t* values = prepared.Values(first, 7, scratch);
            for (int i = 0; i < 14; ++i)
                EXPECT_EQ(values[i], mixed.GetSample(i % 2, static_cast<std::int32_t>(first + i / 2)))
                    << rate << " frame " << first + i / 2;
        }
    }
    // What Mix leaves out, nothing is prepared for.
    EXPECT_EQ(out.PrepareMix(hit, 0, 1.0, 0.0).Frames(), 0);
    EXPECT_EQ(out.MixStartFrame(1.5), 66150);
}

} // namespace
