// The real-time half of the software sound device. The UI side (sound_device.cpp) owns voices
// (one per secondary buffer) and device mixes (one per device) and tells the mixer about them
// through a fixed-size command queue; volume, pan, frequency and the primary format travel as
// atomics. The audio callback drains the commands at the start of each block, mixes every playing
// voice of each device at that device's primary rate and width, saturating, converts each
// device's mix to the output rate and sums all devices into the output. What the mixer lets go of
// comes back through a second queue and is freed on the UI side.
//
// Threads: the UI side runs on the devices' thread, the UI thread. render runs on the output's
// thread: PortAudio's callback, the null or wav: output's own mixing thread, or the thread that
// pumps an offline output. outputRestarted comes from whichever thread sees the output come back
// (PortAudio's watchdog). They meet only in the two queues and the atomics.
#pragma once

#include "platform/audio_output.h"
#include "platform/spsc_queue.h"

#include <array>
#include <climits>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace groovane {

// Build-time limits of the mixer.
constexpr uint32_t kMaxDevices = 64;
constexpr uint32_t kMaxVoicesPerDevice = 256;
constexpr uint32_t kCommandQueueCapacity = 8192;
constexpr uint32_t kOutputChunkFrames = 256;
constexpr uint32_t kPrimaryScratchFrames = 4096;
// Scheduled changes (a stop or a rewind on a given frame) one voice can hold at once.
constexpr uint32_t kMaxVoiceCues = 16;
// When the time an output says a block will be heard departs this far from the frame clock's
// prediction, the output has really skipped (an underrun, a restart): the clock takes the new
// timing on that block, as it does after an output says it ran dry. Smaller departures are
// smoothed first: most are the output's reports wandering (a sound server's, on a loaded
// machine, by tens of milliseconds), and only one that lasts beyond a dead band moves the clock
// (sound_mixer.cpp).
constexpr int64_t kDiscontinuityNs = 80'000'000;
// The time of a Play that has no time of its own: it starts on the first frame not yet mixed.
constexpr int64_t kAsSoonAsPossible = INT64_MIN;

// Sample bytes shared by a buffer and its duplicates. The byte vector is never resized.
struct SampleMemory {
    explicit SampleMemory(size_t bytes) : data(bytes, 0) {}
    std::vector<uint8_t> data;
    // Bumped (release) by Unlock; the mixer reads it (acquire) before each chunk, so sample
    // writes made before an Unlock are seen by the mixing that follows.
    std::atomic<uint32_t> writeGeneration{0};
};

struct DeviceMix;

// A change scheduled on one output frame of a playing voice.
struct VoiceCue {
    enum class Kind : uint8_t { Stop, Rewind };
    Kind kind = Kind::Stop;
    uint32_t generation = 0; // published once the cue has taken effect (Rewind)
    uint32_t frame = 0;      // the cursor a Rewind moves to
    uint64_t outputFrame = 0;
    uint64_t primaryFrame = 0; // worked out per chunk, like an onset
};

// One secondary buffer as the mixer sees it.
struct Voice {
    // Fixed at creation.
    std::shared_ptr<SampleMemory> memory;
    const uint8_t* samples = nullptr;
    uint32_t frames = 0;
    uint16_t channels = 1;
    uint16_t bits = 16;
    uint32_t blockAlign = 2;
    uint32_t formatRate = 44100;
    bool honoursFocus = true; // silent while the application is inactive
    DeviceMix* device = nullptr;

    // Written by the UI side, read by the mixer.
    std::atomic<uint64_t> gains{0}; // left and right gain, two floats
    std::atomic<uint32_t> frequency{0};

    // Written by the mixer, read by the UI side.
    // High 32 bits: the generation of the last command the mixer applied; low 32: the cursor
    // in frames.
    std::atomic<uint64_t> published{0};
    // Generation of the Play that ended by itself (one-shot end, lost output, no free slot).
    std::atomic<uint32_t> endedGeneration{0};

    // Mixer only (set by the UI side before the voice is first handed over).
    uint64_t position = 0; // frames, 32.32 fixed point
    uint64_t startOutputFrame = 0;
    uint64_t startPrimaryFrame = 0;
    uint32_t appliedGeneration = 0;
    uint32_t playGeneration = 0; // of the Play in force, reported in endedGeneration at the end
    uint32_t seenWriteGeneration = 0;
    // Pending cues, in frame order.
    std::array<VoiceCue, kMaxVoiceCues> cues{};
    uint32_t cueCount = 0;
    bool isActive = false;
    bool isStarted = false;
    bool isLooping = false;
};

// Packs two gains for Voice::gains.
uint64_t packGains(float left, float right);

// One device: its primary format and, on the mixer side, its playing voices and the state that
// converts its mix to the output rate.
struct DeviceMix {
    DeviceMix();
    // rate | bits << 32 | channels << 48, written by the UI side.
    std::atomic<uint64_t> primaryFormat;

    // Mixer only.
    std::array<Voice*, kMaxVoicesPerDevice> voices{};
    uint32_t voiceCount = 0;
    bool isListed = false;
    uint64_t currentFormat = 0;
    uint32_t currentOutputRate = 0;
    uint64_t step = 0;                  // primary frames per output frame, 32.32
    uint64_t phase = 0;                 // position of the next output frame, 32.32, from scratchBase
    uint64_t scratchBase = 0;           // absolute primary frame held in scratch[0]
    uint32_t scratchFrames = 0;         // primary frames held
    std::unique_ptr<int32_t[]> scratch; // quantized primary frames, stereo
    std::unique_ptr<float[]> sum;       // voices summed before quantizing, stereo
};

uint64_t packPrimaryFormat(uint32_t rate, uint16_t bits, uint16_t channels);

class SoundMixer final : public AudioRenderer {
public:
    SoundMixer();
    ~SoundMixer() override;

    // --- UI side: the devices' thread (the UI thread in the program), never the audio thread.
    // The calls are serialised inside, so devices of one system made on different threads still
    // give the command queue one producer at a time. ---

    // Sets the output's rate and the latency a timed Play carries. Only while no output pulls.
    void setOutputFormat(uint32_t sampleRate, uint32_t latencyFrames);
    // The latency a timed Play carries, in output frames, once the output knows it (a stream
    // reports its own latency only when open). Any time.
    void setLatencyFrames(uint32_t latencyFrames) noexcept
    {
        latencyFrames_.store(latencyFrames, std::memory_order_relaxed);
    }
    // Queue commands. False when the queue is full (nothing queued).
    bool addDevice(DeviceMix* device);
    // With onlyIfPlaying (the caller believes the voice plays) a voice that has meanwhile ended
    // is not restarted: only the looping flag of a playing voice changes. `timeNs` is the
    // moment the sound is meant for (it starts that moment plus the latency later, on the output
    // frame heard then), or kAsSoonAsPossible. `replaces`, when not null, is a voice that plays
    // up to the frame this one starts on and stops there.
    bool play(Voice* voice, uint32_t generation, bool looping, bool onlyIfPlaying, int64_t timeNs,
              Voice* replaces = nullptr);
    // A playing voice moves its cursor to `frame` on the output frame a Play at `timeNs` would
    // start on, and plays on from there; until then it plays on from where it is. The generation
    // is published only once the move has happened.
    bool rewind(Voice* voice, uint32_t generation, uint32_t frame, int64_t timeNs);
    bool stop(Voice* voice, uint32_t generation);
    bool setPosition(Voice* voice, uint32_t generation, uint32_t frame);
    // Hand-overs that cannot fail: the object is freed on the UI side once the mixer has let it
    // go (at a later collectGarbage), or at once if the mixer never saw it.
    void releaseVoice(Voice* voice, bool mixerKnowsIt);
    void releaseDevice(DeviceMix* device, bool mixerKnowsIt);
    // Frees what the mixer has handed back and retries hand-overs the queue had no room for.
    void collectGarbage();
    // The output frame heard at `timeNs` (the clock of the times the output reports), with its
    // fraction, by the frame clock as the audio thread last set it; empty before the output's
    // first block. Lock-free and without waiting on the audio thread: a reading that overlaps
    // the clock's update is simply taken again. Any thread but the audio thread.
    std::optional<double> outputFrameAt(int64_t timeNs) const;
    // The latency a timed Play carries, in output frames. Any thread.
    uint32_t latencyFrames() const { return latencyFrames_.load(std::memory_order_relaxed); }
    // Incremented whenever the output came back after failing.
    uint32_t lossEpoch() const { return lossEpoch_.load(std::memory_order_acquire); }
    // The last loss the audio thread has acted on: once it equals lossEpoch(), no voice of the
    // lost output is mixed any more and everything the mixer read of their memory happened
    // before this reading, so a buffer may be restored and written.
    uint32_t stoppedLossEpoch() const { return stoppedLossEpoch_.load(std::memory_order_acquire); }
    // Whether the application is active (focus muting).
    static void setApplicationActive(bool active);
    static bool isApplicationActive();

    // --- Audio thread ---
    void render(int16_t* stereo, uint32_t frames, int64_t heardNs) noexcept override;
    void outputRestarted() noexcept override;
    void outputLatencyChanged(uint32_t latencyFrames) noexcept override { setLatencyFrames(latencyFrames); }
    void outputUnderflowed() noexcept override { isUnderflowed_ = true; }
    bool isIdleSince(int64_t sinceNs) const noexcept override;
    void setWakeHandler(std::function<void()> handler) override;
    // The frame clock is dropped: until the next block, outputFrameAt has no answer (a time
    // would map onto frames the stopped output never plays), and that block anchors it afresh.
    void outputPaused() noexcept override;

private:
    enum class CommandKind : uint8_t { AddDevice, RemoveDevice, Play, Stop, SetPosition, Rewind, ReleaseVoice };
    struct Command {
        CommandKind kind;
        bool looping;
        bool onlyIfPlaying;
        uint32_t generation;
        uint32_t frame;
        int64_t timeNs;
        Voice* voice;
        DeviceMix* device;
        Voice* replaces = nullptr;
    };
    struct Retired {
        Voice* voice;
        DeviceMix* device;
    };

    bool post(const Command& command);
    // Queues a command under the producer lock; false when the queue is full.
    bool pushCommand(const Command& command);
    void freeRetired(const Retired& item);

    // Audio thread.
    void drainCommands(uint64_t blockStartFrame) noexcept;
    bool apply(const Command& command, uint64_t blockStartFrame) noexcept;
    uint64_t targetFrame(int64_t timeNs, uint64_t blockStartFrame) const noexcept;
    void followOutputTiming(int64_t heardNs) noexcept;
    void shiftScheduled(int64_t frames) noexcept;
    static void addCue(Voice& voice, const VoiceCue& cue) noexcept;
    void removeVoice(DeviceMix& device, uint32_t index) noexcept;
    void endVoice(Voice& voice) noexcept;
    void stopAllVoices() noexcept;
    void mixDevice(DeviceMix& device, int32_t* out, uint64_t firstFrame, uint32_t frames) noexcept;
    void renderPrimary(DeviceMix& device, uint32_t from, uint32_t to) noexcept;

    SpscQueue<Command> commands_;
    SpscQueue<Retired> retired_;
    // Serialises UI-side producers (uncontended while they are all the UI thread); the audio
    // thread never takes it.
    std::mutex producerMutex_;
    std::vector<Command> unsentReleases_;
    std::function<void()> wakeHandler_; // under producerMutex_
    // Commands queued by the UI side and taken by the audio thread, and the end of the last
    // block that had a voice playing or took a command: together they say whether the mixer
    // is idle (isIdleSince).
    std::atomic<uint64_t> postedCommands_{0};
    std::atomic<uint64_t> takenCommands_{0};
    std::atomic<int64_t> lastBusyNs_{INT64_MIN};

    uint32_t outputRate_ = 44100;
    std::atomic<uint32_t> latencyFrames_{0};
    std::atomic<uint32_t> lossEpoch_{0};
    std::atomic<uint32_t> stoppedLossEpoch_{0};

    // Audio thread only.
    std::array<DeviceMix*, kMaxDevices> devices_{};
    uint32_t deviceCount_ = 0;
    uint64_t frameCounter_ = 0;
    // The frame clock: when output frame f is heard, on the sound system's clock, at the
    // output's nominal rate from an anchor kept within a dead band of the times it reports:
    //   heard(f) = anchorNs_ + offsetNs_ + (f - anchorFrame_) * nsPerFrame_.
    bool isAnchored_ = false;
    int64_t anchorNs_ = 0;
    uint64_t anchorFrame_ = 0;
    double offsetNs_ = 0.0;
    double nsPerFrame_ = 0.0;
    uint64_t settledFrame_ = 0; // until this frame the clock settles after an anchor
    uint32_t settlingBlocks_ = 0;
    double smoothedErrorNs_ = 0.0;
    bool isUnderflowed_ = false; // the output said it ran dry: the next block's timing is taken
    uint32_t seenLossEpoch_ = 0;
    bool isBusy_ = false; // the block being rendered took a command or has a voice playing

    // The frame clock as published for outputFrameAt: written once per block by the audio
    // thread, the sequence odd while it writes. nsPerFrame is 0 until the clock is anchored.
    void publishClock() noexcept;
    std::atomic<uint32_t> clockSequence_{0};
    std::atomic<uint64_t> clockFrame_{0};
    std::atomic<int64_t> clockNs_{0};
    std::atomic<double> clockNsPerFrame_{0.0};
};

} // namespace groovane
