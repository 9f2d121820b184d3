// The shipped kits' files as the build lists them for a test: one string of paths joined by "|".
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace groovane {

inline std::vector<std::string> splitKitFiles(const std::string& joined)
{
    std::vector<std::string> files;
    std::istringstream list(joined);
    for (std::string file; std::getline(list, file, '|');)
        files.push_back(file);
    return files;
}

} // namespace groovane
