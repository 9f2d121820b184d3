#include "app/sample_slot_access.h"

#include "sound/audio_stream.h"
#include "platform/exception.h"
#include "samples/sample_window.h"
#include "samples/scratch_files.h"
#include "samples/slot_player.h"
#include "samples/slot_players.h"

#include <QPushButton>
#include <QSlider>

#include <utility>

namespace groovane {

SampleWindow& SampleSlotAccess::window(int slot) const
{
    SampleWindow* w = windowOf_ ? windowOf_(slot) : nullptr;
    if (!w)
        throw Exception("Sample slot " + std::to_string(slot) + " does not exist");
    return *w;
}

void SampleSlotAccess::restart(int slot)
{
    triggerSampleSlot(window(slot).Player());
}

void SampleSlotAccess::stop(int slot)
{
    stopSampleSlot(window(slot).Player());
}

std::optional<SongSampleSettings> SampleSlotAccess::settings(int slot) const
{
    return playerSettings(window(slot).Player());
}

std::optional<int32_t> SampleSlotAccess::volume(int slot) const
{
    return playerVolume(window(slot).Player());
}

void SampleSlotAccess::setFileName(int slot, const std::string& path)
{
    SampleWindow& w = window(slot);
    // A new file gives the player a new buffer at full level; the slot's volume is the user's
    // and stays. A slot without a sound has no buffer to ask: its window's slider has the level.
    const bool hadPlayer = w.Player() != nullptr;
    TAudioFileStream& player = w.ensurePlayer();
    const int32_t volume = hadPlayer && player.WaveStream() ? player.Volume() : w.VolumeTrackBar->value() * 100;
    player.SetFileName(path);
    player.SetVolume(volume);
    w.followPlayerFormat();
    refreshSampleScratchFile(player.FileName(), w.BaseFolder(), slot);
}

void SampleSlotAccess::setFrequency(int slot, int32_t frequency)
{
    if (TAudioFileStream* player = window(slot).Player())
        player->SetFrequency(frequency);
}

void SampleSlotAccess::setPan(int slot, int32_t pan)
{
    if (TAudioFileStream* player = window(slot).Player())
        player->SetPan(pan);
}

void SampleSlotAccess::setVolume(int slot, int32_t volume)
{
    if (TAudioFileStream* player = window(slot).Player())
        player->SetVolume(volume);
}

void SampleSlotAccess::enableControls(int slot, int32_t frequency)
{
    SampleWindow& w = window(slot);
    for (QWidget* control : {static_cast<QWidget*>(w.PlayButton), static_cast<QWidget*>(w.PanTrackBar),
                             static_cast<QWidget*>(w.VolumeTrackBar), static_cast<QWidget*>(w.FrequencyTrackBar)})
        control->setEnabled(true);
    const bool wasUpdating = std::exchange(w.Updating, true);
    w.FrequencyTrackBar->setValue(frequency);
    w.Updating = wasUpdating;
}

} // namespace groovane
