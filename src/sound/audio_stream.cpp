#include "sound/audio_stream.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/ui_call_queue.h"
#include "sound/wave.h"
#include "sound/wave_stream.h"
#include "platform/worker_clock.h"

namespace groovane {

namespace {

constexpr const char* kNotSet = "WaveStream not set";
constexpr uint32_t kRingFlags =
    DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;
constexpr uint32_t kLongestPeriodMs = 50;

} // namespace

WaveFormatEx playerStreamFormat(const TCustomWaveStream& stream)
{
    // A format record from a file may be short, missing or nonsense; anything the ring
    // arithmetic divides by or sizes from is checked before it is used.
    if (stream.GetFormatSize() < static_cast<int32_t>(kPcmFormatBytes) || !stream.GetFormat())
        throw EWaveStreamError("Wave is invalid");
    const WaveFormatEx format = formatRecordFromBytes(stream.GetFormat(), stream.GetFormatSize());
    if (format.nBlockAlign == 0)
        throw EWaveStreamError("Wave is invalid");
    return format;
}

int64_t playerRingBytes(const WaveFormatEx& format, int32_t bufferLengthMs)
{
    int64_t ring = int64_t{format.nAvgBytesPerSec} * bufferLengthMs / 1000;
    // Whole frames only, so the refills stay aligned with the play cursor when a file's byte
    // rate does not match its frame size.
    ring -= ring % format.nBlockAlign;
    if (ring > INT32_MAX)
        throw EWaveStreamError("Wave is invalid");
    return ring;
}

bool isAcceptedRing(const WaveFormatEx& format, int64_t ringBytes)
{
    return ringBytes >= 0 && ringBytes <= UINT32_MAX && isAcceptedBufferSize(static_cast<uint32_t>(ringBytes)) &&
           isPlayableFormat(format);
}

// ---------------------------------------------------------------------------------------------
// The worker

TAudioStreamNotify::TAudioStreamNotify(TAudioStream& player, uint32_t periodMs, UiCallQueue& queue, WorkerClock& clock)
    : player_(player),
      periodMs_(periodMs),
      queue_(queue),
      clock_(clock),
      event_(std::make_unique<WakeEvent>())
{
    clock_.enter(*event_);
    try {
        thread_ = std::thread([this] { execute(); });
    } catch (...) {
        clock_.leave(*event_);
        throw;
    }
}

TAudioStreamNotify::~TAudioStreamNotify()
{
    Terminate();
    WaitFor();
}

void TAudioStreamNotify::execute()
{
    while (!clock_.wait(*event_, periodMs_))
        queue_.callAndWait([this] { handOver(); });
    clock_.leave(*event_);
    isFinished_.store(true);
    // The last thing this thread does: from here the UI thread may join and free it.
    queue_.notify();
}

void TAudioStreamNotify::handOver()
{
    // A worker told to end may still have handed over one last update; it does nothing.
    if (isTerminated_)
        return;
    player_.runUpdateForWorker(*this);
}

void TAudioStreamNotify::Terminate()
{
    if (isTerminated_)
        return;
    isTerminated_ = true;
    event_->signal();
}

void TAudioStreamNotify::WaitFor()
{
    // The worker may be waiting for its hand-over; serving the queue lets it finish.
    queue_.serveUntil([this] { return isFinished_.load(); });
    if (thread_.joinable())
        thread_.join();
}

// ---------------------------------------------------------------------------------------------
// The player

TAudioStream::TAudioStream(TDirectSound& device)
    : device_(device),
      rings_{std::make_unique<TDirectSoundBuffer>(device), std::make_unique<TDirectSoundBuffer>(device)}
{}

TAudioStream::~TAudioStream()
{
    try {
        SetWaveStream(nullptr);
    } catch (...) {
        // Stopping a ring cannot fail in a way anyone could act on here.
    }
    reapWorkers();
}

void TAudioStream::SetWaveStream(TCustomWaveStream* stream)
{
    Stop();
    waveStream_ = nullptr;
    ringWritePosition_ = 0;
    position_ = 0;
    readPosition_ = 0;
    formatRecord_ = WaveFormatEx{};
    head_.clear();
    head_.shrink_to_fit();
    isRingFresh_ = false;

    for (auto& ring : rings_)
        ring->Release();
    currentRing_ = 0;
    ringSize_ = 0;
    if (!stream)
        return;
    const WaveFormatEx format = playerStreamFormat(*stream);
    if (bufferLengthMs_ <= 0) {
        formatRecord_ = format;
        waveStream_ = stream;
        return;
    }
    const int64_t ring = playerRingBytes(format, bufferLengthMs_);

    SoundBufferDesc desc;
    desc.dwFlags = kRingFlags;
    if (device_.StickyFocus())
        desc.dwFlags |= DSBCAPS_STICKYFOCUS;
    else if (device_.GlobalFocus())
        desc.dwFlags |= DSBCAPS_GLOBALFOCUS;
    desc.dwBufferBytes = static_cast<uint32_t>(ring);
    desc.lpwfxFormat = &format;
    for (auto& each : rings_) {
        if (!each->CreateBuffer(desc)) {
            for (auto& made : rings_)
                made->Release();
            throw EDirectSoundBufferError(formatMessage("%s cannot be made", "Sound Buffer"));
        }
    }
    formatRecord_ = format;
    ringSize_ = static_cast<int32_t>(ring);
    waveStream_ = stream;
    readHead();
}

void TAudioStream::readHead()
{
    const int64_t size = Size();
    if (size <= 0)
        return;
    try {
        head_.resize(static_cast<size_t>(std::min<int64_t>(size, ringSize_)));
        waveStream_->SetPosition(0);
        const int64_t got = std::max<int64_t>(waveStream_->Read(head_.data(), static_cast<int64_t>(head_.size())), 0);
        head_.resize(static_cast<size_t>(std::min<int64_t>(got, static_cast<int64_t>(head_.size()))));
    } catch (...) {
        // Not kept, then: the refills read the stream, and raise its error in their own time.
        head_.clear();
    }
}

const uint8_t* TAudioStream::Format() const
{
    if (!waveStream_)
        throw EAudioStreamError(kNotSet);
    return waveStream_->GetFormat();
}

int32_t TAudioStream::FormatSize() const
{
    if (!waveStream_)
        throw EAudioStreamError(kNotSet);
    return waveStream_->GetFormatSize();
}

int64_t TAudioStream::Size() const
{
    return waveStream_ ? streamSize() : 0;
}

int64_t TAudioStream::streamSize() const
{
    return waveStream_->GetSize();
}

void TAudioStream::SetPosition(int64_t value)
{
    if (!waveStream_)
        throw EAudioStreamError(kNotSet);
    const int64_t size = Size();
    int64_t v = size >= 0 ? std::min(value, size - 1) : value;
    v = std::max<int64_t>(v, 0);
    v -= v % format().nBlockAlign;
    position_ = v;
    if (!isPlaying_)
        return;
    try {
        restoreLostRing();
        TDirectSoundBuffer& playing = ring();
        if (playing.Playing()) {
            if (isRingFresh_ && freshPosition_ == v) {
                // Nothing has been written into this ring since it was filled from v: it goes
                // back to its start on the restart's frame.
                playing.SetPositionOnCue(0);
                return;
            }
            currentRing_ ^= 1;
            TDirectSoundBuffer& next = ring();
            if (next.Playing())
                next.Stop(); // still sounding up to an earlier takeover
            fillFrom(v);
            next.SetPosition(0);
            // Placed as any Play is (on a tick's frame inside a tick); the old ring stops there.
            next.PlayReplacing(true, playing);
        } else {
            playing.Stop();
            if (idleRing().HasBuffer() && idleRing().Playing())
                idleRing().Stop();
            fillFrom(v);
            playing.SetPosition(0);
            playing.Play(true);
        }
        isRingFresh_ = true;
        freshPosition_ = v;
    } catch (...) {
        Stop();
        throw;
    }
}

void TAudioStream::fillFrom(int64_t position)
{
    ringWritePosition_ = 0;
    readPosition_ = position;
    refill(ringSize_);
}

void TAudioStream::stopRings()
{
    for (auto& ring : rings_)
        if (ring->HasBuffer())
            ring->Stop();
}

void TAudioStream::Play()
{
    if (isPlaying_)
        return;
    if (!waveStream_)
        throw EAudioStreamError(kNotSet);
    if (Size() == 0)
        return;
    // A trigger comes inside a step tick, which must not wait: only workers that have ended
    // already are joined here, the rest at the next Stop.
    if (!isInUpdate_)
        reapWorkers(true);
    isPlaying_ = true;
    try {
        SetPosition(position_);
        const auto period = static_cast<uint32_t>(std::clamp<int32_t>(bufferLengthMs_ / 4, 1, kLongestPeriodMs));
        worker_ = std::make_unique<TAudioStreamNotify>(*this, period, uiCallQueue(), workerClock());
    } catch (...) {
        Stop();
        throw;
    }
}

void TAudioStream::Stop()
{
    if (isInUpdate_) {
        // The worker is waiting for this very update to return: stop now, let it end by itself.
        if (isPlaying_)
            stopNow();
        return;
    }
    if (isPlaying_) {
        // Taken out first: serving the queue while waiting may run a handler that stops this
        // player again (an error box's event loop), which then finds no worker to wait for.
        const std::unique_ptr<TAudioStreamNotify> worker = std::move(worker_);
        if (worker) {
            worker->Terminate();
            worker->WaitFor();
        }
        stopRings();
        isPlaying_ = false;
    }
    reapWorkers();
}

void TAudioStream::stopNow()
{
    stopRings();
    isPlaying_ = false;
    if (worker_) {
        worker_->Terminate();
        retired_.push_back(std::move(worker_));
    }
}

void TAudioStream::reapWorkers(bool onlyFinished)
{
    // Each was told to end and no longer waits for this player, so the wait is short. The list
    // is taken first for the same reason as in Stop.
    std::vector<std::unique_ptr<TAudioStreamNotify>> retired = std::move(retired_);
    retired_.clear();
    for (auto& worker : retired) {
        if (onlyFinished && !worker->Finished())
            retired_.push_back(std::move(worker));
        else
            worker->WaitFor();
    }
}

// Both rings carry the same values, so a takeover sounds like the ring before it.
int32_t TAudioStream::Frequency()
{
    return ring().Frequency();
}

void TAudioStream::SetFrequency(int32_t value)
{
    ring().SetFrequency(value);
    if (idleRing().HasBuffer())
        idleRing().SetFrequency(value);
}

int32_t TAudioStream::Pan()
{
    return ring().Pan();
}

void TAudioStream::SetPan(int32_t value)
{
    ring().SetPan(value);
    if (idleRing().HasBuffer())
        idleRing().SetPan(value);
}

int32_t TAudioStream::Volume()
{
    return ring().Volume();
}

void TAudioStream::SetVolume(int32_t value)
{
    ring().SetVolume(value);
    if (idleRing().HasBuffer())
        idleRing().SetVolume(value);
}

void TAudioStream::RecreateBuffer()
{
    // Without a stream there is no ring to make again.
    if (!waveStream_)
        return;
    const bool wasPlaying = isPlaying_;
    const int64_t position = position_;
    const int32_t frequency = Frequency();
    const int32_t pan = Pan();
    const int32_t volume = Volume();
    SetWaveStream(waveStream_);
    SetPosition(position);
    SetFrequency(frequency);
    SetPan(pan);
    SetVolume(volume);
    if (wasPlaying)
        Play();
}

void TAudioStream::runUpdateForWorker(TAudioStreamNotify& worker)
{
    if (worker_.get() != &worker)
        return;
    isInUpdate_ = true;
    try {
        Update();
    } catch (...) {
        // Whatever failed, this worker's run is over.
        if (worker_.get() == &worker)
            stopNow();
        isInUpdate_ = false;
        throw;
    }
    isInUpdate_ = false;
}

void TAudioStream::Update()
{
    if (!isPlaying_)
        return;
    if (ring().Status() & DSBSTATUS_BUFFERLOST) {
        // The ring's samples are gone: start it afresh from what was to be played next.
        SetPosition(position_);
        return;
    }
    try {
        const int64_t size = Size();
        if (size < 0) {
            const int64_t n = freeSpace();
            if (n > 0) {
                isRingFresh_ = false;
                refill(n);
            }
        } else if (isLooped_) {
            const int64_t n = freeSpace();
            if (n < 1)
                return;
            position_ = (position_ + n) % size;
            isRingFresh_ = false;
            refill(n);
        } else if (position_ < size) {
            const int64_t n = freeSpace();
            if (n < 1)
                return;
            position_ = std::min(position_ + n, size);
            isRingFresh_ = false;
            refill(n);
        } else {
            Stop();
        }
    } catch (...) {
        Stop();
        throw;
    }
}

void TAudioStream::restoreLostRing()
{
    for (auto& ring : rings_)
        if (ring->HasBuffer() && (ring->Status() & DSBSTATUS_BUFFERLOST))
            ring->SetDXResult(ring->IBuffer().Restore());
}

int64_t TAudioStream::freeSpace()
{
    int64_t n = int64_t{ring().Position()} - ringWritePosition_;
    if (n < 0)
        n += ringSize_;
    const int64_t filled = waveStream_->GetFilledSize();
    if (filled >= 0)
        n = std::min(n, filled);
    return n;
}

void TAudioStream::refill(int64_t n)
{
    const int64_t size = Size();
    if (size >= 0 && isLooped_) {
        while (n >= 1) {
            const int64_t d = std::min(size - readPosition_, n);
            copyFromStream(d);
            readPosition_ %= size;
            n -= d;
        }
    } else if (size >= 0) {
        const int64_t left = size - readPosition_;
        if (left < 1) {
            writeSilence(n);
        } else if (left < n) {
            copyFromStream(left);
            writeSilence(n - left);
        } else {
            copyFromStream(n);
        }
    } else {
        copyFromStream(n);
    }
}

void TAudioStream::copyFromStream(int64_t d)
{
    if (d <= 0)
        return;
    void* region1 = nullptr;
    void* region2 = nullptr;
    uint32_t bytes1 = 0;
    uint32_t bytes2 = 0;
    TDirectSoundBuffer& buffer = ring();
    if (!buffer.Lock(static_cast<uint32_t>(ringWritePosition_), static_cast<uint32_t>(d), &region1, &bytes1, &region2,
                     &bytes2))
        return;
    if (readPosition_ >= 0 && readPosition_ + bytes1 + bytes2 <= static_cast<int64_t>(head_.size())) {
        // From the wave's start kept in memory: no file is read (a restart inside a tick).
        std::memcpy(region1, head_.data() + readPosition_, bytes1);
        if (region2 && bytes2)
            std::memcpy(region2, head_.data() + readPosition_ + bytes1, bytes2);
        readPosition_ += bytes1 + bytes2;
        ringWritePosition_ = (ringWritePosition_ + bytes1 + bytes2) % ringSize_;
        buffer.Unlock(region1, bytes1, region2, bytes2);
        return;
    }
    waveStream_->SetPosition(readPosition_);
    int64_t read = 0;
    // A stream that gives fewer bytes than asked for (a file cut short while playing) leaves
    // silence in the rest of the region, never what the ring held a second ago.
    auto fill = [&](void* region, uint32_t bytes) {
        if (!region || bytes == 0)
            return;
        const int64_t got = std::max<int64_t>(waveStream_->Read(region, bytes), 0);
        if (got < bytes)
            std::memset(static_cast<uint8_t*>(region) + got, silenceByte(), static_cast<size_t>(bytes - got));
        read += got;
    };
    try {
        fill(region1, bytes1);
        fill(region2, bytes2);
    } catch (...) {
        buffer.Unlock(region1, bytes1, region2, bytes2);
        throw;
    }
    readPosition_ += read;
    ringWritePosition_ = (ringWritePosition_ + bytes1 + bytes2) % ringSize_;
    buffer.Unlock(region1, bytes1, region2, bytes2);
}

void TAudioStream::writeSilence(int64_t n)
{
    if (n <= 0)
        return;
    void* region1 = nullptr;
    void* region2 = nullptr;
    uint32_t bytes1 = 0;
    uint32_t bytes2 = 0;
    TDirectSoundBuffer& buffer = ring();
    if (!buffer.Lock(static_cast<uint32_t>(ringWritePosition_), static_cast<uint32_t>(n), &region1, &bytes1, &region2,
                     &bytes2))
        return;
    if (region1)
        std::memset(region1, silenceByte(), bytes1);
    if (region2)
        std::memset(region2, silenceByte(), bytes2);
    buffer.Unlock(region1, bytes1, region2, bytes2);
    ringWritePosition_ = (ringWritePosition_ + bytes1 + bytes2) % ringSize_;
    readPosition_ += bytes1 + bytes2;
}

uint8_t TAudioStream::silenceByte() const
{
    return format().wBitsPerSample == 8 ? 128 : 0;
}

// ---------------------------------------------------------------------------------------------
// The file player

TAudioFileStream::TAudioFileStream(TDirectSound& device) : TAudioStream(device) {}

TAudioFileStream::~TAudioFileStream()
{
    // The ring lets go of the file before the file closes.
    try {
        SetWaveStream(nullptr);
    } catch (...) {
    }
}

int64_t TAudioFileStream::streamSize() const
{
    return std::min(TAudioStream::streamSize(), availableBytes_);
}

void TAudioFileStream::SetFileName(const std::string& name)
{
    if (name == fileName_)
        return;
    fileName_ = name;
    if (fileStream_) {
        SetWaveStream(nullptr);
        fileStream_.reset();
        availableBytes_ = 0;
    }
    if (name.empty())
        return;
    try {
        auto stream = std::make_unique<TWaveFileStream>(name, FileMode::OpenRead);
        stream->Open(false);
        availableBytes_ = stream->StoredSize();
        fileStream_ = std::move(stream);
        SetWaveStream(fileStream_.get());
    } catch (...) {
        SetWaveStream(nullptr);
        fileStream_.reset();
        availableBytes_ = 0;
        fileName_.clear();
        throw;
    }
}

} // namespace groovane
