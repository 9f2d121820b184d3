// The eight sample slots as songs reach them. The main window saves and opens songs through
// this interface without knowing the sample windows, whose players stand behind it; the render
// reads the slots' volumes through it too. UI thread.
#pragma once

#include "song/song_file.h"

#include <cstdint>
#include <optional>
#include <string>

namespace groovane {

class SongSlots {
public:
    virtual ~SongSlots() = default;

    // Slot k's (1..8) file name, frequency, pan and volume; nothing when the slot has no player,
    // or a player without a sound.
    // May raise what the player raises.
    virtual std::optional<SongSampleSettings> settings(int slot) const = 0;
    virtual std::optional<int32_t> volume(int slot) const = 0;

    // Gives slot k's player the file to play. A file that cannot be opened raises its error
    // (for example "Cannot open file %s") and leaves the slot without a sound.
    virtual void setFileName(int slot, const std::string& path) = 0;
    // Pass the numbers to the player unchanged; raise when the slot has no sound.
    virtual void setFrequency(int slot, int32_t frequency) = 0;
    virtual void setPan(int slot, int32_t pan) = 0;
    virtual void setVolume(int slot, int32_t volume) = 0;
    // A slot that now holds an imported sample: its window's play button and sliders are
    // enabled and its pitch slider shows `frequency`; the pan and volume sliders stay.
    virtual void enableControls(int slot, int32_t frequency) = 0;
};

// Every slot's settings for a song file, in slot order; slots without a player give nothing.
std::vector<std::optional<SongSampleSettings>> songSampleSettings(const SongSlots& slots);

// Gives the slots the sample blocks of a song, in file order: the file (found as
// resolveSamplePath finds it), the frequency, the controls of a slot that does not hold the
// blank sound, and the pan when the file has one. The first failure raises and ends it there:
// the blocks before stay applied.
void applySongSamples(const SongFileContents& song, SongSlots& slots, const std::string& baseFolder);

} // namespace groovane
