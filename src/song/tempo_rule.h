// The tempo is one integer, the position p of the tempo slider (1 fastest .. 140 slowest). Every
// place that turns it into time or into the BPM read-out uses these functions, so a pattern load,
// a slider move, a song's step list and the render all agree. It sits beside the step list, below
// both song playback and the render, so the two time a song's steps with the same rule. Also the
// guard on the loop count.
#pragma once

#include <string>

namespace groovane {

// The slider's range and its position at start.
inline constexpr int kMinTempoPosition = 1;
inline constexpr int kMaxTempoPosition = 140;
inline constexpr int kStartTempoPosition = 60;

// Time between two steps for position p: 2 x p milliseconds. Any thread.
int stepIntervalMs(int position);

// The BPM read-out for position p: round(7200 / p), halves to the even neighbour, so 64 reads
// "112" and not "113". A position below 1 reads as 1, the slider's lowest. Any thread.
std::string tempoReadout(int position);

// A slider position as the slider holds it: within 1..140.
int clampTempoPosition(long long position);

// The loop-count guard: a text that is not a decimal integer counts as 0, and a count below 1
// becomes 1. Returns the text the loop box must show instead, or empty text when `text` stands.
std::string correctedLoopText(const std::string& text);

} // namespace groovane
