#include "exception.h"
#include "files.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <csignal>
#include <sys/resource.h>

using namespace groovane;
using groovane::test::TempFolder;

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

TEST_F(FilesTest, FailedReadsAndWritesRaiseWithThePathAndKeepTheOldFile)
{
    try {
        readFileBytes(dir.file("missing.pat"));
        ADD_FAILURE();
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + dir.file("missing.pat"));
    }

    // A write that fails half-way (here: the file size limit, as a full disk would) leaves the
    // old file as it was and no temporary file behind.
    dir.write("Rock1.pat", "old");
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1000;
    ::setrlimit(RLIMIT_FSIZE, &small);
    bool raised = false;
    try {
        writeFileBytesAtomic(dir.file("rock1.pat"), std::string(5000, 'x'));
    } catch (const EFileError& e) {
        raised = true;
        EXPECT_EQ(std::string(e.what()), "Stream write error");
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_TRUE(raised);
    EXPECT_EQ(dir.read("Rock1.pat"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    // A target that is a folder cannot be replaced.
    dir.write("Song.pat/inside", "x");
    EXPECT_THROW(writeFileBytesAtomic(dir.file("Song.pat"), "new"), EFileError);
    EXPECT_EQ(dir.read("Song.pat/inside"), "x");
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
