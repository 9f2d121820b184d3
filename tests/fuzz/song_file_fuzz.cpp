// The song file reader. A song that reads, applied to the eight sample slots as opening it does
// (block by block in file order, the pan only where the file has one), writes a file that reads
// back as the same play list and, for each slot, the same file name, frequency and pan. A file
// that is refused is refused with the conversion error and nothing else. No entry leads to a
// pattern path outside the working folder.
#include "fuzz_target.h"

#include "platform/exception.h"
#include "folder_paths.h"
#include "platform/line_buffer.h"
#include "song/song_file.h"

#include <optional>
#include <string>
#include <vector>

GROOVANE_FUZZ_TARGET(song_file)
{
    using namespace groovane;
    const std::vector<std::string> lines = LineBuffer::splitLines(input);
    SongFileContents song;
    try {
        song = readSongFile(lines);
    } catch (const EConvertError&) {
        return;
    }
    for (const SongSampleBlock& block : song.samples)
        FUZZ_CHECK(block.slot >= 1 && block.slot <= kSampleSlotCount, "song file");
    // Playing or rendering the song builds a path from each entry.
    for (const std::string& name : song.names)
        fuzz::checkPatternPathStaysInFolder(name);

    std::vector<std::optional<SongSampleSettings>> slots(kSampleSlotCount, SongSampleSettings{kBlankSample, 0, 0});
    for (const SongSampleBlock& block : song.samples) {
        SongSampleSettings& slot = *slots[static_cast<size_t>(block.slot - 1)];
        slot.fileName = block.fileName;
        slot.frequency = block.frequency;
        if (block.pan)
            slot.pan = *block.pan;
    }
    const std::vector<std::string> saved = songFileLines(song.names, slots);
    const SongFileContents again = readSongFile(LineBuffer::splitLines(LineBuffer::joinLines(saved)));
    FUZZ_CHECK(again.names == song.names, "song file");
    FUZZ_CHECK(again.samples.size() == static_cast<size_t>(kSampleSlotCount), "song file");
    for (size_t i = 0; i < again.samples.size(); ++i) {
        const SongSampleBlock& block = again.samples[i];
        FUZZ_CHECK(block.slot == static_cast<int>(i) + 1, "song file");
        FUZZ_CHECK(block.fileName == slots[i]->fileName, "song file");
        FUZZ_CHECK(block.frequency == slots[i]->frequency, "song file");
        FUZZ_CHECK(block.pan == slots[i]->pan, "song file");
    }
}
