// Writes the drum kits that ship beside the program: "Rock_kit.dxg", the default kit loaded at
// start, and the other kits of the library, each "<name>_kit.dxg". Every sound is a recorded drum
// of a General MIDI sound font's percussion presets, played as one note into memory by FluidSynth,
// dry (no reverb, no chorus), at 44100 Hz, mixed to mono and stored as 16-bit samples. A kit is
// written through the program's own kit writer: sound 0 unnamed with "Blank.wav"'s sound, then the
// sixteen instruments in the order of the instrument list.
//
// Levels: one gain for the whole kit, so the font's own balance between its instruments stays;
// the louder of kick and snare peaks at -9 dBFS, and no instrument above -6 dBFS. Hits that sound
// together pile up: with kick and snare at -6 dBFS the demo song reaches full scale with five of
// the eight kits (the orchestra's long concert bass drum overlapping itself the most); at -9 dBFS
// it peaks between -5.3 and -1.4 dBFS.
//
// The files are the same on every build: each note is played by a synthesizer of its own on one
// thread, with nothing random, and the samples are rounded here, not dithered.
//
// Run by the build:  make_kits <sound font> <blank wav> <folder> <kit>...
// where each kit is a name of the table below ("Rock", "Jazz", ...).
#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "sound/wave.h"
#include "sound/wave_collection.h"

namespace {

using groovane::TWave;
using groovane::TWaveCollection;

constexpr int kSampleRate = 44100;
// General MIDI's percussion bank and channel.
constexpr int kDrumBank = 128;
constexpr int kDrumChannel = 9;
// One velocity for every note: the font plays its recordings unfiltered at full velocity.
constexpr int kVelocity = 127;
// The synthesizer works in blocks of this many frames.
constexpr int kBlockFrames = 64;
// A note is played until its voices have ended, but never longer than this.
constexpr int kLongestFrames = 12 * kSampleRate;
// The tail after the last sample within 60 dB of the peak is silence and is cut. The last 10 ms
// before the cut fade to zero, so a sound always ends on silence, also where the font's own
// recording stops short of it.
const double kTrimLevel = std::pow(10.0, -60.0 / 20.0);
constexpr int kFadeFrames = kSampleRate / 100;
const double kDrumPeak = std::pow(10.0, -9.0 / 20.0);
const double kLoudestPeak = std::pow(10.0, -6.0 / 20.0);

// The instruments in kit order and the General MIDI note each plays in a standard kit.
struct Instrument {
    const char* name;
    int note;
};
constexpr std::array<Instrument, 16> kInstruments{{
    {"Kick", 36},       // bass drum 1
    {"Short Kick", 35}, // acoustic bass drum
    {"Snare", 38},      // acoustic snare
    {"ClsHiat", 42},    // closed hi-hat
    {"OpHiat", 46},     // open hi-hat
    {"Tom1", 48},       // high-mid tom
    {"Tom2", 45},       // low tom
    {"Cymbol1", 49},    // crash cymbal 1
    {"Cymbol2", 51},    // ride cymbal 1
    {"Rimshot", 37},    // side stick
    {"Shaker", 70},     // maracas: the font's shaker (82) swells for 35 ms, late on the grid
    {"Block", 76},      // high wood block
    {"Congo", 63},      // open high conga
    {"Cowbell", 56},    // cowbell
    {"Crack", 39},      // hand clap
    {"Tamb", 54},       // tambourine
}};

struct Kit {
    int preset;
    // Instruments that this preset keeps on other notes than a standard kit.
    std::map<std::string, int> notes;
};

// The kits by the name their file carries. "Rock" is the font's standard kit. The orchestra kit
// keeps its hi-hats below the bass drums and has concert cymbals in place of crash and ride; its
// toms are timpani.
const std::map<std::string, Kit>& kits()
{
    static const std::map<std::string, Kit> table{
        {"Rock", {0, {}}},    {"Room", {8, {}}},
        {"Power", {16, {}}},  {"Electronic", {24, {}}},
        {"TR-808", {25, {}}}, {"Jazz", {32, {}}},
        {"Brush", {40, {}}},  {"Orchestra", {48, {{"ClsHiat", 27}, {"OpHiat", 29}, {"Cymbol1", 57}, {"Cymbol2", 59}}}},
    };
    return table;
}

// Plays notes of the sound font. Each note gets a synthesizer of its own, made afresh: one that
// has played before keeps traces of it in its voices (a note played twice on one synthesizer
// comes out different), and a kit must not depend on what was played before it. The font's
// samples are loaded as presets need them, so a fresh synthesizer costs little.
class Synthesizer {
public:
    explicit Synthesizer(std::string soundFont) : soundFont_(std::move(soundFont))
    {
        // Only errors reach stderr; the build stays quiet otherwise.
        for (int level : {FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, nullptr, nullptr);
    }

    // One note of a percussion preset, held until it has died away: the mono mix of both
    // channels, in the synthesizer's own scale.
    std::vector<double> play(int preset, int note) const
    {
        const std::unique_ptr<fluid_settings_t, void (*)(fluid_settings_t*)> settings(new_fluid_settings(),
                                                                                      delete_fluid_settings);
        if (!settings)
            throw std::runtime_error("cannot make the synthesizer's settings");
        fluid_settings_setnum(settings.get(), "synth.sample-rate", kSampleRate);
        fluid_settings_setint(settings.get(), "synth.reverb.active", 0);
        fluid_settings_setint(settings.get(), "synth.chorus.active", 0);
        fluid_settings_setint(settings.get(), "synth.cpu-cores", 1);
        fluid_settings_setint(settings.get(), "synth.dynamic-sample-loading", 1);
        const std::unique_ptr<fluid_synth_t, void (*)(fluid_synth_t*)> synth(new_fluid_synth(settings.get()),
                                                                             delete_fluid_synth);
        if (!synth)
            throw std::runtime_error("cannot make the synthesizer");
        const int font = fluid_synth_sfload(synth.get(), soundFont_.c_str(), 0);
        if (font == FLUID_FAILED)
            throw std::runtime_error("cannot load the sound font " + soundFont_);
        if (fluid_synth_program_select(synth.get(), kDrumChannel, font, kDrumBank, preset) != FLUID_OK)
            throw std::runtime_error("the sound font has no drum preset " + std::to_string(preset));
        if (fluid_synth_noteon(synth.get(), kDrumChannel, note, kVelocity) != FLUID_OK)
            throw std::runtime_error("drum preset " + std::to_string(preset) + " cannot play note " +
                                     std::to_string(note));
        std::vector<double> mono;
        std::array<float, kBlockFrames> left{}, right{};
        while (mono.size() < size_t(kLongestFrames) && fluid_synth_get_active_voice_count(synth.get()) > 0) {
            fluid_synth_write_float(synth.get(), kBlockFrames, left.data(), 0, 1, right.data(), 0, 1);
            for (size_t i = 0; i < left.size(); ++i)
                mono.push_back(double(left[i]) + double(right[i]));
        }
        return mono;
    }

private:
    std::string soundFont_;
};

double peakOf(const std::vector<double>& samples)
{
    double peak = 0;
    for (double v : samples)
        peak = std::max(peak, std::abs(v));
    return peak;
}

// The sound up to its last sample within 60 dB of its peak, fading to zero over its last 10 ms.
std::vector<double> trimmed(std::vector<double> samples)
{
    const double floor = peakOf(samples) * kTrimLevel;
    size_t end = samples.size();
    while (end > 0 && std::abs(samples[end - 1]) < floor)
        --end;
    samples.resize(end + 1, 0.0); // one sample of silence closes every sound
    samples.back() = 0.0;
    const size_t fade = std::min(samples.size() - 1, size_t(kFadeFrames));
    for (size_t k = 0; k < fade; ++k)
        samples[end - fade + k] *= double(fade - k) / double(fade + 1);
    return samples;
}

// A mono 16-bit 44100 Hz wave of `samples` times `gain`, rounded to the nearest step.
TWave waveOf(const std::vector<double>& samples, double gain)
{
    TWave wave;
    groovane::WaveFormatEx format{};
    groovane::MakePCMWaveFormat(format, kSampleRate, 16, 1);
    wave.SetFormat(format);
    wave.SetSize(int32_t(samples.size() * 2));
    for (size_t i = 0; i < samples.size(); ++i) {
        const long v = std::clamp(std::lround(samples[i] * gain * 32768.0), -32767L, 32767L);
        const auto u = uint16_t(int16_t(v));
        wave.Data()[2 * i] = uint8_t(u & 0xff);
        wave.Data()[2 * i + 1] = uint8_t(u >> 8);
    }
    return wave;
}

void writeKit(const Synthesizer& synth, const Kit& kit, const TWave& blank, const std::string& file)
{
    std::vector<std::vector<double>> sounds;
    double drums = 0, loudest = 0;
    for (const Instrument& instrument : kInstruments) {
        const auto other = kit.notes.find(instrument.name);
        std::vector<double> sound = synth.play(kit.preset, other != kit.notes.end() ? other->second : instrument.note);
        const double peak = peakOf(sound);
        if (peak <= 0)
            throw std::runtime_error(std::string("drum preset ") + std::to_string(kit.preset) + " is silent for " +
                                     instrument.name);
        if (std::string(instrument.name) == "Kick" || std::string(instrument.name) == "Snare")
            drums = std::max(drums, peak);
        loudest = std::max(loudest, peak);
        sounds.push_back(trimmed(std::move(sound)));
    }
    const double gain = std::min(kDrumPeak / drums, kLoudestPeak / loudest);

    TWaveCollection collection;
    collection.Add().SetWave(blank);
    for (size_t i = 0; i < kInstruments.size(); ++i) {
        auto& item = collection.Add();
        item.SetName(kInstruments[i].name);
        item.SetWave(waveOf(sounds[i], gain));
    }
    collection.SaveToFile(file);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: make_kits <sound font> <blank wav> <folder> <kit>...\n");
        return 2;
    }
    try {
        std::vector<const Kit*> wanted;
        for (int i = 4; i < argc; ++i) {
            const auto kit = kits().find(argv[i]);
            if (kit == kits().end())
                throw std::runtime_error(std::string("no kit named ") + argv[i]);
            wanted.push_back(&kit->second);
        }
        TWave blank;
        blank.LoadFromFile(argv[2]);
        const Synthesizer synth(argv[1]);
        for (int i = 4; i < argc; ++i)
            writeKit(synth, *wanted[size_t(i - 4)], blank, std::string(argv[3]) + "/" + argv[i] + "_kit.dxg");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_kits: %s\n", e.what());
        return 1;
    }
    return 0;
}
