// The readers that read from a stream in memory and from a file (kit files, the sound layer's WAV
// images) must read the same bytes the same way either way.
#pragma once

#include "sound/byte_stream.h"
#include "fuzz_target.h"

#include <string>

namespace groovane::fuzz {

struct LoadErrors {
    std::string fromMemory;
    std::string fromFile;
};

// Loads `input` into `fromMemory` through a memory stream and the file `path` (holding the same
// bytes) into `fromFile`; returns each load's error message, empty when it loaded.
template <typename Loadable>
LoadErrors loadBothWays(Loadable& fromMemory, Loadable& fromFile, const std::string& input, const std::string& path)
{
    return {errorOf([&] {
                TMemoryStream stream(input);
                fromMemory.LoadFromStream(stream);
            }),
            errorOf([&] { fromFile.LoadFromFile(path); })};
}

} // namespace groovane::fuzz
