// The eight sample slots as plain settings, for the command-line render: what a slot's player
// would hold after the same calls (its file, frequency, pan and volume), with no sound device and
// no player. A slot starts as a sample window starts it (on the blank sound of the working
// folder) and takes a song's samples as Open Song gives them to the windows. A file is taken or
// refused as the player takes it (opened and its format checked by the player's own rules), and
// a frequency, pan or volume the sound device would refuse leaves the old value, so a render from
// these slots mixes what the program plays after opening the same song.
//
// UI thread (the command line's only thread).
#pragma once

#include "song/song_slots.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace groovane {

// A sample slot's sound as a player holds it.
struct SampleSlotSettings {
    std::string file;
    int32_t frequency = 0; // Hz; 0 plays the file at its own rate
    int32_t pan = 0;       // hundredths of a decibel, -10000 (left) .. 10000 (right)
    int32_t volume = 0;    // hundredths of a decibel, -10000 .. 0 (full level)
    uint32_t ownRate = 0;  // the file's own rate, which a frequency of 0 reads back as
};

class SampleSlotSettingsList final : public SongSlots {
public:
    // What a sample window's start-up does for slot k (1..8): its player on "Blank.wav" of the
    // working folder. Raises the player's error ("Cannot open file Blank.wav", "Wave is
    // invalid"), which leaves the slot without a sound.
    void start(int slot);

    // Slot k's sound, nothing when it has none.
    const std::optional<SampleSlotSettings>& slot(int slot) const;

    // The file, the frequency as a player reads it back (the file's own rate for 0) and the pan.
    std::optional<SongSampleSettings> settings(int slot) const override;
    std::optional<int32_t> volume(int slot) const override;
    // The same file again changes nothing. A new file has the frequency and pan of a new ring
    // (its own rate, centre) and keeps the slot's volume, full level when it had no sound. A file
    // the player refuses raises its error and leaves the slot without a sound.
    void setFileName(int slot, const std::string& path) override;
    // A value the device refuses leaves the old one. Without a sound: EDirectSoundBufferError
    // "IDirectSoundBuffer not made", as a player without a ring raises.
    void setFrequency(int slot, int32_t frequency) override;
    void setPan(int slot, int32_t pan) override;
    void setVolume(int slot, int32_t volume) override;
    // No controls to enable.
    void enableControls(int, int32_t) override {}

private:
    std::optional<SampleSlotSettings>& slotAt(int slot);
    SampleSlotSettings& soundOf(int slot);

    std::array<std::optional<SampleSlotSettings>, kSampleSlotCount> slots_;
};

} // namespace groovane
