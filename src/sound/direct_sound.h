// Wrappers over the sound device (sound_device.h): the device object and its sound buffers.
// They keep the last result code of every call, turn the few failures the program reports into
// exceptions with fixed messages, and react to a lost buffer by asking the window's sound
// component to restore every sound (dx_sound.h, wave_collection.h). Everything else that fails
// while playing is only stored as a result code and returned as a Boolean.
//
// User-interface thread only, like the device under them (sound_device.h): a streamed player's
// worker stops, polls and refills its ring only through calls it hands to the UI thread
// (audio_stream.h), so nothing here is locked or atomic.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/exception.h"
#include "platform/sound_device.h"

namespace groovane {

class TCustomDXSound;
class TDirectSoundBuffer;
class TWave;

// "%s not loaded": the sound library or its entry point could not be found.
class EDirectXLoadError : public Exception {
public:
    using Exception::Exception;
};

class EDirectXError : public Exception {
public:
    using Exception::Exception;
};

// "%s cannot be initialized" / "%s not made" for the device.
class EDirectSoundError : public EDirectXError {
public:
    using EDirectXError::EDirectXError;
};

// "%s cannot be made" / "%s cannot be locked" / "%s not made" for a buffer.
class EDirectSoundBufferError : public EDirectXError {
public:
    using EDirectXError::EDirectXError;
};

// Base of the wrappers: the last result code of the platform (0 success). Storing a failure
// runs Check, which a buffer uses for the lost-buffer rule.
class TDirectX {
public:
    virtual ~TDirectX() = default;
    HRESULT DXResult() const { return dxResult_; }
    void SetDXResult(HRESULT result);

protected:
    virtual void Check() {}

private:
    HRESULT dxResult_ = DS_OK;
};

class TDirectSound : public TDirectX {
public:
    // Opens the device through the platform entry point. Raises EDirectXLoadError
    // "DSound.dll not loaded" when the entry point cannot be resolved, and EDirectSoundError
    // "DirectSound cannot be initialized" when the device refuses.
    explicit TDirectSound(const void* deviceId = nullptr);
    ~TDirectSound() override;
    TDirectSound(const TDirectSound&) = delete;
    TDirectSound& operator=(const TDirectSound&) = delete;

    // The platform device; EDirectSoundError "IDirectSound not made" when there is none.
    SoundDevice& IDSound();
    bool HasDevice() const { return device_ != nullptr; }

    bool GlobalFocus() const { return globalFocus_; }
    void SetGlobalFocus(bool on) { globalFocus_ = on; }
    bool StickyFocus() const { return stickyFocus_; }
    void SetStickyFocus(bool on) { stickyFocus_ = on; }

    int BufferCount() const { return static_cast<int>(buffers_.size()); }

    // Called when one of this device's buffers met the lost-buffer result; restores every sound
    // unless a restore is already running. Exceptions of the restore pass on.
    void RestoreLostBuffers();

protected:
    // What "restore" means for this device; the plain device has no one to ask.
    virtual void DoRestore() {}

private:
    friend class TDirectSoundBuffer;
    std::shared_ptr<SoundDevice> device_;
    std::vector<TDirectSoundBuffer*> buffers_;
    bool globalFocus_ = false;
    bool stickyFocus_ = false;
    bool restoring_ = false;
};

// The device of a sound component: its restore asks the component to restore.
class TDXSoundDirectSound : public TDirectSound {
public:
    TDXSoundDirectSound(TCustomDXSound& owner, const void* deviceId);

protected:
    void DoRestore() override;

private:
    TCustomDXSound& owner_;
};

class TDirectSoundBuffer : public TDirectX {
public:
    // Adds itself to the device's buffer list; no platform buffer is made yet.
    explicit TDirectSoundBuffer(TDirectSound& device);
    ~TDirectSoundBuffer() override;
    TDirectSoundBuffer(const TDirectSoundBuffer&) = delete;
    TDirectSoundBuffer& operator=(const TDirectSoundBuffer&) = delete;

    // The device the buffer was made on; EDirectSoundError "IDirectSound not made" once that
    // device is gone.
    TDirectSound& DSound() const;

    // Drops any current buffer and asks the device for a new one; true on success.
    bool CreateBuffer(const SoundBufferDesc& desc);
    // A secondary buffer with frequency, pan and volume control and the device's focus flag.
    // Raises EDirectSoundBufferError "Sound Buffer cannot be made" when refused (including 0
    // bytes or a format record shorter than the PCM fields).
    void CreateBuffer(const uint8_t* format, int32_t formatSize, uint32_t bytes);
    // Makes the buffer and copies the samples in. A refused lock drops the buffer and raises
    // EDirectSoundBufferError "Sound Buffer cannot be locked".
    void LoadFromMemory(const uint8_t* format, int32_t formatSize, const uint8_t* data, uint32_t bytes);
    void LoadFromWave(const TWave& wave);
    // Null drops the buffer; a wave loads it; another buffer with a platform buffer makes a
    // duplicate sharing its samples (the result code goes to the device too); one without
    // drops this one.
    void Assign(const TDirectSoundBuffer* source);
    void Assign(const TWave& wave) { LoadFromWave(wave); }
    // Drops the platform buffer.
    void Release();

    bool Play(bool looped = false);
    // Play, with `previous` playing up to this buffer's first frame and stopping there.
    bool PlayReplacing(bool looped, TDirectSoundBuffer& previous);
    bool Stop();
    bool SetFormat(const WaveFormatEx& format);
    bool Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* bytes1, void** region2, uint32_t* bytes2,
              uint32_t flags = 0);
    bool Unlock(void* region1, uint32_t bytes1, void* region2, uint32_t bytes2);

    // Values pass to and from the platform unchanged; a refused write is only stored as the
    // result code. Reading a value that cannot be read gives 0.
    int32_t Frequency();
    void SetFrequency(int32_t frequency);
    int32_t Pan();
    void SetPan(int32_t pan);
    int32_t Volume();
    void SetVolume(int32_t volume);
    int32_t Position();
    void SetPosition(int32_t bytes);
    // On a playing buffer, moves the cursor on the frame a Play made now would start on.
    void SetPositionOnCue(int32_t bytes);
    // DSBSTATUS_* bits (0 when they cannot be read).
    uint32_t Status();
    // Playing once or looped.
    bool Playing();
    WaveFormatEx Format();

    bool HasBuffer() const { return buffer_ != nullptr; }
    // The platform buffer; EDirectSoundBufferError "IDirectSoundBuffer not made" when none.
    SoundBuffer& IBuffer();

protected:
    void Check() override;

private:
    friend class TDirectSound;
    TDirectSound* device_;
    std::shared_ptr<SoundBuffer> buffer_;
};

} // namespace groovane
