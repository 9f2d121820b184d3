// The sound card behind the software sound device. The mixer (sound_system.h) produces 16-bit
// stereo frames at the output's rate; an output pulls them. Back ends: PortAudio (the real card),
// null (paced in real time, for machines without a card), a WAV recorder (paced in real time,
// writes what would have been heard) and an offline output that tests pump by hand so they can
// read back the exact mixed samples.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace groovane {

// What an output pulls from. Implemented by the mixer.
class AudioRenderer {
public:
    virtual ~AudioRenderer() = default;
    // Fills `frames` interleaved stereo frames. `heardNs` is when the first of them will be heard,
    // on the monotonic clock (steadyNanoseconds), as the output's own timing says; not when the
    // call happens to run. Audio thread: never blocks, allocates or throws.
    virtual void render(int16_t* stereo, uint32_t frames, int64_t heardNs) noexcept = 0;
    // The output failed and has come back: buffers made before now report lost until restored.
    // Any thread.
    virtual void outputRestarted() noexcept = 0;
    // The latency a step tick's sounds carry has changed (a stream that turns out to mix further
    // ahead than it reported, a reopened stream). Any thread, the audio thread included: must not
    // block.
    virtual void outputLatencyChanged(uint32_t /*latencyFrames*/) noexcept {}
    // The output ran dry before the block about to be rendered (the card played silence): its
    // timing has really moved, however little. Audio thread, before that block's render().
    virtual void outputUnderflowed() noexcept {}
    // While nothing sounds an output may pause its stream, which costs the processor even when
    // it carries silence. True when nothing has sounded, and nothing has been asked of the
    // renderer that it has not yet taken, since `sinceNs` (monotonic clock). Any thread.
    virtual bool isIdleSince(int64_t /*sinceNs*/) const noexcept { return false; }
    // What the renderer calls, on the UI side, each time something is asked of it, so that a
    // paused output resumes; empty for none. Must return at once. UI thread.
    virtual void setWakeHandler(std::function<void()> /*handler*/) {}
    // The output has stopped its stream for a while (it was idle); render is not called until
    // it starts again, so nothing can tell which frame is heard when until then. The thread
    // that stopped the stream, after it stopped.
    virtual void outputPaused() noexcept {}
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    virtual std::string name() const = 0;
    virtual uint32_t sampleRate() const = 0;
    // The latency a step tick's sounds carry: the distance between a tick's time and the frame
    // its sounds are heard on, enough to cover the output's own delay, its block and the UI
    // thread's usual delays. Known once started.
    virtual uint32_t latencyFrames() const = 0;
    // Starts pulling from `renderer`. False with a one-line reason when the output cannot be
    // opened. UI thread.
    virtual bool start(AudioRenderer& renderer, std::string* error) = 0;
    // Stops pulling; after it returns the renderer is not called again. UI thread.
    virtual void stop() = 0;
    // True while the output has failed and its attempts to come back keep failing, so that
    // nothing is heard. Any thread.
    virtual bool isLost() const { return false; }
};

// The real card through PortAudio, 44100 Hz stereo 16-bit. A watchdog notices when the stream
// dies, reopens it and reports the restart (lost buffers).
std::unique_ptr<AudioOutput> makePortAudioOutput();
// Renders and discards in blocks, paced by the monotonic clock.
std::unique_ptr<AudioOutput> makeNullAudioOutput(uint32_t sampleRate = 44100);
// Called on the recorder's writer thread before each write (tests stall it to play a slow disk).
using RecordingWriteHook = std::function<void()>;
// Like the null output, and writes every rendered frame to a 16-bit stereo WAV file at `path`
// (its header is brought up to date about once a second and when stopped). The writing happens
// on a thread of its own, fed through a ring of several seconds; stopping writes out the rest.
std::unique_ptr<AudioOutput> makeWavRecordingOutput(const std::string& path, uint32_t sampleRate = 44100,
                                                    RecordingWriteHook beforeEachWrite = {});

// A fixed ring of stereo frames between one producer and one consumer thread, without locks or
// allocation after construction (the recorder's hand-over from mixing to writing).
class FrameRing {
public:
    explicit FrameRing(uint32_t capacityFrames);
    ~FrameRing();
    FrameRing(const FrameRing&) = delete;
    FrameRing& operator=(const FrameRing&) = delete;
    // Producer. Hands over as many frames as there is room for and returns that count; the rest
    // is owed as silence, written ahead of the next frames once there is room, so what follows
    // keeps its place in time.
    uint32_t push(const int16_t* stereo, uint32_t frames) noexcept;
    // Consumer. Takes up to `maxFrames` frames; returns how many.
    uint32_t pop(int16_t* stereo, uint32_t maxFrames) noexcept;

private:
    const uint64_t capacity_;
    std::unique_ptr<int16_t[]> samples_;
    uint64_t owedFrames_ = 0; // producer only
    alignas(64) std::atomic<uint64_t> head_{0};
    alignas(64) std::atomic<uint64_t> tail_{0};
};

// The output named by a GROOVANE_AUDIO value: "portaudio" (also for an empty or unset value),
// "null" or "wav:PATH". An unknown value gives null with a reason in *warning.
std::unique_ptr<AudioOutput> makeAudioOutputFromSetting(const std::string& setting, std::string* warning);

// An output that runs only when a test pumps it, so mixed samples can be checked exactly. The
// clock time of frame n is startNs + n * 1e9 / rate (rounded down), and it is heard then; inject
// the same clock into the sound system to place Play calls on known frames.
class OfflineAudioOutput : public AudioOutput {
public:
    explicit OfflineAudioOutput(uint32_t sampleRate = 44100, uint32_t latencyFrames = 0, int64_t startNs = 0);
    std::string name() const override { return "offline"; }
    uint32_t sampleRate() const override { return sampleRate_; }
    uint32_t latencyFrames() const override { return latencyFrames_; }
    bool start(AudioRenderer& renderer, std::string* error) override;
    void stop() override;

    // Renders `frames` frames in blocks of at most `blockFrames` and returns them interleaved
    // (left, right, ...). Nothing rendered while stopped. Test thread (the "audio thread").
    std::vector<int16_t> pump(uint32_t frames, uint32_t blockFrames = 256);
    // Renders one block of `frames` into `out` (2 * frames samples), telling the mixer it is
    // heard at `heardNs`: a test's own schedule of device timings.
    void pumpHeardAt(int16_t* out, uint32_t frames, int64_t heardNs);
    // Frames rendered since start.
    uint64_t framesRendered() const { return framesRendered_; }
    // Clock time of output frame `frame`.
    int64_t timeOfFrame(uint64_t frame) const;
    // Simulates the card going away and coming back.
    void simulateRestart();
    // Simulates the card running dry before the next block.
    void simulateUnderflow();

private:
    uint32_t sampleRate_;
    uint32_t latencyFrames_;
    int64_t startNs_;
    uint64_t framesRendered_ = 0;
    AudioRenderer* renderer_ = nullptr;
};

} // namespace groovane
