// The renderer's own PCM wave: it reads a WAV file into memory, holds the song being rendered
// while hits are mixed into it, and writes the finished WAV file. A whole song can be long, so
// the output's sample bytes can live in a scratch file with only a window of at most 500000
// frames in memory. The arithmetic here decides what the rendered file sounds like to the last
// bit, so every step follows one fixed order of operations and one rounding rule
// (rounding.h). This is a different class from the sound layer's wave; the two meet only through
// WAV files on disk.
//
// Threads: a wave is used by one thread at a time (the renderer runs on the user-interface
// thread). Nothing here is for the audio callback: calls allocate, read and write files, and
// raise exceptions.
#pragma once

#include "render/file_stream.h"
#include "render/wave_format.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace groovane::wavaudio {

class TWave;

// The most sample bytes a WAV file can hold: its RIFF size field counts them plus 36 in 32 bits.
constexpr std::int64_t kMaxWavDataBytes = 0xFFFFFFFFLL - 36;

// Raises Exception "The song's WAV file would hold <n> bytes of sound, more than the 4 GiB a WAV
// file can count; nothing was written" when `dataBytes` passes kMaxWavDataBytes, so a file is
// never written under a size that has wrapped round. Any thread.
void checkWavDataSize(std::int64_t dataBytes);

// A source as Mix adds it into a wave of one format at one rate, volume and pan: for each frame
// Mix writes and each of the destination's channels, the interpolated, scaled and panned value
// that Mix sums onto what the destination holds. Mix computes these afresh for every hit; a
// renderer that adds one sound at many places takes them from here, computed once, and gets the
// same sums. Short sounds are computed in full at once; a very long one (a sample pitched far
// down) piece by piece as asked, so its values never take much memory. The source must outlive
// this and stay unchanged. One thread at a time.
class TMixSource {
public:
    // Frames Mix writes for the source (none for a source Mix leaves out).
    std::int64_t Frames() const { return frames_; }
    int Channels() const { return channels_; }
    // The values of frames [first, first + count) of the sound, interleaved by channel; `count`
    // within Frames(). The pointer is valid until the next call; `scratch` may hold them.
    const std::int32_t* Values(std::int64_t first, std::int64_t count, std::vector<std::int32_t>& scratch) const;

private:
    friend class TWave;
    // At most this many values are kept computed (16 MB).
    static constexpr std::int64_t kKeptValues = std::int64_t{1} << 22;
    void compute(std::int64_t first, std::int64_t count, std::int32_t* out) const;

    const TWave* source_ = nullptr; // null when Mix adds nothing
    std::int32_t sourceFrames_ = 0;
    std::int64_t frames_ = 0;
    int channels_ = 0;
    double step_ = 1;
    double volume_ = 0;
    double leftGain_ = 1;
    double rightGain_ = 1;
    std::vector<std::int32_t> kept_;
};

class TWave {
public:
    // `WindowStart` when no window is open.
    static constexpr std::int32_t kNoWindow = -1000000;
    // The most frames the window of a scratch-mode wave holds in memory.
    static constexpr std::int32_t kWindowFrames = 500000;
    // Silence appended to the scratch file is written in pieces of at most this many bytes.
    static constexpr int kSilencePieceBytes = 100;

    // An empty wave in memory mode: PCM, 2 channels, 44100 Hz, 16 bits, no frames.
    TWave();
    // Releases the sample bytes and closes the scratch file, which stays on disk. A window
    // still holding newer values than the file is written back first (errors are swallowed:
    // nothing can report them here).
    ~TWave();
    TWave(const TWave&) = delete;
    TWave& operator=(const TWave&) = delete;

    // Reads a RIFF/WAVE file. A file that does not start with "RIFF" and "WAVE" leaves the wave
    // as it was and reports nothing. Chunks are walked while their position lies below the
    // RIFF size and a full chunk header remains: "fmt " fills the format block from its first
    // 16 bytes, "data" replaces the sample bytes (in scratch mode: the scratch file is written
    // anew) and sets FrameCount = round(n / block align), other chunks are skipped; sizes are
    // taken as they stand, without pad bytes, and a later "data" chunk replaces an earlier one.
    // Raises EFileError "Cannot open file <path>" / "Cannot create file <path>" (scratch file)
    // and EStreamError "Stream read error" when a "fmt " or "data" body is cut short by the end
    // of the file; what was read before the failure stays.
    void LoadFromFile(const std::string& path);

    // Writes a WAV file with the fixed 44-byte header and the sample bytes (all of `Data` in
    // memory mode, the whole scratch file in scratch mode, after writing back a window that still
    // holds samples set since the last mix), through a new version of the file that replaces the
    // old one only once it is whole on the disk (files.h, FileReplacement). Raises EFileError
    // "Cannot create file <path>", or EStreamError "Stream write error" when the disk refuses;
    // the old file stays as it was then.
    void SaveToFile(const std::string& path);

    // On (from memory mode): the sample bytes move into a new file at ScratchFileName, kept
    // open, and no window is open. Off (from scratch mode with an open file): the window is
    // written back, then the whole file moves back into memory and is closed (not deleted). Any other call only records
    // the flag. Raises EFileError "Cannot create file <path>" (the wave stays in memory mode) or EStreamError.
    void SetScratchMode(bool on);

    // FrameCount / sample rate in seconds; 0 when the sample rate is 0.
    double Duration() const;

    // One sample of channel `channel` of frame `frame`, as a 16-bit value (8-bit bytes b read
    // as (b - 128) x 255). 0 when the channel is negative or above the channel count, the frame
    // lies outside 0..FrameCount-1, or no bytes are there. A channel equal to the channel count
    // addresses the first channel of the next frame. Raises EStreamError on a device error.
    int GetSample(int channel, std::int32_t frame) const;

    // Stores one sample (8-bit: round(v / 255) + 128, limited to 0..255; otherwise the low 16
    // bits of v). A write past the end first extends the data with silence and makes FrameCount
    // frame + 1, in both modes. Ignored for a negative channel or frame, or a channel above the
    // channel count. In scratch mode a write outside the window writes the window back and
    // opens a new one at `frame`. Raises EStreamError when the scratch file cannot be written.
    void SetSample(int channel, std::int32_t frame, int value);

    // Adds `source` into this wave from `startSeconds` on, played at `rate` Hz (linear
    // interpolation), scaled by `volume` and panned by `pan` (-1 left, 0 centre, +1 right;
    // channels after the second take gain 1), clipping every sum to -32767..32767. In scratch
    // mode the window is written back at the end, so the scratch file is then complete. A source
    // without frames or with sample rate 0, a rate of 0 or below, or a destination with block
    // align 0 leaves this wave as it was. `source` may be this wave. Raises EStreamError.
    void Mix(const TWave& source, int rate, double volume, double pan, double startSeconds);

    // The values Mix(source, rate, volume, pan, ...) adds into this wave, computed once (see
    // TMixSource). Nothing to add under the same conditions as Mix. Raises EStreamError.
    TMixSource PrepareMix(const TWave& source, int rate, double volume, double pan) const;
    // The frame Mix starts a source at for `startSeconds`: round(byte rate x start / block align).
    // 0 for block align 0.
    std::int64_t MixStartFrame(double startSeconds) const;
    // Stores whole frames of sample bytes from frame `frame` on, exactly as setting each of their
    // samples would store them: a gap between the data's end and `frame` becomes silence, and
    // FrameCount grows to cover the frames written. In scratch mode an open window is written
    // back first and the bytes go straight to the scratch file. Ignored for a negative frame or
    // a size that is not a whole number of frames. Raises EStreamError.
    void WriteFrames(std::int32_t frame, const std::uint8_t* bytes, std::size_t size);

    FormatBlock& Format() { return format_; }
    const FormatBlock& Format() const { return format_; }
    std::int32_t FrameCount() const { return frameCount_; }
    // All sample bytes in memory mode; the window's bytes in scratch mode.
    const std::vector<std::uint8_t>& Data() const { return data_; }
    bool ScratchMode() const { return scratchMode_; }
    bool HasScratchFile() const { return scratchFile_ != nullptr; }
    const std::string& ScratchFileName() const { return scratchFileName_; }
    // Set by the owner before scratch mode is switched on.
    void SetScratchFileName(const std::string& path) { scratchFileName_ = path; }
    std::int32_t WindowStart() const { return windowStart_; }

private:
    // The format fields that addressing needs, read once per call or per mix.
    struct Layout {
        int channels;
        std::int64_t blockAlign;
        int bitsPerSample;
        bool eightBit;
    };

    Layout layout() const;
    static std::int64_t byteOffset(const Layout& layout, int channel, std::int32_t frame) noexcept;
    std::int32_t framesInBytes(std::int64_t bytes) const;
    bool windowHolds(std::int32_t frame) const
    {
        return windowStart_ != kNoWindow && frame >= windowStart_ &&
               static_cast<std::int64_t>(frame) < static_cast<std::int64_t>(windowStart_) + kWindowFrames;
    }

    int readSample(const Layout& layout, int channel, std::int32_t frame) const;
    int readScratchFileSample(const Layout& layout, std::int64_t offset) const;
    void writeSample(const Layout& layout, int channel, std::int32_t frame, int value);
    void moveWindowTo(const Layout& layout, std::int32_t frame, std::int64_t offset);
    void appendSilenceToScratchFile(std::int64_t upToOffset, std::uint8_t silence);
    // What Mix adds for `source` at one rate, volume and pan, without the values.
    TMixSource planMix(const TWave& source, int rate, double volume, double pan) const;
    // Mix's value for channel `channel` of output frame `k` of a plan, before the sum.
    static std::int64_t scaledValue(const TWave& source, const Layout& from, const TMixSource& plan, std::int64_t k,
                                    int channel);
    friend class TMixSource;

    void loadDataChunk(FileStream& in, std::uint32_t size);
    void reopenScratchFile();
    void LoadWindow();
    void FlushWindow();

    FormatBlock format_;
    std::int32_t frameCount_ = 0;
    std::vector<std::uint8_t> data_;
    bool scratchMode_ = false;
    std::string scratchFileName_;
    std::unique_ptr<FileStream> scratchFile_;
    std::int32_t windowStart_ = kNoWindow;
    // The bytes of the window changed since it was loaded, [dirtyFrom_, dirtyTo_); empty when
    // dirtyFrom_ is kClean.
    static constexpr std::int64_t kClean = INT64_MAX;
    std::int64_t dirtyFrom_ = kClean;
    std::int64_t dirtyTo_ = 0;
};

} // namespace groovane::wavaudio
