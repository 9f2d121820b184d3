// The drum kits the build plays from the sound font, read as the program reads them: each loads
// as a kit of seventeen sounds in the kit layout and saves back to its own bytes, and every one of
// its instruments sounds: loud enough to hear, at once, with headroom, and ending in silence.
// How the drums sound is measured for the closing figures (bench/kit_library_bench), not judged
// here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/kit_files.h"
#include "sound/wave.h"
#include "sound/wave_collection.h"

namespace groovane {
namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<std::string> kitFiles()
{
    return splitKitFiles(GROOVANE_KIT_FILES);
}

std::vector<int> samplesOf(const TWave& wave)
{
    std::vector<int> out(size_t(wave.Size() / 2));
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = int16_t(uint16_t(wave.Data()[2 * i] | wave.Data()[2 * i + 1] << 8));
    return out;
}

int peakOf(const std::vector<int>& s, size_t begin = 0, size_t end = SIZE_MAX)
{
    int peak = 0;
    for (size_t i = begin; i < std::min(end, s.size()); ++i)
        peak = std::max(peak, std::abs(s[i]));
    return peak;
}

double dbfs(int peak)
{
    return 20 * std::log10(peak / 32768.0);
}

const char* const kNames[16] = {"Kick",    "Short Kick", "Snare",  "ClsHiat", "OpHiat", "Tom1",    "Tom2",  "Cymbol1",
                                "Cymbol2", "Rimshot",    "Shaker", "Block",   "Congo",  "Cowbell", "Crack", "Tamb"};

class KitLibrary : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        bytes = readAll(GetParam());
        ASSERT_FALSE(bytes.empty()) << GetParam();
        TMemoryStream stream(bytes);
        kit.LoadFromStream(stream);
    }
    std::string bytes;
    TWaveCollection kit;
};

TEST_P(KitLibrary, LoadsInTheKitLayoutAndSavesBackByteForByte)
{
    EXPECT_EQ(kit.KitBytes(), bytes);
    ASSERT_EQ(kit.Count(), 17);
    EXPECT_EQ(kit.Items(0).Name(), "");
    // Sound 0 is the blank sound, the same image as the shipped Blank.wav.
    EXPECT_EQ(kit.Items(0).Wave().PropertyBytes(), readAll(std::string(GROOVANE_SOURCE_DATA) + "/Blank.wav"));
    for (int i = 1; i <= 16; ++i) {
        const TWaveCollectionItem& item = kit.Items(i);
        EXPECT_EQ(item.Name(), kNames[i - 1]);
        EXPECT_FALSE(item.Looped());
        ASSERT_EQ(item.Wave().FormatSize(), 18);
        const WaveFormatEx f = formatRecordFromBytes(item.Wave().Format(), 18);
        EXPECT_EQ(f.wFormatTag, 1);
        EXPECT_EQ(f.nSamplesPerSec, 44100u);
        EXPECT_EQ(f.wBitsPerSample, 16);
        EXPECT_EQ(f.nChannels, 1);
    }
}

// Every instrument reaches -30 dBFS or more and sounds at once, on the step it is placed on: its
// first 15 ms come within 20 dB of its peak (a crash swells on after its strike, a clap's
// loudest clap comes some 30 ms in, a shaker's stroke takes a moment). Nothing peaks above
// -6 dBFS and the louder of kick and snare peaks near -9 dBFS, which leaves room for the hits of
// a song to pile up. The sound ends in silence, also where the font's recording stops short: its
// last sample is zero, its last millisecond lies 40 dB or more under the peak, and no instrument
// rings longer than 8 s.
TEST_P(KitLibrary, EveryInstrumentSoundsAtOnceWithHeadroomAndEndsInSilence)
{
    int drums = 0;
    for (const char* name : kNames) {
        SCOPED_TRACE(name);
        const std::vector<int> s = samplesOf(kit.Find(name).Wave());
        ASSERT_GT(s.size(), 441u) << "shorter than 10 ms";
        EXPECT_LT(s.size(), 8u * 44100u);
        const int peak = peakOf(s);
        EXPECT_GE(dbfs(peak), -30);
        EXPECT_LE(dbfs(peak), -5.9);
        EXPECT_GE(dbfs(peakOf(s, 0, 661)) - dbfs(peak), -20);
        EXPECT_EQ(s.back(), 0);
        EXPECT_LE(dbfs(peakOf(s, s.size() - 44)) - dbfs(peak), -40);
        if (std::string(name) == "Kick" || std::string(name) == "Snare")
            drums = std::max(drums, peak);
    }
    EXPECT_GE(dbfs(drums), -10);
    EXPECT_LE(dbfs(drums), -8.9);
}

INSTANTIATE_TEST_SUITE_P(Kits, KitLibrary, ::testing::ValuesIn(kitFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param.substr(info.param.find_last_of('/') + 1);
                             name = name.substr(0, name.find('_'));
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

TEST(ShippedFiles, PanningFileHolds17ZeroLines)
{
    std::string expected;
    for (int i = 0; i < 17; ++i)
        expected += "0\r\n";
    EXPECT_EQ(readAll(std::string(GROOVANE_SOURCE_DATA) + "/Panning.dat"), expected);
}

} // namespace
} // namespace groovane
