// The song render's walk: when each hit sounds, how instruments are summed, clipped, scaled and
// pitched, what a stopped or failed render leaves on disk, and sounds that hold nothing.
#include "platform/exception.h"
#include "platform/files.h"
#include "support/full_disk.h"
#include "pattern/instruments.h"
#include "render/song_render.h"
#include "song/step_list.h"
#include "wav_bytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <vector>

using namespace groovane;
using namespace groovane::test;
using groovane::wavaudio::TWave;

namespace {

// A pattern of `rows` steps with `cells` in columns 1.. of every step row.
SongPattern everyRow(int32_t tempo, int32_t rows, std::vector<std::string> cellsOfRow, int32_t loops = 1)
{
    SongPattern p{tempo, loops, rows, {}};
    cellsOfRow.resize(6);
    for (int r = 0; r < rows; ++r)
        p.cells.insert(p.cells.end(), cellsOfRow.begin(), cellsOfRow.end());
    return p;
}

StepList songOf(const std::vector<SongPattern>& patterns)
{
    std::vector<std::string> names;
    for (size_t i = 0; i < patterns.size(); ++i)
        names.push_back(std::to_string(i));
    return buildStepList(names, [&](const std::string& name) { return patterns[std::stoul(name)]; });
}

class RecordingObserver : public RenderObserver {
public:
    bool isStopRequested() override
    {
        return (stopAfterHits >= 0 && static_cast<int>(hits.size()) >= stopAfterHits) ||
               (stopAfterMixing >= 0 && mixingCalls >= stopAfterMixing);
    }
    void linePassed(std::int64_t position) override { positions.push_back(position); }
    void hitStarting(const std::string& soundName) override { hits.push_back(soundName); }
    void mixing() override { ++mixingCalls; }

    int stopAfterHits = -1;
    int stopAfterMixing = -1;
    int mixingCalls = 0;
    std::vector<std::int64_t> positions;
    std::vector<std::string> hits;
};

class SongRenderTest : public ::testing::Test {
protected:
    // A kit sound file in the test folder, with full volume and centre pan.
    RenderSound sound(const std::string& name, const std::string& bytes, std::int32_t frequency = 0)
    {
        dir.write(name, bytes);
        return RenderSound{dir.file(name), 0, 0, frequency};
    }

    RenderOutcome render(const StepList& list)
    {
        return renderSong(list, sounds, dir.file("work1.tmp"), dir.file("song.wav"), observer);
    }

    std::unique_ptr<TWave> rendered()
    {
        auto wave = std::make_unique<TWave>();
        wave->LoadFromFile(dir.file("song.wav"));
        return wave;
    }

    TempFolder dir;
    RenderSounds sounds;
    RecordingObserver observer;
};

TEST_F(SongRenderTest, SixteenKicksAtTempo60FallEvery5292Frames)
{
    sounds[1] = sound("kick.wav", wav16(2, 44100, {1000, -1000}));
    const StepList list = songOf({everyRow(60, 16, {"Kick"})});

    EXPECT_EQ(render(list), RenderOutcome::Finished);

    const auto out = rendered();
    ASSERT_EQ(out->FrameCount(), 15 * 5292 + 1);
    int hits = 0;
    for (std::int32_t f = 0; f < out->FrameCount(); ++f) {
        if (out->GetSample(0, f) != 0) {
            EXPECT_EQ(f % 5292, 0) << f;
            EXPECT_EQ(out->GetSample(1, f), -1000);
            ++hits;
        }
    }
    EXPECT_EQ(hits, 16);
    EXPECT_EQ(observer.hits, std::vector<std::string>(16, "Kick"));
    // One progress position per line taken, the marker counting with its tempo line, up to the
    // end line.
    ASSERT_EQ(static_cast<std::int64_t>(observer.positions.size()), list.lineCount() - 1);
    EXPECT_EQ(observer.positions.front(), 2);
    EXPECT_EQ(observer.positions.back(), list.lineCount());
}

TEST_F(SongRenderTest, NextPatternsTempoSetsTheGapBeforeItsFirstRow)
{
    sounds[1] = sound("kick.wav", wav16(2, 44100, {1, 1}));
    render(songOf({everyRow(60, 2, {"Kick"}), everyRow(90, 2, {"kick"})}));

    const auto out = rendered();
    std::vector<std::int32_t> starts;
    for (std::int32_t f = 0; f < out->FrameCount(); ++f)
        if (out->GetSample(0, f) != 0)
            starts.push_back(f);
    // 0, 0.12 s, then 0.18 s and 0.18 s.
    EXPECT_EQ(starts, (std::vector<std::int32_t>{0, 5292, 13230, 21168}));
}

TEST_F(SongRenderTest, SongWithoutHitsGivesTheBareHeader)
{
    sounds[1] = sound("kick.wav", wav16(2, 44100, {1, 1}));
    const StepList list = songOf({everyRow(60, 4, {"", "nothing"})});
    EXPECT_TRUE(renderInstruments(list).empty());

    render(list);
    EXPECT_EQ(dir.read("song.wav"),
              "RIFF" + le32(36) + "WAVE" + chunk("fmt ", fmtBody(2, 44100, 16)) + "data" + le32(0));
    EXPECT_TRUE(observer.hits.empty());
}

// The instruments are found from one pass of each pattern, so a song of a huge loop count is
// not read to its end before the render starts, and Stop ends it at once.
TEST_F(SongRenderTest, InstrumentsOfAHugeLoopCountAreFoundInOnePassAndStopEndsItAtOnce)
{
    SongPattern looped = everyRow(60, 16, {"Kick"}, 100000000);
    looped.cells[6 * 15 + 5] = "snare"; // only in the last row of each pass
    const StepList list = songOf({looped, everyRow(60, 0, {}), everyRow(90, 1, {"", "", "Sample2"})});
    EXPECT_EQ(renderInstruments(list), (std::set<int>{1, 3, 18}));

    sounds[1] = sound("kick.wav", wav16(2, 44100, {1, 1}));
    observer.stopAfterHits = 2;
    EXPECT_EQ(render(list), RenderOutcome::Stopped);
    EXPECT_EQ(observer.hits.size(), 2u);
}

TEST_F(SongRenderTest, InstrumentsOfOneRowAreSummedScaledPannedAndClipped)
{
    sounds[1] = sound("kick.wav", wav16(2, 44100, {30000, -30000, 100, 100}));
    sounds[2] = sound("snare.wav", wav16(2, 44100, {30000, -30000, 100, 100}));
    sounds[3] = sound("hat.wav", wav16(2, 44100, {1000, 1000}));
    // Above full level counts as full level; half way down the range halves; a pan of 2000
    // puts the hat fully right.
    sounds[2]->volume = 500;
    sounds[3]->volume = -2000;
    sounds[3]->pan = 2000;
    render(songOf({everyRow(60, 1, {"Kick", "Short Kick", "Kick"})}));

    EXPECT_EQ(allSamples(*rendered()), (std::vector<int>{32767, -32767, 300, 300}));
    EXPECT_EQ(renderVolumeFactor(-5000), 0.0);

    render(songOf({everyRow(60, 1, {"Snare"})}));
    EXPECT_EQ(allSamples(*rendered()), (std::vector<int>{0, 500}));
}

TEST_F(SongRenderTest, SampleSlotPitchedToHalfRatePlaysTwiceAsLong)
{
    sounds[17] = sound("Sample1.wav", wav16(1, 44100, {0, 300, 600, 900}), 22050);
    render(songOf({everyRow(60, 1, {"sample1"})}));

    const auto out = rendered();
    ASSERT_EQ(out->FrameCount(), 8);
    EXPECT_EQ(out->GetSample(0, 3), 450);
    EXPECT_EQ(observer.hits, (std::vector<std::string>{"Sample 1"}));
}

TEST_F(SongRenderTest, StopEndsTheRenderAtTheNextLookAndLeavesAValidPartialFile)
{
    // A kick of 200000 frames: one hit is mixed in several pieces, with a look at the observer
    // before each. Stop at the third look keeps the two pieces mixed before it.
    std::string samples;
    for (int i = 0; i < 200000; ++i)
        samples += le16(100);
    sounds[1] = sound("kick.wav", riff(chunk("fmt ", fmtBody(1, 44100, 16)) + chunk("data", samples)));
    observer.stopAfterMixing = 3;
    EXPECT_EQ(render(songOf({everyRow(60, 1, {"Kick"})})), RenderOutcome::Stopped);
    const std::string bytes = dir.read("song.wav");
    ASSERT_GT(bytes.size(), 44u);
    EXPECT_EQ(readLe32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(readLe32(bytes, 40), bytes.size() - 44);
    auto out = rendered();
    ASSERT_EQ(out->FrameCount(), 2 * 32768);
    EXPECT_EQ(out->GetSample(0, 0), 100);
    EXPECT_EQ(out->GetSample(1, 2 * 32768 - 1), 100);

    // Stop while the hits are taken: no further hit is taken and nothing more is mixed; the
    // windows already written stay whole. Kicks every 5292 frames for 200 rows reach well past
    // the first window of 500000 frames.
    sounds[1] = sound("kick.wav", wav16(2, 44100, {100, 100}));
    observer = RecordingObserver{};
    observer.stopAfterHits = 150;
    EXPECT_EQ(render(songOf({everyRow(60, 200, {"Kick"})})), RenderOutcome::Stopped);
    EXPECT_EQ(observer.hits.size(), 150u);
    out = rendered();
    const int firstWindowHits = 500000 / 5292 + 1;
    ASSERT_EQ(out->FrameCount(), (firstWindowHits - 1) * 5292 + 1);
    EXPECT_EQ(out->GetSample(0, (firstWindowHits - 1) * 5292), 100);
}

TEST_F(SongRenderTest, SoundWithoutWaveDataMixesNothing)
{
    // The kit's empty sound comes after a real one: its hits must not repeat the kick.
    sounds[1] = sound("kick.wav", wav16(2, 44100, {100, 100}));
    sounds[2] = sound("empty.wav", "");
    sounds[3] = sound("text.wav", "not a wave");
    render(songOf({everyRow(60, 2, {"Kick", "Short Kick", "Snare"})}));

    EXPECT_EQ(allSamples(*rendered()), [] {
        std::vector<int> v(2 * (5292 + 1), 0);
        v[0] = v[1] = v[2 * 5292] = v[2 * 5292 + 1] = 100;
        return v;
    }());
    EXPECT_EQ(observer.hits.size(), 6u);
}

TEST_F(SongRenderTest, FailedOrRefusedRenderLeavesTheOutputFileWhole)
{
    dir.write("song.wav", "the user's earlier song");
    sounds[1] = sound("kick.wav", wav16(2, 44100, {100, 100}));
    sounds[2] = RenderSound{dir.file("missing.wav"), 0, 0, 0};
    const StepList list = songOf({everyRow(60, 1, {"Kick", "Short Kick"})});

    EXPECT_THROW(render(list), EFileError);
    EXPECT_EQ(dir.read("song.wav"), "the user's earlier song");

    dir.write("work1.tmp", "scratch");
    EXPECT_THROW(renderSong(list, sounds, dir.file("work1.tmp"), dir.file("WORK1.TMP"), observer), Exception);
    EXPECT_EQ(dir.read("work1.tmp"), "scratch");

    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 3); // kick.wav, song.wav, work1.tmp: nothing left half written
}

// A WAV file counts its bytes in 32 bits: a render that would pass that stops before it, and a
// render that fails (here on a full disk) keeps no scratch file; neither writes the output.
TEST_F(SongRenderTest, ARenderPastWhatAWavFileCountsOrOnAFullDiskWritesNothingAndKeepsNoScratch)
{
    EXPECT_EQ(wavaudio::kMaxWavDataBytes + 36, 0xFFFFFFFFLL);
    EXPECT_NO_THROW(wavaudio::checkWavDataSize(wavaudio::kMaxWavDataBytes));
    EXPECT_EQ(errorOf([] { wavaudio::checkWavDataSize(wavaudio::kMaxWavDataBytes + 1); }),
              "The song's WAV file would hold 4294967260 bytes of sound, more than the 4 GiB a WAV file can count; "
              "nothing was written");

    dir.write("song.wav", "the user's earlier song");
    sounds[1] = sound("kick.wav", wav16(2, 44100, {100, 100, 100, 100}));
    // 86957 empty steps of 280 ms put the kick past 2^30 frames of four bytes.
    const StepList tooLong = songOf({everyRow(140, 1, {}, 86957), everyRow(140, 1, {"Kick"})});
    const std::string message = errorOf([&] { render(tooLong); });
    EXPECT_TRUE(message.starts_with("The song's WAV file would hold ")) << message;
    EXPECT_EQ(dir.read("song.wav"), "the user's earlier song");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "work1.tmp"));

    const StepList song = songOf({everyRow(60, 4, {"Kick"})});
    setWriteFaultsForTesting({100, false});
    const std::string full = errorOf([&] { render(song); });
    setWriteFaultsForTesting({});
    EXPECT_EQ(full, "Stream write error (the disk is full)");
    EXPECT_EQ(dir.read("song.wav"), "the user's earlier song");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "work1.tmp"));

    // A render that succeeds keeps its scratch file, as before.
    EXPECT_EQ(render(song), RenderOutcome::Finished);
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "work1.tmp"));
}

} // namespace

namespace {

// The render as the song's walk defines it: one instrument at a time in ascending order, every
// hit read from its file and added with the wave class's Mix. renderSong must give these bytes.
std::string referenceRender(const StepList& list, const RenderSounds& sounds, const TempFolder& dir)
{
    TWave output;
    output.SetScratchFileName(dir.file("reference.tmp"));
    output.SetScratchMode(true);
    for (const int instrument : renderInstruments(list)) {
        const std::optional<RenderSound>& sound = sounds[static_cast<size_t>(instrument)];
        if (!sound)
            continue;
        double t = 0;
        double step = 0;
        int cell = -1;
        std::int64_t i = 0;
        for (bool isEnd = false; !isEnd;) {
            const std::string& line = list.line(i++);
            isEnd = line == StepList::kEnd;
            if (line == StepList::kMarker)
                step = std::stoi(list.line(i++)) * 2 * 0.001;
            else
                ++cell;
            if (cell == 6) {
                cell = 0;
                t += step;
            }
            if (instrumentSlot(line) != instrument)
                continue;
            TWave source;
            source.LoadFromFile(sound->file);
            const int rate = sound->frequency ? sound->frequency : static_cast<int>(source.Format().sampleRate());
            output.Mix(source, rate, renderVolumeFactor(sound->volume), sound->pan * 0.0005, t);
        }
    }
    output.SaveToFile(dir.file("reference.wav"));
    return dir.read("reference.wav");
}

} // namespace

// Random songs of over two output windows, with loud sounds that clip, sounds of other rates and
// channel counts, a sample pitched far down that outlasts a window, an empty sound and an
// instrument without a sound, at random volumes, pans and tempos: the render equals the
// reference byte for byte.
TEST_F(SongRenderTest, RandomSongsEqualTheRenderHitByHit)
{
    const std::vector<std::string> cells{"",       "",     "",        "Kick",    "snare",  "ClsHiat",
                                         "OpHiat", "Tom1", "Sample1", "Sample2", "nothing"};
    for (const unsigned seed : {1u, 2u}) {
        std::mt19937 random(seed);
        const auto pick = [&random](int low, int high) {
            return std::uniform_int_distribution<int>(low, high)(random);
        };
        const auto noise = [&](int channels, std::uint32_t rate, int frames, int loudness) {
            std::vector<int> values(static_cast<size_t>(channels * frames));
            for (int& v : values)
                v = pick(-loudness, loudness);
            std::string data;
            for (const int v : values)
                data += le16(v);
            return riff(chunk("fmt ", fmtBody(channels, rate, 16)) + chunk("data", data));
        };
        sounds = {};
        sounds[1] = sound("kick.wav", noise(1, 44100, pick(50, 3000), 32767));
        sounds[3] = sound("snare.wav", noise(2, 22050, pick(50, 2000), 20000));
        sounds[4] = sound("hat.wav", noise(2, 44100, pick(10, 500), 30000));
        sounds[5] = sound("open.wav", "");
        sounds[17] = sound("low.wav", noise(1, 44100, 44100, 12000), 4410);
        sounds[18] = sound("sample.wav", noise(2, 11025, pick(100, 4000), 32767), pick(0, 1) ? 0 : 30000);
        for (const int i : {1, 3, 4, 17, 18}) {
            sounds[static_cast<size_t>(i)]->volume = pick(-4500, 500);
            sounds[static_cast<size_t>(i)]->pan = pick(-4500, 4500);
        }

        std::vector<SongPattern> patterns;
        for (double seconds = 0; seconds < 26;) {
            SongPattern p{pick(1, 140), pick(1, 3), pick(1, 16), {}};
            for (int c = 0; c < 6 * p.length; ++c)
                p.cells.push_back(cells[static_cast<size_t>(pick(0, static_cast<int>(cells.size()) - 1))]);
            // The long sample sounds rarely.
            for (std::string& cell : p.cells)
                if (cell == "Sample1" && pick(0, 20) > 0)
                    cell.clear();
            seconds += p.tempoPosition * 0.002 * p.length * p.loopCount;
            patterns.push_back(std::move(p));
        }
        const StepList list = songOf(patterns);

        render(list);
        EXPECT_TRUE(dir.read("song.wav") == referenceRender(list, sounds, dir)) << "seed " << seed;
        EXPECT_GT(rendered()->FrameCount(), 2 * TWave::kWindowFrames) << "seed " << seed;
    }
}
