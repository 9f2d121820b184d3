#include "playback/song_pattern.h"

#include "platform/line_buffer.h"
#include "pattern/pattern_editing.h"
#include "pattern/pattern_file.h"
#include "song/tempo_rule.h"

#include <algorithm>

namespace groovane {

SongPattern songPatternOf(const PatternFileReader& reader)
{
    const int length = reader.length();
    checkPatternLength(length);
    const int tempoPosition = clampTempoPosition(reader.tempoPosition());
    const int loopCount = std::max(reader.loopCount(), 1);
    return SongPattern{tempoPosition, loopCount, length, patternStepCells(reader)};
}

SongPattern readSongPattern(const std::string& baseFolder, const std::string& name)
{
    LineBuffer file;
    file.loadFromFile(patternFilePath(baseFolder, name));
    return songPatternOf(PatternFileReader(file.takeRead()));
}

} // namespace groovane
