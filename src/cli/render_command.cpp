#include "cli/render_command.h"

#include "platform/exception.h"
#include "platform/files.h"
#include "pattern/instrument_pans.h"
#include "platform/line_buffer.h"
#include "render/render_sounds.h"
#include "samples/slot_settings.h"
#include "song/song_file.h"
#include "playback/song_pattern.h"
#include "render/song_render.h"
#include "song/step_list.h"
#include "platform/str_to_int.h"
#include "sound/wave_collection.h"

#include <filesystem>
#include <optional>
#include <cstdlib>
#include <system_error>
#include <ostream>
#include <unistd.h>

#ifndef GROOVANE_VERSION
#define GROOVANE_VERSION "unknown"
#endif

namespace groovane {

namespace {

constexpr const char* kProgram = "groovane-render";

long long parseEntry(const std::string& text)
{
    const std::optional<int> entry = tryStrToInt(text);
    if (!entry || *entry < 1)
        throw Exception("--from takes a play list entry number, 1 or more, not '" + text + "'");
    return *entry;
}

// A bar of 40 cells and a percentage, redrawn in place whenever the percentage changes.
class ProgressBar final : public RenderObserver {
public:
    ProgressBar(std::ostream& out, std::int64_t lines) : out_(out), lines_(lines) {}
    ~ProgressBar() override
    {
        if (percent_ >= 0)
            out_ << '\n' << std::flush;
    }

    bool isStopRequested() override { return false; }
    void linePassed(std::int64_t position) override
    {
        const int percent = lines_ > 0 ? static_cast<int>(position * 100 / lines_) : 100;
        if (percent == percent_)
            return;
        percent_ = percent;
        constexpr int kCells = 40;
        const int filled = percent * kCells / 100;
        out_ << '\r' << "Rendering [" << std::string(static_cast<size_t>(filled), '#')
             << std::string(static_cast<size_t>(kCells - filled), '.') << "] " << percent << "%" << std::flush;
    }
    void hitStarting(const std::string&) override {}

private:
    std::ostream& out_;
    std::int64_t lines_;
    int percent_ = -1;
};

class Silent final : public RenderObserver {
public:
    bool isStopRequested() override { return false; }
    void linePassed(std::int64_t) override {}
    void hitStarting(const std::string&) override {}
};

// The save dialog only offers folders that exist and files that may be written; the command
// line checks the same before the render's work, so a render that cannot be saved fails at once.
void checkOutputWritable(const std::string& path)
{
    const fs::path resolved = resolvePath(path);
    const fs::path folder = resolved.has_parent_path() ? resolved.parent_path() : fs::path(".");
    std::error_code error;
    const bool isFolder = fs::is_directory(folder, error);
    const bool isWritableFile =
        !fs::exists(resolved, error) || (fs::is_regular_file(resolved, error) && ::access(resolved.c_str(), W_OK) == 0);
    if (!isFolder || ::access(folder.c_str(), W_OK | X_OK) != 0 || !isWritableFile)
        throw EFileError(formatMessage("Cannot create file %s", path));
}

} // namespace

RenderCommand parseRenderCommand(const std::vector<std::string>& args)
{
    RenderCommand command;
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            command.wantsHelp = true;
        } else if (arg == "--version") {
            command.wantsVersion = true;
        } else if (arg == "--quiet" || arg == "-q") {
            command.isQuiet = true;
        } else if (arg == "--from") {
            if (i + 1 >= args.size())
                throw Exception("--from needs a play list entry number");
            command.fromEntry = parseEntry(args[++i]);
        } else if (arg.rfind("--from=", 0) == 0) {
            command.fromEntry = parseEntry(arg.substr(7));
        } else {
            throw Exception("unknown option '" + arg + "' (see --help)");
        }
    }
    if (command.wantsHelp || command.wantsVersion)
        return command;
    if (files.size() != 2)
        throw Exception("needs a song file and an output file: groovane-render [--from N] [--quiet] SONG.sng OUT.wav");
    command.songFile = files[0];
    command.outputFile = files[1];
    return command;
}

std::string renderCommandHelp()
{
    return "Usage: groovane-render [--from N] [--quiet] SONG.sng OUT.wav\n"
           "\n"
           "Renders the song SONG.sng to the WAV file OUT.wav (44100 Hz, 16 bits, stereo), as\n"
           "Groovane Pro's Render does after opening the song. It works in the current folder as\n"
           "the program works in its working folder: the kit \"Rock_kit.dxg\", the pans\n"
           "\"Panning.dat\", the song's patterns (*.pat) and the \"temp\" folder are taken from\n"
           "there, and the render builds the song in a scratch file of its own there\n"
           "(\"work1-XXXXXX.tmp\", removed at the end), so runs started together in one folder\n"
           "never disturb each other. The sample slots\n"
           "take their files, pitches and pans from the song, at full volume.\n"
           "\n"
           "OUT.wav is replaced only when the render succeeds. On failure one line on stderr\n"
           "says why and the exit status is 1.\n"
           "\n"
           "Options:\n"
           "  --from N     start at play list entry N (1, the first, by default)\n"
           "  -q, --quiet  no progress bar on stderr (it shows only on a terminal)\n"
           "  -h, --help   show this help and exit\n"
           "  --version    show the version and exit\n";
}

namespace {

// The file one run builds its song in: a name of its own beside the kit, made at once so that no
// other run can take it, and removed when the run ends, whether it succeeded or not. Runs started
// together in one folder (a batch job, a build) then never write into each other's song; the
// program's own Render keeps "work1.tmp".
class RunScratchFile {
public:
    explicit RunScratchFile(const std::string& base)
    {
        std::string pattern = joinPath(base, "work1-XXXXXX.tmp");
        const int fd = ::mkstemps(pattern.data(), 4);
        if (fd < 0)
            throw EFileError(formatMessage("Cannot create file %s", joinPath(base, "work1.tmp")));
        ::close(fd);
        path_ = pattern;
    }
    ~RunScratchFile()
    {
        std::error_code ec;
        fs::remove(path_, ec);
    }
    RunScratchFile(const RunScratchFile&) = delete;
    RunScratchFile& operator=(const RunScratchFile&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace

void runRenderCommand(const RenderCommand& command, std::ostream* progress)
{
    const std::string base = fs::current_path().string();

    // Start-up: the default kit, then the pans kept from the program's last run.
    TWaveCollection kit;
    kit.LoadFromFile("Rock_kit.dxg");
    LineBuffer pans;
    pans.loadFromFile(kPanningFile);
    applyPanFileLines(pans.read(),
                      [&kit](const std::string& instrument, int32_t pan) { kit.Find(instrument).SetPan(pan); });
    SampleSlotSettingsList slots;
    for (int slot = 1; slot <= kSampleSlotCount; ++slot)
        slots.start(slot);

    // Open Song.
    LineBuffer songLines;
    songLines.loadFromFile(command.songFile);
    const SongFileContents song = readSongFile(songLines.read());
    applySongSamples(song, slots, base);

    // Render.
    if (song.names.empty())
        throw Exception(formatMessage("The play list of %s is empty: there is nothing to render", command.songFile));
    if (command.fromEntry > static_cast<long long>(song.names.size()))
        throw Exception("The play list of " + command.songFile + " has " + std::to_string(song.names.size()) +
                        " entries: it has no entry " + std::to_string(command.fromEntry) + " to start at");
    // "work1.tmp" is where the program's own Render builds its songs in this folder: a song
    // written there would be lost to the next render.
    checkOutputIsNotScratchFile(command.outputFile, joinPath(base, "work1.tmp"));
    checkOutputWritable(command.outputFile);
    exportKitSounds(kit, base);
    const std::vector<std::string> names(song.names.begin() + (command.fromEntry - 1), song.names.end());
    const StepList steps =
        buildStepList(names, [&base](const std::string& name) { return readSongPattern(base, name); });
    const RenderSounds sounds = renderSoundsOf(kit, &slots, base);
    const RunScratchFile scratch(base);
    if (progress) {
        ProgressBar bar(*progress, steps.lineCount());
        renderSong(steps, sounds, scratch.path(), command.outputFile, bar);
    } else {
        Silent silent;
        renderSong(steps, sounds, scratch.path(), command.outputFile, silent);
    }
}

int renderCommandMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal)
{
    try {
        const RenderCommand command = parseRenderCommand(args);
        if (command.wantsHelp) {
            out << renderCommandHelp();
            return 0;
        }
        if (command.wantsVersion) {
            out << kProgram << " (Groovane Pro) " << GROOVANE_VERSION << '\n';
            return 0;
        }
        runRenderCommand(command, errIsTerminal && !command.isQuiet ? &err : nullptr);
        return 0;
    } catch (...) {
        err << kProgram << ": " << errorBoxText(exceptionMessage(std::current_exception())) << '\n' << std::flush;
        return 1;
    }
}

} // namespace groovane
