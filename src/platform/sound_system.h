// The one mixer of the process and the output it feeds. Every sound device (of every window)
// is made on a sound system and mixes into it, so all windows sum into one output. The program
// uses the process's instance, whose output is chosen by GROOVANE_AUDIO on first use; tests
// install an offline output and a clock of their own.
#pragma once

#include "platform/audio_output.h"
#include "platform/sound_device.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>

namespace groovane {

class SoundMixer;

// Nanoseconds from an arbitrary start; the time base that places Play calls on output frames.
using NanosecondClock = std::function<int64_t()>;

// The monotonic clock in nanoseconds. Any thread.
int64_t steadyNanoseconds();

class SoundSystem {
public:
    // The process's sound system. Any thread may ask; the calls below are UI-thread calls.
    static SoundSystem& instance();

    SoundSystem();
    // Stops the output. Every device and buffer made on this system must be gone by then.
    ~SoundSystem();
    SoundSystem(const SoundSystem&) = delete;
    SoundSystem& operator=(const SoundSystem&) = delete;

    // Starts the output named by GROOVANE_AUDIO if none runs yet. When it cannot be opened, one
    // line goes to stderr and the null output is used instead. UI thread.
    void ensureOutput();
    // Stops the running output (if any) and starts `output` (not null). A failure to start falls back to
    // the null output with one line on stderr. UI thread.
    void useOutput(std::unique_ptr<AudioOutput> output);
    // Convenience for tests: installs and returns an offline output. UI thread.
    OfflineAudioOutput& useOfflineOutput(uint32_t sampleRate = 44100, uint32_t latencyFrames = 0);
    // The running output, or null. UI thread.
    AudioOutput* output() const;
    // Stops and drops the running output, if any: nothing is mixed any more, and a device made
    // or played afterwards stays silent. For the program's end, before its windows go. UI thread.
    void stopOutput();
    // What keeps the sound from being heard, in words for the user: the output asked for could
    // not be opened (the null output plays instead), or it was lost and has not come back.
    // Empty while sound is heard. UI thread.
    std::string outputFailure() const;

    // Replaces the clock used to timestamp Play (tests); an empty one restores the monotonic
    // clock. UI thread, while nothing plays.
    void setClock(NanosecondClock clock);
    int64_t now() const;
    // The time a Play is placed at: the stamp of the innermost PlayTimeStamp alive, otherwise
    // now(). The device's Play reads it. Any thread.
    int64_t playTime() const;
    // What a Play is placed by: the stamp of the innermost PlayTimeStamp alive, otherwise
    // kAsSoonAsPossible (a sound started by hand starts on the first frame not mixed yet). Any
    // thread.
    int64_t playCue() const;

    // Makes a device mixing into this system. UI thread.
    HRESULT createDevice(std::shared_ptr<SoundDevice>* device);

    // Frees what the mixer has let go of (stopped voices of released buffers, closed devices).
    // Device calls do this by themselves; UI thread.
    void collectGarbage();

    SoundMixer& mixer() { return *mixer_; }

private:
    friend class PlayTimeStamp;
    static constexpr int64_t kNoStamp = std::numeric_limits<int64_t>::min();

    std::unique_ptr<SoundMixer> mixer_;
    std::unique_ptr<AudioOutput> output_;
    std::string startFailure_; // why the output asked for last could not be opened
    NanosecondClock clock_;
    std::atomic<int64_t> playTimeStamp_{kNoStamp};
};

// Tells the user once per run that nothing is heard: the first time the sound system reports
// an output failure, take() gives the message box's text (what failed, that playback is silent,
// that the wav: output records instead); never again after that. UI thread.
class NoSoundNotice {
public:
    std::optional<std::string> take(const SoundSystem& system);

private:
    bool isTold_ = false;
};

// While one lives, every sound started on `system` is placed at `timeNs` (the system's clock)
// plus the output latency, instead of on the first frame not mixed yet. A step timer's tick
// stamps its sounds with the tick's own time this way, so ticks that come on time sound exactly
// one interval apart however long the tick's work took. A stamp that the mixer gets after its
// frame has passed sounds as soon as possible. Stamps nest: the inner one wins until it ends.
// UI thread.
class PlayTimeStamp {
public:
    PlayTimeStamp(SoundSystem& system, int64_t timeNs);
    ~PlayTimeStamp();
    PlayTimeStamp(const PlayTimeStamp&) = delete;
    PlayTimeStamp& operator=(const PlayTimeStamp&) = delete;

private:
    SoundSystem& system_;
    int64_t previous_;
};

// The reading of the nanosecond clock at the start of millisecond `ms` of the 32-bit
// millisecond clock (timeGetTime: the same monotonic clock in whole milliseconds, wrapping
// after about 49.7 days). The wrapped count is taken as the millisecond nearest to `nowNs`
// with those low 32 bits. Any thread.
int64_t millisecondClockToNs(uint32_t ms, int64_t nowNs);

} // namespace groovane
