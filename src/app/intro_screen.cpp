#include "intro_screen.h"

#include "artwork.h"
#include "files.h"
#include "handler_guard.h"
#include "window_geometry.h"

#include <QFrame>
#include <QLabel>

namespace groovane {

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

void TIntroScreen::FormCreate(QObject*)
{
    if (!fileExists(kVideoFile)) {
        finish();
        return;
    }
    show();
    raise();
    TickCount = 0;
    Timer1.start();
}

void TIntroScreen::Timer1Timer(QObject*)
{
    ++TickCount;
    if (TickCount >= 10)
        finish();
}

void TIntroScreen::OleContainer1KeyDown(QObject*)
{
    finish();
}

void TIntroScreen::OleContainer1MouseDown(QObject*)
{
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

void TIntroScreen::finish()
{
    Timer1.stop();
    hide();
    close();
    closed_ = true;
}

} // namespace groovane
