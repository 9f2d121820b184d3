#include "playback/song_playback.h"

#include "playback/instrument_trigger.h"
#include "song/step_list.h"

namespace groovane {

SongTick SongPlayback::tick(const SongTickSettings& settings)
{
    SongTick result;
    StepWalk walk(list_);
    walk.setIndex(SongStepIndex);
    if (const std::optional<int32_t> tempo = walk.enterPattern())
        result.tempoPosition = settings.globalTempo ? *settings.globalTempo : *tempo;
    SongStepIndex = walk.index();

    if (!walk.atEnd()) {
        // A row never straddles the end line; should one, the cells past it are silent.
        result.rowLine = SongStepIndex;
        StepCells cells{};
        int taken = 0;
        for (std::string_view& cell : cells) {
            if (walk.atEnd())
                break;
            cell = walk.cell();
            walk.advance();
            ++taken;
        }
        trigger_.triggerStep(cells);
        SongStepIndex += taken;
    }

    if (walk.atEnd() || settings.isStopRequested) {
        if (settings.isEndless)
            SongStepIndex = 0;
        else
            result.isSongEnd = true;
    }
    return result;
}

} // namespace groovane
