// Files for the benchmarks: a temporary folder, and WAV files of 16-bit PCM written from sample
// values without the program's own writers, so a benchmark of the renderer does not measure them.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace groovane::bench {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class Folder {
public:
    Folder()
    {
        std::string templ = (std::filesystem::temp_directory_path() / "groovane-bench-XXXXXX").string();
        if (!::mkdtemp(templ.data()))
            std::abort();
        path_ = templ;
    }
    ~Folder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline void put16(std::string& out, std::uint32_t v)
{
    out += static_cast<char>(v & 0xff);
    out += static_cast<char>((v >> 8) & 0xff);
}

inline void put32(std::string& out, std::uint32_t v)
{
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

// Appends one 16-bit sample.
inline void putSample(std::string& out, double value)
{
    put16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(value)));
}

// A WAV file of 16-bit samples `data` (interleaved) with the 44-byte header.
inline std::string pcm16Wav(int channels, std::uint32_t rate, const std::string& data)
{
    std::string file = "RIFF";
    put32(file, static_cast<std::uint32_t>(36 + data.size()));
    file += "WAVEfmt ";
    put32(file, 16);
    put16(file, 1);
    put16(file, static_cast<std::uint32_t>(channels));
    put32(file, rate);
    put32(file, rate * static_cast<std::uint32_t>(channels) * 2);
    put16(file, static_cast<std::uint32_t>(channels) * 2);
    put16(file, 16);
    file += "data";
    put32(file, static_cast<std::uint32_t>(data.size()));
    return file + data;
}

} // namespace groovane::bench
