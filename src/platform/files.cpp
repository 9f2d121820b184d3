#include "platform/files.h"

#include "platform/exception.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace groovane {

namespace {

char upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The entry of `folder` named `name`, exactly if present, else the first without regard to case.
std::optional<fs::path> findEntry(const fs::path& folder, const std::string& name)
{
    std::error_code ec;
    const fs::path dir = folder.empty() ? fs::path(".") : folder;
    if (fs::exists(dir / name, ec))
        return folder / name;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (equalsIgnoreCase(entry, name))
            return folder / entry;
    }
    return std::nullopt;
}

// An open descriptor, closed when it goes out of scope.
struct Descriptor {
    explicit Descriptor(int f) : fd(f) {}
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int fd;
};

constexpr size_t kCopyPieceBytes = 1 << 16;

bool holdsNul(const std::string& text)
{
    return text.find('\0') != std::string::npos;
}

// Opens an existing regular file to read without blocking: a FIFO or a device named like one
// of the program's files must be refused at once, not wait in open() for a writer or feed the
// reader for ever. -1 for anything else, a path holding a NUL (which the system would cut)
// included.
int openRegularForReading(const fs::path& path)
{
    if (holdsNul(path.native()))
        return -1;
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    struct stat info {};
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
                    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)) {
        ::close(fd);
        fd = -1;
    }
    return fd;
}

// The test stand-in for a full disk or a failing device (setWriteFaultsForTesting).
std::atomic<int64_t> faultDiskSpaceBytes{-1};
std::atomic<bool> faultFailFlush{false};

// Whether the permission bits of an existing file let this user write it. Others are judged
// by the system's own check (groups, access lists); the superuser, whom that check lets write
// anything, by the bits alone: a file that no one may write was marked read-only on purpose.
bool userMayWrite(const fs::path& file, const struct stat& info)
{
    if (::geteuid() == 0)
        return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    return ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) == 0;
}

// Writes at `offset` until every byte is written or the disk refuses; the number written.
// `full` tells whether the disk refused for want of room.
size_t writeFully(int fd, int64_t offset, const char* data, size_t count, bool& full)
{
    const int64_t space = faultDiskSpaceBytes.load();
    const size_t asked = count;
    if (space >= 0)
        count = static_cast<size_t>(std::clamp<int64_t>(space - offset, 0, static_cast<int64_t>(count)));
    full = count < asked;
    size_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::pwrite(fd, data + done, count - done, static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            full = n < 0 && (errno == ENOSPC || errno == EDQUOT);
            break;
        }
        done += static_cast<size_t>(n);
    }
    return done;
}

// Flushes what was written through `fd` to the disk; false when the device fails. A file system
// that cannot flush (EINVAL and the like) leaves it to the system: that is no failure of a save,
// or nothing could be saved there at all.
bool flushed(int fd)
{
    if (faultFailFlush.load())
        return false;
    return ::fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP || errno == ENOSYS;
}

// Flushes a folder's entries (a rename in it) to the disk. A folder this user may not open for
// reading is left to the system too.
bool flushFolder(const fs::path& folder)
{
    const Descriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.fd < 0 || flushed(dir.fd);
}

} // namespace

void setWriteFaultsForTesting(WriteFaults faults)
{
    faultDiskSpaceBytes = faults.diskSpaceBytes;
    faultFailFlush = faults.failFlush;
}

FileReplacement::FileReplacement(const std::string& path) : path_(path), target_(resolvePath(path))
{
    if (holdsNul(path))
        failCreate();
    std::error_code ec;
    if (fs::is_symlink(target_, ec)) {
        const fs::path real = fs::canonical(target_, ec);
        if (!ec)
            target_ = real;
    }
    struct stat info {};
    if (::stat(target_.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode) || !userMayWrite(target_, info))
            failCreate();
        replacing_ = true;
        ownerId_ = info.st_uid;
        groupId_ = info.st_gid;
        modeBits_ = info.st_mode & 07777;
    }
    // A short name of its own, whatever the target's length; O_EXCL keeps two writers (or a
    // stale file from a crash) apart. Created 0666 so the user's umask applies as to any file.
    static std::atomic<unsigned> serial{0};
    const fs::path folder = target_.parent_path();
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        char name[40];
        std::snprintf(name, sizeof name, ".gv%x-%x.tmp", static_cast<unsigned>(::getpid()), serial.fetch_add(1));
        temp_ = folder / name;
        do {
            fd_ = ::open(temp_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        } while (fd_ < 0 && errno == EINTR);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        temp_.clear();
        failCreate();
    }
}

FileReplacement::~FileReplacement()
{
    discard();
}

size_t FileReplacement::writeAt(int64_t offset, const void* data, size_t count)
{
    if (fd_ < 0 || offset < 0) {
        spoiled_ = true;
        return 0;
    }
    bool full = false;
    const size_t n = writeFully(fd_, offset, static_cast<const char*>(data), count, full);
    if (n != count)
        spoiled_ = true;
    diskFull_ = diskFull_ || full;
    size_ = std::max(size_, offset + static_cast<int64_t>(n));
    return n;
}

void FileReplacement::commit()
{
    flushToDisk();
    std::error_code ec;
    fs::rename(temp_, target_, ec);
    if (ec)
        failCreate();
    placed();
}

bool FileReplacement::commitIfAbsent()
{
    flushToDisk();
    // A link is refused when the target exists, even one made since the writer was opened.
    bool linked = ::link(temp_.c_str(), target_.c_str()) == 0;
    if (!linked && errno == EEXIST) {
        discard();
        return false;
    }
    std::error_code ec;
    if (!linked && !fs::exists(fs::symlink_status(target_, ec))) {
        // Folders that cannot hold links.
        fs::rename(temp_, target_, ec);
        linked = !ec;
    }
    if (!linked)
        failCreate();
    ::unlink(temp_.c_str());
    placed();
    return true;
}

void FileReplacement::flushToDisk()
{
    if (fd_ < 0 || spoiled_)
        failWrite();
    if (replacing_) {
        // The owner first: changing it may clear the set-id bits that the mode then restores.
        // Only the superuser may give a file away; anyone else keeps the file as their own.
        if (::fchown(fd_, ownerId_, groupId_) != 0)
            (void)::fchown(fd_, static_cast<uid_t>(-1), groupId_);
        if (::fchmod(fd_, modeBits_) != 0)
            failCreate();
    }
    if (!flushed(fd_))
        failWrite();
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        failWrite();
}

void FileReplacement::placed()
{
    temp_.clear();
    // The rename itself must reach the disk, or a power cut could bring back the old entry (or
    // none). The new file is in place by now either way.
    if (!flushFolder(target_.parent_path()))
        failWrite();
}

void FileReplacement::discard() noexcept
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temp_.empty())
        ::unlink(temp_.c_str());
    temp_.clear();
}

void FileReplacement::failCreate()
{
    discard();
    throw EFileError(formatMessage("Cannot create file %s", path_));
}

void FileReplacement::failWrite()
{
    discard();
    throw EStreamError("Stream write error");
}

std::string joinPath(const std::string& folder, const std::string& name)
{
    // The system reads a path only up to a NUL: "Rock_kit.dxg" NUL ".pat" would name the kit.
    if (holdsNul(folder) || holdsNul(name))
        throw EFileError("'" + shownText(name) + "' is not a valid file name: it holds a NUL character");
    if (folder.empty())
        return name;
    if (folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

fs::path resolvePath(const fs::path& path)
{
    fs::path resolved = path.root_path();
    bool missing = false;
    for (const fs::path& part : path.relative_path()) {
        const std::string name = part.string();
        if (missing || name == "." || name == ".." || name.empty()) {
            resolved /= part;
            continue;
        }
        if (auto found = findEntry(resolved, name)) {
            resolved = *found;
        } else {
            resolved /= part;
            missing = true;
        }
    }
    return resolved;
}

bool fileExists(const std::string& path)
{
    std::error_code ec;
    return fs::is_regular_file(resolvePath(path), ec);
}

std::string readFileBytes(const std::string& path, int64_t maxBytes)
{
    const Descriptor in(openRegularForReading(resolvePath(path)));
    if (in.fd < 0)
        throw EFileError(formatMessage("Cannot open file %s", path));
    struct stat info {};
    if (::fstat(in.fd, &info) != 0)
        throw EFileError(formatMessage("Cannot open file %s", path));
    if (info.st_size > maxBytes)
        throw EFileError(formatMessage("Cannot open file %s", path) + ": it holds " + std::to_string(info.st_size) +
                         " bytes, more than the " + std::to_string(maxBytes) + " that any file of this kind may hold");
    // The size taken before reading is only a hint: a file that grows meanwhile is read up to
    // the limit and refused past it, never without end.
    std::string bytes;
    bytes.resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    for (;;) {
        if (done == bytes.size()) {
            if (static_cast<int64_t>(done) >= maxBytes) {
                char probe;
                const ssize_t more = ::read(in.fd, &probe, 1);
                if (more == 0)
                    break;
                throw EFileError(formatMessage("Cannot open file %s", path) + ": it holds more than the " +
                                 std::to_string(maxBytes) + " bytes that any file of this kind may hold");
            }
            bytes.resize(
                static_cast<size_t>(std::min<int64_t>(maxBytes, static_cast<int64_t>(done) + kCopyPieceBytes)));
        }
        const ssize_t n = ::read(in.fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw EFileError(formatMessage("Cannot open file %s", path));
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

void writeFileBytesAtomic(const std::string& path, const std::string& bytes)
{
    FileReplacement file(path);
    file.writeAt(0, bytes.data(), bytes.size());
    file.commit();
}

bool deleteFile(const std::string& path)
{
    if (holdsNul(path))
        return false;
    std::error_code ec;
    const fs::path target = resolvePath(path);
    if (!fs::is_regular_file(target, ec))
        return false;
    return fs::remove(target, ec) && !ec;
}

bool copyFile(const std::string& from, const std::string& to, bool failIfExists)
{
    std::error_code ec;
    if (holdsNul(to))
        return false;
    const fs::path source = resolvePath(from);
    if (failIfExists && fs::exists(fs::symlink_status(resolvePath(to), ec)))
        return false;
    const Descriptor in(openRegularForReading(source));
    if (in.fd < 0)
        return false;
    try {
        FileReplacement out(to);
        std::vector<char> piece(kCopyPieceBytes);
        for (int64_t done = 0;;) {
            const ssize_t n = ::read(in.fd, piece.data(), piece.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return false;
            if (n == 0)
                break;
            if (out.writeAt(done, piece.data(), static_cast<size_t>(n)) != static_cast<size_t>(n))
                return false;
            done += n;
        }
        if (failIfExists)
            return out.commitIfAbsent();
        out.commit();
        return true;
    } catch (const Exception&) {
        return false;
    }
}

std::vector<std::string> listFilesWithSuffix(const std::string& folder, const std::string& suffix)
{
    std::vector<std::string> names;
    std::error_code ec;
    const fs::path dir = folder.empty() ? fs::path(".") : resolvePath(folder);
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() >= suffix.size() && equalsIgnoreCase(name.substr(name.size() - suffix.size()), suffix))
            names.push_back(name);
    }
    return names;
}

bool equalsIgnoreCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i]))
            return false;
    return true;
}

int compareIgnoreCase(const std::string& a, const std::string& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(upper(a[i]));
        const auto cb = static_cast<unsigned char>(upper(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::string toUpperAscii(std::string s)
{
    for (char& c : s)
        c = upper(c);
    return s;
}

} // namespace groovane
