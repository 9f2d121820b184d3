// The threads that meet at the device, as the program has them: the UI thread making, changing,
// duplicating and releasing buffers (released voices come back through the mixer's retire queue)
// and refilling a streamed ring behind its play cursor on the calls a worker hands it through the
// UI call queue, as a streamed player's worker does; a callback thread mixing as fast as it can;
// and a watchdog thread reporting the output restarted, as PortAudio's does, after which the UI
// thread restores what was lost. Built and run under ThreadSanitizer too; its value is in running
// clean there.
#include "support/le_bytes.h"
#include "platform/sound_device.h"
#include "platform/sound_mixer.h"
#include "platform/sound_system.h"
#include "platform/ui_call_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>

namespace groovane {
namespace {

// An output whose callback thread renders blocks back to back, with no pacing, and whose watchdog
// thread reports a restart every 200 blocks, `restarts` times in all.
class FreeRunningOutput final : public AudioOutput {
public:
    explicit FreeRunningOutput(int restarts = 0) : restartsToMake_(restarts) {}
    ~FreeRunningOutput() override { stop(); }
    std::string name() const override { return "free-running"; }
    uint32_t sampleRate() const override { return 44100; }
    uint32_t latencyFrames() const override { return 64; }
    bool start(AudioRenderer& renderer, std::string*) override
    {
        isRunning_.store(true);
        thread_ = std::thread([this, &renderer] {
            std::vector<int16_t> block(2 * 64);
            while (isRunning_.load()) {
                renderer.render(block.data(), 64, steadyNanoseconds());
                for (int16_t sample : block)
                    if (sample == 1000)
                        sawStreamedValue_.store(true);
                blocks_.fetch_add(1);
            }
        });
        watchdog_ = std::thread([this, &renderer] {
            for (int i = 0; i < restartsToMake_ && waitBlocks(200); ++i) {
                renderer.outputRestarted();
                restarts_.fetch_add(1);
            }
        });
        return true;
    }
    void stop() override
    {
        isRunning_.store(false);
        if (thread_.joinable())
            thread_.join();
        if (watchdog_.joinable())
            watchdog_.join();
    }

    // Waits until the callback has rendered `count` more blocks; false if it stopped first.
    bool waitBlocks(uint64_t count) const
    {
        const uint64_t target = blocks_.load() + count;
        while (blocks_.load() < target) {
            if (!isRunning_.load())
                return false;
            std::this_thread::yield();
        }
        return true;
    }
    bool sawStreamedValue() const { return sawStreamedValue_.load(); }
    int restarts() const { return restarts_.load(); }

private:
    const int restartsToMake_;
    std::atomic<bool> isRunning_{false};
    std::atomic<uint64_t> blocks_{0};
    std::atomic<bool> sawStreamedValue_{false};
    std::atomic<int> restarts_{0};
    std::thread thread_;
    std::thread watchdog_;
};

WaveFormatEx mono16()
{
    return {WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};
}

std::shared_ptr<SoundBuffer> makeBuffer(SoundDevice& device, uint32_t bytes,
                                        uint32_t flags = 0xE0 | DSBCAPS_GLOBALFOCUS)
{
    const WaveFormatEx format = mono16();
    SoundBufferDesc desc;
    desc.dwFlags = flags;
    desc.dwBufferBytes = bytes;
    desc.lpwfxFormat = &format;
    std::shared_ptr<SoundBuffer> buffer;
    EXPECT_EQ(device.CreateSoundBuffer(&desc, &buffer), DS_OK);
    return buffer;
}

void fill(SoundBuffer& buffer, uint32_t offset, uint32_t bytes, int16_t value)
{
    void* r1 = nullptr;
    void* r2 = nullptr;
    uint32_t b1 = 0;
    uint32_t b2 = 0;
    if (buffer.Lock(offset, bytes, &r1, &b1, &r2, &b2, 0) != DS_OK)
        return;
    for (uint32_t i = 0; i + 1 < b1; i += 2)
        std::memcpy(static_cast<char*>(r1) + i, &value, 2);
    for (uint32_t i = 0; r2 && i + 1 < b2; i += 2)
        std::memcpy(static_cast<char*>(r2) + i, &value, 2);
    buffer.Unlock(r1, b1, r2, b2);
}

// A device on `system` at priority level whose primary mixes 44100 Hz 16-bit stereo.
void openCdQualityDevice(SoundSystem& system, std::shared_ptr<SoundDevice>& device,
                         std::shared_ptr<SoundBuffer>& primary)
{
    ASSERT_EQ(system.createDevice(&device), DS_OK);
    ASSERT_EQ(device->SetCooperativeLevel(&system, DSSCL_PRIORITY), DS_OK);
    SoundBufferDesc primaryDesc;
    primaryDesc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    ASSERT_EQ(device->CreateSoundBuffer(&primaryDesc, &primary), DS_OK);
    const WaveFormatEx cd{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    ASSERT_EQ(primary->SetFormat(&cd), DS_OK);
}

TEST(SoundThreadCrossing, TheUiThreadAloneCallsTheDeviceWhileWorkerCallbackAndWatchdogRun)
{
    constexpr int kRestarts = 3;
    SoundSystem system;
    auto ownedOutput = std::make_unique<FreeRunningOutput>(kRestarts);
    FreeRunningOutput& output = *ownedOutput;
    system.useOutput(std::move(ownedOutput));

    std::shared_ptr<SoundDevice> device;
    std::shared_ptr<SoundBuffer> primary;
    ASSERT_NO_FATAL_FAILURE(openCdQualityDevice(system, device, primary));

    // The streamed ring: looped, refilled behind its play cursor and finally stopped, each time on
    // this thread for a call the worker hands over. A lost ring is restored, filled and played
    // again, as the streamed player does.
    constexpr uint32_t kRingBytes = 8192;
    auto ring = makeBuffer(*device, kRingBytes, 0xE0 | DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2);
    fill(*ring, 0, kRingBytes, 1000);
    ASSERT_EQ(ring->Play(DSBPLAY_LOOPING), DS_OK);
    output.waitBlocks(4);
    EXPECT_TRUE(output.sawStreamedValue());
    uint32_t written = 0;
    auto refill = [&] {
        uint32_t status = 0;
        ring->GetStatus(&status);
        if (status & DSBSTATUS_BUFFERLOST) {
            // The audio thread may still be in the block it mixed from the ring before the loss;
            // the ring is written again only after it has stopped the lost voices.
            if (system.mixer().stoppedLossEpoch() != system.mixer().lossEpoch())
                return;
            ring->Restore();
            fill(*ring, 0, kRingBytes, 1000);
            written = 0;
            ring->Play(DSBPLAY_LOOPING);
            return;
        }
        uint32_t play = 0;
        ring->GetCurrentPosition(&play, nullptr);
        const uint32_t free = (play + kRingBytes - written) % kRingBytes & ~1u;
        if (free >= 256) {
            fill(*ring, written, free, 1000);
            written = (written + free) % kRingBytes;
        }
    };
    UiCallQueue queue;
    std::atomic<bool> workerDone{false};
    std::thread worker([&] {
        for (int i = 0; i < 300; ++i)
            queue.callAndWait(refill);
        queue.callAndWait([&] { ring->Stop(); });
        workerDone.store(true);
    });

    std::vector<std::shared_ptr<SoundBuffer>> voices;
    for (int round = 0; !workerDone.load() || round < 300 || output.restarts() < kRestarts; ++round) {
        queue.serve();

        auto voice = makeBuffer(*device, 512);
        fill(*voice, 0, 512, static_cast<int16_t>(round));
        voice->SetVolume(-(round % 10) * 100);
        voice->SetPan((round % 21 - 10) * 1000);
        voice->SetFrequency(round % 2 ? 0 : 22050 + round);
        voice->Play(round % 3 == 0 ? DSBPLAY_LOOPING : 0);
        std::shared_ptr<SoundBuffer> copy;
        ASSERT_EQ(device->DuplicateSoundBuffer(voice, &copy), DS_OK);
        copy->Play(0);
        voices.push_back(voice);
        voices.push_back(copy);
        if (voices.size() > 40) {
            for (size_t i = 0; i < 20; ++i) {
                uint32_t status = 0;
                voices[i]->GetStatus(&status);
                if (i % 2)
                    voices[i]->Stop();
            }
            voices.erase(voices.begin(), voices.begin() + 20);
        }
        uint32_t status = 0;
        if (voices.front()->GetStatus(&status) == DS_OK && (status & DSBSTATUS_BUFFERLOST))
            for (auto& v : voices)
                v->Restore();
        if (round % 16 == 0)
            output.waitBlocks(1);
    }
    worker.join();
    output.waitBlocks(2);
    EXPECT_EQ(output.restarts(), kRestarts);

    uint32_t status = 0;
    ring->GetStatus(&status);
    EXPECT_EQ(status & DSBSTATUS_PLAYING, 0u);

    // Everything released comes back to this thread and is freed here (LeakSanitizer checks).
    voices.clear();
    ring.reset();
    output.waitBlocks(2);
    system.collectGarbage();
}

// The recorder runs on its own paced thread; the test waits for it to have written a steady
// tone, stops it and reads back a consistent WAV file holding that tone.
TEST(WavRecordingOutput, RecordsTheMixIntoAWellFormedFile)
{
    const std::string path =
        (std::filesystem::temp_directory_path() / ("groovane_record_" + std::to_string(::getpid()) + ".wav")).string();
    {
        SoundSystem system;
        system.useOutput(makeWavRecordingOutput(path));
        ASSERT_EQ(system.output()->name(), "wav:" + path);
        std::shared_ptr<SoundDevice> device;
        std::shared_ptr<SoundBuffer> primary;
        ASSERT_NO_FATAL_FAILURE(openCdQualityDevice(system, device, primary));
        auto tone = makeBuffer(*device, 400);
        fill(*tone, 0, 400, 1234);
        ASSERT_EQ(tone->Play(DSBPLAY_LOOPING), DS_OK);
        while (std::filesystem::file_size(path) < 44 + 4 * 44100 / 5)
            std::this_thread::yield();
        system.useOutput(makeNullAudioOutput()); // stops the recorder and closes its file
    }
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    ASSERT_GE(bytes.size(), 44u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(test::readLe32(bytes, 24), 44100u);
    EXPECT_EQ(test::readLe32(bytes, 40), bytes.size() - 44);
    EXPECT_EQ(test::readLe32(bytes, 4), bytes.size() - 8);
    bool heard = false;
    for (size_t at = 44; at + 1 < bytes.size() && !heard; at += 2)
        heard = static_cast<unsigned char>(bytes[at]) == (1234 & 0xFF) &&
                static_cast<unsigned char>(bytes[at + 1]) == (1234 >> 8);
    EXPECT_TRUE(heard);
}

// A disk that stalls for 200 ms while clicks play 100 ms apart: the recording still holds every
// click exactly 4410 frames after the one before, because mixing follows its own schedule and
// the writing happens elsewhere. The clicks are stamped ahead, as ticks are, all at once.
TEST(WavRecordingOutput, AStallingDiskMovesNoHit)
{
    const std::string path =
        (std::filesystem::temp_directory_path() / ("groovane_stall_" + std::to_string(::getpid()) + ".wav")).string();
    {
        SoundSystem system;
        std::atomic<bool> hasStalled{false};
        system.useOutput(makeWavRecordingOutput(path, 44100, [&hasStalled] {
            if (!hasStalled.exchange(true))
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }));
        std::shared_ptr<SoundDevice> device;
        std::shared_ptr<SoundBuffer> primary;
        ASSERT_NO_FATAL_FAILURE(openCdQualityDevice(system, device, primary));
        std::vector<std::shared_ptr<SoundBuffer>> clicks;
        const int64_t start = steadyNanoseconds() + 50'000'000;
        for (int i = 0; i < 8; ++i) {
            auto click = makeBuffer(*device, 40);
            fill(*click, 0, 40, 9000);
            const PlayTimeStamp tick(system, start + int64_t{i} * 100'000'000);
            ASSERT_EQ(click->Play(0), DS_OK);
            clicks.push_back(click);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));
        system.useOutput(makeNullAudioOutput());
        EXPECT_TRUE(hasStalled.load());
    }
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    std::vector<size_t> onsets;
    for (size_t frame = 0; 44 + 4 * frame + 1 < bytes.size(); ++frame) {
        const auto left = static_cast<int16_t>(static_cast<uint8_t>(bytes[44 + 4 * frame]) |
                                               static_cast<uint8_t>(bytes[44 + 4 * frame + 1]) << 8);
        if (left == 9000 && (onsets.empty() || frame > onsets.back() + 100))
            onsets.push_back(frame);
    }
    ASSERT_EQ(onsets.size(), 8u);
    for (size_t i = 1; i < onsets.size(); ++i)
        EXPECT_EQ(onsets[i] - onsets[i - 1], 4410u) << "click " << i;
}

// Renders a steady tone and counts its blocks: what a recorder records and how long it goes on.
class ToneRenderer final : public AudioRenderer {
public:
    static constexpr int16_t kTone = 1234;
    void render(int16_t* stereo, uint32_t frames, int64_t) noexcept override
    {
        std::fill(stereo, stereo + 2 * frames, kTone);
        blocks_.fetch_add(1);
    }
    void outputRestarted() noexcept override {}
    uint64_t blocks() const { return blocks_.load(); }

private:
    std::atomic<uint64_t> blocks_{0};
};

// A disk that fills up while recording: the process may write no file beyond 64 KiB, which
// the recorder reaches after about a third of a second.
TEST(WavRecordingOutput, AFullDiskStopsTheRecordingWithOneLineWhileTheSoundGoesOn)
{
    constexpr rlim_t kDiskBytes = 64 * 1024;
    const std::string path =
        (std::filesystem::temp_directory_path() / ("groovane_full_" + std::to_string(::getpid()) + ".wav")).string();
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = previous;
    limited.rlim_cur = kDiskBytes;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);

    testing::internal::CaptureStderr();
    ToneRenderer tone;
    auto recorder = makeWavRecordingOutput(path);
    std::string error;
    ASSERT_TRUE(recorder->start(tone, &error)) << error;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::filesystem::file_size(path) < kDiskBytes && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const uint64_t blocksAtFull = tone.blocks();
    while (tone.blocks() < blocksAtFull + 30 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const uint64_t blocksAfter = tone.blocks();
    recorder->stop();
    const std::string said = testing::internal::GetCapturedStderr();
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_GE(blocksAfter, blocksAtFull + 30) << "the output stopped pulling sound when the disk was full";
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("recording to " + path + " stopped"), std::string::npos) << said;

    // What reached the disk is a well-formed file of whole frames of the tone.
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    ASSERT_GT(bytes.size(), 44u);
    EXPECT_LE(bytes.size(), kDiskBytes);
    const uint32_t dataBytes = test::readLe32(bytes, 40);
    EXPECT_EQ(dataBytes % 4, 0u);
    EXPECT_LE(dataBytes, bytes.size() - 44);
    EXPECT_GE(dataBytes + 4, bytes.size() - 44) << "the header counts what was written";
    EXPECT_EQ(test::readLe32(bytes, 4), dataBytes + 36);
    for (size_t at = 44; at + 1 < 44 + dataBytes; at += 2)
        ASSERT_EQ(static_cast<int16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8),
                  ToneRenderer::kTone)
            << "byte " << at;
}

class UnopenableOutput final : public AudioOutput {
public:
    std::string name() const override { return "unopenable"; }
    uint32_t sampleRate() const override { return 48000; }
    uint32_t latencyFrames() const override { return 0; }
    bool start(AudioRenderer&, std::string* error) override
    {
        *error = "no card";
        return false;
    }
    void stop() override {}
};

TEST(SoundSystemOutput, AnOutputThatCannotOpenFallsBackToNullWithOneLine)
{
    SoundSystem system;
    testing::internal::CaptureStderr();
    system.useOutput(std::make_unique<UnopenableOutput>());
    const std::string said = testing::internal::GetCapturedStderr();
    ASSERT_NE(system.output(), nullptr);
    EXPECT_EQ(system.output()->name(), "null");
    EXPECT_NE(said.find("unopenable"), std::string::npos);
    EXPECT_NE(said.find("no card"), std::string::npos);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
}

} // namespace
} // namespace groovane
