// Every reader harness over every file of its seed corpus: the seeds, and every input a fuzzing
// run once found, stay checks of the normal test suite. A property that fails aborts with the
// harness's message.
#include "fuzz_target.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string readAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SeedCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(SeedCorpus, EveryFileKeepsTheReadersProperties)
{
    const std::string name = GetParam();
    groovane::fuzz::Check check = nullptr;
    for (const groovane::fuzz::Harness& harness : groovane::fuzz::harnesses())
        if (harness.name == name)
            check = harness.check;
    ASSERT_NE(check, nullptr) << "no harness " << name << " is linked in";

    const std::filesystem::path folder = std::filesystem::path(GROOVANE_FUZZ_CORPUS) / name;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        groovane::fuzz::setInputName(entry.path().string());
        check(readAll(entry.path()));
        ++files;
    }
    groovane::fuzz::setInputName({});
    EXPECT_GT(files, 0) << "the corpus " << folder << " is empty";
}

// Read when the tests are registered, after every harness has registered itself.
std::vector<std::string> harnessNames()
{
    std::vector<std::string> names;
    for (const groovane::fuzz::Harness& harness : groovane::fuzz::harnesses())
        names.push_back(harness.name);
    return names;
}

TEST(SeedCorpora, EveryCorpusHasItsHarness)
{
    const std::vector<std::string> names = harnessNames();
    for (const auto& entry : std::filesystem::directory_iterator(GROOVANE_FUZZ_CORPUS))
        EXPECT_NE(std::find(names.begin(), names.end(), entry.path().filename().string()), names.end()) << entry.path();
}

INSTANTIATE_TEST_SUITE_P(Readers, SeedCorpus, ::testing::ValuesIn(harnessNames()),
                         [](const auto& info) { return info.param; });

} // namespace
