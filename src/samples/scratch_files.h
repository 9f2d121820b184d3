// The sample slots' scratch files: "temp/Sample<k>.wav" below the base folder, one per slot.
// Opening a file in a slot's window replaces the slot's copy, the song render reads it, and the
// start-up work resets all eight to the blank sound.
#pragma once

#include <string>

namespace groovane {

inline constexpr int kSampleSlots = 8;

// The scratch file of slot 1..8 below `baseFolder`.
std::string sampleScratchFile(const std::string& baseFolder, int slot);

// Start-up: for each slot, deletes its scratch file in every letter case ("temp/sample1.wav",
// "temp/SAMPLE1.WAV", ...), then copies "Blank.wav" of the base folder to "temp/Sample<k>.wav".
// A missing file or folder and a failed copy are no errors: the slot then has no scratch file.
// UI thread.
void resetSampleScratchFiles(const std::string& baseFolder);

// A slot that now plays `source` (a song gave it the file): its scratch file becomes a copy of
// it, so the render hears what the slot plays. A copy that fails keeps the old scratch file and
// is no error; when `source` is the scratch file itself nothing is copied. UI thread.
void refreshSampleScratchFile(const std::string& source, const std::string& baseFolder, int slot);

} // namespace groovane
