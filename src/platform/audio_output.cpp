// The outputs that need no sound card: offline (pumped by tests), null and the WAV recorder
// (both paced in real time by a thread of their own), and the choice among all of them.
//
// The paced outputs mix each block on its own schedule (one block every 10 ms of the monotonic
// clock) and tell the mixer it is heard at its scheduled time, so a mixing thread that runs
// late catches up without moving a hit. The recorder's mixing thread never touches the disk: it
// hands its blocks to a writer thread through a ring, so a disk stall neither blocks mixing nor
// moves a hit.
#include "platform/audio_output.h"

#include "platform/sound_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <mutex>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace groovane {

OfflineAudioOutput::OfflineAudioOutput(uint32_t sampleRate, uint32_t latencyFrames, int64_t startNs)
    : sampleRate_(sampleRate),
      latencyFrames_(latencyFrames),
      startNs_(startNs)
{}

bool OfflineAudioOutput::start(AudioRenderer& renderer, std::string*)
{
    renderer_ = &renderer;
    return true;
}

void OfflineAudioOutput::stop()
{
    renderer_ = nullptr;
}

int64_t OfflineAudioOutput::timeOfFrame(uint64_t frame) const
{
    return startNs_ + static_cast<int64_t>(static_cast<__int128>(frame) * 1'000'000'000 / sampleRate_);
}

std::vector<int16_t> OfflineAudioOutput::pump(uint32_t frames, uint32_t blockFrames)
{
    std::vector<int16_t> out(size_t{frames} * 2, 0);
    if (!renderer_ || blockFrames == 0)
        return out;
    uint32_t done = 0;
    while (done < frames) {
        const uint32_t count = std::min(blockFrames, frames - done);
        renderer_->render(out.data() + size_t{done} * 2, count, timeOfFrame(framesRendered_));
        framesRendered_ += count;
        done += count;
    }
    return out;
}

void OfflineAudioOutput::pumpHeardAt(int16_t* out, uint32_t frames, int64_t heardNs)
{
    if (!renderer_)
        return;
    renderer_->render(out, frames, heardNs);
    framesRendered_ += frames;
}

void OfflineAudioOutput::simulateRestart()
{
    if (renderer_)
        renderer_->outputRestarted();
}

void OfflineAudioOutput::simulateUnderflow()
{
    if (renderer_)
        renderer_->outputUnderflowed();
}

namespace {

// Renders blocks of 10 ms on its own thread, one block per 10 ms of the monotonic clock, and
// hands each block to a sink (nothing, or a WAV file).
class PacedOutput : public AudioOutput {
public:
    explicit PacedOutput(uint32_t sampleRate) : sampleRate_(sampleRate) {}
    ~PacedOutput() override { stop(); }

    uint32_t sampleRate() const override { return sampleRate_; }
    // Six blocks: a block is rendered when its first frame is due, so a Play must reach the
    // mixer a block before its frame; the other five cover the delays between a step timer's
    // tick and its Play calls, which on a loaded desktop reach tens of milliseconds.
    uint32_t latencyFrames() const override { return sampleRate_ * 6 / 100; }

    bool start(AudioRenderer& renderer, std::string* error) override
    {
        if (!openSink(error))
            return false;
        isRunning_.store(true);
        thread_ = std::thread([this, &renderer] { run(renderer); });
        return true;
    }

    void stop() override
    {
        isRunning_.store(false);
        if (thread_.joinable())
            thread_.join();
        closeSink();
    }

protected:
    virtual bool openSink(std::string*) { return true; }
    // The mixing thread, right after each block: must not block.
    virtual void consume(const int16_t*, uint32_t) {}
    virtual void closeSink() {}

private:
    void run(AudioRenderer& renderer)
    {
        using namespace std::chrono;
        const uint32_t blockFrames = sampleRate_ / 100;
        std::vector<int16_t> block(size_t{blockFrames} * 2);
        auto due = steady_clock::now();
        while (isRunning_.load()) {
            renderer.render(block.data(), blockFrames, duration_cast<nanoseconds>(due.time_since_epoch()).count());
            consume(block.data(), blockFrames);
            due += milliseconds(10);
            const auto now = steady_clock::now();
            if (now - due > milliseconds(200))
                due = now; // fell far behind (suspended machine): do not race to catch up
            std::this_thread::sleep_until(due);
        }
    }

    uint32_t sampleRate_;
    std::atomic<bool> isRunning_{false};
    std::thread thread_;
};

class NullOutput final : public PacedOutput {
public:
    using PacedOutput::PacedOutput;
    std::string name() const override { return "null"; }
};

void putLe32(unsigned char* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

} // namespace

// Frames between one producer (the mixing thread) and one consumer (the writer), without locks
// or allocation after construction. A producer that finds it full keeps count of the frames it
// could not hand over and makes them up in silence as soon as there is room, so the recording
// keeps its length and its timing even when the writer falls far behind.
FrameRing::FrameRing(uint32_t capacityFrames)
    : capacity_(capacityFrames),
      samples_(new int16_t[2 * size_t{capacityFrames}]())
{}

FrameRing::~FrameRing() = default;

uint32_t FrameRing::push(const int16_t* stereo, uint32_t frames) noexcept
{
    const uint64_t head = head_.load(std::memory_order_acquire);
    uint64_t tail = tail_.load(std::memory_order_relaxed);
    uint64_t room = capacity_ - (tail - head);
    // Silence owed from earlier overflows goes in first, so later frames keep their place.
    const uint64_t silence = std::min(owedFrames_, room);
    for (uint64_t i = 0; i < silence; ++i, ++tail) {
        int16_t* at = samples_.get() + 2 * (tail % capacity_);
        at[0] = at[1] = 0;
    }
    owedFrames_ -= silence;
    room -= silence;
    const uint32_t taken = owedFrames_ > 0 ? 0 : static_cast<uint32_t>(std::min<uint64_t>(frames, room));
    for (uint32_t i = 0; i < taken; ++i, ++tail) {
        int16_t* at = samples_.get() + 2 * (tail % capacity_);
        at[0] = stereo[2 * i];
        at[1] = stereo[2 * i + 1];
    }
    owedFrames_ += frames - taken;
    tail_.store(tail, std::memory_order_release);
    return taken;
}

uint32_t FrameRing::pop(int16_t* stereo, uint32_t maxFrames) noexcept
{
    const uint64_t tail = tail_.load(std::memory_order_acquire);
    uint64_t head = head_.load(std::memory_order_relaxed);
    const auto count = static_cast<uint32_t>(std::min<uint64_t>(tail - head, maxFrames));
    for (uint32_t i = 0; i < count; ++i, ++head) {
        const int16_t* at = samples_.get() + 2 * (head % capacity_);
        stereo[2 * i] = at[0];
        stereo[2 * i + 1] = at[1];
    }
    head_.store(head, std::memory_order_release);
    return count;
}

namespace {

// How much the recorder's ring holds: a disk may stall for seconds before frames are lost.
constexpr uint32_t kRecordingRingSeconds = 8;
// How often the writer looks for frames when the ring was empty.
constexpr auto kWriterPeriod = std::chrono::milliseconds(100);

class WavRecordingOutput final : public PacedOutput {
public:
    WavRecordingOutput(std::string path, uint32_t sampleRate, RecordingWriteHook hook)
        : PacedOutput(sampleRate),
          path_(std::move(path)),
          hook_(std::move(hook)),
          ring_(sampleRate * kRecordingRingSeconds)
    {}
    ~WavRecordingOutput() override { stop(); }
    std::string name() const override { return "wav:" + path_; }

protected:
    void consume(const int16_t* frames, uint32_t count) override { ring_.push(frames, count); }

    bool openSink(std::string* error) override
    {
        if (!openFile(error))
            return false;
        isWriting_.store(true);
        writer_ = std::thread([this] { writeLoop(); });
        return true;
    }

    void closeSink() override
    {
        if (!writer_.joinable())
            return;
        {
            std::lock_guard lock(writerMutex_);
            isWriting_.store(false);
        }
        writerWake_.notify_all();
        writer_.join();
        finishFile();
    }

private:
    // The writer thread: drains the ring to the file until told to stop, then drains the rest.
    void writeLoop()
    {
        std::vector<int16_t> chunk(size_t{sampleRate()} / 10 * 2);
        const auto chunkFrames = static_cast<uint32_t>(chunk.size() / 2);
        for (;;) {
            const bool isLast = !isWriting_.load();
            uint32_t got;
            while ((got = ring_.pop(chunk.data(), chunkFrames)) > 0) {
                if (hook_)
                    hook_();
                write(chunk.data(), got);
            }
            if (isLast)
                break;
            std::unique_lock lock(writerMutex_);
            writerWake_.wait_for(lock, kWriterPeriod, [this] { return !isWriting_.load(); });
        }
    }

    bool openFile(std::string* error)
    {
        file_ = std::fopen(path_.c_str(), "wb");
        if (!file_) {
            if (error)
                *error = "cannot create " + path_;
            return false;
        }
        dataBytes_ = 0;
        if (!writeHeader()) {
            if (error)
                *error = "cannot write " + path_ + ": " + std::strerror(errno);
            std::fclose(file_);
            file_ = nullptr;
            return false;
        }
        return true;
    }

    // Writer thread.
    void write(const int16_t* frames, uint32_t count)
    {
        if (!file_)
            return; // recording stopped after a write failed; the sound plays on
        // The header counts the samples in 32 bits: the recording ends whole at the last frame
        // it can count rather than wrap round.
        const uint32_t room = (kMaxRecordedBytes - dataBytes_) / 4;
        const bool isFull = count >= room;
        count = std::min(count, room);
        // Little-endian host: the interleaved 16-bit samples are already in file order.
        const size_t written = std::fwrite(frames, 4, count, file_);
        dataBytes_ += static_cast<uint32_t>(written * 4);
        if (written != count) {
            stopRecording();
            return;
        }
        if (isFull) {
            const bool isWritten = writeHeader();
            std::fclose(file_);
            file_ = nullptr;
            std::fprintf(stderr, "groovane: recording to %s stopped: %s\n", path_.c_str(),
                         isWritten ? "a WAV file holds at most 4 GiB of sound" : std::strerror(errno));
            return;
        }
        framesSinceHeader_ += count;
        if (framesSinceHeader_ >= sampleRate()) {
            framesSinceHeader_ = 0;
            if (!writeHeader())
                stopRecording();
        }
    }

    void finishFile()
    {
        if (!file_)
            return;
        if (!writeHeader()) {
            stopRecording();
            return;
        }
        if (std::fclose(file_) != 0)
            report();
        file_ = nullptr;
    }

private:
    // A write failed (the disk is full, most likely): nothing more is recorded, and the file
    // keeps the whole frames that reached the disk, under a header that counts exactly those
    // (rewriting the header takes no new space).
    void stopRecording()
    {
        const int error = errno;
        std::fclose(file_); // what stdio still buffers cannot be written either
        file_ = nullptr;
        const int fd = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
        struct stat status {};
        if (fd >= 0 && ::fstat(fd, &status) == 0 && status.st_size >= 44) {
            dataBytes_ = static_cast<uint32_t>(std::min<off_t>(status.st_size - 44, 0xFFFFFFF0) / 4 * 4);
            const auto header = headerBytes();
            [[maybe_unused]] const ssize_t ignored = ::pwrite(fd, header.data(), header.size(), 0);
        }
        if (fd >= 0)
            ::close(fd);
        errno = error;
        report();
    }

    void report() const
    {
        std::fprintf(stderr, "groovane: recording to %s stopped: %s\n", path_.c_str(), std::strerror(errno));
    }

    // Rewrites the header for the samples written so far and flushes; false when the disk
    // refused.
    bool writeHeader()
    {
        const auto header = headerBytes();
        const long end = std::ftell(file_);
        bool isWritten =
            std::fseek(file_, 0, SEEK_SET) == 0 && std::fwrite(header.data(), 1, header.size(), file_) == header.size();
        if (end > 0)
            isWritten = std::fseek(file_, end, SEEK_SET) == 0 && isWritten;
        return std::fflush(file_) == 0 && isWritten;
    }

    std::array<unsigned char, 44> headerBytes() const
    {
        std::array<unsigned char, 44> header = {'R', 'I', 'F', 'F', 0,  0, 0,   0,   'W', 'A', 'V', 'E', 'f', 'm', 't',
                                                ' ', 16,  0,   0,   0,  1, 0,   2,   0,   0,   0,   0,   0,   0,   0,
                                                0,   0,   4,   0,   16, 0, 'd', 'a', 't', 'a', 0,   0,   0,   0};
        putLe32(header.data() + 4, 36 + dataBytes_);
        putLe32(header.data() + 24, sampleRate());
        putLe32(header.data() + 28, sampleRate() * 4);
        putLe32(header.data() + 40, dataBytes_);
        return header;
    }

    // What a WAV header's 32-bit RIFF size (the sample bytes plus 36) can count.
    static constexpr uint32_t kMaxRecordedBytes = 0xFFFFFFFFu - 36;

    std::string path_;
    RecordingWriteHook hook_;
    FrameRing ring_;
    std::thread writer_;
    std::atomic<bool> isWriting_{false};
    std::mutex writerMutex_;
    std::condition_variable writerWake_;
    // Writer thread only (and the UI thread once the writer has ended).
    std::FILE* file_ = nullptr;
    uint32_t dataBytes_ = 0;
    uint32_t framesSinceHeader_ = 0;
};

} // namespace

std::unique_ptr<AudioOutput> makeNullAudioOutput(uint32_t sampleRate)
{
    return std::make_unique<NullOutput>(sampleRate);
}

std::unique_ptr<AudioOutput> makeWavRecordingOutput(const std::string& path, uint32_t sampleRate,
                                                    RecordingWriteHook beforeEachWrite)
{
    return std::make_unique<WavRecordingOutput>(path, sampleRate, std::move(beforeEachWrite));
}

std::unique_ptr<AudioOutput> makeAudioOutputFromSetting(const std::string& setting, std::string* warning)
{
    if (setting.empty() || setting == "portaudio")
        return makePortAudioOutput();
    if (setting == "null")
        return makeNullAudioOutput();
    if (setting.rfind("wav:", 0) == 0 && setting.size() > 4)
        return makeWavRecordingOutput(setting.substr(4));
    if (warning)
        *warning = "GROOVANE_AUDIO=\"" + setting + "\" is not portaudio, null or wav:PATH; using the null output";
    return makeNullAudioOutput();
}

} // namespace groovane
