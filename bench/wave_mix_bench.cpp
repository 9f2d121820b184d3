// How fast the renderer mixes: a 1 s, 44100 Hz, mono, 16-bit hit mixed into a scratch-mode
// stereo output at successive start times, as a song's hits arrive. The figure that matters is
// output frames mixed per second (items_per_second), on one core.
#include "bench_files.h"
#include "render/wavaudio.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using groovane::wavaudio::TWave;

constexpr int kHitFrames = 44100;

// A decaying noise burst, written as a mono 16-bit 44100 Hz WAV file.
void writeHit(const fs::path& path)
{
    std::string body;
    std::uint32_t seed = 12345;
    for (int i = 0; i < kHitFrames; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double envelope = 1.0 - static_cast<double>(i) / kHitFrames;
        groovane::bench::putSample(body, (static_cast<int>(seed >> 16) - 32768) * envelope);
    }
    std::ofstream(path, std::ios::binary) << groovane::bench::pcm16Wav(1, 44100, body);
}

using groovane::bench::Folder;

// One iteration renders a short song: `hits` hits, one every 0.12 s (16th notes at 125 BPM), into
// a fresh scratch-mode output, alternating pan and volume as a pattern would.
void BM_MixHitsIntoScratchOutput(benchmark::State& state)
{
    const int hits = static_cast<int>(state.range(0));
    Folder folder;
    writeHit(folder.path() / "hit.wav");
    TWave hit;
    hit.LoadFromFile((folder.path() / "hit.wav").string());

    for (auto _ : state) {
        TWave out;
        out.SetScratchFileName((folder.path() / "work1.tmp").string());
        out.SetScratchMode(true);
        for (int i = 0; i < hits; ++i)
            out.Mix(hit, 44100, i % 2 ? 0.8 : 1.0, i % 3 ? 0.0 : -0.5, i * 0.12);
        benchmark::DoNotOptimize(out.FrameCount());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(hits) * kHitFrames);
}
BENCHMARK(BM_MixHitsIntoScratchOutput)->Arg(64)->Unit(benchmark::kMillisecond);

// The same hits at a changed rate, so every output frame is interpolated.
void BM_MixPitchedHitsIntoScratchOutput(benchmark::State& state)
{
    const int hits = static_cast<int>(state.range(0));
    Folder folder;
    writeHit(folder.path() / "hit.wav");
    TWave hit;
    hit.LoadFromFile((folder.path() / "hit.wav").string());
    std::int64_t frames = 0;

    for (auto _ : state) {
        TWave out;
        out.SetScratchFileName((folder.path() / "work1.tmp").string());
        out.SetScratchMode(true);
        for (int i = 0; i < hits; ++i)
            out.Mix(hit, 33075, 1.0, 0.0, i * 0.12);
        frames += static_cast<std::int64_t>(hits) * (kHitFrames * 4 / 3);
        benchmark::DoNotOptimize(out.FrameCount());
    }
    state.SetItemsProcessed(frames);
}
BENCHMARK(BM_MixPitchedHitsIntoScratchOutput)->Arg(64)->Unit(benchmark::kMillisecond);

// Hits mixed into an output that already holds a minute of song, as every instrument after the
// first is: each mix now opens its window over existing data and writes it back.
void BM_MixHitsIntoLongScratchOutput(benchmark::State& state)
{
    const int hits = static_cast<int>(state.range(0));
    Folder folder;
    writeHit(folder.path() / "hit.wav");
    TWave hit;
    hit.LoadFromFile((folder.path() / "hit.wav").string());
    TWave out;
    out.SetScratchFileName((folder.path() / "work1.tmp").string());
    out.SetScratchMode(true);
    out.Mix(hit, 44100, 1.0, 0.0, 60.0);

    for (auto _ : state) {
        for (int i = 0; i < hits; ++i)
            out.Mix(hit, 44100, 0.01, 0.0, i * 0.12);
        benchmark::DoNotOptimize(out.FrameCount());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(hits) * kHitFrames);
}
BENCHMARK(BM_MixHitsIntoLongScratchOutput)->Arg(64)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
