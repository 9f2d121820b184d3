#include "platform/exception.h"
#include "pattern/pattern_file.h"
#include "song/step_list.h"

#include <gtest/gtest.h>

#include <map>

using namespace groovane;

namespace {

// Patterns by name, as a loader would give them; an unknown name fails like a missing file.
struct Patterns {
    std::map<std::string, SongPattern> byName;
    std::vector<std::string> loaded;

    PatternLoader loader()
    {
        return [this](const std::string& name) {
            loaded.push_back(name);
            auto it = byName.find(name);
            if (it == byName.end())
                throw EFileError("Cannot open file " + name + ".pat");
            return it->second;
        };
    }
};

// A pattern of `length` rows whose cell (row r, channel c) reads "r.c", 1-based.
SongPattern numbered(int length, int loops, int tempo)
{
    SongPattern p;
    p.length = length;
    p.loopCount = loops;
    p.tempoPosition = tempo;
    for (int r = 1; r <= length; ++r)
        for (int c = 1; c <= 6; ++c)
            p.cells.push_back(std::to_string(r) + "." + std::to_string(c));
    return p;
}

// The flat list the step list stands for, built line by line.
std::vector<std::string> flat(const std::vector<SongPattern>& patterns)
{
    std::vector<std::string> lines;
    for (const SongPattern& p : patterns) {
        lines.push_back("//");
        lines.push_back(std::to_string(p.tempoPosition));
        for (int loop = 0; loop < std::max(p.loopCount, 1); ++loop)
            for (int cell = 0; cell < 6 * std::max(p.length, 0); ++cell) {
                const std::string text =
                    static_cast<size_t>(cell) < p.cells.size() ? p.cells[static_cast<size_t>(cell)] : "";
                lines.push_back(text == "//" || text == "%%%" ? "" : text);
            }
    }
    lines.push_back("%%%");
    return lines;
}

std::vector<std::string> linesOf(const StepList& list)
{
    std::vector<std::string> lines;
    for (int64_t i = 0; i < list.lineCount(); ++i)
        lines.push_back(list.line(i));
    return lines;
}

// One tick of the song timer as it walks: the tempo of a pattern entered, the cells triggered,
// and whether the song ended.
struct Tick {
    std::optional<int32_t> tempo;
    std::vector<std::string> cells;
    bool ended = false;
};

Tick tick(StepWalk& walk)
{
    Tick t;
    t.tempo = walk.enterPattern();
    if (walk.atEnd()) {
        t.ended = true;
        return t;
    }
    for (int k = 0; k < 6; ++k) {
        t.cells.push_back(walk.cell());
        walk.advance();
        if (walk.atEnd()) {
            t.ended = true;
            break;
        }
    }
    return t;
}

std::vector<Tick> playThrough(const StepList& list)
{
    StepWalk walk(list);
    std::vector<Tick> ticks;
    do
        ticks.push_back(tick(walk));
    while (!ticks.back().ended && ticks.size() < 100000);
    return ticks;
}

} // namespace

class StepListTest : public ::testing::Test {
protected:
    StepList build(const std::vector<std::string>& names) { return buildStepList(names, patterns.loader()); }
    Patterns patterns;
};

TEST_F(StepListTest, TwoPatternsGiveTheLinesAndTicksOfTheFlatList)
{
    patterns.byName["Intro"] = numbered(16, 2, 60);
    patterns.byName["Verse"] = numbered(8, 1, 72);
    const StepList list = build({"Intro", "Verse"});
    EXPECT_EQ(list.lineCount(), 245);
    EXPECT_EQ(linesOf(list), flat({patterns.byName["Intro"], patterns.byName["Verse"]}));
    EXPECT_EQ(list.line(245), "%%%");
    EXPECT_EQ(list.line(-1), "%%%");

    const std::vector<Tick> ticks = playThrough(list);
    ASSERT_EQ(ticks.size(), 40u);
    EXPECT_EQ(ticks[0].tempo, 60);
    EXPECT_EQ(ticks[0].cells, (std::vector<std::string>{"1.1", "1.2", "1.3", "1.4", "1.5", "1.6"}));
    EXPECT_EQ(ticks[16].cells[0], "1.1") << "the second loop starts over";
    EXPECT_FALSE(ticks[16].tempo);
    EXPECT_EQ(ticks[32].tempo, 72);
    EXPECT_EQ(ticks[39].cells[5], "8.6");
    EXPECT_TRUE(ticks[39].ended) << "the song ends in the tick that plays the last row";
}

TEST_F(StepListTest, AHugeLoopCountCostsNoMemoryAndIsAddressedBeyond32Bits)
{
    patterns.byName["Long"] = numbered(16, 100000000, 45);
    patterns.byName["Once"] = numbered(1, 1, 90);
    const StepList list = build({"Long", "Once"});
    const int64_t longLines = 2 + 6LL * 16 * 100000000;
    EXPECT_EQ(list.lineCount(), longLines + 2 + 6 + 1);
    // The last row of the last loop, well beyond 2^31.
    EXPECT_EQ(list.line(longLines - 1), "16.6");
    EXPECT_EQ(list.line(longLines - 96), "1.1");
    EXPECT_EQ(list.line(longLines), "//");
    EXPECT_EQ(list.line(longLines + 1), "90");

    StepWalk walk(list);
    walk.setIndex(longLines - 6);
    Tick last = tick(walk);
    EXPECT_EQ(last.cells[0], "16.1");
    EXPECT_FALSE(last.ended);
    Tick next = tick(walk);
    EXPECT_EQ(next.tempo, 90);
    EXPECT_TRUE(next.ended);
}

TEST_F(StepListTest, LoopCountsBelowOneAndLengthsBelowOne)
{
    patterns.byName["Zero loops"] = numbered(2, 0, 30);
    SongPattern empty = numbered(0, 5, 100);
    SongPattern negative = numbered(0, 1, 110);
    negative.length = -3;
    patterns.byName["Empty"] = empty;
    patterns.byName["Negative"] = negative;
    patterns.byName["Last"] = numbered(1, 1, 120);

    const StepList list = build({"Zero loops", "Empty", "Negative", "Last"});
    // 2 + 12, then two entries of their markers only, then 2 + 6, and the end line.
    EXPECT_EQ(list.lineCount(), 14 + 2 + 2 + 8 + 1);
    EXPECT_EQ(linesOf(list), flat({patterns.byName["Zero loops"], empty, negative, patterns.byName["Last"]}));

    // Patterns without rows are passed over in the same tick; the last tempo entered counts, and
    // the next pattern's rows stay whole.
    const std::vector<Tick> ticks = playThrough(list);
    ASSERT_EQ(ticks.size(), 3u);
    EXPECT_EQ(ticks[1].cells[5], "2.6");
    EXPECT_EQ(ticks[2].tempo, 120);
    EXPECT_EQ(ticks[2].cells[0], "1.1");
    EXPECT_TRUE(ticks[2].ended);

    // A song of nothing but empty patterns ends in its first tick without sounding.
    const std::vector<Tick> nothing = playThrough(build({"Empty", "Negative"}));
    ASSERT_EQ(nothing.size(), 1u);
    EXPECT_EQ(nothing[0].tempo, 110);
    EXPECT_TRUE(nothing[0].cells.empty());
    EXPECT_TRUE(nothing[0].ended);
}

TEST_F(StepListTest, MarkerTextsInCellsAreEmptyCells)
{
    SongPattern tricky = numbered(2, 2, 60);
    tricky.cells[0] = "//";  // at the start of a row, it would read as a pattern marker
    tricky.cells[3] = "%%%"; // anywhere, it would end the song
    tricky.cells[7] = "Kick";
    patterns.byName["Tricky"] = tricky;
    const StepList list = build({"Tricky"});
    EXPECT_EQ(list.line(2), "");
    EXPECT_EQ(list.line(5), "");
    EXPECT_EQ(list.line(9), "Kick");
    EXPECT_EQ(list.line(14), "") << "the second loop too";

    const std::vector<Tick> ticks = playThrough(list);
    ASSERT_EQ(ticks.size(), 4u);
    EXPECT_EQ(ticks[0].tempo, 60);
    EXPECT_FALSE(ticks[2].tempo);
    EXPECT_EQ(ticks[2].cells.size(), 6u);
}

TEST_F(StepListTest, AFailedBuildKeepsTheListThatWasThere)
{
    patterns.byName["A"] = numbered(4, 1, 60);
    patterns.byName["B"] = numbered(2, 3, 70);
    StepList playing = build({"A"});
    const std::vector<std::string> before = linesOf(playing);

    patterns.loaded.clear();
    try {
        playing = build({"B", "Missing", "A"});
        FAIL() << "a missing pattern must fail the build";
    } catch (const EFileError& e) {
        EXPECT_STREQ(e.what(), "Cannot open file Missing.pat");
    }
    EXPECT_EQ(patterns.loaded, (std::vector<std::string>{"B", "Missing"})) << "the build stops at the failure";
    EXPECT_EQ(linesOf(playing), before);

    playing = build({"B", "A"});
    EXPECT_EQ(linesOf(playing), flat({patterns.byName["B"], patterns.byName["A"]}));
}

TEST_F(StepListTest, ASongTooLongToCountIsRefused)
{
    SongPattern huge = numbered(1, 2147483647, 60);
    huge.length = 2147483647;
    patterns.byName["Huge"] = huge;
    // 6 x (2^31 - 1)^2 lines pass 2^63.
    EXPECT_THROW(build({"Huge"}), Exception);
    // One such entry fits; lines beyond the stored rows read empty.
    huge.loopCount = 1;
    patterns.byName["Huge"] = huge;
    const StepList list = build({"Huge"});
    EXPECT_EQ(list.lineCount(), 2 + 6LL * 2147483647 + 1);
    EXPECT_EQ(list.line(2), "1.1");
    EXPECT_EQ(list.line(8), "");
}

TEST(PatternStepCellsTest, TakesTheChannelCellsOfTheStepRowsAsFarAsTheFileReaches)
{
    // A 2-step pattern file: rows 0..4 of seven cells, then tempo and loop count.
    std::vector<std::string> lines(7 * 5, "");
    lines[2] = "2";
    lines[7 * 2 + 1] = "Kick";
    lines[7 * 3 + 6] = "Tamb";
    lines[7 * 4 + 1] = "trailing row";
    lines.push_back("60");
    lines.push_back("1");
    const std::vector<std::string> cells = patternStepCells(PatternFileReader(lines));
    ASSERT_EQ(cells.size(), 12u);
    EXPECT_EQ(cells[0], "Kick");
    EXPECT_EQ(cells[11], "Tamb");

    // A file that claims a billion steps holds one row of them.
    lines[2] = "1000000000";
    lines.resize(7 * 3);
    EXPECT_EQ(patternStepCells(PatternFileReader(lines)).size(), 6u);

    lines[2] = "many";
    EXPECT_THROW(patternStepCells(PatternFileReader(lines)), EConvertError);
}
