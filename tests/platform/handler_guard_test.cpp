#include "platform/exception.h"
#include "platform/handler_guard.h"
#include "support/scripted_dialogs.h"

#include <gtest/gtest.h>

using namespace groovane;

TEST(ErrorBoxText, AppendsAFullStopOnlyAfterCharactersThatSortAfterIt)
{
    EXPECT_EQ(errorBoxText("Cannot open file Rock_kit.dxg"), "Cannot open file Rock_kit.dxg.");
    EXPECT_EQ(errorBoxText("'1x' is not a valid integer value"), "'1x' is not a valid integer value.");
    EXPECT_EQ(errorBoxText("Wave 'Kick' not found"), "Wave 'Kick' not found.");
    EXPECT_EQ(errorBoxText("Done."), "Done.");
    EXPECT_EQ(errorBoxText("Stopped!"), "Stopped!"); // '!' sorts before '.'
    EXPECT_EQ(errorBoxText("(x)"), "(x)");           // ')' sorts before '.'
    EXPECT_EQ(errorBoxText("a/b"), "a/b.");          // '/' sorts right after '.'
    EXPECT_EQ(errorBoxText(""), "");
}

TEST(HandlerGuard, AnExceptionEndsTheHandlerKeepsWhatWasDoneAndShowsOneErrorBox)
{
    test::ScriptedDialogs dialogs;
    int steps = 0;
    const bool ok = runGuarded([&] {
        ++steps;
        throw EConvertError("'1x' is not a valid integer value");
        ++steps;
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(steps, 1);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, "Groovane Pro");
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(dialogs.messages[0].text, "'1x' is not a valid integer value.");

    EXPECT_TRUE(runGuarded([&] { ++steps; }));
    EXPECT_EQ(dialogs.messages.size(), 1u);

    // Exceptions that are not the program's own are caught as well.
    auto slot = guarded([] { throw 42; });
    slot();
    ASSERT_EQ(dialogs.errors.size(), 2u);
    EXPECT_EQ(dialogs.errors[1], "Unknown error.");
}
