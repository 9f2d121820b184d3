#include "platform/exception.h"
#include "pattern/instrument_pans.h"

#include <gtest/gtest.h>

#include <map>

using namespace groovane;

namespace {

// A kit as the pan file sees it: pans by instrument name.
struct FakeKit {
    std::map<std::string, int32_t> pans;
    WritePan writer()
    {
        return [this](const std::string& name, int32_t pan) { pans[name] = pan; };
    }
};

std::vector<std::string> seventeen(const std::string& value)
{
    return std::vector<std::string>(17, value);
}

} // namespace

TEST(PanFileTest, AppliesLinesOneToSixteenInInstrumentOrderAsStored)
{
    std::vector<std::string> lines = seventeen("0");
    lines[0] = "999";   // the empty entry's line is ignored
    lines[3] = "-2000"; // Snare
    lines[16] = "5000"; // Tamb, beyond the slider's range, kept as it is
    lines.push_back("junk after line 16");
    FakeKit kit;
    applyPanFileLines(lines, kit.writer());
    ASSERT_EQ(kit.pans.size(), 16u);
    EXPECT_EQ(kit.pans["Snare"], -2000);
    EXPECT_EQ(kit.pans["Tamb"], 5000);
    EXPECT_EQ(kit.pans["Kick"], 0);
}

TEST(PanFileTest, ABadOrMissingLineStopsThereKeepingThePansBeforeIt)
{
    std::vector<std::string> bad = seventeen("7");
    bad[6] = "x"; // Tom1
    FakeKit kit;
    try {
        applyPanFileLines(bad, kit.writer());
        FAIL() << "a line that is not a number must stop the reading";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'x' is not a valid integer value");
    }
    EXPECT_EQ(kit.pans.size(), 5u);
    EXPECT_EQ(kit.pans.count("Tom1"), 0u);

    // A file of ten lines lacks line 10 ("Rimshot"), which reads as empty text.
    FakeKit shortKit;
    EXPECT_THROW(
        {
            try {
                applyPanFileLines(std::vector<std::string>(10, "1"), shortKit.writer());
            } catch (const EConvertError& e) {
                EXPECT_STREQ(e.what(), "'' is not a valid integer value");
                throw;
            }
        },
        EConvertError);
    EXPECT_EQ(shortKit.pans.size(), 9u);
    EXPECT_EQ(shortKit.pans["Cymbol2"], 1);
}

TEST(PanFileTest, WritesSeventeenLinesThatReadBackTheSamePans)
{
    FakeKit kit;
    applyPanFileLines(seventeen("0"), kit.writer());
    kit.pans["Snare"] = -2000;
    kit.pans["Tamb"] = 10000;
    const std::vector<std::string> lines = panFileLines([&](const std::string& name) { return kit.pans.at(name); });
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(lines[0], "0");
    EXPECT_EQ(lines[3], "-2000");
    EXPECT_EQ(lines[16], "10000");

    FakeKit again;
    applyPanFileLines(lines, again.writer());
    EXPECT_EQ(again.pans, kit.pans);
}
