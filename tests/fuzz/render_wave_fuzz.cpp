// The renderer's WAV reader. A file that is not RIFF/WAVE leaves the wave as it was; a wave in
// scratch mode reads a file exactly as one in memory does (the same error, the same format,
// frames, samples and sample values); and a file that loads saves to one that loads back the
// same.
#include "fuzz_target.h"

#include "render/rounding.h"
#include "render/wavaudio.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

using groovane::wavaudio::roundHalfEven;
using groovane::wavaudio::TWave;

// The wave before the load: the default format with three frames, the last one not silent.
void startingWave(TWave& wave)
{
    wave.SetSample(0, 2, 1234);
    wave.SetSample(1, 2, -5);
}

bool sameWave(const TWave& a, const TWave& b)
{
    return a.Format().bytes == b.Format().bytes && a.FrameCount() == b.FrameCount() && a.Data() == b.Data();
}

bool isRiffWave(const std::string& input)
{
    return input.size() >= 12 && input.compare(0, 4, "RIFF") == 0 && input.compare(8, 4, "WAVE") == 0;
}

} // namespace

GROOVANE_FUZZ_TARGET(render_wave)
{
    const std::string path = groovane::fuzz::writeScratchFile("render.wav", input);

    TWave before;
    startingWave(before);
    TWave inMemory;
    startingWave(inMemory);
    const std::string memoryError = groovane::fuzz::errorOf([&] { inMemory.LoadFromFile(path); });
    if (!isRiffWave(input)) {
        FUZZ_CHECK(memoryError.empty(), "render wave");
        FUZZ_CHECK(sameWave(inMemory, before), "render wave");
        return;
    }

    TWave scratch;
    startingWave(scratch);
    scratch.SetScratchFileName(groovane::fuzz::writeScratchFile("work1.tmp", ""));
    scratch.SetScratchMode(true);
    const std::string scratchError = groovane::fuzz::errorOf([&] { scratch.LoadFromFile(path); });
    FUZZ_CHECK(scratchError == memoryError, "render wave");
    // Sample values through the scratch file's window against those in memory, around the
    // start and the end of the sound.
    const int channels = inMemory.Format().channels();
    for (int32_t frame : {0, 1, inMemory.FrameCount() / 2, inMemory.FrameCount() - 1, inMemory.FrameCount()})
        for (int channel = 0; channel <= std::min(channels, 3); ++channel)
            FUZZ_CHECK(scratch.GetSample(channel, frame) == inMemory.GetSample(channel, frame), "render wave");
    scratch.SetScratchMode(false);
    FUZZ_CHECK(sameWave(scratch, inMemory), "render wave");

    if (!memoryError.empty())
        return;
    const std::string savedPath = groovane::fuzz::writeScratchFile("saved.wav", "");
    inMemory.SaveToFile(savedPath);
    TWave reloaded;
    reloaded.LoadFromFile(savedPath);
    FUZZ_CHECK(reloaded.Format().bytes == inMemory.Format().bytes, "render wave");
    FUZZ_CHECK(reloaded.Data() == inMemory.Data(), "render wave");
    // The frame count follows from the bytes and the block alignment. (The loaded wave's count
    // may differ: a file whose "data" chunk comes before its "fmt " chunk counted its frames with
    // the alignment in force when the samples were read.)
    const unsigned blockAlign = reloaded.Format().blockAlign();
    const double frames = blockAlign == 0 ? 0 : roundHalfEven(static_cast<double>(reloaded.Data().size()) / blockAlign);
    FUZZ_CHECK(reloaded.FrameCount() == static_cast<int32_t>(frames), "render wave");
    reloaded.SaveToFile(savedPath);
    TWave savedTwice;
    savedTwice.LoadFromFile(savedPath);
    FUZZ_CHECK(sameWave(savedTwice, reloaded), "render wave");
}
