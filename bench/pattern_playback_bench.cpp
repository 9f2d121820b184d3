// How exactly a playing pattern lands on the output, and what it costs. The real main window runs
// offscreen in a fresh working folder with the default kit, its step timer driven by the idle
// driver and the real clocks. It plays a 16-step pattern with the closed hi-hat on every step,
// endlessly, at tempo position GROOVANE_BENCH_TEMPO_POSITION (default 60: 120 ms steps), then
// stops and stays idle a while. The recording is then searched for the hits: each starts after a
// stretch of silence, as the hi-hat is shorter than a step.
//
// The sound goes to the WAV recorder (GROOVANE_AUDIO=wav:PATH) unless GROOVANE_BENCH_MONITOR
// names a raw 16-bit stereo recording that a sound server's monitor is making meanwhile; then it
// plays through PortAudio and that recording is searched (scripts/bench.sh's live timing).
//
// With GROOVANE_BENCH_SAMPLE_ROLL=1 the program's windows all run and sample slot 1 plays on every
// step instead of the hi-hat: a click longer than a step, so that each hit restarts the slot
// while it still plays (a roll at tempo position 10 retriggers it every 20 ms).
//
// Counters: hits found; the share of successive hits exactly one step apart, to a frame; the
// worst distance of any step from its interval; the share of one core used while playing and
// while idle (all threads of the process). GROOVANE_BENCH_PLAY_SECONDS (default 20) and
// GROOVANE_BENCH_IDLE_SECONDS (default 5) change the durations.
#include "platform/dialogs.h"
#include "platform/idle_driver.h"
#include "pattern/pattern_editing.h"
#include "app/program_windows.h"
#include "app/sequence_window.h"
#include "platform/sound_system.h"

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace groovane;

namespace {

constexpr uint32_t kRate = 44100;
// Errors go to stderr: a modal box would stop the measurement.
class LoggingDialogs : public Dialogs {
public:
    MessageResult message(const std::string&, const std::string& text, MessageIcon, MessageButtons) override
    {
        std::cerr << "message: " << text << '\n';
        return MessageResult::Ok;
    }
    void error(const std::string& text) override { std::cerr << "error: " << text << '\n'; }
    std::optional<std::string> openFile(const FileDialogOptions&) override { return openAnswer; }
    std::optional<std::string> openAnswer;
    std::optional<std::string> saveFile(const FileDialogOptions&) override { return std::nullopt; }
};

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double wallSeconds()
{
    return static_cast<double>(steadyNanoseconds()) / 1e9;
}

int secondsFromEnvironment(const char* name, int fallback)
{
    const char* value = std::getenv(name);
    return value && std::atoi(value) > 0 ? std::atoi(value) : fallback;
}

void runEventLoopFor(int seconds)
{
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// The left channel of a 16-bit stereo recording after `headerBytes` (44 for the recorder's WAV
// file, 0 for a raw monitor recording).
std::vector<int16_t> readLeftChannel(const fs::path& path, size_t headerBytes)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> left;
    for (size_t i = headerBytes; i + 4 <= bytes.size(); i += 4)
        left.push_back(
            static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8)));
    return left;
}

// A hit is where the recording first reaches a quarter of its loudest sample after at least half
// a step without one. A recorded hat rings on under the next hit, so no silence marks the onsets;
// every hit of the pattern is the same sound, so its crossing lies the same number of frames after
// its first sample each time, and the spacing of crossings is the spacing of hits.
std::vector<long> findHits(const std::vector<int16_t>& left, long stepFrames)
{
    int peak = 0;
    for (const int16_t sample : left)
        peak = std::max(peak, std::abs(int{sample}));
    const int threshold = std::max(1, peak / 4);
    std::vector<long> hits;
    for (size_t i = 0; i < left.size(); ++i) {
        if (std::abs(int{left[i]}) < threshold)
            continue;
        if (hits.empty() || static_cast<long>(i) - hits.back() >= stepFrames / 2)
            hits.push_back(static_cast<long>(i));
    }
    return hits;
}

// A 30 ms mono click at 44100 Hz: half a millisecond loud, then silence, so that a hit is found
// only at its start however soon the next one cuts it.
void writeClick(const fs::path& path)
{
    const auto le16 = [](uint32_t v) { return std::string{static_cast<char>(v & 0xff), static_cast<char>(v >> 8)}; };
    const auto le32 = [&](uint32_t v) { return le16(v & 0xffff) + le16(v >> 16); };
    std::string data;
    for (int i = 0; i < 1323; ++i)
        data += le16(i < 22 ? 24000 : 0);
    const std::string body = "fmt " + le32(16) + le16(1) + le16(1) + le32(kRate) + le32(kRate * 2) + le16(2) +
                             le16(16) + "data" + le32(static_cast<uint32_t>(data.size())) + data;
    std::ofstream(path, std::ios::binary) << "RIFF" << le32(static_cast<uint32_t>(body.size() + 4)) << "WAVE" << body;
}

void PatternPlaybackOnTheOutput(benchmark::State& state)
{
    const int playSeconds = secondsFromEnvironment("GROOVANE_BENCH_PLAY_SECONDS", 20);
    const int idleSeconds = secondsFromEnvironment("GROOVANE_BENCH_IDLE_SECONDS", 5);
    const fs::path folder = fs::temp_directory_path() / ("groovane_bench_" + std::to_string(::getpid()));
    fs::create_directories(folder / "temp");
    fs::copy_file(GROOVANE_DEFAULT_KIT, folder / "Rock_kit.dxg", fs::copy_options::overwrite_existing);
    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    const char* monitor = std::getenv("GROOVANE_BENCH_MONITOR");
    const bool isMonitored = monitor && *monitor;
    const fs::path recording = isMonitored ? fs::path(monitor) : folder / "recording.wav";
    if (isMonitored)
        ::setenv("GROOVANE_AUDIO", "portaudio", 1);
    else
        ::setenv("GROOVANE_AUDIO", ("wav:" + recording.string()).c_str(), 1);
    const int tempoPosition = secondsFromEnvironment("GROOVANE_BENCH_TEMPO_POSITION", 60);
    const long stepFrames = static_cast<long>(kRate) * 2 * tempoPosition / 1000;

    LoggingDialogs dialogs;
    setDialogs(&dialogs);
    IdleDriver driver;
    SoundSystem::instance().ensureOutput();

    const char* roll = std::getenv("GROOVANE_BENCH_SAMPLE_ROLL");
    const bool isRoll = roll && std::string(roll) == "1";
    for (auto _ : state) {
        std::unique_ptr<ProgramWindows> windows;
        std::unique_ptr<TSequence> alone;
        TSequence* window = nullptr;
        if (isRoll) {
            // Slot 1 gets the click through Open Song, as a song that uses it would give it.
            writeClick(folder / "click.wav");
            std::ofstream(folder / "roll.sng", std::ios::binary)
                << "<*sam1\r\n"
                << (folder / "click.wav").string() << "\r\n44100\r\n//\r\n0\r\n";
            windows = std::make_unique<ProgramWindows>();
            window = windows->Sequence.get();
            dialogs.openAnswer = (folder / "roll.sng").string();
            window->BitBtn8Click();
            dialogs.openAnswer.reset();
        } else {
            alone = std::make_unique<TSequence>();
            alone->FormCreate();
            window = alone.get();
        }
        writeLengthAndTime(window->Grid, 16, 4);
        for (int step = 1; step <= 16; ++step)
            window->Grid.setCell(1, step + 1, isRoll ? "Sample1" : "ClsHiat");
        TSequenceControls& controls = TSequenceTestAccess::controls(*window);
        controls.endless->setChecked(true);
        controls.Delay->setValue(tempoPosition);
        // The output settles before Play is pressed, as it does while a user reaches for it.
        runEventLoopFor(3);

        double cpu = processCpuSeconds();
        double wall = wallSeconds();
        window->BitBtn3Click();
        runEventLoopFor(playSeconds);
        window->BitBtn4Click();
        state.counters["core_share_playing_pct"] = 100 * (processCpuSeconds() - cpu) / (wallSeconds() - wall);

        cpu = processCpuSeconds();
        wall = wallSeconds();
        runEventLoopFor(idleSeconds);
        state.counters["core_share_idle_pct"] = 100 * (processCpuSeconds() - cpu) / (wallSeconds() - wall);
        windows.reset();
        alone.reset();
    }
    // Replacing the recorder stops it, which completes the file.
    SoundSystem::instance().useOutput(makeNullAudioOutput());

    if (isMonitored)
        std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the monitor's last blocks
    const std::vector<long> hits = findHits(readLeftChannel(recording, isMonitored ? 0 : 44), stepFrames);
    long exact = 0;
    long worstFrames = 0;
    for (size_t i = 1; i < hits.size(); ++i) {
        const long off = std::labs(hits[i] - hits[i - 1] - stepFrames);
        exact += off <= 1 ? 1 : 0;
        if (off > 1)
            std::cerr << "step " << i << " at frame " << hits[i] << ": " << hits[i] - hits[i - 1] << " frames\n";
        worstFrames = std::max(worstFrames, off);
    }
    const double intervals = hits.size() > 1 ? static_cast<double>(hits.size() - 1) : 1.0;
    state.counters["hits"] = static_cast<double>(hits.size());
    state.counters["exact_step_pct"] = 100 * static_cast<double>(exact) / intervals;
    state.counters["worst_step_error_ms"] = 1000.0 * static_cast<double>(worstFrames) / kRate;

    state.counters["step_frames"] = static_cast<double>(stepFrames);

    setDialogs(nullptr);
    fs::current_path(previous);
    fs::remove_all(folder);
}

} // namespace

BENCHMARK(PatternPlaybackOnTheOutput)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
