// The main window's controls for tests: TSequence holds them privately, and tests drive and
// read them through here, e.g. `controlsOf(window).SongList`.
#pragma once

#include "app/sequence_window.h"

namespace groovane {

inline TSequenceControls& controlsOf(TSequence& window)
{
    return TSequenceTestAccess::controls(window);
}

} // namespace groovane
