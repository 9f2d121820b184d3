// The software sound device: the program's sound layer was written against a platform sound
// interface with devices, a primary buffer that sets the mixing format, and secondary buffers
// that hold samples and play them once or looped at their own volume, pan and frequency. This
// header is that interface, with the platform's result codes, flag values and the 18-byte PCM
// format record, so the layer above keeps its rules (refused values keep the old ones, lost
// buffers are restored, duplicates share sample memory) unchanged. Every device of every window
// mixes into one shared output (sound_system.h).
//
// Threads: a device and its buffers belong to the thread that made the device, the UI thread;
// every call on them, their release included, comes from there (a streamed player's worker
// hands its refills to the UI thread, ui_call_queue.h, and never calls a buffer itself). Nothing
// here is locked: what the mixer needs crosses to the audio thread only through the mixer's
// command queue and atomics, and what the mixer lets go of comes back through its retire queue
// (sound_mixer.h). Debug and sanitizer builds end the program on a call from another thread. No
// call blocks on the audio thread. No call throws: failures are returned as result codes.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace groovane {

// A 32-bit result: 0 success, negative failure.
using HRESULT = int32_t;

constexpr HRESULT DS_OK = 0;
constexpr HRESULT DSERR_BUFFERLOST = static_cast<HRESULT>(0x88780096u);
constexpr HRESULT DSERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DSERR_PRIOLEVELNEEDED = static_cast<HRESULT>(0x88780046u);
constexpr HRESULT DSERR_BADFORMAT = static_cast<HRESULT>(0x88780064u);
constexpr HRESULT DSERR_CONTROLUNAVAIL = static_cast<HRESULT>(0x8878001Eu);
constexpr HRESULT DSERR_INVALIDCALL = static_cast<HRESULT>(0x88780032u);
constexpr HRESULT DSERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT DSERR_GENERIC = static_cast<HRESULT>(0x80004005u);

// Cooperative levels.
constexpr uint32_t DSSCL_NORMAL = 1;
constexpr uint32_t DSSCL_PRIORITY = 2;
constexpr uint32_t DSSCL_EXCLUSIVE = 3;
constexpr uint32_t DSSCL_WRITEPRIMARY = 4;

// Buffer description flags.
constexpr uint32_t DSBCAPS_PRIMARYBUFFER = 0x1;
constexpr uint32_t DSBCAPS_CTRLFREQUENCY = 0x20;
constexpr uint32_t DSBCAPS_CTRLPAN = 0x40;
constexpr uint32_t DSBCAPS_CTRLVOLUME = 0x80;
constexpr uint32_t DSBCAPS_STICKYFOCUS = 0x4000;
constexpr uint32_t DSBCAPS_GLOBALFOCUS = 0x8000;
constexpr uint32_t DSBCAPS_GETCURRENTPOSITION2 = 0x10000;

// Play flags.
constexpr uint32_t DSBPLAY_LOOPING = 0x1;

// Status bits.
constexpr uint32_t DSBSTATUS_PLAYING = 0x1;
constexpr uint32_t DSBSTATUS_BUFFERLOST = 0x2;
constexpr uint32_t DSBSTATUS_LOOPING = 0x4;

// Lock flags.
constexpr uint32_t DSBLOCK_FROMWRITECURSOR = 0x1;
constexpr uint32_t DSBLOCK_ENTIREBUFFER = 0x2;

// Value ranges.
constexpr int32_t DSBVOLUME_MIN = -10000;
constexpr int32_t DSBVOLUME_MAX = 0;
constexpr int32_t DSBPAN_LEFT = -10000;
constexpr int32_t DSBPAN_RIGHT = 10000;
constexpr uint32_t DSBFREQUENCY_ORIGINAL = 0;
constexpr uint32_t DSBFREQUENCY_MIN = 100;
constexpr uint32_t DSBFREQUENCY_MAX = 200000;
constexpr uint32_t DSBSIZE_MIN = 4;
constexpr uint32_t DSBSIZE_MAX = 0x0FFFFFFF;

constexpr uint16_t WAVE_FORMAT_PCM = 1;

// The platform's PCM format record, byte for byte as it is stored in WAV and kit files.
#pragma pack(push, 1)
struct WaveFormatEx {
    uint16_t wFormatTag = 0;
    uint16_t nChannels = 0;
    uint32_t nSamplesPerSec = 0;
    uint32_t nAvgBytesPerSec = 0;
    uint16_t nBlockAlign = 0;
    uint16_t wBitsPerSample = 0;
    uint16_t cbSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormatEx) == 18);

// The size of the PCM part of a format record; a record read from a file may be only this long
// (no cbSize), so the device never reads more than these bytes of a PCM record.
constexpr uint32_t kPcmFormatBytes = 16;

// What a secondary buffer accepts, as pure rules: the buffer refuses anything else (its SetVolume,
// SetPan and SetFrequency keep the old value; CreateSoundBuffer makes nothing), so code that holds
// a sound's settings without a device (the command-line render's sample slots) applies the same
// rules and ends with the values a buffer would hold. Any thread.
bool isAcceptedVolume(int32_t volume);        // DSBVOLUME_MIN .. DSBVOLUME_MAX
bool isAcceptedPan(int32_t pan);              // DSBPAN_LEFT .. DSBPAN_RIGHT
bool isAcceptedFrequency(uint32_t frequency); // DSBFREQUENCY_ORIGINAL, or DSBFREQUENCY_MIN .. MAX
bool isAcceptedBufferSize(uint32_t bytes);    // DSBSIZE_MIN .. DSBSIZE_MAX
// A secondary buffer's format (its PCM part): PCM, 1 or 2 channels, 8 or 16 bits, a block
// alignment that matches, and a rate of DSBFREQUENCY_MIN .. MAX.
bool isPlayableFormat(const WaveFormatEx& format);

// A buffer description. For a PCM format only its first 16 bytes are read (copied), so
// lpwfxFormat may point at a 16-byte record; the device keeps no pointer to it.
struct SoundBufferDesc {
    uint32_t dwSize = 20;
    uint32_t dwFlags = 0;
    uint32_t dwBufferBytes = 0;
    const WaveFormatEx* lpwfxFormat = nullptr;
};

// One primary or secondary buffer. Shared ownership: the buffer's sample memory lives while any
// buffer sharing it (duplicates) lives; releasing the last reference stops the voice.
class SoundBuffer {
public:
    virtual ~SoundBuffer() = default;

    // Starts playing from the play cursor. Inside a PlayTimeStamp (a step timer's tick,
    // sound_system.h) it starts on the output frame heard the stamp's time plus the latency
    // later, or as soon as the mixer gets it, should it arrive later than that; otherwise on the
    // first frame the output has not mixed yet. On a playing buffer only the looping flag
    // changes. Primary: DS_OK, no effect. Lost: DSERR_BUFFERLOST.
    virtual HRESULT Play(uint32_t flags) = 0;
    // Play, and `previous` (another buffer, playing) stops on the very frame this one starts on:
    // it plays up to that frame and not beyond. So one sound takes over from another without a
    // gap and without overlap. A `previous` that is this buffer, the primary or not playing is
    // left alone.
    virtual HRESULT PlayReplacing(uint32_t flags, SoundBuffer& previous) = 0;
    // On a playing buffer: moves the play cursor to `bytes` (rounded down to a whole frame) on
    // the frame a Play made now would start on, and plays on from there; until that frame it
    // plays on from where it is. The cursor reads `bytes` from the call on, until the move has
    // happened and the buffer has moved on from there. On a stopped buffer it is
    // SetCurrentPosition. Beyond the end: DSERR_INVALIDPARAM. Primary: DSERR_INVALIDCALL.
    virtual HRESULT SetCurrentPositionOnCue(uint32_t bytes) = 0;
    // Stops; the play cursor stays where it was.
    virtual HRESULT Stop() = 0;
    // Play and write cursors in bytes (either pointer may be null).
    virtual HRESULT GetCurrentPosition(uint32_t* playCursor, uint32_t* writeCursor) = 0;
    // Moves the play cursor of a secondary buffer (rounded down to a whole frame); beyond the
    // end: DSERR_INVALIDPARAM. Primary: DSERR_INVALIDCALL.
    virtual HRESULT SetCurrentPosition(uint32_t bytes) = 0;
    // Gives the byte range [offset, offset + bytes) of the ring as one region, or two when it
    // wraps past the end (the second starts at byte 0; otherwise region2 is null, bytes2 0).
    // DSBLOCK_FROMWRITECURSOR starts at the write cursor, DSBLOCK_ENTIREBUFFER locks it all.
    // Not exclusive against playback: write only where the cursor is not. Unlock publishes the
    // writes to the mixer. Bad ranges: DSERR_INVALIDPARAM; primary: DSERR_INVALIDCALL.
    virtual HRESULT Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* bytes1, void** region2,
                         uint32_t* bytes2, uint32_t flags) = 0;
    virtual HRESULT Unlock(void* region1, uint32_t bytes1, void* region2, uint32_t bytes2) = 0;
    // DSBSTATUS_* bits.
    virtual HRESULT GetStatus(uint32_t* status) = 0;
    // Volume in hundredths of a decibel, -10000 .. 0; pan -10000 .. 10000; frequency 0 (the
    // format's own rate; GetFrequency then reports that rate) or 100 .. 200000 Hz. Out of range:
    // DSERR_INVALIDPARAM, the old value stays. Without the control flag, or on the primary: DSERR_CONTROLUNAVAIL.
    virtual HRESULT GetVolume(int32_t* volume) = 0;
    virtual HRESULT SetVolume(int32_t volume) = 0;
    virtual HRESULT GetPan(int32_t* pan) = 0;
    virtual HRESULT SetPan(int32_t pan) = 0;
    virtual HRESULT GetFrequency(uint32_t* frequency) = 0;
    virtual HRESULT SetFrequency(uint32_t frequency) = 0;
    // The buffer's format (the primary's mixing format on the primary).
    virtual HRESULT GetFormat(WaveFormatEx* format) = 0;
    // Primary only (secondary: DSERR_INVALIDCALL). Below DSSCL_PRIORITY: DSERR_PRIOLEVELNEEDED.
    // Not PCM, 0 Hz, 0 channels, 0 bits, bits other than 8/16, more than 2 channels or a rate
    // outside 100 .. 200000: DSERR_BADFORMAT. A refused call keeps the previous format.
    virtual HRESULT SetFormat(const WaveFormatEx* format) = 0;
    // Clears the lost state after the output came back; the caller then reloads the samples.
    virtual HRESULT Restore() = 0;
    // The description flags the buffer was made with (for tests and diagnostics).
    virtual uint32_t flags() const = 0;
    // Size of the sample memory in bytes (0 for the primary).
    virtual uint32_t sizeBytes() const = 0;
};

// Opaque window identity for the cooperative level.
using WindowHandle = const void*;

class SoundDevice {
public:
    virtual ~SoundDevice() = default;

    // Level 1..4 on a non-null window; otherwise DSERR_INVALIDPARAM. UI thread.
    virtual HRESULT SetCooperativeLevel(WindowHandle window, uint32_t level) = 0;
    // DSBCAPS_PRIMARYBUFFER makes the primary (no bytes, no format; it starts at 22050 Hz,
    // 8 bits, 2 channels). A secondary needs a PCM format of 1 or 2 channels and 8 or 16 bits
    // (else DSERR_BADFORMAT) and 4 .. 0x0FFFFFFF bytes (else DSERR_INVALIDPARAM, as is a
    // missing format or dwSize other than 20). The new buffer is silent and stopped, volume 0,
    // pan 0, frequency 0 (its own rate). UI thread.
    virtual HRESULT CreateSoundBuffer(const SoundBufferDesc* desc, std::shared_ptr<SoundBuffer>* buffer) = 0;
    // A new buffer sharing the original's sample memory, with its frequency, pan and volume, its
    // own cursor at 0 and stopped. The primary cannot be duplicated (DSERR_INVALIDCALL). UI thread.
    virtual HRESULT DuplicateSoundBuffer(const std::shared_ptr<SoundBuffer>& original,
                                         std::shared_ptr<SoundBuffer>* duplicate) = 0;
    // The last level set, 0 before any (for tests).
    virtual uint32_t cooperativeLevel() const = 0;
};

// Makes a device on the process's shared output (sound_system.h). deviceId must be null (the
// default device); anything else: DSERR_INVALIDPARAM. UI thread.
HRESULT DirectSoundCreate(const void* deviceId, std::shared_ptr<SoundDevice>* device);

using DirectSoundCreateProc = HRESULT (*)(const void*, std::shared_ptr<SoundDevice>*);

// "Loading the platform library and taking its entry point": resolves an entry point by name.
// The library "DSound.dll" (matched without regard to case) offers "DirectSoundCreate"; any
// other library or name, or a library made unavailable below, gives null. Any thread.
DirectSoundCreateProc resolveSoundEntryPoint(std::string_view library, std::string_view entryPoint);
// Makes resolution of that library fail (true) or work again (false), so the "not loaded" path
// can be exercised. UI thread.
void setSoundLibraryUnavailable(bool unavailable);

// Whether this program is the active application. Buffers made without DSBCAPS_GLOBALFOCUS or
// DSBCAPS_STICKYFOCUS are silent (they keep advancing) while it is not. Starts true. Any thread.
void setApplicationActive(bool active);
bool isApplicationActive();

} // namespace groovane
