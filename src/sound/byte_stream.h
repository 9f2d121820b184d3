// The byte streams the sound layer reads and writes through: a WAV image, a kit file and the
// raw bytes of one kit sound are all handled as positioned streams, so the same reader works
// on a file, on an in-memory image and on a slice of a kit file. Tests use memory streams and
// need no disk. The errors are those of the stream classes the file formats were defined with.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/exception.h"

namespace groovane {

class FileReplacement;

// "Stream read error": fewer bytes were there than a format said there would be.
class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// "Stream write error": the target took fewer bytes than were written.
class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// Seek origins, as every stream in the layer numbers them.
enum SeekOrigin : int { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };

// A positioned byte stream. Not thread-safe: one thread uses a stream at a time.
class TStream {
public:
    virtual ~TStream() = default;

    // Reads up to `count` bytes; returns how many were read (0 at the end).
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    // Writes up to `count` bytes; returns how many were written.
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Moves the position; returns the new position.
    virtual int64_t Seek(int64_t offset, int origin) = 0;
    // Changes the stream's length; the default refuses nothing and does nothing.
    virtual void SetSize(int64_t newSize);

    int64_t Position() { return Seek(0, soFromCurrent); }
    void SetPosition(int64_t position) { Seek(position, soFromBeginning); }
    // The stream's length; the position is left where it was.
    virtual int64_t Size();

    // Reads exactly `count` bytes or raises EReadError "Stream read error".
    void ReadBuffer(void* buffer, int64_t count);
    // Writes exactly `count` bytes or raises EWriteError "Stream write error".
    void WriteBuffer(const void* buffer, int64_t count);
};

// A stream over bytes in memory; it grows when written past its end.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string bytes) : bytes_(std::move(bytes)) {}

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, int origin) override;
    void SetSize(int64_t newSize) override;
    int64_t Size() override { return static_cast<int64_t>(bytes_.size()); }

    const std::string& Bytes() const { return bytes_; }

private:
    std::string bytes_;
    int64_t position_ = 0;
};

// How a file stream opens its file.
enum class FileMode {
    OpenRead, // existing file, read only, writing by others denied
    Create,   // a new, empty version of the file, written only; it replaces the old file only
              // at Commit (files.h, FileReplacement)
};

// A stream over a file, found by name without regard to case. Opening failures raise
// EFileError "Cannot open file <name>" (OpenRead) or "Cannot create file <name>" (Create).
class TFileStream : public TStream {
public:
    TFileStream(const std::string& fileName, FileMode mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, int origin) override;
    int64_t Size() override;

    // Create mode: puts what was written in place of the old file, or raises as
    // FileReplacement::commit does. A stream freed without it leaves the old file as it was.
    void Commit();

private:
    std::FILE* file_ = nullptr;
    std::unique_ptr<FileReplacement> replacement_;
    int64_t position_ = 0;
};

} // namespace groovane
