// The eight sample slots without their windows, for the command-line render: each slot is a
// streamed player on a sound component of its own, started as a sample window starts it (on the
// blank sound beside the program) and given a song's samples as Open Song gives them to the
// windows. The players decide what a slot sounds like (which file, which of the song's
// frequencies and pans the sound device takes), so a render from these slots mixes what the
// program plays after opening the same song. Nothing is heard: the devices mix into whatever
// output the process has, none for the command line.
//
// Also the one reading of a player's settings that the windows' slots use too. UI thread (the
// command line's only thread).
#pragma once

#include "song_slots.h"

#include <array>
#include <memory>
#include <optional>
#include <string>

namespace groovane {

class TAudioFileStream;

// A player's file, frequency and pan as a song file and the render take them; its volume.
// Nothing for no player, or a player without a sound (a file that failed to open), which has no
// buffer to ask.
std::optional<SongSampleSettings> playerSettings(TAudioFileStream* player);
std::optional<int32_t> playerVolume(TAudioFileStream* player);

class SlotPlayers final : public SongSlots {
public:
    SlotPlayers();
    ~SlotPlayers() override;

    // What a sample window's start-up does for slot k (1..8): opens its sound component and
    // makes its player on "Blank.wav" of the working folder. Raises the device's error, or the
    // player's ("Cannot open file Blank.wav"), which leaves the slot without a sound.
    void start(int slot);

    std::optional<SongSampleSettings> settings(int slot) const override;
    std::optional<int32_t> volume(int slot) const override;
    // A slot keeps its volume across a new file, full level when it had no sound.
    void setFileName(int slot, const std::string& path) override;
    void setFrequency(int slot, int32_t frequency) override;
    void setPan(int slot, int32_t pan) override;
    void setVolume(int slot, int32_t volume) override;
    // No controls to enable.
    void enableControls(int, int32_t) override {}

private:
    struct Slot;
    Slot& slotAt(int slot) const;

    std::array<std::unique_ptr<Slot>, kSampleSlotCount> slots_;
};

} // namespace groovane
