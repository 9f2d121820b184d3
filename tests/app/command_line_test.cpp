// The program's command line: the folder in its two spellings with "~" expanded as a desktop
// entry needs it, the song, --help and --version, and the lines it refuses.
#include "app/command_line.h"

#include <gtest/gtest.h>

using namespace groovane;

namespace {

CommandLine parse(std::vector<std::string> args, const char* home = "/home/drummer")
{
    return parseCommandLine(args, home);
}

} // namespace

TEST(CommandLine, NamesTheFolderAndTheSongInEitherOrder)
{
    const CommandLine plain = parse({});
    EXPECT_FALSE(plain.folder);
    EXPECT_FALSE(plain.song);
    EXPECT_FALSE(plain.showsHelp || plain.showsVersion);

    const CommandLine line = parse({"Live.sng", "--folder", "/srv/beats"});
    EXPECT_EQ(line.folder, "/srv/beats");
    EXPECT_EQ(line.song, "Live.sng");
    EXPECT_EQ(parse({"--folder=beats", "x.sng"}).folder, "beats");
    // After "--" a name that looks like an option is a song.
    EXPECT_EQ(parse({"--", "--odd.sng"}).song, "--odd.sng");
    EXPECT_TRUE(parse({"--help"}).showsHelp);
    EXPECT_TRUE(parse({"-h"}).showsHelp);
    EXPECT_TRUE(parse({"--version"}).showsVersion);
}

TEST(CommandLine, ATildeTheShellDidNotExpandStandsForHome)
{
    // The desktop entry passes "~/Groovane" as it stands.
    EXPECT_EQ(parse({"--folder", "~/Groovane"}).folder, "/home/drummer/Groovane");
    EXPECT_EQ(parse({"--folder=~/Groovane"}).folder, "/home/drummer/Groovane");
    EXPECT_EQ(parse({"--folder", "~"}).folder, "/home/drummer");
    EXPECT_EQ(parse({"--folder", "~/Groovane"}, "/").folder, "/Groovane");
    EXPECT_EQ(parse({"--folder", "~/Groovane"}, "/home/drummer/").folder, "/home/drummer/Groovane");
    // Only a leading "~" as a whole component: other users' homes and names holding "~" stay.
    EXPECT_EQ(parse({"--folder", "~other/x"}).folder, "~other/x");
    EXPECT_EQ(parse({"--folder", "beats~/x"}).folder, "beats~/x");
    // Without a home there is nothing to expand to.
    EXPECT_EQ(parse({"--folder", "~/Groovane"}, nullptr).folder, "~/Groovane");
    EXPECT_EQ(parse({"--folder", "~/Groovane"}, "").folder, "~/Groovane");
    // Songs are the shell's business.
    EXPECT_EQ(parse({"~/x.sng"}).song, "~/x.sng");
}

TEST(CommandLine, RefusesWhatItCannotFollowSayingWhy)
{
    const auto refusal = [](std::vector<std::string> args) {
        try {
            parse(args);
        } catch (const CommandLineError& error) {
            return std::string(error.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(refusal({"--folder"}), "--folder needs a folder");
    EXPECT_EQ(refusal({"--folder="}), "--folder needs a folder");
    EXPECT_EQ(refusal({"--folder", ""}), "--folder needs a folder");
    EXPECT_EQ(refusal({"--loud"}), "unknown option --loud");
    EXPECT_EQ(refusal({"-platform", "xcb"}), "unknown option -platform");
    EXPECT_EQ(refusal({"a.sng", "b.sng"}), "only one song can be opened, not both \"a.sng\" and \"b.sng\"");
}
