// The rules of making a kit from WAV files, apart from the kit maker's window. A made kit always
// has the layout every part of the program relies on: 17 sounds, sound 0 without a name, then
// sounds 1..16 named for the kit instruments in order ("Kick" .. "Tamb"). The render and the
// templating address kit sounds by position, everything else by name.
//
// A sound is taken into the kit only once it has been read whole and the sound device accepts
// it: a kit saved with an empty or unplayable sound could not be opened by the main window's
// sound device, so a failed load keeps the sound that was there.
//
// User-interface thread only.
#pragma once

#include <array>
#include <string>

namespace groovane {

class TDirectSound;
class TWave;
class TWaveCollection;

inline constexpr int kKitSounds = 17;

// The file each kit sound came from, by position (entry 0: the last file loaded).
using KitSoundFiles = std::array<std::string, kKitSounds>;

// Empties `kit` and gives it the 17 named sounds of the kit layout, without samples.
void makeKitLayout(TWaveCollection& kit);

// Gives `kit` the kit layout and loads `blankFile` into each of its 17 sounds. A blank file that
// cannot be opened or read raises its file or wave error; the kit keeps its layout, the sounds
// not yet loaded without samples.
void makeBlankKit(TWaveCollection& kit, const std::string& blankFile);

// Raises EWaveCollectionError unless `kit` can be used as the main window's kit: each of the
// instruments "Kick" .. "Tamb" at its place ("Wave '<name>' not found") and holding samples
// ("Wave '<name>' has no samples"), and its unnamed first sound holding samples too. A kit that
// fails here would stop the program at start-up.
void checkKitComplete(const TWaveCollection& kit);

// "temp/<index>.wav" below the base folder: where templating leaves kit sound `index`.
std::string kitScratchFile(const std::string& baseFolder, int index);

// Starts the kit from `source`: sounds 1..16 of `source`, by position, are written to their
// scratch files and read back into the same positions of `kit`, and `files`[1..16] name those
// files. A source of fewer than 17 sounds stops at the first missing one with "List index out of
// bounds (<index>)"; a scratch file that cannot be written raises "Cannot create file <path>".
void templateKit(TWaveCollection& kit, const TWaveCollection& source, const std::string& baseFolder,
                 KitSoundFiles& files);

// Reads the WAV file `fileName` into a wave of its own and returns it when it can sound: a file
// that cannot be opened raises "Cannot open file <name>", one that is not a WAV image "Wave is
// invalid" (a truncated one "Stream read error"), a wave without samples "Wave is invalid", and
// one whose format `device` refuses "Sound Buffer cannot be made". Without a device only the
// reading and the samples are checked.
TWave readKitSound(const std::string& fileName, TDirectSound* device);

} // namespace groovane
