// The song file (".sng"): the play list's names, one a line, then one block of five lines for
// each of the eight sample slots: "<*sam" and the slot number, the path of the slot's WAV file,
// its frequency, "//", its pan. It holds no patterns, tempo, loop counts, kit or title; the title
// is the file's name.
//
// A reader takes any line not starting with "<*" as a play list entry (so an entry whose name
// starts with "<*" does not survive a round trip) and reads a block for "<*sam1" .. "<*sam8";
// other "<*" tags are passed over. Only slot 1's block decides whether the file carries pan
// lines: when its fourth line is "//", every block read after it has a pan line; otherwise no
// block has, and the line after each frequency is used up without effect. Lines past the end
// read as empty.
//
// The whole file is read before anything changes, so a file that cannot be read, or a number
// that does not read, leaves the play list, the title and the slots as they were. Any thread;
// the main window applies the result on the UI thread.
#pragma once

#include "platform/line_buffer.h"
#include "pattern/instruments.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace groovane {

// The file a slot without an imported sample holds, beside the program.
inline constexpr const char* kBlankSample = "Blank.wav";

// One slot as song files see it.
struct SongSampleSettings {
    std::string fileName;
    int32_t frequency = 0; // samples per second
    int32_t pan = 0;       // -10000 (left) .. 10000 (right)
};

// One sample block read from a file.
struct SongSampleBlock {
    int slot = 0;         // 1..8
    std::string fileName; // the path as written
    int32_t frequency = 0;
    std::optional<int32_t> pan; // none when the file carries no pan lines
};

struct SongFileContents {
    std::vector<std::string> names;       // play list entries in file order
    std::vector<SongSampleBlock> samples; // blocks in file order
};

// Reads a song file's lines. Raises EConvertError "'%s' is not a valid integer value" for a
// frequency or pan line that is not a decimal integer (a missing one reads as empty text).
SongFileContents readSongFile(const TextLines& lines);

// The lines of a song file: the names, then the blocks of slots 1..8. A slot without a player
// (nothing given for it) is written as the blank sound: "Blank.wav", 0, "//", 0.
std::vector<std::string> songFileLines(const std::vector<std::string>& names,
                                       const std::vector<std::optional<SongSampleSettings>>& slots);

// The file name part of a path: what follows its last "/" or "\".
std::string songFileTitle(const std::string& path);
// A title less its last four characters (the extension); a title of three characters or fewer
// stays whole.
std::string withoutExtension(const std::string& title);
// True for the titles that write and open nothing: empty, or exactly ".sng".
bool isEmptySongTitle(const std::string& title);
// True when a sample path names the blank sound (its file name part is exactly "Blank.wav").
bool isBlankSample(const std::string& path);

// The path a song's sample path is opened at: a relative path (the bare "Blank.wav") lies in
// `baseFolder`, and stays relative while that is the working folder; a path written with "\"
// separators that does not exist is tried with "/". When neither exists, the first form, so
// the error names it.
std::string resolveSamplePath(const std::string& path, const std::string& baseFolder);

} // namespace groovane
