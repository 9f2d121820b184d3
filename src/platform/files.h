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
// Raises EFileError "'<name>' is not a valid file name: it holds a NUL character" for a folder
// or name holding a NUL, so no caller builds a path that the system would cut short.
std::string joinPath(const std::string& folder, const std::string& name);

// The existing entry that `path` names, each component matched exactly first and otherwise
// without regard to ASCII letter case. When no entry matches, the path with as many leading
// components resolved as exist (so a new file is created beside its existing folder). Any thread.
fs::path resolvePath(const fs::path& path);

bool fileExists(const std::string& path);

// A new version of a file, written whole or not at all. Every file the program saves is written
// through one of these. The bytes go to a temporary file under a short name in the target's
// folder (so a target name as long as the file system allows still saves); commit() flushes it
// to the disk, gives it the replaced file's owner and permission bits, renames it over the
// target and flushes the folder, so after a full disk, a device error or a power cut the name
// holds either the old file or the whole new one, never a short one. The target is not touched
// before commit(); a writer dropped without commit() removes its temporary file.
//
// A target named through a symbolic link is replaced where the link points. One thread at a
// time; never the audio thread (every call may block on the disk).
class FileReplacement {
public:
    // Opens the temporary file. Raises EFileError "Cannot create file <path>" when the target is
    // a folder, when its permission bits do not let this user write it (the superuser is held to
    // the bits too: a file no one may write is read-only for everyone), or when its folder is
    // missing or takes no new file.
    explicit FileReplacement(const std::string& path);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Writes `count` bytes at `offset` (not negative; a gap before it reads as zeros) and returns
    // how many the disk took. After a short write the new file is spoiled: commit() raises.
    size_t writeAt(int64_t offset, const void* data, size_t count);
    // Bytes written so far (the end of the furthest write).
    int64_t size() const { return size_; }
    // Whether a write came up short because the disk (or the user's quota) is full.
    bool diskFull() const { return diskFull_; }

    // Puts the new file in place of the target. Raises EStreamError "Stream write error" when a
    // write came up short or the bytes cannot be flushed to the disk, and EFileError "Cannot
    // create file <path>" when the file cannot be put under the target's name; in both cases the
    // old file stays as it was and the temporary file is gone.
    void commit();
    // As commit(), but only where no entry of the target's name exists: false (and the
    // temporary file gone) when one does, even one made since this writer was opened.
    bool commitIfAbsent();

private:
    void flushToDisk();
    void placed();
    void discard() noexcept;
    // Drop the temporary file and raise "Cannot create file <path>" / "Stream write error".
    [[noreturn]] void failCreate();
    [[noreturn]] void failWrite();

    std::string path_; // as the caller named it, for messages
    fs::path target_;
    fs::path temp_;
    int fd_ = -1;
    int64_t size_ = 0;
    bool spoiled_ = false;
    bool diskFull_ = false;
    bool replacing_ = false; // an existing file's owner and bits pass to the new one
    unsigned ownerId_ = 0;
    unsigned groupId_ = 0;
    unsigned modeBits_ = 0;
};

// The write error of a file that ran out of room, as the render reports it: the stream's
// message, then what the user can do about it.
inline constexpr const char* kDiskFullWriteError = "Stream write error (the disk is full)";

// Stands in for a full disk or a failing device in tests, so the writers' failure paths run
// without a special file system: every file written through FileReplacement takes at most
// `diskSpaceBytes` bytes (-1: no limit) and, with `failFlush`, flushing to the disk fails.
struct WriteFaults {
    int64_t diskSpaceBytes = -1;
    bool failFlush = false;
};
// Tests only; set it while no file is being written.
void setWriteFaultsForTesting(WriteFaults faults);

// The largest text file (pattern, song, "Panning.dat") the program reads: far above a pattern
// of the most steps the grid takes or a song of a hundred thousand entries, and small enough
// that a hostile file costs no more than a few times this much memory.
constexpr int64_t kMaxTextFileBytes = 32 << 20;

// Whole-file reads and writes. A failure to open, a folder in the file's place included,
// raises EFileError "Cannot open file <path>" when reading and "Cannot create file <path>"
// when writing; no library text reaches the caller. Reads open regular files only and without
// blocking (a FIFO, a device or a folder is refused at once), and refuse a file of more than
// `maxBytes` bytes with "Cannot open file <path>: it holds ..." before reading it whole. Every
// open, create, copy and delete here refuses a path holding a NUL.
std::string readFileBytes(const std::string& path, int64_t maxBytes = kMaxTextFileBytes);
// Writes through a FileReplacement: a failed write raises as its commit() does and leaves the
// old file as it was.
void writeFileBytesAtomic(const std::string& path, const std::string& bytes);

// Deletes a file; false when it did not exist or could not be deleted.
bool deleteFile(const std::string& path);

// Copies `from` (a regular file) to `to` through a FileReplacement, so the target is never left
// half written. With failIfExists, an existing target makes it fail. False on failure, the
// writer's refusals (a read-only target, a full disk) included.
bool copyFile(const std::string& from, const std::string& to, bool failIfExists);

// Names of the entries of `folder` whose names end in `suffix` (compared without regard to
// case), in directory order. Hidden entries count too.
std::vector<std::string> listFilesWithSuffix(const std::string& folder, const std::string& suffix);

// ASCII case-insensitive comparisons, as the program compares instrument and file names.
bool equalsIgnoreCase(const std::string& a, const std::string& b);
int compareIgnoreCase(const std::string& a, const std::string& b);
std::string toUpperAscii(std::string s);

} // namespace groovane
