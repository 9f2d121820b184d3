// The software sound device on the offline output: exact mixed samples for the volume and pan
// laws, frequency changes, summing with saturation, looping, an 8-bit and a 22050 Hz primary,
// focus muting and onsets on the expected frame, across block sizes; and the refusals,
// duplicates, Lock regions and lost-buffer reports the sound layer relies on; and the one notice
// that a card which cannot be opened, or is lost, leaves playback silent.
#include "platform/sound_device.h"
#include "platform/sound_mixer.h"
#include "platform/sound_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace groovane {
namespace {

constexpr uint32_t kControls = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;

WaveFormatEx pcm(uint32_t rate, uint16_t bits, uint16_t channels)
{
    const auto align = static_cast<uint16_t>(channels * bits / 8);
    return {WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

int16_t left(const std::vector<int16_t>& out, size_t frame)
{
    return out[2 * frame];
}
int16_t right(const std::vector<int16_t>& out, size_t frame)
{
    return out[2 * frame + 1];
}

// Index of the first frame with a non-zero sample, or -1.
long firstSound(const std::vector<int16_t>& out)
{
    for (size_t i = 0; i < out.size(); ++i)
        if (out[i] != 0)
            return static_cast<long>(i / 2);
    return -1;
}

class SoundDeviceTest : public ::testing::TestWithParam<uint32_t> {
protected:
    static constexpr uint32_t kLatency = 1024;

    void SetUp() override
    {
        output_ = &system_.useOfflineOutput(44100, kLatency);
        system_.setClock([this] { return clockNs_; });
        ASSERT_EQ(system_.createDevice(&device_), DS_OK);
        ASSERT_EQ(device_->SetCooperativeLevel(this, DSSCL_PRIORITY), DS_OK);
        SoundBufferDesc desc;
        desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
        ASSERT_EQ(device_->CreateSoundBuffer(&desc, &primary_), DS_OK);
        setPrimary(44100, 16);
    }

    void TearDown() override { setApplicationActive(true); }

    void setPrimary(uint32_t rate, uint16_t bits)
    {
        const WaveFormatEx format = pcm(rate, bits, 2);
        ASSERT_EQ(primary_->SetFormat(&format), DS_OK);
    }

    std::shared_ptr<SoundBuffer> makeBuffer(const void* bytes, uint32_t size, const WaveFormatEx& format,
                                            uint32_t flags = kControls | DSBCAPS_GLOBALFOCUS)
    {
        SoundBufferDesc desc;
        desc.dwFlags = flags;
        desc.dwBufferBytes = size;
        desc.lpwfxFormat = &format;
        std::shared_ptr<SoundBuffer> buffer;
        EXPECT_EQ(device_->CreateSoundBuffer(&desc, &buffer), DS_OK);
        if (!buffer)
            return buffer;
        void* region1 = nullptr;
        void* region2 = nullptr;
        uint32_t bytes1 = 0;
        uint32_t bytes2 = 0;
        EXPECT_EQ(buffer->Lock(0, size, &region1, &bytes1, &region2, &bytes2, 0), DS_OK);
        std::memcpy(region1, bytes, bytes1);
        EXPECT_EQ(buffer->Unlock(region1, bytes1, region2, bytes2), DS_OK);
        return buffer;
    }

    std::shared_ptr<SoundBuffer> mono16(const std::vector<int16_t>& samples, uint32_t rate = 44100,
                                        uint32_t flags = kControls | DSBCAPS_GLOBALFOCUS)
    {
        return makeBuffer(samples.data(), static_cast<uint32_t>(samples.size() * 2), pcm(rate, 16, 1), flags);
    }

    std::vector<int16_t> pump(uint32_t frames) { return output_->pump(frames, GetParam()); }

    uint64_t frame() const { return output_->framesRendered(); }
    void setClockToFrame(uint64_t frame) { clockNs_ = output_->timeOfFrame(frame); }

    uint32_t status(SoundBuffer& buffer)
    {
        uint32_t bits = 0;
        EXPECT_EQ(buffer.GetStatus(&bits), DS_OK);
        return bits;
    }

    // Plays at once: the clock stands latency frames behind the next frame to render.
    void playNow(SoundBuffer& buffer, uint32_t flags = 0)
    {
        pump(0);
        clockNs_ = output_->timeOfFrame(frame()) - output_->timeOfFrame(kLatency) - 1;
        ASSERT_EQ(buffer.Play(flags), DS_OK);
    }

    SoundSystem system_;
    OfflineAudioOutput* output_ = nullptr;
    int64_t clockNs_ = 0;
    std::shared_ptr<SoundDevice> device_;
    std::shared_ptr<SoundBuffer> primary_;
};

TEST_P(SoundDeviceTest, FullLevelCentrePanPassesSamplesThroughExactly)
{
    const std::vector<int16_t> samples{1, -1, 32767, -32768, 1234, 0, -5};
    auto buffer = mono16(samples);
    playNow(*buffer);
    const auto out = pump(10);
    for (size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(left(out, i), samples[i]) << i;
        EXPECT_EQ(right(out, i), samples[i]) << i;
    }
    EXPECT_EQ(left(out, 8), 0);
    EXPECT_EQ(status(*buffer), 0u);
}

TEST_P(SoundDeviceTest, VolumeAndPanAttenuateInHundredthsOfADecibel)
{
    auto buffer = mono16(std::vector<int16_t>(8, 10000));
    ASSERT_EQ(buffer->SetVolume(-600), DS_OK); // -6 dB: gain 10^(-0.3)
    ASSERT_EQ(buffer->SetPan(600), DS_OK);     // left a further -6 dB
    playNow(*buffer);
    auto out = pump(4);
    EXPECT_EQ(right(out, 0), 5012);
    EXPECT_EQ(left(out, 0), 2512);

    // Refused values keep the old ones.
    EXPECT_EQ(buffer->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetVolume(-10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetPan(10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetPan(-10001), DSERR_INVALIDPARAM);
    int32_t volume = 0;
    int32_t pan = 0;
    EXPECT_EQ(buffer->GetVolume(&volume), DS_OK);
    EXPECT_EQ(buffer->GetPan(&pan), DS_OK);
    EXPECT_EQ(volume, -600);
    EXPECT_EQ(pan, 600);
    out = pump(2);
    EXPECT_EQ(right(out, 0), 5012);

    // The ends of the ranges are silence on the far side, or altogether.
    ASSERT_EQ(buffer->SetVolume(0), DS_OK);
    ASSERT_EQ(buffer->SetPan(-10000), DS_OK);
    out = pump(1);
    EXPECT_EQ(left(out, 0), 10000);
    EXPECT_EQ(right(out, 0), 0);
    ASSERT_EQ(buffer->SetVolume(-10000), DS_OK);
    ASSERT_EQ(buffer->SetPan(0), DS_OK);
    out = pump(1);
    EXPECT_EQ(left(out, 0), 0);
    EXPECT_EQ(right(out, 0), 0);
}

TEST_P(SoundDeviceTest, StereoBufferKeepsItsSidesAndPanOnlyAttenuatesTheOtherOne)
{
    const std::vector<int16_t> frames{1000, -2000, 3000, -4000};
    auto buffer = makeBuffer(frames.data(), 8, pcm(44100, 16, 2));
    ASSERT_EQ(buffer->SetPan(-2000), DS_OK); // right -20 dB
    playNow(*buffer);
    const auto out = pump(2);
    EXPECT_EQ(left(out, 0), 1000);
    EXPECT_EQ(right(out, 0), -200);
    EXPECT_EQ(left(out, 1), 3000);
    EXPECT_EQ(right(out, 1), -400);
}

TEST_P(SoundDeviceTest, FrequencyChangesPitchAndDurationTogether)
{
    std::vector<int16_t> ramp(100);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<int16_t>(100 * i);
    auto buffer = mono16(ramp, 22050);
    // A buffer whose frequency was never set reports its own rate, and so does one set to 0.
    uint32_t own = 0;
    EXPECT_EQ(buffer->GetFrequency(&own), DS_OK);
    EXPECT_EQ(own, 22050u);

    // Its own rate of 22050 Hz on a 44100 Hz primary: twice as long, halfway values between.
    playNow(*buffer);
    auto out = pump(202);
    EXPECT_EQ(left(out, 0), 0);
    EXPECT_EQ(left(out, 1), 50);
    EXPECT_EQ(left(out, 2), 100);
    EXPECT_EQ(left(out, 197), 9850);
    EXPECT_EQ(left(out, 198), 9900);
    EXPECT_EQ(left(out, 200), 0);
    EXPECT_EQ(status(*buffer), 0u);

    // At 88200 Hz every second sample, done in 50 frames.
    EXPECT_EQ(buffer->SetFrequency(88200), DS_OK);
    EXPECT_EQ(buffer->SetFrequency(99), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetFrequency(200001), DSERR_INVALIDPARAM);
    uint32_t frequency = 0;
    EXPECT_EQ(buffer->GetFrequency(&frequency), DS_OK);
    EXPECT_EQ(frequency, 88200u);
    playNow(*buffer);
    out = pump(60);
    EXPECT_EQ(left(out, 0), 0);
    EXPECT_EQ(left(out, 1), 200);
    EXPECT_EQ(left(out, 49), 9800);
    EXPECT_EQ(left(out, 50), 0);
    EXPECT_EQ(buffer->SetFrequency(0), DS_OK);
    EXPECT_EQ(buffer->GetFrequency(&frequency), DS_OK);
    EXPECT_EQ(frequency, 22050u);
}

TEST_P(SoundDeviceTest, OverlappingBuffersSumAndSaturate)
{
    auto a = mono16({20000, -20000, 1000});
    auto b = mono16({20000, -20000, 2000});
    pump(0);
    clockNs_ = output_->timeOfFrame(frame()) - output_->timeOfFrame(kLatency) - 1;
    ASSERT_EQ(a->Play(0), DS_OK);
    ASSERT_EQ(b->Play(0), DS_OK);
    const auto out = pump(3);
    EXPECT_EQ(left(out, 0), 32767);
    EXPECT_EQ(right(out, 1), -32768);
    EXPECT_EQ(left(out, 2), 3000);
}

TEST_P(SoundDeviceTest, LoopingRepeatsAndPlayOnAPlayingBufferOnlyChangesTheLoopFlag)
{
    auto buffer = mono16({10, 20, 30, 40});
    playNow(*buffer, DSBPLAY_LOOPING);
    EXPECT_EQ(status(*buffer), DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    auto out = pump(10);
    const int16_t expected[] = {10, 20, 30, 40, 10, 20, 30, 40, 10, 20};
    for (size_t i = 0; i < 10; ++i)
        EXPECT_EQ(left(out, i), expected[i]) << i;

    // Cursor stands at frame 2 (bytes 4); playing once from here ends after 30, 40.
    uint32_t play = 0;
    uint32_t write = 0;
    ASSERT_EQ(buffer->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_EQ(play, 4u);
    ASSERT_EQ(buffer->Play(0), DS_OK);
    EXPECT_EQ(status(*buffer), DSBSTATUS_PLAYING);
    out = pump(4);
    EXPECT_EQ(left(out, 0), 30);
    EXPECT_EQ(left(out, 1), 40);
    EXPECT_EQ(left(out, 2), 0);
    EXPECT_EQ(status(*buffer), 0u);
}

TEST_P(SoundDeviceTest, StopKeepsTheCursorAndPlayResumesFromIt)
{
    auto buffer = mono16({1, 2, 3, 4, 5, 6});
    playNow(*buffer);
    pump(2);
    ASSERT_EQ(buffer->Stop(), DS_OK);
    auto out = pump(3);
    EXPECT_EQ(firstSound(out), -1);
    uint32_t play = 0;
    ASSERT_EQ(buffer->GetCurrentPosition(&play, nullptr), DS_OK);
    EXPECT_EQ(play, 4u);
    playNow(*buffer);
    out = pump(2);
    EXPECT_EQ(left(out, 0), 3);

    ASSERT_EQ(buffer->Stop(), DS_OK);
    ASSERT_EQ(buffer->SetCurrentPosition(10), DS_OK);
    ASSERT_EQ(buffer->GetCurrentPosition(&play, nullptr), DS_OK);
    EXPECT_EQ(play, 10u);
    EXPECT_EQ(buffer->SetCurrentPosition(12), DSERR_INVALIDPARAM);
    playNow(*buffer);
    out = pump(2);
    EXPECT_EQ(left(out, 0), 6);
    EXPECT_EQ(left(out, 1), 0);
}

TEST_P(SoundDeviceTest, EightBitPrimaryKeepsOnlyEightBits)
{
    setPrimary(44100, 8);
    auto buffer = mono16({1000, 1151, -1000, 32767});
    playNow(*buffer);
    const auto out = pump(4);
    EXPECT_EQ(left(out, 0), 1024); // 3.9 steps of 256 -> 4
    EXPECT_EQ(left(out, 1), 1024); // 4.496 -> 4
    EXPECT_EQ(left(out, 2), -1024);
    EXPECT_EQ(left(out, 3), 32512); // 127 steps, the top of 8 bits
}

TEST_P(SoundDeviceTest, EightBitSamplesAreUnsignedAroundTheMiddle)
{
    const std::vector<uint8_t> samples{128, 200, 0, 255};
    auto buffer = makeBuffer(samples.data(), 4, pcm(44100, 8, 1));
    playNow(*buffer);
    const auto out = pump(4);
    EXPECT_EQ(left(out, 0), 0);
    EXPECT_EQ(left(out, 1), 18432);
    EXPECT_EQ(left(out, 2), -32768);
    EXPECT_EQ(left(out, 3), 32512);
}

TEST_P(SoundDeviceTest, PrimaryAtHalfTheOutputRateIsInterpolatedUp)
{
    setPrimary(22050, 16);
    auto buffer = mono16({0, 1000, 2000, 3000}, 22050);
    playNow(*buffer);
    const auto out = pump(8);
    const int16_t expected[] = {0, 500, 1000, 1500, 2000, 2500, 3000, 1500};
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(left(out, i), expected[i]) << i;
}

TEST_P(SoundDeviceTest, BuffersWithoutFocusFlagsAreSilentButAdvanceWhileInactive)
{
    auto background = mono16(std::vector<int16_t>(64, 100), 44100, kControls);
    auto global = mono16(std::vector<int16_t>(64, 10), 44100, kControls | DSBCAPS_GLOBALFOCUS);
    auto sticky = mono16(std::vector<int16_t>(64, 1), 44100, kControls | DSBCAPS_STICKYFOCUS);
    pump(0);
    clockNs_ = output_->timeOfFrame(frame()) - output_->timeOfFrame(kLatency) - 1;
    ASSERT_EQ(background->Play(0), DS_OK);
    ASSERT_EQ(global->Play(0), DS_OK);
    ASSERT_EQ(sticky->Play(0), DS_OK);
    auto out = pump(4);
    EXPECT_EQ(left(out, 0), 111);
    setApplicationActive(false);
    out = pump(4);
    EXPECT_EQ(left(out, 0), 11);
    uint32_t play = 0;
    ASSERT_EQ(background->GetCurrentPosition(&play, nullptr), DS_OK);
    EXPECT_EQ(play, 16u);
    setApplicationActive(true);
    out = pump(4);
    EXPECT_EQ(left(out, 0), 111);
}

TEST_P(SoundDeviceTest, PlayStartsOnTheFrameOfItsTimePlusTheLatency)
{
    auto buffer = mono16({7000, 7000});
    // Ticks at known times, before and between blocks, some of them not on a block boundary.
    for (uint64_t at : {uint64_t{0}, uint64_t{3000}, uint64_t{5001}, uint64_t{9999}}) {
        if (frame() < at)
            pump(static_cast<uint32_t>(at - frame()));
        setClockToFrame(at);
        const PlayTimeStamp tick(system_, output_->timeOfFrame(at));
        ASSERT_EQ(buffer->SetCurrentPosition(0), DS_OK);
        ASSERT_EQ(buffer->Play(0), DS_OK);
        const uint64_t before = frame();
        const auto out = pump(2 * kLatency);
        EXPECT_EQ(before + static_cast<uint64_t>(firstSound(out)), at + kLatency) << "Play at frame " << at;
    }
}

TEST_P(SoundDeviceTest, AStampPlacesPlayAtItsTimeHoweverLateTheCallComes)
{
    auto first = mono16({7000, 0});
    auto second = mono16({500, 0});
    auto third = mono16({30, 0});
    auto missed = mono16({4, 0});
    pump(4000);
    setClockToFrame(4000); // the calls come at frame 4000
    {
        const PlayTimeStamp stamp(system_, output_->timeOfFrame(3000));
        ASSERT_EQ(first->Play(0), DS_OK);
        {
            const PlayTimeStamp inner(system_, output_->timeOfFrame(3100));
            ASSERT_EQ(second->Play(0), DS_OK);
        }
        const PlayTimeStamp passed(system_, output_->timeOfFrame(100));
        ASSERT_EQ(missed->Play(0), DS_OK);
    }
    ASSERT_EQ(third->Play(0), DS_OK);
    const auto out = pump(3000);
    std::vector<std::pair<long, int16_t>> hits;
    for (size_t f = 0; f < out.size() / 2; ++f)
        if (left(out, f) != 0)
            hits.emplace_back(4000 + static_cast<long>(f), left(out, f));
    const std::vector<std::pair<long, int16_t>> expected = {
        {4000, 4 + 30},          // its frame had passed, and no stamp: both on the next frame mixed
        {3000 + kLatency, 7000}, // the stamp's time, not the call's
        {3100 + kLatency, 500}}; // an inner stamp wins while it lives
    EXPECT_EQ(hits, expected);
}

TEST_P(SoundDeviceTest, DevicesSumIntoOneOutput)
{
    std::shared_ptr<SoundDevice> other;
    ASSERT_EQ(system_.createDevice(&other), DS_OK);
    ASSERT_EQ(other->SetCooperativeLevel(this, DSSCL_NORMAL), DS_OK);
    SoundBufferDesc desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    std::shared_ptr<SoundBuffer> otherPrimary;
    ASSERT_EQ(other->CreateSoundBuffer(&desc, &otherPrimary), DS_OK);
    // The second device stays at its starting format, 22050 Hz 8-bit.
    const int16_t sample = 2560;
    const WaveFormatEx format = pcm(22050, 16, 1);
    SoundBufferDesc bufferDesc;
    bufferDesc.dwFlags = kControls | DSBCAPS_GLOBALFOCUS;
    bufferDesc.dwBufferBytes = 8;
    bufferDesc.lpwfxFormat = &format;
    std::shared_ptr<SoundBuffer> onOther;
    ASSERT_EQ(other->CreateSoundBuffer(&bufferDesc, &onOther), DS_OK);
    void* r1 = nullptr;
    uint32_t b1 = 0;
    ASSERT_EQ(onOther->Lock(0, 8, &r1, &b1, nullptr, nullptr, 0), DS_OK);
    for (int i = 0; i < 4; ++i)
        std::memcpy(static_cast<char*>(r1) + 2 * i, &sample, 2);
    ASSERT_EQ(onOther->Unlock(r1, b1, nullptr, 0), DS_OK);

    auto here = mono16(std::vector<int16_t>(16, 100));
    pump(0);
    clockNs_ = output_->timeOfFrame(frame()) - output_->timeOfFrame(kLatency) - 1;
    ASSERT_EQ(here->Play(0), DS_OK);
    ASSERT_EQ(onOther->Play(0), DS_OK);
    const auto out = pump(4);
    EXPECT_EQ(left(out, 0), 2660);
    EXPECT_EQ(right(out, 2), 2660);
}

TEST_P(SoundDeviceTest, LostOutputStopsVoicesAndReportsLostUntilRestored)
{
    auto buffer = mono16(std::vector<int16_t>(1000, 5));
    playNow(*buffer, DSBPLAY_LOOPING);
    pump(10);
    output_->simulateRestart();
    EXPECT_EQ(status(*buffer) & DSBSTATUS_BUFFERLOST, DSBSTATUS_BUFFERLOST);
    EXPECT_EQ(buffer->Play(0), DSERR_BUFFERLOST);
    void* r1 = nullptr;
    uint32_t b1 = 0;
    EXPECT_EQ(buffer->Lock(0, 4, &r1, &b1, nullptr, nullptr, 0), DSERR_BUFFERLOST);
    auto out = pump(10);
    EXPECT_EQ(firstSound(out), -1);
    EXPECT_EQ(status(*buffer), DSBSTATUS_BUFFERLOST);

    EXPECT_EQ(buffer->Restore(), DS_OK);
    EXPECT_EQ(status(*buffer), 0u);
    playNow(*buffer);
    out = pump(2);
    EXPECT_EQ(left(out, 0), 5);
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, SoundDeviceTest, ::testing::Values(1u, 7u, 64u, 256u, 1000u));

// Behaviour that does not depend on the block size.
class SoundDeviceRulesTest : public SoundDeviceTest {};

TEST_P(SoundDeviceRulesTest, DuplicatesShareMemoryButPlayOnTheirOwn)
{
    auto original = mono16({100, 200, 300, 400});
    ASSERT_EQ(original->SetVolume(-2000), DS_OK);
    ASSERT_EQ(original->SetPan(-500), DS_OK);
    ASSERT_EQ(original->SetFrequency(22050), DS_OK);
    ASSERT_EQ(original->SetCurrentPosition(4), DS_OK);

    std::shared_ptr<SoundBuffer> copy;
    ASSERT_EQ(device_->DuplicateSoundBuffer(original, &copy), DS_OK);
    int32_t volume = 0;
    int32_t pan = 0;
    uint32_t frequency = 0;
    uint32_t cursor = 99;
    copy->GetVolume(&volume);
    copy->GetPan(&pan);
    copy->GetFrequency(&frequency);
    copy->GetCurrentPosition(&cursor, nullptr);
    EXPECT_EQ(volume, -2000);
    EXPECT_EQ(pan, -500);
    EXPECT_EQ(frequency, 22050u);
    EXPECT_EQ(cursor, 0u);
    EXPECT_EQ(status(*copy), 0u);

    // Writing through the original shows in the copy: the memory is shared, not copied.
    void* r1 = nullptr;
    uint32_t b1 = 0;
    ASSERT_EQ(original->Lock(0, 2, &r1, &b1, nullptr, nullptr, 0), DS_OK);
    const int16_t loud = 20000;
    std::memcpy(r1, &loud, 2);
    ASSERT_EQ(original->Unlock(r1, b1, nullptr, 0), DS_OK);
    ASSERT_EQ(copy->SetVolume(0), DS_OK);
    ASSERT_EQ(copy->SetPan(0), DS_OK);
    ASSERT_EQ(copy->SetFrequency(0), DS_OK);
    playNow(*copy);
    auto out = pump(1);
    EXPECT_EQ(left(out, 0), 20000);
    EXPECT_EQ(status(*original), 0u);

    // Releasing the original leaves the copy playing its memory.
    ASSERT_EQ(copy->Stop(), DS_OK);
    original.reset();
    pump(1);
    playNow(*copy);
    out = pump(1);
    EXPECT_EQ(left(out, 0), 200);

    std::shared_ptr<SoundBuffer> none;
    EXPECT_EQ(device_->DuplicateSoundBuffer(primary_, &none), DSERR_INVALIDCALL);
    EXPECT_EQ(none, nullptr);
}

TEST_P(SoundDeviceRulesTest, LockGivesTwoRegionsWhenTheRangeWraps)
{
    auto buffer = mono16(std::vector<int16_t>(8, 0)); // 16 bytes
    void* r1 = nullptr;
    void* r2 = nullptr;
    uint32_t b1 = 0;
    uint32_t b2 = 0;
    ASSERT_EQ(buffer->Lock(12, 8, &r1, &b1, &r2, &b2, 0), DS_OK);
    ASSERT_NE(r2, nullptr);
    EXPECT_EQ(static_cast<char*>(r1) - static_cast<char*>(r2), 12);
    EXPECT_EQ(b1, 4u);
    EXPECT_EQ(b2, 4u);
    const int16_t values[4] = {1, 2, 3, 4};
    std::memcpy(r1, values, 4);
    std::memcpy(r2, values + 2, 4);
    ASSERT_EQ(buffer->Unlock(r1, b1, r2, b2), DS_OK);
    ASSERT_EQ(buffer->SetCurrentPosition(12), DS_OK);
    playNow(*buffer, DSBPLAY_LOOPING);
    const auto out = pump(4);
    EXPECT_EQ(left(out, 0), 1);
    EXPECT_EQ(left(out, 1), 2);
    EXPECT_EQ(left(out, 2), 3);
    EXPECT_EQ(left(out, 3), 4);

    ASSERT_EQ(buffer->Lock(4, 8, &r1, &b1, &r2, &b2, 0), DS_OK);
    EXPECT_EQ(b1, 8u);
    EXPECT_EQ(r2, nullptr);
    EXPECT_EQ(b2, 0u);
    ASSERT_EQ(buffer->Lock(9, 0, &r1, &b1, &r2, &b2, DSBLOCK_ENTIREBUFFER), DS_OK);
    EXPECT_EQ(b1, 16u);
    EXPECT_EQ(buffer->Lock(16, 1, &r1, &b1, &r2, &b2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(0, 17, &r1, &b1, &r2, &b2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(0, 0, &r1, &b1, &r2, &b2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(12, 8, &r1, &b1, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
    int16_t elsewhere = 0;
    EXPECT_EQ(buffer->Unlock(&elsewhere, 2, nullptr, 0), DSERR_INVALIDPARAM);
}

TEST_P(SoundDeviceRulesTest, SecondaryBuffersNeedAFormatAndASensibleSize)
{
    const WaveFormatEx format = pcm(44100, 16, 2);
    SoundBufferDesc desc;
    desc.dwFlags = kControls;
    desc.lpwfxFormat = &format;
    std::shared_ptr<SoundBuffer> buffer;
    for (uint32_t bytes : {0u, 3u, 0x10000000u}) {
        desc.dwBufferBytes = bytes;
        EXPECT_EQ(device_->CreateSoundBuffer(&desc, &buffer), DSERR_INVALIDPARAM) << bytes;
        EXPECT_EQ(buffer, nullptr);
    }
    desc.dwBufferBytes = 4;
    desc.lpwfxFormat = nullptr;
    EXPECT_EQ(device_->CreateSoundBuffer(&desc, &buffer), DSERR_INVALIDPARAM);
    desc.lpwfxFormat = &format;
    desc.dwSize = 0;
    EXPECT_EQ(device_->CreateSoundBuffer(&desc, &buffer), DSERR_INVALIDPARAM);
    desc.dwSize = 20;

    for (const WaveFormatEx& bad : {pcm(44100, 24, 2), pcm(44100, 16, 3), pcm(0, 16, 2), pcm(44100, 0, 2)}) {
        desc.lpwfxFormat = &bad;
        EXPECT_EQ(device_->CreateSoundBuffer(&desc, &buffer), DSERR_BADFORMAT);
    }
    WaveFormatEx zeroAlign = format;
    zeroAlign.nBlockAlign = 0;
    desc.lpwfxFormat = &zeroAlign;
    EXPECT_EQ(device_->CreateSoundBuffer(&desc, &buffer), DSERR_BADFORMAT);

    // A 16-byte record, as found in files, is enough; an odd size ignores the partial frame.
    unsigned char shortRecord[16];
    std::memcpy(shortRecord, &format, 16);
    desc.lpwfxFormat = reinterpret_cast<const WaveFormatEx*>(shortRecord);
    desc.dwBufferBytes = 7;
    ASSERT_EQ(device_->CreateSoundBuffer(&desc, &buffer), DS_OK);
    EXPECT_EQ(buffer->sizeBytes(), 7u);
    EXPECT_EQ(buffer->flags(), kControls);

    // Controls that were not asked for are unavailable.
    desc.lpwfxFormat = &format;
    desc.dwFlags = DSBCAPS_CTRLVOLUME;
    ASSERT_EQ(device_->CreateSoundBuffer(&desc, &buffer), DS_OK);
    EXPECT_EQ(buffer->SetPan(0), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(buffer->SetFrequency(0), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(buffer->SetVolume(-100), DS_OK);
}

TEST_P(SoundDeviceRulesTest, PrimaryFormatNeedsPriorityLevelAndASaneFormat)
{
    std::shared_ptr<SoundDevice> fresh;
    ASSERT_EQ(system_.createDevice(&fresh), DS_OK);
    EXPECT_EQ(fresh->cooperativeLevel(), 0u);
    SoundBufferDesc desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    std::shared_ptr<SoundBuffer> primary;
    ASSERT_EQ(fresh->CreateSoundBuffer(&desc, &primary), DS_OK);
    WaveFormatEx format;
    ASSERT_EQ(primary->GetFormat(&format), DS_OK);
    EXPECT_EQ(format.nSamplesPerSec, 22050u);
    EXPECT_EQ(format.wBitsPerSample, 8);
    EXPECT_EQ(format.nChannels, 2);

    ASSERT_EQ(fresh->SetCooperativeLevel(this, DSSCL_NORMAL), DS_OK);
    const WaveFormatEx cd = pcm(44100, 16, 2);
    EXPECT_EQ(primary->SetFormat(&cd), DSERR_PRIOLEVELNEEDED);
    EXPECT_EQ(fresh->SetCooperativeLevel(this, 5), DSERR_INVALIDPARAM);
    EXPECT_EQ(fresh->SetCooperativeLevel(nullptr, DSSCL_EXCLUSIVE), DSERR_INVALIDPARAM);
    ASSERT_EQ(fresh->SetCooperativeLevel(this, DSSCL_EXCLUSIVE), DS_OK);
    EXPECT_EQ(fresh->cooperativeLevel(), DSSCL_EXCLUSIVE);
    for (const WaveFormatEx& bad : {pcm(0, 16, 2), pcm(44100, 0, 2), pcm(44100, 16, 0)})
        EXPECT_EQ(primary->SetFormat(&bad), DSERR_BADFORMAT);
    ASSERT_EQ(primary->GetFormat(&format), DS_OK);
    EXPECT_EQ(format.nSamplesPerSec, 22050u);
    const WaveFormatEx odd = pcm(22100, 8, 2);
    EXPECT_EQ(primary->SetFormat(&odd), DS_OK);
    ASSERT_EQ(primary->GetFormat(&format), DS_OK);
    EXPECT_EQ(format.nSamplesPerSec, 22100u);

    std::shared_ptr<SoundBuffer> secondary = mono16({1, 2});
    EXPECT_EQ(secondary->SetFormat(&cd), DSERR_INVALIDCALL);
    desc.dwBufferBytes = 4;
    EXPECT_EQ(fresh->CreateSoundBuffer(&desc, &primary), DSERR_INVALIDPARAM);
}

// What lets the real output stop its stream while nothing plays, and start it again in time:
// the mixer is idle only once nothing sounds and everything asked of it has been taken, and
// everything asked of it calls the wake handler.
TEST_P(SoundDeviceRulesTest, TheMixerIsIdleOnlyWhenNothingSoundsOrWaitsAndEveryRequestWakesTheOutput)
{
    SoundMixer& mixer = system_.mixer();
    int wakes = 0;
    mixer.setWakeHandler([&wakes] { ++wakes; });
    // Idle since the last frame rendered.
    const auto idleSinceNow = [&] { return mixer.isIdleSince(output_->timeOfFrame(frame() - 1)); };
    auto once = mono16(std::vector<int16_t>(300, 5));
    auto loop = mono16(std::vector<int16_t>(300, 5));
    pump(512);
    ASSERT_TRUE(idleSinceNow());

    playNow(*once);
    EXPECT_EQ(wakes, 1);
    EXPECT_FALSE(mixer.isIdleSince(INT64_MAX)) << "a Play the mixer has not taken yet";
    pump(256);
    EXPECT_FALSE(idleSinceNow()) << "the sound still plays";
    const int64_t playing = output_->timeOfFrame(frame() - 1);
    pump(1024);
    EXPECT_TRUE(idleSinceNow());
    EXPECT_FALSE(mixer.isIdleSince(playing)) << "it played then";

    playNow(*loop, DSBPLAY_LOOPING);
    pump(44100);
    EXPECT_FALSE(idleSinceNow()) << "a looping sound never ends";
    EXPECT_EQ(loop->Stop(), DS_OK);
    loop.reset(); // a release is asked of the mixer too
    EXPECT_EQ(wakes, 4);
    pump(512);
    EXPECT_TRUE(idleSinceNow());
    mixer.setWakeHandler({});

    // A stopped stream plays no frame: the frame clock has no answer until the next block.
    const int64_t now = output_->timeOfFrame(frame());
    ASSERT_TRUE(mixer.outputFrameAt(now));
    mixer.outputPaused();
    EXPECT_FALSE(mixer.outputFrameAt(now));
    pump(256);
    EXPECT_TRUE(mixer.outputFrameAt(now));
}

INSTANTIATE_TEST_SUITE_P(Default, SoundDeviceRulesTest, ::testing::Values(256u));

// The output's frame clock comes from the device's timing, not from when callbacks run. A
// simulated card that hears frame n at timeOfFrame(n) + 60 ms; its callbacks come on time, or
// 0 to 30 ms late with every eighth pair of blocks at once; step ticks every 37 ms reach the
// device up to 5 ms after their tick. The hits land on the same frames either way: the first
// frame heard at or after the tick's time, plus the latency. After the card skips 100 ms
// (an underrun), hits scheduled before and after the skip still land on their times.
class DeviceTimedOutput : public ::testing::Test {
protected:
    static constexpr uint32_t kRate = 44100;
    static constexpr uint32_t kBlock = 256;
    static constexpr uint32_t kLatency = 4410;
    static constexpr int64_t kDeviceDelayNs = 60'000'000;
    static constexpr int64_t kMs = 1'000'000;

    struct Event {
        int64_t atNs;
        int kind; // 0 a block, 1 a tick's Play
        int index;
    };

    // The frames the hits start on, ticks at `tickNs`, with the card skipping `skipNs` from
    // block `skipBlock` on.
    // `wanderNs`, when given, is how far the time the card reports for block b departs from the
    // time it really hears it.
    // With `saysUnderflow` the card says it ran dry before block `skipBlock`.
    static std::vector<uint64_t> hitFrames(bool jittery, const std::vector<int64_t>& tickNs, int skipBlock = -1,
                                           int64_t skipNs = 0, const std::function<int64_t(int)>& wanderNs = {},
                                           bool saysUnderflow = false)
    {
        SoundSystem system;
        OfflineAudioOutput& output = system.useOfflineOutput(kRate, kLatency);
        std::shared_ptr<SoundDevice> device;
        EXPECT_EQ(system.createDevice(&device), DS_OK);
        EXPECT_EQ(device->SetCooperativeLevel(&output, DSSCL_PRIORITY), DS_OK);
        SoundBufferDesc primaryDesc;
        primaryDesc.dwFlags = DSBCAPS_PRIMARYBUFFER;
        std::shared_ptr<SoundBuffer> primary;
        EXPECT_EQ(device->CreateSoundBuffer(&primaryDesc, &primary), DS_OK);
        const WaveFormatEx format = pcm(kRate, 16, 1);
        EXPECT_EQ(primary->SetFormat(&format), DS_OK);
        std::vector<std::shared_ptr<SoundBuffer>> hits;
        for (size_t i = 0; i < tickNs.size(); ++i) {
            SoundBufferDesc desc;
            desc.dwFlags = kControls | DSBCAPS_GLOBALFOCUS;
            desc.dwBufferBytes = 4;
            desc.lpwfxFormat = &format;
            std::shared_ptr<SoundBuffer> buffer;
            EXPECT_EQ(device->CreateSoundBuffer(&desc, &buffer), DS_OK);
            void* region = nullptr;
            uint32_t bytes = 0;
            EXPECT_EQ(buffer->Lock(0, 4, &region, &bytes, nullptr, nullptr, 0), DS_OK);
            const int16_t value[2] = {static_cast<int16_t>(100 + i), 0};
            std::memcpy(region, value, 4);
            buffer->Unlock(region, bytes, nullptr, 0);
            hits.push_back(buffer);
        }

        const int blocks = static_cast<int>(tickNs.back() / kMs * kRate / 1000 / kBlock) + 60;
        std::vector<Event> events;
        uint32_t seed = 12345;
        auto random = [&seed](int64_t range) {
            seed = seed * 1664525u + 1013904223u;
            return static_cast<int64_t>(seed >> 8) % range;
        };
        const auto heardAt = [&](int block) {
            return output.timeOfFrame(uint64_t(block) * kBlock) + kDeviceDelayNs +
                   (block >= skipBlock && skipBlock >= 0 ? skipNs : 0);
        };
        for (int b = 0; b < blocks; ++b) {
            // The card asks for a block a device delay before it is heard, or later.
            int64_t at = heardAt(b) - kDeviceDelayNs;
            if (jittery)
                at += (b % 16 == 8) ? heardAt(b + 1) - heardAt(b) : random(30 * kMs);
            events.push_back({at, 0, b});
        }
        for (size_t i = 0; i < tickNs.size(); ++i)
            events.push_back({tickNs[i] + random(5 * kMs), 1, static_cast<int>(i)});
        std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.atNs < b.atNs; });

        // Blocks are mixed in order however late they come.
        std::vector<int16_t> out(size_t(blocks) * kBlock * 2);
        int nextBlock = 0;
        for (const Event& e : events) {
            if (e.kind == 1) {
                const PlayTimeStamp tick(system, tickNs[size_t(e.index)]);
                EXPECT_EQ(hits[size_t(e.index)]->Play(0), DS_OK);
                continue;
            }
            for (; nextBlock <= e.index; ++nextBlock) {
                if (saysUnderflow && nextBlock == skipBlock)
                    output.simulateUnderflow();
                output.pumpHeardAt(out.data() + size_t(nextBlock) * kBlock * 2, kBlock,
                                   heardAt(nextBlock) + (wanderNs ? wanderNs(nextBlock) : 0));
            }
        }
        std::vector<uint64_t> frames(tickNs.size(), 0);
        for (size_t f = 0; f < out.size() / 2; ++f)
            if (out[2 * f] >= 100)
                frames[size_t(out[2 * f] - 100)] = f;
        return frames;
    }

    // The first frame heard at or after `ns` on a card that hears frame n at
    // timeOfFrame(n) + delay, plus the latency.
    static uint64_t expectedFrame(int64_t ns, int64_t delayNs)
    {
        const int64_t since = ns - delayNs;
        return uint64_t((static_cast<__int128>(since) * kRate + 999'999'999) / 1'000'000'000) + kLatency;
    }
};

TEST_F(DeviceTimedOutput, JitteryAndBurstyCallbacksPlaceHitsOnTheFramesOfSteadyOnes)
{
    std::vector<int64_t> ticks;
    for (int i = 0; i < 40; ++i)
        ticks.push_back(200 * kMs + i * 37 * kMs);
    const auto steady = hitFrames(false, ticks);
    const auto jittery = hitFrames(true, ticks);
    EXPECT_EQ(jittery, steady);
    for (size_t i = 0; i < ticks.size(); ++i)
        EXPECT_EQ(steady[i], expectedFrame(ticks[i], kDeviceDelayNs)) << "tick " << i;
}

TEST_F(DeviceTimedOutput, ReportedTimesThatWanderAndDriftMoveNoHit)
{
    // A sound server reports when each block is heard a little early, by up to 2.5 ms in a
    // sawtooth of five seconds, and drifting 20 parts per million besides; it really plays at
    // the nominal rate. Ticks 240 ms apart (10584 frames) for 40 s stay exactly that far apart.
    const auto wander = [](int block) {
        const int64_t atNs = int64_t(block) * kBlock * 1'000'000'000 / kRate;
        return -(atNs % 5'000'000'000) / 2000 - atNs / 50'000;
    };
    std::vector<int64_t> ticks;
    for (int i = 0; i < 160; ++i)
        ticks.push_back(2000 * kMs + i * 240 * kMs);
    const auto frames = hitFrames(false, ticks, -1, 0, wander);
    for (size_t i = 1; i < frames.size(); ++i)
        EXPECT_EQ(frames[i] - frames[i - 1], 10584u) << "tick " << i;
}

TEST_F(DeviceTimedOutput, HitsKeepTheirTimesAcrossAnUnderrun)
{
    // The card skips from block 200 (frame 51200, heard at about 1.22 s) on: 100 ms, taken on
    // the first block; 60 ms that nobody reports, taken once the smoothed timing has left its
    // dead band; 10 ms with the card saying it ran dry, taken on the first block. (Each skip is
    // a whole number of frames: a sound scheduled before a skip moves by whole frames.) Ticks come
    // before and after, among them one whose Play reached the mixer before the skip and whose
    // frame lies after it.
    const int64_t skipHeardNs = int64_t(51200) * 1'000'000'000 / kRate + kDeviceDelayNs;
    const int64_t latencyNs = int64_t(kLatency) * 1'000'000'000 / kRate;
    struct Skip {
        int64_t ns;
        bool isSaid;
    };
    for (const Skip skip : {Skip{100 * kMs, false}, Skip{60 * kMs, false}, Skip{10 * kMs, true}}) {
        // Times heard in the skipped stretch itself, or before an unreported small skip is told
        // from the wander, cannot be heard on time.
        const int64_t unsure = skip.ns < kDiscontinuityNs && !skip.isSaid ? skip.ns + 300 * kMs : skip.ns + kMs;
        std::vector<int64_t> ticks;
        for (int i = 0; i < 24; ++i) {
            const int64_t tick = 900 * kMs + i * 40 * kMs;
            if (tick + latencyNs < skipHeardNs || tick + latencyNs >= skipHeardNs + unsure)
                ticks.push_back(tick);
        }
        const auto frames = hitFrames(false, ticks, 200, skip.ns, {}, skip.isSaid);
        for (size_t i = 0; i < ticks.size(); ++i) {
            const bool afterSkip = ticks[i] + latencyNs >= skipHeardNs;
            EXPECT_EQ(frames[i], expectedFrame(ticks[i], kDeviceDelayNs + (afterSkip ? skip.ns : 0)))
                << "skip " << skip.ns / kMs << " ms, tick " << i;
        }
    }
}

TEST(SoundEntryPoint, ResolvesByLibraryAndNameAndCanBeMadeUnavailable)
{
    EXPECT_EQ(resolveSoundEntryPoint("dsound.DLL", "DirectSoundCreate"), &DirectSoundCreate);
    EXPECT_EQ(resolveSoundEntryPoint("DSound.dll", "directsoundcreate"), nullptr);
    EXPECT_EQ(resolveSoundEntryPoint("other.dll", "DirectSoundCreate"), nullptr);
    setSoundLibraryUnavailable(true);
    EXPECT_EQ(resolveSoundEntryPoint("DSound.dll", "DirectSoundCreate"), nullptr);
    setSoundLibraryUnavailable(false);
    std::shared_ptr<SoundDevice> device;
    int guid = 0;
    EXPECT_EQ(DirectSoundCreate(&guid, &device), DSERR_INVALIDPARAM);
    EXPECT_EQ(device, nullptr);
}

TEST(SoundSystemClock, AnInjectedClockTimesPlayAndAnEmptyOneRestoresTheMonotonicClock)
{
    SoundSystem system;
    system.setClock([] { return int64_t{42}; });
    EXPECT_EQ(system.now(), 42);
    system.setClock({});
    const int64_t before = steadyNanoseconds();
    EXPECT_GE(system.now(), before);
}

TEST(SoundSystemClock, AMillisecondReadingUnwrapsToTheNanosecondClockNearNow)
{
    constexpr int64_t ms = 1'000'000;
    EXPECT_EQ(millisecondClockToNs(5000, 5000 * ms + 999'999), 5000 * ms);
    EXPECT_EQ(millisecondClockToNs(4880, 5000 * ms), 4880 * ms) << "a tick a little while ago";
    EXPECT_EQ(millisecondClockToNs(5001, 5000 * ms), 5001 * ms) << "a reading just ahead of now";
    // The 32-bit count wraps after 2^32 ms; the 64-bit clock goes on.
    const int64_t wrapMs = int64_t{1} << 32;
    EXPECT_EQ(millisecondClockToNs(0xFFFFFFF0u, (wrapMs + 5) * ms), (wrapMs - 16) * ms);
    EXPECT_EQ(millisecondClockToNs(3, (wrapMs - 2) * ms), (wrapMs + 3) * ms);
    EXPECT_EQ(millisecondClockToNs(7, (3 * wrapMs + 100) * ms), (3 * wrapMs + 7) * ms);
}

TEST(AudioOutputSetting, NamesTheBackEndAndFallsBackToNull)
{
    std::string warning;
    EXPECT_EQ(makeAudioOutputFromSetting("null", &warning)->name(), "null");
    EXPECT_EQ(makeAudioOutputFromSetting("wav:/tmp/x.wav", &warning)->name(), "wav:/tmp/x.wav");
    EXPECT_EQ(makeAudioOutputFromSetting("portaudio", &warning)->name(), "portaudio");
    EXPECT_EQ(makeAudioOutputFromSetting("", &warning)->name(), "portaudio");
    EXPECT_TRUE(warning.empty());
    EXPECT_EQ(makeAudioOutputFromSetting("jack", &warning)->name(), "null");
    EXPECT_FALSE(warning.empty());
}

} // namespace
} // namespace groovane

namespace groovane {
namespace {

// An output whose card cannot be opened, or goes and stays away.
class UnreliableOutput final : public AudioOutput {
public:
    UnreliableOutput(bool opens, const bool* lost) : opens_(opens), lost_(lost) {}
    std::string name() const override { return "portaudio"; }
    uint32_t sampleRate() const override { return 44100; }
    uint32_t latencyFrames() const override { return 0; }
    bool start(AudioRenderer&, std::string* error) override
    {
        if (!opens_)
            *error = "no sound card";
        return opens_;
    }
    void stop() override {}
    bool isLost() const override { return *lost_; }

private:
    bool opens_;
    const bool* lost_;
};

TEST(NoSoundNoticeTest, ACardThatCannotBeOpenedOrIsLostIsToldOnceAndOnlyThen)
{
    bool lost = false;
    {
        SoundSystem system;
        NoSoundNotice notice;
        system.useOutput(std::make_unique<UnreliableOutput>(false, &lost));
        // The program goes on with the null output; the box says what failed and what is left.
        EXPECT_EQ(system.output()->name(), "null");
        const std::optional<std::string> text = notice.take(system);
        ASSERT_TRUE(text.has_value());
        EXPECT_EQ(text->rfind("The sound card cannot be opened (no sound card).", 0), 0u) << *text;
        EXPECT_NE(text->find("silent"), std::string::npos) << *text;
        EXPECT_NE(text->find("GROOVANE_AUDIO=wav:"), std::string::npos) << *text;
        EXPECT_EQ(notice.take(system), std::nullopt);
        // A working output afterwards clears the failure.
        system.useOfflineOutput();
        EXPECT_EQ(system.outputFailure(), "");
    }
    {
        SoundSystem system;
        NoSoundNotice notice;
        system.useOutput(std::make_unique<UnreliableOutput>(true, &lost));
        EXPECT_EQ(notice.take(system), std::nullopt);
        lost = true;
        const std::optional<std::string> text = notice.take(system);
        ASSERT_TRUE(text.has_value());
        EXPECT_EQ(text->rfind("The sound card was lost and has not come back.", 0), 0u) << *text;
        EXPECT_EQ(notice.take(system), std::nullopt);
        system.stopOutput();
    }
}

} // namespace
} // namespace groovane
