// The intro screen: a borderless window over the main window while the intro video runs. It
// appears only when "Groovane.avi" is in the working folder, closes itself after ten one-second
// ticks, and any key or mouse press on it closes it at once.
#pragma once

#include <QTimer>
#include <QWidget>

class QFrame;
class QLabel;

namespace groovane {

class TIntroScreen : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kVideoFile = "Groovane.avi";

    explicit TIntroScreen(QWidget* parent = nullptr);

    // Shows the intro when the video file exists; otherwise hides and closes the window.
    void FormCreate(QObject* Sender = nullptr);
    void Timer1Timer(QObject* Sender = nullptr);
    void OleContainer1KeyDown(QObject* Sender = nullptr);
    void OleContainer1MouseDown(QObject* Sender = nullptr);

    QFrame* Panel1;
    QLabel* OleContainer1; // the surface the intro is drawn on; receives key and mouse presses
    QTimer Timer1;
    int32_t TickCount = 0;
    // True once the intro has closed; it is never shown again.
    bool isClosed() const { return closed_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void finish();
    bool closed_ = false;
};

} // namespace groovane
