// A pattern file as a song takes it into its step list: the tempo and loop count as the editor's
// controls hold them after loading it (the slider keeps 1..140, the loop guard lifts a count
// below 1 to 1), its length and its step rows' cells. The main window's Play Song and Render
// load patterns through the editor and then take this from the same file; the command-line
// render reads pattern files with it directly, so both build the same step list from the same
// files. Any thread.
#pragma once

#include "song/step_list.h"

#include <string>

namespace groovane {

class PatternFileReader;

// Raises, in the order a load meets them: the length line's conversion error, the length guard's
// error for a length the program could not save, then the tempo and loop lines' conversion
// errors ("'%s' is not a valid integer value").
SongPattern songPatternOf(const PatternFileReader& reader);

// Reads the pattern `name` from `baseFolder` (name + ".pat"). Raises EFileError
// "Cannot open file <path>" for a file that cannot be read, then as songPatternOf.
SongPattern readSongPattern(const std::string& baseFolder, const std::string& name);

} // namespace groovane
