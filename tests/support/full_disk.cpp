#include "support/full_disk.h"

#include "platform/exception.h"
#include "platform/files.h"

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>

namespace groovane::test {

namespace {

rlimit savedFileSizeLimit{};

} // namespace

std::string fullDiskKindName(FullDiskKind kind)
{
    switch (kind) {
    case FullDiskKind::WriterSeam:
        return "WriterSeam";
    case FullDiskKind::FileSizeLimit:
        return "FileSizeLimit";
    case FullDiskKind::SmallFileSystem:
        return "SmallFileSystem";
    }
    return "Unknown";
}

std::string errorOf(const std::function<void()>& save)
{
    try {
        save();
    } catch (const Exception& e) {
        return e.what();
    }
    return {};
}

FullDisk::FullDisk(FullDiskKind kind, const std::filesystem::path& folder, std::int64_t bytes)
    : kind_(kind),
      folder_(folder),
      bytes_(bytes)
{
    std::filesystem::create_directories(folder_);
    if (kind_ == FullDiskKind::SmallFileSystem) {
        const std::string options = "size=" + std::to_string(bytes_);
        mounted_ = ::mount("tmpfs", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
        available_ = mounted_;
    }
}

FullDisk::~FullDisk()
{
    clear();
    if (mounted_)
        ::umount2(folder_.c_str(), MNT_DETACH);
}

void FullDisk::fill()
{
    if (filled_)
        return;
    filled_ = true;
    if (kind_ == FullDiskKind::WriterSeam) {
        setWriteFaultsForTesting({bytes_, false});
    } else if (kind_ == FullDiskKind::FileSizeLimit) {
        // Without this the system ends the process at the first refused byte.
        ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &savedFileSizeLimit);
        rlimit small = savedFileSizeLimit;
        small.rlim_cur = static_cast<rlim_t>(bytes_);
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
}

void FullDisk::clear()
{
    if (!filled_)
        return;
    filled_ = false;
    if (kind_ == FullDiskKind::WriterSeam)
        setWriteFaultsForTesting({});
    else if (kind_ == FullDiskKind::FileSizeLimit)
        ::setrlimit(RLIMIT_FSIZE, &savedFileSizeLimit);
}

} // namespace groovane::test
