// The song render without its window: mixes every hit of a song's step list into one 44100 Hz
// 16-bit stereo WAV file, at the time the walk gives the hit. It walks the same step list with
// the same walk (StepWalk), tempo rule and instrument look-up as song playback, so a song renders
// exactly the hits it plays.
//
// The file is what mixing the song one instrument at a time in ascending order, each hit with
// the wave class's Mix, gives, to the last bit (same times, rounding, order of sums and clipping
// after each sum). It is computed faster: each sound is read once per render and scaled once,
// and the output is built one window of frames at a time with the instruments in order inside
// each window, so memory stays within one window of output however long the song.
//
// The output's sample bytes grow in a scratch file (the renderer's wave in scratch mode) and the
// finished file is written beside the chosen one and renamed into place, so a render that fails
// leaves an existing file as it was. A stopped render still writes a valid file holding the hits
// mixed so far, each whole.
//
// Threads: the user-interface thread; the observer's calls are made on it, once per line.
#pragma once

#include "pattern/instruments.h"

#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string>

namespace groovane {

class StepList;

// What a hit of one instrument sounds: its file, read once when the render starts, and the
// settings the mixer takes from it.
struct RenderSound {
    std::string file;
    std::int32_t volume = 0;    // hundredths of a decibel, 0 full level, -4000 silent
    std::int32_t pan = 0;       // x 0.0005 gives the mixer's pan; beyond +-1 fully one side
    std::int32_t frequency = 0; // playback rate in Hz; 0 plays the file at its own rate
};

// One place for each instrument slot, 0 (none) .. 24 (sample slot 8).
inline constexpr size_t kRenderSlots = kLastSampleSlot + 1;

// The sounds of instruments 1..24 (index 0 unused). An instrument without a sound (a sample slot
// whose window closed its player) renders nothing.
using RenderSounds = std::array<std::optional<RenderSound>, kRenderSlots>;

// Told what the render does, and asked whether it should go on.
class RenderObserver {
public:
    virtual ~RenderObserver() = default;
    // Asked before each line is taken and before each piece of mixing; true ends the render
    // there: no further hit is taken and nothing more is mixed, and the output file holds what
    // was mixed until then.
    virtual bool isStopRequested() = 0;
    // The line index after the line just taken (its tempo line included); the progress position,
    // which runs once from 0 to the list's line count. The place to let pending window messages
    // run.
    virtual void linePassed(std::int64_t position) = 0;
    // As each hit is taken, in the order of the list: the name of its sound ("Kick", "Sample 3").
    virtual void hitStarting(const std::string& soundName) = 0;
    // Between pieces of mixing, each at most a fraction of a second of work however long the
    // sounds are: the other place to let pending window messages run.
    virtual void mixing() {}
};

// The instruments (1..24) that some line of the list names, in ascending order.
std::set<int> renderInstruments(const StepList& list);

// The mixer's volume for a volume in hundredths of a decibel: linear from 0 at -4000 to 1 at 0,
// limited to 0..1 (a volume outside the controls' range neither inverts nor amplifies a hit).
double renderVolumeFactor(std::int32_t volume);

enum class RenderOutcome { Finished, Stopped };

// Raises the render's Exception when `outputFile` names `scratchFile` (without regard to case).
void checkOutputIsNotScratchFile(const std::string& outputFile, const std::string& scratchFile);

// Renders `list` into `outputFile`, building the output in `scratchFile`. Each sound is loaded
// into an empty wave before anything is mixed, so a file that is empty or not a WAV file mixes
// nothing, and a sound file changed during the render changes nothing. Raises Exception when
// `outputFile` is the scratch file itself (names compared without regard to case), and whatever
// reading a sound or writing the files raises; the output file is then left as it was.
RenderOutcome renderSong(const StepList& list, const RenderSounds& sounds, const std::string& scratchFile,
                         const std::string& outputFile, RenderObserver& observer);

} // namespace groovane
