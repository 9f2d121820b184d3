// Where a render's sounds come from. The kit's 17 sounds are written to the scratch folder
// ("temp/0.wav" .. "temp/16.wav") at every render and mixed from there, each kit instrument with
// the volume and pan of the kit sound of its name, as playback finds it; a sample slot is mixed
// from the file its player plays, with the player's volume, pan and frequency. The main window
// and the command-line render both take their sounds here, so they mix the same sounds.
// UI thread (the kit and the slots' players belong to it).
#pragma once

#include "render/song_render.h"

#include <string>

namespace groovane {

class SongSlots;
class TWaveCollection;

// Writes kit sound n to `baseFolder`/temp/n.wav for n = 0..16, each file replaced whole: sound 0
// is the kit's first (unnamed) sound, sound g the kit sound named as instrument g. A sound the
// kit lacks, or one without sound data, gives an empty file (its hits mix nothing). Raises
// EFileError "Cannot create file <path>" when a file cannot be written (no "temp" folder), and
// before writing anything EListError "List index out of bounds (<count>)" for a kit of fewer
// than 17 sounds (no kit was loaded).
void exportKitSounds(const TWaveCollection& kit, const std::string& baseFolder);

// The sounds of instruments 1..24 as a render mixes them: kit instrument g from the file
// exportKitSounds wrote, with the volume and pan of the kit's sound of its name (full level and
// centre when the kit lacks it); sample slot k from the file `sampleSlots` says its player plays,
// with its volume, pan and frequency. A slot without a sound, and every slot when `sampleSlots` is
// null, renders nothing. Raises what `sampleSlots` raises.
RenderSounds renderSoundsOf(const TWaveCollection& kit, const SongSlots* sampleSlots, const std::string& baseFolder);

} // namespace groovane
