// The mixer. Everything below "Audio thread" runs inside the output's callback: it takes no
// lock, allocates nothing, throws nothing and touches no file. Voices are mixed at their
// device's primary rate with linear interpolation, summed in floating point, saturated and
// quantized to the primary's width (an 8-bit primary keeps only 8 bits), then each device's
// primary frames are interpolated to the output rate and summed into the output, saturating.
// With equal rates and unit frequency every step is exact, so tests can expect exact samples.
#include "platform/sound_mixer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace groovane {

namespace {

std::atomic<bool> applicationActive{true};

constexpr float kFracScale = 1.0f / 4294967296.0f;

float gainLeft(uint64_t packed)
{
    return std::bit_cast<float>(static_cast<uint32_t>(packed));
}
float gainRight(uint64_t packed)
{
    return std::bit_cast<float>(static_cast<uint32_t>(packed >> 32));
}

uint32_t formatRate(uint64_t format)
{
    return static_cast<uint32_t>(format);
}
uint16_t formatBits(uint64_t format)
{
    return static_cast<uint16_t>(format >> 32);
}
uint16_t formatChannels(uint64_t format)
{
    return static_cast<uint16_t>(format >> 48);
}

// One sample of a frame as a value on the 16-bit scale.
template <int Bits>
inline float sampleAt(const uint8_t* frame, int channel) noexcept
{
    if constexpr (Bits == 8) {
        return static_cast<float>((static_cast<int>(frame[channel]) - 128) * 256);
    } else {
        int16_t value;
        std::memcpy(&value, frame + 2 * channel, sizeof value);
        return static_cast<float>(value);
    }
}

// Adds `count` frames of one voice to `out` (stereo floats) starting at the voice's position.
// Returns true when a one-shot voice has run past its end.
template <int Bits, int Channels>
bool mixVoice(Voice& voice, float* out, uint32_t count, uint64_t step, float left, float right) noexcept
{
    constexpr uint32_t frameBytes = Bits / 8 * Channels;
    const uint8_t* samples = voice.samples;
    const uint64_t frames = voice.frames;
    const uint64_t end = frames << 32;
    const bool looping = voice.isLooping;
    uint64_t pos = voice.position;
    uint32_t k = 0;
    while (k < count) {
        if (pos >= end) {
            if (!looping) {
                voice.position = pos;
                return true;
            }
            pos = (((pos >> 32) % frames) << 32) | (pos & 0xFFFFFFFFu);
        }
        const uint64_t index = pos >> 32;
        if (index + 1 < frames) {
            // Every frame of this run has its successor inside the buffer: no end checks.
            const uint64_t limit = (frames - 1) << 32;
            uint64_t run = (limit - pos - 1) / step + 1;
            run = std::min<uint64_t>(run, count - k);
            for (uint64_t r = 0; r < run; ++r, ++k, pos += step) {
                const uint8_t* a = samples + (pos >> 32) * frameBytes;
                const float f = static_cast<float>(static_cast<uint32_t>(pos)) * kFracScale;
                const float l0 = sampleAt<Bits>(a, 0);
                const float l = l0 + (sampleAt<Bits>(a + frameBytes, 0) - l0) * f;
                if constexpr (Channels == 1) {
                    out[2 * k] += l * left;
                    out[2 * k + 1] += l * right;
                } else {
                    const float r0 = sampleAt<Bits>(a, 1);
                    const float rv = r0 + (sampleAt<Bits>(a + frameBytes, 1) - r0) * f;
                    out[2 * k] += l * left;
                    out[2 * k + 1] += rv * right;
                }
            }
        } else {
            // The last frame: it leads into the first again when looping, into silence otherwise.
            const uint8_t* a = samples + index * frameBytes;
            const float f = static_cast<float>(static_cast<uint32_t>(pos)) * kFracScale;
            const float l0 = sampleAt<Bits>(a, 0);
            const float l1 = looping ? sampleAt<Bits>(samples, 0) : 0.0f;
            const float l = l0 + (l1 - l0) * f;
            if constexpr (Channels == 1) {
                out[2 * k] += l * left;
                out[2 * k + 1] += l * right;
            } else {
                const float r0 = sampleAt<Bits>(a, 1);
                const float r1 = looping ? sampleAt<Bits>(samples, 1) : 0.0f;
                out[2 * k] += l * left;
                out[2 * k + 1] += (r0 + (r1 - r0) * f) * right;
            }
            ++k;
            pos += step;
        }
    }
    if (pos >= end) {
        if (!looping) {
            voice.position = pos;
            return true;
        }
        pos = (((pos >> 32) % frames) << 32) | (pos & 0xFFFFFFFFu);
    }
    voice.position = pos;
    return false;
}

inline int32_t quantize(float value, bool eightBit) noexcept
{
    if (eightBit) {
        const float v = std::clamp(value * (1.0f / 256.0f), -128.0f, 127.0f);
        return static_cast<int32_t>(std::lrint(v)) * 256;
    }
    return static_cast<int32_t>(std::lrint(std::clamp(value, -32768.0f, 32767.0f)));
}

// The generation the UI side may take as applied: a rewind still waiting for its frame holds
// it back, so the UI keeps reporting the cursor it asked for until the move has happened.
uint32_t visibleGeneration(const Voice& voice) noexcept
{
    uint32_t generation = voice.appliedGeneration;
    for (uint32_t i = 0; i < voice.cueCount; ++i)
        if (voice.cues[i].kind == VoiceCue::Kind::Rewind &&
            static_cast<int32_t>(voice.cues[i].generation - 1 - generation) < 0)
            generation = voice.cues[i].generation - 1;
    return generation;
}

void publish(Voice& voice) noexcept
{
    voice.published.store((uint64_t{visibleGeneration(voice)} << 32) | static_cast<uint32_t>(voice.position >> 32),
                          std::memory_order_release);
}

// The frame clock runs at the nominal rate, untouched while the output's timing stays within a
// dead band of it. Two hits one step apart must stay exactly that many frames apart, so the clock
// may move by less than a frame over a step, a few parts in 100,000; a sound server's reported
// delays wander from the true ones by milliseconds over seconds, by tens of milliseconds for
// half a minute on a loaded machine, and drift by a few more over minutes, and a clock that
// followed them would move every hit. When the smoothed timing error leaves the band, the output
// has really moved (a card's crystal drifted that far, a skip nobody reported): the clock anchors
// anew at once and what is scheduled keeps its time, so one step moves instead of all of
// them for a while. A departure of a skip's size (kDiscontinuityNs), or any after the output
// said it ran dry, is taken on its first block.
constexpr double kDeadBandNs = 50'000'000;
// The smoothing of the error per block (about a second at blocks of 1024 frames), so that no
// single block's timing carries it out of the band.
constexpr double kErrorSmoothing = 0.05;
// After an anchor (the first block, or a skip) the offset settles for this long on the mean
// error of the blocks since: a stream's first blocks are timed before it
// really plays, and one block's timing is off by as much as the rest wander.
constexpr uint32_t kSettleSeconds = 1;
// A time this close (in frames) before a frame's start counts as that frame, so a time taken
// from a frame's own clock reading lands on that frame despite nanosecond rounding.
constexpr double kFrameTolerance = 0.001;

} // namespace

uint64_t packGains(float left, float right)
{
    return uint64_t{std::bit_cast<uint32_t>(left)} | (uint64_t{std::bit_cast<uint32_t>(right)} << 32);
}

uint64_t packPrimaryFormat(uint32_t rate, uint16_t bits, uint16_t channels)
{
    return uint64_t{rate} | (uint64_t{bits} << 32) | (uint64_t{channels} << 48);
}

DeviceMix::DeviceMix()
    : primaryFormat(packPrimaryFormat(22050, 8, 2)),
      scratch(new int32_t[2 * kPrimaryScratchFrames]()),
      sum(new float[2 * kPrimaryScratchFrames]())
{}

SoundMixer::SoundMixer() : commands_(kCommandQueueCapacity), retired_(kCommandQueueCapacity + kMaxDevices) {}

SoundMixer::~SoundMixer()
{
    // No output pulls any more: apply what is still queued here so hand-overs complete, then
    // free everything that came back.
    while (const Command* command = commands_.front()) {
        if (!apply(*command, frameCounter_))
            break;
        commands_.pop();
    }
    for (const Command& command : unsentReleases_)
        apply(command, frameCounter_);
    unsentReleases_.clear();
    Retired item;
    while (retired_.tryPop(&item))
        freeRetired(item);
}

void SoundMixer::setOutputFormat(uint32_t sampleRate, uint32_t latencyFrames)
{
    outputRate_ = sampleRate;
    latencyFrames_.store(latencyFrames, std::memory_order_relaxed);
    isAnchored_ = false;
}

void SoundMixer::setApplicationActive(bool active)
{
    applicationActive.store(active, std::memory_order_relaxed);
}
bool SoundMixer::isApplicationActive()
{
    return applicationActive.load(std::memory_order_relaxed);
}

bool SoundMixer::pushCommand(const Command& command)
{
    std::lock_guard lock(producerMutex_);
    if (!commands_.push(command)) {
        if (command.kind != CommandKind::ReleaseVoice && command.kind != CommandKind::RemoveDevice)
            return false;
        unsentReleases_.push_back(command); // sent again by collectGarbage
    }
    // Counted before the output is woken: an output pausing at the same moment sees either the
    // count or the wake (isIdleSince).
    postedCommands_.fetch_add(1);
    if (wakeHandler_)
        wakeHandler_();
    return true;
}

bool SoundMixer::post(const Command& command)
{
    return pushCommand(command);
}

void SoundMixer::setWakeHandler(std::function<void()> handler)
{
    std::lock_guard lock(producerMutex_);
    wakeHandler_ = std::move(handler);
}

bool SoundMixer::isIdleSince(int64_t sinceNs) const noexcept
{
    return takenCommands_.load() == postedCommands_.load() && lastBusyNs_.load() < sinceNs;
}

bool SoundMixer::addDevice(DeviceMix* device)
{
    return post({CommandKind::AddDevice, false, false, 0, 0, 0, nullptr, device});
}

bool SoundMixer::play(Voice* voice, uint32_t generation, bool looping, bool onlyIfPlaying, int64_t timeNs,
                      Voice* replaces)
{
    return post({CommandKind::Play, looping, onlyIfPlaying, generation, 0, timeNs, voice, nullptr, replaces});
}

bool SoundMixer::rewind(Voice* voice, uint32_t generation, uint32_t frame, int64_t timeNs)
{
    return post({CommandKind::Rewind, false, false, generation, frame, timeNs, voice, nullptr});
}

bool SoundMixer::stop(Voice* voice, uint32_t generation)
{
    return post({CommandKind::Stop, false, false, generation, 0, 0, voice, nullptr});
}

bool SoundMixer::setPosition(Voice* voice, uint32_t generation, uint32_t frame)
{
    return post({CommandKind::SetPosition, false, false, generation, frame, 0, voice, nullptr});
}

void SoundMixer::releaseVoice(Voice* voice, bool mixerKnowsIt)
{
    if (!mixerKnowsIt) {
        delete voice;
        return;
    }
    pushCommand({CommandKind::ReleaseVoice, false, false, 0, 0, 0, voice, nullptr});
}

void SoundMixer::releaseDevice(DeviceMix* device, bool mixerKnowsIt)
{
    if (!mixerKnowsIt) {
        delete device;
        return;
    }
    pushCommand({CommandKind::RemoveDevice, false, false, 0, 0, 0, nullptr, device});
}

void SoundMixer::collectGarbage()
{
    std::lock_guard lock(producerMutex_);
    size_t sent = 0;
    while (sent < unsentReleases_.size() && commands_.push(unsentReleases_[sent]))
        ++sent;
    unsentReleases_.erase(unsentReleases_.begin(), unsentReleases_.begin() + static_cast<ptrdiff_t>(sent));
    Retired item;
    while (retired_.tryPop(&item))
        freeRetired(item);
}

void SoundMixer::freeRetired(const Retired& item)
{
    delete item.voice;
    delete item.device;
}

// ---- Audio thread ----

void SoundMixer::outputPaused() noexcept
{
    isAnchored_ = false;
    publishClock();
}

void SoundMixer::outputRestarted() noexcept
{
    lossEpoch_.fetch_add(1, std::memory_order_acq_rel);
}

uint64_t SoundMixer::targetFrame(int64_t timeNs, uint64_t blockStartFrame) const noexcept
{
    if (timeNs == kAsSoonAsPossible || !isAnchored_)
        return blockStartFrame;
    // The first frame heard at or after timeNs, then the latency.
    const uint32_t latency = latencyFrames_.load(std::memory_order_relaxed);
    const double ahead = (static_cast<double>(timeNs - anchorNs_) - offsetNs_) / nsPerFrame_;
    const double frame = static_cast<double>(anchorFrame_) + std::ceil(ahead - kFrameTolerance) + latency;
    if (frame <= static_cast<double>(blockStartFrame))
        return blockStartFrame;
    // A time far beyond anything the output can have reached comes from a clock that does not
    // match the output's; start such a voice after the latency rather than never.
    const uint64_t latest = blockStartFrame + latency + outputRate_;
    return frame >= static_cast<double>(latest) ? latest : static_cast<uint64_t>(frame);
}

void SoundMixer::followOutputTiming(int64_t heardNs) noexcept
{
    const double nominal = 1e9 / outputRate_;
    // A new anchor settles its offset on the next blocks.
    const auto anchorAt = [&](int64_t ns) {
        isAnchored_ = true;
        anchorNs_ = ns;
        anchorFrame_ = frameCounter_;
        offsetNs_ = 0.0;
        settledFrame_ = frameCounter_ + uint64_t{outputRate_} * kSettleSeconds;
        settlingBlocks_ = 0;
    };
    nsPerFrame_ = nominal;
    if (!isAnchored_) {
        anchorAt(heardNs);
        return;
    }
    const double predicted = offsetNs_ + static_cast<double>(frameCounter_ - anchorFrame_) * nsPerFrame_;
    const double error = static_cast<double>(heardNs - anchorNs_) - predicted;
    const bool isSettling = frameCounter_ < settledFrame_;
    smoothedErrorNs_ = isSettling ? 0.0 : smoothedErrorNs_ + kErrorSmoothing * (error - smoothedErrorNs_);
    if (std::fabs(error) > static_cast<double>(kDiscontinuityNs) || isUnderflowed_ ||
        std::fabs(smoothedErrorNs_) > kDeadBandNs) {
        isUnderflowed_ = false;
        smoothedErrorNs_ = 0.0;
        // The output skipped: what is scheduled for a time stays on that time.
        const double shift = -error / nsPerFrame_;
        anchorAt(heardNs);
        shiftScheduled(static_cast<int64_t>(std::llround(shift)));
        return;
    }
    const double correction = isSettling ? error / static_cast<double>(++settlingBlocks_ + 1) : 0.0;
    // Re-based on this block's first frame, with the fraction of a nanosecond kept, so the
    // clock stays continuous however long it runs.
    const double corrected = predicted + correction;
    const double whole = std::floor(corrected);
    anchorNs_ += static_cast<int64_t>(whole);
    offsetNs_ = corrected - whole;
    anchorFrame_ = frameCounter_;
}

void SoundMixer::shiftScheduled(int64_t frames) noexcept
{
    const auto moved = [&](uint64_t frame) {
        const int64_t shifted = static_cast<int64_t>(frame) + frames;
        return shifted < static_cast<int64_t>(frameCounter_) ? frameCounter_ : static_cast<uint64_t>(shifted);
    };
    for (uint32_t d = 0; d < deviceCount_; ++d) {
        DeviceMix& device = *devices_[d];
        for (uint32_t i = 0; i < device.voiceCount; ++i) {
            Voice& voice = *device.voices[i];
            if (!voice.isStarted)
                voice.startOutputFrame = moved(voice.startOutputFrame);
            for (uint32_t c = 0; c < voice.cueCount; ++c)
                voice.cues[c].outputFrame = moved(voice.cues[c].outputFrame);
        }
    }
}

void SoundMixer::addCue(Voice& voice, const VoiceCue& cue) noexcept
{
    if (voice.cueCount == kMaxVoiceCues) {
        // More rewinds pending than a voice can hold (triggers far faster than the latency):
        // the oldest is dropped rather than the newest.
        std::move(voice.cues.begin() + 1, voice.cues.begin() + voice.cueCount, voice.cues.begin());
        --voice.cueCount;
    }
    uint32_t at = voice.cueCount;
    while (at > 0 && voice.cues[at - 1].outputFrame > cue.outputFrame) {
        voice.cues[at] = voice.cues[at - 1];
        --at;
    }
    voice.cues[at] = cue;
    ++voice.cueCount;
}

void SoundMixer::removeVoice(DeviceMix& device, uint32_t index) noexcept
{
    device.voices[index] = device.voices[device.voiceCount - 1];
    device.voices[--device.voiceCount] = nullptr;
}

void SoundMixer::endVoice(Voice& voice) noexcept
{
    voice.isActive = false;
    voice.isStarted = false;
    voice.position = 0;
    voice.cueCount = 0;
    publish(voice);
    voice.endedGeneration.store(voice.playGeneration, std::memory_order_release);
}

void SoundMixer::stopAllVoices() noexcept
{
    for (uint32_t d = 0; d < deviceCount_; ++d) {
        DeviceMix& device = *devices_[d];
        while (device.voiceCount > 0) {
            Voice* voice = device.voices[device.voiceCount - 1];
            removeVoice(device, device.voiceCount - 1);
            endVoice(*voice);
        }
    }
}

bool SoundMixer::apply(const Command& command, uint64_t blockStartFrame) noexcept
{
    Voice* voice = command.voice;
    auto detach = [](Voice& v) {
        if (!v.isActive)
            return;
        DeviceMix& device = *v.device;
        for (uint32_t i = 0; i < device.voiceCount; ++i) {
            if (device.voices[i] == &v) {
                device.voices[i] = device.voices[device.voiceCount - 1];
                device.voices[--device.voiceCount] = nullptr;
                break;
            }
        }
        v.isActive = false;
        v.isStarted = false;
        v.cueCount = 0;
    };
    switch (command.kind) {
    case CommandKind::AddDevice:
        if (deviceCount_ < kMaxDevices) {
            devices_[deviceCount_++] = command.device;
            command.device->isListed = true;
        }
        return true;
    case CommandKind::RemoveDevice: {
        if (retired_.full())
            return false;
        DeviceMix* device = command.device;
        while (device->voiceCount > 0) {
            Voice* v = device->voices[device->voiceCount - 1];
            removeVoice(*device, device->voiceCount - 1);
            endVoice(*v);
        }
        for (uint32_t d = 0; d < deviceCount_; ++d) {
            if (devices_[d] == device) {
                devices_[d] = devices_[deviceCount_ - 1];
                devices_[--deviceCount_] = nullptr;
                break;
            }
        }
        retired_.push({nullptr, device});
        return true;
    }
    case CommandKind::Play: {
        voice->appliedGeneration = command.generation;
        voice->playGeneration = command.generation;
        voice->isLooping = command.looping;
        uint64_t startFrame = blockStartFrame;
        if (!voice->isActive) {
            DeviceMix& device = *voice->device;
            if (command.onlyIfPlaying || device.voiceCount == kMaxVoicesPerDevice || !device.isListed) {
                publish(*voice);
                voice->endedGeneration.store(command.generation, std::memory_order_release);
                if (command.replaces && command.replaces->isActive)
                    addCue(*command.replaces, {VoiceCue::Kind::Stop, 0, 0, blockStartFrame, 0});
                return true;
            }
            voice->isActive = true;
            voice->isStarted = false;
            voice->startOutputFrame = startFrame = targetFrame(command.timeNs, blockStartFrame);
            device.voices[device.voiceCount++] = voice;
        }
        // The voice it takes over from plays up to this one's first frame and no further.
        if (command.replaces && command.replaces != voice && command.replaces->isActive)
            addCue(*command.replaces, {VoiceCue::Kind::Stop, 0, 0, startFrame, 0});
        publish(*voice);
        return true;
    }
    case CommandKind::Rewind:
        if (!voice->isActive) {
            voice->position = uint64_t{command.frame} << 32;
            voice->appliedGeneration = command.generation;
        } else {
            addCue(*voice, {VoiceCue::Kind::Rewind, command.generation, command.frame,
                            targetFrame(command.timeNs, blockStartFrame), 0});
        }
        publish(*voice);
        return true;
    case CommandKind::Stop:
        detach(*voice);
        voice->appliedGeneration = command.generation;
        publish(*voice);
        return true;
    case CommandKind::SetPosition:
        voice->position = uint64_t{command.frame} << 32;
        voice->appliedGeneration = command.generation;
        publish(*voice);
        return true;
    case CommandKind::ReleaseVoice:
        if (retired_.full())
            return false;
        detach(*voice);
        retired_.push({voice, nullptr});
        return true;
    }
    return true;
}

void SoundMixer::drainCommands(uint64_t blockStartFrame) noexcept
{
    uint64_t taken = 0;
    while (const Command* command = commands_.front()) {
        if (!apply(*command, blockStartFrame))
            break; // no room to hand memory back yet: try again next block
        commands_.pop();
        ++taken;
    }
    if (taken > 0)
        takenCommands_.fetch_add(taken);
    isBusy_ = taken > 0;
}

void SoundMixer::render(int16_t* stereo, uint32_t frames, int64_t heardNs) noexcept
{
    const uint32_t epoch = lossEpoch_.load(std::memory_order_acquire);
    if (epoch != seenLossEpoch_) {
        seenLossEpoch_ = epoch;
        stopAllVoices();
        stoppedLossEpoch_.store(epoch, std::memory_order_release);
    }
    followOutputTiming(heardNs);
    publishClock();
    drainCommands(frameCounter_);

    int32_t mix[2 * kOutputChunkFrames];
    uint32_t done = 0;
    while (done < frames) {
        const uint32_t count = std::min(frames - done, kOutputChunkFrames);
        std::fill(mix, mix + 2 * count, 0);
        for (uint32_t d = 0; d < deviceCount_; ++d)
            mixDevice(*devices_[d], mix, frameCounter_ + done, count);
        for (uint32_t i = 0; i < 2 * count; ++i)
            stereo[2 * done + i] = static_cast<int16_t>(std::clamp(mix[i], -32768, 32767));
        done += count;
    }
    frameCounter_ += frames;
    for (uint32_t d = 0; d < deviceCount_ && !isBusy_; ++d)
        isBusy_ = devices_[d]->voiceCount > 0;
    if (isBusy_)
        lastBusyNs_.store(heardNs + static_cast<int64_t>(frames) * 1'000'000'000 / outputRate_);
}

void SoundMixer::publishClock() noexcept
{
    // A sequence lock on sequentially consistent atomics: an odd count while the fields change,
    // so a reader that saw the same even count before and after read one block's clock.
    const uint32_t sequence = clockSequence_.load(std::memory_order_relaxed);
    clockSequence_.store(sequence + 1);
    clockFrame_.store(anchorFrame_);
    clockNs_.store(anchorNs_ + static_cast<int64_t>(std::llround(offsetNs_)));
    clockNsPerFrame_.store(isAnchored_ ? nsPerFrame_ : 0.0);
    clockSequence_.store(sequence + 2);
}

std::optional<double> SoundMixer::outputFrameAt(int64_t timeNs) const
{
    uint64_t frame = 0;
    int64_t ns = 0;
    double nsPerFrame = 0.0;
    for (;;) {
        const uint32_t before = clockSequence_.load();
        if (before & 1u)
            continue;
        frame = clockFrame_.load();
        ns = clockNs_.load();
        nsPerFrame = clockNsPerFrame_.load();
        if (clockSequence_.load() == before)
            break;
    }
    if (nsPerFrame <= 0.0)
        return std::nullopt;
    return static_cast<double>(frame) + static_cast<double>(timeNs - ns) / nsPerFrame;
}

void SoundMixer::mixDevice(DeviceMix& device, int32_t* out, uint64_t firstFrame, uint32_t frames) noexcept
{
    const uint64_t format = device.primaryFormat.load(std::memory_order_acquire);
    if (format != device.currentFormat || device.currentOutputRate != outputRate_) {
        // A new primary format: the frames already mixed in the old one are dropped.
        device.currentFormat = format;
        device.currentOutputRate = outputRate_;
        device.step = (uint64_t{formatRate(format)} << 32) / outputRate_;
        device.scratchBase += device.scratchFrames;
        device.scratchFrames = 0;
        device.phase = 0;
    }
    const uint64_t step = device.step;
    uint32_t done = 0;
    while (done < frames) {
        const uint64_t chunkStart = firstFrame + done;
        const uint64_t room = ((uint64_t{kPrimaryScratchFrames - 1} << 32) - device.phase - 1) / step + 1;
        const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>({frames - done, kOutputChunkFrames, room}));
        const uint64_t lastPos = device.phase + (count - 1) * step;
        // The last output frame needs the primary frame after it only when it falls between two.
        const uint32_t needed = static_cast<uint32_t>((lastPos >> 32) + ((lastPos & 0xFFFFFFFFu) ? 2 : 1));

        // Place onsets and cues on the primary frame of their output frame.
        const uint64_t firstUnmixed = device.scratchBase + device.scratchFrames;
        const auto primaryFrameOf = [&](uint64_t outputFrame) {
            if (outputFrame <= chunkStart)
                return firstUnmixed;
            const uint64_t ahead = outputFrame - chunkStart;
            if (ahead > kPrimaryScratchFrames * 64)
                return UINT64_MAX;
            const uint64_t pos = device.phase + ahead * step;
            return std::max(device.scratchBase + (pos >> 32) + ((pos & 0xFFFFFFFFu) ? 1 : 0), firstUnmixed);
        };
        for (uint32_t i = 0; i < device.voiceCount; ++i) {
            Voice& voice = *device.voices[i];
            if (!voice.isStarted)
                voice.startPrimaryFrame = primaryFrameOf(voice.startOutputFrame);
            for (uint32_t c = 0; c < voice.cueCount; ++c)
                voice.cues[c].primaryFrame = primaryFrameOf(voice.cues[c].outputFrame);
        }
        if (needed > device.scratchFrames) {
            renderPrimary(device, device.scratchFrames, needed);
            device.scratchFrames = needed;
        }

        const int32_t* s = device.scratch.get();
        uint64_t pos = device.phase;
        for (uint32_t j = 0; j < count; ++j, pos += step) {
            const uint64_t i = pos >> 32;
            const uint32_t frac = static_cast<uint32_t>(pos) >> 16;
            int32_t left = s[2 * i];
            int32_t right = s[2 * i + 1];
            if (frac) {
                left += static_cast<int32_t>((static_cast<int64_t>(s[2 * i + 2] - left) * frac) >> 16);
                right += static_cast<int32_t>((static_cast<int64_t>(s[2 * i + 3] - right) * frac) >> 16);
            }
            out[2 * (done + j)] += left;
            out[2 * (done + j) + 1] += right;
        }

        device.phase += uint64_t{count} * step;
        const uint32_t drop = static_cast<uint32_t>(std::min<uint64_t>(device.phase >> 32, device.scratchFrames));
        if (drop > 0) {
            std::memmove(device.scratch.get(), device.scratch.get() + 2 * drop,
                         sizeof(int32_t) * 2 * (device.scratchFrames - drop));
            device.scratchFrames -= drop;
            device.scratchBase += drop;
            device.phase -= uint64_t{drop} << 32;
        }
        done += count;
    }
}

void SoundMixer::renderPrimary(DeviceMix& device, uint32_t from, uint32_t to) noexcept
{
    const uint32_t count = to - from;
    const uint64_t absoluteStart = device.scratchBase + from;
    const uint32_t primaryRate = formatRate(device.currentFormat);
    const bool eightBit = formatBits(device.currentFormat) == 8;
    const bool mono = formatChannels(device.currentFormat) == 1;
    const bool active = isApplicationActive();
    float* sum = device.sum.get();
    std::fill(sum, sum + 2 * count, 0.0f);

    const uint64_t absoluteEnd = absoluteStart + count;
    for (uint32_t i = device.voiceCount; i-- > 0;) {
        Voice& voice = *device.voices[i];
        // Takes the first cue into effect; false when it stopped the voice.
        const auto takeCue = [&voice]() {
            const VoiceCue cue = voice.cues[0];
            std::move(voice.cues.begin() + 1, voice.cues.begin() + voice.cueCount, voice.cues.begin());
            --voice.cueCount;
            if (cue.kind == VoiceCue::Kind::Stop)
                return false;
            voice.position = uint64_t{cue.frame} << 32;
            voice.appliedGeneration = cue.generation;
            return true;
        };
        bool isStopped = false;
        // Cues that fall before the onset take effect before it.
        while (!voice.isStarted && voice.cueCount > 0 && voice.cues[0].primaryFrame <= voice.startPrimaryFrame &&
               voice.cues[0].primaryFrame < absoluteEnd && !isStopped)
            isStopped = !takeCue();
        if (isStopped) {
            removeVoice(device, i);
            endVoice(voice);
            continue;
        }
        uint32_t offset = 0;
        if (!voice.isStarted) {
            if (voice.startPrimaryFrame >= absoluteEnd)
                continue;
            offset = static_cast<uint32_t>(std::max(voice.startPrimaryFrame, absoluteStart) - absoluteStart);
            voice.isStarted = true;
        }
        voice.seenWriteGeneration = voice.memory->writeGeneration.load(std::memory_order_acquire);
        const uint64_t gains = voice.gains.load(std::memory_order_relaxed);
        float left = gainLeft(gains);
        float right = gainRight(gains);
        if (!active && voice.honoursFocus)
            left = right = 0.0f;
        const uint32_t frequency = voice.frequency.load(std::memory_order_relaxed);
        const uint64_t rate = frequency ? frequency : voice.formatRate;
        const uint64_t step = std::max<uint64_t>((rate << 32) / primaryRate, 1);
        bool ended = false;
        // Mixed in runs from one cue to the next; each cue takes effect on its own frame.
        while (offset < count) {
            uint32_t until = count;
            if (voice.cueCount > 0 && voice.cues[0].primaryFrame < absoluteEnd)
                until =
                    static_cast<uint32_t>(std::max(voice.cues[0].primaryFrame, absoluteStart + offset) - absoluteStart);
            if (until > offset) {
                float* out = sum + 2 * offset;
                const uint32_t n = until - offset;
                if (voice.bits == 8)
                    ended = voice.channels == 1 ? mixVoice<8, 1>(voice, out, n, step, left, right)
                                                : mixVoice<8, 2>(voice, out, n, step, left, right);
                else
                    ended = voice.channels == 1 ? mixVoice<16, 1>(voice, out, n, step, left, right)
                                                : mixVoice<16, 2>(voice, out, n, step, left, right);
            }
            if (ended || until == count)
                break;
            if (!takeCue()) {
                ended = true;
                break;
            }
            offset = until;
        }
        if (ended) {
            removeVoice(device, i);
            endVoice(voice);
        } else {
            publish(voice);
        }
    }

    int32_t* scratch = device.scratch.get() + 2 * from;
    for (uint32_t k = 0; k < count; ++k) {
        float left = sum[2 * k];
        float right = sum[2 * k + 1];
        if (mono)
            left = right = (left + right) * 0.5f;
        scratch[2 * k] = quantize(left, eightBit);
        scratch[2 * k + 1] = quantize(right, eightBit);
    }
}

} // namespace groovane
