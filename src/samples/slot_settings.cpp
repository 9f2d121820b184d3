#include "samples/slot_settings.h"

#include "sound/audio_stream.h"
#include "sound/direct_sound.h"
#include "platform/exception.h"
#include "platform/sound_device.h"
#include "sound/wave_stream.h"

namespace groovane {

namespace {

// The slot's sound after a player opened `path`: the file opened and its format taken as the
// player takes them, and the ring it would make checked against what the device makes.
SampleSlotSettings openedSound(const std::string& path)
{
    TWaveFileStream stream(path, FileMode::OpenRead);
    stream.Open(false);
    const WaveFormatEx format = playerStreamFormat(stream);
    if (!isAcceptedRing(format, playerRingBytes(format, kPlayerRingMs)))
        throw EDirectSoundBufferError(formatMessage("%s cannot be made", "Sound Buffer"));
    SampleSlotSettings sound;
    sound.file = path;
    sound.ownRate = format.nSamplesPerSec;
    return sound;
}

} // namespace

std::optional<SampleSlotSettings>& SampleSlotSettingsList::slotAt(int slot)
{
    if (slot < 1 || slot > kSampleSlotCount)
        throw Exception("Sample slot " + std::to_string(slot) + " does not exist");
    return slots_[static_cast<size_t>(slot - 1)];
}

const std::optional<SampleSlotSettings>& SampleSlotSettingsList::slot(int slot) const
{
    return const_cast<SampleSlotSettingsList*>(this)->slotAt(slot);
}

SampleSlotSettings& SampleSlotSettingsList::soundOf(int slot)
{
    std::optional<SampleSlotSettings>& sound = slotAt(slot);
    if (!sound)
        throw EDirectSoundBufferError(formatMessage("%s not made", "IDirectSoundBuffer"));
    return *sound;
}

void SampleSlotSettingsList::start(int slot)
{
    std::optional<SampleSlotSettings>& sound = slotAt(slot);
    sound.reset();
    // A bare name: the blank sound in the working folder.
    sound = openedSound("Blank.wav");
}

std::optional<SongSampleSettings> SampleSlotSettingsList::settings(int slot) const
{
    const std::optional<SampleSlotSettings>& sound = this->slot(slot);
    if (!sound)
        return std::nullopt;
    const int32_t frequency = sound->frequency != 0 ? sound->frequency : static_cast<int32_t>(sound->ownRate);
    return SongSampleSettings{sound->file, frequency, sound->pan};
}

std::optional<int32_t> SampleSlotSettingsList::volume(int slot) const
{
    const std::optional<SampleSlotSettings>& sound = this->slot(slot);
    if (!sound)
        return std::nullopt;
    return sound->volume;
}

void SampleSlotSettingsList::setFileName(int slot, const std::string& path)
{
    std::optional<SampleSlotSettings>& sound = slotAt(slot);
    const int32_t volume = sound ? sound->volume : 0;
    if (!sound || sound->file != path) {
        sound.reset();
        // An empty name leaves the player without a file, and so without a sound.
        if (!path.empty())
            sound = openedSound(path);
    }
    setVolume(slot, volume);
}

void SampleSlotSettingsList::setFrequency(int slot, int32_t frequency)
{
    SampleSlotSettings& sound = soundOf(slot);
    // The device takes the number as unsigned, so a negative one is far out of range.
    if (isAcceptedFrequency(static_cast<uint32_t>(frequency)))
        sound.frequency = frequency;
}

void SampleSlotSettingsList::setPan(int slot, int32_t pan)
{
    SampleSlotSettings& sound = soundOf(slot);
    if (isAcceptedPan(pan))
        sound.pan = pan;
}

void SampleSlotSettingsList::setVolume(int slot, int32_t volume)
{
    SampleSlotSettings& sound = soundOf(slot);
    if (isAcceptedVolume(volume))
        sound.volume = volume;
}

} // namespace groovane
