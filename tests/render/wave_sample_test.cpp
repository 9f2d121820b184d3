// Single samples: the rounding rule, byte addressing, 8-bit conversion and the writes that
// extend a wave.
#include "render/rounding.h"
#include "wav_bytes.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace groovane;
using namespace groovane::test;
using groovane::wavaudio::roundHalfEven;
using groovane::wavaudio::TWave;

namespace {

TEST(RoundHalfEvenTest, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(roundHalfEven(0.5), 0.0);
    EXPECT_EQ(roundHalfEven(1.5), 2.0);
    EXPECT_EQ(roundHalfEven(2.5), 2.0);
    EXPECT_EQ(roundHalfEven(-0.5), 0.0);
    EXPECT_EQ(roundHalfEven(-1.5), -2.0);
    EXPECT_EQ(roundHalfEven(-2.5), -2.0);
    EXPECT_EQ(roundHalfEven(32766.5), 32766.0);
    // Just off a half goes to the nearer side, whatever the parity.
    EXPECT_EQ(roundHalfEven(std::nextafter(0.5, 0.0)), 0.0);
    EXPECT_EQ(roundHalfEven(std::nextafter(2.5, 3.0)), 3.0);
    EXPECT_EQ(roundHalfEven(-1.4999999), -1.0);
}

class WaveSampleTest : public ::testing::Test {
protected:
    TempFolder dir;
    TWave wave;
};

TEST_F(WaveSampleTest, EightBitBytesReadAsScaledSignedValues)
{
    loadBytes(wave, dir, riff(chunk("fmt ", fmtBody(1, 8000, 8)) + chunk("data", std::string("\x00\x80\xff\x81", 4))));
    EXPECT_EQ(allSamples(wave), (std::vector<int>{-32640, 0, 32385, 255}));
}

TEST_F(WaveSampleTest, EightBitWritesRoundAndSaturate)
{
    loadBytes(wave, dir, riff(chunk("fmt ", fmtBody(1, 8000, 8)) + chunk("data", std::string(8, '\x80'))));
    const int values[] = {-32640, 32385, 127, 128, 383, -383, 40000, -40000};
    for (int f = 0; f < 8; ++f)
        wave.SetSample(0, f, values[f]);
    // 127/255 rounds down, 128/255 and 383/255 up; out-of-range values stop at 0 and 255.
    EXPECT_EQ(wave.Data(), (std::vector<std::uint8_t>{0, 255, 128, 129, 130, 126, 255, 0}));
}

TEST_F(WaveSampleTest, SixteenBitWritesKeepTheLow16Bits)
{
    loadBytes(wave, dir, wav16(1, 8000, {0, 0}));
    wave.SetSample(0, 0, 0x12345);
    wave.SetSample(0, 1, -32769);
    EXPECT_EQ(wave.GetSample(0, 0), 0x2345);
    EXPECT_EQ(wave.GetSample(0, 1), 32767);
}

TEST_F(WaveSampleTest, OffsetsOfOddBitDepthsRoundHalfToEven)
{
    // 12-bit stereo, 3 bytes a frame: channel 1 of frame 0 sits at round(1.5) = 2 and of frame
    // 1 at round(4.5) = 4, each read as a 16-bit value.
    std::string body = "\x01\x02\x03\x04\x05\x06\x07\x08\x09";
    loadBytes(
        wave, dir,
        riff(chunk("fmt ", le16(1) + le16(2) + le32(8000) + le32(24000) + le16(3) + le16(12)) + chunk("data", body)));
    EXPECT_EQ(wave.FrameCount(), 3);
    EXPECT_EQ(wave.GetSample(1, 0), 0x0403);
    EXPECT_EQ(wave.GetSample(1, 1), 0x0605);
    EXPECT_EQ(wave.GetSample(0, 2), 0x0807);
    // The last sample's high byte lies past the end and reads as zero.
    EXPECT_EQ(wave.GetSample(1, 2), 0x09);
}

TEST_F(WaveSampleTest, ChannelEqualToTheCountAddressesTheNextFrame)
{
    loadBytes(wave, dir, wav16(1, 8000, {10, 20, 30}));
    EXPECT_EQ(wave.GetSample(1, 0), 20);
    EXPECT_EQ(wave.GetSample(1, 2), 0) << "past the end of the data";
    EXPECT_EQ(wave.GetSample(2, 0), 0) << "above the channel count";
    EXPECT_EQ(wave.GetSample(-1, 1), 0);
    EXPECT_EQ(wave.GetSample(0, -1), 0);
    EXPECT_EQ(wave.GetSample(0, 3), 0);

    wave.SetSample(1, 0, 99);
    EXPECT_EQ(wave.GetSample(0, 1), 99);
    wave.SetSample(2, 0, 1);
    wave.SetSample(0, -1, 1);
    wave.SetSample(-1, 0, 1);
    EXPECT_EQ(allSamples(wave), (std::vector<int>{10, 99, 30}));
}

TEST_F(WaveSampleTest, WritesPastTheEndExtendWithSilenceInMemory)
{
    loadBytes(wave, dir, riff(chunk("fmt ", fmtBody(2, 8000, 8)) + chunk("data", "\x90\x70")));
    wave.SetSample(1, 3, 255 * 10);
    EXPECT_EQ(wave.FrameCount(), 4);
    EXPECT_EQ(wave.Data(), (std::vector<std::uint8_t>{0x90, 0x70, 128, 128, 128, 128, 128, 138}));
}

} // namespace
