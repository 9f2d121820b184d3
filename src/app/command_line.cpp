#include "app/command_line.h"

namespace groovane {

namespace {

const std::string kFolderOption = "--folder";

} // namespace

std::string expandHome(const std::string& path, const char* home)
{
    if (home == nullptr || *home == '\0')
        return path;
    if (path == "~")
        return home;
    if (path.rfind("~/", 0) == 0) {
        std::string expanded = home;
        if (expanded.back() != '/')
            expanded += '/';
        return expanded + path.substr(2);
    }
    return path;
}

CommandLine parseCommandLine(const std::vector<std::string>& args, const char* home)
{
    CommandLine line;
    bool optionsEnded = false;
    const auto takeSong = [&line](const std::string& arg) {
        if (line.song)
            throw CommandLineError("only one song can be opened, not both \"" + *line.song + "\" and \"" + arg + "\"");
        line.song = arg;
    };
    const auto takeFolder = [&line, home](const std::string& folder) {
        if (folder.empty())
            throw CommandLineError(kFolderOption + " needs a folder");
        line.folder = expandHome(folder, home);
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            takeSong(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            line.showsHelp = true;
        } else if (arg == "--version") {
            line.showsVersion = true;
        } else if (arg == kFolderOption) {
            if (i + 1 == args.size())
                throw CommandLineError(kFolderOption + " needs a folder");
            takeFolder(args[++i]);
        } else if (arg.rfind(kFolderOption + "=", 0) == 0) {
            takeFolder(arg.substr(kFolderOption.size() + 1));
        } else {
            throw CommandLineError("unknown option " + arg);
        }
    }
    return line;
}

std::string usageText()
{
    return "Usage: groovane [--folder DIR] [SONG.sng]\n"
           "A drum-pattern sequencer: patterns on a step grid, songs, drum kits and rendering to WAV.\n"
           "\n"
           "  --folder DIR  work in DIR: it is made when missing, with its \"temp\" folder, and the\n"
           "                program's own files (default kit, pans, demo patterns and song, manual)\n"
           "                that DIR lacks are copied in; files already there are never replaced.\n"
           "                A new folder opens the demo song. --folder . works in the current\n"
           "                folder. Without --folder the program works in the current folder\n"
           "                when it holds the default kit \"Rock_kit.dxg\", and otherwise in\n"
           "                ~/Groovane, prepared as --folder prepares it.\n"
           "  SONG.sng      open this song once the program is up, as File > Open Song does\n"
           "  --help        show this text and end\n"
           "  --version     show the version and end\n";
}

std::string versionText()
{
    return "Groovane Pro " GROOVANE_VERSION "\n";
}

} // namespace groovane
