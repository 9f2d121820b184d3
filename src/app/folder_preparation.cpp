#include "app/folder_preparation.h"

#include "platform/files.h"

#include <algorithm>
#include <system_error>

namespace groovane {

namespace fs = std::filesystem;

namespace {

// The folder `path` names without regard to letter case, made when nothing is there.
void makeFolder(const fs::path& path)
{
    const fs::path existing = resolvePath(path);
    std::error_code ec;
    if (fs::is_directory(existing, ec))
        return;
    if (fs::exists(fs::symlink_status(existing, ec)))
        throw WorkingFolderError("cannot make the folder " + existing.string() + ": a file is in its place");
    fs::create_directories(path, ec);
    if (ec)
        throw WorkingFolderError("cannot make the folder " + path.string() + ": " + ec.message());
}

} // namespace

fs::path shippedFilesFolder(const fs::path& executable, const std::string& installedRelative,
                            const fs::path& buildFolder)
{
    // Without its own place (no /proc) the program cannot tell an install from the build tree.
    if (!executable.is_absolute())
        return buildFolder;
    const fs::path installed = (executable.parent_path() / installedRelative).lexically_normal();
    std::error_code ec;
    return fs::is_directory(installed, ec) ? installed : buildFolder;
}

FolderPreparation prepareWorkingFolder(const fs::path& folder, const fs::path& shipped)
{
    std::error_code ec;
    if (!fs::is_directory(shipped, ec))
        throw WorkingFolderError("cannot find the program's own files in " + shipped.string());
    std::vector<fs::path> sources;
    for (fs::directory_iterator it(shipped, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec))
            sources.push_back(it->path());
    if (ec)
        throw WorkingFolderError("cannot read the program's own files in " + shipped.string() + ": " + ec.message());
    std::sort(sources.begin(), sources.end());

    FolderPreparation preparation;
    preparation.isNew = !fs::exists(fs::symlink_status(resolvePath(folder), ec));
    makeFolder(folder);
    makeFolder(folder / "temp");
    for (const fs::path& source : sources) {
        const std::string name = source.filename().string();
        const std::string target = joinPath(resolvePath(folder).string(), name);
        // Any entry of that name, in any letter case, is the user's: it stays as it is.
        if (fs::exists(fs::symlink_status(resolvePath(target), ec)))
            continue;
        if (!copyFile(source.string(), target, true))
            throw WorkingFolderError("cannot copy " + source.string() + " into " + folder.string());
        preparation.copied.push_back(name);
    }
    return preparation;
}

FolderChoice chooseWorkingFolder(const std::optional<std::string>& folderOption, const fs::path& currentFolder,
                                 const char* home)
{
    if (folderOption)
        return {fs::path(*folderOption), {}};
    if (fileExists((currentFolder / kDefaultKit).string()) || home == nullptr || *home == '\0')
        return {std::nullopt, {}};
    const fs::path folder = fs::path(home) / kHomeWorkingFolder;
    return {folder, "no " + std::string(kDefaultKit) + " in " + currentFolder.string() + ", so working in " +
                        folder.string() + " (--folder . works here)"};
}

std::optional<std::string> startupSong(const std::optional<std::string>& commandLineSong,
                                       const fs::path& invocationFolder, const std::optional<fs::path>& newFolder)
{
    if (commandLineSong)
        return (invocationFolder / *commandLineSong).lexically_normal().string();
    if (!newFolder)
        return std::nullopt;
    const fs::path demo = resolvePath(*newFolder / kDemoSong);
    if (!fileExists(demo.string()))
        return std::nullopt;
    return demo.string();
}

} // namespace groovane
