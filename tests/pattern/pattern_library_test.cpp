#include "pattern/pattern_library.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

using namespace groovane;
using groovane::test::TempFolder;

TEST(PatternLibrary, ScanListsPatternFilesLessTheirExtensionInSortedOrder)
{
    TempFolder dir;
    for (const char* name :
         {"rock2.pat", "Rock1.pat", "9lives.pat", "beat.PAT", ".pat", "notes.txt", "pat", "Zeta.pat.bak", "_under.pat"})
        dir.write(name, "");
    dir.write("folder.pat/x", "");
    PatternLibrary library;
    EXPECT_FALSE(library.isSorted());
    library.scan(dir.path().string());
    EXPECT_TRUE(library.isSorted());
    EXPECT_EQ(library.entries(),
              (std::vector<std::string>{"", "<Blank>", "_under", "9lives", "beat", "folder", "Rock1", "rock2"}));
}

TEST(PatternLibrary, EmptyFolderLeavesOnlyBlank)
{
    TempFolder dir;
    PatternLibrary library;
    library.scan(dir.path().string());
    EXPECT_EQ(library.entries(), std::vector<std::string>{"<Blank>"});
    library.scan((dir.path() / "missing").string());
    EXPECT_EQ(library.entries(), std::vector<std::string>{"<Blank>"});
}

TEST(PatternLibrary, NamesGoInTheirPlaceOnceSortedAndAtTheEndBefore)
{
    PatternLibrary library;
    EXPECT_EQ(library.add("Zed"), 1);
    EXPECT_EQ(library.add("alpha"), 2) << "the design-time list is not sorted yet";
    library.sort();
    EXPECT_EQ(library.entries(), (std::vector<std::string>{"<Blank>", "alpha", "Zed"}));
    EXPECT_EQ(library.add("Rock1"), 2);
    EXPECT_EQ(library.add("rock1"), 3) << "a name equal but for case lands after the listed one";
    EXPECT_EQ(library.add("ROCK"), 2);
    EXPECT_EQ(library.add("12"), 1);
    EXPECT_EQ(library.entries(), (std::vector<std::string>{"<Blank>", "12", "alpha", "ROCK", "Rock1", "rock1", "Zed"}));
    EXPECT_EQ(library.indexOf("rock1"), 5) << "look-ups compare exactly";
    EXPECT_FALSE(library.contains("ROCK1"));
    library.removeAt(5);
    library.removeAt(99);
    EXPECT_FALSE(library.contains("rock1"));
    EXPECT_TRUE(library.contains("Rock1"));
}

TEST(PatternLibrary, OrderIsCaseBlindWithSymbolsThenDigitsThenLetters)
{
    EXPECT_LT(compareLibraryNames("<Blank>", "0"), 0);
    EXPECT_LT(compareLibraryNames("<Blank>", "a"), 0);
    EXPECT_LT(compareLibraryNames("9", "A"), 0);
    EXPECT_EQ(compareLibraryNames("abc", "ABC"), 0);
    EXPECT_LT(compareLibraryNames("ab", "ABC"), 0);
    EXPECT_LT(compareLibraryNames("Zed", "\xc3\xa9t\xc3\xa9"), 0);
    EXPECT_GT(compareLibraryNames("b", "A"), 0);
}
