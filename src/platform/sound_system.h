// The one mixer of the process and the output it feeds. Every sound device (of every window)
// is made on a sound system and mixes into it, so all windows sum into one output. The program
// uses the process's instance, whose output is chosen by GROOVANE_AUDIO on first use; tests
// install an offline output and a clock of their own.
#pragma once

#include "audio_output.h"
#include "sound_device.h"

#include <cstdint>
#include <functional>
#include <memory>

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

    // Replaces the clock used to timestamp Play (tests); an empty one restores the monotonic
    // clock. UI thread, while nothing plays.
    void setClock(NanosecondClock clock);
    int64_t now() const;

    // Makes a device mixing into this system. UI thread.
    HRESULT createDevice(std::shared_ptr<SoundDevice>* device);

    // Frees what the mixer has let go of (stopped voices of released buffers, closed devices).
    // Device calls do this by themselves; UI thread.
    void collectGarbage();

    SoundMixer& mixer() { return *mixer_; }

private:
    std::unique_ptr<SoundMixer> mixer_;
    std::unique_ptr<AudioOutput> output_;
    NanosecondClock clock_;
};

} // namespace groovane
