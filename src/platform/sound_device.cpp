// The UI side of the software sound device: checks every request as the platform did (refusals
// keep the old state and come back as result codes), keeps what the caller can read back
// (volume, pan, frequency, format, status), and passes what the mixer needs to it through the
// mixer's queue and atomics (sound_mixer.h).
#include "platform/sound_device.h"

#include "platform/files.h"
#include "platform/sound_mixer.h"
#include "platform/sound_system.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>

// Debug and sanitizer builds (the test builds) check that every call on a device and its buffers
// comes from the thread that made the device; release builds check nothing.
#if !defined(NDEBUG) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define GROOVANE_CHECK_DEVICE_THREAD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define GROOVANE_CHECK_DEVICE_THREAD 1
#endif
#endif

namespace groovane {

bool isAcceptedVolume(int32_t volume)
{
    return volume >= DSBVOLUME_MIN && volume <= DSBVOLUME_MAX;
}

bool isAcceptedPan(int32_t pan)
{
    return pan >= DSBPAN_LEFT && pan <= DSBPAN_RIGHT;
}

bool isAcceptedFrequency(uint32_t frequency)
{
    return frequency == DSBFREQUENCY_ORIGINAL || (frequency >= DSBFREQUENCY_MIN && frequency <= DSBFREQUENCY_MAX);
}

bool isAcceptedBufferSize(uint32_t bytes)
{
    return bytes >= DSBSIZE_MIN && bytes <= DSBSIZE_MAX;
}

// The checks a PCM format record must pass to be mixed: 1 or 2 channels, 8 or 16 bits, a frame
// size that matches, and a rate the device can play.
bool isPlayableFormat(const WaveFormatEx& format)
{
    return format.wFormatTag == WAVE_FORMAT_PCM && (format.nChannels == 1 || format.nChannels == 2) &&
           (format.wBitsPerSample == 8 || format.wBitsPerSample == 16) &&
           format.nBlockAlign == format.nChannels * format.wBitsPerSample / 8 &&
           format.nSamplesPerSec >= DSBFREQUENCY_MIN && format.nSamplesPerSec <= DSBFREQUENCY_MAX;
}

namespace {

std::atomic<bool> soundLibraryUnavailable{false};

// What the device keeps per device object; shared by the device and its buffers, so buffers may
// outlive the device object that made them.
struct DeviceCore {
    DeviceCore(SoundSystem& sys, DeviceMix* m, bool known) : system(sys), mix(m), mixerKnowsMix(known) {}
    ~DeviceCore() { system.mixer().releaseDevice(mix, mixerKnowsMix); }
    DeviceCore(const DeviceCore&) = delete;
    DeviceCore& operator=(const DeviceCore&) = delete;

    // What the device and its buffers keep is plain data of the thread that made the device (the
    // UI thread): nothing of it is locked, so a call from any other thread would race with it.
    // Where checks are built in, such a call ends the program with one line naming the call.
    void expectOwnThread([[maybe_unused]] const char* call) const
    {
#ifdef GROOVANE_CHECK_DEVICE_THREAD
        if (std::this_thread::get_id() != owner) {
            std::fprintf(
                stderr, "groovane: sound device call %s from a thread other than the one that made the device\n", call);
            std::abort();
        }
#endif
    }

    SoundSystem& system;
    DeviceMix* mix;
    bool mixerKnowsMix;
    const std::thread::id owner = std::this_thread::get_id();
    uint32_t cooperativeLevel = 0;
    WaveFormatEx primaryFormat{WAVE_FORMAT_PCM, 2, 22050, 44100, 2, 8, 0};
};

WaveFormatEx copyPcmPart(const WaveFormatEx* format)
{
    WaveFormatEx copy;
    std::memcpy(static_cast<void*>(&copy), format, kPcmFormatBytes);
    copy.cbSize = 0;
    return copy;
}

class PrimaryBuffer final : public SoundBuffer {
public:
    explicit PrimaryBuffer(std::shared_ptr<DeviceCore> device, uint32_t flags)
        : device_(std::move(device)),
          flags_(flags)
    {}

    HRESULT Play(uint32_t) override { return DS_OK; }
    HRESULT PlayReplacing(uint32_t, SoundBuffer&) override { return DS_OK; }
    HRESULT SetCurrentPositionOnCue(uint32_t) override { return DSERR_INVALIDCALL; }
    HRESULT Stop() override { return DS_OK; }
    HRESULT GetCurrentPosition(uint32_t* play, uint32_t* write) override
    {
        if (play)
            *play = 0;
        if (write)
            *write = 0;
        return DS_OK;
    }
    HRESULT SetCurrentPosition(uint32_t) override { return DSERR_INVALIDCALL; }
    HRESULT Lock(uint32_t, uint32_t, void**, uint32_t*, void**, uint32_t*, uint32_t) override
    {
        return DSERR_INVALIDCALL;
    }
    HRESULT Unlock(void*, uint32_t, void*, uint32_t) override { return DSERR_INVALIDCALL; }
    HRESULT GetStatus(uint32_t* status) override
    {
        if (!status)
            return DSERR_INVALIDPARAM;
        *status = 0;
        return DS_OK;
    }
    HRESULT GetVolume(int32_t*) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT SetVolume(int32_t) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT GetPan(int32_t*) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT SetPan(int32_t) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT GetFrequency(uint32_t*) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT SetFrequency(uint32_t) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT GetFormat(WaveFormatEx* format) override
    {
        device_->expectOwnThread("GetFormat");
        if (!format)
            return DSERR_INVALIDPARAM;
        *format = device_->primaryFormat;
        return DS_OK;
    }
    HRESULT SetFormat(const WaveFormatEx* format) override
    {
        device_->expectOwnThread("SetFormat");
        if (!format)
            return DSERR_INVALIDPARAM;
        if (device_->cooperativeLevel < DSSCL_PRIORITY)
            return DSERR_PRIOLEVELNEEDED;
        const WaveFormatEx copy = copyPcmPart(format);
        if (copy.wFormatTag != WAVE_FORMAT_PCM || copy.nChannels == 0 || copy.nChannels > 2 ||
            (copy.wBitsPerSample != 8 && copy.wBitsPerSample != 16) || copy.nSamplesPerSec < DSBFREQUENCY_MIN ||
            copy.nSamplesPerSec > DSBFREQUENCY_MAX)
            return DSERR_BADFORMAT;
        device_->primaryFormat = copy;
        device_->mix->primaryFormat.store(packPrimaryFormat(copy.nSamplesPerSec, copy.wBitsPerSample, copy.nChannels),
                                          std::memory_order_release);
        return DS_OK;
    }
    HRESULT Restore() override { return DS_OK; }
    uint32_t flags() const override { return flags_; }
    uint32_t sizeBytes() const override { return 0; }

private:
    std::shared_ptr<DeviceCore> device_;
    uint32_t flags_;
};

class SecondaryBuffer final : public SoundBuffer {
public:
    SecondaryBuffer(std::shared_ptr<DeviceCore> device, std::shared_ptr<SampleMemory> memory,
                    const WaveFormatEx& format, uint32_t flags)
        : device_(std::move(device)),
          format_(format),
          flags_(flags),
          lossEpoch_(device_->system.mixer().lossEpoch())
    {
        voice_ = new Voice;
        voice_->memory = std::move(memory);
        voice_->samples = voice_->memory->data.data();
        voice_->frames = static_cast<uint32_t>(voice_->memory->data.size() / format.nBlockAlign);
        voice_->channels = format.nChannels;
        voice_->bits = format.wBitsPerSample;
        voice_->blockAlign = format.nBlockAlign;
        voice_->formatRate = format.nSamplesPerSec;
        voice_->honoursFocus = (flags & (DSBCAPS_GLOBALFOCUS | DSBCAPS_STICKYFOCUS)) == 0;
        voice_->device = device_->mix;
        updateGains();
    }

    ~SecondaryBuffer() override
    {
        device_->expectOwnThread("Release");
        device_->system.mixer().releaseVoice(voice_, isKnownToMixer_);
    }

    SecondaryBuffer(const SecondaryBuffer&) = delete;
    SecondaryBuffer& operator=(const SecondaryBuffer&) = delete;

    // A duplicate: same memory and format, same volume, pan and frequency, stopped at 0.
    std::shared_ptr<SecondaryBuffer> duplicate()
    {
        device_->expectOwnThread("DuplicateSoundBuffer");
        auto copy = std::make_shared<SecondaryBuffer>(device_, voice_->memory, format_, flags_);
        copy->volume_ = volume_;
        copy->pan_ = pan_;
        copy->frequency_ = frequency_;
        copy->voice_->frequency.store(frequency_, std::memory_order_relaxed);
        copy->updateGains();
        return copy;
    }

    HRESULT Play(uint32_t flags) override { return play(flags, nullptr); }

    HRESULT PlayReplacing(uint32_t flags, SoundBuffer& previous) override
    {
        device_->expectOwnThread("PlayReplacing");
        auto* other = dynamic_cast<SecondaryBuffer*>(&previous);
        if (other == this || !other)
            return play(flags, nullptr);
        return play(flags, other->isPlaying() ? other->voice_ : nullptr);
    }

    HRESULT SetCurrentPositionOnCue(uint32_t bytes) override
    {
        device_->expectOwnThread("SetCurrentPositionOnCue");
        if (bytes >= sizeBytes())
            return DSERR_INVALIDPARAM;
        if (!isPlaying())
            return SetCurrentPosition(bytes);
        const uint32_t frame = bytes / format_.nBlockAlign;
        const uint32_t generation = ++generation_;
        if (!device_->system.mixer().rewind(voice_, generation, frame, device_->system.playCue()))
            return DSERR_GENERIC;
        hasPendingPosition_ = true;
        pendingPositionGeneration_ = generation;
        pendingPositionFrame_ = frame;
        return DS_OK;
    }

    HRESULT Stop() override
    {
        device_->expectOwnThread("Stop");
        if (isKnownToMixer_ && !device_->system.mixer().stop(voice_, ++generation_))
            return DSERR_GENERIC;
        isPlayRequested_ = false;
        return DS_OK;
    }

    HRESULT GetCurrentPosition(uint32_t* playCursor, uint32_t* writeCursor) override
    {
        device_->expectOwnThread("GetCurrentPosition");
        const uint32_t frame = cursorFrame();
        if (playCursor)
            *playCursor = frame * format_.nBlockAlign;
        if (writeCursor) {
            uint32_t write = frame;
            if (isPlaying()) {
                // The mixer has consumed everything before the play cursor; keep a margin of
                // about 10 ms ahead of it for writers.
                const uint32_t rate = frequency_ ? frequency_ : format_.nSamplesPerSec;
                const uint64_t margin = std::max<uint32_t>(rate / 100, 1);
                write = static_cast<uint32_t>((frame + margin) % voice_->frames);
            }
            *writeCursor = write * format_.nBlockAlign;
        }
        return DS_OK;
    }

    HRESULT SetCurrentPosition(uint32_t bytes) override
    {
        device_->expectOwnThread("SetCurrentPosition");
        if (bytes >= sizeBytes())
            return DSERR_INVALIDPARAM;
        const uint32_t frame = bytes / format_.nBlockAlign;
        const uint32_t generation = ++generation_;
        if (!device_->system.mixer().setPosition(voice_, generation, frame))
            return DSERR_GENERIC;
        isKnownToMixer_ = true;
        hasPendingPosition_ = true;
        pendingPositionGeneration_ = generation;
        pendingPositionFrame_ = frame;
        return DS_OK;
    }

    HRESULT Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* bytes1, void** region2, uint32_t* bytes2,
                 uint32_t flags) override
    {
        device_->expectOwnThread("Lock");
        if (!region1 || !bytes1)
            return DSERR_INVALIDPARAM;
        if (isLost())
            return DSERR_BUFFERLOST;
        const uint32_t size = sizeBytes();
        if (flags & DSBLOCK_ENTIREBUFFER) {
            offset = 0;
            bytes = size;
        } else if (flags & DSBLOCK_FROMWRITECURSOR) {
            GetCurrentPosition(nullptr, &offset);
        }
        if (offset >= size || bytes == 0 || bytes > size)
            return DSERR_INVALIDPARAM;
        const uint32_t first = std::min(bytes, size - offset);
        if (first < bytes && (!region2 || !bytes2))
            return DSERR_INVALIDPARAM;
        uint8_t* data = voice_->memory->data.data();
        *region1 = data + offset;
        *bytes1 = first;
        if (region2)
            *region2 = first < bytes ? data : nullptr;
        if (bytes2)
            *bytes2 = bytes - first;
        return DS_OK;
    }

    HRESULT Unlock(void* region1, uint32_t bytes1, void* region2, uint32_t bytes2) override
    {
        device_->expectOwnThread("Unlock");
        const uint8_t* begin = voice_->memory->data.data();
        const uint8_t* end = begin + voice_->memory->data.size();
        auto inside = [&](void* region, uint32_t count) {
            const auto* p = static_cast<const uint8_t*>(region);
            return p >= begin && p <= end && count <= static_cast<size_t>(end - p);
        };
        if (!region1 || !inside(region1, bytes1) || (region2 && !inside(region2, bytes2)))
            return DSERR_INVALIDPARAM;
        // Publishes the caller's writes to the mixer.
        voice_->memory->writeGeneration.fetch_add(1, std::memory_order_release);
        return DS_OK;
    }

    HRESULT GetStatus(uint32_t* status) override
    {
        device_->expectOwnThread("GetStatus");
        if (!status)
            return DSERR_INVALIDPARAM;
        uint32_t bits = 0;
        if (isPlaying())
            bits |= DSBSTATUS_PLAYING | (isLooping_ ? DSBSTATUS_LOOPING : 0);
        if (isLost())
            bits |= DSBSTATUS_BUFFERLOST;
        *status = bits;
        return DS_OK;
    }

    HRESULT GetVolume(int32_t* volume) override
    {
        device_->expectOwnThread("GetVolume");
        if (!(flags_ & DSBCAPS_CTRLVOLUME))
            return DSERR_CONTROLUNAVAIL;
        if (!volume)
            return DSERR_INVALIDPARAM;
        *volume = volume_;
        return DS_OK;
    }

    HRESULT SetVolume(int32_t volume) override
    {
        device_->expectOwnThread("SetVolume");
        if (!(flags_ & DSBCAPS_CTRLVOLUME))
            return DSERR_CONTROLUNAVAIL;
        if (!isAcceptedVolume(volume))
            return DSERR_INVALIDPARAM;
        volume_ = volume;
        updateGains();
        return DS_OK;
    }

    HRESULT GetPan(int32_t* pan) override
    {
        device_->expectOwnThread("GetPan");
        if (!(flags_ & DSBCAPS_CTRLPAN))
            return DSERR_CONTROLUNAVAIL;
        if (!pan)
            return DSERR_INVALIDPARAM;
        *pan = pan_;
        return DS_OK;
    }

    HRESULT SetPan(int32_t pan) override
    {
        device_->expectOwnThread("SetPan");
        if (!(flags_ & DSBCAPS_CTRLPAN))
            return DSERR_CONTROLUNAVAIL;
        if (!isAcceptedPan(pan))
            return DSERR_INVALIDPARAM;
        pan_ = pan;
        updateGains();
        return DS_OK;
    }

    HRESULT GetFrequency(uint32_t* frequency) override
    {
        device_->expectOwnThread("GetFrequency");
        if (!(flags_ & DSBCAPS_CTRLFREQUENCY))
            return DSERR_CONTROLUNAVAIL;
        if (!frequency)
            return DSERR_INVALIDPARAM;
        // "The format's own rate" reads back as that rate, as the platform reports it.
        *frequency = frequency_ != DSBFREQUENCY_ORIGINAL ? frequency_ : format_.nSamplesPerSec;
        return DS_OK;
    }

    HRESULT SetFrequency(uint32_t frequency) override
    {
        device_->expectOwnThread("SetFrequency");
        if (!(flags_ & DSBCAPS_CTRLFREQUENCY))
            return DSERR_CONTROLUNAVAIL;
        if (!isAcceptedFrequency(frequency))
            return DSERR_INVALIDPARAM;
        frequency_ = frequency;
        voice_->frequency.store(frequency, std::memory_order_relaxed);
        return DS_OK;
    }

    HRESULT GetFormat(WaveFormatEx* format) override
    {
        device_->expectOwnThread("GetFormat");
        if (!format)
            return DSERR_INVALIDPARAM;
        *format = format_;
        return DS_OK;
    }

    HRESULT SetFormat(const WaveFormatEx*) override { return DSERR_INVALIDCALL; }

    HRESULT Restore() override
    {
        device_->expectOwnThread("Restore");
        lossEpoch_ = device_->system.mixer().lossEpoch();
        return DS_OK;
    }

    uint32_t flags() const override { return flags_; }
    uint32_t sizeBytes() const override { return static_cast<uint32_t>(voice_->memory->data.size()); }

private:
    bool isLost() const { return device_->system.mixer().lossEpoch() != lossEpoch_; }

    HRESULT play(uint32_t flags, Voice* replaces)
    {
        device_->expectOwnThread("Play");
        if (isLost())
            return DSERR_BUFFERLOST;
        const bool looping = (flags & DSBPLAY_LOOPING) != 0;
        const uint32_t generation = ++generation_;
        if (!device_->system.mixer().play(voice_, generation, looping, isPlaying(), device_->system.playCue(),
                                          replaces))
            return DSERR_GENERIC;
        isKnownToMixer_ = true;
        isPlayRequested_ = true;
        isLooping_ = looping;
        playGeneration_ = generation;
        return DS_OK;
    }

    // Playing as far as the caller can tell: a Play is in force and the mixer has not reported
    // that it ran out (or was dropped) since.
    bool isPlaying() const
    {
        return isPlayRequested_ && voice_->endedGeneration.load(std::memory_order_acquire) != playGeneration_;
    }

    uint32_t cursorFrame()
    {
        const uint64_t published = voice_->published.load(std::memory_order_acquire);
        const auto applied = static_cast<uint32_t>(published >> 32);
        if (hasPendingPosition_) {
            // Until the mixer has taken the new position, report the one asked for.
            if (static_cast<int32_t>(applied - pendingPositionGeneration_) < 0)
                return pendingPositionFrame_;
            hasPendingPosition_ = false;
        }
        return static_cast<uint32_t>(published);
    }

    void updateGains()
    {
        const double volumeGain = volume_ <= DSBVOLUME_MIN ? 0.0 : std::pow(10.0, volume_ / 2000.0);
        double left = 1.0;
        double right = 1.0;
        if (pan_ > 0)
            left = pan_ >= DSBPAN_RIGHT ? 0.0 : std::pow(10.0, -pan_ / 2000.0);
        else if (pan_ < 0)
            right = pan_ <= DSBPAN_LEFT ? 0.0 : std::pow(10.0, pan_ / 2000.0);
        voice_->gains.store(packGains(static_cast<float>(volumeGain * left), static_cast<float>(volumeGain * right)),
                            std::memory_order_relaxed);
    }

    std::shared_ptr<DeviceCore> device_;
    Voice* voice_ = nullptr;
    const WaveFormatEx format_;
    const uint32_t flags_;

    // UI thread only (see DeviceCore::expectOwnThread); what the mixer reads of these travels
    // through the voice's atomics and the mixer's queue.
    int32_t volume_ = 0;
    int32_t pan_ = 0;
    uint32_t frequency_ = 0;
    uint32_t lossEpoch_;
    uint32_t generation_ = 0;
    uint32_t playGeneration_ = 0;
    bool isKnownToMixer_ = false;
    bool isPlayRequested_ = false;
    bool isLooping_ = false;
    bool hasPendingPosition_ = false;
    uint32_t pendingPositionGeneration_ = 0;
    uint32_t pendingPositionFrame_ = 0;
};

class Device final : public SoundDevice {
public:
    explicit Device(std::shared_ptr<DeviceCore> core) : core_(std::move(core)) {}

    HRESULT SetCooperativeLevel(WindowHandle window, uint32_t level) override
    {
        core_->expectOwnThread("SetCooperativeLevel");
        if (!window || level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY)
            return DSERR_INVALIDPARAM;
        core_->cooperativeLevel = level;
        return DS_OK;
    }

    HRESULT CreateSoundBuffer(const SoundBufferDesc* desc, std::shared_ptr<SoundBuffer>* buffer) override
    {
        core_->expectOwnThread("CreateSoundBuffer");
        if (!buffer)
            return DSERR_INVALIDPARAM;
        buffer->reset();
        if (!desc || desc->dwSize != 20)
            return DSERR_INVALIDPARAM;
        core_->system.collectGarbage();
        if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
            if (desc->dwBufferBytes != 0 || desc->lpwfxFormat)
                return DSERR_INVALIDPARAM;
            *buffer = std::make_shared<PrimaryBuffer>(core_, desc->dwFlags);
            return DS_OK;
        }
        if (!desc->lpwfxFormat || !isAcceptedBufferSize(desc->dwBufferBytes))
            return DSERR_INVALIDPARAM;
        const WaveFormatEx format = copyPcmPart(desc->lpwfxFormat);
        if (!isPlayableFormat(format))
            return DSERR_BADFORMAT;
        try {
            auto memory = std::make_shared<SampleMemory>(desc->dwBufferBytes);
            *buffer = std::make_shared<SecondaryBuffer>(core_, std::move(memory), format, desc->dwFlags);
        } catch (const std::bad_alloc&) {
            return DSERR_OUTOFMEMORY;
        }
        return DS_OK;
    }

    HRESULT DuplicateSoundBuffer(const std::shared_ptr<SoundBuffer>& original,
                                 std::shared_ptr<SoundBuffer>* duplicate) override
    {
        core_->expectOwnThread("DuplicateSoundBuffer");
        if (!duplicate)
            return DSERR_INVALIDPARAM;
        duplicate->reset();
        if (!original)
            return DSERR_INVALIDPARAM;
        auto* secondary = dynamic_cast<SecondaryBuffer*>(original.get());
        if (!secondary)
            return DSERR_INVALIDCALL;
        core_->system.collectGarbage();
        try {
            *duplicate = secondary->duplicate();
        } catch (const std::bad_alloc&) {
            return DSERR_OUTOFMEMORY;
        }
        return DS_OK;
    }

    uint32_t cooperativeLevel() const override { return core_->cooperativeLevel; }

private:
    std::shared_ptr<DeviceCore> core_;
};

} // namespace

HRESULT SoundSystem::createDevice(std::shared_ptr<SoundDevice>* device)
{
    if (!device)
        return DSERR_INVALIDPARAM;
    device->reset();
    ensureOutput();
    collectGarbage();
    auto* mix = new DeviceMix;
    if (!mixer_->addDevice(mix)) {
        delete mix;
        return DSERR_GENERIC;
    }
    *device = std::make_shared<Device>(std::make_shared<DeviceCore>(*this, mix, true));
    return DS_OK;
}

HRESULT DirectSoundCreate(const void* deviceId, std::shared_ptr<SoundDevice>* device)
{
    if (!device)
        return DSERR_INVALIDPARAM;
    device->reset();
    if (deviceId)
        return DSERR_INVALIDPARAM;
    return SoundSystem::instance().createDevice(device);
}

DirectSoundCreateProc resolveSoundEntryPoint(std::string_view library, std::string_view entryPoint)
{
    if (soundLibraryUnavailable.load() || !equalsIgnoreCase(std::string(library), "DSound.dll") ||
        entryPoint != "DirectSoundCreate")
        return nullptr;
    return &DirectSoundCreate;
}

void setSoundLibraryUnavailable(bool unavailable)
{
    soundLibraryUnavailable.store(unavailable);
}

void setApplicationActive(bool active)
{
    SoundMixer::setApplicationActive(active);
}
bool isApplicationActive()
{
    return SoundMixer::isApplicationActive();
}

} // namespace groovane
