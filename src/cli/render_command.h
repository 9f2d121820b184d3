// The command-line render: groovane-render [--from N] [--quiet] SONG.sng OUT.wav. It works in
// the current folder as the program works in its working folder, does what the program's
// start-up and Open Song do for the kit, the pans and the sample slots, and renders the song as
// Render does, through the same code, so the file it writes equals the window's render of the
// same song, byte for byte. No toolkit, no display and no sound system: it links no window code,
// and the sample slots are plain settings that take a song's samples as the players do.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace groovane {

// What the command line asks for.
struct RenderCommand {
    std::string songFile;
    std::string outputFile;
    long long fromEntry = 1; // play list entry to start at, 1 = the first
    bool isQuiet = false;
    bool wantsHelp = false;
    bool wantsVersion = false;
};

// Reads the arguments after the program's name. Raises Exception with a one-line reason for
// arguments it cannot take.
RenderCommand parseRenderCommand(const std::vector<std::string>& args);

// The help text, ending in a line break.
std::string renderCommandHelp();

// Renders `command.songFile` to `command.outputFile` with the working folder as the base folder:
// loads "Rock_kit.dxg" and applies "Panning.dat" as start-up does, starts the eight sample slots
// on "Blank.wav", opens the song as Open Song does (its play list, and each slot's file,
// frequency and pan; volumes stay full), writes the kit's sounds to "temp", builds the step list
// from entry `fromEntry` on and renders it, building it in a scratch file of the run's own
// ("work1-XXXXXX.tmp", removed at the end). Raises the error the
// window would show at the same point, and Exception for an empty play list, an entry the list
// does not have, and an output file whose folder cannot take it. The output file is written only
// when the render succeeds (through a temporary file and a rename), so an existing one stays
// whole otherwise. `progress`, when given, receives a bar redrawn in place.
void runRenderCommand(const RenderCommand& command, std::ostream* progress);

// The whole program: parses `args`, prints help or version to `out`, renders, and on failure
// prints one line to `err` ("groovane-render: " and the message as the window's error box shows
// it). The progress bar goes to `err` when `errIsTerminal` and not --quiet. Returns the exit
// status: 0 on success, 1 on any failure.
int renderCommandMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal);

} // namespace groovane
