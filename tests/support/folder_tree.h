// Every entry below a folder with its size (0 for folders), sorted: two listings are equal when
// nothing in the folder was written, made or deleted between them.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace groovane {

inline std::vector<std::string> folderTree(const std::filesystem::path& root)
{
    std::vector<std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        entries.push_back(entry.path().lexically_relative(root).string() + " " +
                          std::to_string(entry.is_regular_file() ? entry.file_size() : 0));
    std::sort(entries.begin(), entries.end());
    return entries;
}

} // namespace groovane
