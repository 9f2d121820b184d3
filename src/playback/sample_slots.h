// The eight sample slots as playback reaches them. Sample slot k (1..8) is instrument slot
// 16 + k and sounds through sample window k's streamed player; playback and the main window know
// the slots only through this interface, and the program implements it over those players.
#pragma once

#include "pattern/instruments.h"

namespace groovane {

class SampleSlots {
public:
    virtual ~SampleSlots() = default;

    // Slot 1..8: rewinds the slot's sound to its beginning (Position := 0), then plays it. A slot
    // has one voice: one that is sounding starts again from the beginning. A slot without a
    // player is silent. Raises what the player raises, such as "WaveStream not set" for a player
    // without a sound. Inside a step timer's tick the start is placed at the tick's time, as
    // every Play is (PlayTimeStamp, sound_system.h). UI thread.
    virtual void restart(int slot) = 0;
    // Slot 1..8: silences the slot. A slot without a player: nothing. UI thread.
    virtual void stop(int slot) = 0;
};

// Slots without players: all eight are silent.
class SilentSampleSlots final : public SampleSlots {
public:
    void restart(int) override {}
    void stop(int) override {}
};

} // namespace groovane
