// The working folder's preparation: a new folder made with "temp" and every shipped file, an
// existing one only completed (never a file replaced, whatever its letter case), the folders
// that cannot be made, where the shipped files are found, which folder a start without --folder
// works in, and which song opens at start-up.
#include "app/folder_preparation.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace groovane;
namespace fs = std::filesystem;

class FolderPreparationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root.write("share/Rock_kit.dxg", "kit");
        root.write("share/Panning.dat", "pans");
        root.write("share/Demo.sng", "song");
        fs::create_directory(root.path() / "share" / "not-a-file");
    }

    std::string reason(const fs::path& folder)
    {
        try {
            prepareWorkingFolder(folder, shipped());
        } catch (const WorkingFolderError& error) {
            return error.what();
        }
        return "prepared";
    }

    fs::path shipped() const { return root.path() / "share"; }

    test::TempFolder root;
};

TEST_F(FolderPreparationTest, ANewFolderGetsTempAndEveryShippedFile)
{
    const fs::path folder = root.path() / "home" / "Groovane";
    const FolderPreparation done = prepareWorkingFolder(folder, shipped());
    EXPECT_TRUE(done.isNew);
    EXPECT_EQ(done.copied, (std::vector<std::string>{"Demo.sng", "Panning.dat", "Rock_kit.dxg"}));
    EXPECT_TRUE(fs::is_directory(folder / "temp"));
    EXPECT_EQ(root.read("home/Groovane/Rock_kit.dxg"), "kit");
    EXPECT_EQ(root.read("home/Groovane/Demo.sng"), "song");
    // Only files are shipped.
    EXPECT_FALSE(fs::exists(folder / "not-a-file"));
    // Copies go through a temporary file and leave nothing else behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 4);

    // A second start finds everything in place.
    const FolderPreparation again = prepareWorkingFolder(folder, shipped());
    EXPECT_FALSE(again.isNew);
    EXPECT_TRUE(again.copied.empty());
}

TEST_F(FolderPreparationTest, AnExistingFolderIsCompletedWithoutReplacingAnything)
{
    // The user's own pans, a kit under another letter case and their own "Temp" folder.
    root.write("work/Panning.dat", "my pans");
    root.write("work/ROCK_KIT.DXG", "my kit");
    fs::create_directory(root.path() / "work" / "Temp");
    root.write("work/Temp/Sample1.wav", "scratch");

    const FolderPreparation done = prepareWorkingFolder(root.path() / "work", shipped());
    EXPECT_FALSE(done.isNew);
    EXPECT_EQ(done.copied, std::vector<std::string>{"Demo.sng"});
    EXPECT_EQ(root.read("work/Panning.dat"), "my pans");
    EXPECT_EQ(root.read("work/ROCK_KIT.DXG"), "my kit");
    EXPECT_FALSE(fs::exists(root.path() / "work" / "Rock_kit.dxg"));
    EXPECT_FALSE(fs::exists(root.path() / "work" / "temp"));
    EXPECT_EQ(root.read("work/Temp/Sample1.wav"), "scratch");
    // A folder in a shipped file's place is the user's too.
    fs::create_directory(root.path() / "other");
    fs::create_directory(root.path() / "other" / "demo.SNG");
    EXPECT_EQ(prepareWorkingFolder(root.path() / "other", shipped()).copied,
              (std::vector<std::string>{"Panning.dat", "Rock_kit.dxg"}));
}

TEST_F(FolderPreparationTest, AFolderThatCannotBeMadeIsNamedWithTheReason)
{
    root.write("plain-file", "x");
    EXPECT_EQ(reason(root.path() / "plain-file"),
              "cannot make the folder " + (root.path() / "plain-file").string() + ": a file is in its place");
    const std::string below = reason(root.path() / "plain-file" / "Groovane");
    EXPECT_EQ(below.rfind("cannot make the folder " + (root.path() / "plain-file" / "Groovane").string() + ": ", 0), 0u)
        << below;
    EXPECT_NE(below.find("ot a directory"), std::string::npos) << below;

    // A file where the scratch folder belongs.
    root.write("work/temp", "x");
    EXPECT_EQ(reason(root.path() / "work"),
              "cannot make the folder " + (root.path() / "work" / "temp").string() + ": a file is in its place");

    // Without the shipped files nothing is made.
    EXPECT_THROW(prepareWorkingFolder(root.path() / "new", root.path() / "missing"), WorkingFolderError);
    EXPECT_FALSE(fs::exists(root.path() / "new"));
}

TEST_F(FolderPreparationTest, ShippedFilesLieBesideTheInstalledProgramOrInTheBuildTree)
{
    fs::create_directories(root.path() / "prefix" / "bin");
    fs::create_directories(root.path() / "prefix" / "share" / "groovane");
    EXPECT_EQ(shippedFilesFolder(root.path() / "prefix" / "bin" / "groovane", "../share/groovane", "/build/data"),
              root.path() / "prefix" / "share" / "groovane");
    // Not installed: the build tree's folder.
    EXPECT_EQ(
        shippedFilesFolder(root.path() / "build" / "src" / "app" / "groovane", "../share/groovane", "/build/data"),
        fs::path("/build/data"));
    // A program that could not learn its own place.
    EXPECT_EQ(shippedFilesFolder("", "../share/groovane", "/build/data"), fs::path("/build/data"));
}

TEST_F(FolderPreparationTest, TheStartUpSongIsTheOneNamedOrANewFoldersDemo)
{
    const fs::path folder = root.path() / "Groovane";
    prepareWorkingFolder(folder, shipped());
    // A song named on the command line is found from where the program was started.
    EXPECT_EQ(startupSong("songs/../Live.sng", "/home/drummer", folder), "/home/drummer/Live.sng");
    EXPECT_EQ(startupSong("/srv/Live.sng", "/home/drummer", std::nullopt), "/srv/Live.sng");
    EXPECT_EQ(startupSong(std::nullopt, "/home/drummer", folder), (folder / "Demo.sng").string());
    // A folder that was there already opens nothing, nor does a new one without its demo.
    EXPECT_EQ(startupSong(std::nullopt, "/home/drummer", std::nullopt), std::nullopt);
    fs::remove(folder / "Demo.sng");
    EXPECT_EQ(startupSong(std::nullopt, "/home/drummer", folder), std::nullopt);
}

TEST_F(FolderPreparationTest, PlainStartsWorkInAWorkingFolderOrElseInTheHomeFolder)
{
    const std::string home = (root.path() / "home").string();
    // A folder without the default kit is not a working folder: ~/Groovane is, prepared.
    fs::create_directory(root.path() / "Downloads");
    const FolderChoice elsewhere = chooseWorkingFolder(std::nullopt, root.path() / "Downloads", home.c_str());
    EXPECT_EQ(elsewhere.toPrepare, fs::path(home) / "Groovane");
    EXPECT_NE(elsewhere.note.find((root.path() / "Downloads").string()), std::string::npos) << elsewhere.note;
    EXPECT_NE(elsewhere.note.find(home + "/Groovane"), std::string::npos) << elsewhere.note;

    // The kit in any letter case makes it one, used as it is.
    root.write("band/rock_KIT.dxg", "kit");
    const FolderChoice working = chooseWorkingFolder(std::nullopt, root.path() / "band", home.c_str());
    EXPECT_EQ(working.toPrepare, std::nullopt);
    EXPECT_EQ(working.note, "");
    // A folder of that name is no kit.
    fs::create_directories(root.path() / "odd" / "Rock_kit.dxg");
    EXPECT_EQ(chooseWorkingFolder(std::nullopt, root.path() / "odd", home.c_str()).toPrepare,
              fs::path(home) / "Groovane");

    // --folder wins either way, "." among them, and says nothing.
    const FolderChoice forced = chooseWorkingFolder(".", root.path() / "Downloads", home.c_str());
    EXPECT_EQ(forced.toPrepare, fs::path("."));
    EXPECT_EQ(forced.note, "");
    EXPECT_EQ(chooseWorkingFolder("/srv/drums", root.path() / "band", home.c_str()).toPrepare, fs::path("/srv/drums"));

    // Without a home folder there is nowhere else to go.
    EXPECT_EQ(chooseWorkingFolder(std::nullopt, root.path() / "Downloads", nullptr).toPrepare, std::nullopt);
    EXPECT_EQ(chooseWorkingFolder(std::nullopt, root.path() / "Downloads", "").toPrepare, std::nullopt);
}
