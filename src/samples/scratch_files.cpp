#include "samples/scratch_files.h"

#include "platform/files.h"

#include <system_error>

namespace groovane {

namespace {

std::string tempFolder(const std::string& baseFolder)
{
    return joinPath(baseFolder, "temp");
}

std::string scratchName(int slot)
{
    return "Sample" + std::to_string(slot) + ".wav";
}

} // namespace

std::string sampleScratchFile(const std::string& baseFolder, int slot)
{
    return joinPath(tempFolder(baseFolder), scratchName(slot));
}

void resetSampleScratchFiles(const std::string& baseFolder)
{
    // Names match without regard to case, so on a case-sensitive file system several variants
    // of one slot's file may sit side by side; the copy must not be taken for any of them.
    const std::string temp = resolvePath(tempFolder(baseFolder)).string();
    for (int slot = 1; slot <= kSampleSlots; ++slot) {
        const std::string name = scratchName(slot);
        for (const std::string& entry : listFilesWithSuffix(temp, name))
            if (equalsIgnoreCase(entry, name))
                deleteFile(joinPath(temp, entry));
    }
    const std::string blank = joinPath(baseFolder, "Blank.wav");
    for (int slot = 1; slot <= kSampleSlots; ++slot)
        copyFile(blank, joinPath(temp, scratchName(slot)), true);
}

void refreshSampleScratchFile(const std::string& source, const std::string& baseFolder, int slot)
{
    const std::string target = sampleScratchFile(baseFolder, slot);
    std::error_code error;
    if (fs::equivalent(resolvePath(source), resolvePath(target), error))
        return;
    copyFile(source, target, false);
}

} // namespace groovane
