// The streamed player on the offline output, its worker on a manual clock and its hand-overs
// served by the test: what it puts into the mixed output around the end of a sound, the
// retrigger right after that end, positions and ring sizes, the files it refuses, and the
// worker's life (a Stop while a hand-over waits, threads after many triggers).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sound/audio_stream.h"
#include "sound/dx_sound.h"
#include "support/le_bytes.h"
#include "platform/sound_system.h"
#include "support/temp_folder.h"
#include "platform/ui_call_queue.h"
#include "sound/wave.h"
#include "sound/wave_stream.h"
#include "platform/worker_clock.h"

namespace groovane {
namespace {

using test::chunk;
using test::le16;
using test::le32;

constexpr uint32_t kOutputRate = 44100;
constexpr uint32_t kFramesPer50Ms = kOutputRate / 20;

struct WavLayout {
    uint32_t rate = 44100;
    int bits = 16;
    int channels = 2;
};

std::string fmtBody(const WavLayout& s)
{
    const int align = s.channels * s.bits / 8;
    return le16(1) + le16(s.channels) + le32(s.rate) + le32(s.rate * uint32_t(align)) + le16(align) + le16(s.bits);
}

std::string riff(const std::string& chunks)
{
    return "RIFF" + le32(uint32_t(chunks.size() + 4)) + "WAVE" + chunks;
}

// A WAV image whose every frame holds `sample` in each channel (raw bytes of one sample).
std::string constantWav(const WavLayout& s, int frames, const std::string& sample)
{
    std::string data;
    for (int i = 0; i < frames * s.channels; ++i)
        data += sample;
    return riff(chunk("fmt ", fmtBody(s)) + chunk("data", data));
}

int threadCount()
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

class AudioStream : public ::testing::Test {
protected:
    void SetUp() override
    {
        output_ = &SoundSystem::instance().useOfflineOutput(kOutputRate, 0);
        SoundSystem::instance().setClock([this] { return output_->timeOfFrame(output_->framesRendered()); });
        setWorkerClock(&clock_);
        sound_.SetOptions(soGlobalFocus | soExclusive);
        sound_.OnInitialize = [](TCustomDXSound& s) {
            WaveFormatEx f;
            MakePCMWaveFormat(f, 44100, 16, 2);
            s.Primary()->SetFormat(f);
        };
        sound_.Initialize();
        player_ = std::make_unique<TAudioFileStream>(*sound_.DSound());
    }

    void TearDown() override
    {
        player_.reset();
        setWorkerClock(nullptr);
        SoundSystem::instance().setClock({});
    }

    std::string file(const std::string& name, const std::string& bytes)
    {
        folder_.write(name, bytes);
        return folder_.file(name);
    }

    void trigger()
    {
        player_->SetPosition(0);
        player_->Play();
    }

    // Plays `ms` of output, then lets the worker wake for that stretch and serves its update.
    std::vector<int16_t> play(uint32_t ms)
    {
        auto out = output_->pump(kOutputRate * ms / 1000, 256);
        clock_.step(ms, uiCallQueue());
        return out;
    }

    // Plays in steps of 50 ms until the player has stopped by itself (at most 100 steps);
    // returns the output and counts the steps in *periods.
    std::vector<int16_t> playToTheEnd(int* periods)
    {
        std::vector<int16_t> out;
        *periods = 0;
        while (player_->Playing() && *periods < 100) {
            const auto part = play(50);
            out.insert(out.end(), part.begin(), part.end());
            ++*periods;
        }
        return out;
    }

    test::TempFolder folder_;
    ManualWorkerClock clock_;
    OfflineAudioOutput* output_ = nullptr;
    TDXSoundForm form_;
    TDXSound sound_{&form_};
    std::unique_ptr<TAudioFileStream> player_;
};

struct EndCase {
    WavLayout layout;
    int frames;
    std::string sample; // raw bytes of one sample
    int16_t heard;      // what the output carries for it
};

class AudioStreamEnd : public AudioStream, public ::testing::WithParamInterface<EndCase> {};

TEST_P(AudioStreamEnd, StopsItselfFiftyToAHundredMsAfterItsEndPlayingSilenceMeanwhile)
{
    const EndCase& c = GetParam();
    player_->SetFileName(file("hit.wav", constantWav(c.layout, c.frames, c.sample)));
    trigger();

    const uint64_t endFrame = uint64_t(c.frames) * kOutputRate / c.layout.rate;
    int periods = 0;
    const std::vector<int16_t> out = playToTheEnd(&periods);
    ASSERT_FALSE(player_->Playing());
    const uint64_t stopFrame = uint64_t(periods) * kFramesPer50Ms;
    EXPECT_GE(stopFrame, endFrame + kFramesPer50Ms);
    EXPECT_LE(stopFrame, endFrame + 2 * kFramesPer50Ms);
    EXPECT_EQ(player_->Position(), player_->Size());
    EXPECT_FALSE(player_->Buffer().Playing());

    // The sound, then silence, never the bytes of an empty ring (0 is loud for 8-bit data). The
    // edges of a resampled sound are interpolated; two frames either side are left out.
    for (uint64_t frame = 2; frame + 2 < endFrame; ++frame)
        ASSERT_EQ(out[2 * frame], c.heard) << "frame " << frame;
    for (uint64_t frame = endFrame + 2; frame < stopFrame; ++frame)
        ASSERT_EQ(out[2 * frame], 0) << "frame " << frame;
    for (int16_t v : output_->pump(kFramesPer50Ms))
        ASSERT_EQ(v, 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, AudioStreamEnd,
                         ::testing::Values(EndCase{{44100, 16, 2}, 5292, le16(1000), 1000},
                                           EndCase{{22050, 8, 1}, 1323, std::string(1, char(200)), 72 * 256}),
                         [](const auto& info) {
                             return info.param.layout.bits == 8 ? "EightBitMono" : "SixteenBitStereo";
                         });

TEST_F(AudioStream, ARetriggerRightAfterTheNaturalEndSounds)
{
    player_->SetFileName(file("short.wav", constantWav({}, 441, le16(3000))));
    trigger();
    play(50);
    EXPECT_EQ(player_->Position(), player_->Size());

    // The update that finds the end stops the player at once; the trigger comes before its
    // worker has even looked at its event again.
    output_->pump(kFramesPer50Ms);
    clock_.advance(50);
    uiCallQueue().serveUntil([&] { return !player_->Playing(); });
    trigger();
    EXPECT_TRUE(player_->Playing());

    auto out = play(50);
    EXPECT_EQ(out[0], 3000);
    EXPECT_EQ(out[2 * 440], 3000);
    EXPECT_EQ(out[2 * 441], 0);
    // The retriggered sound runs its own course: it ends by itself, nobody else stops it early.
    EXPECT_TRUE(player_->Playing());
    play(50);
    EXPECT_FALSE(player_->Playing());
}

// A sample roll: triggers 20 ms apart, each inside a tick whose sounds carry a latency, with
// the worker refilling every 50 ms in between (so some restarts find the new ring already
// refilled and some do not). Every trigger sounds, from the sound's first frame, on its tick's
// frame; the sound before it plays exactly up to that frame. Stop still cuts at once.
TEST_F(AudioStream, ASlotRetriggeredEveryTwentyMsRestartsOnEachTicksFrame)
{
    constexpr uint32_t kLatency = 2205;
    constexpr int kFrames = 13230; // 300 ms, each frame holding its own number plus one
    output_ = &SoundSystem::instance().useOfflineOutput(kOutputRate, kLatency);
    std::string data;
    for (int i = 0; i < kFrames; ++i)
        data += le16(i + 1) + le16(i + 1);
    player_->SetFileName(file("roll.wav", riff(chunk("fmt ", fmtBody({})) + chunk("data", data))));

    std::vector<int16_t> out;
    std::vector<uint64_t> tickFrames;
    for (int i = 0; i < 16; ++i) {
        // The tick came 300 frames before its Play calls reach the player.
        const uint64_t tick = output_->framesRendered();
        tickFrames.push_back(tick + kLatency);
        auto part = output_->pump(300, 128);
        out.insert(out.end(), part.begin(), part.end());
        {
            const PlayTimeStamp stamp(SoundSystem::instance(), output_->timeOfFrame(tick));
            trigger();
        }
        part = output_->pump(882 - 300, 100);
        out.insert(out.end(), part.begin(), part.end());
        clock_.step(20, uiCallQueue());
    }
    auto tail = output_->pump(2 * kLatency, 256);
    out.insert(out.end(), tail.begin(), tail.end());

    int starts = 0;
    for (size_t f = 0; f < out.size() / 2; ++f)
        starts += out[2 * f] == 1;
    EXPECT_EQ(starts, 16);
    for (size_t i = 0; i < tickFrames.size(); ++i) {
        const uint64_t at = tickFrames[i];
        EXPECT_EQ(out[2 * at], 1) << "trigger " << i << " starts on its frame";
        EXPECT_EQ(out[2 * at + 1], 1);
        EXPECT_EQ(out[2 * (at + 881)], 882) << "trigger " << i << " plays on undisturbed";
        if (i > 0)
            EXPECT_EQ(out[2 * (at - 1)], 882) << "the sound before trigger " << i << " plays up to its frame";
        else
            EXPECT_EQ(out[2 * (at - 1)], 0) << "silence before the first trigger";
    }

    // Stop cuts at once: nothing sounds in the next block.
    ASSERT_TRUE(player_->Playing());
    player_->Stop();
    for (int16_t v : output_->pump(256))
        ASSERT_EQ(v, 0);
}

TEST_F(AudioStream, PositionIsClampedToTheSamplesAndRoundedDownToWholeFrames)
{
    EXPECT_THROW(player_->SetPosition(0), EAudioStreamError);
    player_->SetFileName(file("a.wav", constantWav({}, 1000, le16(1))));
    ASSERT_EQ(player_->Size(), 4000);

    player_->SetPosition(1001);
    EXPECT_EQ(player_->Position(), 1000);
    player_->SetPosition(1003);
    EXPECT_EQ(player_->Position(), 1000);
    player_->SetPosition(999999);
    EXPECT_EQ(player_->Position(), 3996);
    player_->SetPosition(-5);
    EXPECT_EQ(player_->Position(), 0);

    // Playing from a position starts there at once.
    player_->SetFileName(file("ramp.wav", riff(chunk("fmt ", fmtBody({44100, 16, 1})) +
                                               chunk("data", le16(10) + le16(20) + le16(30) + le16(40)))));
    player_->SetPosition(5);
    player_->Play();
    const auto out = output_->pump(3);
    EXPECT_EQ(out[0], 30);
    EXPECT_EQ(out[2], 40);
    EXPECT_EQ(out[4], 0);
}

TEST_F(AudioStream, TheRingHoldsOneSecondInTheFilesFormat)
{
    player_->SetFileName(file("cd.wav", constantWav({44100, 16, 2}, 10, le16(1))));
    EXPECT_EQ(player_->RingSize(), 176400);
    EXPECT_EQ(player_->Buffer().IBuffer().sizeBytes(), 176400u);
    // Position reporting, frequency, pan and volume control, and the device's global focus.
    EXPECT_EQ(player_->Buffer().IBuffer().flags(), 0x180E0u);
    // A new ring plays at the file's own rate and reports it.
    EXPECT_EQ(player_->Frequency(), 44100);

    player_->SetFileName(file("lofi.wav", constantWav({22050, 8, 1}, 10, std::string(1, char(128)))));
    EXPECT_EQ(player_->RingSize(), 22050);
    EXPECT_EQ(player_->Frequency(), 22050);
    EXPECT_EQ(player_->Volume(), 0);
    EXPECT_EQ(player_->Pan(), 0);
}

TEST_F(AudioStream, TheSameNameKeepsFileAndPositionAnotherStartsAfresh)
{
    const std::string name = file("a.wav", constantWav({}, 1000, le16(1)));
    player_->SetFileName(name);
    TCustomWaveStream* stream = player_->WaveStream();
    player_->SetPosition(400);
    player_->SetPan(-2000);
    player_->SetFileName(name);
    EXPECT_EQ(player_->WaveStream(), stream);
    EXPECT_EQ(player_->Position(), 400);
    EXPECT_EQ(player_->Pan(), -2000);

    player_->SetFileName(file("b.wav", constantWav({}, 1000, le16(1))));
    EXPECT_EQ(player_->Position(), 0);
    EXPECT_EQ(player_->Pan(), 0);
    player_->SetFileName("");
    EXPECT_EQ(player_->WaveStream(), nullptr);
    EXPECT_EQ(player_->Size(), 0);
}

TEST_F(AudioStream, AFileWithoutSamplesDoesNotPlay)
{
    player_->SetFileName(file("empty.wav", riff(chunk("fmt ", fmtBody({})) + chunk("data", ""))));
    player_->Play();
    EXPECT_FALSE(player_->Playing());
    EXPECT_EQ(clock_.workerCount(), 0);

    player_->SetFileName("");
    EXPECT_THROW(player_->Play(), EAudioStreamError);
}

TEST_F(AudioStream, ADataChunkLongerThanTheFilePlaysWhatIsThereThenSilence)
{
    // 8-bit, so a ring left unfilled (bytes 0) would be heard at full scale.
    const std::string data(400, char(228));
    const WavLayout layout{44100, 8, 1};
    player_->SetFileName(file("cut.wav", riff(chunk("fmt ", fmtBody(layout))) + "data" + le32(100000) + data));
    EXPECT_EQ(player_->Size(), 400);
    trigger();
    const auto out = play(50);
    EXPECT_EQ(out[0], 100 * 256);
    EXPECT_EQ(out[2 * 399], 100 * 256);
    for (size_t frame = 400; frame < kFramesPer50Ms; ++frame)
        ASSERT_EQ(out[2 * frame], 0) << "frame " << frame;
    play(50);
    EXPECT_FALSE(player_->Playing());
}

struct RefusedFile {
    const char* what; // a test name
    std::string bytes;
    const char* message;
};

class AudioStreamRefusal : public AudioStream, public ::testing::WithParamInterface<RefusedFile> {};

TEST_P(AudioStreamRefusal, LeavesThePlayerWithoutAStreamOrAName)
{
    player_->SetFileName(file("good.wav", constantWav({}, 100, le16(1))));
    const std::string name = file("bad.wav", GetParam().bytes);
    try {
        player_->SetFileName(name);
        FAIL() << "accepted " << GetParam().what;
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), GetParam().message);
    }
    EXPECT_EQ(player_->WaveStream(), nullptr);
    EXPECT_EQ(player_->FileName(), "");
    EXPECT_EQ(player_->RingSize(), 0);
    EXPECT_THROW(player_->Play(), EAudioStreamError);
}

std::string fmtWith(int blockAlign, uint32_t bytesPerSec)
{
    return le16(1) + le16(2) + le32(44100) + le32(bytesPerSec) + le16(blockAlign) + le16(16);
}

INSTANTIATE_TEST_SUITE_P(
    HostileFiles, AudioStreamRefusal,
    ::testing::Values(RefusedFile{"ShortFormat", riff(chunk("fmt ", fmtBody({}).substr(0, 14)) + chunk("data", "abcd")),
                                  "Wave is invalid"},
                      RefusedFile{"NoFormat", riff(chunk("data", "abcd")), "Wave is invalid"},
                      RefusedFile{"EmptyFile", "", "Wave is invalid"},
                      RefusedFile{"BlockAlignZero", riff(chunk("fmt ", fmtWith(0, 176400)) + chunk("data", "abcd")),
                                  "Wave is invalid"},
                      RefusedFile{"RingBeyond32Bits",
                                  riff(chunk("fmt ", fmtWith(4, 0xFFFFFFFFu)) + chunk("data", "abcd")),
                                  "Wave is invalid"},
                      RefusedFile{"NotRiff", "RIFX0000WAVEfmt ", "Wave is invalid"},
                      RefusedFile{"FrameSizeMismatch", riff(chunk("fmt ", fmtWith(3, 176400)) + chunk("data", "abcd")),
                                  "Sound Buffer cannot be made"}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(AudioStream, OnlyRegularFilesAreOpened)
{
    const std::string folder = folder_.file("sub.wav");
    std::filesystem::create_directory(folder);
    EXPECT_THROW(player_->SetFileName(folder), EFileError);
    // A pipe with no writer would block an ordinary open for ever.
    const std::string pipe = folder_.file("pipe.wav");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_THROW(player_->SetFileName(pipe), EFileError);
    EXPECT_THROW(player_->SetFileName(folder_.file("missing.wav")), EFileError);
    EXPECT_EQ(player_->FileName(), "");
}

TEST_F(AudioStream, RecreatingTheRingKeepsPositionSettingsAndPlaying)
{
    player_->SetFileName(file("a.wav", constantWav({22050, 16, 2}, 22050, le16(500))));
    player_->SetFrequency(30000);
    player_->SetPan(1500);
    player_->SetVolume(-600);
    player_->SetPosition(4000);
    sound_.SetOptions(soExclusive);
    player_->RecreateBuffer();
    EXPECT_EQ(player_->Buffer().IBuffer().flags(), 0x100E0u);
    EXPECT_EQ(player_->Position(), 4000);
    EXPECT_EQ(player_->Frequency(), 30000);
    EXPECT_EQ(player_->Pan(), 1500);
    EXPECT_EQ(player_->Volume(), -600);
    EXPECT_FALSE(player_->Playing());

    trigger();
    play(50);
    player_->RecreateBuffer();
    EXPECT_TRUE(player_->Playing());
    EXPECT_TRUE(player_->Buffer().Playing());
    EXPECT_EQ(clock_.workerCount(), 1);
    player_->Stop();
    EXPECT_EQ(clock_.workerCount(), 0);
}

TEST_F(AudioStream, AStopWhileTheWorkerWaitsForItsHandOverDoesNotDeadlock)
{
    player_->SetFileName(file("long.wav", constantWav({}, 44100, le16(7))));
    for (int round = 0; round < 200; ++round) {
        trigger();
        clock_.settle(uiCallQueue());
        clock_.advance(50);
        // The worker has woken and handed its update over; nobody has served it yet.
        while (uiCallQueue().pending() == 0)
            std::this_thread::yield();
        player_->Stop();
        ASSERT_FALSE(player_->Playing());
        ASSERT_EQ(clock_.workerCount(), 0);
        ASSERT_EQ(uiCallQueue().pending(), 0u);
    }
}

TEST_F(AudioStream, ThreadsComeBackAfterAThousandShortTriggers)
{
    player_->SetFileName(file("tick.wav", constantWav({}, 100, le16(100))));
    // One round first: a sanitizer's runtime starts a helper thread of its own with the first
    // thread the process makes.
    trigger();
    player_->Stop();
    const int before = threadCount();
    for (int round = 0; round < 1000; ++round) {
        trigger();
        if (round % 3 == 0)
            trigger(); // a retrigger while playing restarts the same voice
        play(50);
        if (round % 2 == 0)
            play(50); // ends by itself; otherwise the next trigger comes first
    }
    player_->Stop();
    EXPECT_EQ(threadCount(), before);
    EXPECT_EQ(clock_.workerCount(), 0);
}

// What the player does when its file changes under it while it plays: the samples it has not
// read yet are gone, so they sound as silence, and the player ends at its usual time.
TEST_F(AudioStream, AFileCutShortWhilePlayingGoesSilentAndEndsWithoutFault)
{
    const std::string path = file("long.wav", constantWav({}, 3 * 44100, le16(1000)));
    player_->SetFileName(path);
    trigger();
    play(100);
    // Everything after the first tenth of a second of samples is cut off.
    std::filesystem::resize_file(path, 44 + 4410 * 4);

    int periods = 0;
    std::vector<int16_t> out = playToTheEnd(&periods);
    EXPECT_FALSE(player_->Playing()) << "the player did not end";
    EXPECT_LE(periods, 3 * 20 + 2) << "it ends when the sound would have ended";
    // When the file was cut the ring held the first second, and the refills of the first tenth
    // of a second had read a tenth more (the file's read buffer may hold up to 4 KiB beyond);
    // later refills find nothing and fill silence.
    const size_t readBeforeCut = 44100 + 4410 - 4410;
    size_t silentFrom = 0;
    while (silentFrom < out.size() / 2 && out[2 * silentFrom] == 1000)
        ++silentFrom;
    EXPECT_GE(silentFrom, readBeforeCut);
    EXPECT_LE(silentFrom, readBeforeCut + 4096 / 4);
    for (size_t frame = silentFrom; frame < out.size() / 2; ++frame)
        ASSERT_EQ(out[2 * frame], 0) << "frame " << frame;

    // Triggered again, the slot plays its first second as it was opened (kept in memory, so a
    // trigger reads no file), then what the file still holds after it: nothing, so silence.
    trigger();
    out = play(1100);
    for (size_t frame = 0; frame < 44100; ++frame)
        ASSERT_EQ(out[2 * frame], 1000) << "frame " << frame;
    // (The file stream may still hold the tenth of a second read before the cut, and its read
    // buffer a little beyond.)
    size_t silentAgainFrom = 44100;
    while (silentAgainFrom < out.size() / 2 && out[2 * silentAgainFrom] == 1000)
        ++silentAgainFrom;
    EXPECT_LE(silentAgainFrom, 44100 + 4410 + 4096 / 4);
    for (size_t frame = silentAgainFrom; frame < out.size() / 2; ++frame)
        ASSERT_EQ(out[2 * frame], 0) << "frame " << frame;
}

TEST_F(AudioStream, AFileDeletedWhilePlayingPlaysOnFromTheOpenFile)
{
    const std::string path = file("gone.wav", constantWav({}, 44100 / 2, le16(700)));
    player_->SetFileName(path);
    trigger();
    play(100);
    std::filesystem::remove(path);
    const auto out = play(300);
    EXPECT_EQ(out[2 * 10000], 700) << "the samples stay readable while the file is open";
    int periods = 0;
    playToTheEnd(&periods);
    EXPECT_FALSE(player_->Playing());
    trigger();
    EXPECT_EQ(play(50)[0], 700);
}

// The card goes away and comes back while the slot plays: the ring is reported lost. The player
// restores it and plays on from where it was.
TEST_F(AudioStream, ARingLostWhilePlayingIsRestoredAndPlaysOn)
{
    player_->SetFileName(file("long.wav", constantWav({}, 3 * 44100, le16(1200))));
    trigger();
    play(200);
    output_->simulateRestart();
    play(100);
    auto out = play(200);
    EXPECT_EQ(out[0], 1200);
    EXPECT_EQ(out[out.size() - 2], 1200);
    EXPECT_TRUE(player_->Playing());

    // A trigger while the ring is lost restores it too.
    output_->simulateRestart();
    trigger();
    out = play(50);
    EXPECT_EQ(out[0], 1200);
}

TEST_F(AudioStream, AnUpdateThatFailsStopsThePlayerAndReportsOnce)
{
    // A stream that fails once the ring has started: its refill raises.
    struct FailingStream : TCustomWaveStream2 {
        FailingStream()
        {
            SetFormatSize(18);
            WaveFormatEx f;
            MakePCMWaveFormat(f, 44100, 16, 2);
            std::memcpy(FormatData(), &f, 18);
        }
        int64_t GetSize() override { return 1 << 20; }
        int64_t ReadWave(int64_t, void*, int64_t count) override
        {
            if (failing)
                throw EReadError("Stream read error");
            return count;
        }
        bool failing = false;
    } stream;
    std::vector<std::string> reported;
    uiCallQueue().setErrorReporter([&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            reported.push_back(x.what());
        }
    });
    TAudioStream player(*sound_.DSound());
    player.SetWaveStream(&stream);
    player.Play();
    stream.failing = true;
    output_->pump(kFramesPer50Ms);
    clock_.step(50, uiCallQueue());
    uiCallQueue().setErrorReporter({});
    EXPECT_EQ(reported, std::vector<std::string>{"Stream read error"});
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(clock_.workerCount(), 0);
    player.SetWaveStream(nullptr);
}

} // namespace
} // namespace groovane
