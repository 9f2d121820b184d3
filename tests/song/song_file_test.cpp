#include "platform/exception.h"
#include "platform/line_buffer.h"
#include "song/song_file.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

using namespace groovane;

namespace {

using Slots = std::vector<std::optional<SongSampleSettings>>;

Slots blankSlots()
{
    return Slots(8, SongSampleSettings{"Blank.wav", 22050, 0});
}

// The bytes a song file holds, and what reading those bytes gives back.
std::string songBytes(const std::vector<std::string>& names, const Slots& slots)
{
    return LineBuffer::joinLines(songFileLines(names, slots));
}

SongFileContents read(const std::string& bytes)
{
    return readSongFile(LineBuffer::splitLines(bytes));
}

} // namespace

TEST(SongFileTest, WritesTheLayoutOfTheWorkedExample)
{
    Slots slots = blankSlots();
    slots[0] = SongSampleSettings{"C:\\Waves\\clap.wav", 22050, -2000};
    const std::vector<std::string> lines = songFileLines({"Intro", "Verse"}, slots);
    ASSERT_EQ(lines.size(), 42u);
    const std::vector<std::string> head(lines.begin(), lines.begin() + 12);
    EXPECT_EQ(head, (std::vector<std::string>{"Intro", "Verse", "<*sam1", "C:\\Waves\\clap.wav", "22050", "//", "-2000",
                                              "<*sam2", "Blank.wav", "22050", "//", "0"}));
    EXPECT_EQ(lines[37], "<*sam8");
    const std::string bytes = songBytes({"Intro", "Verse"}, slots);
    EXPECT_EQ(bytes.substr(0, 20), "Intro\r\nVerse\r\n<*sam1");
    EXPECT_EQ(bytes.substr(bytes.size() - 7), "//\r\n0\r\n");
}

TEST(SongFileTest, RoundTripsKeepNamesInOrderAndEverySlot)
{
    Slots slots = blankSlots();
    slots[2] = SongSampleSettings{"/home/me/waves/clap.wav", 44100, 4000};
    slots[7] = SongSampleSettings{"/home/me/waves/snap.wav", 4410, -4000};
    const SongFileContents song = read(songBytes({"A", "B", "A"}, slots));
    EXPECT_EQ(song.names, (std::vector<std::string>{"A", "B", "A"}));
    ASSERT_EQ(song.samples.size(), 8u);
    for (int k = 0; k < 8; ++k) {
        const SongSampleBlock& block = song.samples[static_cast<size_t>(k)];
        EXPECT_EQ(block.slot, k + 1);
        EXPECT_EQ(block.fileName, slots[static_cast<size_t>(k)]->fileName);
        EXPECT_EQ(block.frequency, slots[static_cast<size_t>(k)]->frequency);
        EXPECT_EQ(block.pan, slots[static_cast<size_t>(k)]->pan);
    }

    // An empty play list is the 40 sample lines alone.
    const std::string empty = songBytes({}, slots);
    EXPECT_EQ(LineBuffer::splitLines(empty).size(), 40u);
    EXPECT_TRUE(read(empty).names.empty());

    // Empty names survive; names starting with "<*" come back as tags and are lost, other tags
    // are passed over.
    const SongFileContents odd = read(songBytes({"", "<*sam9", "<*Chorus", "Outro", "<*sam"}, slots));
    EXPECT_EQ(odd.names, (std::vector<std::string>{"", "Outro"}));
    EXPECT_EQ(odd.samples.size(), 8u);
}

TEST(SongFileTest, ClosedSlotsAreWrittenAsTheBlankSound)
{
    Slots slots = blankSlots();
    slots[4].reset();
    const std::vector<std::string> lines = songFileLines({}, slots);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 20, lines.begin() + 25),
              (std::vector<std::string>{"<*sam5", "Blank.wav", "0", "//", "0"}));
}

TEST(SongFileTest, OnlySlotOnesMarkerLineDecidesWhetherPansAreRead)
{
    // Without "//" in slot 1's block, the line after every frequency is used up and no pan read.
    const SongFileContents noPans = read("<*sam1\r\nBlank.wav\r\n22050\r\nxx\r\n<*sam2\r\n/w/a.wav\r\n8000\r\n"
                                         "-500\r\nSong\r\n");
    ASSERT_EQ(noPans.samples.size(), 2u);
    EXPECT_FALSE(noPans.samples[0].pan);
    EXPECT_FALSE(noPans.samples[1].pan);
    EXPECT_EQ(noPans.names, (std::vector<std::string>{"Song"}));

    // With it, later blocks read a pan whatever their own marker line says.
    const SongFileContents pans = read("<*sam1\r\nBlank.wav\r\n22050\r\n//\r\n100\r\n<*sam2\r\n/w/a.wav\r\n8000\r\n"
                                       "??\r\n-500\r\n");
    ASSERT_EQ(pans.samples.size(), 2u);
    EXPECT_EQ(pans.samples[0].pan, 100);
    EXPECT_EQ(pans.samples[1].pan, -500);

    // A block before slot 1's has no pan line.
    const SongFileContents early = read("<*sam3\r\na.wav\r\n1\r\n//\r\n<*sam1\r\nb.wav\r\n2\r\n//\r\n3\r\n");
    ASSERT_EQ(early.samples.size(), 2u);
    EXPECT_FALSE(early.samples[0].pan);
    EXPECT_EQ(early.samples[1].pan, 3);

    // A second slot-1 block decides by its own marker line too: without "//" it reads no pan, and
    // the line after it is an entry again; the file stays marked for the other slots.
    const SongFileContents again = read("<*sam1\r\na.wav\r\n1\r\n//\r\n5\r\n<*sam1\r\nb.wav\r\n2\r\nxx\r\n"
                                        "Verse\r\n<*sam2\r\nc.wav\r\n3\r\nyy\r\n7\r\n");
    ASSERT_EQ(again.samples.size(), 3u);
    EXPECT_EQ(again.samples[0].pan, 5);
    EXPECT_FALSE(again.samples[1].pan);
    EXPECT_EQ(again.samples[2].pan, 7);
    EXPECT_EQ(again.names, (std::vector<std::string>{"Verse"}));
}

TEST(SongFileTest, AFileEndingInsideABlockReadsEmptyLinesAndFailsOnTheMissingNumber)
{
    // The path is there, the frequency is not.
    try {
        read("A\r\n<*sam1\r\n/w/a.wav");
        FAIL() << "a missing frequency line must not read";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'' is not a valid integer value");
    }
    // Up to the marker line: the missing pan line of slot 1 fails the same way.
    EXPECT_THROW(read("<*sam1\n/w/a.wav\n22050\n//"), EConvertError);
    // Without pan lines a block may end after its frequency; the missing marker line reads empty.
    const SongFileContents song = read("<*sam2\r/w/a.wav\r22050");
    ASSERT_EQ(song.samples.size(), 1u);
    EXPECT_EQ(song.samples[0].frequency, 22050);
    // A frequency that is not a number.
    EXPECT_THROW(read("<*sam4\r\n/w/a.wav\r\nfast\r\n//\r\n0\r\n"), EConvertError);
}

TEST(SongFileTest, TitlesComeFromTheFileName)
{
    EXPECT_EQ(songFileTitle("/home/me/songs/mysong.sng"), "mysong.sng");
    EXPECT_EQ(songFileTitle("C:\\Songs\\old.sng"), "old.sng");
    EXPECT_EQ(withoutExtension("mysong.sng"), "mysong");
    EXPECT_EQ(withoutExtension("song.txt"), "song");
    EXPECT_EQ(withoutExtension("abc"), "abc");
    EXPECT_EQ(withoutExtension(".sng"), "");
    EXPECT_TRUE(isEmptySongTitle(songFileTitle("/home/me/.sng")));
    EXPECT_TRUE(isEmptySongTitle(""));
    EXPECT_FALSE(isEmptySongTitle("x.sng"));
    EXPECT_TRUE(isBlankSample("Blank.wav"));
    EXPECT_TRUE(isBlankSample("/base/Blank.wav"));
    EXPECT_FALSE(isBlankSample("blank.wav")) << "the name must match exactly";
}

TEST(SongFileTest, SamplePathsResolveAgainstTheBaseFolderAndBackslashes)
{
    test::TempFolder base;
    base.write("Blank.wav", "x");
    std::filesystem::create_directory(base.path() / "waves");
    base.write("waves/clap.wav", "x");
    const std::string folder = base.path().string();

    EXPECT_EQ(resolveSamplePath("Blank.wav", folder), folder + "/Blank.wav");
    EXPECT_EQ(resolveSamplePath("waves\\clap.wav", folder), folder + "/waves/clap.wav");
    EXPECT_EQ(resolveSamplePath(folder + "/waves/clap.wav", folder), folder + "/waves/clap.wav");
    // Not found either way: the path as written, so the error names it.
    EXPECT_EQ(resolveSamplePath("C:\\Waves\\gone.wav", folder), folder + "/C:\\Waves\\gone.wav");
    EXPECT_EQ(resolveSamplePath("", folder), "");

    // With the base folder as the working folder, relative paths keep their form.
    base.enter();
    EXPECT_EQ(resolveSamplePath("Blank.wav", folder), "Blank.wav");
    EXPECT_EQ(resolveSamplePath("waves\\clap.wav", folder), "waves/clap.wav");
}
