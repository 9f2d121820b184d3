#include "files.h"

#include "exception.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>
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

} // namespace

std::string joinPath(const std::string& folder, const std::string& name)
{
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

std::string readFileBytes(const std::string& path)
{
    const fs::path resolved = resolvePath(path);
    std::error_code ec;
    // A folder opens like a file here and fails only when read, with the library's own text.
    if (fs::is_directory(resolved, ec))
        throw EFileError(formatMessage("Cannot open file %s", path));
    try {
        std::ifstream in(resolved, std::ios::binary);
        if (in) {
            std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (!in.bad())
                return bytes;
        }
    } catch (const std::exception&) {
        // A read error that the stream library raises instead of reporting; the user sees the
        // program's message below.
    }
    throw EFileError(formatMessage("Cannot open file %s", path));
}

void writeFileBytesAtomic(const std::string& path, const std::string& bytes)
{
    const fs::path target = resolvePath(path);
    fs::path temp = target;
    temp += ".tmp-" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            throw EFileError(formatMessage("Cannot create file %s", path));
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            std::error_code ec;
            fs::remove(temp, ec);
            throw EFileError(formatMessage("Cannot create file %s", path));
        }
    }
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        throw EFileError(formatMessage("Cannot create file %s", path));
    }
}

bool deleteFile(const std::string& path)
{
    std::error_code ec;
    const fs::path target = resolvePath(path);
    if (!fs::is_regular_file(target, ec))
        return false;
    return fs::remove(target, ec) && !ec;
}

bool copyFile(const std::string& from, const std::string& to, bool failIfExists)
{
    std::error_code ec;
    const fs::path source = resolvePath(from);
    const fs::path target = resolvePath(to);
    if (!fs::is_regular_file(source, ec))
        return false;
    if (failIfExists && fs::exists(fs::symlink_status(target, ec)))
        return false;
    // The copy is made beside the target and moved into place, so the target is either the old
    // file or the whole new one, never a half-written copy.
    fs::path temp = target;
    temp += ".tmp-" + std::to_string(::getpid());
    if (!fs::copy_file(source, temp, fs::copy_options::overwrite_existing, ec) || ec) {
        fs::remove(temp, ec);
        return false;
    }
    bool placed = false;
    if (failIfExists) {
        // A link is refused when the target exists, even one made since the check above.
        placed = ::link(temp.c_str(), target.c_str()) == 0;
        if (!placed && errno != EEXIST && !fs::exists(fs::symlink_status(target, ec))) {
            // Folders that cannot hold links.
            fs::rename(temp, target, ec);
            placed = !ec;
        }
    } else {
        fs::rename(temp, target, ec);
        placed = !ec;
    }
    fs::remove(temp, ec);
    return placed;
}

std::vector<std::string> listFilesWithSuffix(const std::string& folder, const std::string& suffix)
{
    std::vector<std::string> names;
    std::error_code ec;
    const fs::path dir = folder.empty() ? fs::path(".") : resolvePath(folder);
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() >= suffix.size() &&
            equalsIgnoreCase(name.substr(name.size() - suffix.size()), suffix))
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
