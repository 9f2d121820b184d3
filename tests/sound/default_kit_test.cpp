// The default kit the build synthesizes, and the other files shipped beside the program. The
// kit must load, save back byte for byte, hold the kit layout, and sound clean: peaks near
// -1 dBFS, no DC, silent ends, and each drum in its own register. Then it must sound like a
// drum kit: the measurements below read the built file and judge each sound's attack, body,
// partials and loudness.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <fstream>
#include <numbers>
#include <numeric>
#include <sstream>

#include "drum_synth.h"
#include "sound_analysis.h"
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

// ---------------------------------------------------------------------------------------------
// How the kit sounds. Levels are RMS; "first 5 ms" means frames 0..220 at 44100 Hz.

using test::bandLimited;
using test::rms;
using test::toDb;

constexpr double kRate = drumsynth::kSampleRate;

size_t frames(double seconds)
{
    return size_t(seconds * kRate);
}

std::vector<double> scaled(const std::vector<int>& s)
{
    std::vector<double> out(s.size());
    for (size_t i = 0; i < s.size(); ++i)
        out[i] = s[i] / 32768.0;
    return out;
}

// The level of `band` over frames [begin, end), relative to the level of `reference` there.
double bandRatioDb(const std::vector<double>& x, std::pair<double, double> band, std::pair<double, double> reference,
                   size_t begin, size_t end)
{
    return toDb(rms(bandLimited(x, kRate, band.first, band.second), begin, end) /
                rms(bandLimited(x, kRate, reference.first, reference.second), begin, end));
}

// The first `seconds` of a sound: measurements of its start need not filter its whole tail.
std::vector<double> head(const std::vector<double>& x, double seconds)
{
    return {x.begin(), x.begin() + ptrdiff_t(std::min(x.size(), frames(seconds)))};
}

// Loudness: the A-weighted RMS of the first 100 ms, in dB of full scale. The weighting filters
// the first 200 ms, so the window's end is weighed with what follows it.
double loudnessDb(const std::vector<double>& x)
{
    return toDb(rms(test::filtered(head(x, 0.2), kRate, test::aWeightingGain), 0, frames(0.1)));
}

// The time from the sound's loudest 10 ms until its level first lies 60 dB below that, in
// 5 ms steps.
double decaySeconds(const std::vector<double>& x)
{
    const std::vector<double> level = test::levels(x, frames(0.01), frames(0.005));
    const auto loudest = std::max_element(level.begin(), level.end());
    const auto quiet = std::find_if(loudest, level.end(), [&](double v) { return toDb(v / *loudest) <= -60; });
    return double(quiet - loudest) * 0.005;
}

// The partials of a drum after the stick's contact (from 15 ms on), strongest first.
std::vector<test::Partial> drumPartials(const std::vector<double>& x, test::Spectrum& s)
{
    s = test::spectrum(x, kRate, frames(0.015), x.size(), 16384);
    return test::partials(s, 40, 3000, 10, 0.01);
}

// How a partial's level swings around its decay: its level at `hz` in 50 ms Hann windows every
// 10 ms over 0.1 .. 1.5 s, less the straight line that fits the decay in dB. Gives the swing
// from lowest to highest in dB and the rate of the swing in Hz (half its sign changes a second).
std::pair<double, double> beating(const std::vector<double>& x, double hz)
{
    const size_t window = frames(0.05);
    std::vector<double> db;
    for (size_t begin = frames(0.1); begin + window <= std::min(x.size(), frames(1.5)); begin += frames(0.01)) {
        std::complex<double> sum;
        for (size_t i = 0; i < window; ++i) {
            const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / double(window));
            sum += x[begin + i] * hann * std::polar(1.0, -2 * std::numbers::pi * hz * double(begin + i) / kRate);
        }
        db.push_back(toDb(std::abs(sum)));
    }
    const double n = double(db.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t w = 0; w < db.size(); ++w) {
        sx += double(w);
        sy += db[w];
        sxx += double(w * w);
        sxy += double(w) * db[w];
    }
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    const double offset = (sy - slope * sx) / n;
    double low = 0, high = 0, previous = 0;
    int signChanges = 0;
    for (size_t w = 0; w < db.size(); ++w) {
        const double r = db[w] - offset - slope * double(w);
        low = std::min(low, r);
        high = std::max(high, r);
        if (w > 0 && (r < 0) != (previous < 0))
            ++signChanges;
        previous = r;
    }
    return {high - low, signChanges / 2.0 / (n * 0.01)};
}

class DefaultKitSound : public DefaultKit {
protected:
    static std::vector<double> sound(const std::string& name) { return scaled(samples(name)); }
};

// The body is the drum below 300 Hz, the beater's slap is the band 2..5 kHz; both measured over
// the first 5 ms, where the slap must be heard but not outshout the drum. The harmonics are the
// head's partials between 100 and 300 Hz once the pitch has settled (30..230 ms). The decay is
// decaySeconds above: the time to fall 60 dB from the loudest moment.
TEST_F(DefaultKitSound, TheKickHasABeaterAttackHarmonicsAndATightBody)
{
    for (const char* name : {"Kick", "Short Kick"}) {
        SCOPED_TRACE(name);
        const std::vector<double> x = sound(name);
        const double bodyOverBeaterDb = -bandRatioDb(x, {2000, 5000}, {20, 300}, 0, frames(0.005));
        EXPECT_GE(bodyOverBeaterDb, 6);
        EXPECT_LE(bodyOverBeaterDb, 10);

        const test::Spectrum s = test::spectrum(x, kRate, frames(0.03), frames(0.23), 16384);
        EXPECT_GE(s.energy(100, 300) / s.energy(20, 300), 0.15);
        EXPECT_GE(test::partials(s, 100, 300, 8, 0.01).size(), 2u);
    }
    const double kickDecay = decaySeconds(sound("Kick"));
    EXPECT_GE(kickDecay, 0.15);
    EXPECT_LE(kickDecay, 0.25);
    EXPECT_LT(decaySeconds(sound("Short Kick")), kickDecay);
}

// The fundamental is the strongest partial after the stick's contact; the overtones are the
// energy within 5% of 1.5 and 2.2 times it. The stick is the band 2..8 kHz against the drum
// below 1 kHz: heard over the first 5 ms, gone by 30..50 ms.
TEST_F(DefaultKitSound, TomsAndCongaRingWithDrumHeadOvertonesAndAShortStickAttack)
{
    for (const char* name : {"Tom1", "Tom2", "Congo"}) {
        SCOPED_TRACE(name);
        const std::vector<double> x = sound(name);
        test::Spectrum s;
        const std::vector<test::Partial> partials = drumPartials(x, s);
        const double total = s.energy(0, kRate);
        ASSERT_GE(partials.size(), 3u);
        const double f0 = partials[0].hz;
        EXPECT_LE(partials[0].power / total, 0.8) << "one partial holds the sound";
        for (const test::Partial& p : partials)
            EXPECT_GE(p.hz, f0 * 0.95) << "the strongest partial is the fundamental";
        EXPECT_GE(s.energy(f0 * 1.5 * 0.95, f0 * 1.5 * 1.05) / total, 0.04);
        EXPECT_GE(s.energy(f0 * 2.2 * 0.95, f0 * 2.2 * 1.05) / total, 0.04);

        const double stickDb = bandRatioDb(head(x, 0.2), {2000, 8000}, {20, 1000}, 0, frames(0.005));
        EXPECT_GE(stickDb, -20);
        EXPECT_LE(stickDb, 0) << "the stick outshouts the drum";
        const std::vector<double> stick = bandLimited(head(x, 0.2), kRate, 2000, 8000);
        EXPECT_LE(toDb(rms(stick, frames(0.03), frames(0.05)) / rms(stick, 0, frames(0.005))), -30);
    }
    test::Spectrum s;
    EXPECT_LT(drumPartials(sound("Tom2"), s).at(0).hz, drumPartials(sound("Tom1"), s).at(0).hz) << "Tom2 is the lower tom";
}

// Wood rings at modes that are not harmonics of one pitch: every partial holding 1% of the
// energy lies at least 3% away from any multiple of a half or a third of the strongest one.
TEST_F(DefaultKitSound, TheBlockRingsWithInharmonicPartials)
{
    const std::vector<double> x = sound("Block");
    const std::vector<test::Partial> partials = test::partials(test::spectrum(x, kRate, 0, x.size(), 16384), 200, 12000, 30, 0.01);
    ASSERT_GE(partials.size(), 3u);
    for (size_t k = 1; k < partials.size(); ++k) {
        const double ratio = partials[k].hz / partials[0].hz;
        SCOPED_TRACE(partials[k].hz);
        for (double divisor : {1.0, 2.0, 3.0}) {
            const double nearest = std::round(ratio * divisor) / divisor;
            EXPECT_GT(std::abs(ratio / nearest - 1), 0.03) << "ratio " << ratio << " is harmonic";
        }
    }
}

TEST_F(DefaultKitSound, TheRimshotCracksBetweenTwoAndSixKilohertz)
{
    const test::Spectrum s = test::spectrum(sound("Rimshot"), kRate, 0, frames(0.01), 4096);
    EXPECT_GE(s.energy(2000, 6000) / s.energy(0, kRate), 0.4);
}

// Over 0.1..1.1 s the crash shows narrow partials that stand out of its wash while holding
// less than half of its energy, and its strongest partials swing by 6 dB or more at a slow
// rate (0.5..8 Hz), as split modes beat.
TEST_F(DefaultKitSound, TheCrashShimmersWithSlowlyBeatingPartialsUnderItsNoise)
{
    const std::vector<double> x = sound("Cymbol1");
    const test::Spectrum s = test::spectrum(x, kRate, frames(0.1), frames(1.1), 65536);
    const std::vector<test::Partial> partials = test::partials(s, 200, 12000, 6, 0.002);
    ASSERT_GE(partials.size(), 8u);
    double partialPower = 0;
    for (const test::Partial& p : partials)
        partialPower += p.power;
    EXPECT_LT(partialPower / s.energy(0, kRate), 0.5);
    int beatingPartials = 0;
    for (size_t k = 0; k < 6; ++k) {
        const auto [swingDb, rateHz] = beating(x, partials[k].hz);
        if (swingDb >= 6 && rateHz >= 0.5 && rateHz <= 8)
            ++beatingPartials;
    }
    EXPECT_GE(beatingPartials, 4);
}

// The drums (kicks, snare, toms and conga) lie within 4 dB of each other; hats and cymbals lie
// 3 to 8 dB below the drums' mean level in dB.
TEST_F(DefaultKitSound, DrumsAreEvenlyLoudAndCymbalsSitBelowThem)
{
    std::vector<double> drums;
    for (const char* name : {"Kick", "Short Kick", "Snare", "Tom1", "Tom2", "Congo"})
        drums.push_back(loudnessDb(sound(name)));
    const auto [softest, loudest] = std::minmax_element(drums.begin(), drums.end());
    EXPECT_LE(*loudest - *softest, 4);
    const double drumsDb = std::accumulate(drums.begin(), drums.end(), 0.0) / double(drums.size());
    for (const char* name : {"ClsHiat", "OpHiat", "Cymbol1", "Cymbol2"}) {
        SCOPED_TRACE(name);
        const double below = drumsDb - loudnessDb(sound(name));
        EXPECT_GE(below, 3);
        EXPECT_LE(below, 8);
    }
}

// The measuring tools themselves, on signals whose answers are known.
TEST(SoundAnalysis, SeparatesBandsFindsPartialsAndWeighsLikeTheEar)
{
    std::vector<double> x(frames(0.5));
    for (size_t i = 0; i < x.size(); ++i) {
        const double t = double(i) / kRate;
        x[i] = 0.5 * std::sin(2 * std::numbers::pi * 100 * t) + 0.25 * std::sin(2 * std::numbers::pi * 1000 * t);
    }
    // Each band keeps its own sine: RMS amplitude / sqrt(2).
    EXPECT_NEAR(rms(bandLimited(x, kRate, 50, 200), frames(0.1), frames(0.4)), 0.5 / std::sqrt(2.0), 0.005);
    EXPECT_NEAR(rms(bandLimited(x, kRate, 500, 2000), frames(0.1), frames(0.4)), 0.25 / std::sqrt(2.0), 0.003);

    const test::Spectrum s = test::spectrum(x, kRate, 0, x.size(), 32768);
    EXPECT_NEAR(s.energy(500, 2000) / s.energy(50, 200), 0.25, 0.01);
    const std::vector<test::Partial> partials = test::partials(s, 20, 5000, 10, 0.05);
    ASSERT_EQ(partials.size(), 2u);
    EXPECT_NEAR(partials[0].hz, 100, 1);
    EXPECT_NEAR(partials[1].hz, 1000, 1);

    // The A-weighting's published values: 0 dB at 1 kHz, -19.1 dB at 100 Hz, -2.5 dB at 10 kHz.
    EXPECT_NEAR(toDb(test::aWeightingGain(1000)), 0, 0.05);
    EXPECT_NEAR(toDb(test::aWeightingGain(100)), -19.1, 0.1);
    EXPECT_NEAR(toDb(test::aWeightingGain(10000)), -2.5, 0.1);
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
