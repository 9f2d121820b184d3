// The real sound card, through PortAudio: 44100 Hz, stereo, 16-bit, small blocks. A watchdog
// thread notices when the stream stops by itself (sound server restarted, card unplugged),
// reopens it, and tells the mixer so buffers report lost until the sound layer restores them.
#include "audio_output.h"

#include "sound_system.h"

#include <portaudio.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace groovane {

namespace {

// The sound libraries below PortAudio print their probing (missing servers, unused plug-ins) on
// stderr. While the card is being opened stderr goes to /dev/null, so that a machine without a
// card shows only the one line the sound system writes about falling back.
class QuietStderr {
public:
    QuietStderr() : saved_(::dup(2)) {
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) {
            ::dup2(null, 2);
            ::close(null);
        }
    }
    ~QuietStderr() {
        if (saved_ >= 0) {
            ::dup2(saved_, 2);
            ::close(saved_);
        }
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_;
};

constexpr uint32_t kRate = 44100;
constexpr unsigned long kBlockFrames = 256;

class PortAudioOutput final : public AudioOutput {
public:
    ~PortAudioOutput() override { stop(); }

    std::string name() const override { return "portaudio"; }
    uint32_t sampleRate() const override { return kRate; }
    // 40 ms: a block, the jitter of its callback and the UI thread's usual delays between a
    // step timer's tick and its Play calls.
    uint32_t latencyFrames() const override { return kRate * 40 / 1000; }

    bool start(AudioRenderer& renderer, std::string* error) override {
        renderer_ = &renderer;
        QuietStderr quiet;
        const PaError init = Pa_Initialize();
        if (init != paNoError) {
            if (error)
                *error = Pa_GetErrorText(init);
            return false;
        }
        isInitialized_ = true;
        std::string reason;
        if (!openStream(&reason)) {
            if (error)
                *error = reason;
            Pa_Terminate();
            isInitialized_ = false;
            return false;
        }
        isRunning_ = true;
        watchdog_ = std::thread([this] { watch(); });
        return true;
    }

    void stop() override {
        {
            std::lock_guard lock(mutex_);
            isRunning_ = false;
        }
        wake_.notify_all();
        if (watchdog_.joinable())
            watchdog_.join();
        closeStream();
        if (isInitialized_) {
            Pa_Terminate();
            isInitialized_ = false;
        }
    }

private:
    static int callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags, void* user) {
        auto* self = static_cast<PortAudioOutput*>(user);
        self->renderer_->render(static_cast<int16_t*>(output), static_cast<uint32_t>(frames), steadyNanoseconds());
        return paContinue;
    }

    bool openStream(std::string* reason) {
        const PaDeviceIndex device = Pa_GetDefaultOutputDevice();
        if (device == paNoDevice) {
            *reason = "no sound card";
            return false;
        }
        const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
        PaStreamParameters params{};
        params.device = device;
        params.channelCount = 2;
        params.sampleFormat = paInt16;
        params.suggestedLatency = info ? info->defaultLowOutputLatency : 0.02;
        PaError err = Pa_OpenStream(&stream_, nullptr, &params, kRate, kBlockFrames, paNoFlag, &callback, this);
        if (err == paNoError)
            err = Pa_StartStream(stream_);
        if (err != paNoError) {
            *reason = Pa_GetErrorText(err);
            closeStream();
            return false;
        }
        return true;
    }

    void closeStream() {
        if (!stream_)
            return;
        Pa_AbortStream(stream_);
        Pa_CloseStream(stream_);
        stream_ = nullptr;
    }

    void watch() {
        std::unique_lock lock(mutex_);
        bool isBroken = false;
        while (isRunning_) {
            wake_.wait_for(lock, std::chrono::milliseconds(isBroken ? 1000 : 250));
            if (!isRunning_)
                break;
            if (!isBroken && stream_ && Pa_IsStreamActive(stream_) == 1)
                continue;
            // The stream died: reopen it, with a fresh PortAudio so a new card is found.
            QuietStderr quiet;
            closeStream();
            Pa_Terminate();
            Pa_Initialize();
            std::string reason;
            isBroken = !openStream(&reason);
            failedReopens = isBroken ? failedReopens + 1 : 0;
            isLost_.store(failedReopens >= kReopensBeforeLost, std::memory_order_relaxed);
            if (!isBroken)
                renderer_->outputRestarted();
        }
    }

public:
    bool isLost() const override { return isLost_.load(std::memory_order_relaxed); }

private:
    // A card that has not come back after this many reopens, a second apart, counts as lost: a
    // sound server restarting is back well within it.
    static constexpr int kReopensBeforeLost = 10;
    int failedReopens = 0;
    std::atomic<bool> isLost_{false};

    AudioRenderer* renderer_ = nullptr;
    PaStream* stream_ = nullptr;
    bool isInitialized_ = false;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool isRunning_ = false;
    std::thread watchdog_;
};

} // namespace

std::unique_ptr<AudioOutput> makePortAudioOutput() { return std::make_unique<PortAudioOutput>(); }

} // namespace groovane
