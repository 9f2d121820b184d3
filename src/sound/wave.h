// One sound in memory: a format record and the raw sample bytes, loaded from and saved as RIFF
// WAVE images. The layer never interprets the samples; it hands format and bytes to the sound
// device as they are. Every kit sound is a TWave, stored in the kit file as the bytes of its
// WAV image.
//
// A TWave is used by one thread at a time (the user-interface thread in the program); nothing
// here may run on the audio callback.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sound/byte_stream.h"
#include "platform/sound_device.h"

namespace groovane {

// The format record's 18 little-endian bytes.
std::string formatRecordBytes(const WaveFormatEx& format);
// Reads a record from its first bytes; missing bytes read as zero. A record in the extensible
// layout (tag 0xFFFE) whose sub-format is PCM reads as the plain PCM record it describes (tag 1,
// no extra bytes), since its samples are laid out exactly as PCM samples are.
WaveFormatEx formatRecordFromBytes(const uint8_t* bytes, int size);

// Fills a PCM record: tag 1, block alignment channels * (bits / 8), bytes per second
// alignment * rate, no extra bytes. Accepts any values (a rate of 0 gives a record the device
// refuses later, not an error here).
void MakePCMWaveFormat(WaveFormatEx& format, uint32_t samplesPerSec, int bitsPerSample, int channels);

class TWave {
public:
    TWave() = default;
    TWave(const TWave& other) { Assign(&other); }
    TWave& operator=(const TWave& other)
    {
        Assign(&other);
        return *this;
    }

    void Clear();
    // Copies format and samples; a null source clears; assigning a wave to itself does nothing.
    void Assign(const TWave* source);

    const uint8_t* Format() const { return format_.data(); }
    uint8_t* Format() { return format_.data(); }
    int32_t FormatSize() const { return static_cast<int32_t>(format_.size()); }
    // Resizes the format record to max(size, 0) bytes.
    void SetFormatSize(int32_t size);
    // Replaces the format record with the 18 bytes of `format`.
    void SetFormat(const WaveFormatEx& format);

    const uint8_t* Data() const { return data_.data(); }
    uint8_t* Data() { return data_.data(); }
    int32_t Size() const { return static_cast<int32_t>(data_.size()); }
    // Sets the sample length to max(size, 0), keeping existing bytes up to the smaller length
    // (new bytes are zero). The buffer holds exactly the samples, so a sound costs memory in
    // proportion to its length: a kit of many short sounds stays as small as its file.
    void SetSize(int32_t size);
    // Bytes allocated for samples: Size.
    int64_t Capacity() const { return static_cast<int64_t>(data_.capacity()); }

    // Reads a WAV image from the stream's position. The wave is cleared first and stays empty
    // (or holds only its format) when the image is bad: EWaveStreamError "Wave is invalid",
    // EReadError "Stream read error" when the image is shorter than its chunks say. An empty
    // stream gives an empty wave. The stream then stands after the last byte read.
    void LoadFromStream(TStream& stream);
    // Opens the file (found without regard to case) and loads it; EFileError when it cannot be
    // opened.
    void LoadFromFile(const std::string& fileName);
    // Writes the WAV image at the stream's position: F + D + 29 bytes. An empty wave (no format
    // or no samples) writes nothing. Write failures raise EWriteError.
    void SaveToStream(TStream& stream) const;
    // Saves into a new version of the file that replaces the old one only once it is whole on
    // the disk (TFileStream::Commit). EFileError "Cannot create file <name>" when it cannot be
    // created, EWriteError or EStreamError "Stream write error" when the disk refuses the bytes;
    // the old file stays as it was then.
    void SaveToFile(const std::string& fileName) const;

    // The bytes of the `WAVE` property as a kit file stores them: the WAV image, or nothing for
    // an empty wave.
    std::string PropertyBytes() const;
    // Loads the wave from stored property bytes (LoadFromStream over them). Taken by value, so
    // a caller that hands over its bytes costs no copy of them.
    void LoadPropertyBytes(std::string bytes);

private:
    std::vector<uint8_t> format_;
    std::vector<uint8_t> data_;
};

} // namespace groovane
