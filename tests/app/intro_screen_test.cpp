// The intro screen: its ticks and the presses that close it, a missing video, a tiny uncompressed
// video made here and played through the video backend, and a damaged one, skipped without a
// word. The video tests wait for the backend's events, never for a time; without a backend the
// skip path is what they can check.
#include "avi_writer.h"
#include "app/intro_screen.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMediaPlayer>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

using namespace groovane;

namespace {

// A 32 x 24 video of `frames` frames at 10 per second, red above blue.
std::string redOverBlueVideo(int frames)
{
    std::vector<uint32_t> pixels(32 * 24, 0x0000ff);
    std::fill(pixels.begin(), pixels.begin() + 32 * 12, 0xff0000);
    return aviFileBytes(32, 24, 10, std::vector<AviFrame>(size_t(frames), AviFrame{pixels}));
}

// Serves events until `done` holds or the backend had ample time (the test does not depend on
// how long it takes).
bool serveUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 3000 && !done(); ++i)
        QTest::qWait(10);
    return done();
}

class IntroScreenTest : public ::testing::Test {
protected:
    IntroScreenTest() { folder.enter(); }

    test::TempFolder folder;
    test::ScriptedDialogs dialogs;
    TIntroScreen intro;
};

TEST_F(IntroScreenTest, TheTenthTickClosesItAndAPressClosesItAtOnce)
{
    intro.show();
    intro.Timer1.start();
    for (int i = 0; i < 9; ++i)
        intro.Timer1Timer();
    EXPECT_TRUE(intro.isVisible());
    EXPECT_FALSE(intro.isClosed());
    intro.Timer1Timer();
    EXPECT_FALSE(intro.isVisible());
    EXPECT_TRUE(intro.isClosed());
    EXPECT_FALSE(intro.Timer1.isActive());

    TIntroScreen keyed;
    keyed.show();
    QTest::keyClick(&keyed, Qt::Key_Space);
    EXPECT_TRUE(keyed.isClosed());
    TIntroScreen clicked;
    clicked.show();
    QTest::mouseClick(clicked.OleContainer1, Qt::RightButton);
    EXPECT_TRUE(clicked.isClosed());
    EXPECT_FALSE(clicked.isVisible());
}

TEST_F(IntroScreenTest, WithoutTheVideoFileNothingAppears)
{
    intro.FormCreate();
    EXPECT_TRUE(intro.isClosed());
    EXPECT_FALSE(intro.isVisible());
    EXPECT_EQ(intro.MediaPlayer1, nullptr);
}

TEST_F(IntroScreenTest, ABackendThatCannotLoadSkipsTheIntroAndTheProgramGoesOn)
{
    // Making a media player without a backend ends the process, so the intro must find out
    // first. A backend named that is not installed, and a plugin folder with no backends.
    folder.write("Groovane.avi", redOverBlueVideo(3));
    const QByteArray named = qgetenv("QT_MEDIA_BACKEND");
    const bool wasNamed = qEnvironmentVariableIsSet("QT_MEDIA_BACKEND");
    qputenv("QT_MEDIA_BACKEND", "nosuchbackend");
    intro.FormCreate();
    EXPECT_TRUE(intro.isClosed());
    EXPECT_EQ(intro.MediaPlayer1, nullptr);
    EXPECT_TRUE(qgetenv("QT_MEDIA_BACKEND") == "nosuchbackend") << "the user's choice was overridden";

    qunsetenv("QT_MEDIA_BACKEND");
    const QStringList paths = QCoreApplication::libraryPaths();
    QCoreApplication::setLibraryPaths({QString::fromStdString(folder.path().string())});
    TIntroScreen withoutPlugins;
    withoutPlugins.FormCreate();
    QCoreApplication::setLibraryPaths(paths);
    if (wasNamed)
        qputenv("QT_MEDIA_BACKEND", named);
    EXPECT_TRUE(withoutPlugins.isClosed());
    EXPECT_EQ(withoutPlugins.MediaPlayer1, nullptr);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(IntroScreenTest, TheVideoPlaysOnTheSurfaceUntilAKeyStopsIt)
{
    // The file's name matches without regard to case.
    folder.write("groovane.AVI", redOverBlueVideo(30));
    intro.FormCreate();
    if (intro.isClosed())
        GTEST_SKIP() << "no video backend on this machine";
    intro.Timer1.stop(); // the ticks are driven by hand above; this test waits for frames only
    ASSERT_TRUE(serveUntil([&] { return intro.framesShown() > 0 || intro.isClosed(); }));
    if (intro.isClosed())
        GTEST_SKIP() << "the video backend cannot decode an uncompressed video here";
    EXPECT_TRUE(intro.isVisible());
    const QImage shown = intro.OleContainer1->pixmap().toImage();
    ASSERT_EQ(shown.size(), QSize(32, 24));
    EXPECT_EQ(shown.pixelColor(16, 5), QColor(255, 0, 0));
    EXPECT_EQ(shown.pixelColor(16, 18), QColor(0, 0, 255));
    EXPECT_EQ(intro.MediaPlayer1->playbackState(), QMediaPlayer::PlayingState);

    QTest::keyClick(&intro, Qt::Key_Escape);
    EXPECT_TRUE(intro.isClosed());
    EXPECT_FALSE(intro.isVisible());
    EXPECT_EQ(intro.MediaPlayer1->playbackState(), QMediaPlayer::StoppedState);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(IntroScreenTest, TheIntroVideoTheBuildMakesPlays)
{
    std::filesystem::copy_file(GROOVANE_INTRO_VIDEO, folder.path() / "Groovane.avi");
    intro.FormCreate();
    if (intro.isClosed())
        GTEST_SKIP() << "no video backend on this machine";
    intro.Timer1.stop();
    ASSERT_TRUE(serveUntil([&] { return intro.framesShown() > 0 || intro.isClosed(); }));
    EXPECT_GT(intro.framesShown(), 0);
    EXPECT_TRUE(intro.isVisible());
    EXPECT_EQ(intro.OleContainer1->pixmap().size(), QSize(218, 105));
}

TEST_F(IntroScreenTest, ADamagedVideoIsSkippedWithoutAMessage)
{
    std::string damaged = redOverBlueVideo(3);
    damaged.replace(8, 4, "AVX ");
    damaged.resize(200);
    folder.write("Groovane.avi", damaged);
    intro.FormCreate();
    intro.Timer1.stop();
    EXPECT_TRUE(serveUntil([&] { return intro.isClosed(); }));
    EXPECT_EQ(intro.framesShown(), 0);
    EXPECT_FALSE(intro.isVisible());
    EXPECT_TRUE(dialogs.messages.empty());
}

} // namespace
