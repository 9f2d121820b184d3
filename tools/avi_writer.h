// Uncompressed AVI files: one video stream of 32-bit RGB frames, no sound. The intro video is
// made with it at build time, and the intro screen's tests make tiny videos with it, so neither
// needs a video encoder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace groovane {

struct AviFrame {
    // width * height pixels, rows from the top, each 0xRRGGBB.
    std::vector<uint32_t> pixels;
};

// The bytes of an AVI file of `frames` (each width x height) shown at `framesPerSecond`: the
// RIFF "AVI " header list, the frames as "00db" chunks of rows from the top down (a negative
// height), each pixel the bytes B, G, R, 255, and the index of key frames. Decoders take this
// layout without converting it, which keeps small frames whole.
std::string aviFileBytes(int width, int height, int framesPerSecond, const std::vector<AviFrame>& frames);

} // namespace groovane
