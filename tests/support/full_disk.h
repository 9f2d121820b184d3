// Disks that fill up, for the failure paths of the program's writers. Three stand-ins: the
// writer's own seam (every file it writes takes at most N bytes), the process's file size limit
// (the system refuses every byte of any file beyond N) and a small memory file system mounted
// over a folder (a real full disk; mounting needs the right to, so tests skip that one where the
// machine refuses it).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace groovane::test {

enum class FullDiskKind { WriterSeam, FileSizeLimit, SmallFileSystem };

std::string fullDiskKindName(FullDiskKind kind);

class FullDisk {
public:
    // Prepares `folder` (created when missing) as a disk of about `bytes` bytes. The small file
    // system is mounted at once, so files the test puts there before fill() lie on it.
    FullDisk(FullDiskKind kind, const std::filesystem::path& folder, std::int64_t bytes);
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    // False when this machine cannot provide the stand-in (a mount refused).
    bool available() const { return available_; }

    // From fill() to clear() no file may grow past the size (the small file system is full for
    // good). Keep the window short under the file size limit: it holds for every file the
    // process writes, the test's own output among them.
    void fill();
    void clear();

private:
    FullDiskKind kind_;
    std::filesystem::path folder_;
    std::int64_t bytes_;
    bool available_ = true;
    bool mounted_ = false;
    bool filled_ = false;
};

// The message of the program error that `save` raises; empty when it raises none.
std::string errorOf(const std::function<void()>& save);

} // namespace groovane::test
