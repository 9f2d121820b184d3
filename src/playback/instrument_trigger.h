// How a cell's text becomes a sound. The text is looked up in the instrument list without regard
// to case; its slot is 0 (nothing), 1..16 (a kit sound, found by its list name and played as one
// more overlapping copy) or 17..24 (sample slot 1..8, restarted from its beginning). Pattern
// playback, song playback and Play Instrument all trigger through this one class; a render gives
// it a KitSounds and SampleSlots of its own, so what renders is what plays.
#pragma once

#include "pattern/pattern_grid.h"
#include "playback/sample_slots.h"

#include <array>
#include <string>
#include <string_view>

namespace groovane {

class TCustomDXWaveList;

// The kit as playback reaches it.
class KitSounds {
public:
    virtual ~KitSounds() = default;
    // Starts one more copy of the kit sound named `name` (instrument list entry 1..16) from its
    // beginning, at the instrument's pan and volume, and returns at once; copies overlap. Raises
    // "Wave '<name>' not found" when the kit has no sound of that name. UI thread.
    virtual void play(const std::string& name) = 0;
};

// The kit of a wave list: Find, then Play without waiting. Silent while the list's sound
// component is closed.
class WaveListKit final : public KitSounds {
public:
    explicit WaveListKit(TCustomDXWaveList& list) : list_(list) {}
    void play(const std::string& name) override;

private:
    TCustomDXWaveList& list_;
};

// The six cell texts of one step, channel 1 first. A pattern row and six lines of a song's step
// list both come as one of these.
using StepCells = std::array<std::string_view, PatternGrid::kChannelCount>;

// UI thread only.
class InstrumentTrigger {
public:
    InstrumentTrigger(KitSounds& kit, SampleSlots& samples) : kit_(&kit), samples_(&samples) {}

    // The sample slots triggered from now on; they must outlive their use here.
    void setSampleSlots(SampleSlots& samples) { samples_ = &samples; }
    SampleSlots& sampleSlots() const { return *samples_; }

    // Sounds instrument slot `slot`: 1..16 its kit sound, 17..24 a restart of sample slot
    // slot - 16; 0, and anything outside 0..24, nothing. Raises what the kit or the slot raises.
    void trigger(int slot);
    // Looks up each cell and triggers it, channel 1 first. An error ends the step at the failing
    // cell: the cells after it do not sound.
    void triggerStep(const StepCells& cells);
    // Silences all eight sample slots, slot 1 first.
    void stopSampleSlots();

private:
    KitSounds* kit_;
    SampleSlots* samples_;
};

} // namespace groovane
