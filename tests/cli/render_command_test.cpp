// groovane-render in a working folder: what it takes on its command line, the progress it shows,
// and its failures, each one line on stderr, exit status 1 and no output file (an existing one
// left whole). Its bytes against the window's render are checked with the windows
// (tests/app/command_line_render_test.cpp).
#include "platform/exception.h"
#include "cli/render_command.h"
#include "support/song_files.h"
#include "support/working_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>

using namespace groovane;
using namespace groovane::test;

namespace {

class RenderCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        writePatternFile(folder, "Verse", 4, 60, 1, {{"Kick", "ClsHiat"}, {}, {"Snare"}, {}});
        writePatternFile(folder, "Fill", 2, 40, 1, {{"Tom1"}, {"Snare"}});
        writeSongFile(folder, "Song.sng", {"Verse", "Fill"});
    }

    // Runs the program; keeps what it printed.
    int run(const std::vector<std::string>& args, bool errIsTerminal = false)
    {
        out.str("");
        err.str("");
        return renderCommandMain(args, out, err, errIsTerminal);
    }

    std::set<std::string> filesInFolder() const
    {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
            names.insert(entry.path().filename().string());
        return names;
    }

    // A failing run: exit status 1, one line naming the error, and no file written beside the
    // song other than the render's own scratch files.
    void expectFailure(const std::vector<std::string>& args, const std::string& message)
    {
        std::set<std::string> before = filesInFolder();
        EXPECT_EQ(run(args), 1);
        EXPECT_EQ(err.str(), "groovane-render: " + message + "\n");
        EXPECT_EQ(out.str(), "");
        std::set<std::string> after = filesInFolder();
        before.erase("work1.tmp");
        after.erase("work1.tmp");
        EXPECT_EQ(after, before);
        EXPECT_EQ(folder.read("out.wav"), "earlier");
    }

    WorkingFolder folder;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(RenderCommandTest, RendersQuietlyUnlessStderrIsATerminal)
{
    EXPECT_EQ(run({"Song.sng", "out.wav"}), 0);
    EXPECT_EQ(err.str(), "");
    const std::string whole = folder.read("out.wav");
    EXPECT_GT(whole.size(), 44u);
    EXPECT_EQ(whole.substr(0, 4), "RIFF");

    EXPECT_EQ(run({"--from", "2", "Song.sng", "fill.wav"}, true), 0);
    EXPECT_NE(err.str().find("[########################################] 100%"), std::string::npos) << err.str();
    EXPECT_EQ(err.str().back(), '\n');
    EXPECT_LT(folder.read("fill.wav").size(), whole.size());

    EXPECT_EQ(run({"--quiet", "--from=1", "Song.sng", "again.wav"}, true), 0);
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(folder.read("again.wav"), whole);
}

TEST_F(RenderCommandTest, HelpVersionAndArgumentsItCannotTake)
{
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_EQ(out.str().rfind("Usage: groovane-render [--from N] [--quiet] SONG.sng OUT.wav\n", 0), 0u);
    EXPECT_EQ(run({"--version"}), 0);
    EXPECT_EQ(out.str(), std::string("groovane-render (Groovane Pro) ") + GROOVANE_VERSION + "\n");

    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {"Song.sng"},
                                               {"Song.sng", "a.wav", "b.wav"},
                                               {"--from", "0", "Song.sng", "a.wav"},
                                               {"--from=x", "Song.sng", "a.wav"},
                                               {"Song.sng", "a.wav", "--from"},
                                               {"--loud", "Song.sng", "a.wav"}}) {
        EXPECT_EQ(run(args), 1);
        const std::string line = err.str();
        EXPECT_EQ(line.rfind("groovane-render: ", 0), 0u) << line;
        EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
    }
    // After "--" every argument is a file.
    EXPECT_EQ(parseRenderCommand({"--", "--quiet", "-x.wav"}).outputFile, "-x.wav");
}

TEST_F(RenderCommandTest, EachFailureWritesNothingAndSaysWhyInOneLine)
{
    folder.write("out.wav", "earlier");
    expectFailure({"Missing.sng", "out.wav"}, "Cannot open file Missing.sng.");
    expectFailure({"--from", "3", "Song.sng", "out.wav"},
                  "The play list of Song.sng has 2 entries: it has no entry 3 to start at.");
    expectFailure({"Song.sng", "nowhere/out.wav"}, "Cannot create file nowhere/out.wav.");
    expectFailure({"Song.sng", "WORK1.TMP"},
                  "WORK1.TMP is the file the render builds the song in; please choose another name for the "
                  "song's WAV file.");

    writeSongFile(folder, "Empty.sng", {});
    expectFailure({"Empty.sng", "out.wav"}, "The play list of Empty.sng is empty: there is nothing to render.");

    writeSongFile(folder, "Gone.sng", {"Verse", "Gone"});
    expectFailure({"Gone.sng", "out.wav"}, "Cannot open file " + folder.file("Gone.pat") + ".");

    folder.write("Bad.pat", "Bad\r\nLength:\r\nfour\r\n");
    writeSongFile(folder, "Bad.sng", {"Bad"});
    expectFailure({"Bad.sng", "out.wav"}, "'four' is not a valid integer value.");

    writeSongFile(folder, "Sampled.sng", {"Verse"}, {SongSampleSettings{"NoSuch.wav", 0, 0}});
    expectFailure({"Sampled.sng", "out.wav"}, "Cannot open file NoSuch.wav.");

    std::filesystem::rename(folder.path() / "temp", folder.path() / "elsewhere");
    expectFailure({"Song.sng", "out.wav"}, "Cannot create file " + folder.file("temp/0.wav") + ".");

    std::filesystem::rename(folder.path() / "Panning.dat", folder.path() / "pans");
    expectFailure({"Song.sng", "out.wav"}, "Cannot open file Panning.dat.");

    std::filesystem::remove(folder.path() / "Rock_kit.dxg");
    expectFailure({"Song.sng", "out.wav"}, "Cannot open file Rock_kit.dxg.");
}

} // namespace
