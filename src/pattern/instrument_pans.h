// The pans of the 16 kit instruments, kept between runs in "Panning.dat" in the base folder:
// 17 lines of signed decimal integers, line 0 a 0 for the instrument list's empty entry, lines 1
// to 16 the pans of "Kick" .. "Tamb" in instrument list order. Lines after line 16 are ignored.
//
// The kit itself lives in the sound layer; these functions reach it only through the two
// callbacks below (a pan by instrument name, and setting one), so they are tested without a
// sound device. UI thread.
#pragma once

#include "platform/line_buffer.h"
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace groovane {

inline constexpr const char* kPanningFile = "Panning.dat";
inline constexpr int kPanFileLines = 17;

using ReadPan = std::function<int32_t(const std::string& instrument)>;
using WritePan = std::function<void(const std::string& instrument, int32_t pan)>;

// Applies lines 1..16 of a pan file in order, each as stored (also outside the slider's range).
// A line that is missing or not a decimal integer raises EConvertError "'%s' is not a valid
// integer value" at that line; whatever `setPan` raises passes through. Pans applied before the
// failing line stay applied.
void applyPanFileLines(const TextLines& lines, const WritePan& setPan);

// The 17 lines of the file for the kit's current pans. Whatever `panOf` raises (an instrument
// the kit lacks) passes through before any line is returned, so nothing half-made gets written.
std::vector<std::string> panFileLines(const ReadPan& panOf);

} // namespace groovane
