// The program's working folder for window tests: a temporary folder holding the files that
// scripts/run.sh puts beside the program, entered as the working folder, with the sound going
// to an offline output that the test can pump and read back.
#pragma once

#include "support/temp_folder.h"

#include <cstdint>
#include <vector>

namespace groovane {
class OfflineAudioOutput;
}

namespace groovane::test {

class WorkingFolder : public TempFolder {
public:
    // Copies the default kit "Rock_kit.dxg", "Blank.wav" and "Panning.dat", creates "temp",
    // enters the folder and installs the offline output (44100 Hz, no latency) with its clock.
    WorkingFolder();
    ~WorkingFolder();

    OfflineAudioOutput& output() { return *output_; }
    // Mixes `frames` output frames; interleaved stereo samples.
    std::vector<int16_t> pump(uint32_t frames);

private:
    OfflineAudioOutput* output_;
};

} // namespace groovane::test
