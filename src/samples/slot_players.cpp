#include "samples/slot_players.h"

#include "sound/audio_stream.h"

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

} // namespace groovane
