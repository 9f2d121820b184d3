#include "support/temp_folder.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace groovane::test {

TempFolder::TempFolder()
{
    std::string templ = (std::filesystem::temp_directory_path() / "groovane-test-XXXXXX").string();
    if (!::mkdtemp(templ.data()))
        throw std::runtime_error("cannot create a temporary folder");
    path_ = templ;
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    if (!previousWorkingFolder_.empty())
        std::filesystem::current_path(previousWorkingFolder_, ec);
    std::filesystem::remove_all(path_, ec);
}

void TempFolder::write(const std::string& name, const std::string& bytes) const
{
    std::filesystem::create_directories((path_ / name).parent_path());
    std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempFolder::read(const std::string& name) const
{
    std::ifstream in(path_ / name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void TempFolder::enter()
{
    previousWorkingFolder_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
}

} // namespace groovane::test
