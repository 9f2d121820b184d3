// The kit file reader. A kit reads the same from a file as from the same bytes in memory, with
// the same error when it is refused; whatever it read (all of it, or the sounds before a failure)
// saves to bytes that load back as the same kit; and loading it in place of a playing kit either
// replaces the sounds and keeps each instrument's volume and pan, or, refused, leaves that kit
// exactly as it was.
#include "both_ways.h"

#include "sound/byte_stream.h"
#include "platform/exception.h"
#include "kits/kit_loading.h"
#include "pattern/instruments.h"
#include "sound/wave.h"
#include "sound/wave_collection.h"

#include <string>

namespace {

using namespace groovane;

// A small kit holding all 16 instruments, each with its own volume and pan.
void playingKit(TWaveCollection& kit)
{
    TWave wave;
    WaveFormatEx format;
    MakePCMWaveFormat(format, 22050, 8, 1);
    wave.SetFormat(format);
    wave.SetSize(4);
    for (int slot = kFirstKitSlot; slot <= kLastKitSlot; ++slot) {
        TWaveCollectionItem& item = kit.Add();
        item.SetName(instrumentNames()[static_cast<size_t>(slot)]);
        wave.Data()[0] = static_cast<uint8_t>(slot);
        item.SetWave(wave);
        item.SetVolume(-100 * slot);
        item.SetPan(1000 - 100 * slot);
    }
}

bool sameSettings(const TWaveCollection& a, const TWaveCollection& b)
{
    for (int slot = kFirstKitSlot; slot <= kLastKitSlot; ++slot) {
        const std::string& name = instrumentNames()[static_cast<size_t>(slot)];
        if (a.Find(name).Volume() != b.Find(name).Volume() || a.Find(name).Pan() != b.Find(name).Pan())
            return false;
    }
    return true;
}

} // namespace

GROOVANE_FUZZ_TARGET(kit_file)
{
    const std::string path = fuzz::writeScratchFile("kit.dxg", input);

    TWaveCollection fromMemory;
    TWaveCollection fromFile;
    const fuzz::LoadErrors errors = fuzz::loadBothWays(fromMemory, fromFile, input, path);
    FUZZ_CHECK(errors.fromMemory == errors.fromFile, "kit file");
    const std::string bytes = fromMemory.KitBytes();
    FUZZ_CHECK(fromFile.KitBytes() == bytes, "kit file");

    TWaveCollection again;
    TMemoryStream saved(bytes);
    again.LoadFromStream(saved);
    FUZZ_CHECK(again.Count() == fromMemory.Count(), "kit file");
    FUZZ_CHECK(again.KitBytes() == bytes, "kit file");

    TWaveCollection kit;
    playingKit(kit);
    TWaveCollection before;
    playingKit(before);
    const std::string replaceError = fuzz::errorOf([&] { loadKitKeepingSettings(kit, path); });
    FUZZ_CHECK(sameSettings(kit, before), "kit file");
    if (!replaceError.empty())
        FUZZ_CHECK(kit.KitBytes() == before.KitBytes(), "kit file");
    else
        FUZZ_CHECK(kit.KitBytes() == bytes, "kit file");
}
