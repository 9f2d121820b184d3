#include "drum_synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "wave_collection.h"

namespace groovane::drumsynth {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kRate = kSampleRate;
// -1 dBFS.
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

// A square wave of the given frequency at time t.
double square(double hz, double t)
{
    return std::sin(2 * kPi * hz * t) >= 0 ? 1.0 : -1.0;
}

// A sine whose frequency glides exponentially from `startHz` to `endHz` with time constant
// `glide`; the phase is integrated so the glide has no steps.
std::vector<double> glidingSine(size_t n, double startHz, double endHz, double glide)
{
    std::vector<double> out(n);
    double phase = 0;
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        const double hz = endHz + (startHz - endHz) * std::exp(-t / glide);
        out[i] = std::sin(phase);
        phase += 2 * kPi * hz / kRate;
    }
    return out;
}

// The metallic source of hats and cymbals: six square waves at inharmonic frequencies.
double metal(double t, double scale)
{
    static const double ratios[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    double sum = 0;
    for (double r : ratios)
        sum += square(r * scale, t);
    return sum / 6.0;
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

std::vector<double> kick(double startHz, double endHz, double glide, double body, double seconds, uint64_t seed)
{
    const size_t n = frames(seconds);
    std::vector<double> tone = glidingSine(n, startHz, endHz, glide);
    Noise noise(seed);
    Biquad clickFilter = Biquad::bandPass(3500, 0.8);
    std::vector<double> out(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        const double click = clickFilter.process(noise.next()) * decay(t, 0.0015) * 1.6 +
                             std::sin(2 * kPi * 1200 * t) * decay(t, 0.003) * 0.5;
        out[i] = tone[i] * decay(t, body) + click;
    }
    return finish(out, 0.04);
}

std::vector<double> snare()
{
    const size_t n = frames(0.38);
    Noise noise(3);
    Biquad hp = Biquad::highPass(1800, 0.7);
    Biquad lp = Biquad::lowPass(9000, 0.7);
    std::vector<double> low = glidingSine(n, 240, 185, 0.02);
    std::vector<double> out(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        const double tone = (low[i] + 0.5 * std::sin(2 * kPi * 330 * t)) * decay(t, 0.06);
        const double rattle = lp.process(hp.process(noise.next())) * decay(t, 0.11);
        out[i] = 0.8 * tone + 1.5 * rattle;
    }
    return finish(out, 0.05);
}

std::vector<double> hat(double seconds, double body, uint64_t seed)
{
    const size_t n = frames(seconds);
    Noise noise(seed);
    Biquad bp = Biquad::bandPass(10000, 1.2);
    Biquad hp = Biquad::highPass(7000, 0.7);
    std::vector<double> out(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        const double source = metal(t, 1.7) + 0.6 * noise.next();
        out[i] = hp.process(bp.process(source)) * decay(t, body);
    }
    return finish(out, std::min(0.03, seconds / 4));
}

std::vector<double> tom(double startHz, double endHz, double body, double seconds, uint64_t seed)
{
    const size_t n = frames(seconds);
    std::vector<double> tone = glidingSine(n, startHz, endHz, 0.08);
    Noise noise(seed);
    Biquad lp = Biquad::lowPass(3000, 0.7);
    std::vector<double> out(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        out[i] = tone[i] * decay(t, body) + 0.25 * lp.process(noise.next()) * decay(t, 0.02);
    }
    return finish(out, 0.06);
}

std::vector<double> crash()
{
    const size_t n = frames(2.2);
    Noise noise(8);
    Biquad hp = Biquad::highPass(4000, 0.6);
    Biquad bp = Biquad::bandPass(7500, 0.5);
    std::vector<double> out(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        const double source = 0.7 * metal(t, 2.3) + noise.next();
        // A quick swell over the first 5 ms, then a long wash.
        const double envelope = (1 - decay(t, 0.002)) * decay(t, 0.7) + 0.3 * decay(t, 0.05);
        out[i] = hp.process(bp.process(source)) * envelope;
    }
    return finish(out, 0.3);
}

std::vector<double> ride()
{
    const size_t n = frames(1.6);
    Noise noise(9);
    Biquad hp = Biquad::highPass(5000, 0.7);
    static const double bell[4] = {2950, 4170, 5210, 6630};
    std::vector<double> out(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        double ping = 0;
        for (double hz : bell)
            ping += std::sin(2 * kPi * hz * t);
        const double wash = hp.process(0.8 * metal(t, 3.1) + 0.4 * noise.next());
        out[i] = 0.35 * ping * decay(t, 0.45) + wash * decay(t, 0.5);
    }
    return finish(out, 0.25);
}

std::vector<double> rimshot()
{
    const size_t n = frames(0.09);
    Noise noise(10);
    Biquad bp = Biquad::bandPass(2500, 2.0);
    std::vector<double> out(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        const double tone = (std::sin(2 * kPi * 1700 * t) + 0.8 * std::sin(2 * kPi * 470 * t)) * decay(t, 0.012);
        out[i] = tone + 1.5 * bp.process(noise.next()) * decay(t, 0.006);
    }
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
    return finish(out, 0.04);
}

std::vector<double> block()
{
    const size_t n = frames(0.12);
    Noise noise(12);
    Biquad body = Biquad::bandPass(1050, 12);
    std::vector<double> out(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        const double strike = noise.next() * decay(t, 0.0008);
        out[i] = 8 * body.process(strike) + std::sin(2 * kPi * 1050 * t) * decay(t, 0.025) * 0.6;
    }
    return finish(out, 0.03);
}

std::vector<double> conga()
{
    const size_t n = frames(0.36);
    std::vector<double> tone = glidingSine(n, 420, 330, 0.01);
    std::vector<double> out(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        const double slap = std::sin(2 * kPi * 990 * t) * decay(t, 0.008) * 0.4;
        out[i] = tone[i] * decay(t, 0.11) + 0.15 * std::sin(2 * kPi * 660 * t) * decay(t, 0.05) + slap;
    }
    return finish(out, 0.06);
}

std::vector<double> cowbell()
{
    const size_t n = frames(0.45);
    Biquad bp = Biquad::bandPass(2640, 1.0);
    Biquad bp2 = Biquad::bandPass(800, 1.5);
    std::vector<double> out(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        const double source = square(540, t) + square(800, t);
        const double envelope = 0.6 * decay(t, 0.025) + 0.4 * decay(t, 0.18);
        out[i] = (bp.process(source) + 0.8 * bp2.process(source)) * envelope;
    }
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
        // Four hands a few milliseconds apart, then the room.
        double envelope = 0;
        for (int k = 0; k < 4; ++k) {
            const double start = 0.0105 * k;
            if (t >= start)
                envelope = std::max(envelope, decay(t - start, 0.004));
        }
        if (t >= 0.0315)
            envelope = std::max(envelope, 0.8 * decay(t - 0.0315, 0.08));
        out[i] = hp.process(bp.process(noise.next())) * envelope;
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
        // A shake: a second, smaller rattle 40 ms after the hit.
        double envelope = decay(t, 0.07);
        if (t >= 0.04)
            envelope += 0.5 * decay(t - 0.04, 0.09);
        out[i] = (hp.process(noise.next()) + 0.12 * ring) * envelope;
    }
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
        return kick(160, 48, 0.05, 0.32, 0.6, 1);
    case 2:
        return kick(200, 62, 0.025, 0.09, 0.25, 2);
    case 3:
        return snare();
    case 4:
        return hat(0.11, 0.025, 4);
    case 5:
        return hat(0.75, 0.25, 5);
    case 6:
        return tom(210, 165, 0.2, 0.55, 6);
    case 7:
        return tom(155, 118, 0.26, 0.7, 7);
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
        return conga();
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
