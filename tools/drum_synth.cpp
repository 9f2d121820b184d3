#include "drum_synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "wave_collection.h"

namespace groovane::drumsynth {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kRate = kSampleRate;
// -1 dBFS. Every sound peaks here, so how loud a sound seems is set by how far its body sits
// under its attack: the drums' stick and beater transients stay modest, while the hats' and
// cymbals' ticks stand well above their wash, which keeps the metal a few dB under the drums.
const double kPeak = std::pow(10.0, -1.0 / 20.0);

// A small fixed-seed generator (xorshift64*), so the noise is the same on every build.
class Noise {
public:
    explicit Noise(uint64_t seed) : state_(seed ? seed : 1) {}
    // Uniform in [-1, 1).
    double next()
    {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        const uint64_t r = state_ * 2685821657736338717ULL;
        return double(r >> 11) / double(1ULL << 52) - 1.0;
    }

private:
    uint64_t state_;
};

// A second-order filter with the usual audio cookbook coefficients.
class Biquad {
public:
    static Biquad lowPass(double hz, double q) { return make(hz, q, 0); }
    static Biquad highPass(double hz, double q) { return make(hz, q, 1); }
    static Biquad bandPass(double hz, double q) { return make(hz, q, 2); }

    double process(double x)
    {
        const double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
        x2_ = x1_;
        x1_ = x;
        y2_ = y1_;
        y1_ = y;
        return y;
    }

private:
    static Biquad make(double hz, double q, int kind)
    {
        const double w = 2 * kPi * hz / kRate;
        const double alpha = std::sin(w) / (2 * q);
        const double c = std::cos(w);
        double b0, b1, b2;
        if (kind == 0) {
            b0 = (1 - c) / 2;
            b1 = 1 - c;
            b2 = (1 - c) / 2;
        } else if (kind == 1) {
            b0 = (1 + c) / 2;
            b1 = -(1 + c);
            b2 = (1 + c) / 2;
        } else {
            b0 = alpha;
            b1 = 0;
            b2 = -alpha;
        }
        const double a0 = 1 + alpha;
        Biquad f;
        f.b0_ = b0 / a0;
        f.b1_ = b1 / a0;
        f.b2_ = b2 / a0;
        f.a1_ = -2 * c / a0;
        f.a2_ = (1 - alpha) / a0;
        return f;
    }

    double b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
    double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

size_t frames(double seconds)
{
    return size_t(seconds * kRate);
}

double decay(double t, double seconds)
{
    return std::exp(-t / seconds);
}

// Adds `gain` times `in` to `out`, starting `offset` frames in.
void mix(std::vector<double>& out, const std::vector<double>& in, double gain, size_t offset = 0)
{
    for (size_t i = offset; i < out.size() && i - offset < in.size(); ++i)
        out[i] += gain * in[i - offset];
}

// A pitch that glides exponentially from `startHz` to `endHz` with time constant `seconds`, as
// a drum head's pitch falls while the first push of the stick lets go.
struct Glide {
    double startHz;
    double endHz;
    double seconds;
    static Glide steady(double hz) { return {hz, hz, 1}; }
    double hz(double t) const { return endHz + (startHz - endHz) * std::exp(-t / seconds); }
};

// One way a struck body vibrates: its frequency as a multiple of the fundamental, its starting
// level, and the time constant of its decay.
struct Mode {
    double ratio;
    double gain;
    double decaySeconds;
};

// A struck body as the sum of its decaying modes over one fundamental. Each phase is integrated,
// so a gliding pitch has no steps.
std::vector<double> ringing(size_t n, const Glide& pitch, const std::vector<Mode>& modes)
{
    std::vector<double> out(n);
    for (const Mode& mode : modes) {
        double phase = 0;
        for (size_t i = 0; i < n; ++i) {
            const double t = double(i) / kRate;
            out[i] += mode.gain * std::sin(phase) * decay(t, mode.decaySeconds);
            phase += 2 * kPi * mode.ratio * pitch.hz(t) / kRate;
        }
    }
    return out;
}

// The contact of a stick, beater or hand: a burst of noise that falls with time constant
// `decaySeconds`, limited to [lowHz, highHz]. The burst is shaped before it is filtered, so its
// sudden start stays inside the band instead of thumping below it.
std::vector<double> strike(size_t n, uint64_t seed, double lowHz, double highHz, double decaySeconds)
{
    Noise noise(seed);
    Biquad hp = Biquad::highPass(lowHz, 0.7);
    Biquad lp = Biquad::lowPass(highHz, 0.7);
    std::vector<double> out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = lp.process(hp.process(noise.next() * decay(double(i) / kRate, decaySeconds)));
    return out;
}

// A square wave whose steps are rounded off over one sample on each side (polyBLEP), so its
// harmonics above the Nyquist frequency do not fold back as inharmonic whistles.
class Square {
public:
    explicit Square(double hz) : step_(hz / kRate) {}
    double next()
    {
        double v = phase_ < 0.5 ? 1.0 : -1.0;
        v += blep(phase_);
        v -= blep(std::fmod(phase_ + 0.5, 1.0));
        phase_ = std::fmod(phase_ + step_, 1.0);
        return v;
    }

private:
    double blep(double p) const
    {
        if (p < step_) {
            const double x = p / step_;
            return 2 * x - x * x - 1;
        }
        if (p > 1 - step_) {
            const double x = (p - 1) / step_;
            return x * x + 2 * x + 1;
        }
        return 0;
    }

    double phase_ = 0;
    double step_;
};

// The metallic source of hats and cymbals: six square waves at inharmonic frequencies.
class Metal {
public:
    explicit Metal(double scale)
    {
        for (double ratio : {205.3, 304.4, 369.6, 522.7, 540.0, 800.0})
            squares_.emplace_back(ratio * scale);
    }
    double next()
    {
        double sum = 0;
        for (Square& s : squares_)
            sum += s.next();
        return sum / double(squares_.size());
    }

private:
    std::vector<Square> squares_;
};

// The ringing modes of a cymbal: pairs of sines a few hertz apart at inharmonic frequencies
// spread over [lowHz, highHz], so each pair beats slowly, as the split modes of a real cymbal
// do. Higher modes start louder and die sooner.
std::vector<double> shimmer(size_t n, uint64_t seed, int pairs, double lowHz, double highHz, double decaySeconds)
{
    Noise random(seed);
    std::vector<double> out(n);
    for (int p = 0; p < pairs; ++p) {
        const double hz = lowHz * std::pow(highHz / lowHz, (p + 0.5 + 0.4 * random.next()) / pairs);
        const double beatHz = 2.0 + 1.2 * random.next();
        const double offset = kPi * random.next();
        const double seconds = decaySeconds * std::sqrt(lowHz / hz);
        const double gain = std::sqrt(hz / lowHz);
        for (size_t i = 0; i < n; ++i) {
            const double t = double(i) / kRate;
            out[i] += gain * (std::sin(2 * kPi * hz * t) + 0.6 * std::sin(2 * kPi * (hz + beatHz) * t + offset)) * decay(t, seconds);
        }
    }
    return out;
}

// Turns raw samples into a finished sound: a short fade at the start and a longer one at the
// end (so the sound starts and stops at zero without a click), the mean taken out along the
// same envelope (so the ends stay at zero), and the peak set to -1 dBFS.
std::vector<double> finish(std::vector<double> x, double fadeOutSeconds)
{
    const size_t n = x.size();
    const size_t fadeIn = std::min<size_t>(frames(0.0005), n / 4);
    const size_t fadeOut = std::min<size_t>(frames(fadeOutSeconds), n / 2);
    std::vector<double> envelope(n, 1.0);
    for (size_t i = 0; i < fadeIn; ++i)
        envelope[i] = double(i) / double(fadeIn);
    for (size_t i = 0; i < fadeOut; ++i) {
        const double g = double(i) / double(fadeOut);
        envelope[n - 1 - i] = 0.5 - 0.5 * std::cos(kPi * g);
    }
    double sumX = 0;
    double sumW = 0;
    for (size_t i = 0; i < n; ++i) {
        x[i] *= envelope[i];
        sumX += x[i];
        sumW += envelope[i];
    }
    const double dc = sumX / sumW;
    double peak = 0;
    for (size_t i = 0; i < n; ++i) {
        x[i] -= dc * envelope[i];
        peak = std::max(peak, std::abs(x[i]));
    }
    if (peak > 0)
        for (double& v : x)
            v *= kPeak / peak;
    return x;
}

// A bass drum: the head's fundamental and harmonics over a falling pitch, rounded by the
// head's own limit (a soft saturation), damped so the boom stops within `dampSeconds`; the
// felt beater's slap on top.
std::vector<double> kick(const Glide& pitch, double ringSeconds, double dampSeconds, double seconds, uint64_t seed)
{
    const size_t n = frames(seconds);
    std::vector<double> body = ringing(n, pitch,
                                       {{1, 1.0, ringSeconds},
                                        {2, 0.6, ringSeconds * 0.9},
                                        {3, 0.5, ringSeconds * 0.8},
                                        {4, 0.4, ringSeconds * 0.7},
                                        {5, 0.3, ringSeconds * 0.6}});
    constexpr double drive = 3.0;
    // The ringing's mean is not zero; the speaker-like high-pass keeps the boom from leaving an
    // offset behind it.
    Biquad hp = Biquad::highPass(25, 0.7);
    std::vector<double> beater = strike(n, seed, 2000, 5000, 0.0012);
    std::vector<double> knock = strike(n, seed + 100, 150, 800, 0.006);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        const double damp = std::exp(-(t / dampSeconds) * (t / dampSeconds));
        body[i] = hp.process(std::tanh(drive * body[i] * damp) / std::tanh(drive) + 9 * beater[i] + 0.4 * knock[i]);
    }
    return finish(body, 0.04);
}

// A snare: the batter head's modes, the wires' rattle and the stick.
std::vector<double> snare()
{
    const size_t n = frames(0.38);
    std::vector<double> out = ringing(n, {205, 185, 0.015}, {{1, 1, 0.05}, {1.5, 0.6, 0.04}, {2.2, 0.45, 0.03}, {2.65, 0.3, 0.02}});
    Noise noise(3);
    Biquad hp = Biquad::highPass(1800, 0.7);
    Biquad lp = Biquad::lowPass(9000, 0.7);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        // The wires answer the head a moment after the hit and rattle on after it.
        const double envelope = (1 - decay(t, 0.002)) * (0.6 * decay(t, 0.05) + 0.4 * decay(t, 0.1));
        out[i] += 1.5 * lp.process(hp.process(noise.next())) * envelope;
    }
    mix(out, strike(n, 103, 2000, 8000, 0.0015), 7.0);
    return finish(out, 0.05);
}

// A hi-hat: the stick's tick, then the noise and metal of its wash dying with time constant
// `body`.
std::vector<double> hat(double seconds, double body, uint64_t seed)
{
    const size_t n = frames(seconds);
    Noise noise(seed);
    Metal metal(1.7);
    Biquad bp = Biquad::bandPass(11000, 1.2);
    Biquad hp = Biquad::highPass(7000, 0.7);
    std::vector<double> out(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        const double source = metal.next() + 0.6 * noise.next();
        out[i] = hp.process(bp.process(source)) * decay(t, body);
    }
    mix(out, strike(n, seed + 100, 3000, 12000, 0.0008), 10);
    return finish(out, std::min(0.03, seconds / 4));
}

// A tom or a conga: a gliding head with its overtones near 1.5 and 2.2 times the fundamental,
// and the stick's (or hand's) short contact.
std::vector<double> tom(const Glide& pitch, double body, double seconds, double stickGain, uint64_t seed)
{
    const size_t n = frames(seconds);
    std::vector<double> out = ringing(n, pitch,
                                      {{1, 1, body},
                                       {1.5, 0.75, body * 0.7},
                                       {2.2, 0.7, body * 0.6},
                                       {2.65, 0.25, body * 0.4},
                                       {2.92, 0.2, body * 0.35}});
    mix(out, strike(n, seed, 1500, 7000, 0.0015), stickGain);
    mix(out, strike(n, seed + 100, 100, 1500, 0.01), 0.15);
    return finish(out, 0.15);
}

// A crash: the stick's tick, a wash of noise and metal, and the cymbal's beating partials under
// it.
std::vector<double> crash()
{
    const size_t n = frames(2.2);
    Noise noise(8);
    Metal metal(2.3);
    Biquad hp = Biquad::highPass(2500, 0.6);
    Biquad bp = Biquad::bandPass(7000, 0.5);
    std::vector<double> out(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        const double source = 0.7 * metal.next() + noise.next();
        // The wash blooms over the first 30 ms, then rings out.
        const double envelope = (1 - decay(t, 0.01)) * decay(t, 0.7) + 0.3 * decay(t, 0.05);
        out[i] = 0.15 * hp.process(bp.process(source)) * envelope;
    }
    mix(out, shimmer(n, 108, 28, 420, 9000, 1.0), 0.004);
    mix(out, strike(n, 208, 3000, 12000, 0.002), 4.0);
    return finish(out, 0.3);
}

// A ride: bell partials and a metal wash, with the stick's tick.
std::vector<double> ride()
{
    const size_t n = frames(1.6);
    Noise noise(9);
    Metal metal(3.1);
    Biquad hp = Biquad::highPass(5000, 0.7);
    static const double bell[4] = {2950, 4170, 5210, 6630};
    std::vector<double> out(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        double ping = 0;
        for (double hz : bell)
            ping += std::sin(2 * kPi * hz * t);
        const double wash = hp.process(0.8 * metal.next() + 0.4 * noise.next());
        out[i] = 0.15 * (0.35 * ping * decay(t, 0.45) + wash * decay(t, 0.5));
    }
    mix(out, strike(n, 109, 3000, 12000, 0.0015), 4.0);
    return finish(out, 0.25);
}

// A stick across rim and head: the rim's crack and ring over the head's short ring.
std::vector<double> rimshot()
{
    const size_t n = frames(0.09);
    std::vector<double> out = ringing(n, Glide::steady(200), {{1, 0.5, 0.02}, {1.5, 0.3, 0.015}, {2.2, 0.2, 0.01}});
    mix(out, ringing(n, Glide::steady(3100), {{1, 0.5, 0.008}, {1.4355, 0.35, 0.006}}), 1.0);
    mix(out, strike(n, 10, 2200, 6000, 0.004), 2.0);
    return finish(out, 0.03);
}

std::vector<double> shaker()
{
    const size_t n = frames(0.16);
    Noise noise(11);
    Biquad hp = Biquad::highPass(5500, 0.7);
    Biquad bp = Biquad::bandPass(8000, 0.9);
    std::vector<double> out(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        // Beads swing in over 25 ms and settle.
        const double envelope = (1 - decay(t, 0.012)) * decay(t, 0.045);
        out[i] = bp.process(hp.process(noise.next())) * envelope;
    }
    // The beads strike the shell at once and again as the shake turns.
    mix(out, strike(n, 111, 4000, 12000, 0.001), 3.0);
    mix(out, strike(n, 211, 4000, 12000, 0.002), 2.0, frames(0.022));
    return finish(out, 0.04);
}

// A wood block: a few inharmonic modes of the wood, and the stick's click.
std::vector<double> block()
{
    const size_t n = frames(0.12);
    std::vector<double> out = ringing(n, Glide::steady(880), {{1, 0.4, 0.025}, {1.58, 0.34, 0.018}, {2.83, 0.34, 0.012}, {4.21, 0.22, 0.007}});
    mix(out, strike(n, 12, 1000, 6000, 0.0008), 8.0);
    return finish(out, 0.03);
}

std::vector<double> cowbell()
{
    const size_t n = frames(0.45);
    Square low(540);
    Square high(800);
    Biquad bp = Biquad::bandPass(2640, 1.0);
    Biquad bp2 = Biquad::bandPass(800, 1.5);
    std::vector<double> out(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        const double source = low.next() + high.next();
        const double envelope = 0.6 * decay(t, 0.025) + 0.4 * decay(t, 0.18);
        out[i] = 0.3 * (bp.process(source) + 0.8 * bp2.process(source)) * envelope;
    }
    mix(out, strike(n, 14, 1000, 8000, 0.001), 6.0);
    return finish(out, 0.05);
}

std::vector<double> clap()
{
    const size_t n = frames(0.32);
    Noise noise(15);
    Biquad bp = Biquad::bandPass(1200, 1.4);
    Biquad hp = Biquad::highPass(600, 0.7);
    std::vector<double> out(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        // Four hands a few milliseconds apart, then the room; each hand's sudden start is
        // filtered with it, so it snaps without a thump.
        double envelope = 0;
        static const double hands[4] = {1.0, 0.5, 0.4, 0.3};
        for (int k = 0; k < 4; ++k) {
            const double start = 0.0105 * k;
            if (t >= start)
                envelope = std::max(envelope, hands[k] * decay(t - start, 0.003));
        }
        if (t >= 0.0315)
            envelope = std::max(envelope, 0.15 * decay(t - 0.0315, 0.08));
        out[i] = hp.process(bp.process(noise.next() * envelope));
    }
    return finish(out, 0.05);
}

std::vector<double> tambourine()
{
    const size_t n = frames(0.36);
    Noise noise(16);
    Biquad hp = Biquad::highPass(6500, 0.8);
    static const double jingles[5] = {5810, 6920, 7730, 8450, 9640};
    std::vector<double> out(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        double ring = 0;
        for (double hz : jingles)
            ring += std::sin(2 * kPi * hz * t);
        // A shake: a second, smaller rattle 40 ms after the hit, filtered with the jingles so
        // its start does not thump.
        double envelope = decay(t, 0.07);
        if (t >= 0.04)
            envelope += 0.5 * decay(t - 0.04, 0.09);
        out[i] = 0.5 * hp.process((noise.next() + 0.12 * ring) * envelope);
    }
    // The stick's crack on the frame and the first clash of the jingles.
    mix(out, strike(n, 116, 3000, 12000, 0.0015), 6.0);
    return finish(out, 0.06);
}

} // namespace

const std::vector<std::string>& instrumentNames()
{
    static const std::vector<std::string> names = {
        "Kick", "Short Kick", "Snare", "ClsHiat", "OpHiat", "Tom1", "Tom2", "Cymbol1",
        "Cymbol2", "Rimshot", "Shaker", "Block", "Congo", "Cowbell", "Crack", "Tamb"};
    return names;
}

std::vector<double> synthesize(int instrument)
{
    switch (instrument) {
    case 1:
        return kick({190, 55, 0.03}, 0.07, 0.11, 0.6, 1);
    case 2:
        return kick({200, 62, 0.025}, 0.045, 0.07, 0.25, 2);
    case 3:
        return snare();
    case 4:
        return hat(0.11, 0.02, 4);
    case 5:
        return hat(0.75, 0.25, 5);
    case 6:
        return tom({180, 160, 0.04}, 0.2, 0.55, 2.5, 6);
    case 7:
        return tom({128, 112, 0.05}, 0.26, 0.7, 2.25, 7);
    case 8:
        return crash();
    case 9:
        return ride();
    case 10:
        return rimshot();
    case 11:
        return shaker();
    case 12:
        return block();
    case 13:
        return tom({360, 330, 0.01}, 0.11, 0.36, 5.5, 13);
    case 14:
        return cowbell();
    case 15:
        return clap();
    case 16:
        return tambourine();
    default:
        return {};
    }
}

TWave waveOf(const std::vector<double>& samples)
{
    TWave wave;
    WaveFormatEx format;
    MakePCMWaveFormat(format, kSampleRate, 16, 1);
    wave.SetFormat(format);
    wave.SetSize(static_cast<int32_t>(samples.size() * 2));
    uint8_t* out = wave.Data();
    for (double v : samples) {
        const long q = std::lround(std::clamp(v, -1.0, 1.0) * 32767.0);
        const auto s = static_cast<uint16_t>(static_cast<int16_t>(q));
        *out++ = uint8_t(s);
        *out++ = uint8_t(s >> 8);
    }
    return wave;
}

TWave blankWave()
{
    return waveOf(std::vector<double>(frames(0.01), 0.0));
}

void buildDefaultKit(TWaveCollection& kit)
{
    kit.Clear();
    kit.Add().SetWave(blankWave());
    const auto& names = instrumentNames();
    for (size_t i = 0; i < names.size(); ++i) {
        TWaveCollectionItem& item = kit.Add();
        item.SetName(names[i]);
        item.SetWave(waveOf(synthesize(int(i) + 1)));
    }
}

} // namespace groovane::drumsynth
