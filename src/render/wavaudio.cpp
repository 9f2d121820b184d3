#include "render/wavaudio.h"

#include "platform/exception.h"
#include "platform/files.h"
#include "render/rounding.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace groovane::wavaudio {

namespace {

constexpr std::size_t kCopyPieceBytes = 64 * 1024;
constexpr std::int32_t kMaxFrame = std::numeric_limits<std::int32_t>::max() - 1;

std::uint32_t le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void putLe32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A rounded real as an integer, limited to +/-limit; NaN counts as 0. The limits keep absurd
// inputs (a huge start time or volume) from overflowing the conversion.
std::int64_t toLimitedInteger(double rounded, double limit)
{
    if (std::isnan(rounded))
        return 0;
    return static_cast<std::int64_t>(std::clamp(rounded, -limit, limit));
}

std::uint8_t silenceByte(bool eightBit)
{
    return eightBit ? 128 : 0;
}

// Writes `count` bytes at `offset` of an in-memory byte buffer. A gap between the buffer's end and
// the offset is filled with silence first, so no byte of a wave is ever left undefined.
inline void putBytes(std::vector<std::uint8_t>& buffer, std::int64_t offset, const std::uint8_t* bytes, int count,
                     std::uint8_t silence)
{
    const auto at = static_cast<std::size_t>(offset);
    if (at + static_cast<std::size_t>(count) > buffer.size())
        buffer.resize(at + static_cast<std::size_t>(count), silence);
    std::memcpy(buffer.data() + at, bytes, static_cast<std::size_t>(count));
}

// Sample bytes found at a position; missing bytes (past the end) read as zero.
inline int decodeSample(const std::uint8_t* bytes, std::size_t found, bool eightBit)
{
    if (found == 0)
        return 0;
    if (eightBit)
        return (static_cast<int>(bytes[0]) - 128) * 255;
    const auto low = static_cast<std::uint16_t>(bytes[0]);
    const auto high = static_cast<std::uint16_t>(found > 1 ? bytes[1] : 0);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(low | high << 8));
}

inline int encodeSample(int value, bool eightBit, std::uint8_t* out)
{
    if (eightBit) {
        const double stored = roundHalfEven(value / 255.0) + 128;
        out[0] = static_cast<std::uint8_t>(std::clamp(stored, 0.0, 255.0));
        return 1;
    }
    const auto bits = static_cast<std::uint16_t>(value);
    out[0] = static_cast<std::uint8_t>(bits);
    out[1] = static_cast<std::uint8_t>(bits >> 8);
    return 2;
}

} // namespace

TWave::TWave() = default;

TWave::~TWave()
{
    if (scratchFile_ && windowStart_ != kNoWindow) {
        try {
            FlushWindow();
        } catch (...) {
            // The scratch file keeps what it held before this window; nobody is left to tell.
        }
    }
}

TWave::Layout TWave::layout() const
{
    const int bits = format_.bitsPerSample();
    return Layout{format_.channels(), format_.blockAlign(), bits, bits == 8};
}

std::int64_t TWave::byteOffset(const Layout& layout, int channel, std::int32_t frame) noexcept
{
    const std::int64_t channelBits = static_cast<std::int64_t>(channel) * layout.bitsPerSample;
    // Whole bytes: the offset below is an exact integer, so integer arithmetic gives the same
    // result without the round trip through floating point (this runs several times a sample).
    if ((channelBits & 7) == 0)
        return static_cast<std::int64_t>(frame) * layout.blockAlign + (channelBits >> 3);
    // Computed in floating point and rounded, so a bit depth that is not a whole number of
    // bytes lands where the format's arithmetic puts it (12 bits: channel 1 at byte 2).
    const double offset =
        static_cast<double>(frame) * static_cast<double>(layout.blockAlign) + static_cast<double>(channelBits) * 0.125;
    return static_cast<std::int64_t>(roundHalfEven(offset));
}

std::int32_t TWave::framesInBytes(std::int64_t bytes) const
{
    const unsigned blockAlign = format_.blockAlign();
    if (blockAlign == 0)
        return 0;
    const double frames = roundHalfEven(static_cast<double>(bytes) / blockAlign);
    return static_cast<std::int32_t>(std::clamp(frames, 0.0, static_cast<double>(kMaxFrame + 1)));
}

double TWave::Duration() const
{
    const std::uint32_t rate = format_.sampleRate();
    if (rate == 0)
        return 0;
    return static_cast<double>(frameCount_) / rate;
}

// ---------------------------------------------------------------------------------------------
// Files

void TWave::LoadFromFile(const std::string& path)
{
    FileStream in(path, FileStream::Mode::Read);
    std::array<std::uint8_t, 12> header{};
    if (in.read(header.data(), header.size()) != header.size() || std::memcmp(header.data(), "RIFF", 4) != 0 ||
        std::memcmp(header.data() + 8, "WAVE", 4) != 0)
        return;
    const std::uint32_t riffSize = le32(header.data() + 4);

    // p counts from the "WAVE" tag, as the RIFF size does. Every chunk moves it on by at least 8
    // and every header must really be read from the file, so the walk ends on any input.
    std::int64_t p = 4;
    while (p < riffSize) {
        std::array<std::uint8_t, 8> chunk{};
        if (in.read(chunk.data(), chunk.size()) != chunk.size())
            break;
        const std::uint32_t size = le32(chunk.data() + 4);
        p += 8 + static_cast<std::int64_t>(size);
        const std::int64_t bodyStart = in.position();
        if (std::memcmp(chunk.data(), "fmt ", 4) == 0) {
            // A shorter body fills only the leading fields; the others keep their values.
            const std::size_t used = std::min<std::size_t>(size, FormatBlock::kSize);
            std::array<std::uint8_t, FormatBlock::kSize> body{};
            in.readExactly(body.data(), used);
            std::copy_n(body.begin(), used, format_.bytes.begin());
        } else if (std::memcmp(chunk.data(), "data", 4) == 0) {
            loadDataChunk(in, size);
        }
        in.seek(bodyStart + size);
        // An odd-sized chunk is followed by a zero pad byte. A file written without the pad has
        // the next chunk's identifier there, never a zero, and is walked as it stands.
        if (size % 2 != 0) {
            std::uint8_t pad = 1;
            if (in.read(&pad, 1) == 1 && pad == 0)
                ++p;
            else
                in.seek(bodyStart + size);
        }
    }
}

void TWave::loadDataChunk(FileStream& in, std::uint32_t size)
{
    // Never trust the stated size for an allocation: copy what the file really holds, and fail
    // when it holds less than stated.
    const std::int64_t available = std::max<std::int64_t>(0, in.size() - in.position());
    const auto wanted = static_cast<std::int64_t>(size);
    const std::int64_t present = std::min(wanted, available);

    if (scratchMode_) {
        // The old window belongs to the old file; writing it back later would corrupt the new one.
        data_.clear();
        windowStart_ = kNoWindow;
        dirtyFrom_ = kClean;
        dirtyTo_ = 0;
        scratchFile_.reset();
        scratchFile_ = std::make_unique<FileStream>(scratchFileName_, FileStream::Mode::Create);
        std::vector<std::uint8_t> piece(static_cast<std::size_t>(std::min<std::int64_t>(present, kCopyPieceBytes)));
        for (std::int64_t done = 0; done < present;) {
            const std::size_t n = in.read(
                piece.data(), static_cast<std::size_t>(std::min<std::int64_t>(present - done, kCopyPieceBytes)));
            if (n == 0)
                break;
            scratchFile_->writeAt(done, piece.data(), n);
            done += static_cast<std::int64_t>(n);
        }
        if (present < wanted)
            throw EStreamError("Stream read error");
        reopenScratchFile();
    } else {
        data_.clear();
        data_.shrink_to_fit();
        data_.resize(static_cast<std::size_t>(present));
        const std::size_t n = in.read(data_.data(), data_.size());
        data_.resize(n);
        if (static_cast<std::int64_t>(n) < wanted)
            throw EStreamError("Stream read error");
    }
    frameCount_ = framesInBytes(wanted);
}

void TWave::reopenScratchFile()
{
    scratchFile_.reset();
    scratchFile_ = std::make_unique<FileStream>(scratchFileName_, FileStream::Mode::ReadWrite);
}

void checkWavDataSize(std::int64_t dataBytes)
{
    if (dataBytes > kMaxWavDataBytes)
        throw Exception(formatMessage("The song's WAV file would hold %d bytes of sound, more than the 4 GiB a WAV "
                                      "file can count; nothing was written",
                                      dataBytes));
}

void TWave::SaveToFile(const std::string& path)
{
    // Mix leaves the window written back; this covers samples set one by one since then.
    if (scratchFile_ && windowStart_ != kNoWindow)
        FlushWindow();

    if (scratchFile_)
        reopenScratchFile();
    const std::int64_t dataSize = scratchFile_ ? scratchFile_->size() : static_cast<std::int64_t>(data_.size());
    checkWavDataSize(dataSize);

    // The old file stays until the new one is whole on the disk.
    FileReplacement out(path);
    const auto write = [&out](std::int64_t offset, const void* bytes, std::size_t count) {
        if (out.writeAt(offset, bytes, count) != count)
            throw EStreamError(out.diskFull() ? kDiskFullWriteError : "Stream write error");
    };

    std::array<std::uint8_t, 44> header{};
    std::memcpy(header.data(), "RIFF", 4);
    putLe32(header.data() + 4, static_cast<std::uint32_t>(dataSize + 36));
    std::memcpy(header.data() + 8, "WAVEfmt ", 8);
    putLe32(header.data() + 16, 16);
    std::copy(format_.bytes.begin(), format_.bytes.end(), header.begin() + 20);
    std::memcpy(header.data() + 36, "data", 4);
    putLe32(header.data() + 40, static_cast<std::uint32_t>(dataSize));
    write(0, header.data(), header.size());

    if (!scratchFile_) {
        write(static_cast<std::int64_t>(header.size()), data_.data(), data_.size());
    } else {
        std::vector<std::uint8_t> piece(kCopyPieceBytes);
        for (std::int64_t done = 0; done < dataSize;) {
            const std::size_t n = scratchFile_->readAt(done, piece.data(), piece.size());
            if (n == 0)
                throw EStreamError("Stream read error");
            write(static_cast<std::int64_t>(header.size()) + done, piece.data(), n);
            done += static_cast<std::int64_t>(n);
        }
    }
    out.commit();
}

// ---------------------------------------------------------------------------------------------
// Scratch mode and its window

void TWave::SetScratchMode(bool on)
{
    if (on && !scratchMode_) {
        scratchFile_ = std::make_unique<FileStream>(scratchFileName_, FileStream::Mode::Create);
        try {
            scratchFile_->writeAt(0, data_.data(), data_.size());
            reopenScratchFile();
        } catch (...) {
            scratchFile_.reset();
            throw;
        }
        data_.clear();
        data_.shrink_to_fit();
        windowStart_ = kNoWindow;
        scratchMode_ = true;
    } else if (!on && scratchMode_ && scratchFile_) {
        // Newer values in the window would otherwise be lost with it.
        if (windowStart_ != kNoWindow)
            FlushWindow();
        std::vector<std::uint8_t> all(static_cast<std::size_t>(scratchFile_->size()));
        all.resize(scratchFile_->readAt(0, all.data(), all.size()));
        data_ = std::move(all);
        scratchFile_.reset();
        scratchMode_ = false;
    } else {
        scratchMode_ = on;
    }
}

void TWave::LoadWindow()
{
    data_.clear();
    dirtyFrom_ = kClean;
    dirtyTo_ = 0;
    const std::int64_t blockAlign = format_.blockAlign();
    const auto start = static_cast<std::int64_t>(roundHalfEven(static_cast<double>(blockAlign) * windowStart_));
    const std::int64_t left = scratchFile_->size() - start;
    const std::int64_t count = std::min(left, blockAlign * kWindowFrames);
    if (count <= 0 || start < 0)
        return;
    data_.resize(static_cast<std::size_t>(count));
    data_.resize(scratchFile_->readAt(start, data_.data(), data_.size()));
}

void TWave::FlushWindow()
{
    const std::int64_t blockAlign = format_.blockAlign();
    // Only the bytes written since the window was loaded can differ from the file; writing just
    // those leaves the file exactly as writing the whole window would, at a fraction of the cost
    // when a short hit lands in a long song.
    const std::int64_t end =
        std::min<std::int64_t>(static_cast<std::int64_t>(data_.size()), blockAlign * kWindowFrames);
    if (windowStart_ != kNoWindow && dirtyFrom_ < end) {
        const auto start = static_cast<std::int64_t>(roundHalfEven(static_cast<double>(blockAlign) * windowStart_));
        const std::int64_t to = std::min(dirtyTo_, end);
        scratchFile_->writeAt(start + dirtyFrom_, data_.data() + dirtyFrom_, static_cast<std::size_t>(to - dirtyFrom_));
    }
    dirtyFrom_ = kClean;
    dirtyTo_ = 0;
    frameCount_ = framesInBytes(scratchFile_->size());
    // clear() keeps the capacity, so the next window reuses the same memory.
    data_.clear();
    windowStart_ = kNoWindow;
}

void TWave::appendSilenceToScratchFile(std::int64_t upToOffset, std::uint8_t silence)
{
    std::array<std::uint8_t, kSilencePieceBytes> piece;
    piece.fill(silence);
    for (std::int64_t end = scratchFile_->size(); end < upToOffset;) {
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(upToOffset - end, kSilencePieceBytes));
        scratchFile_->writeAt(end, piece.data(), n);
        end += static_cast<std::int64_t>(n);
    }
}

// A write outside the window: the window goes back to the file, the file grows with silence up
// to the written sample when it ends before it, and a new window opens at the written frame.
void TWave::moveWindowTo(const Layout& layout, std::int32_t frame, std::int64_t offset)
{
    FlushWindow();
    if (offset - static_cast<std::int64_t>(frameCount_) * layout.blockAlign > 0)
        appendSilenceToScratchFile(offset, silenceByte(layout.eightBit));
    windowStart_ = frame;
    LoadWindow();
}

// ---------------------------------------------------------------------------------------------
// Samples

[[gnu::always_inline]] inline int TWave::readSample(const Layout& layout, int channel, std::int32_t frame) const
{
    if (channel < 0 || channel > layout.channels || frame < 0 || frame >= frameCount_)
        return 0;
    std::int64_t offset = byteOffset(layout, channel, frame);
    if (scratchFile_) {
        if (!windowHolds(frame))
            return readScratchFileSample(layout, offset);
        offset -= static_cast<std::int64_t>(windowStart_) * layout.blockAlign;
    }
    const auto at = static_cast<std::size_t>(offset);
    if (offset < 0 || at >= data_.size())
        return 0;
    return decodeSample(data_.data() + at, data_.size() - at, layout.eightBit);
}

int TWave::readScratchFileSample(const Layout& layout, std::int64_t offset) const
{
    std::uint8_t bytes[2] = {0, 0};
    const std::size_t found = scratchFile_->readAt(offset, bytes, layout.eightBit ? 1 : 2);
    return decodeSample(bytes, found, layout.eightBit);
}

[[gnu::always_inline]] inline void TWave::writeSample(const Layout& layout, int channel, std::int32_t frame, int value)
{
    if (channel < 0 || channel > layout.channels || frame < 0 || frame > kMaxFrame)
        return;
    const std::int64_t offset = byteOffset(layout, channel, frame);
    std::uint8_t bytes[2];
    const int width = encodeSample(value, layout.eightBit, bytes);

    std::int64_t at = offset;
    if (scratchFile_) {
        if (!windowHolds(frame))
            moveWindowTo(layout, frame, offset);
        at -= static_cast<std::int64_t>(windowStart_) * layout.blockAlign;
    }
    // A write that reaches past the last frame makes the frame count cover it. Counting the
    // frame as soon as any of its channels is written (not only once a write starts past the
    // end) keeps a mono wave's last sample readable before the window goes back to the file,
    // and makes memory and scratch mode count alike.
    if (offset - static_cast<std::int64_t>(frameCount_) * layout.blockAlign > 0 || frame >= frameCount_)
        frameCount_ = std::max(frameCount_, frame + 1);
    if (scratchFile_) {
        // Silence added in front of the sample is new to the file as well.
        dirtyFrom_ = std::min({dirtyFrom_, at, static_cast<std::int64_t>(data_.size())});
        dirtyTo_ = std::max(dirtyTo_, at + width);
    }
    // Extends the window or the in-memory data with silence up to the offset when needed.
    putBytes(data_, at, bytes, width, silenceByte(layout.eightBit));
}

int TWave::GetSample(int channel, std::int32_t frame) const
{
    return readSample(layout(), channel, frame);
}

void TWave::SetSample(int channel, std::int32_t frame, int value)
{
    writeSample(layout(), channel, frame, value);
}

// ---------------------------------------------------------------------------------------------
// Mixing

TMixSource TWave::planMix(const TWave& source, int rate, double volume, double pan) const
{
    TMixSource plan;
    plan.channels_ = format_.channels();
    const std::int32_t sourceFrames = source.frameCount_;
    const std::uint32_t sourceRate = source.format_.sampleRate();
    // Without frames or rates the length and step ratio are undefined: nothing to add.
    if (sourceFrames <= 0 || rate <= 0 || sourceRate == 0 || format_.blockAlign() == 0)
        return plan;
    plan.source_ = &source;
    plan.sourceFrames_ = sourceFrames;
    plan.volume_ = volume;
    plan.leftGain_ = pan > 1 ? 0.0 : (pan >= 0 ? 1 - pan : 1.0);
    plan.rightGain_ = pan < -1 ? 0.0 : (pan <= 0 ? 1 - std::abs(pan) : 1.0);
    const double playedSeconds = source.Duration() * sourceRate / rate;
    plan.frames_ = std::max<std::int64_t>(
        0, toLimitedInteger(roundHalfEven(static_cast<double>(format_.sampleRate()) * playedSeconds), 4.0e18));
    plan.step_ = static_cast<double>(plan.frames_) / sourceFrames;
    return plan;
}

std::int64_t TWave::scaledValue(const TWave& source, const Layout& from, const TMixSource& plan, std::int64_t k,
                                int channel)
{
    const double x = static_cast<double>(k) / plan.step_;
    const auto i0 = static_cast<std::int32_t>(x);
    const std::int32_t i1 = std::min(i0 + 1, plan.sourceFrames_ - 1);
    const double w0 = 1 - (x - i0);
    const double w1 = 1 - w0;
    const auto s0 = static_cast<std::int16_t>(source.readSample(from, channel, i0));
    const auto s1 = static_cast<std::int16_t>(source.readSample(from, channel, i1));
    const double gain = channel == 0 ? plan.leftGain_ : (channel == 1 ? plan.rightGain_ : 1.0);
    return toLimitedInteger(roundHalfEven((s0 * w0 + s1 * w1) * plan.volume_ * gain), 1.0e9);
}

TMixSource TWave::PrepareMix(const TWave& source, int rate, double volume, double pan) const
{
    TMixSource plan = planMix(source, rate, volume, pan);
    // Divided, not multiplied: an absurd rate can make the frame count huge.
    if (plan.source_ && plan.channels_ > 0 && plan.frames_ <= TMixSource::kKeptValues / plan.channels_) {
        plan.kept_.resize(static_cast<std::size_t>(plan.frames_ * plan.channels_));
        plan.compute(0, plan.frames_, plan.kept_.data());
    }
    return plan;
}

void TMixSource::compute(std::int64_t first, std::int64_t count, std::int32_t* out) const
{
    const TWave::Layout from = source_->layout();
    for (std::int64_t k = first; k < first + count; ++k)
        for (int ch = 0; ch < channels_; ++ch)
            *out++ = static_cast<std::int32_t>(TWave::scaledValue(*source_, from, *this, k, ch));
}

const std::int32_t* TMixSource::Values(std::int64_t first, std::int64_t count, std::vector<std::int32_t>& scratch) const
{
    if (!kept_.empty())
        return kept_.data() + first * channels_;
    scratch.resize(static_cast<std::size_t>(count * channels_));
    compute(first, count, scratch.data());
    return scratch.data();
}

std::int64_t TWave::MixStartFrame(double startSeconds) const
{
    const std::uint16_t blockAlign = format_.blockAlign();
    if (blockAlign == 0)
        return 0;
    return toLimitedInteger(
        roundHalfEven(static_cast<double>(format_.byteRate()) * startSeconds / static_cast<double>(blockAlign)),
        4.0e18);
}

void TWave::Mix(const TWave& source, int rate, double volume, double pan, double startSeconds)
{
    const TMixSource plan = planMix(source, rate, volume, pan);
    if (!plan.source_)
        return;
    const Layout target = layout();
    const Layout from = source.layout();
    const std::int64_t offset = MixStartFrame(startSeconds);

    // Frames before 0 are neither read nor written, and no frame past the largest FrameCount
    // can hold: skip those outright instead of walking them.
    const std::int64_t first = std::max<std::int64_t>(0, -offset);
    const std::int64_t last = std::min<std::int64_t>(plan.frames_, static_cast<std::int64_t>(kMaxFrame) - offset + 1);

    // Source and destination are read sample by sample between the writes, so a wave mixed
    // into itself reads the samples it has already changed.
    for (std::int64_t k = first; k < last; ++k) {
        const auto frame = static_cast<std::int32_t>(k + offset);
        for (int ch = 0; ch < target.channels; ++ch) {
            const std::int64_t scaled = scaledValue(source, from, plan, k, ch);
            const auto d = static_cast<std::int16_t>(readSample(target, ch, frame));
            const std::int64_t y = std::clamp<std::int64_t>(scaled + d, -32767, 32767);
            writeSample(target, ch, frame, static_cast<int>(y));
        }
    }

    if (scratchFile_)
        FlushWindow();
}

void TWave::WriteFrames(std::int32_t frame, const std::uint8_t* bytes, std::size_t size)
{
    const Layout l = layout();
    if (frame < 0 || l.blockAlign == 0 || size % static_cast<std::size_t>(l.blockAlign) != 0)
        return;
    const std::int64_t frames =
        std::min<std::int64_t>(static_cast<std::int64_t>(size) / l.blockAlign, std::int64_t{kMaxFrame} + 1 - frame);
    if (frames <= 0)
        return;
    const std::int64_t offset = std::int64_t{frame} * l.blockAlign;
    const auto count = static_cast<std::size_t>(frames * l.blockAlign);
    const std::uint8_t silence = silenceByte(l.eightBit);
    if (scratchFile_) {
        if (windowStart_ != kNoWindow)
            FlushWindow();
        std::vector<std::uint8_t> piece;
        for (std::int64_t end = scratchFile_->size(); end < offset;) {
            const auto n = static_cast<std::size_t>(std::min<std::int64_t>(offset - end, kCopyPieceBytes));
            piece.assign(n, silence);
            scratchFile_->writeAt(end, piece.data(), n);
            end += static_cast<std::int64_t>(n);
        }
        scratchFile_->writeAt(offset, bytes, count);
    } else {
        const auto at = static_cast<std::size_t>(offset);
        if (at + count > data_.size())
            data_.resize(at + count, silence);
        std::memcpy(data_.data() + at, bytes, count);
    }
    frameCount_ = std::max(frameCount_, static_cast<std::int32_t>(frame + frames));
}

} // namespace groovane::wavaudio
