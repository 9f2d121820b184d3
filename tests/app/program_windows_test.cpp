#include "app/intro_screen.h"
#include "kits/kit_windows.h"
#include "app/program_windows.h"
#include "render/render_window.h"
#include "samples/sample_window.h"
#include "support/scripted_dialogs.h"
#include "app/sequence_window.h"
#include "support/sequence_window_access.h"
#include "support/temp_folder.h"
#include "support/working_folder.h"

#include <QAction>
#include <QComboBox>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace groovane;

TEST(ProgramWindows, CreatesEveryWindowInOrderWithOnlyTheMainWindowAndKitListShown)
{
    test::WorkingFolder folder;
    test::ScriptedDialogs dialogs;
    ProgramWindows windows;
    EXPECT_TRUE(dialogs.messages.empty());

    EXPECT_TRUE(windows.Sequence->isVisible());
    std::vector<QString> sampleCaptions;
    for (const auto& w : windows.SampleWindows) {
        sampleCaptions.push_back(w->windowTitle());
        EXPECT_FALSE(w->isVisible());
        EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    }
    EXPECT_EQ(sampleCaptions, (std::vector<QString>{"Sample1", "Sample3", "Sample2", "Sample4", "Sample5", "Sample6",
                                                    "Sample7", "Sample8"}));
    EXPECT_EQ(windows.sampleWindow(2)->windowTitle(), "Sample2");
    EXPECT_NE(dynamic_cast<TMainForm1*>(windows.sampleWindow(2)), nullptr);
    EXPECT_EQ(windows.sampleWindow(8)->ClientArea->height(), 172);
    EXPECT_EQ(windows.sampleWindow(8)->height(), windows.sampleWindow(8)->MainMenu1->height() + 172);

    EXPECT_EQ(windows.Volume_Control->windowTitle(), "Kit Volume Control");
    EXPECT_FALSE(windows.Volume_Control->isVisible());
    EXPECT_EQ(windows.Kit_List->windowTitle(), "Kit List");
    EXPECT_TRUE(windows.Kit_List->isVisible());
    EXPECT_EQ(windows.Kit_List->pos(), QPoint(671, 121));
    EXPECT_EQ(windows.Form1->windowTitle(), "Render");
    EXPECT_FALSE(windows.Form1->isVisible());
    EXPECT_EQ(windows.Makit->windowTitle(), "Makit");
    EXPECT_FALSE(windows.Makit->isVisible());

    // Without the intro video the intro screen closes at once.
    EXPECT_FALSE(windows.IntroScreen->isVisible());
    EXPECT_TRUE(windows.IntroScreen->isClosed());

    // Every slot starts on the blank sound, with its own scratch copy of it.
    for (int slot = 1; slot <= 8; ++slot) {
        ASSERT_NE(windows.sampleWindow(slot)->Player(), nullptr);
        EXPECT_EQ(folder.read("temp/Sample" + std::to_string(slot) + ".wav"), folder.read("Blank.wav"));
    }

    // The sample buttons (captions 1..8 along two rows) and the Import items show a slot's
    // window and name the slot in the instrument selector.
    QTest::mouseClick(controlsOf(*windows.Sequence).Button8, Qt::LeftButton);
    EXPECT_TRUE(windows.sampleWindow(5)->isVisible());
    EXPECT_EQ(controlsOf(*windows.Sequence).ComboBox1->currentText(), "Sample5");
    controlsOf(*windows.Sequence).SampleItems[7]->trigger();
    EXPECT_TRUE(windows.sampleWindow(8)->isVisible());
    EXPECT_EQ(controlsOf(*windows.Sequence).ComboBox1->currentText(), "Sample8");
    windows.sampleWindow(5)->hide();
    windows.sampleWindow(8)->hide();

    // Closing a secondary window only hides it; it can be shown again.
    windows.sampleWindow(3)->show();
    windows.sampleWindow(3)->close();
    EXPECT_FALSE(windows.sampleWindow(3)->isVisible());
    windows.sampleWindow(3)->show();
    EXPECT_TRUE(windows.sampleWindow(3)->isVisible());
}
