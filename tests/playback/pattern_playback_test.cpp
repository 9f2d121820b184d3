// Pattern playback: which rows and cells sound, how a pass ends, what an error does, and where the
// hits land on the output when the real step timer drives it with a clock the test moves.
#include "sound/dx_sound.h"
#include "sound/dx_timer.h"
#include "platform/exception.h"
#include "platform/idle_host.h"
#include "playback/instrument_trigger.h"
#include "pattern/pattern_editing.h"
#include "pattern/pattern_grid.h"
#include "playback/pattern_playback.h"
#include "platform/sound_system.h"
#include "sound/wave.h"
#include "sound/wave_collection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace groovane;

namespace {

// A kit and sample slots that write what they are asked into one log.
struct RecordingKit : KitSounds {
    explicit RecordingKit(std::vector<std::string>& log) : log(log) {}
    void play(const std::string& name) override
    {
        if (missing.count(name))
            throw EWaveCollectionError(formatMessage("Wave '%s' not found", name));
        log.push_back(name);
    }
    std::vector<std::string>& log;
    std::set<std::string> missing;
};

struct RecordingSlots : SampleSlots {
    explicit RecordingSlots(std::vector<std::string>& log) : log(log) {}
    void restart(int slot) override
    {
        if (unloaded.count(slot))
            throw Exception("WaveStream not set");
        log.push_back("restart " + std::to_string(slot));
    }
    void stop(int slot) override { log.push_back("stop " + std::to_string(slot)); }
    std::vector<std::string>& log;
    std::set<int> unloaded;
};

using Log = std::vector<std::string>;

} // namespace

class PatternRules : public ::testing::Test {
protected:
    void setPattern(const std::string& length, const std::vector<std::array<std::string, 6>>& rows)
    {
        grid.setCell(2, 0, length);
        for (size_t r = 0; r < rows.size(); ++r)
            for (int c = 0; c < 6; ++c)
                grid.setCell(c + 1, static_cast<int>(r) + 2, rows[r][static_cast<size_t>(c)]);
    }
    // What one tick sounded, and whether the pass goes on.
    std::pair<Log, bool> tick(bool endless = false)
    {
        log.clear();
        const bool goesOn = playback.tick(endless);
        return {log, goesOn};
    }

    PatternGrid grid;
    Log log;
    RecordingKit kit{log};
    RecordingSlots slots{log};
    InstrumentTrigger trigger{kit, slots};
    PatternPlayback playback{grid, trigger};
};

TEST_F(PatternRules, CellTextsNameTheirInstrumentWithoutRegardToCase)
{
    trigger.triggerStep({"kick", "SAMPLE3", "Nothing", "", "tAmB", "Sample9"});
    EXPECT_EQ(log, (Log{"Kick", "restart 3", "Tamb"})) << "the kit is asked by the list's spelling";
    log.clear();
    for (int slot : {0, -1, 25})
        trigger.trigger(slot);
    trigger.trigger(16 + 8);
    EXPECT_EQ(log, (Log{"restart 8"}));
    log.clear();
    trigger.stopSampleSlots();
    EXPECT_EQ(log, (Log{"stop 1", "stop 2", "stop 3", "stop 4", "stop 5", "stop 6", "stop 7", "stop 8"}));
}

TEST_F(PatternRules, OncePlaysEveryStepInOrderThenEndsAndEndlessGoesRoundWithoutAGap)
{
    setPattern("3", {{"Kick", "", "", "", "", "ClsHiat"}, {"", "Snare", "", "", "", ""}, {"Tom1", "", "", "", "", ""}});
    grid.setCell(1, 5, "Cowbell"); // a row below the pattern, kept from a longer one
    playback.start();
    EXPECT_EQ(playback.PatternLength, 3);
    EXPECT_EQ(tick(), std::make_pair(Log{"Kick", "ClsHiat"}, true));
    EXPECT_EQ(tick(), std::make_pair(Log{"Snare"}, true));
    EXPECT_EQ(tick(), std::make_pair(Log{"Tom1"}, false));

    playback.start();
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ(tick(true), std::make_pair(Log{"Kick", "ClsHiat"}, true));
        EXPECT_EQ(tick(true), std::make_pair(Log{"Snare"}, true));
        EXPECT_EQ(tick(true), std::make_pair(Log{"Tom1"}, true));
    }
    // Unticking Endless lets the current pass end normally.
    EXPECT_EQ(tick(true).second, true);
    EXPECT_EQ(tick(false).second, true);
    EXPECT_EQ(tick(false), std::make_pair(Log{"Tom1"}, false));
}

TEST_F(PatternRules, OneStepAndPatternsWithoutSteps)
{
    setPattern("1", {{"Kick", "", "", "", "", ""}, {"Snare", "", "", "", "", ""}});
    playback.start();
    EXPECT_EQ(tick(), std::make_pair(Log{"Kick"}, false));
    playback.start();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(tick(true), std::make_pair(Log{"Kick"}, true));

    // No steps: nothing sounds, not even the rows the grid still holds, and the pass ends.
    for (const char* length : {"0", "-3", "-2147483648"}) {
        grid.setCell(2, 0, length);
        for (bool endless : {false, true}) {
            playback.start();
            EXPECT_EQ(tick(endless), std::make_pair(Log{}, false)) << length << " endless " << endless;
        }
    }
}

TEST_F(PatternRules, AnErrorEndsTheStepAtTheFailingCellAndKeepsTheRow)
{
    setPattern("2", {{"Kick", "Sample2", "Snare", "", "", ""}, {"Tom1", "", "Tom2", "", "", ""}});
    slots.unloaded = {2};
    kit.missing = {"Tom2"};
    playback.start();
    try {
        tick();
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "WaveStream not set");
    }
    EXPECT_EQ(log, (Log{"Kick"})) << "the cells after the failing one stay silent";
    EXPECT_EQ(playback.PatternRow, 2);

    slots.unloaded.clear();
    EXPECT_EQ(tick(), std::make_pair(Log{"Kick", "restart 2", "Snare"}, true));
    log.clear();
    EXPECT_THROW(playback.tick(false), EWaveCollectionError);
    EXPECT_EQ(log, (Log{"Tom1"}));
    EXPECT_EQ(playback.PatternRow, 3);
}

// ---------------------------------------------------------------------------------------------
// On the output: the real step timer, kit and device, a clock the test moves, and an offline
// output rendered in blocks of the parameter's size.

namespace {

constexpr int64_t kNsPerMs = 1'000'000;
// 40 ms, as the program's outputs keep.
constexpr uint32_t kLatency = 1764;
// The 32-bit millisecond clock wraps a second after the pattern starts.
constexpr int64_t kStartNs = ((int64_t{1} << 32) - 1000) * kNsPerMs;
// How long after a millisecond starts the UI thread gets to poll.
constexpr int64_t kPollDelayNs = 300'000;
constexpr uint32_t kFramesPerStep = 5292; // 120 ms at 44100 Hz

// A mono 16-bit 44100 Hz sound of `frames` frames, silent but for the given samples.
TWave clickWave(int frames, const std::vector<std::pair<int, int16_t>>& samples)
{
    TWave wave;
    WaveFormatEx format;
    MakePCMWaveFormat(format, 44100, 16, 1);
    wave.SetFormat(format);
    wave.SetSize(frames * 2);
    std::fill(wave.Data(), wave.Data() + frames * 2, uint8_t{0});
    for (auto [frame, value] : samples) {
        wave.Data()[2 * frame] = static_cast<uint8_t>(static_cast<uint16_t>(value));
        wave.Data()[2 * frame + 1] = static_cast<uint8_t>(static_cast<uint16_t>(value) >> 8);
    }
    return wave;
}

// Each kit instrument a click of its own height.
int16_t kitClick(int slot)
{
    return static_cast<int16_t>(100 * slot);
}

// Sample slot k: a click at its start and a small mark 6000 frames in, which shows whether the
// slot played on or was started again.
constexpr int kMarkFrame = 6000;
constexpr int16_t kMark = 7;
int16_t sampleClick(int slot)
{
    return static_cast<int16_t>(5000 + slot);
}

// Sample slots played by buffers on the kit's device, restarted the way a streamed player
// restarts its ring: stop, rewind, play.
class BufferSlots : public SampleSlots {
public:
    explicit BufferSlots(TDirectSound& device)
    {
        for (int k = 1; k <= kSampleSlotCount; ++k) {
            buffers_.push_back(std::make_unique<TDirectSoundBuffer>(device));
            buffers_.back()->LoadFromWave(clickWave(kMarkFrame + 1, {{0, sampleClick(k)}, {kMarkFrame, kMark}}));
        }
    }
    void restart(int slot) override
    {
        TDirectSoundBuffer& buffer = *buffers_.at(static_cast<size_t>(slot - 1));
        buffer.Stop();
        buffer.SetPosition(0);
        buffer.Play(false);
    }
    void stop(int slot) override { buffers_.at(static_cast<size_t>(slot - 1))->Stop(); }

private:
    std::vector<std::unique_ptr<TDirectSoundBuffer>> buffers_;
};

using Hits = std::vector<std::pair<uint64_t, int>>;

} // namespace

class PatternOnTheOutput : public ::testing::TestWithParam<uint32_t> {
protected:
    void SetUp() override
    {
        auto output = std::make_unique<OfflineAudioOutput>(44100, kLatency, kStartNs);
        output_ = output.get();
        SoundSystem::instance().useOutput(std::move(output));
        SoundSystem::instance().setClock([this] { return nowNs_; });

        sound_.SetOptions(soGlobalFocus | soExclusive);
        sound_.OnInitialize = [](TCustomDXSound& s) {
            WaveFormatEx format;
            MakePCMWaveFormat(format, 44100, 16, 2);
            s.Primary()->SetFormat(format);
        };
        kitList_.SetDXSound(&sound_);
        kitList_.Items().Add().SetWave(clickWave(100, {})); // sound 0, never played
        for (int slot = kFirstKitSlot; slot <= kLastKitSlot; ++slot) {
            TWaveCollectionItem& item = kitList_.Items().Add();
            item.SetName(instrumentNames()[static_cast<size_t>(slot)]);
            item.SetWave(clickWave(100, {{0, kitClick(slot)}}));
        }
        sound_.Initialize();
        slots_ = std::make_unique<BufferSlots>(*sound_.DSound());
        trigger_.setSampleSlots(*slots_);

        timer_.setEnabled(false);
        timer_.setActiveOnly(false);
        timer_.Loaded();
        // What the main window does with each tick.
        timer_.OnTimer = [this](TDXTimer&, int) {
            if (!playback_.tick(false))
                timer_.setEnabled(false);
        };
        renderDueBlocks();
    }
    void TearDown() override
    {
        SoundSystem::instance().setClock({});
        SoundSystem::instance().useOfflineOutput();
    }

    // Play Pattern, at the current time.
    void play()
    {
        playback_.start();
        timer_.setInterval(120);
        timer_.setEnabled(true);
    }

    // Lets time run on to `untilNs`: the UI thread polls the step timer shortly after each
    // millisecond starts unless it is busy, and the output renders each block once its first
    // frame is due.
    void runUntil(int64_t untilNs)
    {
        for (;;) {
            const int64_t poll = std::max((nowNs_ / kNsPerMs + 1) * kNsPerMs + kPollDelayNs, busyUntilNs_);
            if (poll > untilNs)
                break;
            nowNs_ = poll;
            renderDueBlocks();
            host_.runIdle();
        }
        nowNs_ = untilNs;
        renderDueBlocks();
    }
    void renderDueBlocks()
    {
        while (output_->timeOfFrame(output_->framesRendered()) <= nowNs_) {
            const uint64_t first = output_->framesRendered();
            const std::vector<int16_t> block = output_->pump(GetParam(), GetParam());
            for (size_t f = 0; f < block.size() / 2; ++f)
                if (block[2 * f] != 0)
                    hits_.emplace_back(first + f, block[2 * f]);
        }
    }

    OfflineAudioOutput* output_ = nullptr;
    int64_t nowNs_ = kStartNs;
    int64_t busyUntilNs_ = 0;
    Hits hits_;

    IdleHost host_;
    TDXTimer timer_{host_, [this] { return static_cast<uint32_t>(nowNs_ / kNsPerMs); }};
    TDXSoundForm form_;
    TDXSound sound_{&form_};
    TDXWaveList kitList_;
    std::unique_ptr<BufferSlots> slots_;
    SilentSampleSlots silent_;
    WaveListKit kit_{kitList_};
    InstrumentTrigger trigger_{kit_, silent_};
    PatternGrid grid_;
    PatternPlayback playback_{grid_, trigger_};
};

TEST_P(PatternOnTheOutput, EveryStepSoundsOnItsFrameAndALateTickKeepsToTheGrid)
{
    grid_.setCell(2, 0, "16");
    for (int step = 1; step <= 16; ++step)
        grid_.setCell(1, step + 1, "ClsHiat");
    grid_.setCell(2, 2, "Kick"); // step 1: two cells of a row sound together
    grid_.setCell(6, 2, "Snare");
    grid_.setCell(2, 4, "Kick"); // step 3: the same kit sound twice overlaps
    grid_.setCell(3, 4, "kick");
    grid_.setCell(3, 10, "Sample3"); // step 9: the same slot twice sounds once
    grid_.setCell(4, 10, "Sample3");
    grid_.setCell(3, 11, "Sample3"); // step 10: restarts it, so step 9's mark never sounds
    play();

    // The UI thread is busy when step 7 is due: that tick reads the clock 3 ms late, yet it
    // and the steps after it sound on the grid.
    const int64_t step7 = kStartNs + 7 * 120 * kNsPerMs;
    runUntil(step7 - kNsPerMs);
    busyUntilNs_ = step7 + 3 * kNsPerMs + 400'000;
    runUntil(kStartNs + 2500 * kNsPerMs);

    const int hat = kitClick(4);
    Hits expected;
    for (uint64_t step = 1; step <= 16; ++step) {
        const uint64_t frame = step * kFramesPerStep + kLatency;
        int value = hat;
        if (step == 1)
            value += kitClick(1) + kitClick(3);
        if (step == 3)
            value += 2 * kitClick(1);
        if (step == 9 || step == 10)
            value += sampleClick(3);
        expected.emplace_back(frame, value);
        if (step == 10)
            expected.emplace_back(frame + kMarkFrame, kMark);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(hits_, expected);
    EXPECT_FALSE(timer_.Enabled()) << "the pass has ended";
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, PatternOnTheOutput, ::testing::Values(64u, 441u, 1024u));
