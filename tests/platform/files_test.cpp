#include "platform/exception.h"
#include "platform/files.h"
#include "support/full_disk.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <iterator>
#include <sys/stat.h>

using namespace groovane;
using groovane::test::errorOf;
using groovane::test::FullDisk;
using groovane::test::FullDiskKind;
using groovane::test::TempFolder;

namespace {

std::vector<std::string> entriesOf(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

fs::perms permsOf(const fs::path& file)
{
    return fs::symlink_status(file).permissions();
}

} // namespace

class FilesTest : public ::testing::Test {
protected:
    TempFolder dir;
};

TEST_F(FilesTest, NamesMatchWithoutRegardToCaseInEveryComponent)
{
    dir.write("Temp/Sample1.wav", "one");
    EXPECT_TRUE(fileExists(dir.file("temp/sample1.wav")));
    EXPECT_TRUE(fileExists(dir.file("TEMP/SAMPLE1.WAV")));
    EXPECT_EQ(readFileBytes(dir.file("temp/SAMPLE1.wav")), "one");
    EXPECT_FALSE(fileExists(dir.file("temp/sample2.wav")));

    // A new file lands in the existing folder whatever case the path names it with.
    writeFileBytesAtomic(dir.file("temp/Sample2.wav"), "two");
    EXPECT_EQ(dir.read("Temp/Sample2.wav"), "two");

    // Replacing keeps the existing entry's spelling, so there are never two files.
    writeFileBytesAtomic(dir.file("TEMP/sample1.WAV"), "new");
    EXPECT_EQ(dir.read("Temp/Sample1.wav"), "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "Temp"), fs::directory_iterator()), 2);
}

TEST_F(FilesTest, ExactSpellingWinsWhenTwoEntriesDifferOnlyInCase)
{
    dir.write("blank.wav", "lower");
    dir.write("Blank.wav", "upper");
    EXPECT_EQ(readFileBytes(dir.file("Blank.wav")), "upper");
    EXPECT_EQ(readFileBytes(dir.file("blank.wav")), "lower");
}

TEST_F(FilesTest, CopyDeleteAndListFollowTheSameRule)
{
    dir.write("Blank.wav", "silence");
    dir.write("temp/x", "");
    EXPECT_TRUE(copyFile(dir.file("blank.wav"), dir.file("temp/sample1.wav"), true));
    EXPECT_FALSE(copyFile(dir.file("blank.wav"), dir.file("temp/Sample1.wav"), true)) << "target exists";
    EXPECT_TRUE(copyFile(dir.file("BLANK.wav"), dir.file("temp/Sample1.wav"), false));
    EXPECT_FALSE(copyFile(dir.file("missing.wav"), dir.file("temp/other.wav"), false));
    EXPECT_FALSE(copyFile(dir.file("temp"), dir.file("temp/other.wav"), false)) << "a folder is no file to copy";
    // Copies go through a temporary file and a rename: the replaced file holds the new bytes and
    // nothing is left beside it.
    dir.write("Loud.wav", "loud");
    EXPECT_TRUE(copyFile(dir.file("loud.wav"), dir.file("temp/SAMPLE1.WAV"), false));
    EXPECT_EQ(dir.read("temp/sample1.wav"), "loud");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "temp"), fs::directory_iterator()), 2);
    EXPECT_TRUE(deleteFile(dir.file("TEMP/SAMPLE1.wav")));
    EXPECT_FALSE(deleteFile(dir.file("temp/sample1.wav"))) << "already gone";

    dir.write("Rock1.pat", "");
    dir.write("b.PAT", "");
    dir.write(".pat", "");
    dir.write("notes.txt", "");
    auto names = listFilesWithSuffix(dir.path().string(), ".pat");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".pat", "Rock1.pat", "b.PAT"}));
}

TEST_F(FilesTest, FailedOpensRaiseWithThePath)
{
    EXPECT_EQ(errorOf([&] { readFileBytes(dir.file("missing.pat")); }), "Cannot open file " + dir.file("missing.pat"));
    // A folder in the target's place cannot be replaced, nor a file made in a missing folder.
    dir.write("Song.pat/inside", "x");
    EXPECT_EQ(errorOf([&] { writeFileBytesAtomic(dir.file("Song.pat"), "new"); }),
              "Cannot create file " + dir.file("Song.pat"));
    EXPECT_EQ(dir.read("Song.pat/inside"), "x");
    EXPECT_EQ(errorOf([&] { writeFileBytesAtomic(dir.file("missing/Song.pat"), "new"); }),
              "Cannot create file " + dir.file("missing/Song.pat"));
    EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"Song.pat"});
}

// Every stand-in for a full disk: the save raises the write error, and the folder holds the old
// file as it was and nothing else; the disk, once it has room again, takes the next save.
class FullDiskTest : public ::testing::TestWithParam<FullDiskKind> {
protected:
    TempFolder dir;
};

TEST_P(FullDiskTest, ASaveThatRunsOutOfRoomRaisesAndKeepsTheOldFile)
{
    FullDisk disk(GetParam(), dir.path() / "disk", 16 * 1024);
    if (!disk.available())
        GTEST_SKIP() << "this machine refuses the mount";
    const fs::path folder = dir.path() / "disk";
    dir.write("disk/Rock1.pat", "old pattern");
    const std::string big(256 * 1024, 'x');
    dir.write("Big.wav", big);

    disk.fill();
    const std::string written = errorOf([&] { writeFileBytesAtomic((folder / "rock1.pat").string(), big); });
    const bool copied = copyFile(dir.file("big.wav"), (folder / "ROCK1.PAT").string(), false);
    const bool copiedNew = copyFile(dir.file("big.wav"), (folder / "Rock2.pat").string(), true);
    disk.clear();

    EXPECT_EQ(written, "Stream write error");
    EXPECT_FALSE(copied);
    EXPECT_FALSE(copiedNew);
    EXPECT_EQ(dir.read("disk/Rock1.pat"), "old pattern");
    EXPECT_EQ(entriesOf(folder), std::vector<std::string>{"Rock1.pat"}) << "no temporary file stays";

    writeFileBytesAtomic((folder / "Rock1.pat").string(), "new pattern");
    EXPECT_EQ(dir.read("disk/Rock1.pat"), "new pattern");
}

INSTANTIATE_TEST_SUITE_P(Disks, FullDiskTest,
                         ::testing::Values(FullDiskKind::WriterSeam, FullDiskKind::FileSizeLimit,
                                           FullDiskKind::SmallFileSystem),
                         [](const auto& info) { return groovane::test::fullDiskKindName(info.param); });

TEST_F(FilesTest, BytesThatCannotBeFlushedToTheDiskAreNoSave)
{
    dir.write("Rock1.pat", "old pattern");
    setWriteFaultsForTesting({-1, true});
    const std::string error = errorOf([&] { writeFileBytesAtomic(dir.file("Rock1.pat"), "new pattern"); });
    const bool copied = copyFile(dir.file("Rock1.pat"), dir.file("Rock2.pat"), false);
    setWriteFaultsForTesting({});
    EXPECT_EQ(error, "Stream write error");
    EXPECT_FALSE(copied);
    EXPECT_EQ(dir.read("Rock1.pat"), "old pattern");
    EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"Rock1.pat"});
}

TEST_F(FilesTest, NamesAsLongAsTheFileSystemTakesSaveAndCopy)
{
    dir.write("Blank.wav", "silence");
    for (size_t length = 240; length <= 255; ++length) {
        const std::string name = std::string(length - 4, 'n') + ".pat";
        SCOPED_TRACE(length);
        EXPECT_TRUE(copyFile(dir.file("Blank.wav"), dir.file(name), true)) << "a new file";
        EXPECT_NO_THROW(writeFileBytesAtomic(dir.file(name), "replaced"));
        EXPECT_EQ(dir.read(name), "replaced");
        EXPECT_TRUE(copyFile(dir.file("Blank.wav"), dir.file(name), false));
        EXPECT_EQ(dir.read(name), "silence");
    }
    EXPECT_EQ(entriesOf(dir.path()).size(), 17u);
}

TEST_F(FilesTest, AFileMarkedReadOnlyIsRefusedAsADirectWriteWouldBe)
{
    // Checked by the writer itself: the superuser, whom the system lets write anything, is
    // held to the mark too.
    dir.write("Locked.pat", "kept");
    dir.write("Blank.wav", "silence");
    fs::permissions(dir.path() / "Locked.pat", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(errorOf([&] { writeFileBytesAtomic(dir.file("LOCKED.pat"), "new"); }),
              "Cannot create file " + dir.file("LOCKED.pat"));
    EXPECT_FALSE(copyFile(dir.file("Blank.wav"), dir.file("locked.pat"), false));
    EXPECT_EQ(dir.read("Locked.pat"), "kept");
    EXPECT_EQ(permsOf(dir.path() / "Locked.pat"),
              fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(entriesOf(dir.path()), (std::vector<std::string>{"Blank.wav", "Locked.pat"}));
}

TEST_F(FilesTest, AReplacedFileKeepsItsPermissionsAndItsLinks)
{
    const auto shared = fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read;
    dir.write("Shared.pat", "old");
    fs::permissions(dir.path() / "Shared.pat", shared);
    writeFileBytesAtomic(dir.file("Shared.pat"), "new");
    EXPECT_EQ(dir.read("Shared.pat"), "new");
    EXPECT_EQ(permsOf(dir.path() / "Shared.pat"), shared);
    dir.write("Blank.wav", "silence");
    EXPECT_TRUE(copyFile(dir.file("Blank.wav"), dir.file("Shared.pat"), false));
    EXPECT_EQ(permsOf(dir.path() / "Shared.pat"), shared);

    // A new file gets what the user's umask leaves of read and write for all, as any new file.
    const mode_t oldMask = ::umask(027);
    writeFileBytesAtomic(dir.file("New.pat"), "new");
    ::umask(oldMask);
    EXPECT_EQ(permsOf(dir.path() / "New.pat"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // Saving through a link replaces the file it points to and keeps the link.
    fs::create_symlink("Shared.pat", dir.path() / "Link.pat");
    writeFileBytesAtomic(dir.file("Link.pat"), "through the link");
    EXPECT_TRUE(fs::is_symlink(dir.path() / "Link.pat"));
    EXPECT_EQ(dir.read("Shared.pat"), "through the link");
}

TEST(CaseRules, CompareAsciiLettersWithoutCase)
{
    EXPECT_TRUE(equalsIgnoreCase("KICK", "kick"));
    EXPECT_FALSE(equalsIgnoreCase("Kick", "Kick "));
    EXPECT_LT(compareIgnoreCase("<Blank>", "a"), 0);
    EXPECT_LT(compareIgnoreCase("rock1", "ROCK2"), 0);
    EXPECT_EQ(compareIgnoreCase("Rock1", "rock1"), 0);
    EXPECT_GT(compareIgnoreCase("rock10", "Rock1"), 0);
}

// Files a shared song may lead to in place of a pattern, a song or "Panning.dat": each is refused
// at once with the program's message (a reader that blocks on the FIFO or reads the device
// without end never returns, and the watchdog ends the test run), and a path cut by a NUL names
// nothing. Text files past the size limit are refused before they are read.
TEST_F(FilesTest, ReadersTakeRegularFilesOfBoundedSizeOnly)
{
    const auto refusedAtOnce = [](const std::string& path) {
        auto reading = std::async(std::launch::async, [path] { return errorOf([&] { readFileBytes(path); }); });
        if (reading.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            std::fprintf(stderr, "reading %s blocked\n", path.c_str());
            std::_Exit(1);
        }
        return reading.get();
    };
    ASSERT_EQ(::mkfifo(dir.file("Fifo.pat").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir.path() / "Zero.pat");
    fs::create_directory(dir.path() / "Folder.pat");
    for (const std::string& path :
         {dir.file("Fifo.pat"), dir.file("zero.pat"), std::string("/dev/null"), dir.file("Folder.pat")})
        EXPECT_EQ(refusedAtOnce(path), "Cannot open file " + path);

    dir.write("Rock_kit.dxg", "kit");
    const std::string cut = dir.file("Rock_kit.dxg") + std::string(1, '\0') + ".pat";
    EXPECT_EQ(errorOf([&] { readFileBytes(cut); }).substr(0, 16), "Cannot open file");
    EXPECT_EQ(errorOf([&] { writeFileBytesAtomic(cut, "pattern"); }).substr(0, 18), "Cannot create file");
    EXPECT_FALSE(deleteFile(cut));
    EXPECT_FALSE(copyFile(dir.file("Rock_kit.dxg"), cut, false));
    EXPECT_EQ(dir.read("Rock_kit.dxg"), "kit");
    EXPECT_EQ(errorOf([&] { joinPath(dir.path().string(), "Rock_kit.dxg" + std::string(1, '\0')); }),
              "'Rock_kit.dxg?' is not a valid file name: it holds a NUL character");

    dir.write("Big.sng", std::string(4097, '\n'));
    EXPECT_EQ(errorOf([&] { readFileBytes(dir.file("Big.sng"), 4096); }),
              "Cannot open file " + dir.file("Big.sng") +
                  ": it holds 4097 bytes, more than the 4096 that any file of "
                  "this kind may hold");
    EXPECT_EQ(readFileBytes(dir.file("Big.sng"), 4097).size(), 4097u);
}
