// The process's mixer and output. The output is chosen lazily, when the first device is made,
// so a program that never makes sound never opens the card.
#include "platform/sound_system.h"

#include "platform/sound_mixer.h"

#include <chrono>
#include <cstdlib>
#include <iostream>

namespace groovane {

int64_t steadyNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

SoundSystem& SoundSystem::instance()
{
    // Never destroyed: buffers held by objects that die during exit may still refer to it. The
    // output is stopped at exit so no callback runs while the process tears down.
    static SoundSystem* system = [] {
        auto* created = new SoundSystem;
        std::atexit([] { instance().stopOutput(); });
        return created;
    }();
    return *system;
}

SoundSystem::SoundSystem() : mixer_(std::make_unique<SoundMixer>()), clock_(&steadyNanoseconds) {}

SoundSystem::~SoundSystem()
{
    if (output_)
        output_->stop();
    output_.reset();
    mixer_.reset();
}

void SoundSystem::ensureOutput()
{
    if (output_)
        return;
    const char* setting = std::getenv("GROOVANE_AUDIO");
    std::string warning;
    auto output = makeAudioOutputFromSetting(setting ? setting : "", &warning);
    if (!warning.empty())
        std::cerr << "groovane: " << warning << '\n';
    useOutput(std::move(output));
}

void SoundSystem::useOutput(std::unique_ptr<AudioOutput> output)
{
    if (output_) {
        output_->stop();
        output_.reset();
    }
    mixer_->setOutputFormat(output->sampleRate(), output->latencyFrames());
    std::string error;
    startFailure_.clear();
    if (!output->start(*mixer_, &error)) {
        std::cerr << "groovane: audio output \"" << output->name() << "\" cannot be opened (" << error
                  << "); using the null output\n";
        startFailure_ = (output->name() == "portaudio" ? std::string("The sound card")
                                                       : "The audio output \"" + output->name() + "\"") +
                        " cannot be opened (" + error + ")";
        output = makeNullAudioOutput();
        mixer_->setOutputFormat(output->sampleRate(), output->latencyFrames());
        output->start(*mixer_, &error);
    }
    // A stream knows its own latency only once it is open.
    mixer_->setLatencyFrames(output->latencyFrames());
    output_ = std::move(output);
}

OfflineAudioOutput& SoundSystem::useOfflineOutput(uint32_t sampleRate, uint32_t latencyFrames)
{
    auto output = std::make_unique<OfflineAudioOutput>(sampleRate, latencyFrames);
    OfflineAudioOutput& offline = *output;
    useOutput(std::move(output));
    return offline;
}

AudioOutput* SoundSystem::output() const
{
    return output_.get();
}

void SoundSystem::stopOutput()
{
    if (!output_)
        return;
    output_->stop();
    output_.reset();
}

std::string SoundSystem::outputFailure() const
{
    if (!startFailure_.empty())
        return startFailure_;
    if (output_ && output_->isLost())
        return "The sound card was lost and has not come back";
    return {};
}

std::optional<std::string> NoSoundNotice::take(const SoundSystem& system)
{
    if (isTold_)
        return std::nullopt;
    const std::string failure = system.outputFailure();
    if (failure.empty())
        return std::nullopt;
    isTold_ = true;
    return failure + ".\n\nPlayback is silent until the program is started again with sound. To record what "
                     "it plays into a WAV file instead, start it with GROOVANE_AUDIO=wav:FILE.wav in its "
                     "environment.";
}

void SoundSystem::setClock(NanosecondClock clock)
{
    clock_ = clock ? std::move(clock) : NanosecondClock(&steadyNanoseconds);
}

int64_t SoundSystem::now() const
{
    return clock_();
}

int64_t SoundSystem::playTime() const
{
    const int64_t stamp = playTimeStamp_.load(std::memory_order_relaxed);
    return stamp != kNoStamp ? stamp : now();
}

int64_t SoundSystem::playCue() const
{
    const int64_t stamp = playTimeStamp_.load(std::memory_order_relaxed);
    return stamp != kNoStamp ? stamp : kAsSoonAsPossible;
}

PlayTimeStamp::PlayTimeStamp(SoundSystem& system, int64_t timeNs)
    : system_(system),
      previous_(system.playTimeStamp_.exchange(timeNs, std::memory_order_relaxed))
{}

PlayTimeStamp::~PlayTimeStamp()
{
    system_.playTimeStamp_.store(previous_, std::memory_order_relaxed);
}

int64_t millisecondClockToNs(uint32_t ms, int64_t nowNs)
{
    constexpr int64_t kNsPerMs = 1'000'000;
    // Floor division, so a clock before its epoch still maps onto whole milliseconds.
    const int64_t nowMs = nowNs / kNsPerMs - (nowNs % kNsPerMs < 0 ? 1 : 0);
    const int32_t behind = static_cast<int32_t>(static_cast<uint32_t>(nowMs) - ms);
    return (nowMs - behind) * kNsPerMs;
}

void SoundSystem::collectGarbage()
{
    mixer_->collectGarbage();
}

} // namespace groovane
