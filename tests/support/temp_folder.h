// A fresh folder under the system's temporary folder, removed with everything in it at the end
// of the test. Optionally the process's working folder for the test's duration.
#pragma once

#include <filesystem>
#include <string>

namespace groovane::test {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

    void write(const std::string& name, const std::string& bytes) const;
    std::string read(const std::string& name) const;

    // Makes this folder the working folder until destruction.
    void enter();

private:
    std::filesystem::path path_;
    std::filesystem::path previousWorkingFolder_;
};

} // namespace groovane::test
