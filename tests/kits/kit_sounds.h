// WAV images and kits built byte by byte for the kit window tests, so what the windows write is
// checked against bytes made here, not by the program's own writer.
#pragma once

#include "support/le_bytes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace groovane::test {

// A PCM WAV image of `frames` frames; sample k of channel c is `value(k, c)`, written in the
// sample width given (8-bit samples as their low byte).
template <class Value>
std::string pcmWav(uint32_t rate, int bits, int channels, int frames, Value value)
{
    std::string data;
    for (int k = 0; k < frames; ++k)
        for (int c = 0; c < channels; ++c)
            data += bits == 8 ? std::string(1, static_cast<char>(value(k, c) & 0xff)) : le16(value(k, c));
    const int align = channels * bits / 8;
    const std::string body =
        chunk("fmt ", le16(1) + le16(channels) + le32(rate) + le32(rate * uint32_t(align)) + le16(align) + le16(bits)) +
        chunk("data", data);
    return "RIFF" + le32(uint32_t(body.size() + 4)) + "WAVE" + body;
}

// The same samples as pcmWav in the extensible layout editors write: format tag 0xFFFE, 22 extra
// bytes with the valid bits, the channel mask and the PCM sub-format; and a "LIST" chunk of odd
// size with its pad byte before the samples.
template <class Value>
std::string extensibleWav(uint32_t rate, int bits, int channels, int frames, Value value)
{
    const std::string plain = pcmWav(rate, bits, channels, frames, value);
    const std::string pcmSubFormat("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
    const std::string format = le16(0xFFFE) + plain.substr(22, 14) + le16(22) + le16(uint16_t(bits)) +
                               le32(channels == 1 ? 4 : 3) + pcmSubFormat;
    const std::string body = chunk("fmt ", format) + chunk("LIST", "INFOISFT" + le32(5) + std::string("edit\0", 5)) +
                             std::string(1, '\0') + plain.substr(36);
    return "RIFF" + le32(uint32_t(body.size() + 4)) + "WAVE" + body;
}

// A mono 16-bit image holding `frames` samples of `level`.
inline std::string constantWav(int level, int frames, uint32_t rate = 44100)
{
    return pcmWav(rate, 16, 1, frames, [level](int, int) { return level; });
}

// The kit file of the given sound names and stored wave images, in the kit file layout: the
// resource header, the component and its "List" collection, one item per sound.
inline std::string kitFileBytes(const std::vector<std::string>& names, const std::vector<std::string>& images)
{
    std::string items;
    for (size_t i = 0; i < names.size(); ++i) {
        items += '\x01';
        if (!names[i].empty())
            items += std::string("\x04Name") + '\x06' + static_cast<char>(names[i].size()) + names[i];
        items += std::string("\x06Looped") + '\x08';
        items += std::string("\x09Wave.WAVE") + '\x0a' + le32(uint32_t(images[i].size())) + images[i];
        items += '\x00';
    }
    const std::string body = std::string("TPF0") + '\x18' + "TWaveCollectionComponent" + '\x00' + "\x04List" + '\x0e' +
                             items + std::string(3, '\x00');
    return std::string("\xff") + le16(10) + "DRUMKITWAVECOLLECTION" + '\x00' + le16(0x1030) +
           le32(uint32_t(body.size())) + body;
}

} // namespace groovane::test
