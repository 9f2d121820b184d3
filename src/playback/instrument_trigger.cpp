#include "playback/instrument_trigger.h"

#include "pattern/instruments.h"
#include "sound/wave_collection.h"

namespace groovane {

void WaveListKit::play(const std::string& name)
{
    list_.Items().Find(name).Play(false);
}

void InstrumentTrigger::trigger(int slot)
{
    if (slot >= kFirstKitSlot && slot <= kLastKitSlot) {
        // The kit sound carries the list's spelling, not the cell's: "kick" plays "Kick".
        kit_->play(instrumentNames()[static_cast<size_t>(slot)]);
    } else if (slot >= kFirstSampleSlot && slot <= kLastSampleSlot) {
        samples_->restart(slot - kFirstSampleSlot + 1);
    }
}

void InstrumentTrigger::triggerStep(const StepCells& cells)
{
    for (std::string_view text : cells)
        trigger(instrumentSlot(std::string(text)));
}

void InstrumentTrigger::stopSampleSlots()
{
    for (int slot = 1; slot <= kSampleSlotCount; ++slot)
        samples_->stop(slot);
}

} // namespace groovane
