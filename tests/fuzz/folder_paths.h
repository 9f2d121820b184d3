// The property every reader of shared files keeps: a pattern name it hands on never leads to a
// path outside the working folder. Either the name rule refuses it, or the path built from it
// names an entry directly inside the folder, whole (no NUL for the system to cut it at).
#pragma once

#include "platform/exception.h"
#include "fuzz_target.h"
#include "pattern/pattern_file.h"

#include <filesystem>
#include <string>

namespace groovane::fuzz {

inline void checkPatternPathStaysInFolder(const std::string& name)
{
    const std::string folder = "/work/folder";
    std::string path;
    try {
        path = patternFilePath(folder, name);
    } catch (const Exception&) {
        return;
    }
    FUZZ_CHECK(path.find('\0') == std::string::npos, "pattern path holds a NUL");
    const std::filesystem::path normal = std::filesystem::path(path).lexically_normal();
    FUZZ_CHECK(normal.parent_path() == folder, "pattern path outside the working folder");
    FUZZ_CHECK(normal.filename() == name + ".pat", "pattern path names another file");
}

} // namespace groovane::fuzz
