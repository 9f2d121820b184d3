// The default drum kit, made from code: sixteen synthesized drum sounds at 44100 Hz, 16-bit,
// mono, plus the blank sound. Everything is computed from fixed seeds, so every build makes the
// same kit byte for byte. The kit is written through the program's own kit writer, so the file
// the program loads at start is exactly what the program itself would save.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "wave.h"

namespace groovane {

class TWaveCollection;

namespace drumsynth {

constexpr uint32_t kSampleRate = 44100;

// The names of kit sounds 1..16, in kit order.
const std::vector<std::string>& instrumentNames();

// The samples of one instrument (1..16), before conversion to 16 bits: peak at -1 dBFS of
// full scale, mean exactly zero, starting and ending at zero.
std::vector<double> synthesize(int instrument);

// A mono 16-bit 44100 Hz wave of the given samples (rounded to the nearest step).
TWave waveOf(const std::vector<double>& samples);
// The blank sound: 10 ms of silence.
TWave blankWave();

// Fills `kit` with the default kit: sound 0 unnamed with the blank sound, sounds 1..16 named
// with the instrument names, none looped.
void buildDefaultKit(TWaveCollection& kit);

} // namespace drumsynth
} // namespace groovane
