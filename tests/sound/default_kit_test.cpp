// The default kit the build synthesizes, and the other files shipped beside the program. The
// kit must load, save back byte for byte, hold the kit layout, and sound clean: peaks near
// -1 dBFS, no DC, silent ends, and each drum in its own register.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "drum_synth.h"
#include "wave.h"
#include "wave_collection.h"

namespace groovane {
namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<int> samplesOf(const TWave& wave)
{
    std::vector<int> out(size_t(wave.Size() / 2));
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = int16_t(uint16_t(wave.Data()[2 * i] | wave.Data()[2 * i + 1] << 8));
    return out;
}

// Zero crossings per second: low for drums with a low pitch, high for noisy metal.
double crossingsPerSecond(const std::vector<int>& s)
{
    int crossings = 0;
    for (size_t i = 1; i < s.size(); ++i)
        if ((s[i - 1] < 0) != (s[i] < 0))
            ++crossings;
    return crossings * double(drumsynth::kSampleRate) / double(s.size());
}

class DefaultKit : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        kitBytes_ = new std::string(readAll(GROOVANE_DEFAULT_KIT));
        kit_ = new TWaveCollection;
        TMemoryStream stream(*kitBytes_);
        kit_->LoadFromStream(stream);
    }
    static void TearDownTestSuite()
    {
        delete kit_;
        delete kitBytes_;
    }
    static std::vector<int> samples(const std::string& name) { return samplesOf(kit_->Find(name).Wave()); }

    static std::string* kitBytes_;
    static TWaveCollection* kit_;
};

std::string* DefaultKit::kitBytes_ = nullptr;
TWaveCollection* DefaultKit::kit_ = nullptr;

TEST_F(DefaultKit, TheBuiltFileLoadsAndSavesBackByteForByte)
{
    ASSERT_FALSE(kitBytes_->empty());
    EXPECT_EQ(kit_->KitBytes(), *kitBytes_);

    // The synthesis is deterministic: a fresh kit gives the same bytes as the build did.
    TWaveCollection fresh;
    drumsynth::buildDefaultKit(fresh);
    EXPECT_EQ(fresh.KitBytes(), *kitBytes_);
}

TEST_F(DefaultKit, HoldsTheKitLayout)
{
    ASSERT_EQ(kit_->Count(), 17);
    EXPECT_EQ(kit_->Items(0).Name(), "");
    const auto& names = drumsynth::instrumentNames();
    for (int i = 1; i <= 16; ++i) {
        const TWaveCollectionItem& item = kit_->Items(i);
        EXPECT_EQ(item.Name(), names[size_t(i - 1)]);
        EXPECT_FALSE(item.Looped());
        ASSERT_EQ(item.Wave().FormatSize(), 18);
        const WaveFormatEx f = formatRecordFromBytes(item.Wave().Format(), 18);
        EXPECT_EQ(f.nSamplesPerSec, 44100u);
        EXPECT_EQ(f.wBitsPerSample, 16);
        EXPECT_EQ(f.nChannels, 1);
        EXPECT_GT(item.Wave().Size(), 0);
    }
    // Sound 0 is the blank sound, the same image as the shipped Blank.wav.
    EXPECT_EQ(kit_->Items(0).Wave().PropertyBytes(), readAll(std::string(GROOVANE_SOURCE_DATA) + "/Blank.wav"));
    for (int v : samplesOf(kit_->Items(0).Wave()))
        ASSERT_EQ(v, 0);
}

TEST_F(DefaultKit, EverySoundPeaksNearMinusOneDbWithoutDcAndEndsSilently)
{
    for (const std::string& name : drumsynth::instrumentNames()) {
        SCOPED_TRACE(name);
        const std::vector<int> s = samples(name);
        int peak = 0;
        double sum = 0;
        for (int v : s) {
            peak = std::max(peak, std::abs(v));
            sum += v;
        }
        const double peakDb = 20 * std::log10(peak / 32768.0);
        EXPECT_NEAR(peakDb, -1.0, 0.1);
        EXPECT_LT(std::abs(sum / double(s.size())), 2.0) << "DC offset";
        EXPECT_EQ(s.front(), 0);
        EXPECT_EQ(s.back(), 0);
        // The last millisecond fades out: no cut-off click.
        int tail = 0;
        for (size_t i = s.size() - 44; i < s.size(); ++i)
            tail = std::max(tail, std::abs(s[i]));
        EXPECT_LT(tail, peak / 100);
        // Sounds start at once: the first 5 ms already reach a tenth of the peak.
        int attack = 0;
        for (size_t i = 0; i < 220; ++i)
            attack = std::max(attack, std::abs(s[i]));
        EXPECT_GT(attack, peak / 10);
    }
}

TEST_F(DefaultKit, DrumsSitInTheirOwnRegisters)
{
    const double kick = crossingsPerSecond(samples("Kick"));
    const double tom1 = crossingsPerSecond(samples("Tom1"));
    const double tom2 = crossingsPerSecond(samples("Tom2"));
    EXPECT_LT(kick, 400);
    EXPECT_LT(tom2, tom1) << "Tom2 is the lower tom";
    for (const char* metal : {"ClsHiat", "OpHiat", "Cymbol1", "Cymbol2", "Tamb", "Shaker"})
        EXPECT_GT(crossingsPerSecond(samples(metal)), 5000) << metal;
    // Open hats and cymbals ring longer than the closed hat and the short kick.
    EXPECT_GT(samples("OpHiat").size(), 3 * samples("ClsHiat").size());
    EXPECT_GT(samples("Cymbol1").size(), samples("OpHiat").size());
    EXPECT_LT(samples("Short Kick").size(), samples("Kick").size());
}

TEST(ShippedFiles, PanningFileHolds17ZeroLines)
{
    std::string expected;
    for (int i = 0; i < 17; ++i)
        expected += "0\r\n";
    EXPECT_EQ(readAll(std::string(GROOVANE_SOURCE_DATA) + "/Panning.dat"), expected);
}

} // namespace
} // namespace groovane
