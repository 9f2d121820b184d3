// Songs and patterns from someone else, made as an attacker would make them: names that lead out
// of the working folder or are cut short by a NUL, FIFOs and devices in the place of a pattern or
// a song, and names of megabytes. Each gives a message and leaves every file as it was.
#include "support/folder_tree.h"
#include "platform/handler_guard.h"
#include "platform/line_buffer.h"
#include "pattern/pattern_file.h"
#include "support/scripted_dialogs.h"
#include "app/sequence_window.h"
#include "support/sequence_window_access.h"
#include "support/working_folder.h"

#include <QListWidgetItem>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using namespace groovane;

class HostileFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<TSequence>();
        ui = &controlsOf(*window);
        window->FormCreate();
        const std::filesystem::path parent = folder.path().parent_path();
        victim = folder.path().filename().string() + "-victim";
        std::ofstream(parent / (victim + ".pat")) << "someone's file";
        std::ofstream(parent / (victim + ".txt")) << "someone's file";
    }
    void TearDown() override
    {
        window.reset();
        const std::filesystem::path parent = folder.path().parent_path();
        std::filesystem::remove(parent / (victim + ".pat"));
        std::filesystem::remove(parent / (victim + ".txt"));
    }

    void setPlayList(const std::vector<std::string>& names)
    {
        ui->SongList->clear();
        for (const std::string& name : names)
            ui->SongList->addEntry(name);
    }
    bool victimsUntouched() const
    {
        const std::filesystem::path parent = folder.path().parent_path();
        return std::filesystem::exists(parent / (victim + ".pat")) &&
               std::filesystem::exists(parent / (victim + ".txt"));
    }

    test::WorkingFolder folder;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<TSequence> window;
    TSequenceControls* ui = nullptr; // the window's controls
    std::string victim;
};

TEST_F(HostileFilesTest, NamesLeadingOutOfTheFolderOrCutByANulNeverReachTheLibraryOrTheBin)
{
    const std::string traversal = "temp/../../" + victim;
    const std::string cut = "temp/../../" + victim + ".txt" + std::string(1, '\0');
    const auto before = folderTree(folder.path());
    const int librarySize = ui->MusicLib->count();
    for (const std::string& name : {traversal, cut}) {
        dialogs.errors.clear();
        setPlayList({name});
        ui->SongList->setCurrentRow(0);
        runGuarded([&] { window->BitBtn2Click(); });
        ASSERT_EQ(dialogs.errors.size(), 1u);
        EXPECT_TRUE(dialogs.errors[0].find("is not a valid pattern name: it holds \"/\"") != std::string::npos)
            << dialogs.errors[0];
        EXPECT_EQ(ui->MusicLib->count(), librarySize) << "the name never reaches the library";
        EXPECT_EQ(ui->SongList->count(), 1);

        // Had it reached the library by another way, the bin would still refuse it.
        const int index = window->Library.add(name);
        ui->MusicLib->insertItem(index, QString("x"));
        ui->MusicLib->setCurrentRow(index);
        dialogs.answers.push_back(MessageResult::Ok);
        runGuarded([&] { window->LibBinClick(); });
        EXPECT_EQ(dialogs.errors.size(), 2u);
        EXPECT_EQ(dialogs.answers.size(), 1u) << "refused before the question";
        dialogs.answers.clear();
        window->Library.removeAt(index);
        delete ui->MusicLib->takeItem(index);
    }
    EXPECT_TRUE(victimsUntouched());
    EXPECT_EQ(folderTree(folder.path()), before);

    // Play Song opens none of a song's patterns when one of its names leads out of the folder.
    dialogs.errors.clear();
    setPlayList({"Missing", traversal});
    runGuarded([&] { window->BitBtn12Click(); });
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_TRUE(dialogs.errors[0].starts_with("'" + traversal + "' is not a valid pattern name: "))
        << dialogs.errors[0];
    EXPECT_TRUE(victimsUntouched());
}

TEST_F(HostileFilesTest, SavingAPatternNamedWithANulWritesNothing)
{
    const std::string kit = folder.read("Rock_kit.dxg");
    const auto before = folderTree(folder.path());
    window->Grid.setCell(0, 0, "Rock_kit.dxg" + std::string(1, '\0'));
    runGuarded([&] { window->BitBtn6Click(); });
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "'Rock_kit.dxg?' is not a valid pattern name: it holds the control character 0x00, "
                                 "which no file name in the working folder may hold.");
    EXPECT_EQ(folder.read("Rock_kit.dxg"), kit);
    EXPECT_EQ(folderTree(folder.path()), before);
    EXPECT_EQ(ui->SongList->count(), 0);
}

TEST_F(HostileFilesTest, FifosAndDevicesInAPatternsOrASongsPlaceAreRefusedAtOnce)
{
    // A reader that blocked here would hang the test until its time-out.
    ASSERT_EQ(::mkfifo(folder.file("Fifo.pat").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(folder.file("Fifo.sng").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", folder.path() / "Zero.pat");
    std::filesystem::create_symlink("/dev/zero", folder.path() / "Zero.sng");
    const std::string base = window->BaseFolder + "/";

    runGuarded([&] { window->LoadPattern("Fifo"); });
    runGuarded([&] { window->LoadPattern("Zero"); });
    runGuarded([&] { window->openSongFile(folder.file("Fifo.sng")); });
    runGuarded([&] { window->openSongFile(folder.file("Zero.sng")); });
    setPlayList({"Zero"});
    runGuarded([&] { window->BitBtn12Click(); });
    EXPECT_EQ(dialogs.errors, (std::vector<std::string>{"Cannot open file " + base + "Fifo.pat.",
                                                        "Cannot open file " + base + "Zero.pat.",
                                                        "Cannot open file " + folder.file("Fifo.sng") + ".",
                                                        "Cannot open file " + folder.file("Zero.sng") + ".",
                                                        "Cannot open file " + base + "Zero.pat."}));
}

TEST_F(HostileFilesTest, ANameOfMegabytesIsShortenedInItsMessage)
{
    const std::string name = std::string(2 << 20, 'n') + "-end";
    setPlayList({name});
    ui->SongList->setCurrentRow(0);
    runGuarded([&] { window->LoadPattern(name); });
    ASSERT_EQ(dialogs.errors.size(), 1u);
    const std::string& message = dialogs.errors[0];
    EXPECT_LT(message.size(), 400u);
    EXPECT_TRUE(message.starts_with("Cannot open file " + window->BaseFolder + "/nnnn")) << message;
    EXPECT_TRUE(message.ends_with("nnnn-end.pat.")) << message;
    EXPECT_NE(message.find("\xE2\x80\xA6"), std::string::npos) << message;
}
