#include "song/song_file.h"

#include "platform/files.h"
#include "platform/str_to_int.h"

#include <algorithm>

namespace groovane {

namespace {

const std::string kTagStart = "<*";
const std::string kSampleTag = "sam";
const std::string kPanMarker = "//";

// The slot a block tag names ("sam1" .. "sam8" exactly), or 0.
int sampleSlotOfTag(const std::string& tag)
{
    if (tag.size() != kSampleTag.size() + 1 || tag.compare(0, kSampleTag.size(), kSampleTag) != 0)
        return 0;
    const char digit = tag.back();
    return digit >= '1' && digit <= '0' + kSampleSlotCount ? digit - '0' : 0;
}

} // namespace

SongFileContents readSongFile(const TextLines& lines)
{
    size_t i = 0;
    const auto next = [&]() -> std::string_view { return i < lines.size() ? lines[i++] : (++i, std::string_view()); };

    SongFileContents song;
    bool hasPanLines = false;
    while (i < lines.size()) {
        const std::string_view line = next();
        if (!line.starts_with(kTagStart)) {
            song.names.emplace_back(line);
            continue;
        }
        const int slot = sampleSlotOfTag(std::string(line.substr(kTagStart.size())));
        if (slot == 0)
            continue;
        SongSampleBlock block;
        block.slot = slot;
        block.fileName = next();
        block.frequency = strToInt(std::string(next()));
        // Slot 1's own marker line decides for its block and marks the file; the other slots
        // follow the mark without looking at theirs.
        const std::string_view marker = next();
        bool readsPan = hasPanLines;
        if (slot == 1) {
            readsPan = marker == kPanMarker;
            hasPanLines = hasPanLines || readsPan;
        }
        if (readsPan)
            block.pan = strToInt(std::string(next()));
        song.samples.push_back(std::move(block));
    }
    return song;
}

std::vector<std::string> songFileLines(const std::vector<std::string>& names,
                                       const std::vector<std::optional<SongSampleSettings>>& slots)
{
    std::vector<std::string> lines = names;
    for (int slot = 1; slot <= kSampleSlotCount; ++slot) {
        const auto index = static_cast<size_t>(slot - 1);
        const SongSampleSettings settings =
            index < slots.size() && slots[index] ? *slots[index] : SongSampleSettings{kBlankSample, 0, 0};
        lines.push_back(kTagStart + kSampleTag + std::to_string(slot));
        lines.push_back(settings.fileName);
        lines.push_back(std::to_string(settings.frequency));
        lines.push_back(kPanMarker);
        lines.push_back(std::to_string(settings.pan));
    }
    return lines;
}

std::string songFileTitle(const std::string& path)
{
    const size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string withoutExtension(const std::string& title)
{
    return title.size() < 4 ? title : title.substr(0, title.size() - 4);
}

bool isEmptySongTitle(const std::string& title)
{
    return title.empty() || title == ".sng";
}

bool isBlankSample(const std::string& path)
{
    return songFileTitle(path) == kBlankSample;
}

std::string resolveSamplePath(const std::string& path, const std::string& baseFolder)
{
    if (path.empty())
        return path;
    // While the working folder is the base folder a relative path already lies there; it stays
    // as written, so a slot keeps the bare "Blank.wav" and a song saved again stays the same.
    std::error_code error;
    const bool baseIsWorkingFolder =
        baseFolder.empty() || fs::equivalent(fs::current_path(error), fs::path(baseFolder), error);
    const auto located = [&](const std::string& p) {
        return fs::path(p).is_relative() && !baseIsWorkingFolder ? joinPath(baseFolder, p) : p;
    };
    const std::string asWritten = located(path);
    if (path.find('\\') == std::string::npos || fileExists(asWritten))
        return asWritten;
    std::string slashed = path;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    const std::string withSlashes = located(slashed);
    return fileExists(withSlashes) ? withSlashes : asWritten;
}

} // namespace groovane
