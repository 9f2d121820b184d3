#include "app/intro_screen.h"

#include "app/artwork.h"
#include "platform/files.h"
#include "platform/handler_guard.h"
#include "platform/qt_text.h"
#include "platform/window_geometry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QMediaPlayer>
#include <QJsonArray>
#include <QJsonObject>
#include <QPixmap>
#include <QPluginLoader>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>

#include <algorithm>
#include <filesystem>

namespace groovane {

namespace {

// Whether Qt Multimedia's backend plugin of this name is installed and loads with every library
// it needs. A media player made without a usable backend ends the whole process, so this is
// asked before any player is made.
bool isMediaBackendUsable(const QString& name)
{
    for (const QString& folder : QCoreApplication::libraryPaths()) {
        const QDir plugins(folder + "/multimedia");
        for (const QString& file : plugins.entryList(QDir::Files)) {
            QPluginLoader loader(plugins.filePath(file));
            const QJsonArray keys = loader.metaData().value("MetaData").toObject().value("Keys").toArray();
            const bool named = std::any_of(keys.begin(), keys.end(), [&name](const QJsonValue& key) {
                return key.toString().compare(name, Qt::CaseInsensitive) == 0;
            });
            // Loaded once here, the plugin stays loaded for the player that follows.
            if (named && loader.load())
                return true;
        }
    }
    return false;
}

// The backend the intro plays through, or false when none can be used. A backend the user has
// named stays the only one tried. Otherwise FFmpeg comes first: Debian's GStreamer backend plays
// AVI files only with plugin packages the program does not otherwise need, while the FFmpeg
// backend plays them as they are.
bool chooseMediaBackend()
{
    if (qEnvironmentVariableIsSet("QT_MEDIA_BACKEND"))
        return isMediaBackendUsable(qEnvironmentVariable("QT_MEDIA_BACKEND"));
    for (const char* name : {"ffmpeg", "gstreamer"}) {
        if (isMediaBackendUsable(name)) {
            qputenv("QT_MEDIA_BACKEND", name);
            return true;
        }
    }
    return false;
}

} // namespace

TIntroScreen::TIntroScreen(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setWindowTitle("IntroScreen");
    placeWindowClient(this, 116, 128, 452, 231);
    Panel1 = new QFrame(this);
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setGeometry(0, 8, 453, 225);
    OleContainer1 = new QLabel(this);
    OleContainer1->setGeometry(8, 16, 436, 210);
    OleContainer1->setPixmap(drawBannerLogo(436, 210));
    OleContainer1->setScaledContents(true);
    setFocusPolicy(Qt::StrongFocus);
    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, guarded([this] { Timer1Timer(&Timer1); }));
}

TIntroScreen::~TIntroScreen()
{
    stopVideo();
}

void TIntroScreen::FormCreate(QObject*)
{
    if (!fileExists(kVideoFile)) {
        finish();
        return;
    }
    // Without a backend that loads, the intro is skipped as for a video that cannot be decoded.
    if (!chooseMediaBackend()) {
        finish();
        return;
    }
    MediaPlayer1 = new QMediaPlayer(this);
    if (!MediaPlayer1->isAvailable()) {
        finish();
        return;
    }
    VideoSink = new QVideoSink(this);
    MediaPlayer1->setVideoSink(VideoSink);
    connect(VideoSink, &QVideoSink::videoFrameChanged, this, [this](const QVideoFrame& frame) { showFrame(frame); });
    // A file that cannot be decoded ends the intro before anything was shown.
    connect(MediaPlayer1, &QMediaPlayer::errorOccurred, this, [this] { finish(); });
    connect(MediaPlayer1, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::InvalidMedia)
            finish();
    });
    const std::filesystem::path file = std::filesystem::absolute(resolvePath(kVideoFile));
    MediaPlayer1->setSource(QUrl::fromLocalFile(toQString(file.string())));
    MediaPlayer1->play();
    TickCount = 0;
    Timer1.start();
}

void TIntroScreen::showFrame(const QVideoFrame& frame)
{
    if (closed_ || !frame.isValid())
        return;
    const QImage image = frame.toImage();
    if (image.isNull())
        return;
    OleContainer1->setPixmap(QPixmap::fromImage(image));
    ++framesShown_;
    if (!isVisible()) {
        show();
        raise();
    }
}

void TIntroScreen::Timer1Timer(QObject*)
{
    ++TickCount;
    if (TickCount >= kTicks)
        finish();
}

void TIntroScreen::OleContainer1KeyDown(QObject*)
{
    stopVideo();
    finish();
}

void TIntroScreen::OleContainer1MouseDown(QObject*)
{
    stopVideo();
    finish();
}

void TIntroScreen::keyPressEvent(QKeyEvent*)
{
    runGuarded([this] { OleContainer1KeyDown(OleContainer1); });
}

void TIntroScreen::mousePressEvent(QMouseEvent*)
{
    runGuarded([this] { OleContainer1MouseDown(OleContainer1); });
}

void TIntroScreen::stopVideo()
{
    if (MediaPlayer1)
        MediaPlayer1->stop();
}

void TIntroScreen::finish()
{
    Timer1.stop();
    hide();
    close();
    closed_ = true;
}

} // namespace groovane
