#include "sound/wave.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "sound/wave_stream.h"

namespace groovane {

std::string formatRecordBytes(const WaveFormatEx& format)
{
    std::string bytes(sizeof(WaveFormatEx), '\0');
    auto put = [&](int offset, uint32_t value, int width) {
        for (int i = 0; i < width; ++i)
            bytes[size_t(offset + i)] = char(uint8_t(value >> (8 * i)));
    };
    put(0, format.wFormatTag, 2);
    put(2, format.nChannels, 2);
    put(4, format.nSamplesPerSec, 4);
    put(8, format.nAvgBytesPerSec, 4);
    put(12, format.nBlockAlign, 2);
    put(14, format.wBitsPerSample, 2);
    put(16, format.cbSize, 2);
    return bytes;
}

namespace {

constexpr uint16_t kExtensibleFormatTag = 0xFFFE;
// Where the sub-format identifier stands in an extensible record, and the identifier of PCM.
constexpr int kSubFormatOffset = 24;
constexpr uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                       0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

bool isExtensiblePcm(const uint8_t* bytes, int size)
{
    return bytes && size >= kSubFormatOffset + int(sizeof kPcmSubFormat) &&
           (bytes[0] | bytes[1] << 8) == kExtensibleFormatTag &&
           std::memcmp(bytes + kSubFormatOffset, kPcmSubFormat, sizeof kPcmSubFormat) == 0;
}

} // namespace

WaveFormatEx formatRecordFromBytes(const uint8_t* bytes, int size)
{
    auto get = [&](int offset, int width) {
        uint32_t value = 0;
        for (int i = 0; i < width; ++i)
            if (offset + i < size)
                value |= uint32_t(bytes[offset + i]) << (8 * i);
        return value;
    };
    WaveFormatEx f;
    f.wFormatTag = uint16_t(get(0, 2));
    f.nChannels = uint16_t(get(2, 2));
    f.nSamplesPerSec = get(4, 4);
    f.nAvgBytesPerSec = get(8, 4);
    f.nBlockAlign = uint16_t(get(12, 2));
    f.wBitsPerSample = uint16_t(get(14, 2));
    f.cbSize = uint16_t(get(16, 2));
    if (isExtensiblePcm(bytes, size)) {
        f.wFormatTag = WAVE_FORMAT_PCM;
        f.cbSize = 0;
    }
    return f;
}

void MakePCMWaveFormat(WaveFormatEx& format, uint32_t samplesPerSec, int bitsPerSample, int channels)
{
    format.wFormatTag = 1;
    format.nChannels = uint16_t(channels);
    format.nSamplesPerSec = samplesPerSec;
    format.wBitsPerSample = uint16_t(bitsPerSample);
    format.nBlockAlign = uint16_t(channels * (bitsPerSample / 8));
    format.nAvgBytesPerSec = uint32_t(format.nBlockAlign) * samplesPerSec;
    format.cbSize = 0;
}

void TWave::Clear()
{
    std::vector<uint8_t>().swap(format_);
    std::vector<uint8_t>().swap(data_);
}

void TWave::Assign(const TWave* source)
{
    if (source == this)
        return;
    if (!source) {
        Clear();
        return;
    }
    SetFormatSize(source->FormatSize());
    SetSize(source->Size());
    std::copy(source->format_.begin(), source->format_.end(), format_.begin());
    std::copy(source->data_.begin(), source->data_.end(), data_.begin());
}

void TWave::SetFormatSize(int32_t size)
{
    format_.resize(static_cast<size_t>(std::max(size, 0)));
}

void TWave::SetFormat(const WaveFormatEx& format)
{
    const std::string bytes = formatRecordBytes(format);
    format_.assign(bytes.begin(), bytes.end());
}

void TWave::SetSize(int32_t size)
{
    const int32_t m = std::max(size, 0);
    if (static_cast<size_t>(m) != data_.size()) {
        // A fresh buffer of the exact length: resizing in place would keep a larger allocation.
        std::vector<uint8_t> resized(static_cast<size_t>(m));
        std::copy_n(data_.begin(), std::min(data_.size(), resized.size()), resized.begin());
        data_.swap(resized);
    }
}

void TWave::LoadFromStream(TStream& stream)
{
    Clear();
    TWaveStream waveStream(stream);
    waveStream.Open(false);
    SetFormatSize(waveStream.GetFormatSize());
    std::copy_n(waveStream.GetFormat(), FormatSize(), format_.begin());
    // A "data" chunk that claims more bytes than the stream holds cannot be read; refuse it
    // before allocating, so a damaged length never asks for gigabytes.
    const int64_t length = waveStream.GetSize();
    if (length > stream.Size() - waveStream.SampleStart() || length > INT32_MAX)
        throw EReadError("Stream read error");
    SetSize(static_cast<int32_t>(length));
    waveStream.ReadBuffer(data_.data(), Size());
}

void TWave::LoadFromFile(const std::string& fileName)
{
    TFileStream file(fileName, FileMode::OpenRead);
    LoadFromStream(file);
}

void TWave::SaveToStream(TStream& stream) const
{
    if (FormatSize() <= 0 || Size() <= 0)
        return;
    TWaveStream waveStream(stream);
    waveStream.SetFormatSize(FormatSize());
    std::copy(format_.begin(), format_.end(), waveStream.FormatData());
    waveStream.Open(true);
    waveStream.WriteBuffer(data_.data(), Size());
    waveStream.Close();
}

void TWave::SaveToFile(const std::string& fileName) const
{
    TFileStream file(fileName, FileMode::Create);
    SaveToStream(file);
    file.Commit();
}

std::string TWave::PropertyBytes() const
{
    TMemoryStream stream;
    SaveToStream(stream);
    return stream.Bytes();
}

void TWave::LoadPropertyBytes(std::string bytes)
{
    TMemoryStream stream(std::move(bytes));
    LoadFromStream(stream);
}

} // namespace groovane
