// The working folder the program runs in, made ready before start-up: the folder and its "temp"
// folder exist, and every file the program ships (default kit, "Blank.wav", "Panning.dat", the
// manual, the intro video, the demo patterns and song) is there. A file already in the folder is
// never replaced, whatever its letter case, so a user's kit, pans and patterns stay theirs.
//
// The shipped files lie in one folder: <prefix>/share/groovane for an installed program, found
// from the program's own place so that any install prefix works, and <build>/data in the build
// tree, where the build puts them.
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace groovane {

// A folder that could not be made or filled; the message names it and says why, in one line.
class WorkingFolderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The shipped files' folder for the program at `executable`: the folder `installedRelative`
// names from the executable's folder (e.g. "../share/groovane") when it exists, otherwise
// `buildFolder`, which is also the answer for an executable path that is not absolute (its
// place unknown). Any thread.
std::filesystem::path shippedFilesFolder(const std::filesystem::path& executable, const std::string& installedRelative,
                                         const std::filesystem::path& buildFolder);

struct FolderPreparation {
    bool isNew = false;              // the folder did not exist and was made
    std::vector<std::string> copied; // names of the shipped files copied in, in name order
};

// Makes `folder` (with its parents) and its "temp" folder when missing, and copies in every
// regular file of `shipped` that no entry of `folder` names without regard to case. Copies go
// through a temporary file and a rename. Raises WorkingFolderError when `shipped` is no folder,
// when a folder cannot be made (a file in its place, no permission) or a file cannot be copied;
// what was done before stays. Any thread.
FolderPreparation prepareWorkingFolder(const std::filesystem::path& folder, const std::filesystem::path& shipped);

// The song to open once the program is up: the song given on the command line, made absolute
// against `invocationFolder` (the program changes into its working folder before opening it);
// otherwise, for a folder just made, its demo song "Demo.sng" when there is one; otherwise none.
std::optional<std::string> startupSong(const std::optional<std::string>& commandLineSong,
                                       const std::filesystem::path& invocationFolder,
                                       const std::optional<std::filesystem::path>& newFolder);

// The demo song every new working folder opens.
inline constexpr const char* kDemoSong = "Demo.sng";
// The default kit, whose presence makes a folder a working folder.
inline constexpr const char* kDefaultKit = "Rock_kit.dxg";
// The working folder in the home folder, the one the menu entry's program works in.
inline constexpr const char* kHomeWorkingFolder = "Groovane";

// Where the program works. A folder named by --folder is prepared and worked in. Without one, a
// current folder holding the default kit (in any letter case) is a working folder and is used as
// it is; any other current folder is not, so the program works in ~/Groovane instead, prepared
// as --folder prepares it, rather than meeting a missing kit and filling a stranger's folder
// with its pans and scratch files. Without a home folder the current one is used as it is.
struct FolderChoice {
    std::optional<std::filesystem::path> toPrepare; // none: the current folder, as it is
    std::string note;                               // one line for stderr, or empty
};
FolderChoice chooseWorkingFolder(const std::optional<std::string>& folderOption,
                                 const std::filesystem::path& currentFolder, const char* home);

} // namespace groovane
