// Pattern and song files written by the program's own writers, for tests that play or render
// songs from a working folder.
#pragma once

#include "platform/line_buffer.h"
#include "pattern/pattern_editing.h"
#include "pattern/pattern_file.h"
#include "pattern/pattern_grid.h"
#include "song/song_file.h"
#include "support/temp_folder.h"

#include <optional>
#include <string>
#include <vector>

namespace groovane::test {

// The channel cells of the steps, one row per step, columns 1.. of each.
using Rows = std::vector<std::vector<std::string>>;

// "<name>.pat" of `length` steps whose step n has `rows[n - 1]` in its channels.
inline void writePatternFile(const TempFolder& folder, const std::string& name, int length, int tempo, int loops,
                             const Rows& rows = {})
{
    PatternGrid stored;
    writeLengthAndTime(stored, length, 4);
    stored.setCell(0, 0, name);
    for (size_t step = 0; step < rows.size(); ++step)
        for (size_t c = 0; c < rows[step].size(); ++c)
            stored.setCell(static_cast<int>(c) + 1, static_cast<int>(step) + 2, rows[step][c]);
    folder.write(name + ".pat", LineBuffer::joinLines(patternFileLines(stored, length, tempo, loops)));
}

// A song file with the play list `names` and the eight slots' blocks (a slot without settings
// is written as the blank sound).
inline void writeSongFile(const TempFolder& folder, const std::string& fileName, const std::vector<std::string>& names,
                          std::vector<std::optional<SongSampleSettings>> sampleSlots = {})
{
    sampleSlots.resize(kSampleSlotCount);
    folder.write(fileName, LineBuffer::joinLines(songFileLines(names, sampleSlots)));
}

} // namespace groovane::test
