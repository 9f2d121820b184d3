#include "sound/byte_stream.h"

#include <algorithm>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"

namespace groovane {

void TStream::SetSize(int64_t) {}

int64_t TStream::Size()
{
    const int64_t position = Seek(0, soFromCurrent);
    const int64_t size = Seek(0, soFromEnd);
    Seek(position, soFromBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count)
{
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count)
{
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError("Stream write error");
}

int64_t TMemoryStream::Read(void* buffer, int64_t count)
{
    const int64_t size = Size();
    if (count <= 0 || position_ >= size)
        return 0;
    const int64_t n = std::min(count, size - position_);
    std::memcpy(buffer, bytes_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count)
{
    if (count <= 0)
        return 0;
    if (position_ + count > Size())
        bytes_.resize(static_cast<size_t>(position_ + count), '\0');
    std::memcpy(bytes_.data() + position_, buffer, static_cast<size_t>(count));
    position_ += count;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, int origin)
{
    int64_t base = 0;
    if (origin == soFromCurrent)
        base = position_;
    else if (origin == soFromEnd)
        base = Size();
    // A position before the start is meaningless; one past the end reads nothing and a
    // write there fills the gap with zeros, as files do.
    position_ = std::max<int64_t>(0, base + offset);
    return position_;
}

void TMemoryStream::SetSize(int64_t newSize)
{
    bytes_.resize(static_cast<size_t>(std::max<int64_t>(0, newSize)), '\0');
    position_ = std::min(position_, Size());
}

TFileStream::TFileStream(const std::string& fileName, FileMode mode)
{
    const std::string path = resolvePath(fileName).string();
    if (mode == FileMode::OpenRead) {
        // Opened without blocking and checked before use: a pipe would block the open or the
        // reads, and a folder opens but reads nothing sensible; neither is a file to read.
        // A name holding a NUL would be cut short by the system and name another file.
        const int fd =
            path.find('\0') != std::string::npos ? -1 : ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat info {};
        if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0)
            file_ = ::fdopen(fd, "rb");
        if (!file_) {
            if (fd >= 0)
                ::close(fd);
            throw EFileError(formatMessage("Cannot open file %s", fileName));
        }
    } else {
        replacement_ = std::make_unique<FileReplacement>(fileName);
    }
}

TFileStream::~TFileStream()
{
    if (file_)
        std::fclose(file_);
}

int64_t TFileStream::Read(void* buffer, int64_t count)
{
    // A stream made to write reads nothing.
    if (count <= 0 || !file_)
        return 0;
    return static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(count), file_));
}

int64_t TFileStream::Write(const void* buffer, int64_t count)
{
    // Only a stream made to write has a file to write to.
    if (count <= 0 || !replacement_)
        return 0;
    const auto n = static_cast<int64_t>(replacement_->writeAt(position_, buffer, static_cast<size_t>(count)));
    position_ += n;
    return n;
}

int64_t TFileStream::Seek(int64_t offset, int origin)
{
    if (replacement_) {
        const int64_t base = origin == soFromCurrent ? position_ : origin == soFromEnd ? replacement_->size() : 0;
        position_ = std::max<int64_t>(0, base + offset);
        return position_;
    }
    const int whence = origin == soFromCurrent ? SEEK_CUR : origin == soFromEnd ? SEEK_END : SEEK_SET;
    if (std::fseek(file_, static_cast<long>(offset), whence) != 0)
        std::fseek(file_, 0, SEEK_SET);
    return static_cast<int64_t>(std::ftell(file_));
}

int64_t TFileStream::Size()
{
    if (replacement_)
        return replacement_->size();
    const long position = std::ftell(file_);
    std::fseek(file_, 0, SEEK_END);
    const long size = std::ftell(file_);
    std::fseek(file_, position, SEEK_SET);
    return size;
}

void TFileStream::Commit()
{
    if (replacement_)
        replacement_->commit();
}

} // namespace groovane
