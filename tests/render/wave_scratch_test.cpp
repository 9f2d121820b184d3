// Scratch mode: the output's bytes in a file with a window in memory. The differential tests run
// the same mixes into a memory-mode wave and a scratch-mode wave; the two must agree byte for byte,
// including mixes that run across the end of a window.
#include "wav_bytes.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace groovane;
using namespace groovane::test;
using groovane::wavaudio::TWave;

namespace {

// Deterministic full-scale noise, so that overlapping mixes clip.
std::string noise16(int samples, std::uint32_t seed)
{
    std::string out;
    for (int i = 0; i < samples; ++i) {
        seed = seed * 1664525u + 1013904223u;
        out += le16(static_cast<int>(seed >> 16));
    }
    return out;
}

std::string wav(int channels, std::uint32_t rate, int bits, const std::string& body)
{
    return riff(chunk("fmt ", fmtBody(channels, rate, bits)) + chunk("data", body));
}

struct DestFormat {
    const char* name;
    int channels;
    int bits;
};

void PrintTo(const DestFormat& format, std::ostream* os)
{
    *os << format.name;
}

class ScratchVersusMemoryTest : public ::testing::TestWithParam<DestFormat> {
protected:
    void SetUp() override
    {
        const DestFormat& format = GetParam();
        loadBytes(memory, dir, wav(format.channels, 44100, format.bits, ""), "dest.wav");
        scratch.LoadFromFile(dir.file("dest.wav"));
        scratch.SetScratchFileName(dir.file("work1.tmp"));
        scratch.SetScratchMode(true);

        loadBytes(drum, dir, wav(1, 44100, 16, noise16(3000, 1)), "drum.wav");
        loadBytes(pad, dir, wav(2, 22050, 16, noise16(2 * 260000, 2)), "pad.wav");
        std::string bytes8;
        for (int i = 0; i < 500; ++i)
            bytes8 += static_cast<char>(i * 37);
        loadBytes(chirp, dir, wav(1, 11025, 8, bytes8), "chirp.wav");
    }

    void mixBoth(const TWave& source, int rate, double volume, double pan, double start)
    {
        memory.Mix(source, rate, volume, pan, start);
        scratch.Mix(source, rate, volume, pan, start);
        ASSERT_EQ(memory.FrameCount(), scratch.FrameCount());
    }

    void expectSameBytes()
    {
        memory.SaveToFile(dir.file("memory.wav"));
        scratch.SaveToFile(dir.file("scratch.wav"));
        const std::string saved = dir.read("memory.wav");
        EXPECT_EQ(saved.size(), 44 + memory.Data().size());
        EXPECT_TRUE(saved == dir.read("scratch.wav")) << "saved files differ";
        for (std::int32_t f = 0; f < memory.FrameCount(); f += 997)
            ASSERT_EQ(memory.GetSample(1, f), scratch.GetSample(1, f)) << "frame " << f;
    }

    TempFolder dir;
    TWave memory;
    TWave scratch;
    TWave drum;  // 3000 frames, mono, 44100 Hz
    TWave pad;   // 260000 frames, stereo, 22050 Hz: 520000 output frames, longer than a window
    TWave chirp; // 500 frames, 8 bits, 11025 Hz
};

TEST_P(ScratchVersusMemoryTest, SameMixesGiveTheSameBytes)
{
    mixBoth(drum, 44100, 0.9, -0.3, 0.0);
    mixBoth(drum, 44100, 1.7, 0.6, 0.01); // overlaps and clips
    mixBoth(pad, 22050, 0.8, 0.0, 0.05);  // one mix across the end of its window
    mixBoth(chirp, 8000, 1.0, 2.0, 15.0); // beyond the end: silence first
    mixBoth(drum, 30000, 1.0, -0.5, -0.02);
    EXPECT_EQ(scratch.WindowStart(), TWave::kNoWindow);
    EXPECT_TRUE(scratch.Data().empty());
    expectSameBytes();
}

TEST_P(ScratchVersusMemoryTest, MixRunningOutOfAnOpenWindowMovesIt)
{
    mixBoth(drum, 44100, 1.0, 0.0, 0.0);
    // A sample set by hand opens a window at frame 100; the next mix starts inside it and runs
    // past its last frame, 500099.
    memory.SetSample(0, 100, 1234);
    scratch.SetSample(0, 100, 1234);
    EXPECT_EQ(scratch.WindowStart(), 100);
    mixBoth(drum, 44100, 1.0, 0.0, 498500 / 44100.0);
    mixBoth(drum, 44100, 1.0, 1.0, 498600 / 44100.0);
    EXPECT_EQ(memory.FrameCount(), 501600);
    expectSameBytes();
}

INSTANTIATE_TEST_SUITE_P(Formats, ScratchVersusMemoryTest,
                         ::testing::Values(DestFormat{"stereo16", 2, 16}, DestFormat{"mono16", 1, 16},
                                           DestFormat{"stereo8", 2, 8}));

class ScratchModeTest : public ::testing::Test {
protected:
    void SetUp() override { wave.SetScratchFileName(dir.file("work1.tmp")); }

    std::uintmax_t scratchSize() const { return std::filesystem::file_size(dir.path() / "work1.tmp"); }

    TempFolder dir;
    TWave wave;
};

TEST_F(ScratchModeTest, BytesMoveToTheFileAndBack)
{
    loadBytes(wave, dir, wav16(2, 44100, {1, 2, 3, 4}));
    wave.SetScratchMode(true);
    EXPECT_TRUE(wave.HasScratchFile());
    EXPECT_TRUE(wave.Data().empty());
    EXPECT_EQ(dir.read("work1.tmp"), samples16({1, 2, 3, 4}));
    EXPECT_EQ(wave.GetSample(1, 1), 4);

    // A sample set by hand lives in the window until something writes the window back.
    wave.SetSample(0, 1, 30);
    EXPECT_EQ(wave.WindowStart(), 1);
    EXPECT_EQ(wave.GetSample(0, 1), 30);
    EXPECT_EQ(dir.read("work1.tmp"), samples16({1, 2, 3, 4}));

    wave.SaveToFile(dir.file("out.wav"));
    EXPECT_EQ(dir.read("out.wav"), wav16(2, 44100, {1, 2, 30, 4}));

    wave.SetSample(1, 0, 20);
    wave.SetScratchMode(false);
    EXPECT_FALSE(wave.HasScratchFile());
    EXPECT_EQ(allSamples(wave), (std::vector<int>{1, 20, 30, 4}));
    // The scratch file stays on disk.
    EXPECT_EQ(dir.read("work1.tmp"), samples16({1, 20, 30, 4}));
}

TEST_F(ScratchModeTest, WriteOutsideTheWindowWritesItBackAndOpensANewOne)
{
    wave.SetScratchMode(true);
    wave.SetSample(0, 0, 111);
    EXPECT_EQ(wave.WindowStart(), 0);
    wave.SetSample(0, 600000, 222);
    EXPECT_EQ(wave.WindowStart(), 600000);
    EXPECT_EQ(wave.FrameCount(), 600001);
    // The file grew with silence up to the new sample, which waits in the window.
    EXPECT_EQ(scratchSize(), 600000u * 4);
    EXPECT_EQ(wave.GetSample(0, 0), 111);
    EXPECT_EQ(wave.GetSample(1, 0), 0);
    EXPECT_EQ(wave.GetSample(0, 300000), 0);
    EXPECT_EQ(wave.GetSample(0, 600000), 222);

    wave.SaveToFile(dir.file("out.wav"));
    // Only the written sample of the last frame is there: its right channel was never set.
    EXPECT_EQ(std::filesystem::file_size(dir.path() / "out.wav"), 44u + 600000u * 4 + 2);

    // Back near the start: the new window holds no more than 500000 frames of the file.
    wave.SetSample(1, 600000, 444);
    wave.SetSample(1, 1, 333);
    EXPECT_EQ(wave.WindowStart(), 1);
    EXPECT_EQ(wave.Data().size(), 500000u * 4);
    EXPECT_EQ(wave.GetSample(0, 600000), 222);
    EXPECT_EQ(wave.GetSample(1, 600000), 444);
    EXPECT_EQ(wave.GetSample(1, 1), 333);
}

TEST_F(ScratchModeTest, MonoSampleWrittenAtTheEndCountsAtOnce)
{
    TWave memory;
    loadBytes(memory, dir, wav(1, 44100, 16, ""));
    loadBytes(wave, dir, wav(1, 44100, 16, ""));
    wave.SetScratchMode(true);
    for (TWave* w : {&memory, &wave}) {
        w->SetSample(0, 0, 5);
        EXPECT_EQ(w->FrameCount(), 1);
        EXPECT_EQ(w->GetSample(0, 0), 5);
        w->SetSample(0, 1, 6);
        w->SetSample(0, 2, 7);
        EXPECT_EQ(w->FrameCount(), 3);
        EXPECT_EQ(allSamples(*w), (std::vector<int>{5, 6, 7}));
    }
}

TEST_F(ScratchModeTest, ScratchFileOutlivesTheWaveWithEveryMixedSample)
{
    TWave hit;
    loadBytes(hit, dir, wav16(2, 44100, {5, 6, 7, 8}));
    {
        TWave out;
        out.SetScratchFileName(dir.file("work1.tmp"));
        out.SetScratchMode(true);
        out.Mix(hit, 44100, 1.0, 0.0, 1 / 44100.0);
        out.SetSample(0, 3, 9); // left in the window
    }
    EXPECT_EQ(dir.read("work1.tmp"), samples16({0, 0, 5, 6, 7, 8, 9}));
}

TEST_F(ScratchModeTest, LoadingInScratchModeWritesTheDataToTheScratchFile)
{
    wave.SetScratchMode(true);
    wave.SetSample(0, 5, 77); // an open window over the old data
    loadBytes(wave, dir, wav16(1, 8000, {1, 2, 3}));
    EXPECT_EQ(wave.WindowStart(), TWave::kNoWindow);
    EXPECT_EQ(dir.read("work1.tmp"), samples16({1, 2, 3}));
    EXPECT_EQ(allSamples(wave), (std::vector<int>{1, 2, 3}));
    wave.Mix(wave, 8000, 1.0, 0.0, 0.0);
    EXPECT_EQ(dir.read("work1.tmp"), samples16({2, 4, 6}));
}

TEST_F(ScratchModeTest, ScratchFileThatCannotBeCreatedLeavesMemoryMode)
{
    loadBytes(wave, dir, wav16(2, 44100, {1, 2}));
    wave.SetScratchFileName(dir.file("missing/work1.tmp"));
    EXPECT_THROW(wave.SetScratchMode(true), EFileError);
    EXPECT_FALSE(wave.ScratchMode());
    EXPECT_EQ(allSamples(wave), (std::vector<int>{1, 2}));
}

} // namespace
