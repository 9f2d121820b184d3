#include "avi_writer.h"

namespace groovane {

namespace {

std::string le16(uint32_t v)
{
    return {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff)};
}

std::string le32(uint32_t v)
{
    return le16(v & 0xffff) + le16(v >> 16);
}

std::string chunk(const std::string& id, const std::string& body)
{
    std::string c = id + le32(static_cast<uint32_t>(body.size())) + body;
    if (body.size() % 2)
        c += '\0';
    return c;
}

std::string list(const std::string& type, const std::string& body)
{
    return chunk("LIST", type + body);
}

constexpr uint32_t kHasIndex = 0x10;
constexpr uint32_t kKeyFrame = 0x10;

} // namespace

std::string aviFileBytes(int width, int height, int framesPerSecond, const std::vector<AviFrame>& frames)
{
    const uint32_t w = static_cast<uint32_t>(width);
    const uint32_t h = static_cast<uint32_t>(height);
    const uint32_t rowBytes = w * 4;
    const uint32_t frameBytes = rowBytes * h;
    const uint32_t count = static_cast<uint32_t>(frames.size());
    const uint32_t fps = static_cast<uint32_t>(framesPerSecond);

    const std::string avih = le32(1000000 / fps) + le32(frameBytes * fps) + le32(0) + le32(kHasIndex) + le32(count) +
                             le32(0) + le32(1) + le32(frameBytes) + le32(w) + le32(h) + std::string(16, '\0');
    const std::string strh = std::string("vids") + "DIB " + le32(0) + le16(0) + le16(0) + le32(0) + le32(1) +
                             le32(fps) + le32(0) + le32(count) + le32(frameBytes) + le32(0xffffffffu) + le32(0) +
                             le16(0) + le16(0) + le16(w) + le16(h);
    // A negative height: rows stored from the top down, as decoders that do not flip them expect.
    const std::string strf = le32(40) + le32(w) + le32(static_cast<uint32_t>(-static_cast<int32_t>(h))) + le16(1) +
                             le16(32) + le32(0) + le32(frameBytes) + le32(0) + le32(0) + le32(0) + le32(0);
    const std::string hdrl =
        list("hdrl", chunk("avih", avih) + list("strl", chunk("strh", strh) + chunk("strf", strf)));

    std::string movi;
    std::string index;
    for (const AviFrame& frame : frames) {
        std::string data(frameBytes, '\0');
        for (uint32_t y = 0; y < h; ++y) {
            char* row = data.data() + y * rowBytes;
            for (uint32_t x = 0; x < w; ++x) {
                const uint32_t rgb = frame.pixels[y * w + x];
                row[4 * x] = static_cast<char>(rgb & 0xff);
                row[4 * x + 1] = static_cast<char>((rgb >> 8) & 0xff);
                row[4 * x + 2] = static_cast<char>((rgb >> 16) & 0xff);
                row[4 * x + 3] = static_cast<char>(0xff);
            }
        }
        // Offsets count from the "movi" type word.
        index +=
            std::string("00db") + le32(kKeyFrame) + le32(static_cast<uint32_t>(4 + movi.size())) + le32(frameBytes);
        movi += chunk("00db", data);
    }
    const std::string body = "AVI " + hdrl + list("movi", movi) + chunk("idx1", index);
    return "RIFF" + le32(static_cast<uint32_t>(body.size())) + body;
}

} // namespace groovane
