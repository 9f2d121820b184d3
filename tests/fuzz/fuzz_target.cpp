#include "fuzz_target.h"

#include <unistd.h>

#include <filesystem>

namespace groovane::fuzz {

namespace {

// Removes the process's scratch folder when the process ends normally.
class ScratchFolder {
public:
    ScratchFolder()
    {
        const std::filesystem::path shm = "/dev/shm";
        std::error_code error;
        const std::filesystem::path base =
            std::filesystem::is_directory(shm, error) ? shm : std::filesystem::temp_directory_path();
        path_ = base / ("groovane-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder()
    {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

std::string& inputName()
{
    static std::string name;
    return name;
}

} // namespace

void setInputName(const std::string& name)
{
    inputName() = name;
}

void fail(const char* harness, const char* what, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: %s: property violated%s%s: %s\n", file, line, harness,
                 inputName().empty() ? "" : " by ", inputName().c_str(), what);
    std::abort();
}

std::vector<Harness>& harnesses()
{
    static std::vector<Harness> all;
    return all;
}

std::string writeScratchFile(const std::string& name, const std::string& bytes)
{
    static const ScratchFolder folder;
    const std::string path = (folder.path() / name).string();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
    return path;
}

} // namespace groovane::fuzz
