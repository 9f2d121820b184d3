// Little-endian numbers and RIFF chunks spelled out byte by byte, for the tests that build or
// inspect WAV images and kit files.
#pragma once

#include <cstdint>
#include <string>

namespace groovane::test {

inline std::string le16(int v)
{
    return {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff)};
}

inline std::string le32(std::uint32_t v)
{
    return le16(static_cast<int>(v & 0xffff)) + le16(static_cast<int>(v >> 16));
}

// The 32-bit little-endian number at `offset` of `bytes`.
inline std::uint32_t readLe32(const std::string& bytes, std::size_t offset)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes[offset + static_cast<std::size_t>(i)]);
    return v;
}

inline std::string chunk(const std::string& id, const std::string& body)
{
    return id + le32(static_cast<std::uint32_t>(body.size())) + body;
}

} // namespace groovane::test
