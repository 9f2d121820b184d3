// The toolkit's stderr chatter is dropped, and only that: its real warnings still reach the
// terminal.
#include "platform/toolkit_messages.h"

#include <gtest/gtest.h>

#include <QString>

using namespace groovane;

TEST(ToolkitMessagesTest, OnlyDebugLinesAndTheWarningsOfWorkingFallbacksAreDropped)
{
    EXPECT_TRUE(isToolkitChatter(QtDebugMsg, ">>>> listing codecs"));
    EXPECT_TRUE(isToolkitChatter(QtDebugMsg, "    No HW accelerators found, using SW decoding."));
    EXPECT_TRUE(
        isToolkitChatter(QtWarningMsg, "QStandardPaths: XDG_RUNTIME_DIR not set, defaulting to '/tmp/runtime-root'"));
    EXPECT_TRUE(isToolkitChatter(QtWarningMsg, "QRhi* initializeRHI(QRhi*) : No RHI backend. Using CPU conversion."));
    EXPECT_TRUE(isToolkitChatter(QtWarningMsg, "This plugin does not support raise()"));

    // A runtime folder that is there but unsafe is worth knowing, as is any other warning.
    EXPECT_FALSE(
        isToolkitChatter(QtWarningMsg, "QStandardPaths: wrong permissions on runtime directory /run/user/1000"));
    EXPECT_FALSE(isToolkitChatter(QtWarningMsg, "qt.qpa.xcb: could not connect to display"));
    EXPECT_FALSE(isToolkitChatter(QtCriticalMsg, "QStandardPaths: XDG_RUNTIME_DIR not set"));
    EXPECT_FALSE(isToolkitChatter(QtFatalMsg, "Could not load the Qt platform plugin"));
    EXPECT_FALSE(isToolkitChatter(QtInfoMsg, "something"));
}
