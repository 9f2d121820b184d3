// How much faster than real time the mixer runs: 64 looping 16-bit voices, each at its own
// playback rate, volume and pan, mixed into a 44100 Hz 16-bit stereo primary, on one core. The
// "realtime" counter is seconds of audio mixed per second of CPU time.
#include "platform/sound_mixer.h"
#include "platform/sound_system.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace groovane {
namespace {

void mix64Voices(benchmark::State& state)
{
    SoundSystem system;
    system.useOfflineOutput(44100, 0);
    std::shared_ptr<SoundDevice> device;
    system.createDevice(&device);
    device->SetCooperativeLevel(&system, DSSCL_PRIORITY);
    SoundBufferDesc primaryDesc;
    primaryDesc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    std::shared_ptr<SoundBuffer> primary;
    device->CreateSoundBuffer(&primaryDesc, &primary);
    const WaveFormatEx cd{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    primary->SetFormat(&cd);

    const uint32_t channels = static_cast<uint32_t>(state.range(0));
    const WaveFormatEx format{WAVE_FORMAT_PCM,
                              static_cast<uint16_t>(channels),
                              44100,
                              44100 * 2 * channels,
                              static_cast<uint16_t>(2 * channels),
                              16,
                              0};
    std::mt19937 random(4);
    std::uniform_int_distribution<int> sample(-8000, 8000);
    std::vector<std::shared_ptr<SoundBuffer>> voices;
    for (int v = 0; v < 64; ++v) {
        SoundBufferDesc desc;
        desc.dwFlags = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME | DSBCAPS_GLOBALFOCUS;
        desc.dwBufferBytes = 44100 * format.nBlockAlign;
        desc.lpwfxFormat = &format;
        std::shared_ptr<SoundBuffer> buffer;
        device->CreateSoundBuffer(&desc, &buffer);
        void* region = nullptr;
        uint32_t bytes = 0;
        buffer->Lock(0, desc.dwBufferBytes, &region, &bytes, nullptr, nullptr, 0);
        auto* samples = static_cast<int16_t*>(region);
        for (uint32_t i = 0; i < bytes / 2; ++i)
            samples[i] = static_cast<int16_t>(sample(random));
        buffer->Unlock(region, bytes, nullptr, 0);
        buffer->SetFrequency(22050 + static_cast<uint32_t>(v) * 997);
        buffer->SetVolume(-(v % 8) * 150);
        buffer->SetPan((v % 17 - 8) * 1000);
        buffer->Play(DSBPLAY_LOOPING);
        voices.push_back(buffer);
    }

    constexpr uint32_t kBlock = 256;
    std::vector<int16_t> out(2 * kBlock);
    uint64_t frames = 0;
    for (auto _ : state) {
        for (uint32_t done = 0; done < 44100; done += kBlock) {
            system.mixer().render(out.data(), kBlock, static_cast<int64_t>(frames * 1'000'000'000 / 44100));
            frames += kBlock;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["realtime"] = benchmark::Counter(static_cast<double>(frames) / 44100.0, benchmark::Counter::kIsRate);
}

BENCHMARK(mix64Voices)->Arg(1)->Arg(2)->ArgName("channels")->Unit(benchmark::kMillisecond);

} // namespace
} // namespace groovane

BENCHMARK_MAIN();
