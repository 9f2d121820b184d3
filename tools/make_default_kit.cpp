// Writes the default kit "Rock_kit.dxg" the program loads at start, and optionally the blank
// sound "Blank.wav" (kept in the source tree's data folder; it is also the kit's sound 0).
// Run by the build:  make_default_kit <kit file> [<blank wav file>]
#include <cstdio>
#include <exception>
#include <string>

#include "drum_synth.h"
#include "wave_collection.h"

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: make_default_kit <kit file> [<blank wav file>]\n");
        return 2;
    }
    try {
        groovane::TWaveCollection kit;
        groovane::drumsynth::buildDefaultKit(kit);
        kit.SaveToFile(argv[1]);
        if (argc == 3)
            groovane::drumsynth::blankWave().SaveToFile(argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_default_kit: %s\n", e.what());
        return 1;
    }
    return 0;
}
