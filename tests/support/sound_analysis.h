// Measurements of recorded sounds for the tests that judge how the default kit sounds: band
// energies and band-limited copies through a small FFT of our own, levels in windows, the
// partials of a spectrum, and A-weighted loudness. Sounds are mono samples in [-1, 1) at a
// given rate; times are frame indices. Plain functions, no state, safe from any thread.
#pragma once

#include <complex>
#include <cstddef>
#include <functional>
#include <vector>

namespace groovane::test {

// In-place radix-2 FFT; the size must be a power of two. The inverse transform includes the
// 1/N scale, so fft then inverse fft gives back the input.
void fft(std::vector<std::complex<double>>& x, bool inverse = false);

// Power per bin of frames [begin, end), Hann-windowed and zero-padded to a power of two of at
// least `minSize` frames; bins 0..size/2.
struct Spectrum {
    std::vector<double> power;
    double binHz = 0;
    // The summed power of the bins in [lowHz, highHz).
    double energy(double lowHz, double highHz) const;
};
Spectrum spectrum(const std::vector<double>& x, double rate, size_t begin, size_t end, size_t minSize = 0);

// The whole sound through a zero-phase filter of the given magnitude response (a function of
// the frequency in Hz), applied bin by bin on the zero-padded sound, so nothing wraps around.
std::vector<double> filtered(const std::vector<double>& x, double rate, const std::function<double(double)>& gain);
// Only the frequencies in [lowHz, highHz).
std::vector<double> bandLimited(const std::vector<double>& x, double rate, double lowHz, double highHz);
// The standard A-weighting curve (IEC 61672), 0 dB at 1 kHz.
double aWeightingGain(double hz);

// Root mean square of frames [begin, end), clipped to the sound.
double rms(const std::vector<double>& x, size_t begin, size_t end);
double toDb(double ratio);

// Level (RMS) of consecutive windows of `window` frames, `hop` frames apart.
std::vector<double> levels(const std::vector<double>& x, size_t window, size_t hop);

// A spectral peak: its frequency (power-weighted over its bins) and the power of the bins
// within `halfWidthHz` of it.
struct Partial {
    double hz = 0;
    double power = 0;
};
// The peaks of `s` in [lowHz, highHz), strongest first: bins higher than every bin within
// `halfWidthHz`, each holding at least `minShare` of the spectrum's whole power.
std::vector<Partial> partials(const Spectrum& s, double lowHz, double highHz, double halfWidthHz, double minShare);

} // namespace groovane::test
