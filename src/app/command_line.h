// The program's command line: `groovane [--folder DIR] [SONG.sng]`, `--help`, `--version`.
// Everything is read before the window toolkit starts, so --help, --version and a mistyped
// option answer on a machine without a screen too. The toolkit sees none of these arguments.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace groovane {

struct CommandLine {
    // The working folder to prepare and work in; none: chosen from the current folder
    // (chooseWorkingFolder, folder_preparation.h).
    std::optional<std::string> folder;
    // A song to open once the windows are up, as Open Song would.
    std::optional<std::string> song;
    bool showsHelp = false;
    bool showsVersion = false;
};

// A command line the program cannot follow; the message says why, in one line.
class CommandLineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the arguments after the program's name. "--folder DIR" and "--folder=DIR" name the
// folder, with a leading "~" expanded (expandHome): a desktop entry's Exec line passes "~"
// through unexpanded. "--" ends the options. Raises CommandLineError for an unknown option,
// --folder without a folder, and more than one song. Any thread.
CommandLine parseCommandLine(const std::vector<std::string>& args, const char* home);

// "~" and a leading "~/" stand for `home` (the HOME variable), as a shell would have it; any
// other path, "~user/..." among them, stays as written, as does every path when `home` is unset
// or empty.
std::string expandHome(const std::string& path, const char* home);

// The text of --help and --version, each ending in a new line.
std::string usageText();
std::string versionText();

} // namespace groovane
