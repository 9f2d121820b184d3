// The device wrappers, the sound component and the wave list on the software sound device with
// the offline output: options and focus flags, listeners, failures, and what one-shot copies
// of kit sounds actually put into the mixed output.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <vector>

#include "sound/dx_sound.h"
#include "platform/sound_system.h"
#include "sound/wave.h"
#include "sound/wave_collection.h"

namespace groovane {
namespace {

// Timers the test ticks by hand: the cleanup tick runs exactly when the test says.
struct ManualTimers {
    struct Timer : IntervalTimer {
        Timer(ManualTimers& owner, int ms, std::function<void()> tick) : owner(owner), ms(ms), tick(std::move(tick))
        {
            owner.live.push_back(this);
        }
        ~Timer() override { std::erase(owner.live, this); }
        ManualTimers& owner;
        int ms;
        std::function<void()> tick;
    };

    ManualTimers()
    {
        setIntervalTimerFactory(
            [this](int ms, std::function<void()> tick) { return std::make_unique<Timer>(*this, ms, std::move(tick)); });
    }
    ~ManualTimers() { setIntervalTimerFactory({}); }
    void tickAll()
    {
        for (Timer* t : std::vector<Timer*>(live))
            t->tick();
    }
    std::vector<Timer*> live;
};

// A mono 16-bit 44100 Hz wave holding `frames` samples of `value`.
TWave constantWave(int frames, int16_t value)
{
    TWave wave;
    WaveFormatEx f;
    MakePCMWaveFormat(f, 44100, 16, 1);
    wave.SetFormat(f);
    wave.SetSize(frames * 2);
    for (int i = 0; i < frames; ++i) {
        wave.Data()[2 * i] = uint8_t(uint16_t(value));
        wave.Data()[2 * i + 1] = uint8_t(uint16_t(value) >> 8);
    }
    return wave;
}

class RecordingListener : public TDXSoundListener {
public:
    RecordingListener(std::vector<std::string>& log, std::string name) : log_(log), name_(std::move(name)) {}
    void DXSoundNotify(TCustomDXSound&, TDXSoundNotifyType kind) override
    {
        log_.push_back(name_ + std::to_string(int(kind)));
    }

private:
    std::vector<std::string>& log_;
    std::string name_;
};

class SoundLayer : public ::testing::Test {
protected:
    void SetUp() override
    {
        output_ = &SoundSystem::instance().useOfflineOutput(44100, 0);
        SoundSystem::instance().setClock([this] { return output_->timeOfFrame(output_->framesRendered()); });
    }
    void TearDown() override { SoundSystem::instance().setClock({}); }

    // A component on a form, opened at 44100 Hz 16-bit like the main window's.
    void openMain(TDXSound& sound)
    {
        sound.SetOptions(soGlobalFocus | soExclusive);
        sound.OnInitialize = [](TCustomDXSound& s) {
            WaveFormatEx f;
            MakePCMWaveFormat(f, 44100, 16, 2);
            s.Primary()->SetFormat(f);
        };
        sound.Initialize();
    }

    std::vector<int16_t> pump(uint32_t frames, uint32_t block = 256) { return output_->pump(frames, block); }

    ManualTimers timers_;
    TDXSoundForm form_;
    OfflineAudioOutput* output_ = nullptr;
};

TEST_F(SoundLayer, OptionsGiveFocusFlagsAndCooperativeLevels)
{
    TDXSound sound(&form_);
    sound.SetOptions(soGlobalFocus | soExclusive);
    sound.Initialize();
    EXPECT_EQ(sound.DSound()->IDSound().cooperativeLevel(), DSSCL_EXCLUSIVE);
    TDirectSoundBuffer buffer(*sound.DSound());
    buffer.LoadFromWave(constantWave(10, 1));
    EXPECT_EQ(buffer.IBuffer().flags(), 0x80E0u);

    // Sticky focus set while open applies to buffers made from then on.
    sound.SetOptions(soGlobalFocus | soStickyFocus | soExclusive);
    TDirectSoundBuffer sticky(*sound.DSound());
    sticky.LoadFromWave(constantWave(10, 1));
    EXPECT_EQ(sticky.IBuffer().flags(), 0x40E0u);
    EXPECT_EQ(buffer.IBuffer().flags(), 0x80E0u);

    // Write-primary shows in the options at once but changes the level only at Initialize.
    sound.SetOptions(sound.Options() | soWritePrimary);
    EXPECT_TRUE(sound.Options() & soWritePrimary);
    EXPECT_FALSE(sound.EffectiveOptions() & soWritePrimary);
    EXPECT_EQ(sound.DSound()->IDSound().cooperativeLevel(), DSSCL_EXCLUSIVE);
    sticky.Release();
    buffer.Release();
}

TEST_F(SoundLayer, EmptyOptionsGiveNormalLevelAndNoFocusFlag)
{
    TDXSound sound(&form_);
    sound.Initialize();
    EXPECT_EQ(sound.DSound()->IDSound().cooperativeLevel(), DSSCL_NORMAL);
    TDirectSoundBuffer buffer(*sound.DSound());
    buffer.LoadFromWave(constantWave(10, 1));
    EXPECT_EQ(buffer.IBuffer().flags(), 0x00E0u);
    // The primary's format can only change at the priority level or above.
    WaveFormatEx f;
    MakePCMWaveFormat(f, 44100, 16, 2);
    EXPECT_FALSE(sound.Primary()->SetFormat(f));
    EXPECT_EQ(sound.Primary()->DXResult(), DSERR_PRIOLEVELNEEDED);
}

TEST_F(SoundLayer, WithoutAFormInitializeFailsAndLoadingIsSilent)
{
    TDXSoundOwner notAForm;
    std::vector<std::string> log;
    RecordingListener listener(log, "L");
    TDXSound sound(&notAForm);
    sound.RegisterNotifyEvent(listener);
    try {
        sound.Initialize();
        FAIL() << "initialized without a form";
    } catch (const EDXSoundError& e) {
        EXPECT_STREQ(e.what(), "Form not found");
    }
    EXPECT_NO_THROW(sound.Loaded());
    EXPECT_FALSE(sound.Initialized());
    EXPECT_TRUE(log.empty());

    // A chain that reaches a form works from any depth.
    struct Child : TDXSoundOwner {
        TDXSoundOwner* up;
        explicit Child(TDXSoundOwner* up) : up(up) {}
        TDXSoundOwner* Owner() const override { return up; }
    } child(&form_);
    TDXSound nested(&child);
    nested.Loaded();
    EXPECT_TRUE(nested.Initialized());
}

TEST_F(SoundLayer, ListenersHearEveryStageInReverseOrderOfAddition)
{
    std::vector<std::string> log;
    std::vector<std::string> events;
    RecordingListener a(log, "a"), b(log, "b"), c(log, "c");
    TDXSound sound(&form_);
    sound.OnInitialize = [&](TCustomDXSound&) { events.push_back("init"); };
    sound.OnFinalize = [&](TCustomDXSound&) { events.push_back("final"); };
    sound.Finalize(); // never began: nothing happens
    EXPECT_TRUE(events.empty());

    sound.RegisterNotifyEvent(a);
    sound.RegisterNotifyEvent(b);
    sound.Initialize();
    EXPECT_EQ(log, (std::vector<std::string>{"b0", "a0", "b1", "a1", "b3", "a3"}));
    log.clear();

    sound.RegisterNotifyEvent(c);
    EXPECT_EQ(log, (std::vector<std::string>{"c1", "c3"}));
    log.clear();
    sound.UnRegisterNotifyEvent(c);
    EXPECT_EQ(log, (std::vector<std::string>{"c2"}));
    log.clear();

    // Re-initializing closes first: finalize notices, then the opening ones.
    sound.Initialize();
    EXPECT_EQ(log, (std::vector<std::string>{"b2", "a2", "b0", "a0", "b1", "a1", "b3", "a3"}));
    EXPECT_EQ(events, (std::vector<std::string>{"init", "final", "init"}));
    sound.UnRegisterNotifyEvent(a);
    sound.UnRegisterNotifyEvent(b);
}

TEST_F(SoundLayer, MissingSoundLibraryIsReported)
{
    TDXSound sound(&form_);
    setSoundLibraryUnavailable(true);
    try {
        sound.Initialize();
        ADD_FAILURE() << "opened without the library";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "DSound.dll not loaded");
    }
    setSoundLibraryUnavailable(false);
    EXPECT_FALSE(sound.Initialized());
    EXPECT_EQ(sound.DSound(), nullptr);
}

TEST_F(SoundLayer, BuffersRefuseEmptyAndShortFormatsAndUnmadeUse)
{
    TDXSound sound(&form_);
    sound.Initialize();
    TDirectSoundBuffer buffer(*sound.DSound());
    try {
        buffer.Play(false);
        FAIL() << "played an unmade buffer";
    } catch (const EDirectSoundBufferError& e) {
        EXPECT_STREQ(e.what(), "IDirectSoundBuffer not made");
    }
    try {
        buffer.LoadFromWave(TWave());
        FAIL() << "made an empty buffer";
    } catch (const EDirectSoundBufferError& e) {
        EXPECT_STREQ(e.what(), "Sound Buffer cannot be made");
    }
    // A format record of one byte is no format: refused without reading past it.
    TWave shortFormat = constantWave(10, 1);
    shortFormat.SetFormatSize(1);
    EXPECT_THROW(buffer.LoadFromWave(shortFormat), EDirectSoundBufferError);
    EXPECT_FALSE(buffer.HasBuffer());
}

TEST_F(SoundLayer, ABufferOutlivingItsDeviceIsEmptyNotDangling)
{
    auto sound = std::make_unique<TDXSound>(&form_);
    sound->Initialize();
    auto buffer = std::make_unique<TDirectSoundBuffer>(*sound->DSound());
    buffer->LoadFromWave(constantWave(10, 1));
    sound.reset();
    EXPECT_FALSE(buffer->HasBuffer());
    EXPECT_THROW(buffer->Play(false), EDirectSoundBufferError);
    EXPECT_THROW(buffer->LoadFromWave(constantWave(10, 1)), EDirectSoundError);
    buffer.reset();
}

// Damaged WAV files the reader accepts still reach the device only as formats it can play:
// each either sounds or is refused with the layer's error.
TEST_F(SoundLayer, ReadableDamagedWavesPlayOrAreRefusedCleanly)
{
    TDXSound sound(&form_);
    openMain(sound);
    int refused = 0;
    int played = 0;
    for (const auto& entry : std::filesystem::directory_iterator(GROOVANE_SOUND_CORPUS)) {
        const std::string name = entry.path().filename().string();
        if (name.find("_readable.wav") == std::string::npos)
            continue;
        SCOPED_TRACE(name);
        TWave wave;
        wave.LoadFromFile(entry.path().string());
        TDirectSoundBuffer buffer(*sound.DSound());
        try {
            buffer.LoadFromWave(wave);
            EXPECT_TRUE(buffer.Play(false));
            pump(64);
            ++played;
        } catch (const EDirectSoundBufferError& e) {
            EXPECT_STREQ(e.what(), "Sound Buffer cannot be made");
            ++refused;
        }
    }
    EXPECT_GE(played, 1);
    EXPECT_GE(refused, 4);
}

class KitPlayback : public SoundLayer {
protected:
    void SetUp() override
    {
        SoundLayer::SetUp();
        kit_.Items().Add().SetWave(constantWave(8, 1)); // sound 0, unnamed
        TWaveCollectionItem& hit = kit_.Items().Add();
        hit.SetName("Hit");
        hit.SetWave(constantWave(100, 1000));
        TWaveCollectionItem& loud = kit_.Items().Add();
        loud.SetName("Loud");
        loud.SetWave(constantWave(100, 20000));
    }

    TDXSound sound_{&form_};
    TDXWaveList kit_;
};

TEST_F(KitPlayback, OneShotCopiesOverlapSumAndSaturate)
{
    openMain(sound_);
    kit_.SetDXSound(&sound_);
    ASSERT_TRUE(kit_.Items().Initialized());

    kit_.Items().Find("hit").Play();
    kit_.Items().Find("HIT").Play();
    std::vector<int16_t> out = pump(200, 64);
    EXPECT_EQ(out[0], 2000);
    EXPECT_EQ(out[1], 2000);
    EXPECT_EQ(out[2 * 99], 2000);
    EXPECT_EQ(out[2 * 100], 0);

    kit_.Items().Find("Loud").Play();
    kit_.Items().Find("Loud").Play();
    out = pump(50);
    EXPECT_EQ(out[10], 32767);

    // The cleanup tick frees the copies that have ended.
    EXPECT_EQ(kit_.Items().PlayingCount(), 4);
    pump(200);
    timers_.tickAll();
    EXPECT_EQ(kit_.Items().PlayingCount(), 0);
}

TEST_F(KitPlayback, FiveQuickTriggersPlayFiveCopiesUntilTheyEnd)
{
    openMain(sound_);
    kit_.SetDXSound(&sound_);
    TWaveCollectionItem& hit = kit_.Items().Find("Hit");
    for (int i = 0; i < 5; ++i) {
        hit.Play();
        pump(10);
    }
    EXPECT_EQ(kit_.Items().PlayingCount(), 5);
    timers_.tickAll();
    EXPECT_EQ(kit_.Items().PlayingCount(), 5) << "copies still sounding are kept";
    const std::vector<int16_t> out = pump(10);
    EXPECT_EQ(out[0], 5000);
    pump(200);
    timers_.tickAll();
    EXPECT_EQ(kit_.Items().PlayingCount(), 0);
}

TEST_F(KitPlayback, PanAndVolumeReachCopiesMadeAfterTheChange)
{
    openMain(sound_);
    kit_.SetDXSound(&sound_);
    TWaveCollectionItem& hit = kit_.Items().Find("Hit");
    hit.SetPan(10000);
    hit.Play();
    std::vector<int16_t> out = pump(20);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 1000);
    pump(200);

    hit.SetPan(0);
    hit.SetVolume(-600); // -6 dB: gain 10^(-0.3)
    hit.Play();
    out = pump(20);
    EXPECT_NEAR(out[0], 1000 * std::pow(10.0, -0.3), 1.0);
    EXPECT_NEAR(out[1], 1000 * std::pow(10.0, -0.3), 1.0);
}

TEST_F(KitPlayback, PanSetBeforeTheDeviceOpensArrivesAtRestore)
{
    kit_.SetDXSound(&sound_);
    TWaveCollectionItem& hit = kit_.Items().Find("Hit");
    hit.SetPan(-10000);
    EXPECT_FALSE(hit.Initialized());
    hit.Play(); // the device is closed: silent, no error
    EXPECT_EQ(kit_.Items().PlayingCount(), 0);

    openMain(sound_);
    hit.Play();
    const std::vector<int16_t> out = pump(20);
    EXPECT_EQ(out[0], 1000);
    EXPECT_EQ(out[1], 0);
}

TEST_F(KitPlayback, LoadedKitsMakeTheirBuffersWhenFirstPlayed)
{
    openMain(sound_);
    kit_.SetDXSound(&sound_);
    const std::string bytes = kit_.Items().KitBytes();
    TMemoryStream stream(bytes);
    kit_.Items().LoadFromStream(stream);
    TWaveCollectionItem& hit = kit_.Items().Find("Hit");
    EXPECT_FALSE(hit.Initialized());
    hit.SetVolume(-10000);
    hit.Play();
    EXPECT_TRUE(hit.Initialized());
    const std::vector<int16_t> out = pump(20);
    EXPECT_EQ(out[0], 0) << "the stored volume applies when the buffer is made";
}

TEST_F(KitPlayback, LoopedSoundsPlayTheirOwnBufferUntilStopped)
{
    openMain(sound_);
    kit_.SetDXSound(&sound_);
    TWaveCollectionItem& hit = kit_.Items().Find("Hit");
    hit.SetLooped(true);
    hit.Play();
    hit.Play(); // already sounding: not restarted, not doubled
    EXPECT_EQ(kit_.Items().PlayingCount(), 0);
    std::vector<int16_t> out = pump(350);
    EXPECT_EQ(out[2 * 50], 1000);
    EXPECT_EQ(out[2 * 250], 1000);
    hit.SetLooped(false); // stops the looping buffer
    out = pump(10);
    EXPECT_EQ(out[0], 0);
}

TEST_F(KitPlayback, AnEmptySoundFailsTheDeviceStart)
{
    kit_.Items().Add().SetName("Silent");
    kit_.SetDXSound(&sound_);
    try {
        openMain(sound_);
        FAIL() << "a sound without samples got a buffer";
    } catch (const EDirectSoundBufferError& e) {
        EXPECT_STREQ(e.what(), "Sound Buffer cannot be made");
    }
}

TEST_F(KitPlayback, LostBuffersAreRestoredWhenPlayed)
{
    openMain(sound_);
    kit_.SetDXSound(&sound_);
    int restores = 0;
    sound_.OnRestore = [&](TCustomDXSound&) { ++restores; };

    // A one-shot sound notices the loss on its own buffer, reloads it and plays.
    output_->simulateRestart();
    kit_.Items().Find("Hit").Play();
    std::vector<int16_t> out = pump(200);
    EXPECT_EQ(out[0], 1000);

    // A looped sound meets the loss in Play: the whole kit is restored through the component,
    // and that Play is not repeated; the next one sounds.
    output_->simulateRestart();
    TWaveCollectionItem& loud = kit_.Items().Find("Loud");
    loud.SetLooped(true);
    loud.Play();
    EXPECT_EQ(restores, 1);
    EXPECT_EQ(pump(10)[0], 0);
    loud.Play();
    EXPECT_EQ(pump(10)[0], 20000);
}

// The default kit, loaded as the main window loads it, sounds each instrument exactly as its
// samples are written: a mono kit sound feeds both sides of the 44100 Hz 16-bit output.
TEST_F(SoundLayer, EveryDefaultKitInstrumentSoundsItsOwnSamples)
{
    TDXSound sound(&form_);
    TDXWaveList kit;
    kit.SetDXSound(&sound);
    sound.Loaded();
    kit.Items().LoadFromFile(GROOVANE_DEFAULT_KIT);
    openMain(sound);
    for (const char* name : {"Kick", "Short Kick", "Snare", "ClsHiat", "OpHiat", "Tom1", "Tom2", "Cymbol1", "Cymbol2",
                             "Rimshot", "Shaker", "Block", "Congo", "Cowbell", "Crack", "Tamb"}) {
        SCOPED_TRACE(name);
        const TWave& wave = kit.Items().Find(name).Wave();
        const int frames = wave.Size() / 2;
        kit.Items().Find(name).Play();
        const std::vector<int16_t> out = pump(uint32_t(frames + 100), 512);
        int mismatches = 0;
        for (int i = 0; i < frames; ++i) {
            const auto expected = int16_t(uint16_t(wave.Data()[2 * i] | wave.Data()[2 * i + 1] << 8));
            if (out[size_t(2 * i)] != expected || out[size_t(2 * i + 1)] != expected)
                ++mismatches;
        }
        EXPECT_EQ(mismatches, 0);
        EXPECT_EQ(out[size_t(2 * frames + 10)], 0);
    }
    kit.SetDXSound(nullptr);
}

TEST_F(KitPlayback, FinalizingFreesCopiesAndDetachingForgetsTheComponent)
{
    openMain(sound_);
    kit_.SetDXSound(&sound_);
    kit_.Items().Find("Hit").Play();
    sound_.Finalize();
    EXPECT_EQ(kit_.Items().PlayingCount(), 0);
    EXPECT_FALSE(kit_.Items().Find("Hit").Initialized());
    EXPECT_TRUE(timers_.live.empty());
    {
        TDXSound shortLived(&form_);
        shortLived.Initialize();
        kit_.SetDXSound(&shortLived);
        EXPECT_TRUE(kit_.Items().Initialized());
    }
    EXPECT_EQ(kit_.DXSound(), nullptr);
    EXPECT_FALSE(kit_.Items().Initialized());
}

} // namespace
} // namespace groovane
