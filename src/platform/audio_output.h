// The sound card behind the software sound device. The mixer (sound_system.h) produces 16-bit
// stereo frames at the output's rate; an output pulls them. Back ends: PortAudio (the real card),
// null (paced in real time, for machines without a card), a WAV recorder (paced in real time,
// writes what would have been heard) and an offline output that tests pump by hand so they can
// read back the exact mixed samples.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace groovane {

// What an output pulls from. Implemented by the mixer.
class AudioRenderer {
public:
    virtual ~AudioRenderer() = default;
    // Fills `frames` interleaved stereo frames. `blockStartNs` is the clock reading (the sound
    // system's clock) that corresponds to the first frame. Audio thread: never blocks, allocates
    // or throws.
    virtual void render(int16_t* stereo, uint32_t frames, int64_t blockStartNs) noexcept = 0;
    // The output failed and has come back: buffers made before now report lost until restored.
    // Any thread.
    virtual void outputRestarted() noexcept = 0;
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    virtual std::string name() const = 0;
    virtual uint32_t sampleRate() const = 0;
    // Fixed distance between the clock reading of a Play and the output frame it starts on.
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
// Like the null output, and writes every rendered frame to a 16-bit stereo WAV file at `path`
// (its header is brought up to date about once a second and when stopped).
std::unique_ptr<AudioOutput> makeWavRecordingOutput(const std::string& path,
                                                    uint32_t sampleRate = 44100);

// The output named by a GROOVANE_AUDIO value: "portaudio" (also for an empty or unset value),
// "null" or "wav:PATH". An unknown value gives null with a reason in *warning.
std::unique_ptr<AudioOutput> makeAudioOutputFromSetting(const std::string& setting,
                                                        std::string* warning);

// An output that runs only when a test pumps it, so mixed samples can be checked exactly. The
// clock time of frame n is startNs + n * 1e9 / rate (rounded down); inject the same clock into
// the sound system to place Play calls on known frames.
class OfflineAudioOutput : public AudioOutput {
public:
    explicit OfflineAudioOutput(uint32_t sampleRate = 44100, uint32_t latencyFrames = 0,
                                int64_t startNs = 0);
    std::string name() const override { return "offline"; }
    uint32_t sampleRate() const override { return sampleRate_; }
    uint32_t latencyFrames() const override { return latencyFrames_; }
    bool start(AudioRenderer& renderer, std::string* error) override;
    void stop() override;

    // Renders `frames` frames in blocks of at most `blockFrames` and returns them interleaved
    // (left, right, ...). Nothing rendered while stopped. Test thread (the "audio thread").
    std::vector<int16_t> pump(uint32_t frames, uint32_t blockFrames = 256);
    // Frames rendered since start.
    uint64_t framesRendered() const { return framesRendered_; }
    // Clock time of output frame `frame`.
    int64_t timeOfFrame(uint64_t frame) const;
    // Simulates the card going away and coming back.
    void simulateRestart();

private:
    uint32_t sampleRate_;
    uint32_t latencyFrames_;
    int64_t startNs_;
    uint64_t framesRendered_ = 0;
    AudioRenderer* renderer_ = nullptr;
};

} // namespace groovane
