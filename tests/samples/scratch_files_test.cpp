// The start-up reset of the eight scratch files: every letter-case variant of a slot's file
// goes, and the blank copy comes in the one spelling the program uses.
#include "samples/scratch_files.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

using namespace groovane;

namespace {

std::vector<std::string> entries(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(SampleScratchFiles, EveryCaseVariantGoesAndEachSlotGetsTheBlankSound)
{
    test::TempFolder base;
    base.write("BLANK.WAV", "blank");
    base.write("temp/sample1.wav", "old one");
    base.write("temp/SAMPLE1.WAV", "older one");
    base.write("temp/Sample1.wav", "oldest");
    base.write("temp/sAmple8.Wav", "eight");
    base.write("temp/sample10.wav", "not a slot");
    base.write("temp/3.wav", "a kit sound of the render");

    resetSampleScratchFiles(base.path().string());

    EXPECT_EQ(entries(base.path() / "temp"),
              (std::vector<std::string>{"3.wav", "Sample1.wav", "Sample2.wav", "Sample3.wav", "Sample4.wav",
                                        "Sample5.wav", "Sample6.wav", "Sample7.wav", "Sample8.wav", "sample10.wav"}));
    for (int slot = 1; slot <= kSampleSlots; ++slot)
        EXPECT_EQ(base.read("temp/Sample" + std::to_string(slot) + ".wav"), "blank");
    EXPECT_EQ(sampleScratchFile(base.path().string(), 4), (base.path() / "temp/Sample4.wav").string());
}

TEST(SampleScratchFiles, MissingPiecesAreNoErrors)
{
    // No temp folder: nothing is made.
    test::TempFolder bare;
    bare.write("Blank.wav", "blank");
    resetSampleScratchFiles(bare.path().string());
    EXPECT_EQ(entries(bare.path()), std::vector<std::string>{"Blank.wav"});

    // No blank sound: the old files go all the same, and a folder in a file's place stays.
    test::TempFolder base;
    base.write("temp/sample2.wav", "old");
    std::filesystem::create_directories(base.path() / "temp/Sample3.wav");
    resetSampleScratchFiles(base.path().string());
    EXPECT_EQ(entries(base.path() / "temp"), std::vector<std::string>{"Sample3.wav"});
}

} // namespace
