#include "song/tempo_rule.h"

#include <gtest/gtest.h>

using namespace groovane;

struct TempoRow {
    int position;
    int intervalMs;
    const char* readout;
};

class TempoTable : public ::testing::TestWithParam<TempoRow> {};

TEST_P(TempoTable, IntervalAndReadout)
{
    EXPECT_EQ(stepIntervalMs(GetParam().position), GetParam().intervalMs);
    EXPECT_EQ(tempoReadout(GetParam().position), GetParam().readout);
}

INSTANTIATE_TEST_SUITE_P(Positions, TempoTable,
                         ::testing::Values(TempoRow{1, 2, "7200"}, TempoRow{10, 20, "720"}, TempoRow{30, 60, "240"},
                                           TempoRow{45, 90, "160"}, TempoRow{60, 120, "120"}, TempoRow{64, 128, "112"},
                                           TempoRow{72, 144, "100"}, TempoRow{90, 180, "80"}, TempoRow{100, 200, "72"},
                                           TempoRow{120, 240, "60"}, TempoRow{140, 280, "51"}));

TEST(TempoRule, HalvesRoundToEvenAndOtherQuotientsToNearest)
{
    // 7200 / 64 = 112.5 is the only half in range; neighbours round normally.
    EXPECT_EQ(tempoReadout(63), "114"); // 114.28
    EXPECT_EQ(tempoReadout(65), "111"); // 110.77
    EXPECT_EQ(tempoReadout(139), "52"); // 51.80
    EXPECT_EQ(tempoReadout(0), "7200") << "never a division by zero";
    EXPECT_EQ(clampTempoPosition(0), 1);
    EXPECT_EQ(clampTempoPosition(500), 140);
    EXPECT_EQ(clampTempoPosition(-4000000000LL), 1);
    EXPECT_EQ(clampTempoPosition(77), 77);
}

TEST(LoopGuard, AnythingBelowOneOrNotANumberBecomesOne)
{
    for (const char* bad : {"abc", "-3", "0", "", " 2", "99999999999"})
        EXPECT_EQ(correctedLoopText(bad), "1") << bad;
    for (const char* good : {"1", "2", "+4", "1000000"})
        EXPECT_EQ(correctedLoopText(good), "") << good;
}
