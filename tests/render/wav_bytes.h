// Builds WAV files byte by byte for the renderer's wave tests, so every file a test reads (good,
// odd or hostile) is spelled out beside the test that uses it.
#pragma once

#include "support/le_bytes.h"
#include "support/temp_folder.h"
#include "render/wavaudio.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace groovane::test {

// A chunk whose stated size is not its body's length.
inline std::string chunkClaiming(const std::string& id, std::uint32_t size, const std::string& body)
{
    return id + le32(size) + body;
}

inline std::string fmtBody(int channels, std::uint32_t rate, int bits)
{
    const int blockAlign = channels * bits / 8;
    return le16(1) + le16(channels) + le32(rate) + le32(rate * blockAlign) + le16(blockAlign) + le16(bits);
}

// "RIFF", the given size, "WAVE" and the chunks.
inline std::string riff(std::uint32_t size, const std::string& chunks)
{
    return "RIFF" + le32(size) + "WAVE" + chunks;
}

inline std::string riff(const std::string& chunks)
{
    return riff(static_cast<std::uint32_t>(4 + chunks.size()), chunks);
}

inline std::string samples16(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out += le16(v);
    return out;
}

// A plain PCM file: one "fmt " chunk and one "data" chunk of 16-bit samples (interleaved).
inline std::string wav16(int channels, std::uint32_t rate, std::initializer_list<int> values)
{
    return riff(chunk("fmt ", fmtBody(channels, rate, 16)) + chunk("data", samples16(values)));
}

// Writes `bytes` as a file in `dir` and loads it into `wave`.
inline void loadBytes(wavaudio::TWave& wave, const TempFolder& dir, const std::string& bytes,
                      const std::string& name = "in.wav")
{
    dir.write(name, bytes);
    wave.LoadFromFile(dir.file(name));
}

// Every sample of every channel, frame by frame.
inline std::vector<int> allSamples(const wavaudio::TWave& wave)
{
    std::vector<int> out;
    for (std::int32_t f = 0; f < wave.FrameCount(); ++f)
        for (int ch = 0; ch < wave.Format().channels(); ++ch)
            out.push_back(wave.GetSample(ch, f));
    return out;
}

} // namespace groovane::test
