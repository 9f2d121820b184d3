// The instrument table: the 25 names the grid's cells and the instrument selector draw on, the
// slot each name stands for, and the slot ranges of the kit and the sample slots. Shared by the
// grid editor, playback, the render and the kit windows; any thread.
#pragma once

#include <array>
#include <string>

namespace groovane {

// The instrument selector's 25 names; a name's position is its instrument slot:
// 0 none, 1..16 the kit instruments, 17..24 the sample slots 1..8.
const std::array<std::string, 25>& instrumentNames();

// The instrument slot a cell text names: the first list entry equal to it without regard to
// case. An empty text, or one that names nothing, gives slot 0 (silence).
int instrumentSlot(const std::string& text);

// The slot that Play Instrument sounds for the selector's text: as instrumentSlot, except that a
// text naming nothing sounds the last kit instrument, slot 16 ("Tamb").
int auditionSlot(const std::string& text);

inline constexpr int kFirstKitSlot = 1;
inline constexpr int kLastKitSlot = 16;
inline constexpr int kFirstSampleSlot = 17;
inline constexpr int kLastSampleSlot = 24;
// Sample slot k (1..8) is instrument slot 16 + k.
inline constexpr int kSampleSlotCount = kLastSampleSlot - kLastKitSlot;

} // namespace groovane
