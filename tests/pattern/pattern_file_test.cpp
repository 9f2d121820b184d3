#include "platform/exception.h"
#include "pattern/pattern_editing.h"
#include "pattern/pattern_file.h"
#include "pattern/pattern_grid.h"
#include "platform/line_buffer.h"

#include <gtest/gtest.h>

using namespace groovane;

namespace {

// A grid laid out as at start: 16 steps in groups of 4, with a few instruments placed.
PatternGrid startGrid()
{
    PatternGrid grid;
    writeLengthAndTime(grid, 16, 4);
    writeStepLabels(grid, 16, 4);
    writeChannelHeadings(grid);
    grid.setCell(0, 0, "Rock1");
    grid.setCell(1, 2, "Kick");
    grid.setCell(3, 6, "Snare");
    grid.setCell(6, 17, "Tamb");
    return grid;
}

std::string lengthError(const std::string& text)
{
    return "'" + text + "' is not a valid integer value";
}

// The bytes of a pattern file, as the line buffer writes them.
std::string patternBytes(const PatternGrid& grid, int length, int tempoPosition, int loopCount)
{
    return LineBuffer::joinLines(patternFileLines(grid, length, tempoPosition, loopCount));
}

PatternFileReader readerOf(const std::string& bytes)
{
    return PatternFileReader(LineBuffer::splitLines(bytes));
}

template <class F>
std::string errorOf(F&& f)
{
    try {
        f();
    } catch (const Exception& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(PatternFileWriter, SixteenStepsMakeTheDocumented135Lines)
{
    const PatternGrid grid = startGrid();
    const std::string bytes = patternBytes(grid, patternLengthForSave(grid), 64, 3);
    const auto lines = LineBuffer::splitLines(bytes);
    ASSERT_EQ(lines.size(), 135u);
    EXPECT_TRUE(bytes.starts_with("Rock1\r\nLength:\r\n16\r\nTime:\r\n4\r\n"));
    EXPECT_TRUE(bytes.ends_with("\r\n\r\n64\r\n3\r\n")) << "every line, the last included, ends in CR LF";
    const std::vector<std::string> header(lines.begin(), lines.begin() + 14);
    EXPECT_EQ(header, (std::vector<std::string>{"Rock1", "Length:", "16", "Time:", "4", "", "", "", "Channel:1",
                                                "Channel:2", "Channel:3", "Channel:4", "Channel:5", "Channel:6"}));
    EXPECT_EQ(lines[14], "1:0*");
    EXPECT_EQ(lines[15], "Kick");
    EXPECT_EQ(lines[14 + 7 * 4], "5:0*");
    EXPECT_EQ(lines[14 + 7 * 4 + 3], "Snare");
    EXPECT_EQ(lines[14 + 7 * 15], "16:3");
    EXPECT_EQ(lines[14 + 7 * 15 + 6], "Tamb");
    for (int i = 7 * 18; i < 133; ++i)
        EXPECT_EQ(lines[static_cast<size_t>(i)], "") << "trailing row line " << i;
    EXPECT_EQ(lines[133], "64");
    EXPECT_EQ(lines[134], "3");
}

TEST(PatternFileWriter, LengthCellIsCheckedBeforeAnythingIsWritten)
{
    PatternGrid grid = startGrid();
    grid.setCell(2, 0, "1x");
    EXPECT_EQ(errorOf([&] { patternLengthForSave(grid); }), lengthError("1x"));

    // Lengths below 1 are not guarded; the formula still gives the line count, and below -3
    // only the two settings lines remain.
    EXPECT_EQ(LineBuffer::splitLines(patternBytes(grid, -3, 60, 1)).size(), 2u);
    EXPECT_EQ(LineBuffer::splitLines(patternBytes(grid, -50, 60, 1)), (std::vector<std::string>{"60", "1"}));
    EXPECT_EQ(LineBuffer::splitLines(patternBytes(grid, 0, 60, 1)).size(), 7u * 3 + 2);
}

TEST(PatternFileReader, RoundTripRestoresEveryCellAndRewritesTheSameBytes)
{
    PatternGrid grid = startGrid();
    grid.setCell(2, 18, "left in the trailing row");
    grid.setCell(0, 3, "custom label");
    const std::string bytes = patternBytes(grid, 16, 90, 0);

    PatternGrid loaded;
    PatternFileReader reader = readerOf(bytes);
    reader.loadCells(loaded);
    EXPECT_EQ(loaded.rowCount(), 18);
    for (int row = 0; row <= 18; ++row)
        for (int column = 0; column < 7; ++column)
            EXPECT_EQ(loaded.cell(column, row), grid.cell(column, row)) << column << "," << row;
    EXPECT_EQ(reader.tempoPosition(), 90);
    EXPECT_EQ(reader.loopCount(), 0) << "the reader reports what is stored; the loop box corrects it";
    EXPECT_EQ(patternBytes(loaded, 16, 90, 0), bytes);
}

TEST(PatternFileReader, AcceptsLoneCrAndLoneLfEndings)
{
    const std::string crLf = patternBytes(startGrid(), 16, 60, 2);
    std::string lf, cr;
    for (char ch : crLf) {
        if (ch != '\r')
            lf += ch;
        if (ch != '\n')
            cr += ch;
    }
    for (const std::string& bytes : {lf, cr}) {
        PatternGrid grid;
        PatternFileReader reader = readerOf(bytes);
        reader.loadCells(grid);
        EXPECT_EQ(grid.cell(3, 6), "Snare");
        EXPECT_EQ(reader.tempoPosition(), 60);
        EXPECT_EQ(reader.loopCount(), 2);
    }
}

TEST(PatternFileReader, ShorterPatternHidesButKeepsTheRowsOfALongerOne)
{
    PatternGrid grid;
    writeLengthAndTime(grid, 64, 4);
    for (int row = 2; row <= 66; ++row)
        grid.setCell(1, row, "Kick");
    readerOf(patternBytes(startGrid(), 16, 60, 1)).loadCells(grid);
    EXPECT_EQ(grid.rowCount(), 18);
    EXPECT_EQ(grid.cell(1, 2), "Kick") << "from the file";
    EXPECT_EQ(grid.cell(1, 3), "") << "the file's empty cell wins";
    EXPECT_EQ(grid.cell(1, 18), "") << "the trailing row is loaded too";
    EXPECT_EQ(grid.cell(1, 19), "Kick") << "below row L + 2 cells keep their text";
    EXPECT_EQ(grid.cell(1, 66), "Kick");
    EXPECT_EQ(LineBuffer::splitLines(patternBytes(grid, patternLengthForSave(grid), 60, 1)).size(), 135u)
        << "hidden rows are not part of the next save";
}

TEST(PatternFileReader, BadLengthLineChangesNothing)
{
    for (const std::string& bytes : {std::string("Name\r\nLength:\r\nsixteen\r\n"), std::string("Name\r\n"),
                                     std::string(), std::string("a\0b\0\xff\xfe\x01\n\n\x80\x81", 11)}) {
        PatternGrid grid = startGrid();
        const auto revision = grid.revision();
        PatternFileReader reader = readerOf(bytes);
        EXPECT_NE(errorOf([&] { reader.loadCells(grid); }), "(no error)");
        EXPECT_EQ(grid.revision(), revision);
    }
    PatternGrid grid = startGrid();
    EXPECT_EQ(errorOf([&] { readerOf("n\nLength:\n\n").loadCells(grid); }), lengthError(""));
}

TEST(PatternFileReader, MissingLinesReadAsEmptyAndTheSettingsThenFailAfterTheCells)
{
    // A 16-step file cut off in the middle of step 3.
    const auto lines = LineBuffer::splitLines(patternBytes(startGrid(), 16, 60, 1));
    const std::vector<std::string> cut(lines.begin(), lines.begin() + 7 * 4 + 3);
    PatternGrid grid = startGrid();
    grid.setCell(5, 4, "OpHiat");
    grid.setCell(4, 10, "Tom1");
    PatternFileReader reader = readerOf(LineBuffer::joinLines(cut));
    reader.loadCells(grid);
    EXPECT_EQ(grid.rowCount(), 18);
    EXPECT_EQ(grid.cell(0, 4), "3:2") << "the lines the file has";
    EXPECT_EQ(grid.cell(1, 2), "Kick");
    EXPECT_EQ(grid.cell(5, 4), "") << "the rest of a cut row";
    EXPECT_EQ(grid.cell(0, 10), "") << "rows past the end of the file";
    EXPECT_EQ(grid.cell(4, 10), "");
    EXPECT_EQ(grid.cell(6, 17), "");
    EXPECT_EQ(errorOf([&] { reader.tempoPosition(); }), lengthError(""));
    EXPECT_EQ(errorOf([&] { reader.loopCount(); }), lengthError(""));

    // Settings lines that are present but not numbers.
    auto bad = lines;
    bad[133] = "fast";
    EXPECT_EQ(errorOf([&] { readerOf(LineBuffer::joinLines(bad)).tempoPosition(); }), lengthError("fast"));
    bad[133] = "60";
    bad.pop_back();
    EXPECT_EQ(errorOf([&] { readerOf(LineBuffer::joinLines(bad)).loopCount(); }), lengthError(""));
}

TEST(PatternLengthLimit, TheLongestPatternIsLaidOutSavedLoadedAndSavedAgain)
{
    PatternGrid grid = startGrid();
    applyLengthAndTime(grid, std::to_string(kMaxPatternLength), "4");
    const int lastStepRow = kMaxPatternLength + 1;
    grid.setCell(6, lastStepRow, "Tamb");
    const std::string bytes = patternBytes(grid, patternLengthForSave(grid), 60, 1);

    PatternGrid loaded = startGrid();
    readerOf(bytes).loadCells(loaded);
    EXPECT_EQ(loaded.rowCount(), kMaxPatternLength + 2);
    EXPECT_EQ(loaded.cell(0, lastStepRow), stepLabel(kMaxPatternLength, (kMaxPatternLength - 1) % 4));
    EXPECT_EQ(loaded.cell(6, lastStepRow), "Tamb");
    EXPECT_EQ(patternBytes(loaded, patternLengthForSave(loaded), 60, 1), bytes);
}

TEST(PatternLengthLimit, OneStepMoreIsRefusedAlikeByUpdateLoadAndSaveBeforeAnythingChanges)
{
    const std::string tooLong = std::to_string(kMaxPatternLength + 1);
    const std::string message = "Pattern length " + tooLong + " is too long: a pattern has at most " +
                                std::to_string(kMaxPatternLength) + " steps";

    PatternGrid updated = startGrid();
    const auto revision = updated.revision();
    EXPECT_EQ(errorOf([&] { applyLengthAndTime(updated, tooLong, "4"); }), message);
    EXPECT_EQ(updated.revision(), revision) << "the grid keeps a length it can save";

    // A file of that length, as another program might write it, is not loaded.
    PatternGrid source = startGrid();
    source.setCell(2, 0, tooLong);
    const std::string bytes = patternBytes(source, kMaxPatternLength + 1, 60, 1);
    PatternGrid loaded = startGrid();
    EXPECT_EQ(errorOf([&] { readerOf(bytes).loadCells(loaded); }), message);
    EXPECT_EQ(loaded.revision(), startGrid().revision());
    EXPECT_EQ(loaded.cell(2, 0), "16");

    EXPECT_EQ(errorOf([&] { patternLengthForSave(source); }), message);

    // Lengths of billions are refused as quickly, on every path.
    source.setCell(2, 0, "2147483647");
    EXPECT_NE(errorOf([&] { patternLengthForSave(source); }), "(no error)");
    EXPECT_NE(errorOf([&] { readerOf("Huge\r\nLength:\r\n2147483647\r\n").loadCells(loaded); }), "(no error)");
    EXPECT_NE(errorOf([&] { applyLengthAndTime(loaded, "2147483647", "4"); }), "(no error)");
    EXPECT_EQ(loaded.rowCount(), 18);
}

TEST(PatternFileReader, NegativeLengthsKeepTheHeadingRows)
{
    for (const std::string length : {"-1", "-5", "-2147483648"}) {
        PatternGrid grid = startGrid();
        PatternFileReader reader = readerOf("Neg\r\nLength:\r\n" + length + "\r\n");
        reader.loadCells(grid);
        EXPECT_EQ(grid.rowCount(), PatternGrid::kFixedRows) << "rows 0 and 1 stay headings";
        EXPECT_EQ(grid.cell(1, 2), "Kick") << "no step row lies within 0 .. L + 2";
        EXPECT_EQ(errorOf([&] { reader.tempoPosition(); }), lengthError(""));
    }
    // L = -1 covers rows 0 and 1, which the file then fills; its settings are lines 14 and 15.
    PatternGrid grid = startGrid();
    PatternFileReader reader = readerOf("N\r\nLength:\r\n-1\r\n");
    reader.loadCells(grid);
    EXPECT_EQ(grid.cell(0, 0), "N");
    EXPECT_EQ(grid.cell(1, 1), "") << "row 1 comes from missing lines";
}

TEST(PatternFileReader, VeryLongLinesAreKeptAsText)
{
    const std::string longName(1 << 20, 'x');
    PatternGrid grid = startGrid();
    grid.setCell(0, 0, longName);
    PatternGrid loaded;
    readerOf(patternBytes(grid, 16, 60, 1)).loadCells(loaded);
    EXPECT_EQ(loaded.cell(0, 0), longName);
}

TEST(PatternName, NamesThatAreNoFileOfTheWorkingFolderAreRefusedSayingWhy)
{
    const auto why = [](const std::string& name) {
        try {
            checkPatternName(name);
            (void)patternFilePath("/base", name);
            return std::string();
        } catch (const Exception& e) {
            return std::string(e.what());
        }
    };
    EXPECT_EQ(why("a/b"), "'a/b' is not a valid pattern name: it holds \"/\"; \"/\" and \"\\\" separate folders, and "
                          "a pattern is a file in the working folder");
    EXPECT_TRUE(why("..\\x").starts_with("'..\\x' is not a valid pattern name: it holds \"\\\";"));
    EXPECT_EQ(why(std::string("Rock_kit.dxg") + '\0'),
              "'Rock_kit.dxg?' is not a valid pattern name: it holds the control character 0x00, which no file name "
              "in the working folder may hold");
    EXPECT_TRUE(why("tab\there").find("control character 0x09") != std::string::npos);
    EXPECT_TRUE(why("del\x7F").find("control character 0x7F") != std::string::npos);
    EXPECT_TRUE(why("..").ends_with("name folders, not files"));
    EXPECT_TRUE(why(".").ends_with("name folders, not files"));
    // What a user may well type passes, letters beyond ASCII and dots inside included.
    for (const std::string name : {"", "Rock 1", "take.2", "...", "Caf\xE9", "Caf\xC3\xA9", "<Blank>"})
        EXPECT_EQ(why(name), "") << name;
    EXPECT_EQ(patternFilePath("/base", "take.2"), "/base/take.2.pat");

    // The message shows a name of megabytes by its ends only.
    const std::string huge = "start" + std::string(2 << 20, 'n') + "/end";
    const std::string message = why(huge);
    EXPECT_LT(message.size(), 400u);
    EXPECT_TRUE(message.starts_with("'start")) << message;
    EXPECT_NE(message.find("n/end' is not a valid pattern name"), std::string::npos) << message;
}

TEST(TextLines, ReadLinesCostAFewTimesTheirBytesAndSplitAsTheLineBufferDoes)
{
    const std::string mixed = "a\r\nbc\rdef\n\n\r\n\rlast";
    EXPECT_EQ(TextLines(mixed).toStrings(), LineBuffer::splitLines(mixed));
    EXPECT_EQ(TextLines("x\r\n").toStrings(), LineBuffer::splitLines("x\r\n"));
    EXPECT_TRUE(TextLines("").empty());

    // A file of nothing but line ends, the cheapest lines there are.
    for (const std::string end : {"\n", "\r\n", "\r"}) {
        std::string text;
        for (int i = 0; i < (1 << 20); ++i)
            text += end;
        const TextLines lines(text);
        EXPECT_EQ(lines.size(), size_t{1} << 20);
        EXPECT_LE(lines.storageBytes(), 4 * (size_t{1} << 20) + 64) << "four bytes a line at most";
        EXPECT_EQ(lines[12345], "");
    }
}
