// The renderer's wave format: 16 bytes laid out exactly as the body of a PCM "fmt " chunk, so it
// is copied to and from WAV files as raw bytes. Nothing checks that its fields agree with each
// other; whoever reads a field takes it as it stands.
#pragma once

#include <array>
#include <cstdint>

namespace groovane::wavaudio {

class FormatBlock {
public:
    static constexpr int kSize = 16;

    // PCM, 2 channels, 44100 Hz, 176400 bytes per second, 4 bytes per frame, 16 bits.
    FormatBlock() { setCdQuality(); }

    void setCdQuality()
    {
        setFormatTag(1);
        setChannels(2);
        setSampleRate(44100);
        setByteRate(176400);
        setBlockAlign(4);
        setBitsPerSample(16);
    }

    std::uint16_t formatTag() const { return get16(0); }
    std::uint16_t channels() const { return get16(2); }
    std::uint32_t sampleRate() const { return get32(4); }
    std::uint32_t byteRate() const { return get32(8); }
    std::uint16_t blockAlign() const { return get16(12); }
    std::uint16_t bitsPerSample() const { return get16(14); }

    void setFormatTag(std::uint16_t v) { set16(0, v); }
    void setChannels(std::uint16_t v) { set16(2, v); }
    void setSampleRate(std::uint32_t v) { set32(4, v); }
    void setByteRate(std::uint32_t v) { set32(8, v); }
    void setBlockAlign(std::uint16_t v) { set16(12, v); }
    void setBitsPerSample(std::uint16_t v) { set16(14, v); }

    // The raw little-endian bytes, as they appear in a file.
    std::array<std::uint8_t, kSize> bytes{};

private:
    std::uint16_t get16(int at) const { return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8); }
    std::uint32_t get32(int at) const
    {
        return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
               static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
    }
    void set16(int at, std::uint16_t v)
    {
        bytes[at] = static_cast<std::uint8_t>(v);
        bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    void set32(int at, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
};

} // namespace groovane::wavaudio
