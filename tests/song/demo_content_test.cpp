// The demo patterns and the demo song that every new working folder gets (data/): each pattern
// is laid out exactly as the editor lays out a pattern of its length and time and saves it, plays
// only kit instruments (so it sounds with any kit and without samples) at a tempo and loop count
// the controls can hold; the song plays every demo pattern and no sample.
#include "platform/files.h"
#include "platform/line_buffer.h"
#include "pattern/pattern_editing.h"
#include "pattern/pattern_file.h"
#include "song/song_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace groovane;

namespace {

std::string dataFile(const std::string& name)
{
    return joinPath(GROOVANE_SOURCE_DATA, name);
}

std::vector<std::string> demoPatternNames()
{
    std::vector<std::string> names;
    for (const std::string& file : listFilesWithSuffix(GROOVANE_SOURCE_DATA, ".pat"))
        names.push_back(file.substr(0, file.size() - 4));
    std::sort(names.begin(), names.end());
    return names;
}

// Whether the selector offers this length and time, so the user can lay the pattern out again.
bool isOfferedLengthAndTime(int length, int time)
{
    for (const std::string& item : timeBarItems()) {
        const TimeBarSplit split = splitTimeBarText(item);
        if (split.length == std::to_string(length) && split.time == std::to_string(time))
            return true;
    }
    return false;
}

} // namespace

TEST(DemoContent, EachPatternIsAKitPatternTheEditorCouldHaveSaved)
{
    const std::vector<std::string> names = demoPatternNames();
    ASSERT_EQ(names.size(), 8u);
    const auto& instruments = instrumentNames();
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string bytes = readFileBytes(dataFile(name + ".pat"));
        const PatternFileReader reader(LineBuffer::splitLines(bytes));
        PatternGrid loaded;
        reader.loadCells(loaded);
        const int length = reader.length();
        const int time = std::stoi(loaded.cell(4, 0));
        EXPECT_TRUE(isOfferedLengthAndTime(length, time)) << length << " | " << time;
        EXPECT_EQ(loaded.cell(0, 0), name);
        EXPECT_GE(reader.tempoPosition(), 30);  // 240 on the read-out
        EXPECT_LE(reader.tempoPosition(), 100); // 72
        EXPECT_GE(reader.loopCount(), 1);
        EXPECT_LE(reader.loopCount(), 8);

        // The editor's grid for that name, length and time with the pattern's hits, saved.
        PatternGrid edited;
        edited.setCell(0, 0, name);
        writeLengthAndTime(edited, length, time);
        writeStepLabels(edited, length, time);
        writeChannelHeadings(edited);
        int hits = 0;
        for (int row = 2; row <= length + 1; ++row)
            for (int channel = 1; channel <= PatternGrid::kChannelCount; ++channel) {
                const std::string& cell = loaded.cell(channel, row);
                if (cell.empty())
                    continue;
                ++hits;
                const auto named =
                    std::find(instruments.begin() + kFirstKitSlot, instruments.begin() + kLastKitSlot + 1, cell);
                EXPECT_NE(named, instruments.begin() + kLastKitSlot + 1) << "not a kit instrument: " << cell;
                edited.setCell(channel, row, cell);
            }
        EXPECT_GE(hits, 4) << "a pattern that plays";
        EXPECT_EQ(LineBuffer::joinLines(patternFileLines(edited, length, reader.tempoPosition(), reader.loopCount())),
                  bytes);
    }
}

TEST(DemoContent, TheSongPlaysDemoPatternsWithEverySlotOnTheBlankSound)
{
    const std::string bytes = readFileBytes(dataFile("Demo.sng"));
    const SongFileContents song = readSongFile(LineBuffer::splitLines(bytes));
    const std::vector<std::string> patterns = demoPatternNames();
    std::set<std::string> used;
    for (const std::string& name : song.names) {
        EXPECT_TRUE(std::binary_search(patterns.begin(), patterns.end(), name)) << name;
        used.insert(name);
    }
    EXPECT_EQ(used.size(), patterns.size()) << "every demo pattern is in the demo song";
    EXPECT_EQ(song.names.front(), "Count-in");

    // Every slot on the blank sound, which every working folder has. (That the file is what
    // Save Song writes is checked with the program's windows.)
    ASSERT_EQ(song.samples.size(), 8u);
    for (const SongSampleBlock& block : song.samples) {
        EXPECT_EQ(block.fileName, kBlankSample);
        EXPECT_EQ(block.pan, 0);
    }
}
