#include "artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace groovane {

namespace {

QPixmap blank(int w, int h)
{
    QPixmap p(w, h);
    p.fill(Qt::transparent);
    return p;
}

} // namespace

QPixmap drawBannerLogo(int width, int height)
{
    QPixmap pixmap = blank(width, height);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, width, height);
    bg.setColorAt(0, QColor(20, 24, 48));
    bg.setColorAt(1, QColor(70, 20, 90));
    p.fillRect(pixmap.rect(), bg);
    // A row of step lights, lit on the beats, under the name.
    const int steps = 16;
    const double stepW = (width - 16.0) / steps;
    for (int i = 0; i < steps; ++i) {
        const QRectF r(8 + i * stepW + 1, height - 9, stepW - 2, 5);
        p.fillRect(r, i % 4 == 0 ? QColor(255, 170, 40) : QColor(80, 90, 140));
    }
    QFont f("Sans Serif");
    f.setPixelSize(height - 18);
    f.setBold(true);
    f.setItalic(true);
    p.setFont(f);
    p.setPen(QColor(0, 0, 0, 120));
    p.drawText(QRect(2, 2, width, height - 10), Qt::AlignCenter, "Groovane Pro");
    p.setPen(QColor(255, 220, 120));
    p.drawText(QRect(0, 0, width, height - 10), Qt::AlignCenter, "Groovane Pro");
    return pixmap;
}

QPixmap drawPadLogo(int width, int height)
{
    QPixmap pixmap = blank(width, height);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(pixmap.rect(), QColor(30, 30, 36));
    const int cols = 4, rows = 3;
    const double w = (width - 10.0) / cols, h = (height - 10.0) / rows;
    const bool lit[rows][cols] = {{true, false, false, true}, {false, true, false, false}, {false, false, true, true}};
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            const QRectF cell(5 + c * w + 2, 5 + r * h + 2, w - 4, h - 4);
            p.setPen(QColor(90, 90, 100));
            p.setBrush(lit[r][c] ? QColor(230, 120, 30) : QColor(60, 60, 70));
            p.drawRoundedRect(cell, 3, 3);
        }
    return pixmap;
}

QIcon drawRenderGlyph()
{
    QPixmap pixmap = blank(48, 24);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(60, 60, 60));
    for (int i = 0; i <= 3; ++i) {
        p.drawLine(2 + i * 6, 4, 2 + i * 6, 20);
        p.drawLine(2, 4 + i * 5, 20, 4 + i * 5);
    }
    QPainterPath wave;
    wave.moveTo(24, 12);
    for (int x = 24; x <= 46; ++x)
        wave.lineTo(x, 12 - 7 * std::sin((x - 24) * 0.6) * std::exp(-(x - 24) * 0.05));
    p.setPen(QPen(QColor(20, 90, 200), 2));
    p.drawPath(wave);
    return QIcon(pixmap);
}

QIcon drawSpeakerGlyph()
{
    QPixmap pixmap = blank(20, 20);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    QPolygonF cone;
    cone << QPointF(2, 7) << QPointF(6, 7) << QPointF(11, 3) << QPointF(11, 17) << QPointF(6, 13) << QPointF(2, 13);
    p.drawPolygon(cone);
    p.setBrush(QColor(20, 90, 200));
    p.drawEllipse(QPointF(15, 14), 2.2, 1.8);
    p.setPen(QPen(QColor(20, 90, 200), 1.4));
    p.drawLine(QPointF(17, 14), QPointF(17, 4));
    p.drawLine(QPointF(17, 4), QPointF(19, 6));
    return QIcon(pixmap);
}

QIcon drawStopGlyph()
{
    QPixmap pixmap = blank(24, 24);
    QPainter p(&pixmap);
    p.fillRect(QRect(5, 5, 14, 14), Qt::black);
    return QIcon(pixmap);
}

QIcon drawPlayGlyph()
{
    QPixmap pixmap = blank(24, 24);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0, 90, 0));
    p.setBrush(QColor(30, 170, 40));
    QPolygonF tri;
    tri << QPointF(6, 4) << QPointF(20, 12) << QPointF(6, 20);
    p.drawPolygon(tri);
    return QIcon(pixmap);
}

QIcon drawWindowIcon()
{
    return QIcon(drawPadLogo(32, 32));
}

} // namespace groovane
