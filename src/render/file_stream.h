// An open file read and written at explicit byte positions, as the renderer's wave class uses
// its source files and its scratch file: reading a WAV file chunk by chunk, and reading and
// writing single samples of a scratch file that may be far larger than memory should hold.
// Names match without regard to letter case (files.h). Not real-time code: every call may block
// on the disk. One thread at a time.
#pragma once

#include "platform/exception.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace groovane {

class FileStream {
public:
    enum class Mode {
        Read,      // an existing file, read only
        ReadWrite, // an existing file, read and written in place
        Create,    // a new empty file, replacing any file of that name; read and written
    };

    // Opens `path`. Raises EFileError "Cannot open file <path>" (Read, ReadWrite) or
    // "Cannot create file <path>" (Create) when the system refuses.
    FileStream(const std::string& path, Mode mode);
    ~FileStream();
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    const std::string& path() const { return path_; }

    // Current size in bytes. Raises EStreamError when the system cannot tell.
    std::int64_t size() const;

    // Reads up to `count` bytes from `offset` into `buffer`; returns how many were there (0 at
    // or past the end, and for a negative offset). Raises EStreamError on a device error.
    std::size_t readAt(std::int64_t offset, void* buffer, std::size_t count) const;

    // Writes `count` bytes at `offset` (not negative); the file grows as needed. Raises
    // EStreamError "Stream write error" when not every byte could be written.
    void writeAt(std::int64_t offset, const void* buffer, std::size_t count);

    // Sequential access from a position of its own, as a chunk walk reads a file.
    std::int64_t position() const { return position_; }
    void seek(std::int64_t position) { position_ = position; }
    // Reads up to `count` bytes at the position and advances past what was read.
    std::size_t read(void* buffer, std::size_t count);
    // Reads exactly `count` bytes or raises EStreamError "Stream read error".
    void readExactly(void* buffer, std::size_t count);

private:
    std::string path_;
    int fd_ = -1;
    std::int64_t position_ = 0;
};

} // namespace groovane
