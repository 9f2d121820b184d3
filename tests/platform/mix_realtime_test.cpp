// The mix runs inside the audio callback, so it must never allocate or take a lock. This test
// binary replaces operator new and delete and wraps pthread_mutex_lock, counting every call made
// on the thread while it is inside the mixer's render, and mixes a busy scene: two devices in
// different formats, dozens of one-shot and looped voices at several pitches, sounds stamped
// by ticks and started by hand, takeovers and rewinds on their frames, stops, releases and a
// lost output, with commands queued between blocks.
#include "platform/sound_device.h"
#include "platform/sound_mixer.h"
#include "platform/sound_system.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

thread_local bool isMixing = false;
std::atomic<int> allocationsWhileMixing{0};
std::atomic<int> locksWhileMixing{0};

void* allocate(std::size_t size)
{
    if (isMixing)
        allocationsWhileMixing.fetch_add(1);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size)
{
    return allocate(size);
}
void* operator new[](std::size_t size)
{
    return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    if (isMixing)
        allocationsWhileMixing.fetch_add(1);
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    if (isMixing)
        allocationsWhileMixing.fetch_add(1);
    return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept
{
    if (p && isMixing)
        allocationsWhileMixing.fetch_add(1);
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    operator delete(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    operator delete(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    operator delete(p);
}

extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex)
{
    using Lock = int (*)(pthread_mutex_t*);
    static const Lock real = reinterpret_cast<Lock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    if (isMixing)
        locksWhileMixing.fetch_add(1);
    return real(mutex);
}

namespace groovane {
namespace {

constexpr uint32_t kControls = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME | DSBCAPS_GLOBALFOCUS;

WaveFormatEx pcm(uint32_t rate, uint16_t bits, uint16_t channels)
{
    const auto align = static_cast<uint16_t>(channels * bits / 8);
    return {WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

struct Scene {
    SoundSystem system;
    OfflineAudioOutput* output = nullptr;
    std::vector<std::shared_ptr<SoundDevice>> devices;
    std::vector<std::shared_ptr<SoundBuffer>> buffers;
    std::vector<int16_t> block = std::vector<int16_t>(2 * 512);

    std::shared_ptr<SoundDevice> device(uint32_t rate, uint16_t bits)
    {
        std::shared_ptr<SoundDevice> made;
        EXPECT_EQ(system.createDevice(&made), DS_OK);
        EXPECT_EQ(made->SetCooperativeLevel(this, DSSCL_PRIORITY), DS_OK);
        SoundBufferDesc desc;
        desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
        std::shared_ptr<SoundBuffer> primary;
        EXPECT_EQ(made->CreateSoundBuffer(&desc, &primary), DS_OK);
        const WaveFormatEx format = pcm(rate, bits, 2);
        EXPECT_EQ(primary->SetFormat(&format), DS_OK);
        buffers.push_back(primary);
        devices.push_back(made);
        return made;
    }

    std::shared_ptr<SoundBuffer> sound(SoundDevice& on, const WaveFormatEx& format, uint32_t bytes)
    {
        SoundBufferDesc desc;
        desc.dwFlags = kControls;
        desc.dwBufferBytes = bytes;
        desc.lpwfxFormat = &format;
        std::shared_ptr<SoundBuffer> buffer;
        EXPECT_EQ(on.CreateSoundBuffer(&desc, &buffer), DS_OK);
        void* r1 = nullptr;
        void* r2 = nullptr;
        uint32_t b1 = 0;
        uint32_t b2 = 0;
        EXPECT_EQ(buffer->Lock(0, bytes, &r1, &b1, &r2, &b2, 0), DS_OK);
        auto* bytesOut = static_cast<uint8_t*>(r1);
        for (uint32_t i = 0; i < b1; ++i)
            bytesOut[i] = static_cast<uint8_t>(i * 37);
        buffer->Unlock(r1, b1, r2, b2);
        return buffer;
    }

    // One block of `frames`, counted.
    void mix(uint32_t frames)
    {
        const int64_t heard = output->timeOfFrame(output->framesRendered());
        isMixing = true;
        output->pumpHeardAt(block.data(), frames, heard);
        isMixing = false;
    }
};

TEST(MixRealTime, ABusySceneMixesWithoutAllocatingOrLocking)
{
    Scene scene;
    scene.output = &scene.system.useOfflineOutput(44100, 2205);
    auto main = scene.device(44100, 16);
    auto other = scene.device(22050, 8);
    std::vector<std::shared_ptr<SoundBuffer>> kit;
    for (int i = 0; i < 24; ++i) {
        const WaveFormatEx format = pcm(i % 3 == 0 ? 22050 : 44100, i % 2 ? 8 : 16, i % 4 < 2 ? 1 : 2);
        kit.push_back(scene.sound(i % 5 == 0 ? *other : *main, format, 4000 + 997 * uint32_t(i)));
    }
    const WaveFormatEx ringFormat = pcm(44100, 16, 2);
    auto ringA = scene.sound(*main, ringFormat, 176400);
    auto ringB = scene.sound(*main, ringFormat, 176400);
    ASSERT_EQ(ringA->Play(DSBPLAY_LOOPING), DS_OK);

    int64_t tickNs = 0;
    for (int round = 0; round < 300; ++round) {
        // Between blocks, as the UI thread would: a tick's hits, hand-started ones, takeovers.
        tickNs = scene.output->timeOfFrame(scene.output->framesRendered());
        {
            const PlayTimeStamp tick(scene.system, tickNs);
            for (int k = 0; k < 3; ++k) {
                std::shared_ptr<SoundBuffer> hit;
                ASSERT_EQ(main->DuplicateSoundBuffer(kit[size_t((round * 3 + k) % 24)], &hit), DS_OK);
                hit->SetFrequency(round % 2 ? 0 : 30000 + 100 * uint32_t(k));
                hit->SetPan(-3000 + 2000 * k);
                ASSERT_EQ(hit->Play(k == 2 ? DSBPLAY_LOOPING : 0), DS_OK);
                scene.buffers.push_back(hit);
            }
            if (round % 2) {
                ASSERT_EQ(ringA->SetCurrentPositionOnCue(0), DS_OK);
            } else if (round % 5 == 0) {
                ASSERT_EQ(ringB->PlayReplacing(DSBPLAY_LOOPING, *ringA), DS_OK);
            }
        }
        if (round % 5 == 0)
            std::swap(ringA, ringB);
        ASSERT_EQ(kit[size_t(round % 24)]->Play(0), DS_OK);
        if (round % 7 == 0)
            kit[size_t((round + 3) % 24)]->Stop();
        if (round % 11 == 0 && scene.buffers.size() > 40)
            scene.buffers.erase(scene.buffers.begin() + 2, scene.buffers.begin() + 30); // released
        if (round == 150) {
            scene.output->simulateRestart();
            for (auto& buffer : kit)
                buffer->Restore();
            ringA->Restore();
            ringB->Restore();
            ringA->Play(DSBPLAY_LOOPING);
        }
        scene.mix(round % 3 == 0 ? 512 : 97 + uint32_t(round % 5) * 61);
        scene.system.collectGarbage();
    }
    EXPECT_EQ(allocationsWhileMixing.load(), 0);
    EXPECT_EQ(locksWhileMixing.load(), 0);
}

// The counting itself works: what it is meant to catch is caught.
TEST(MixRealTime, TheCountersSeeAnAllocationAndALock)
{
    isMixing = true;
    int* volatile leak = new int(3);
    delete leak;
    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
    pthread_mutex_lock(&mutex);
    pthread_mutex_unlock(&mutex);
    isMixing = false;
    EXPECT_EQ(allocationsWhileMixing.exchange(0), 2);
    EXPECT_EQ(locksWhileMixing.exchange(0), 1);
}

} // namespace
} // namespace groovane
