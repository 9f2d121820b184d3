// The eight sample windows as the main window reaches them: playback restarts and silences a
// slot, and songs read and set a slot's file, pitch, pan and volume. The main window knows the
// slots only through SampleSlots and SongSlots; this class stands behind both for the program.
//
// A slot is whatever its window's player is at the moment of the call, so a slot closed in its
// window, or whose file failed to open, is silent to playback and has no settings for a song or
// the render. UI thread only.
#pragma once

#include "playback/sample_slots.h"
#include "song/song_slots.h"

#include <functional>

namespace groovane {

class SampleWindow;

class SampleSlotAccess final : public SampleSlots, public SongSlots {
public:
    // `windowOf(k)` gives slot k's window (1..8); the windows must outlive every call.
    explicit SampleSlotAccess(std::function<SampleWindow*(int slot)> windowOf) : windowOf_(std::move(windowOf)) {}

    // SampleSlots.
    void restart(int slot) override;
    void stop(int slot) override;

    // SongSlots.
    std::optional<SongSampleSettings> settings(int slot) const override;
    std::optional<int32_t> volume(int slot) const override;
    // A slot closed in its window gets its device and player made again first. The slot keeps
    // its volume across the new file; its scratch copy is refreshed from the file it now plays
    // and the output format follows the file. A file that cannot be opened raises and leaves the
    // slot without a sound.
    void setFileName(int slot, const std::string& path) override;
    // Raise when the slot has no sound; nothing when it has no player.
    void setFrequency(int slot, int32_t frequency) override;
    void setPan(int slot, int32_t pan) override;
    void setVolume(int slot, int32_t volume) override;
    // The pitch slider moves with the window's Updating guard set, so the move does not pass
    // the slider's rounded position back to the player.
    void enableControls(int slot, int32_t frequency) override;

private:
    SampleWindow& window(int slot) const;

    std::function<SampleWindow*(int slot)> windowOf_;
};

} // namespace groovane
