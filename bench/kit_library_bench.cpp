// The shipped kits: what each holds and how the demo song renders with it. Before the timings it
// prints, per kit, the file's size and per instrument its peak (dBFS), its length (ms) and its
// envelope 20 ms and 50 ms after its loudest moment: the level of 5 ms windows (RMS) in dB
// under the loudest window. Then RenderDemoSong/<kit> renders the demo song with the kit as the
// default kit, through groovane-render's code in a fresh working folder, with the counters
// clips (samples at full scale), peak_dbfs and kit_mb.
#include "bench_files.h"
#include "cli/render_command.h"
#include "platform/sound_system.h"
#include "sound/wave.h"
#include "sound/wave_collection.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace groovane;

std::vector<std::string> kitFiles()
{
    std::vector<std::string> files;
    std::istringstream list(GROOVANE_KIT_FILES);
    for (std::string file; std::getline(list, file, '|');)
        files.push_back(file);
    return files;
}

std::vector<int> samplesOf(const TWave& wave)
{
    std::vector<int> out(size_t(wave.Size() / 2));
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = int16_t(uint16_t(wave.Data()[2 * i] | wave.Data()[2 * i + 1] << 8));
    return out;
}

double db(double ratio)
{
    return 20 * std::log10(std::max(ratio, 1e-12));
}

void printKit(const std::string& file)
{
    TWaveCollection kit;
    kit.LoadFromFile(file);
    std::printf("%s: %.2f MB\n", fs::path(file).filename().c_str(), double(fs::file_size(file)) / 1e6);
    std::printf("  %-11s %9s %9s %9s %9s\n", "instrument", "peak dBFS", "length ms", "+20 ms dB", "+50 ms dB");
    constexpr size_t window = 220; // 5 ms
    for (int i = 1; i < kit.Count(); ++i) {
        const std::vector<int> s = samplesOf(kit.Items(i).Wave());
        int peak = 0;
        for (int v : s)
            peak = std::max(peak, std::abs(v));
        std::vector<double> levels;
        for (size_t begin = 0; begin + window <= s.size(); begin += window) {
            double sum = 0;
            for (size_t k = begin; k < begin + window; ++k)
                sum += double(s[k]) * double(s[k]);
            levels.push_back(std::sqrt(sum / double(window)));
        }
        const size_t loudest = size_t(std::max_element(levels.begin(), levels.end()) - levels.begin());
        const auto after = [&](size_t windows) {
            return loudest + windows < levels.size() ? db(levels[loudest + windows] / levels[loudest]) : -99.0;
        };
        std::printf("  %-11s %9.1f %9.0f %9.1f %9.1f\n", kit.Items(i).Name().c_str(), db(peak / 32768.0),
                    double(s.size()) * 1000.0 / 44100.0, after(4), after(10));
    }
}

void BM_RenderDemoSong(benchmark::State& state, const std::string& kitFile)
{
    bench::Folder folder;
    for (const auto& entry : fs::directory_iterator(GROOVANE_SOURCE_DATA))
        if (entry.path().extension() == ".pat" || entry.path().filename() == "Demo.sng" ||
            entry.path().filename() == "Blank.wav" || entry.path().filename() == "Panning.dat")
            fs::copy_file(entry.path(), folder.path() / entry.path().filename());
    fs::copy_file(kitFile, folder.path() / "Rock_kit.dxg");
    fs::create_directory(folder.path() / "temp");
    const fs::path previous = fs::current_path();
    fs::current_path(folder.path());
    SoundSystem::instance().useOfflineOutput();

    RenderCommand command;
    command.songFile = "Demo.sng";
    command.outputFile = "Demo.wav";
    command.isQuiet = true;
    for (auto _ : state)
        runRenderCommand(command, nullptr);

    std::ifstream in("Demo.wav", std::ios::binary);
    const std::string wav{std::istreambuf_iterator<char>(in), {}};
    int peak = 0;
    long clips = 0;
    for (size_t at = 44; at + 1 < wav.size(); at += 2) {
        const int v = int16_t(uint16_t(uint8_t(wav[at]) | uint8_t(wav[at + 1]) << 8));
        peak = std::max(peak, std::abs(v));
        clips += v >= 32767 || v <= -32767;
    }
    state.counters["clips"] = double(clips);
    state.counters["peak_dbfs"] = db(peak / 32768.0);
    state.counters["kit_mb"] = double(fs::file_size(kitFile)) / 1e6;
    state.counters["song_s"] = double(wav.size() - 44) / 4 / 44100.0;
    fs::current_path(previous);
}

} // namespace

int main(int argc, char** argv)
{
    for (const std::string& file : kitFiles()) {
        printKit(file);
        benchmark::RegisterBenchmark(("RenderDemoSong/" + fs::path(file).stem().string()).c_str(), BM_RenderDemoSong,
                                     file)
            ->Unit(benchmark::kMillisecond);
    }
    std::fflush(stdout);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
