#include "sound_analysis.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace groovane::test {

namespace {

size_t powerOfTwoAtLeast(size_t n)
{
    size_t size = 1;
    while (size < n)
        size *= 2;
    return size;
}

} // namespace

void fft(std::vector<std::complex<double>>& x, bool inverse)
{
    const size_t n = x.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(x[i], x[j]);
    }
    for (size_t len = 2; len <= n; len *= 2) {
        const double angle = (inverse ? 2 : -2) * std::numbers::pi / double(len);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (size_t start = 0; start < n; start += len) {
            std::complex<double> w(1, 0);
            for (size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> a = x[start + k];
                const std::complex<double> b = x[start + k + len / 2] * w;
                x[start + k] = a + b;
                x[start + k + len / 2] = a - b;
                w *= step;
            }
        }
    }
    if (inverse)
        for (auto& v : x)
            v /= double(n);
}

double Spectrum::energy(double lowHz, double highHz) const
{
    double sum = 0;
    for (size_t k = 0; k < power.size(); ++k) {
        const double hz = double(k) * binHz;
        if (hz >= lowHz && hz < highHz)
            sum += power[k];
    }
    return sum;
}

Spectrum spectrum(const std::vector<double>& x, double rate, size_t begin, size_t end, size_t minSize)
{
    end = std::min(end, x.size());
    begin = std::min(begin, end);
    const size_t length = end - begin;
    const size_t size = powerOfTwoAtLeast(std::max(length, minSize));
    std::vector<std::complex<double>> buffer(size);
    for (size_t i = 0; i < length; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * (double(i) + 0.5) / double(length));
        buffer[i] = x[begin + i] * hann;
    }
    fft(buffer);
    Spectrum s;
    s.binHz = rate / double(size);
    s.power.resize(size / 2 + 1);
    for (size_t k = 0; k < s.power.size(); ++k)
        s.power[k] = std::norm(buffer[k]);
    return s;
}

std::vector<double> filtered(const std::vector<double>& x, double rate, const std::function<double(double)>& gain)
{
    const size_t size = powerOfTwoAtLeast(2 * x.size());
    std::vector<std::complex<double>> buffer(x.begin(), x.end());
    buffer.resize(size);
    fft(buffer);
    for (size_t k = 0; k <= size / 2; ++k) {
        const double g = gain(double(k) * rate / double(size));
        buffer[k] *= g;
        if (k > 0 && k < size / 2)
            buffer[size - k] *= g;
    }
    fft(buffer, true);
    std::vector<double> out(x.size());
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = buffer[i].real();
    return out;
}

std::vector<double> bandLimited(const std::vector<double>& x, double rate, double lowHz, double highHz)
{
    return filtered(x, rate, [=](double hz) { return hz >= lowHz && hz < highHz ? 1.0 : 0.0; });
}

double aWeightingGain(double hz)
{
    const double f2 = hz * hz;
    const double c1 = 20.598997 * 20.598997;
    const double c2 = 107.65265 * 107.65265;
    const double c3 = 737.86223 * 737.86223;
    const double c4 = 12194.217 * 12194.217;
    const double ra = c4 * f2 * f2 / ((f2 + c1) * std::sqrt((f2 + c2) * (f2 + c3)) * (f2 + c4));
    // The curve is normalized to 0 dB at 1 kHz (+2.00 dB before normalizing).
    return ra * std::pow(10.0, 2.0 / 20.0);
}

double rms(const std::vector<double>& x, size_t begin, size_t end)
{
    end = std::min(end, x.size());
    if (begin >= end)
        return 0;
    double sum = 0;
    for (size_t i = begin; i < end; ++i)
        sum += x[i] * x[i];
    return std::sqrt(sum / double(end - begin));
}

double toDb(double ratio)
{
    return 20 * std::log10(std::max(ratio, 1e-12));
}

std::vector<double> levels(const std::vector<double>& x, size_t window, size_t hop)
{
    std::vector<double> out;
    for (size_t begin = 0; begin + window <= x.size(); begin += hop)
        out.push_back(rms(x, begin, begin + window));
    return out;
}

std::vector<Partial> partials(const Spectrum& s, double lowHz, double highHz, double halfWidthHz, double minShare)
{
    double total = 0;
    for (double p : s.power)
        total += p;
    const auto halfWidth = std::max<ptrdiff_t>(1, ptrdiff_t(std::lround(halfWidthHz / s.binHz)));
    const auto count = ptrdiff_t(s.power.size());
    std::vector<Partial> out;
    for (ptrdiff_t k = 0; k < count; ++k) {
        const double hz = double(k) * s.binHz;
        if (hz < lowHz || hz >= highHz)
            continue;
        const ptrdiff_t from = std::max<ptrdiff_t>(0, k - halfWidth);
        const ptrdiff_t to = std::min(count - 1, k + halfWidth);
        bool isPeak = true;
        for (ptrdiff_t j = from; j <= to && isPeak; ++j)
            isPeak = j == k || s.power[size_t(j)] < s.power[size_t(k)] || (s.power[size_t(j)] == s.power[size_t(k)] && j > k);
        if (!isPeak)
            continue;
        Partial p;
        double weighted = 0;
        for (ptrdiff_t j = from; j <= to; ++j) {
            p.power += s.power[size_t(j)];
            weighted += s.power[size_t(j)] * double(j) * s.binHz;
        }
        p.hz = weighted / p.power;
        if (p.power >= minShare * total)
            out.push_back(p);
    }
    std::sort(out.begin(), out.end(), [](const Partial& a, const Partial& b) { return a.power > b.power; });
    return out;
}

} // namespace groovane::test
