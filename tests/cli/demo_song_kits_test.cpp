// The demo song rendered with each kit of the library in place of the default kit, as
// groovane-render renders it in a new working folder: it sounds, every pattern's first step
// included, and no sample of the file reaches full scale, however the kit's hits pile up.
#include "support/kit_files.h"
#include "cli/render_command.h"
#include "support/working_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

using namespace groovane;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> kitFiles()
{
    return splitKitFiles(GROOVANE_KIT_FILES);
}

class DemoSongWithEachKit : public ::testing::TestWithParam<std::string> {
protected:
    test::WorkingFolder folder;
};

TEST_P(DemoSongWithEachKit, RendersLoudWithoutASampleAtFullScale)
{
    for (const auto& entry : fs::directory_iterator(GROOVANE_SOURCE_DATA))
        if (entry.path().filename() == "Demo.sng" || entry.path().extension() == ".pat")
            fs::copy_file(entry.path(), folder.path() / entry.path().filename());
    fs::copy_file(GetParam(), folder.path() / "Rock_kit.dxg", fs::copy_options::overwrite_existing);

    std::ostringstream out, err;
    ASSERT_EQ(renderCommandMain({"--quiet", "Demo.sng", "Demo.wav"}, out, err, false), 0) << err.str();
    const std::string wav = folder.read("Demo.wav");
    ASSERT_GT(wav.size(), 44u + 4u * 44100u);

    int peak = 0;
    int atFullScale = 0;
    for (size_t at = 44; at + 1 < wav.size(); at += 2) {
        const int v = int16_t(uint16_t(uint8_t(wav[at]) | uint8_t(wav[at + 1]) << 8));
        peak = std::max(peak, std::abs(v));
        if (v >= 32767 || v <= -32767)
            ++atFullScale;
    }
    EXPECT_EQ(atFullScale, 0);
    EXPECT_GE(20 * std::log10(peak / 32768.0), -12) << "the demo song plays faintly";
}

INSTANTIATE_TEST_SUITE_P(Kits, DemoSongWithEachKit, ::testing::ValuesIn(kitFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = fs::path(info.param).stem().string();
                             name = name.substr(0, name.find('_'));
                             name.erase(
                                 std::remove_if(name.begin(), name.end(),
                                                [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }),
                                 name.end());
                             return name;
                         });

} // namespace
