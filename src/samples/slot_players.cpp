#include "slot_players.h"

#include "audio_stream.h"
#include "dx_sound.h"
#include "exception.h"

namespace groovane {

std::optional<SongSampleSettings> playerSettings(TAudioFileStream* player)
{
    if (!player || !player->WaveStream())
        return std::nullopt;
    return SongSampleSettings{player->FileName(), player->Frequency(), player->Pan()};
}

std::optional<int32_t> playerVolume(TAudioFileStream* player)
{
    if (!player || !player->WaveStream())
        return std::nullopt;
    return player->Volume();
}

// A sample window's sound component and player, and nothing else of the window. The player is
// declared last so it goes before the device it plays on.
struct SlotPlayers::Slot {
    TDXSoundForm form;
    TDXSound sound{&form};
    std::unique_ptr<TAudioFileStream> player;

    ~Slot()
    {
        player.reset();
        try {
            sound.Finalize();
        } catch (...) {
            // Nothing to report to while the slots go away.
        }
    }
};

SlotPlayers::SlotPlayers()
{
    for (auto& slot : slots_) {
        slot = std::make_unique<Slot>();
        // As a sample window's component: global focus, exclusive.
        slot->sound.SetOptions(soGlobalFocus | soExclusive);
    }
}

SlotPlayers::~SlotPlayers() = default;

SlotPlayers::Slot& SlotPlayers::slotAt(int slot) const
{
    if (slot < 1 || slot > kSampleSlotCount)
        throw Exception("Sample slot " + std::to_string(slot) + " does not exist");
    return *slots_[static_cast<size_t>(slot - 1)];
}

void SlotPlayers::start(int slot)
{
    Slot& s = slotAt(slot);
    s.player.reset();
    s.sound.Initialize();
    s.player = std::make_unique<TAudioFileStream>(*s.sound.DSound());
    // A bare name: the blank sound in the working folder.
    s.player->SetFileName("Blank.wav");
}

std::optional<SongSampleSettings> SlotPlayers::settings(int slot) const
{
    return playerSettings(slotAt(slot).player.get());
}

std::optional<int32_t> SlotPlayers::volume(int slot) const
{
    return playerVolume(slotAt(slot).player.get());
}

void SlotPlayers::setFileName(int slot, const std::string& path)
{
    Slot& s = slotAt(slot);
    if (!s.player) {
        s.sound.Initialize();
        s.player = std::make_unique<TAudioFileStream>(*s.sound.DSound());
    }
    const int32_t volume = playerVolume(s.player.get()).value_or(0);
    s.player->SetFileName(path);
    s.player->SetVolume(volume);
}

void SlotPlayers::setFrequency(int slot, int32_t frequency)
{
    if (TAudioFileStream* player = slotAt(slot).player.get())
        player->SetFrequency(frequency);
}

void SlotPlayers::setPan(int slot, int32_t pan)
{
    if (TAudioFileStream* player = slotAt(slot).player.get())
        player->SetPan(pan);
}

void SlotPlayers::setVolume(int slot, int32_t volume)
{
    if (TAudioFileStream* player = slotAt(slot).player.get())
        player->SetVolume(volume);
}

} // namespace groovane
