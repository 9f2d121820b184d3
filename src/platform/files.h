// File access as the program's users expect it: names match without regard to letter case,
// so "temp/Sample1.wav" and "temp/sample1.wav" are the same file, as they were on the platform
// the program's file formats come from. Every open, create, delete and copy goes through here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace groovane {

namespace fs = std::filesystem;

// Joins a folder and a name with "/" (the base folder never ends with a separator except "/").
std::string joinPath(const std::string& folder, const std::string& name);

// The existing entry that `path` names, each component matched exactly first and otherwise
// without regard to ASCII letter case. When no entry matches, the path with as many leading
// components resolved as exist (so a new file is created beside its existing folder). Any thread.
fs::path resolvePath(const fs::path& path);

bool fileExists(const std::string& path);

// Whole-file reads and writes. Every failure, a folder in the file's place included, raises
// EFileError "Cannot open file <path>" when reading and "Cannot create file <path>" when
// writing; no library text reaches the caller.
std::string readFileBytes(const std::string& path);
// Writes through a temporary file beside the target and renames it into place, so a failed
// write (disk full, read-only folder) leaves the old file as it was.
void writeFileBytesAtomic(const std::string& path, const std::string& bytes);

// Deletes a file; false when it did not exist or could not be deleted.
bool deleteFile(const std::string& path);

// Copies `from` (a regular file) to `to` through a temporary file beside the target and a
// rename, so the target is never left half written. With failIfExists, an existing target makes
// it fail. False on failure.
bool copyFile(const std::string& from, const std::string& to, bool failIfExists);

// Names of the entries of `folder` whose names end in `suffix` (compared without regard to
// case), in directory order. Hidden entries count too.
std::vector<std::string> listFilesWithSuffix(const std::string& folder, const std::string& suffix);

// ASCII case-insensitive comparisons, as the program compares instrument and file names.
bool equalsIgnoreCase(const std::string& a, const std::string& b);
int compareIgnoreCase(const std::string& a, const std::string& b);
std::string toUpperAscii(std::string s);

} // namespace groovane
