#include "samples/slot_player.h"

#include "sound/audio_stream.h"

namespace groovane {

void triggerSampleSlot(TAudioFileStream* player)
{
    if (!player)
        return;
    player->SetPosition(0);
    player->Play();
}

void stopSampleSlot(TAudioFileStream* player)
{
    if (player)
        player->Stop();
}

} // namespace groovane
