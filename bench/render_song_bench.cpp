// How fast a whole song renders, and how much memory the render takes. A fresh working folder
// holds the default kit, "Blank.wav", "Panning.dat", a sample and four patterns with kick, snare,
// hi-hats, toms, cymbals and the sample slot at four tempos; the song is N minutes long at
// about 500 hits a minute (N = 1, 4, 8). Two measurements:
//
// - RenderSong: the render itself (renderSong) on the song's step list and sounds, as Render
//   runs it once the step list is built.
// - RenderCommand: all of groovane-render in-process: kit, pans, sample slots, song and pattern
//   files, the kit's sounds written to "temp", the step list, the render.
//
// Counters: realtime_ratio (seconds of song per second of rendering, wall clock),
// cpu_realtime_ratio (the same per second of processor time, which a busy machine does not
// distort), frames_per_s (output frames per second, wall clock), hits, and memory_growth_mb:
// how far the process's resident memory rose above what it held before the render (the peak is
// reset first through /proc/self/clear_refs), which must not grow with the song's length. The
// machine's load average goes with it.
#include "bench_files.h"
#include "platform/files.h"
#include "platform/line_buffer.h"
#include "pattern/pattern_editing.h"
#include "pattern/pattern_file.h"
#include "pattern/pattern_grid.h"
#include "cli/render_command.h"
#include "render/render_sounds.h"
#include "samples/slot_settings.h"
#include "song/song_file.h"
#include "playback/song_pattern.h"
#include "render/song_render.h"
#include "song/step_list.h"
#include "sound/wave_collection.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <ctime>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace groovane;

using Rows = std::vector<std::vector<std::string>>;

// A 0.4 s stereo clap-like burst, 44100 Hz, 16 bits.
std::string sampleWav()
{
    std::string body;
    std::uint32_t seed = 777;
    const int frames = 17640;
    for (int i = 0; i < frames; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double v = (static_cast<int>(seed >> 16) - 32768) * std::exp(-i / 2500.0) * 0.8;
        bench::putSample(body, v);
        bench::putSample(body, -v * 0.7);
    }
    return bench::pcm16Wav(2, 44100, body);
}

void writeFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

void writePattern(const fs::path& folder, const std::string& name, int tempo, int loops, const Rows& rows)
{
    PatternGrid grid;
    const int length = static_cast<int>(rows.size());
    writeLengthAndTime(grid, length, 4);
    grid.setCell(0, 0, name);
    for (size_t step = 0; step < rows.size(); ++step)
        for (size_t c = 0; c < rows[step].size(); ++c)
            grid.setCell(static_cast<int>(c) + 1, static_cast<int>(step) + 2, rows[step][c]);
    writeFile(folder / (name + ".pat"), LineBuffer::joinLines(patternFileLines(grid, length, tempo, loops)));
}

// 16 steps: kick on the beat, snare on 2 and 4, closed hat on every eighth, the sample slot
// once a bar, an open hat at the end, one more sound of the pattern's own.
Rows groove(const std::string& extra)
{
    Rows rows(16);
    for (int s = 0; s < 16; ++s) {
        rows[s].resize(6);
        if (s % 4 == 0)
            rows[s][0] = "Kick";
        if (s % 8 == 4)
            rows[s][1] = "Snare";
        if (s % 2 == 0)
            rows[s][2] = "ClsHiat";
        if (s == 10)
            rows[s][3] = "Sample1";
        if (s == 14)
            rows[s][2] = "OpHiat";
        if (s == 6)
            rows[s][4] = extra;
    }
    return rows;
}

// A working folder with an N-minute song "Song.sng"; removed at the end.
class SongFolder {
public:
    explicit SongFolder(int minutes)
    {
        fs::copy_file(GROOVANE_DEFAULT_KIT, folder_.path() / "Rock_kit.dxg");
        for (const char* name : {"Blank.wav", "Panning.dat"})
            fs::copy_file(fs::path(GROOVANE_SOURCE_DATA) / name, folder_.path() / name);
        fs::create_directory(folder_.path() / "temp");
        writeFile(folder_.path() / "Clap.wav", sampleWav());

        // One round of the play list: Groove (16 steps of 120 ms, twice), Break (16 of 110 ms,
        // twice), Groove, Fill (8 of 100 ms), Ride (16 of 124 ms, twice), Break: 19.488 s.
        Rows fill(8);
        for (int s = 0; s < 8; ++s)
            fill[s] = {s % 2 ? "Tom2" : "Tom1", s == 7 ? "Cymbol1" : "", "ClsHiat", "", s == 0 ? "Kick" : ""};
        writePattern(folder_.path(), "Groove", 60, 2, groove("ClsHiat"));
        writePattern(folder_.path(), "Break", 55, 2, groove("Rimshot"));
        writePattern(folder_.path(), "Fill", 50, 1, fill);
        writePattern(folder_.path(), "Ride", 62, 2, groove("Cymbol2"));
        const double roundSeconds = 2 * 3.84 + 2 * 3.52 + 0.8 + 3.968;
        const int rounds = static_cast<int>(std::lround(minutes * 60 / roundSeconds));
        std::vector<std::string> names;
        for (int r = 0; r < rounds; ++r)
            names.insert(names.end(), {"Groove", "Break", "Groove", "Fill", "Ride", "Break"});
        std::vector<std::optional<SongSampleSettings>> slots(kSampleSlotCount);
        slots[0] = SongSampleSettings{"Clap.wav", 0, 1500};
        writeFile(folder_.path() / "Song.sng", LineBuffer::joinLines(songFileLines(names, slots)));
    }
    const fs::path& path() const { return folder_.path(); }

private:
    bench::Folder folder_;
};

class Quiet final : public RenderObserver {
public:
    bool isStopRequested() override { return false; }
    void linePassed(std::int64_t) override {}
    void hitStarting(const std::string&) override { ++hits; }
    long hits = 0;
};

long statusKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::strtol(line.c_str() + key.size(), nullptr, 10);
    return 0;
}

// Resets the process's peak resident memory to what it holds now; returns that.
long resetPeakKb()
{
    std::ofstream("/proc/self/clear_refs") << "5";
    return statusKb("VmRSS");
}

double loadAverage()
{
    double load[1] = {0};
    return ::getloadavg(load, 1) == 1 ? load[0] : -1;
}

std::int64_t outputFrames(const fs::path& file)
{
    return (static_cast<std::int64_t>(fs::file_size(file)) - 44) / 4;
}

double cpuSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Wall and processor seconds of one call.
template <class Work>
std::pair<double, double> timed(Work&& work)
{
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = cpuSeconds();
    work();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), cpuSeconds() - cpuStart};
}

void report(benchmark::State& state, std::int64_t frames, std::pair<double, double> total, long growthKb, long hits)
{
    const double iterations = static_cast<double>(state.iterations());
    const double seconds = total.first / iterations;
    const double songSeconds = static_cast<double>(frames) / 44100.0;
    state.counters["song_s"] = songSeconds;
    state.counters["hits"] = static_cast<double>(hits);
    state.counters["realtime_ratio"] = songSeconds / seconds;
    state.counters["cpu_realtime_ratio"] = songSeconds / (total.second / iterations);
    state.counters["frames_per_s"] = static_cast<double>(frames) / seconds;
    state.counters["memory_growth_mb"] = static_cast<double>(growthKb) / 1024.0;
    state.counters["load_avg"] = loadAverage();
}

void BM_RenderSong(benchmark::State& state)
{
    SongFolder folder(static_cast<int>(state.range(0)));
    const fs::path previous = fs::current_path();
    fs::current_path(folder.path());
    const std::string base = folder.path().string();

    // What Render has ready when the render starts: the kit's sounds in "temp", the sample
    // slots' settings, the step list.
    TWaveCollection kit;
    kit.LoadFromFile("Rock_kit.dxg");
    exportKitSounds(kit, base);
    SampleSlotSettingsList slots;
    LineBuffer songLines;
    songLines.loadFromFile("Song.sng");
    const SongFileContents song = readSongFile(songLines.read());
    for (int k = 1; k <= kSampleSlotCount; ++k)
        slots.start(k);
    applySongSamples(song, slots, base);
    const StepList steps =
        buildStepList(song.names, [&](const std::string& name) { return readSongPattern(base, name); });
    const RenderSounds sounds = renderSoundsOf(kit, &slots, base);

    std::pair<double, double> total{0, 0};
    long growthKb = 0;
    long hits = 0;
    for (auto _ : state) {
        Quiet quiet;
        const long before = resetPeakKb();
        const auto [wall, cpu] =
            timed([&] { renderSong(steps, sounds, joinPath(base, "work1.tmp"), joinPath(base, "out.wav"), quiet); });
        total.first += wall;
        total.second += cpu;
        growthKb = std::max(growthKb, statusKb("VmHWM") - before);
        hits = quiet.hits;
    }
    report(state, outputFrames(folder.path() / "out.wav"), total, growthKb, hits);
    fs::current_path(previous);
}

void BM_RenderCommand(benchmark::State& state)
{
    SongFolder folder(static_cast<int>(state.range(0)));
    const fs::path previous = fs::current_path();
    fs::current_path(folder.path());
    RenderCommand command;
    command.songFile = "Song.sng";
    command.outputFile = "out.wav";

    std::pair<double, double> total{0, 0};
    long growthKb = 0;
    for (auto _ : state) {
        const long before = resetPeakKb();
        const auto [wall, cpu] = timed([&] { runRenderCommand(command, nullptr); });
        total.first += wall;
        total.second += cpu;
        growthKb = std::max(growthKb, statusKb("VmHWM") - before);
    }
    report(state, outputFrames(folder.path() / "out.wav"), total, growthKb, 0);
    fs::current_path(previous);
}

} // namespace

BENCHMARK(BM_RenderSong)->Arg(1)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RenderCommand)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
