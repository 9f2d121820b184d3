// An evening of playback in a minute: an endless song of kit sounds and two streamed sample
// slots plays on the offline output while the test moves the clocks by hand, far faster than
// real time. The step timer is polled every millisecond as the idle loop polls it, the sample
// players' workers wake every 50 ms and the kit frees its ended copies every 500 ms, all on
// simulated time. Every hit must sound on the frame its step falls on, and the process's
// memory, voices, open files and threads must stay flat from the first minute to the last.
//
// Usage: soak [--minutes N] [--every-minute] [--output-restarts]
//   --minutes N          simulated minutes, default 60
//   --every-minute       prints each minute's figures, not only the first and the last
//   --output-restarts    the output fails and comes back in the middle of every minute; the song
//                        must play on, missing nothing but what sounded in the second after
// Exits 1 when a check fails.
#include "platform/audio_output.h"
#include "sound/audio_stream.h"
#include "sound/dx_sound.h"
#include "sound/dx_timer.h"
#include "platform/idle_host.h"
#include "playback/instrument_trigger.h"
#include "sound/interval_timer.h"
#include "pattern/pattern_editing.h"
#include "samples/slot_player.h"
#include "playback/song_playback.h"
#include "platform/sound_system.h"
#include "song/step_list.h"
#include "platform/ui_call_queue.h"
#include "sound/wave.h"
#include "sound/wave_collection.h"
#include "platform/worker_clock.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <utility>
#include <memory>
#include <string>
#include <vector>

using namespace groovane;

#if defined(__SANITIZE_ADDRESS__)
#define GROOVANE_SOAK_ASAN 1
// AddressSanitizer keeps books of its own that grow with every thread the process has started
// (about 1 KiB a second here), so under it the resident size is reported but the flat-memory
// check is made on the bytes the program holds on the heap, as the sanitizer counts them.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kLatencyFrames = 441;
constexpr uint32_t kBlockFrames = 256;
constexpr int64_t kNsPerMs = 1'000'000;
constexpr int64_t kStartNs = 5'000 * kNsPerMs;
// The idle loop looks at the step timer a little after each millisecond starts.
constexpr int64_t kPollDelayNs = 300'000;
constexpr int kWorkerPeriodMs = 50;
constexpr int kCleanupPeriodMs = 500;
// Memory may move by a few pages (allocator caches); growth beyond this is a leak.
constexpr long kMemorySlackKb = 1024;
// A player's worker may have ended and not been joined yet when the threads are counted.
constexpr int kPlayerCount = 2;

// The first sample of each sound. Any set of them sums to a value no other set sums to, so a
// frame where several sounds start shows which ones did.
const std::map<std::string, int16_t> kMarkers = {
    {"Kick", 100}, {"Snare", 200}, {"ClsHiat", 400}, {"Sample1", 1000}, {"Sample2", 2000},
};

// A mono 16-bit sound of `frames` frames: `marker` first, then silence.
TWave clickWave(int frames, int16_t marker)
{
    TWave wave;
    WaveFormatEx format;
    MakePCMWaveFormat(format, kRate, 16, 1);
    wave.SetFormat(format);
    wave.SetSize(frames * 2);
    std::fill(wave.Data(), wave.Data() + frames * 2, uint8_t{0});
    wave.Data()[0] = static_cast<uint8_t>(static_cast<uint16_t>(marker));
    wave.Data()[1] = static_cast<uint8_t>(static_cast<uint16_t>(marker) >> 8);
    return wave;
}

// A pattern of rows, each a list of instruments on channels 1, 2, ...
SongPattern songPattern(int tempoPosition, int loops, const std::vector<std::vector<std::string>>& rows)
{
    SongPattern pattern{tempoPosition, loops, static_cast<int32_t>(rows.size()), {}};
    for (const auto& row : rows) {
        for (size_t c = 0; c < PatternGrid::kChannelCount; ++c)
            pattern.cells.push_back(c < row.size() ? row[c] : "");
    }
    return pattern;
}

// The song: 4 steps of 102 ms played twice, then 3 steps of 122 ms, over and over. Steps fall
// between output frames, so where a hit lands depends on rounding done right.
const std::vector<SongPattern> kSong = {
    songPattern(51, 2, {{"Kick", "Sample1"}, {"ClsHiat"}, {"Snare"}, {"ClsHiat", "Sample2"}}),
    songPattern(61, 1, {{"Kick", "ClsHiat"}, {"Sample2"}, {"Snare", "", "Sample1"}}),
};

// Steps and milliseconds of one pass through the song.
std::pair<uint64_t, int64_t> songPass()
{
    uint64_t steps = 0;
    int64_t ms = 0;
    for (const SongPattern& pattern : kSong) {
        steps += static_cast<uint64_t>(pattern.length * pattern.loopCount);
        ms += int64_t{pattern.length} * pattern.loopCount * 2 * pattern.tempoPosition;
    }
    return {steps, ms};
}

// Where and how each step of the endless song must sound, worked out from the song alone.
class ExpectedHits {
public:
    explicit ExpectedHits(int64_t firstStepNs) : stepNs_(firstStepNs) {}

    // The output frame of the current step: the first frame at or after its time, plus latency.
    uint64_t frame() const
    {
        const __int128 scaled = static_cast<__int128>(stepNs_ - kStartNs) * kRate;
        return static_cast<uint64_t>((scaled + 999'999'999) / 1'000'000'000) + kLatencyFrames;
    }
    int value() const
    {
        const SongPattern& pattern = kSong[patternIndex_];
        int sum = 0;
        for (int c = 0; c < PatternGrid::kChannelCount; ++c) {
            const std::string& cell = pattern.cells[static_cast<size_t>(row_ * PatternGrid::kChannelCount + c)];
            if (!cell.empty())
                sum += kMarkers.at(cell);
        }
        return sum;
    }
    void next()
    {
        const SongPattern& pattern = kSong[patternIndex_];
        stepNs_ += 2 * pattern.tempoPosition * kNsPerMs;
        if (++row_ < pattern.length)
            return;
        row_ = 0;
        if (++loop_ < pattern.loopCount)
            return;
        loop_ = 0;
        patternIndex_ = (patternIndex_ + 1) % kSong.size();
    }

private:
    int64_t stepNs_;
    size_t patternIndex_ = 0;
    int row_ = 0;
    int loop_ = 0;
};

// The kit's cleanup timer, ticked by the soak on simulated time.
class ManualTimers {
public:
    ManualTimers()
    {
        setIntervalTimerFactory(
            [this](int, std::function<void()> tick) { return std::make_unique<Timer>(*this, std::move(tick)); });
    }
    ~ManualTimers() { setIntervalTimerFactory({}); }
    void tickAll()
    {
        for (Timer* t : std::vector<Timer*>(live_))
            t->tick();
    }

private:
    struct Timer : IntervalTimer {
        Timer(ManualTimers& owner, std::function<void()> tick) : owner(owner), tick(std::move(tick))
        {
            owner.live_.push_back(this);
        }
        ~Timer() override { std::erase(owner.live_, this); }
        ManualTimers& owner;
        std::function<void()> tick;
    };
    std::vector<Timer*> live_;
};

// Sample slots 1 and 2 are streamed players; the others are silent.
class StreamedSlots final : public SampleSlots {
public:
    explicit StreamedSlots(std::vector<TAudioFileStream*> players) : players_(std::move(players)) {}
    void restart(int slot) override { triggerSampleSlot(player(slot)); }
    void stop(int slot) override { stopSampleSlot(player(slot)); }
    int playingCount() const
    {
        return static_cast<int>(
            std::count_if(players_.begin(), players_.end(), [](TAudioFileStream* p) { return p->Playing(); }));
    }

private:
    TAudioFileStream* player(int slot) const
    {
        return slot >= 1 && static_cast<size_t>(slot) <= players_.size() ? players_[static_cast<size_t>(slot - 1)]
                                                                         : nullptr;
    }
    std::vector<TAudioFileStream*> players_;
};

int entryCount(const char* folder)
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++count;
    return count;
}

long residentKb()
{
    std::ifstream statm("/proc/self/statm");
    long sizePages = 0, residentPages = 0;
    statm >> sizePages >> residentPages;
    return residentPages * (sysconf(_SC_PAGESIZE) / 1024);
}

// The bytes the program holds on the heap, where they can be counted apart from the allocator's
// own memory; otherwise -1.
long heapKb()
{
#ifdef GROOVANE_SOAK_ASAN
    return static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    return -1;
#endif
}

struct Figures {
    long rssKb = 0;
    long heapKb = -1;
    int voices = 0;
    int openFiles = 0;
    int threads = 0;

    void takeMax(const Figures& f)
    {
        rssKb = std::max(rssKb, f.rssKb);
        heapKb = std::max(heapKb, f.heapKb);
        voices = std::max(voices, f.voices);
        openFiles = std::max(openFiles, f.openFiles);
        threads = std::max(threads, f.threads);
    }
};

class Soak {
public:
    explicit Soak(const std::filesystem::path& folder)
    {
        auto output = std::make_unique<OfflineAudioOutput>(kRate, kLatencyFrames, kStartNs);
        output_ = output.get();
        SoundSystem::instance().useOutput(std::move(output));
        SoundSystem::instance().setClock([this] { return nowNs_; });
        setWorkerClock(&workers_);

        sound_.SetOptions(soGlobalFocus | soExclusive);
        sound_.OnInitialize = [](TCustomDXSound& s) {
            WaveFormatEx format;
            MakePCMWaveFormat(format, kRate, 16, 2);
            s.Primary()->SetFormat(format);
        };
        kit_.SetDXSound(&sound_);
        kit_.Items().Add().SetWave(clickWave(100, 0)); // sound 0, never played
        for (int slot = kFirstKitSlot; slot <= kLastKitSlot; ++slot) {
            const std::string& name = instrumentNames()[static_cast<size_t>(slot)];
            TWaveCollectionItem& item = kit_.Items().Add();
            item.SetName(name);
            item.SetWave(clickWave(100, kMarkers.count(name) ? kMarkers.at(name) : int16_t{1}));
        }
        sound_.Initialize();

        for (int k = 1; k <= 2; ++k) {
            const std::string path = (folder / ("Sample" + std::to_string(k) + ".wav")).string();
            // 50 ms, shorter than any step: a slot's sounds never overlap.
            clickWave(kRate / 20, kMarkers.at("Sample" + std::to_string(k))).SaveToFile(path);
            players_.push_back(std::make_unique<TAudioFileStream>(*sound_.DSound()));
            players_.back()->SetFileName(path);
        }
        slots_ = std::make_unique<StreamedSlots>(std::vector<TAudioFileStream*>{players_[0].get(), players_[1].get()});
        trigger_.setSampleSlots(*slots_);

        for (const SongPattern& pattern : kSong)
            list_.appendPattern(pattern);
        list_.close();

        timer_.setEnabled(false);
        timer_.setActiveOnly(false);
        timer_.Loaded();
        // What the main window does with each tick of its song timer.
        timer_.OnTimer = [this](TDXTimer&, int) {
            SongTickSettings settings;
            settings.isEndless = true;
            const SongTick tick = song_.tick(settings);
            if (tick.tempoPosition)
                timer_.setInterval(static_cast<uint32_t>(2 * *tick.tempoPosition));
            if (tick.isSongEnd)
                songEnded_ = true;
        };
    }

    ~Soak()
    {
        timer_.setEnabled(false);
        for (auto& player : players_)
            player->Stop();
        players_.clear();
        setWorkerClock(nullptr);
        SoundSystem::instance().setClock({});
        SoundSystem::instance().stopOutput();
    }

    // Play Song: the first step sounds one interval (the slider's, 2 x 51 ms) after the start.
    void play()
    {
        song_.start();
        timer_.setInterval(102);
        timer_.setEnabled(true);
        expected_ = std::make_unique<ExpectedHits>((nowNs_ / kNsPerMs + 102) * kNsPerMs);
    }

    // Lets `ms` milliseconds pass.
    void run(int64_t ms)
    {
        for (int64_t i = 0; i < ms; ++i) {
            const int64_t msNow = nowNs_ / kNsPerMs + 1;
            nowNs_ = msNow * kNsPerMs + kPollDelayNs;
            renderDueBlocks();
            host_.runIdle();
            if (msNow % kWorkerPeriodMs == 0)
                workers_.step(kWorkerPeriodMs, uiCallQueue());
            if (msNow % kCleanupPeriodMs == 0)
                timers_.tickAll();
        }
    }

    Figures figures() const
    {
        Figures f;
        f.rssKb = residentKb();
        f.heapKb = heapKb();
        f.voices = kit_.Items().PlayingCount() + slots_->playingCount();
        f.openFiles = entryCount("/proc/self/fd");
        f.threads = entryCount("/proc/self/task");
        return f;
    }

    // The sound card goes away and comes back: every buffer reports lost until restored.
    void restartOutput()
    {
        restartFrames_.push_back(output_->framesRendered());
        output_->simulateRestart();
    }

    uint64_t hitsChecked() const { return hitsChecked_; }
    uint64_t hitsForgiven() const { return hitsForgiven_; }
    const std::string& firstFault() const { return firstFault_; }
    bool songEnded() const { return songEnded_; }
    int64_t simulatedMs() const { return (nowNs_ - kStartNs) / kNsPerMs; }

private:
    void renderDueBlocks()
    {
        while (output_->timeOfFrame(output_->framesRendered()) <= nowNs_) {
            const uint64_t first = output_->framesRendered();
            const std::vector<int16_t> block = output_->pump(kBlockFrames, kBlockFrames);
            for (uint32_t f = 0; f < kBlockFrames; ++f)
                if (block[2 * f] != 0 || block[2 * f + 1] != 0)
                    checkHit(first + f, block[2 * f], block[2 * f + 1]);
        }
    }

    // Each sound must be the next step's, on its frame. Steps passed over without a sound, and
    // sounds that are not what the step holds, are faults, except within a second after the
    // output failed and came back: sounds already handed to the mixer are lost then.
    void checkHit(uint64_t frame, int left, int right)
    {
        if (!expected_) {
            fault("sound before playback started, at frame " + std::to_string(frame));
            return;
        }
        while (expected_->frame() < frame) {
            if (isAfterRestart(expected_->frame()))
                ++hitsForgiven_;
            else
                fault("no sound at frame " + std::to_string(expected_->frame()) + ", where a step should sound " +
                      std::to_string(expected_->value()));
            expected_->next();
        }
        const bool isOnItsFrame = frame == expected_->frame();
        if (isOnItsFrame && left == expected_->value() && right == left) {
            ++hitsChecked_;
        } else if (isAfterRestart(frame)) {
            ++hitsForgiven_;
        } else {
            fault("sound at frame " + std::to_string(frame) + " (" + std::to_string(left) + ", " +
                  std::to_string(right) + "); the next step should sound " + std::to_string(expected_->value()) +
                  " at frame " + std::to_string(expected_->frame()));
        }
        if (isOnItsFrame)
            expected_->next();
    }

    bool isAfterRestart(uint64_t frame) const
    {
        return std::any_of(restartFrames_.begin(), restartFrames_.end(),
                           [&](uint64_t restart) { return frame >= restart && frame < restart + kRate; });
    }

    void fault(const std::string& what)
    {
        if (firstFault_.empty())
            firstFault_ = what;
    }

    OfflineAudioOutput* output_ = nullptr;
    int64_t nowNs_ = kStartNs;
    ManualWorkerClock workers_;
    ManualTimers timers_;
    IdleHost host_;
    TDXTimer timer_{host_, [this] { return static_cast<uint32_t>(nowNs_ / kNsPerMs); }};
    TDXSoundForm form_;
    TDXSound sound_{&form_};
    TDXWaveList kit_;
    std::vector<std::unique_ptr<TAudioFileStream>> players_;
    std::unique_ptr<StreamedSlots> slots_;
    WaveListKit kitSounds_{kit_};
    SilentSampleSlots noSlots_;
    InstrumentTrigger trigger_{kitSounds_, noSlots_};
    StepList list_;
    SongPlayback song_{list_, trigger_};
    std::unique_ptr<ExpectedHits> expected_;
    uint64_t hitsChecked_ = 0;
    uint64_t hitsForgiven_ = 0;
    std::vector<uint64_t> restartFrames_;
    std::string firstFault_;
    bool songEnded_ = false;
};

void print(const char* when, const Figures& f)
{
    const std::string heap = f.heapKb >= 0 ? "  heap " + std::to_string(f.heapKb) + " KiB" : "";
    std::printf("%-28s RSS %6ld KiB%s  voices %3d  open files %3d  threads %3d\n", when, f.rssKb, heap.c_str(),
                f.voices, f.openFiles, f.threads);
}

} // namespace

int main(int argc, char** argv)
{
    int minutes = 60;
    bool isEveryMinute = false;
    bool isRestarting = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--minutes") == 0 && i + 1 < argc) {
            minutes = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--every-minute") == 0) {
            isEveryMinute = true;
        } else if (std::strcmp(argv[i], "--output-restarts") == 0) {
            isRestarting = true;
        } else {
            std::fprintf(stderr, "usage: %s [--minutes N] [--every-minute] [--output-restarts]\n", argv[0]);
            return 2;
        }
    }
    if (minutes < 2) {
        std::fprintf(stderr, "soak: at least 2 simulated minutes (the first is the warm-up)\n");
        return 2;
    }

    char folderTemplate[] = "/tmp/groovane-soak-XXXXXX";
    if (!mkdtemp(folderTemplate)) {
        std::perror("soak: mkdtemp");
        return 2;
    }
    const std::filesystem::path folder = folderTemplate;
    const auto wallStart = std::chrono::steady_clock::now();
    bool ok = true;
    {
        Soak soak(folder);
        soak.play();
        // The first minute settles every cache and pool; the figures taken during it are the
        // ceiling the rest of the run must stay under.
        Figures warmUp;
        for (int s = 0; s < 60; ++s) {
            soak.run(1000);
            warmUp.takeMax(soak.figures());
        }
        Figures lastMinute;
        for (int m = 1; m < minutes; ++m) {
            Figures minute;
            for (int s = 0; s < 60; ++s) {
                if (isRestarting && s == 30)
                    soak.restartOutput();
                soak.run(1000);
                minute.takeMax(soak.figures());
            }
            if (isEveryMinute)
                print(("minute " + std::to_string(m + 1) + ":").c_str(), minute);
            if (m == minutes - 1)
                lastMinute = minute;
        }
        const double wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
        std::printf("soak: %.1f simulated minutes in %.1f s of wall time, %llu hits checked",
                    soak.simulatedMs() / 60000.0, wallSeconds, static_cast<unsigned long long>(soak.hitsChecked()));
        if (isRestarting)
            std::printf(", %d output restarts, %llu hits lost to them", minutes - 1,
                        static_cast<unsigned long long>(soak.hitsForgiven()));
        std::printf("\n");
        print("first minute (highest):", warmUp);
        print("last minute (highest):", lastMinute);

        std::fflush(stdout);
        const auto check = [&](bool holds, const std::string& what) {
            if (!holds) {
                std::fprintf(stderr, "soak: FAILED: %s\n", what.c_str());
                ok = false;
            }
        };
        check(soak.firstFault().empty(), soak.firstFault());
        check(!soak.songEnded(), "the endless song ended");
        const auto [passSteps, passMs] = songPass();
        const uint64_t steps =
            static_cast<uint64_t>(soak.simulatedMs() - 100) * passSteps / static_cast<uint64_t>(passMs);
        check(soak.hitsChecked() + soak.hitsForgiven() + passSteps >= steps,
              "only " + std::to_string(soak.hitsChecked()) + " of about " + std::to_string(steps) + " steps sounded");
#ifdef GROOVANE_SOAK_ASAN
        check(lastMinute.heapKb <= warmUp.heapKb + kMemorySlackKb, "heap memory grew");
#else
        check(lastMinute.rssKb <= warmUp.rssKb + kMemorySlackKb, "memory grew");
#endif
        check(lastMinute.voices <= warmUp.voices, "voices piled up");
        check(lastMinute.openFiles <= warmUp.openFiles, "open files piled up");
        check(lastMinute.threads <= warmUp.threads + kPlayerCount, "threads piled up");
    }
    std::filesystem::remove_all(folder);
    return ok ? 0 : 1;
}
