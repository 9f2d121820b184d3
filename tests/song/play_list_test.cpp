#include "pattern/pattern_library.h"
#include "song/play_list.h"

#include <gtest/gtest.h>

using namespace groovane;

namespace {

std::vector<std::string> names(const PlayList& list)
{
    std::vector<std::string> result;
    for (const auto& entry : list.entries())
        result.push_back(entry.name);
    return result;
}

} // namespace

class PlayListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        library.add("Rock1");
        library.add("Funk");
        library.sort();
    }

    PatternLibrary library;
    PlayList list;
};

TEST_F(PlayListTest, RemoveReturnsOnlyNamesTheLibraryLacks)
{
    for (int i = 0; i < 3; ++i)
        list.append("Rock1");
    list.append("FromSong");
    list.select(1);
    list.removeSelected(library);
    EXPECT_EQ(names(list), (std::vector<std::string>{"Rock1", "Rock1", "FromSong"}));
    EXPECT_EQ(library.entries(), (std::vector<std::string>{"<Blank>", "Funk", "Rock1"})) << "library unchanged";
    EXPECT_EQ(list.selected(), -1);

    list.select(2);
    list.removeSelected(library);
    EXPECT_EQ(names(list), (std::vector<std::string>{"Rock1", "Rock1"}));
    EXPECT_EQ(library.entries(), (std::vector<std::string>{"<Blank>", "FromSong", "Funk", "Rock1"}))
        << "a name from a song file goes back in sorted position";

    list.removeSelected(library); // nothing selected
    EXPECT_EQ(list.size(), 2);
}

TEST_F(PlayListTest, BlankEntryStaysUnlessTheLibraryHoldsIt)
{
    list.append("<Blank>");
    list.select(0);
    library.removeAt(0);
    list.removeSelected(library);
    EXPECT_EQ(names(list), std::vector<std::string>{"<Blank>"});
    EXPECT_FALSE(library.contains("<Blank>"));

    PatternLibrary fresh;
    list.removeSelected(fresh);
    EXPECT_EQ(list.size(), 0);
    EXPECT_EQ(fresh.size(), 1);
}

TEST_F(PlayListTest, MoveCarriesTheCheckMarkAndStopsAtTheEnds)
{
    for (const char* name : {"A", "B", "C"})
        list.append(name);
    list.setTicked(0, true);
    list.select(0);
    list.moveSelected(PlayList::Direction::Up);
    EXPECT_EQ(names(list), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(list.selected(), 0);

    list.moveSelected(PlayList::Direction::Down);
    EXPECT_EQ(names(list), (std::vector<std::string>{"B", "A", "C"}));
    EXPECT_EQ(list.selected(), 1);
    EXPECT_TRUE(list.at(1).ticked);
    EXPECT_FALSE(list.at(0).ticked);

    list.moveSelected(PlayList::Direction::Down);
    list.moveSelected(PlayList::Direction::Down);
    EXPECT_EQ(names(list), (std::vector<std::string>{"B", "C", "A"}));
    EXPECT_EQ(list.selected(), 2);

    list.select(-1);
    list.moveSelected(PlayList::Direction::Up);
    EXPECT_EQ(names(list), (std::vector<std::string>{"B", "C", "A"}));
}

TEST_F(PlayListTest, DeleteTickedKeepsTheRestInOrder)
{
    for (const char* name : {"1", "2", "3", "4", "5"})
        list.append(name);
    list.setTicked(0, true);
    list.setTicked(2, true);
    list.select(3);
    list.deleteTicked();
    EXPECT_EQ(names(list), (std::vector<std::string>{"2", "4", "5"}));
    EXPECT_EQ(list.selected(), 1) << "the selected entry keeps its selection";
    EXPECT_FALSE(library.contains("1")) << "deleted names do not go to the library";

    list.setTicked(1, true);
    list.deleteTicked();
    EXPECT_EQ(list.selected(), -1);
}

TEST_F(PlayListTest, RemoveAllComparesExactly)
{
    for (const char* name : {"Rock1", "rock1", "Funk", "Rock1"})
        list.append(name);
    list.select(2);
    list.removeAll("Rock1");
    EXPECT_EQ(names(list), (std::vector<std::string>{"rock1", "Funk"}));
    EXPECT_EQ(list.selectedName(), "Funk");
    EXPECT_TRUE(list.contains("rock1"));
    EXPECT_FALSE(list.contains("ROCK1"));
}
