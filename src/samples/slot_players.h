// The one reading of a sample slot player's settings, which the windows' slots (and through
// them song files and the render) use: its file, frequency and pan, and its volume. UI thread.
#pragma once

#include "song/song_file.h"

#include <cstdint>
#include <optional>

namespace groovane {

class TAudioFileStream;

// A player's file, frequency and pan as a song file and the render take them; its volume.
// Nothing for no player, or a player without a sound (a file that failed to open), which has no
// buffer to ask.
std::optional<SongSampleSettings> playerSettings(TAudioFileStream* player);
std::optional<int32_t> playerVolume(TAudioFileStream* player);

} // namespace groovane
