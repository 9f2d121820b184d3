// Song playback's rules on a step list built in memory: which rows each tick sounds, the tempo
// a tick reports when a pattern starts (its own or the global one), patterns without rows, the
// song's end, the repeating song, a requested stop and an error inside a tick.
#include "platform/exception.h"
#include "playback/instrument_trigger.h"
#include "playback/song_playback.h"
#include "song/step_list.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace groovane;

namespace {

using Log = std::vector<std::string>;

struct LoggingKit : KitSounds {
    explicit LoggingKit(Log& log) : log(log) {}
    void play(const std::string& name) override { log.push_back(name); }
    Log& log;
};

struct LoggingSlots : SampleSlots {
    explicit LoggingSlots(Log& log) : log(log) {}
    void restart(int slot) override
    {
        if (unloaded.count(slot))
            throw Exception("WaveStream not set");
        log.push_back("Sample" + std::to_string(slot));
    }
    void stop(int) override {}
    Log& log;
    std::set<int> unloaded;
};

// One pattern whose row n has `firstCells[n]` on channel 1 and nothing on the others.
SongPattern pattern(int tempo, int loops, int length, const std::vector<std::string>& firstCells)
{
    SongPattern p{tempo, loops, length, {}};
    for (const std::string& cell : firstCells) {
        p.cells.push_back(cell);
        p.cells.insert(p.cells.end(), 5, "");
    }
    return p;
}

} // namespace

class SongRules : public ::testing::Test {
protected:
    void build(std::vector<SongPattern> patterns)
    {
        list.clear();
        for (SongPattern& p : patterns)
            list.appendPattern(std::move(p));
        list.close();
        playback.start();
    }
    // What one tick sounded, and what it reported.
    std::pair<Log, SongTick> tick(const SongTickSettings& settings = {})
    {
        log.clear();
        const SongTick result = playback.tick(settings);
        return {log, result};
    }

    Log log;
    LoggingKit kit{log};
    LoggingSlots samples{log};
    InstrumentTrigger trigger{kit, samples};
    StepList list;
    SongPlayback playback{list, trigger};
};

TEST_F(SongRules, EachTickPlaysOneRowAndAPatternsFirstRowReportsItsTempo)
{
    build({pattern(30, 2, 2, {"Kick", "Snare"}), pattern(50, 1, 1, {"Sample3"})});
    auto [first, t1] = tick();
    EXPECT_EQ(first, Log{"Kick"});
    EXPECT_EQ(t1.tempoPosition, 30);
    EXPECT_FALSE(t1.isSongEnd);
    EXPECT_EQ(playback.SongStepIndex, 8);
    for (const char* expected : {"Snare", "Kick", "Snare"}) {
        auto [heard, t] = tick();
        EXPECT_EQ(heard, Log{expected});
        EXPECT_FALSE(t.tempoPosition) << "no pattern starts within a pattern's loops";
        EXPECT_FALSE(t.isSongEnd);
    }
    auto [last, tLast] = tick();
    EXPECT_EQ(last, Log{"Sample3"});
    EXPECT_EQ(tLast.tempoPosition, 50);
    EXPECT_TRUE(tLast.isSongEnd) << "the song ends in the tick of its last row";
}

TEST_F(SongRules, GlobalTempoReplacesEachPatternsOwn)
{
    build({pattern(30, 1, 1, {"Kick"}), pattern(50, 1, 1, {"Kick"})});
    SongTickSettings global;
    global.globalTempo = 45;
    EXPECT_EQ(tick(global).second.tempoPosition, 45);
    EXPECT_EQ(tick(global).second.tempoPosition, 45);
}

TEST_F(SongRules, PatternsWithoutRowsPassStraightToTheNextWhoseTempoCounts)
{
    build({pattern(20, 5, 0, {}), pattern(25, 1, -3, {}), pattern(40, 0, 1, {"Tamb"}), pattern(60, 1, 0, {})});
    auto [heard, t] = tick();
    EXPECT_EQ(heard, Log{"Tamb"});
    EXPECT_EQ(t.tempoPosition, 40);
    EXPECT_FALSE(t.isSongEnd) << "the empty pattern after it is still to be entered";
    auto [after, end] = tick();
    EXPECT_TRUE(after.empty());
    EXPECT_EQ(end.tempoPosition, 60);
    EXPECT_TRUE(end.isSongEnd);

    // A song of nothing but empty patterns ends at once, silent.
    build({pattern(20, 1, 0, {})});
    auto [none, only] = tick();
    EXPECT_TRUE(none.empty());
    EXPECT_TRUE(only.isSongEnd);
}

TEST_F(SongRules, ARepeatingSongStartsAgainAndAStopRequestEndsItAfterTheRow)
{
    build({pattern(30, 1, 2, {"Kick", "Snare"})});
    SongTickSettings endless;
    endless.isEndless = true;
    tick(endless);
    auto [second, t2] = tick(endless);
    EXPECT_EQ(second, Log{"Snare"});
    EXPECT_FALSE(t2.isSongEnd);
    EXPECT_EQ(playback.SongStepIndex, 0);
    auto [again, t3] = tick(endless);
    EXPECT_EQ(again, Log{"Kick"});
    EXPECT_EQ(t3.tempoPosition, 30) << "the first pattern's tempo applies again";

    SongTickSettings stop;
    stop.isStopRequested = true;
    auto [stopped, t4] = tick(stop);
    EXPECT_EQ(stopped, Log{"Snare"});
    EXPECT_TRUE(t4.isSongEnd);
}

TEST_F(SongRules, AnErrorEndsTheTickWithTheIndexOnTheFailingRow)
{
    build({pattern(30, 1, 1, {"Sample2"})});
    samples.unloaded = {2};
    EXPECT_THROW(playback.tick({}), Exception);
    EXPECT_EQ(playback.SongStepIndex, 2) << "past the markers, on the row";
    samples.unloaded.clear();
    auto [heard, t] = tick();
    EXPECT_EQ(heard, Log{"Sample2"});
    EXPECT_FALSE(t.tempoPosition);
    EXPECT_TRUE(t.isSongEnd);
}
