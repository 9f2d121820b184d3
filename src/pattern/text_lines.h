// Text files of the program are lists of lines. They are written with every line, the last one
// included, ended by CR LF, and read accepting CR LF, a lone CR or a lone LF, so files edited on
// any system load. Bytes are kept as they are: no code page conversion, and a file that is not
// text at all still splits into lines without failing.
#pragma once

#include <string>
#include <vector>

namespace groovane {

// The lines of a text file's bytes. A final line without an ending counts; an ending at the very
// end of the file does not start another, empty line. Any thread.
std::vector<std::string> splitTextLines(const std::string& bytes);

// The bytes of a text file holding `lines`, each ended by CR LF. Any thread.
std::string joinTextLines(const std::vector<std::string>& lines);

// Line `index` of `lines`, or empty text when the file lacks it (also for a negative index):
// readers treat a missing line as an empty one.
const std::string& lineOrEmpty(const std::vector<std::string>& lines, long long index);

} // namespace groovane
