#include "song/song_slots.h"

namespace groovane {

std::vector<std::optional<SongSampleSettings>> songSampleSettings(const SongSlots& slots)
{
    std::vector<std::optional<SongSampleSettings>> settings;
    for (int slot = 1; slot <= kSampleSlotCount; ++slot)
        settings.push_back(slots.settings(slot));
    return settings;
}

void applySongSamples(const SongFileContents& song, SongSlots& slots, const std::string& baseFolder)
{
    for (const SongSampleBlock& block : song.samples) {
        slots.setFileName(block.slot, resolveSamplePath(block.fileName, baseFolder));
        slots.setFrequency(block.slot, block.frequency);
        if (!isBlankSample(block.fileName))
            slots.enableControls(block.slot, block.frequency);
        if (block.pan)
            slots.setPan(block.slot, *block.pan);
    }
}

} // namespace groovane
