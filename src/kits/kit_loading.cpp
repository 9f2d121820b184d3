#include "kits/kit_loading.h"

#include "pattern/instruments.h"
#include "sound/wave_collection.h"

#include <array>
#include <filesystem>

namespace groovane {

namespace {

struct InstrumentSettings {
    int32_t volume = 0;
    int32_t pan = 0;
};

} // namespace

void loadKitKeepingSettings(TWaveCollection& kit, const std::string& fileName)
{
    std::array<InstrumentSettings, kLastKitSlot + 1> settings{};
    for (int slot = kFirstKitSlot; slot <= kLastKitSlot; ++slot) {
        if (const THashCollectionItem* found = kit.FindItem(instrumentNames()[static_cast<size_t>(slot)])) {
            const auto& item = static_cast<const TWaveCollectionItem&>(*found);
            settings[static_cast<size_t>(slot)] = {item.Volume(), item.Pan()};
        }
    }

    TWaveCollection loaded;
    loaded.LoadFromFile(fileName);
    for (int slot = kFirstKitSlot; slot <= kLastKitSlot; ++slot) {
        TWaveCollectionItem& item = loaded.Find(instrumentNames()[static_cast<size_t>(slot)]);
        item.SetVolume(settings[static_cast<size_t>(slot)].volume);
        item.SetPan(settings[static_cast<size_t>(slot)].pan);
    }
    kit.Assign(loaded);
}

void loadKitAsSaved(TWaveCollection& kit, const std::string& fileName)
{
    TWaveCollection loaded;
    loaded.LoadFromFile(fileName);
    for (int slot = kFirstKitSlot; slot <= kLastKitSlot; ++slot)
        loaded.Find(instrumentNames()[static_cast<size_t>(slot)]);
    // The copies' buffers are made on the kit's device when they first sound.
    kit.Assign(loaded);
}

bool isBareKitExtension(const std::string& chosen)
{
    return chosen == ".dxg" || std::filesystem::path(chosen).filename() == ".dxg";
}

} // namespace groovane
