#include "render/render_sounds.h"

#include "sound/byte_stream.h"
#include "platform/files.h"
#include "pattern/instruments.h"
#include "song/song_slots.h"
#include "sound/wave_collection.h"

namespace groovane {

namespace {

std::string kitSoundFile(const std::string& baseFolder, int sound)
{
    return joinPath(baseFolder, "temp/" + std::to_string(sound) + ".wav");
}

// Kit sound n: the first item for sound 0, which no instrument names; the item of the
// instrument's name for the others, so a kit in another order still sounds right.
const TWaveCollectionItem* kitSound(const TWaveCollection& kit, int sound)
{
    const THashCollectionItem* found = sound == 0 ? (kit.Count() > 0 ? &kit.Items(0) : nullptr)
                                                  : kit.FindItem(instrumentNames()[static_cast<size_t>(sound)]);
    return dynamic_cast<const TWaveCollectionItem*>(found);
}

} // namespace

void exportKitSounds(const TWaveCollection& kit, const std::string& baseFolder)
{
    // The kit layout has 17 sounds; a smaller kit (none loaded at start) has nothing to render
    // with, and a render of it would be silence reported as a success.
    if (kit.Count() <= kLastKitSlot)
        throw EListError(formatMessage("List index out of bounds (%d)", kit.Count()));
    for (int sound = 0; sound <= kLastKitSlot; ++sound) {
        TMemoryStream image;
        if (const TWaveCollectionItem* item = kitSound(kit, sound))
            item->Wave().SaveToStream(image);
        writeFileBytesAtomic(kitSoundFile(baseFolder, sound), image.Bytes());
    }
}

RenderSounds renderSoundsOf(const TWaveCollection& kit, const SongSlots* sampleSlots, const std::string& baseFolder)
{
    RenderSounds sounds;
    for (int slot = kFirstKitSlot; slot <= kLastKitSlot; ++slot) {
        RenderSound sound;
        sound.file = kitSoundFile(baseFolder, slot);
        if (const TWaveCollectionItem* item = kitSound(kit, slot)) {
            sound.volume = item->Volume();
            sound.pan = item->Pan();
        }
        sounds[static_cast<size_t>(slot)] = sound;
    }
    if (!sampleSlots)
        return sounds;
    for (int k = 1; k <= kSampleSlotCount; ++k) {
        const std::optional<SongSampleSettings> settings = sampleSlots->settings(k);
        const std::optional<int32_t> volume = sampleSlots->volume(k);
        if (!settings || !volume)
            continue;
        sounds[static_cast<size_t>(kFirstSampleSlot + k - 1)] =
            RenderSound{settings->fileName, *volume, settings->pan, settings->frequency};
    }
    return sounds;
}

} // namespace groovane
