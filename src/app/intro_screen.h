// The intro screen: a borderless window over the main window that plays the intro video
// "Groovane.avi" from the working folder. It closes itself after ten one-second ticks, and any
// key or mouse press on it closes it at once; the main window stays usable meanwhile.
//
// The video plays through Qt Multimedia into a video sink whose frames are drawn on
// OleContainer1. The window shows itself with the first frame, so when there is no video file, no
// video backend on the machine, or a file that cannot be decoded, the intro is skipped without a
// message and nothing appears.
//
// UI thread only.
#pragma once

#include <QTimer>
#include <QWidget>

class QFrame;
class QLabel;
class QMediaPlayer;
class QVideoFrame;
class QVideoSink;

namespace groovane {

class TIntroScreen : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kVideoFile = "Groovane.avi";
    static constexpr int kTicks = 10;

    explicit TIntroScreen(QWidget* parent = nullptr);
    ~TIntroScreen() override;

    // Starts the video when the file exists and a video backend is there, with the tick counter
    // at 0 and the timer running; otherwise hides and closes the window.
    void FormCreate(QObject* Sender = nullptr);
    // One tick: the tenth hides and closes the window; the video is left to end by itself.
    void Timer1Timer(QObject* Sender = nullptr);
    // A key or mouse press: stops the video and closes the window.
    void OleContainer1KeyDown(QObject* Sender = nullptr);
    void OleContainer1MouseDown(QObject* Sender = nullptr);

    QFrame* Panel1;
    QLabel* OleContainer1; // the surface the video is drawn on; receives key and mouse presses
    // The video player and the sink it draws into; null until FormCreate finds a video.
    QMediaPlayer* MediaPlayer1 = nullptr;
    QVideoSink* VideoSink = nullptr;
    QTimer Timer1;
    int32_t TickCount = 0;

    // True once the intro has closed; it is never shown again.
    bool isClosed() const { return closed_; }
    // Video frames drawn on the surface so far.
    int framesShown() const { return framesShown_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void showFrame(const QVideoFrame& frame);
    void stopVideo();
    void finish();
    bool closed_ = false;
    int framesShown_ = 0;
};

} // namespace groovane
