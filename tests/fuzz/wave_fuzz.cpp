// The sound layer's WAV reader. An image reads the same from a file as from the same bytes in
// memory, with the same error when refused, and a refused image leaves the wave without
// samples; the streamed player's way of reading (a wave stream over the file, a piece at a time)
// gives the same samples as loading the whole wave; and a loaded sound saves to an image that
// loads back as the same format and samples and saves again to the same bytes.
#include "both_ways.h"

#include "platform/exception.h"
#include "sound/wave.h"
#include "sound/wave_stream.h"

#include <algorithm>
#include <string>

namespace {

using namespace groovane;

bool sameWave(const TWave& a, const TWave& b)
{
    return a.FormatSize() == b.FormatSize() && a.Size() == b.Size() &&
           std::equal(a.Format(), a.Format() + a.FormatSize(), b.Format()) &&
           std::equal(a.Data(), a.Data() + a.Size(), b.Data());
}

// The samples as the streamed player reads them: in pieces of an awkward size, up to what the
// file really holds.
std::string samplesInPieces(const std::string& path)
{
    TWaveFileStream stream(path, FileMode::OpenRead);
    stream.Open(false);
    const int64_t stored = stream.StoredSize();
    std::string samples;
    char piece[333];
    while (static_cast<int64_t>(samples.size()) < stored) {
        const int64_t got = stream.Read(piece, std::min<int64_t>(sizeof piece, stored - int64_t(samples.size())));
        if (got <= 0)
            break;
        samples.append(piece, static_cast<size_t>(got));
    }
    return samples;
}

} // namespace

GROOVANE_FUZZ_TARGET(wave)
{
    const std::string path = fuzz::writeScratchFile("sound.wav", input);

    TWave fromMemory;
    TWave fromFile;
    const fuzz::LoadErrors errors = fuzz::loadBothWays(fromMemory, fromFile, input, path);
    FUZZ_CHECK(errors.fromMemory == errors.fromFile, "wave");
    FUZZ_CHECK(sameWave(fromMemory, fromFile), "wave");
    if (!errors.fromMemory.empty()) {
        FUZZ_CHECK(fromMemory.Size() == 0, "wave");
        return;
    }

    const std::string pieces = samplesInPieces(path);
    FUZZ_CHECK(pieces.size() == static_cast<size_t>(fromMemory.Size()), "wave");
    FUZZ_CHECK(std::equal(pieces.begin(), pieces.end(), fromMemory.Data(),
                          [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; }),
               "wave");

    if (fromMemory.FormatSize() == 0 || fromMemory.Size() == 0)
        return; // nothing to save: an empty wave writes no image
    const std::string image = fromMemory.PropertyBytes();
    TWave again;
    again.LoadPropertyBytes(image);
    FUZZ_CHECK(sameWave(again, fromMemory), "wave");
    FUZZ_CHECK(again.PropertyBytes() == image, "wave");
}
