#include "sound/direct_sound.h"

#include <algorithm>
#include <cstring>

#include "sound/dx_sound.h"
#include "sound/wave.h"

namespace groovane {

namespace {

constexpr const char* kLibraryName = "DSound.dll";

// A format record of the size a file gave, widened to the full record with zeros, so the device
// never reads past the bytes the wave holds; an extensible PCM record is given as plain PCM,
// the only kind the device plays. False when the record is shorter than the PCM
// fields: there is no format to give then.
bool widenFormat(const uint8_t* format, int32_t formatSize, WaveFormatEx& out)
{
    if (!format || formatSize < static_cast<int32_t>(kPcmFormatBytes))
        return false;
    out = formatRecordFromBytes(format, formatSize);
    return true;
}

} // namespace

void TDirectX::SetDXResult(HRESULT result)
{
    dxResult_ = result;
    if (result != DS_OK)
        Check();
}

TDirectSound::TDirectSound(const void* deviceId)
{
    const DirectSoundCreateProc create = resolveSoundEntryPoint(kLibraryName, "DirectSoundCreate");
    if (!create)
        throw EDirectXLoadError(formatMessage("%s not loaded", kLibraryName));
    std::shared_ptr<SoundDevice> device;
    const HRESULT result = create(deviceId, &device);
    SetDXResult(result);
    if (result != DS_OK || !device)
        throw EDirectSoundError(formatMessage("%s cannot be initialized", "DirectSound"));
    device_ = std::move(device);
}

TDirectSound::~TDirectSound()
{
    // A buffer object that outlives its device keeps working as an empty one: its sound is
    // dropped and it no longer reaches back into the device.
    for (TDirectSoundBuffer* buffer : buffers_) {
        buffer->Release();
        buffer->device_ = nullptr;
    }
}

SoundDevice& TDirectSound::IDSound()
{
    if (!device_)
        throw EDirectSoundError(formatMessage("%s not made", "IDirectSound"));
    return *device_;
}

void TDirectSound::RestoreLostBuffers()
{
    if (restoring_)
        return;
    restoring_ = true;
    try {
        DoRestore();
    } catch (...) {
        restoring_ = false;
        throw;
    }
    restoring_ = false;
}

TDXSoundDirectSound::TDXSoundDirectSound(TCustomDXSound& owner, const void* deviceId)
    : TDirectSound(deviceId),
      owner_(owner)
{}

void TDXSoundDirectSound::DoRestore()
{
    owner_.Restore();
}

TDirectSoundBuffer::TDirectSoundBuffer(TDirectSound& device) : device_(&device)
{
    device_->buffers_.push_back(this);
}

TDirectSound& TDirectSoundBuffer::DSound() const
{
    if (!device_)
        throw EDirectSoundError(formatMessage("%s not made", "IDirectSound"));
    return *device_;
}

TDirectSoundBuffer::~TDirectSoundBuffer()
{
    if (!device_)
        return;
    auto& list = device_->buffers_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void TDirectSoundBuffer::Check()
{
    if (DXResult() == DSERR_BUFFERLOST && device_)
        device_->RestoreLostBuffers();
}

void TDirectSoundBuffer::Release()
{
    buffer_.reset();
}

SoundBuffer& TDirectSoundBuffer::IBuffer()
{
    if (!buffer_)
        throw EDirectSoundBufferError(formatMessage("%s not made", "IDirectSoundBuffer"));
    return *buffer_;
}

bool TDirectSoundBuffer::CreateBuffer(const SoundBufferDesc& desc)
{
    buffer_.reset();
    std::shared_ptr<SoundBuffer> made;
    const HRESULT result = DSound().IDSound().CreateSoundBuffer(&desc, &made);
    device_->SetDXResult(result);
    SetDXResult(result);
    if (result == DS_OK)
        buffer_ = std::move(made);
    return result == DS_OK && buffer_;
}

void TDirectSoundBuffer::CreateBuffer(const uint8_t* format, int32_t formatSize, uint32_t bytes)
{
    WaveFormatEx record;
    SoundBufferDesc desc;
    desc.dwFlags = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;
    if (DSound().StickyFocus())
        desc.dwFlags |= DSBCAPS_STICKYFOCUS;
    else if (DSound().GlobalFocus())
        desc.dwFlags |= DSBCAPS_GLOBALFOCUS;
    desc.dwBufferBytes = bytes;
    desc.lpwfxFormat = widenFormat(format, formatSize, record) ? &record : nullptr;
    if (!CreateBuffer(desc))
        throw EDirectSoundBufferError(formatMessage("%s cannot be made", "Sound Buffer"));
}

void TDirectSoundBuffer::LoadFromMemory(const uint8_t* format, int32_t formatSize, const uint8_t* data, uint32_t bytes)
{
    CreateBuffer(format, formatSize, bytes);
    if (!data)
        return;
    void* region1 = nullptr;
    void* region2 = nullptr;
    uint32_t bytes1 = 0;
    uint32_t bytes2 = 0;
    if (!Lock(0, bytes, &region1, &bytes1, &region2, &bytes2, 0)) {
        Release();
        throw EDirectSoundBufferError(formatMessage("%s cannot be locked", "Sound Buffer"));
    }
    // The regions together never exceed what was asked for; copy no more than the data holds.
    bytes1 = std::min(bytes1, bytes);
    bytes2 = std::min(bytes2, bytes - bytes1);
    std::memcpy(region1, data, bytes1);
    if (region2 && bytes2 > 0)
        std::memcpy(region2, data + bytes1, bytes2);
    Unlock(region1, bytes1, region2, bytes2);
}

void TDirectSoundBuffer::LoadFromWave(const TWave& wave)
{
    LoadFromMemory(wave.Format(), wave.FormatSize(), wave.Data(), static_cast<uint32_t>(wave.Size()));
}

void TDirectSoundBuffer::Assign(const TDirectSoundBuffer* source)
{
    if (source == this)
        return;
    if (!source || !source->buffer_) {
        Release();
        return;
    }
    std::shared_ptr<SoundBuffer> duplicate;
    const HRESULT result = DSound().IDSound().DuplicateSoundBuffer(source->buffer_, &duplicate);
    device_->SetDXResult(result);
    if (result == DS_OK) {
        buffer_ = std::move(duplicate);
        SetDXResult(DS_OK);
    }
}

bool TDirectSoundBuffer::Play(bool looped)
{
    SetDXResult(IBuffer().Play(looped ? DSBPLAY_LOOPING : 0));
    return DXResult() == DS_OK;
}

bool TDirectSoundBuffer::PlayReplacing(bool looped, TDirectSoundBuffer& previous)
{
    if (!previous.HasBuffer())
        return Play(looped);
    SetDXResult(IBuffer().PlayReplacing(looped ? DSBPLAY_LOOPING : 0, previous.IBuffer()));
    return DXResult() == DS_OK;
}

bool TDirectSoundBuffer::Stop()
{
    SetDXResult(IBuffer().Stop());
    return DXResult() == DS_OK;
}

bool TDirectSoundBuffer::SetFormat(const WaveFormatEx& format)
{
    SetDXResult(IBuffer().SetFormat(&format));
    return DXResult() == DS_OK;
}

bool TDirectSoundBuffer::Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* bytes1, void** region2,
                              uint32_t* bytes2, uint32_t flags)
{
    SetDXResult(IBuffer().Lock(offset, bytes, region1, bytes1, region2, bytes2, flags));
    return DXResult() == DS_OK;
}

bool TDirectSoundBuffer::Unlock(void* region1, uint32_t bytes1, void* region2, uint32_t bytes2)
{
    SetDXResult(IBuffer().Unlock(region1, bytes1, region2, bytes2));
    return DXResult() == DS_OK;
}

int32_t TDirectSoundBuffer::Frequency()
{
    uint32_t value = 0;
    SetDXResult(IBuffer().GetFrequency(&value));
    return static_cast<int32_t>(value);
}

void TDirectSoundBuffer::SetFrequency(int32_t frequency)
{
    SetDXResult(IBuffer().SetFrequency(static_cast<uint32_t>(frequency)));
}

int32_t TDirectSoundBuffer::Pan()
{
    int32_t value = 0;
    SetDXResult(IBuffer().GetPan(&value));
    return value;
}

void TDirectSoundBuffer::SetPan(int32_t pan)
{
    SetDXResult(IBuffer().SetPan(pan));
}

int32_t TDirectSoundBuffer::Volume()
{
    int32_t value = 0;
    SetDXResult(IBuffer().GetVolume(&value));
    return value;
}

void TDirectSoundBuffer::SetVolume(int32_t volume)
{
    SetDXResult(IBuffer().SetVolume(volume));
}

int32_t TDirectSoundBuffer::Position()
{
    uint32_t play = 0;
    SetDXResult(IBuffer().GetCurrentPosition(&play, nullptr));
    return static_cast<int32_t>(play);
}

void TDirectSoundBuffer::SetPosition(int32_t bytes)
{
    SetDXResult(IBuffer().SetCurrentPosition(static_cast<uint32_t>(bytes)));
}

void TDirectSoundBuffer::SetPositionOnCue(int32_t bytes)
{
    SetDXResult(IBuffer().SetCurrentPositionOnCue(static_cast<uint32_t>(bytes)));
}

uint32_t TDirectSoundBuffer::Status()
{
    uint32_t status = 0;
    SetDXResult(IBuffer().GetStatus(&status));
    return status;
}

bool TDirectSoundBuffer::Playing()
{
    return (Status() & (DSBSTATUS_PLAYING | DSBSTATUS_LOOPING)) != 0;
}

WaveFormatEx TDirectSoundBuffer::Format()
{
    WaveFormatEx format;
    SetDXResult(IBuffer().GetFormat(&format));
    return format;
}

} // namespace groovane
