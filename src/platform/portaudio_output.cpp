// The real sound card, through PortAudio: 44100 Hz, stereo, 16-bit. A watchdog thread notices
// when the stream stops by itself (sound server restarted, card unplugged), reopens it, and
// tells the mixer so buffers report lost until the sound layer restores them.
//
// The device buffer is sized for a busy desktop (about 100 ms, in blocks of 1024 frames), and
// the audio thread, with the threads a sound server's client library starts for the stream, asks
// for real-time scheduling where the system grants it. Each block tells the mixer when it will
// be heard from PortAudio's own timing (the block's DAC time against the stream's clock, carried
// over to the monotonic clock at that moment), so a late or bursty callback does not move a hit,
// and says when the output ran dry; the mixer's frame clock keeps a dead band around those times.
//
// A stream costs the processor even when it carries silence, so after kIdlePauseSeconds with
// nothing playing the watchdog stops it, and the first thing asked of the mixer after that starts
// it again (the mixer's frame clock takes the new timing on its first block).
#include "platform/audio_output.h"

#include "platform/sound_system.h"

#include <portaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace groovane {

namespace {

// The sound libraries below PortAudio print their probing (missing servers, unused plug-ins) on
// stderr. While the card is being opened stderr goes to /dev/null, so that a machine without a
// card shows only the one line the sound system writes about falling back.
class QuietStderr {
public:
    QuietStderr() : saved_(::dup(2))
    {
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) {
            ::dup2(null, 2);
            ::close(null);
        }
    }
    ~QuietStderr()
    {
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
constexpr unsigned long kBlockFrames = 1024;
// The device buffer asked for: a loaded machine delays the audio thread by tens of
// milliseconds now and then, and the buffer must outlast that.
constexpr double kSuggestedLatencySeconds = 0.1;
// What a step tick's sounds carry beyond how far ahead blocks are mixed: the delays between a
// tick's time and its Play calls reaching the mixer, which on a loaded desktop reach tens of
// milliseconds when the UI thread waits for a core.
constexpr uint32_t kTickMarginMs = 50;
// The steps in which the mixing lead grows, and the most that counts as one: a block timed
// further ahead comes from a stream that is not playing yet.
constexpr int64_t kLeadStepNs = 20'000'000;
constexpr int64_t kMaxLeadNs = 1'000'000'000;
// How long nothing must have played before the stream is stopped: a musician between two
// clicks keeps it running, a program left open does not.
constexpr int kIdlePauseSeconds = 10;
// The real-time priority asked for the audio thread (SCHED_FIFO), within RLIMIT_RTPRIO.
constexpr int kRealtimePriority = 20;

// Asks for real-time scheduling of the calling thread when the system grants it: root, or a
// RLIMIT_RTPRIO above 0. Silently nothing otherwise.
// The real-time priority the system grants this process, or 0 for none.
int grantedRealtimePriority()
{
    if (::geteuid() == 0)
        return kRealtimePriority;
    rlimit limit{};
    if (::getrlimit(RLIMIT_RTPRIO, &limit) != 0 || limit.rlim_cur == 0)
        return 0;
    if (limit.rlim_cur == RLIM_INFINITY)
        return kRealtimePriority;
    return std::min<int>(kRealtimePriority, static_cast<int>(limit.rlim_cur));
}

void requestRealtimeScheduling()
{
    const int priority = grantedRealtimePriority();
    if (priority == 0)
        return;
    sched_param param{};
    param.sched_priority = priority;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

// The threads of this process, by their kernel ids.
std::vector<pid_t> processThreads()
{
    std::vector<pid_t> threads;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", error)) {
        const std::string name = entry.path().filename().string();
        if (!name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
            threads.push_back(static_cast<pid_t>(std::stol(name)));
    }
    std::sort(threads.begin(), threads.end());
    return threads;
}

// A sound server's client library moves the blocks to the server on a thread of its own, which
// a busy desktop starves just as it would the audio thread: the threads that opening and
// starting the stream made (`before` lists those that were there) get the same real-time
// scheduling where the system grants it. Silently nothing otherwise.
void requestRealtimeSchedulingOfNewThreads(const std::vector<pid_t>& before)
{
    const int priority = grantedRealtimePriority();
    if (priority == 0)
        return;
    sched_param param{};
    param.sched_priority = priority;
    for (const pid_t thread : processThreads())
        if (!std::binary_search(before.begin(), before.end(), thread))
            ::sched_setscheduler(thread, SCHED_FIFO, &param);
}

class PortAudioOutput final : public AudioOutput {
public:
    ~PortAudioOutput() override { stop(); }

    std::string name() const override { return "portaudio"; }
    uint32_t sampleRate() const override { return kRate; }
    // How far ahead of its hearing a block is mixed (at first the stream's reported latency and
    // a block, then the most its callbacks have shown) and the UI thread's margin.
    uint32_t latencyFrames() const override { return latencyFrames_.load(std::memory_order_relaxed); }

    bool start(AudioRenderer& renderer, std::string* error) override
    {
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
        renderer.setWakeHandler([this] { resumeWhenPaused(); });
        watchdog_ = std::thread([this] { watch(); });
        return true;
    }

    void stop() override
    {
        {
            std::lock_guard lock(mutex_);
            isRunning_ = false;
        }
        wake_.notify_all();
        if (watchdog_.joinable())
            watchdog_.join();
        if (renderer_)
            renderer_->setWakeHandler({});
        closeStream();
        if (isInitialized_) {
            Pa_Terminate();
            isInitialized_ = false;
        }
    }

private:
    static int callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo* time,
                        PaStreamCallbackFlags flags, void* user)
    {
        auto* self = static_cast<PortAudioOutput*>(user);
        if (!self->isRealtimeAsked_) {
            self->isRealtimeAsked_ = true;
            requestRealtimeScheduling();
        }
        // How far ahead of now the block is heard, by the stream's clock read now (the time
        // info's currentTime may have been taken before an earlier block of the same burst);
        // a host that gives no times gets the stream's latency.
        const double streamNow = Pa_GetStreamTime(self->stream_);
        const int64_t now = steadyNanoseconds();
        int64_t aheadNs = self->streamLatencyNs_;
        if (time && time->outputBufferDacTime > 0 && streamNow > 0) {
            const double ahead = time->outputBufferDacTime - streamNow;
            if (ahead > -1.0 && ahead < 2.0)
                aheadNs = static_cast<int64_t>(ahead * 1e9);
        }
        self->followLead(aheadNs + static_cast<int64_t>(frames) * 1'000'000'000 / kRate);
        if (flags & paOutputUnderflow)
            self->renderer_->outputUnderflowed();
        self->renderer_->render(static_cast<int16_t*>(output), static_cast<uint32_t>(frames), now + aheadNs);
        return paContinue;
    }

    // Audio thread. A step tick's sounds must reach the mixer before their frame is mixed, so
    // their latency covers the furthest ahead of its hearing a block is mixed (`leadNs`: from
    // now to the end of the block), which through a sound server exceeds the latency the stream
    // reports. It only grows, in steps of kLeadStepNs, so that it settles within the first
    // blocks and a hit moves at most once.
    void followLead(int64_t leadNs) noexcept
    {
        if (leadNs <= leadNs_ || leadNs > kMaxLeadNs)
            return;
        leadNs_ = (leadNs + kLeadStepNs - 1) / kLeadStepNs * kLeadStepNs;
        publishLatency();
    }

    // The latency a tick's sounds carry: the lead and the UI thread's margin.
    void publishLatency() noexcept
    {
        const auto frames = static_cast<uint32_t>(leadNs_ * kRate / 1'000'000'000 + kRate * kTickMarginMs / 1000);
        latencyFrames_.store(frames, std::memory_order_relaxed);
        if (renderer_)
            renderer_->outputLatencyChanged(frames);
    }

    bool openStream(std::string* reason)
    {
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
        params.suggestedLatency =
            info ? std::max(info->defaultHighOutputLatency, kSuggestedLatencySeconds) : kSuggestedLatencySeconds;
        isRealtimeAsked_ = false;
        const std::vector<pid_t> threadsBefore = processThreads();
        PaError err = Pa_OpenStream(&stream_, nullptr, &params, kRate, kBlockFrames, paNoFlag, &callback, this);
        if (err == paNoError) {
            const PaStreamInfo* stream = Pa_GetStreamInfo(stream_);
            const double latency =
                stream && stream->outputLatency > 0 ? stream->outputLatency : params.suggestedLatency;
            streamLatencyNs_ = static_cast<int64_t>(latency * 1e9);
            // A reopened stream starts again from what it reports (its callbacks have not run):
            // through a sound server's plugin, blocks come in pairs, each mixed a block ahead.
            leadNs_ = streamLatencyNs_ + 2 * static_cast<int64_t>(kBlockFrames) * 1'000'000'000 / kRate;
            publishLatency();
        }
        if (err == paNoError)
            err = Pa_StartStream(stream_);
        if (err == paNoError)
            requestRealtimeSchedulingOfNewThreads(threadsBefore);
        if (err != paNoError) {
            *reason = Pa_GetErrorText(err);
            closeStream();
            return false;
        }
        return true;
    }

    void closeStream()
    {
        if (!stream_)
            return;
        Pa_AbortStream(stream_);
        Pa_CloseStream(stream_);
        stream_ = nullptr;
    }

    // UI thread, on everything asked of the mixer: a paused stream is started again by the
    // watchdog. Takes the lock only to hand over the request.
    void resumeWhenPaused()
    {
        if (!isPaused_.load())
            return;
        {
            std::lock_guard lock(mutex_);
            isResumeAsked_ = true;
        }
        wake_.notify_all();
    }

    // Watchdog thread. Stops a stream that has had nothing to play for kIdlePauseSeconds. The
    // pause is announced before the mixer is asked whether it is idle, and the mixer counts a
    // command before it wakes the output, so a command arriving meanwhile is never left waiting.
    void pauseWhenIdle(std::unique_lock<std::mutex>& lock)
    {
        const int64_t since = steadyNanoseconds() - int64_t{kIdlePauseSeconds} * 1'000'000'000;
        if (!renderer_->isIdleSince(since))
            return;
        isPaused_.store(true);
        if (!renderer_->isIdleSince(since)) {
            isPaused_.store(false);
            return;
        }
        lock.unlock();
        Pa_StopStream(stream_);
        renderer_->outputPaused();
        lock.lock();
    }

    void watch()
    {
        std::unique_lock lock(mutex_);
        bool isBroken = false;
        while (isRunning_) {
            wake_.wait_for(lock, std::chrono::milliseconds(isBroken ? 1000 : 250),
                           [this] { return !isRunning_ || isResumeAsked_; });
            if (!isRunning_)
                break;
            if (isPaused_.load()) {
                if (!isResumeAsked_)
                    continue;
                isResumeAsked_ = false;
                // PortAudio starts a new audio thread with the stream, which asks for real-time
                // scheduling afresh.
                isRealtimeAsked_ = false;
                lock.unlock();
                isBroken = Pa_StartStream(stream_) != paNoError;
                lock.lock();
                isPaused_.store(false);
                if (!isBroken)
                    continue;
            }
            isResumeAsked_ = false;
            if (!isBroken && stream_ && Pa_IsStreamActive(stream_) == 1) {
                pauseWhenIdle(lock);
                continue;
            }
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
    std::atomic<uint32_t> latencyFrames_{static_cast<uint32_t>(kRate * kSuggestedLatencySeconds) + kBlockFrames +
                                         kRate * kTickMarginMs / 1000};
    int64_t streamLatencyNs_ = static_cast<int64_t>(kSuggestedLatencySeconds * 1e9);
    // How far ahead of its hearing a block has been mixed at most, rounded up to kLeadStepNs.
    // Written while the stream opens (no callback runs) and by the audio thread.
    int64_t leadNs_ = 0;
    bool isRealtimeAsked_ = false; // audio thread, reset before each stream opens
    bool isInitialized_ = false;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool isRunning_ = false;
    bool isResumeAsked_ = false; // under mutex_
    // The watchdog stopped the stream for lack of anything to play (pauseWhenIdle).
    std::atomic<bool> isPaused_{false};
    std::thread watchdog_;
};

} // namespace

std::unique_ptr<AudioOutput> makePortAudioOutput()
{
    return std::make_unique<PortAudioOutput>();
}

} // namespace groovane
