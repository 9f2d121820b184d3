// The outputs that need no sound card: offline (pumped by tests), null and the WAV recorder
// (both paced in real time by a thread of their own), and the choice among all of them.
#include "audio_output.h"

#include "sound_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace groovane {

OfflineAudioOutput::OfflineAudioOutput(uint32_t sampleRate, uint32_t latencyFrames, int64_t startNs)
    : sampleRate_(sampleRate), latencyFrames_(latencyFrames), startNs_(startNs) {}

bool OfflineAudioOutput::start(AudioRenderer& renderer, std::string*) {
    renderer_ = &renderer;
    return true;
}

void OfflineAudioOutput::stop() { renderer_ = nullptr; }

int64_t OfflineAudioOutput::timeOfFrame(uint64_t frame) const {
    return startNs_ + static_cast<int64_t>(static_cast<__int128>(frame) * 1'000'000'000 / sampleRate_);
}

std::vector<int16_t> OfflineAudioOutput::pump(uint32_t frames, uint32_t blockFrames) {
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

void OfflineAudioOutput::simulateRestart() {
    if (renderer_)
        renderer_->outputRestarted();
}

namespace {

// Renders blocks of 10 ms on its own thread, one block per 10 ms of the monotonic clock, and
// hands each block to a sink (nothing, or a WAV file).
class PacedOutput : public AudioOutput {
public:
    explicit PacedOutput(uint32_t sampleRate) : sampleRate_(sampleRate) {}
    ~PacedOutput() override { stop(); }

    uint32_t sampleRate() const override { return sampleRate_; }
    // Four blocks: a block is rendered when its first frame is due, so a Play must reach the
    // mixer a block before its frame; the other three cover the UI thread's usual delays
    // between a step timer's tick and its Play calls.
    uint32_t latencyFrames() const override { return sampleRate_ * 4 / 100; }

    bool start(AudioRenderer& renderer, std::string* error) override {
        if (!openSink(error))
            return false;
        isRunning_.store(true);
        thread_ = std::thread([this, &renderer] { run(renderer); });
        return true;
    }

    void stop() override {
        isRunning_.store(false);
        if (thread_.joinable())
            thread_.join();
        closeSink();
    }

protected:
    virtual bool openSink(std::string*) { return true; }
    virtual void consume(const int16_t*, uint32_t) {}
    virtual void closeSink() {}

private:
    void run(AudioRenderer& renderer) {
        using namespace std::chrono;
        const uint32_t blockFrames = sampleRate_ / 100;
        std::vector<int16_t> block(size_t{blockFrames} * 2);
        auto due = steady_clock::now();
        while (isRunning_.load()) {
            renderer.render(block.data(), blockFrames, steadyNanoseconds());
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

void putLe32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

class WavRecordingOutput final : public PacedOutput {
public:
    WavRecordingOutput(std::string path, uint32_t sampleRate) : PacedOutput(sampleRate), path_(std::move(path)) {}
    ~WavRecordingOutput() override { stop(); }
    std::string name() const override { return "wav:" + path_; }

protected:
    bool openSink(std::string* error) override {
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

    void consume(const int16_t* frames, uint32_t count) override {
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
        if (++blocksSinceHeader_ >= 100) {
            blocksSinceHeader_ = 0;
            if (!writeHeader())
                stopRecording();
        }
    }

    void closeSink() override {
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
    void stopRecording() {
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

    void report() const {
        std::fprintf(stderr, "groovane: recording to %s stopped: %s\n", path_.c_str(), std::strerror(errno));
    }

    // Rewrites the header for the samples written so far and flushes; false when the disk
    // refused.
    bool writeHeader() {
        const auto header = headerBytes();
        const long end = std::ftell(file_);
        bool isWritten =
            std::fseek(file_, 0, SEEK_SET) == 0 && std::fwrite(header.data(), 1, header.size(), file_) == header.size();
        if (end > 0)
            isWritten = std::fseek(file_, end, SEEK_SET) == 0 && isWritten;
        return std::fflush(file_) == 0 && isWritten;
    }

    std::array<unsigned char, 44> headerBytes() const {
        std::array<unsigned char, 44> header = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                                16,  0,   0,   0,   1, 0, 2, 0, 0,   0,   0,   0,   0,   0,   0,   0,
                                                4,   0,   16,  0,   'd', 'a', 't', 'a', 0, 0, 0, 0};
        putLe32(header.data() + 4, 36 + dataBytes_);
        putLe32(header.data() + 24, sampleRate());
        putLe32(header.data() + 28, sampleRate() * 4);
        putLe32(header.data() + 40, dataBytes_);
        return header;
    }

    // What a WAV header's 32-bit RIFF size (the sample bytes plus 36) can count.
    static constexpr uint32_t kMaxRecordedBytes = 0xFFFFFFFFu - 36;

    std::string path_;
    std::FILE* file_ = nullptr;
    uint32_t dataBytes_ = 0;
    uint32_t blocksSinceHeader_ = 0;
};

} // namespace

std::unique_ptr<AudioOutput> makeNullAudioOutput(uint32_t sampleRate) {
    return std::make_unique<NullOutput>(sampleRate);
}

std::unique_ptr<AudioOutput> makeWavRecordingOutput(const std::string& path, uint32_t sampleRate) {
    return std::make_unique<WavRecordingOutput>(path, sampleRate);
}

std::unique_ptr<AudioOutput> makeAudioOutputFromSetting(const std::string& setting, std::string* warning) {
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
