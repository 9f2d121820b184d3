#include "sound/wave_stream.h"

#include <algorithm>
#include <cstring>

namespace groovane {

namespace {

uint32_t u32At(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void putU32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

void writeTag(TStream& host, const char* tag, uint32_t value)
{
    uint8_t bytes[8];
    std::memcpy(bytes, tag, 4);
    putU32(bytes + 4, value);
    host.WriteBuffer(bytes, 8);
}

} // namespace

int64_t TCustomWaveStream::Read(void* buffer, int64_t count)
{
    const int64_t size = GetSize();
    if (size >= 0) {
        position_ = std::min(position_, size);
        count = std::min(count, size - position_);
    }
    if (count <= 0)
        return 0;
    const int64_t n = ReadWave(position_, buffer, count);
    position_ += n;
    return n;
}

int64_t TCustomWaveStream::Write(const void* buffer, int64_t count)
{
    const int64_t size = GetSize();
    if (size >= 0 && position_ > size)
        position_ = size;
    if (count <= 0)
        return 0;
    const int64_t n = WriteWave(position_, buffer, count);
    position_ += n;
    return n;
}

int64_t TCustomWaveStream::Seek(int64_t offset, int origin)
{
    const int64_t size = GetSize();
    int64_t target = offset;
    if (origin == soFromCurrent)
        target = position_ + offset;
    else if (origin == soFromEnd)
        target = size + offset;
    target = std::max<int64_t>(target, 0);
    if (size >= 0)
        target = std::min(target, size);
    position_ = target;
    return position_;
}

int64_t TCustomWaveStream::ReadWave(int64_t, void*, int64_t)
{
    return 0;
}

int64_t TCustomWaveStream::WriteWave(int64_t, const void*, int64_t)
{
    return 0;
}

void TCustomWaveStream2::SetFormatSize(int32_t size)
{
    format_.resize(static_cast<size_t>(std::max(size, 0)));
}

TWaveStream::TWaveStream(TStream& host) : host_(host), imageStart_(host.Position()) {}

TWaveStream::TWaveStream(std::unique_ptr<TStream> ownedHost)
    : ownedHost_(std::move(ownedHost)),
      host_(*ownedHost_),
      imageStart_(host_.Position())
{}

TWaveStream::~TWaveStream()
{
    // A destructor cannot report a failed write; callers that care call Close themselves.
    try {
        Close();
    } catch (...) {
    }
}

void TWaveStream::Open(bool forWriting)
{
    if (opened_)
        throw EWaveStreamError("Stream has already been opened");
    if (forWriting)
        openForWriting();
    else
        openForReading();
}

void TWaveStream::openForReading()
{
    opened_ = true;
    readMode_ = true;
    host_.SetPosition(imageStart_);
    const int64_t hostSize = host_.Size();
    if (hostSize - imageStart_ <= 0)
        return;

    uint8_t header[12];
    host_.ReadBuffer(header, 12);
    if (std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0)
        throw EWaveStreamError("Wave is invalid");

    // Chunk lengths are taken as unsigned, so every step of the walk moves forward and a
    // hostile length cannot send it back over the same header forever. An odd-length chunk is
    // followed by a zero pad byte, which is skipped; a file written without the pad has a
    // chunk identifier there, never a zero, and is walked as it stands. The trailing zero byte
    // of the images this layer writes, or the end of the host, ends the walk.
    uint8_t chunk[8];
    std::memset(chunk, 0, sizeof chunk);
    host_.Read(chunk, 8);
    while (u32At(chunk) != 0) {
        const uint32_t length = u32At(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            // Refuse a length the host cannot hold before allocating for it.
            if (int64_t(length) > hostSize - host_.Position())
                throw EReadError("Stream read error");
            SetFormatSize(static_cast<int32_t>(length));
            host_.ReadBuffer(FormatData(), length);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            sampleLength_ = length;
            dataStart_ = host_.Position();
            host_.Seek(length, soFromCurrent);
        } else {
            host_.Seek(length, soFromCurrent);
        }
        if (length % 2 != 0) {
            uint8_t pad = 1;
            if (host_.Read(&pad, 1) == 1 && pad != 0)
                host_.Seek(-1, soFromCurrent);
        }
        std::memset(chunk, 0, sizeof chunk);
        host_.Read(chunk, 8);
    }
}

void TWaveStream::openForWriting()
{
    if (GetFormatSize() == 0)
        throw EWaveStreamError("Format is invalid");
    opened_ = true;
    readMode_ = false;
    host_.SetPosition(imageStart_);
    const uint8_t placeholder[12] = {};
    host_.WriteBuffer(placeholder, 12);
    writeTag(host_, "fmt ", static_cast<uint32_t>(GetFormatSize()));
    host_.WriteBuffer(GetFormat(), GetFormatSize());
    dataHeaderPosition_ = host_.Position();
    writeTag(host_, "data", 0);
    dataStart_ = host_.Position();
}

void TWaveStream::Close()
{
    if (!opened_ || readMode_ || closed_)
        return;
    closed_ = true;
    const int64_t hostSize = host_.Size();
    host_.SetPosition(imageStart_);
    writeTag(host_, "RIFF", static_cast<uint32_t>(hostSize - imageStart_ + 3));
    host_.WriteBuffer("WAVE", 4);
    host_.SetPosition(dataHeaderPosition_);
    writeTag(host_, "data", static_cast<uint32_t>(hostSize - dataStart_));
    host_.Seek(0, soFromEnd);
    const uint8_t zero = 0;
    host_.WriteBuffer(&zero, 1);
}

int64_t TWaveStream::GetSize()
{
    if (!opened_)
        return 0;
    if (readMode_)
        return sampleLength_;
    return host_.Size() - dataStart_;
}

int64_t TWaveStream::StoredSize()
{
    if (!opened_ || !readMode_)
        return GetSize();
    return std::clamp<int64_t>(host_.Size() - dataStart_, 0, sampleLength_);
}

int64_t TWaveStream::Read(void* buffer, int64_t count)
{
    if (!opened_)
        throw EWaveStreamError("Stream not opend");
    return TCustomWaveStream2::Read(buffer, count);
}

int64_t TWaveStream::Write(const void* buffer, int64_t count)
{
    if (!opened_)
        throw EWaveStreamError("Stream not opend");
    return TCustomWaveStream2::Write(buffer, count);
}

int64_t TWaveStream::ReadWave(int64_t position, void* buffer, int64_t count)
{
    if (!opened_)
        throw EWaveStreamError("Stream not opend");
    host_.SetPosition(dataStart_ + position);
    return host_.Read(buffer, count);
}

int64_t TWaveStream::WriteWave(int64_t position, const void* buffer, int64_t count)
{
    if (!opened_)
        throw EWaveStreamError("Stream not opend");
    if (readMode_)
        count = std::min(count, sampleLength_ - position);
    if (count <= 0)
        return 0;
    host_.SetPosition(dataStart_ + position);
    return host_.Write(buffer, count);
}

TWaveFileStream::TWaveFileStream(const std::string& fileName, FileMode mode)
    : TWaveStream(std::make_unique<TFileStream>(fileName, mode))
{}

} // namespace groovane
