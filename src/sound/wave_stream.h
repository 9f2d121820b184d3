// The streams that walk and build RIFF WAVE images. A wave stream is a view of one sound's
// sample bytes: reading a WAV file means opening a TWaveStream over it, which walks the chunks
// and then reads samples relative to the "data" chunk; writing means opening one for writing,
// writing samples and closing it, which fills in the chunk lengths. TWave (wave.h) loads and
// saves itself through these, and the streamed file player reads its file through
// TWaveFileStream while it plays.
//
// Every stream here is used by one thread at a time; none of them may be used by the audio
// callback (they touch files).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sound/byte_stream.h"

namespace groovane {

// Errors of the wave streams: "Wave is invalid", "Format is invalid", "Stream not opend",
// "Stream has already been opened".
class EWaveStreamError : public Exception {
public:
    using Exception::Exception;
};

// A positioned view of one wave's sample bytes. Subclasses say where the bytes are; this class
// keeps the position and clamps reads, writes and seeks to the sample size when it is known.
class TCustomWaveStream : public TStream {
public:
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, int origin) override;
    // Changing the size of a wave stream is accepted and does nothing.
    void SetSize(int64_t) override {}
    int64_t Size() override { return GetSize(); }

    // Bytes ready to be read; -1 means there is no such limit.
    virtual int64_t GetFilledSize() { return -1; }
    virtual const uint8_t* GetFormat() const { return nullptr; }
    virtual int32_t GetFormatSize() const { return 0; }
    // Length of the sample bytes; -1 means the length is open.
    virtual int64_t GetSize() { return -1; }
    virtual void SetFormatSize(int32_t) {}

protected:
    // Moves up to `count` sample bytes at sample offset `position`; returns how many moved.
    virtual int64_t ReadWave(int64_t position, void* buffer, int64_t count);
    virtual int64_t WriteWave(int64_t position, const void* buffer, int64_t count);

private:
    int64_t position_ = 0;
};

// A wave stream that owns its format record.
class TCustomWaveStream2 : public TCustomWaveStream {
public:
    const uint8_t* GetFormat() const override { return format_.data(); }
    uint8_t* FormatData() { return format_.data(); }
    int32_t GetFormatSize() const override { return static_cast<int32_t>(format_.size()); }
    // Resizes the format record to max(size, 0) bytes.
    void SetFormatSize(int32_t size) override;

private:
    std::vector<uint8_t> format_;
};

// Reads or writes a RIFF WAVE image inside a host stream (not owned), starting at the host's
// position when the wave stream is made. Open it for reading or writing first; an image opened
// for writing is completed by Close (or, failures unreported, by the destructor).
class TWaveStream : public TCustomWaveStream2 {
public:
    explicit TWaveStream(TStream& host);
    ~TWaveStream() override;
    TWaveStream(const TWaveStream&) = delete;
    TWaveStream& operator=(const TWaveStream&) = delete;

    // Reading walks the chunks and takes the format record and the place of the samples;
    // an empty host gives format size 0 and sample size 0. Raises EWaveStreamError
    // "Stream has already been opened", "Wave is invalid" (bad RIFF header), "Format is invalid"
    // (writing without a format), EReadError "Stream read error" when the host is too short
    // for its header or for a chunk it announces.
    void Open(bool forWriting);
    // Completes an image opened for writing: the RIFF length, the "data" length and the
    // trailing zero byte. Does nothing for an image opened for reading or already closed.
    void Close();

    // 0 before Open; the "data" chunk's length when reading; the bytes written so far when
    // writing.
    int64_t GetSize() override;
    // The sample bytes the host really holds: GetSize() when reading, limited to what lies
    // between the start of the samples and the end of the host (a "data" chunk may claim more
    // than a damaged file has).
    int64_t StoredSize();
    // Host position of the first sample byte (0 before Open or when there is no "data" chunk).
    int64_t SampleStart() const { return dataStart_; }
    // Sample reads and writes; before Open they raise EWaveStreamError "Stream not opend".
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;

protected:
    // Over a host the wave stream owns and frees after closing the image.
    explicit TWaveStream(std::unique_ptr<TStream> ownedHost);

    int64_t ReadWave(int64_t position, void* buffer, int64_t count) override;
    int64_t WriteWave(int64_t position, const void* buffer, int64_t count) override;

private:
    void openForReading();
    void openForWriting();

    std::unique_ptr<TStream> ownedHost_;
    TStream& host_;
    int64_t imageStart_;
    bool opened_ = false;
    bool readMode_ = false;
    bool closed_ = false;
    int64_t dataStart_ = 0;
    int64_t dataHeaderPosition_ = 0;
    int64_t sampleLength_ = 0;
};

// A TWaveStream over a file it opens itself and frees after the image has been closed.
class TWaveFileStream : public TWaveStream {
public:
    // Opening failures are the file stream's (EFileError).
    TWaveFileStream(const std::string& fileName, FileMode mode);
};

} // namespace groovane
