#include "kits/kit_maker.h"

#include "sound/direct_sound.h"
#include "platform/files.h"
#include "pattern/instruments.h"
#include "sound/wave.h"
#include "sound/wave_collection.h"
#include "sound/wave_stream.h"

namespace groovane {

void makeKitLayout(TWaveCollection& kit)
{
    kit.Clear();
    for (int i = 0; i < kKitSounds; ++i)
        kit.Add().SetName(instrumentNames()[static_cast<size_t>(i)]);
}

void makeBlankKit(TWaveCollection& kit, const std::string& blankFile)
{
    // The layout first, so a blank file that cannot be read still leaves every instrument a
    // place to load a sample into.
    makeKitLayout(kit);
    for (int i = 0; i < kKitSounds; ++i)
        kit.Items(i).Wave().LoadFromFile(blankFile);
}

void checkKitComplete(const TWaveCollection& kit)
{
    for (int i = kFirstKitSlot; i <= kLastKitSlot; ++i) {
        const std::string& name = instrumentNames()[static_cast<size_t>(i)];
        if (i >= kit.Count() || kit.Items(i).Name() != name)
            throw EWaveCollectionError(formatMessage("Wave '%s' not found", name));
    }
    // The unnamed first sound is made into a buffer at start-up as every other one is.
    for (int i = 0; i <= kLastKitSlot; ++i) {
        const TWave& wave = kit.Items(i).Wave();
        if (wave.Size() > 0 && wave.FormatSize() > 0)
            continue;
        if (i == 0)
            throw EWaveCollectionError("The kit's first, unnamed sound has no samples");
        throw EWaveCollectionError(
            formatMessage("Wave '%s' has no samples", instrumentNames()[static_cast<size_t>(i)]));
    }
}

std::string kitScratchFile(const std::string& baseFolder, int index)
{
    return joinPath(joinPath(baseFolder, "temp"), std::to_string(index) + ".wav");
}

void templateKit(TWaveCollection& kit, const TWaveCollection& source, const std::string& baseFolder,
                 KitSoundFiles& files)
{
    for (int i = kFirstKitSlot; i <= kLastKitSlot; ++i) {
        const std::string file = kitScratchFile(baseFolder, i);
        // The same bytes the wave's own writer produces, through a temporary file and a rename.
        writeFileBytesAtomic(file, source.Items(i).Wave().PropertyBytes());
        kit.Items(i).Wave().LoadFromFile(file);
        files[static_cast<size_t>(i)] = file;
    }
}

TWave readKitSound(const std::string& fileName, TDirectSound* device)
{
    TWave wave;
    wave.LoadFromFile(fileName);
    if (wave.Size() <= 0 || wave.FormatSize() <= 0)
        throw EWaveStreamError("Wave is invalid");
    if (device) {
        // The same buffer the main window will make for the sound when the kit is used.
        TDirectSoundBuffer probe(*device);
        probe.LoadFromWave(wave);
    }
    return wave;
}

} // namespace groovane
