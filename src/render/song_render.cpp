#include "song_render.h"

#include "exception.h"
#include "files.h"
#include "pattern_editing.h"
#include "step_list.h"
#include "str_to_int.h"
#include "wavaudio.h"

#include <algorithm>
#include <system_error>
#include <unistd.h>

namespace groovane {

namespace {

// Names match without regard to case, also for files that do not exist yet: "WORK1.TMP" is the
// scratch file even before the render has made "work1.tmp".
bool sameFile(const std::string& a, const std::string& b)
{
    std::error_code ec;
    const fs::path pa = fs::weakly_canonical(fs::absolute(resolvePath(a)), ec);
    if (ec)
        return false;
    const fs::path pb = fs::weakly_canonical(fs::absolute(resolvePath(b)), ec);
    return !ec && pa.parent_path() == pb.parent_path() &&
           equalsIgnoreCase(pa.filename().string(), pb.filename().string());
}

// Writes the wave beside the target and renames it into place: a save that fails part way
// leaves the old file whole and no stray file behind.
void saveAtomically(wavaudio::TWave& wave, const std::string& path)
{
    const fs::path target = resolvePath(path);
    fs::path temp = target;
    temp += ".tmp-" + std::to_string(::getpid());
    try {
        wave.SaveToFile(temp.string());
    } catch (...) {
        std::error_code ec;
        fs::remove(temp, ec);
        throw;
    }
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        throw EFileError(formatMessage("Cannot create file %s", path));
    }
}

std::string soundName(int instrument)
{
    if (instrument >= kFirstSampleSlot)
        return formatMessage("Sample %d", instrument - kFirstSampleSlot + 1);
    return instrumentNames()[static_cast<size_t>(instrument)];
}

void mixHit(wavaudio::TWave& output, const RenderSound& sound, double startSeconds)
{
    // A fresh wave for every hit: a file that holds no WAV data leaves it empty, and an empty
    // source mixes nothing, instead of repeating whatever the previous hit loaded.
    wavaudio::TWave source;
    source.LoadFromFile(sound.file);
    int rate = sound.frequency;
    if (rate == 0)
        rate = static_cast<int>(std::min<std::uint32_t>(source.Format().sampleRate(), INT32_MAX));
    output.Mix(source, rate, renderVolumeFactor(sound.volume), sound.pan * 0.0005, startSeconds);
}

} // namespace

std::set<int> renderInstruments(const StepList& list)
{
    std::set<int> found;
    for (int64_t i = 0; i < list.lineCount(); ++i) {
        const int slot = instrumentSlot(list.line(i));
        if (slot > 0)
            found.insert(slot);
    }
    return found;
}

double renderVolumeFactor(std::int32_t volume)
{
    return std::clamp((volume + 4000) * 0.00025, 0.0, 1.0);
}

RenderOutcome renderSong(const StepList& list, const RenderSounds& sounds, const std::string& scratchFile,
                         const std::string& outputFile, RenderObserver& observer)
{
    if (sameFile(outputFile, scratchFile))
        throw Exception(formatMessage(
            "%s is the file the render builds the song in; please choose another name for the song's WAV file",
            outputFile));

    wavaudio::TWave output;
    output.SetScratchFileName(scratchFile);
    output.SetScratchMode(true);

    RenderOutcome outcome = RenderOutcome::Finished;
    for (const int instrument : renderInstruments(list)) {
        const std::optional<RenderSound>& sound = sounds[static_cast<size_t>(instrument)];
        if (!sound)
            continue;
        // The first line is always a marker with its tempo line, which sets the step length.
        // Six cells make a row; each row after the first sounds one step length after the one
        // before, the length of the pattern it belongs to.
        double startSeconds = 0.0;
        double stepSeconds = 0.0;
        int rowCell = -1;
        int64_t index = 0;
        bool isEnd = false;
        while (!isEnd) {
            if (observer.isStopRequested()) {
                outcome = RenderOutcome::Stopped;
                break;
            }
            const std::string& line = list.line(index++);
            isEnd = line == StepList::kEnd;
            if (line == StepList::kMarker) {
                stepSeconds = strToInt(list.line(index++)) * 2 * 0.001;
            } else {
                ++rowCell;
            }
            observer.linePassed(index);
            if (rowCell == 6) {
                rowCell = 0;
                startSeconds += stepSeconds;
            }
            if (instrumentSlot(line) == instrument) {
                observer.hitStarting(soundName(instrument));
                mixHit(output, *sound, startSeconds);
            }
        }
        if (outcome == RenderOutcome::Stopped)
            break;
    }
    saveAtomically(output, outputFile);
    return outcome;
}

} // namespace groovane
