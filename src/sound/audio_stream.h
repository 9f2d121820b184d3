// The streamed player: plays a wave that stays in a wave stream (a WAV file) instead of in
// memory. It keeps a one-second ring buffer on the sound device, plays it looped, and refills
// the part already played from the stream. A worker thread wakes every 50 ms and hands each
// refill to the user-interface thread through the UI call queue (ui_call_queue.h), waiting
// until it has run; every change to the player therefore happens on the UI thread.
//
// A non-looped player counts `Position` up by what has been played since the last refill; the
// first refill after the last sample brings it to the size and the next one stops the player,
// so it stops by itself 50 to 100 ms after its end, playing silence meanwhile. Such a stop
// takes effect at once (the ring stops and `Playing` is false); the worker only ends and is
// joined later, on the UI thread, and never touches the player again, so a trigger right after
// the end always sounds.
//
// When the output fails and comes back, the ring is reported lost; the next refill or trigger
// restores it and fills it afresh from the play position, so the player plays on.
//
// Setting `Position` while playing (a sample slot's trigger) restarts the sound on one output
// frame: the frame a Play made at that moment starts on (a step tick's frame, or the next one
// mixed). The old sound plays up to that frame and the new one starts on it. For that the
// player keeps two rings of the same size: the restart fills the idle one and it takes over
// from the playing one on that frame. A restart that comes before the new ring has been
// refilled once (the same tick, or triggers closer together than a refill) only sends the new
// ring back to its start on its frame. The first ring's worth of the wave is kept in memory, so
// a restart from the start reads no file.
//
// Every call is a UI-thread call. Failures raise: EAudioStreamError "WaveStream not set", the
// buffer errors of direct_sound.h, and for a file the errors of opening and reading it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sound/direct_sound.h"
#include "platform/exception.h"

namespace groovane {

class TAudioStream;
class TCustomWaveStream;
class TWaveFileStream;
class UiCallQueue;
class WakeEvent;
class WorkerClock;

// "WaveStream not set".
class EAudioStreamError : public Exception {
public:
    using Exception::Exception;
};

// The refill worker of one playing player. It sleeps on its wake-up event for its period; each
// time the period passes it hands the player's update to the UI thread and waits until it has
// run; once the event is signalled it ends. The worker thread itself touches only its event,
// its clock and the queue.
class TAudioStreamNotify {
public:
    // Made and started by Play on the UI thread.
    TAudioStreamNotify(TAudioStream& player, uint32_t periodMs, UiCallQueue& queue, WorkerClock& clock);
    // Ends the worker if it still runs (serving the queue while it waits) and joins it.
    ~TAudioStreamNotify();
    TAudioStreamNotify(const TAudioStreamNotify&) = delete;
    TAudioStreamNotify& operator=(const TAudioStreamNotify&) = delete;

    // UI thread: no further update runs for the player; the worker ends at its next look at
    // the event.
    void Terminate();
    // UI thread: waits for the thread to end, serving the queue meanwhile, and joins it.
    void WaitFor();

    uint32_t PeriodMs() const { return periodMs_; }
    // The thread has run to its end: WaitFor only joins it, at once. Any thread.
    bool Finished() const { return isFinished_.load(); }

private:
    void execute();
    void handOver();

    TAudioStream& player_;
    const uint32_t periodMs_;
    UiCallQueue& queue_;
    WorkerClock& clock_;
    std::unique_ptr<WakeEvent> event_;
    bool isTerminated_ = false; // UI thread only
    std::atomic<bool> isFinished_{false};
    std::thread thread_;
};

// The length of a player's ring until SetBufferLength changes it.
inline constexpr int32_t kPlayerRingMs = 1000;

// What a player makes of a stream, as pure rules, so that code holding a sample slot's settings
// without a device and a player (the command-line render) takes and refuses the same files.
// The stream's format record: raises EWaveStreamError "Wave is invalid" for a record shorter than
// the PCM fields or with a block alignment of 0. Any thread.
WaveFormatEx playerStreamFormat(const TCustomWaveStream& stream);
// The ring's size in bytes for that format: whole frames of `bufferLengthMs` of its byte rate.
// Raises EWaveStreamError "Wave is invalid" for a ring past 32 bits. Any thread.
int64_t playerRingBytes(const WaveFormatEx& format, int32_t bufferLengthMs);
// Whether the device makes such a ring (its size and format); a player that cannot have it raises
// EDirectSoundBufferError "Sound Buffer cannot be made". Any thread.
bool isAcceptedRing(const WaveFormatEx& format, int64_t ringBytes);

class TAudioStream {
public:
    // The ring is made on `device`, which must outlive the player.
    explicit TAudioStream(TDirectSound& device);
    // Stops, forgets the stream and frees the ring.
    virtual ~TAudioStream();
    TAudioStream(const TAudioStream&) = delete;
    TAudioStream& operator=(const TAudioStream&) = delete;

    // The source of format and samples (not owned), or null. Setting it stops the player and
    // sets every position to 0. A stream makes a new ring buffer (frequency, pan and volume back
    // to the buffer's defaults): flags 0x100E0 plus the device's focus flag. A stream whose
    // format record is shorter than the PCM fields or has a block alignment of 0, or whose ring
    // does not fit in 32 bits, is refused with EWaveStreamError "Wave is invalid"; a ring the
    // device refuses raises EDirectSoundBufferError "Sound Buffer cannot be made". After a
    // refusal the player has no stream.
    TCustomWaveStream* WaveStream() const { return waveStream_; }
    void SetWaveStream(TCustomWaveStream* stream);

    // The stream's format record; EAudioStreamError "WaveStream not set" without a stream.
    const uint8_t* Format() const;
    int32_t FormatSize() const;
    // Sample bytes the player plays: 0 without a stream, negative for an open length.
    int64_t Size() const;

    // Play position in the sample data, in bytes. Setting it clamps to 0 .. Size - 1 and rounds
    // down to a whole sample frame; while playing it restarts the sound from there at once.
    int64_t Position() const { return position_; }
    void SetPosition(int64_t value);

    // Starts from Position; does nothing when playing or when the stream holds no samples.
    void Play();
    // Stops the ring. Inside an update it stops at once and only tells the worker to end.
    void Stop();
    bool Playing() const { return isPlaying_; }

    // Passed to and from the ring buffer unchanged (volume and pan in hundredths of a decibel,
    // frequency in Hz, 0 meaning the wave's own rate). Without a ring: EDirectSoundBufferError
    // "IDirectSoundBuffer not made".
    int32_t Frequency();
    void SetFrequency(int32_t value);
    int32_t Pan();
    void SetPan(int32_t value);
    int32_t Volume();
    void SetVolume(int32_t value);

    // A new ring for the same stream (the device's focus flags may have changed), with
    // position, frequency, pan, volume and playing kept. Without a stream it does nothing.
    void RecreateBuffer();

    // Start again from the beginning after the end. False at creation.
    bool Looped() const { return isLooped_; }
    void SetLooped(bool looped) { isLooped_ = looped; }
    // Ring length in milliseconds; 1000. Takes effect at the next SetWaveStream.
    int32_t BufferLength() const { return bufferLengthMs_; }
    void SetBufferLength(int32_t ms) { bufferLengthMs_ = ms; }
    // Bytes in the ring; 0 without a stream.
    int32_t RingSize() const { return ringSize_; }

    // The ring buffer that plays now (for tests and diagnostics).
    TDirectSoundBuffer& Buffer() { return ring(); }

protected:
    // What Size reports for the stream; a file player limits it to what the file holds.
    virtual int64_t streamSize() const;

private:
    friend class TAudioStreamNotify;

    // One refill, run on the UI thread for the worker; a non-looped player at its end stops.
    void Update();
    void runUpdateForWorker(TAudioStreamNotify& worker);
    void stopNow();
    // Waits for the retired workers to end and joins them; with onlyFinished, joins only those
    // whose threads have ended already, waiting for none. Never inside an update.
    void reapWorkers(bool onlyFinished = false);

    // The output failed and came back, and the ring is reported lost: gets it back, empty, so
    // the refill that follows rewrites all of it. The kit restores its sounds through its sound
    // component; the ring is the player's own and is restored here.
    void restoreLostRing();
    TDirectSoundBuffer& ring() { return *rings_[currentRing_]; }
    TDirectSoundBuffer& idleRing() { return *rings_[currentRing_ ^ 1]; }
    void stopRings();
    void fillFrom(int64_t position);
    void readHead();
    int64_t freeSpace();
    void refill(int64_t n);
    void copyFromStream(int64_t d);
    void writeSilence(int64_t n);
    uint8_t silenceByte() const;
    const WaveFormatEx& format() const { return formatRecord_; }

    TDirectSound& device_;
    std::array<std::unique_ptr<TDirectSoundBuffer>, 2> rings_;
    int currentRing_ = 0;
    // The first ring's worth of sample bytes (fewer for a shorter wave), read when the stream is
    // set; empty for a stream of open length.
    std::vector<uint8_t> head_;
    // The current ring holds what follows freshPosition_, as filled by the last restart, with
    // no refill written into it since.
    bool isRingFresh_ = false;
    int64_t freshPosition_ = 0;
    TCustomWaveStream* waveStream_ = nullptr;
    WaveFormatEx formatRecord_{};
    int32_t bufferLengthMs_ = kPlayerRingMs;
    int32_t ringSize_ = 0;
    int64_t ringWritePosition_ = 0;
    int64_t position_ = 0;
    int64_t readPosition_ = 0;
    bool isLooped_ = false;
    bool isPlaying_ = false;
    bool isInUpdate_ = false;
    std::unique_ptr<TAudioStreamNotify> worker_;
    // Workers told to end by a stop inside an update, not joined yet.
    std::vector<std::unique_ptr<TAudioStreamNotify>> retired_;
};

// The player bound to a WAV file by name.
class TAudioFileStream : public TAudioStream {
public:
    explicit TAudioFileStream(TDirectSound& device);
    ~TAudioFileStream() override;

    const std::string& FileName() const { return fileName_; }
    // The same name again does nothing (the file stays open, the position stays). Otherwise
    // closes the current file and, for a non-empty name, opens the named file (found without
    // regard to case) and plays from it. A name that is not a readable regular file raises
    // EFileError "Cannot open file %s"; a file that is not a WAV image or has an unusable
    // format raises its wave error ("Wave is invalid"). Either leaves the player without a
    // stream and with an empty name.
    void SetFileName(const std::string& name);

protected:
    int64_t streamSize() const override;

private:
    std::string fileName_;
    std::unique_ptr<TWaveFileStream> fileStream_;
    // Sample bytes the file really holds after the start of its samples.
    int64_t availableBytes_ = 0;
};

} // namespace groovane
