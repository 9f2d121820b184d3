#include "render/file_stream.h"

#include "platform/files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace groovane {

FileStream::FileStream(const std::string& path, Mode mode) : path_(path)
{
    const std::string resolved = resolvePath(path).string();
    int flags = O_CLOEXEC;
    switch (mode) {
    case Mode::Read:
        flags |= O_RDONLY;
        break;
    case Mode::ReadWrite:
        flags |= O_RDWR;
        break;
    case Mode::Create:
        flags |= O_RDWR | O_CREAT | O_TRUNC;
        break;
    }
    // Opened without blocking and checked before use: a FIFO would block the open or the reads
    // and a device would read without end; a folder opens read-only on Linux but is no file to
    // read a wave from. A name holding a NUL would be cut short by the system.
    if (resolved.find('\0') == std::string::npos) {
        do {
            fd_ = ::open(resolved.c_str(), flags | O_NONBLOCK, 0666);
        } while (fd_ < 0 && errno == EINTR);
    }
    struct stat info {};
    if (fd_ >= 0 && (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode) ||
                     ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK) != 0)) {
        ::close(fd_);
        fd_ = -1;
    }
    if (fd_ < 0)
        throw EFileError(formatMessage(mode == Mode::Create ? "Cannot create file %s" : "Cannot open file %s", path));
}

FileStream::~FileStream()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::int64_t FileStream::size() const
{
    struct stat info {};
    if (::fstat(fd_, &info) != 0)
        throw EStreamError("Stream read error");
    return static_cast<std::int64_t>(info.st_size);
}

std::size_t FileStream::readAt(std::int64_t offset, void* buffer, std::size_t count) const
{
    if (offset < 0)
        return 0;
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd_, out + done, count - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EStreamError("Stream read error");
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

void FileStream::writeAt(std::int64_t offset, const void* buffer, std::size_t count)
{
    if (offset < 0)
        throw EStreamError("Stream write error");
    const auto* in = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(fd_, in + done, count - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw EStreamError(n < 0 && (errno == ENOSPC || errno == EDQUOT) ? kDiskFullWriteError
                                                                             : "Stream write error");
        done += static_cast<std::size_t>(n);
    }
}

std::size_t FileStream::read(void* buffer, std::size_t count)
{
    const std::size_t n = readAt(position_, buffer, count);
    position_ += static_cast<std::int64_t>(n);
    return n;
}

void FileStream::readExactly(void* buffer, std::size_t count)
{
    if (read(buffer, count) != count)
        throw EStreamError("Stream read error");
}

} // namespace groovane
