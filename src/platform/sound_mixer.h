// The real-time half of the software sound device. The UI side (sound_device.cpp) owns voices
// (one per secondary buffer) and device mixes (one per device) and tells the mixer about them
// through a fixed-size command queue; volume, pan, frequency and the primary format travel as
// atomics. The audio callback drains the commands at the start of each block, mixes every playing
// voice of each device at that device's primary rate and width, saturating, converts each
// device's mix to the output rate and sums all devices into the output. What the mixer lets go of
// comes back through a second queue and is freed on the UI side.
#pragma once

#include "audio_output.h"
#include "spsc_queue.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace groovane {

// Build-time limits of the mixer.
constexpr uint32_t kMaxDevices = 64;
constexpr uint32_t kMaxVoicesPerDevice = 256;
constexpr uint32_t kCommandQueueCapacity = 8192;
constexpr uint32_t kOutputChunkFrames = 256;
constexpr uint32_t kPrimaryScratchFrames = 4096;
// A realtime output whose block clock drifts further than this from the frames it has played
// gets a new time anchor.
constexpr int64_t kReanchorThresholdNs = 20'000'000;

// Sample bytes shared by a buffer and its duplicates. The byte vector is never resized.
struct SampleMemory {
    explicit SampleMemory(size_t bytes) : data(bytes, 0) {}
    std::vector<uint8_t> data;
    // Bumped (release) by Unlock; the mixer reads it (acquire) before each chunk, so sample
    // writes made before an Unlock are seen by the mixing that follows.
    std::atomic<uint32_t> writeGeneration{0};
};

struct DeviceMix;

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
    uint32_t seenWriteGeneration = 0;
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
    uint64_t step = 0;          // primary frames per output frame, 32.32
    uint64_t phase = 0;         // position of the next output frame, 32.32, from scratchBase
    uint64_t scratchBase = 0;   // absolute primary frame held in scratch[0]
    uint32_t scratchFrames = 0; // primary frames held
    std::unique_ptr<int32_t[]> scratch;  // quantized primary frames, stereo
    std::unique_ptr<float[]> sum;        // voices summed before quantizing, stereo
};

uint64_t packPrimaryFormat(uint32_t rate, uint16_t bits, uint16_t channels);

class SoundMixer final : public AudioRenderer {
public:
    SoundMixer();
    ~SoundMixer() override;

    // --- UI side (any thread that is not the audio thread; calls are serialised inside) ---

    // Sets the output's rate and latency. Only while no output pulls.
    void setOutputFormat(uint32_t sampleRate, uint32_t latencyFrames);
    // Queue commands. False when the queue is full (nothing queued).
    bool addDevice(DeviceMix* device);
    // With onlyIfPlaying (the caller believes the voice plays) a voice that has meanwhile ended
    // is not restarted: only the looping flag of a playing voice changes.
    bool play(Voice* voice, uint32_t generation, bool looping, bool onlyIfPlaying, int64_t timeNs);
    bool stop(Voice* voice, uint32_t generation);
    bool setPosition(Voice* voice, uint32_t generation, uint32_t frame);
    // Hand-overs that cannot fail: the object is freed on the UI side once the mixer has let it
    // go (at a later collectGarbage), or at once if the mixer never saw it.
    void releaseVoice(Voice* voice, bool mixerKnowsIt);
    void releaseDevice(DeviceMix* device, bool mixerKnowsIt);
    // Frees what the mixer has handed back and retries hand-overs the queue had no room for.
    void collectGarbage();
    // Incremented whenever the output came back after failing.
    uint32_t lossEpoch() const { return lossEpoch_.load(std::memory_order_acquire); }
    // Whether the application is active (focus muting).
    static void setApplicationActive(bool active);
    static bool isApplicationActive();

    // --- Audio thread ---
    void render(int16_t* stereo, uint32_t frames, int64_t blockStartNs) noexcept override;
    void outputRestarted() noexcept override;

private:
    enum class CommandKind : uint8_t { AddDevice, RemoveDevice, Play, Stop, SetPosition, ReleaseVoice };
    struct Command {
        CommandKind kind;
        bool looping;
        bool onlyIfPlaying;
        uint32_t generation;
        uint32_t frame;
        int64_t timeNs;
        Voice* voice;
        DeviceMix* device;
    };
    struct Retired {
        Voice* voice;
        DeviceMix* device;
    };

    bool post(const Command& command);
    void freeRetired(const Retired& item);

    // Audio thread.
    void drainCommands(uint64_t blockStartFrame) noexcept;
    bool apply(const Command& command, uint64_t blockStartFrame) noexcept;
    uint64_t targetFrame(int64_t timeNs, uint64_t blockStartFrame) const noexcept;
    void removeVoice(DeviceMix& device, uint32_t index) noexcept;
    void endVoice(Voice& voice) noexcept;
    void stopAllVoices() noexcept;
    void mixDevice(DeviceMix& device, int32_t* out, uint64_t firstFrame, uint32_t frames) noexcept;
    void renderPrimary(DeviceMix& device, uint32_t from, uint32_t to) noexcept;

    SpscQueue<Command> commands_;
    SpscQueue<Retired> retired_;
    std::mutex producerMutex_; // serialises UI-side producers; the audio thread never takes it
    std::vector<Command> unsentReleases_;

    uint32_t outputRate_ = 44100;
    uint32_t latencyFrames_ = 0;
    std::atomic<uint32_t> lossEpoch_{0};

    // Audio thread only.
    std::array<DeviceMix*, kMaxDevices> devices_{};
    uint32_t deviceCount_ = 0;
    uint64_t frameCounter_ = 0;
    bool isAnchored_ = false;
    int64_t anchorNs_ = 0;
    uint64_t anchorFrame_ = 0;
    uint32_t seenLossEpoch_ = 0;
};

} // namespace groovane
