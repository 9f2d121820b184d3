#include "app/artwork.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <vector>

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
    f.setBold(true);
    f.setItalic(true);
    // As tall as the banner allows, and no wider than it with a margin on each side (the name
    // is far wider than tall, so the width is what usually limits it).
    int size = height - 18;
    for (; size > 6; --size) {
        f.setPixelSize(size);
        if (QFontMetrics(f).boundingRect("Groovane Pro").width() + 2 <= width - 16)
            break;
    }
    p.setFont(f);
    p.setPen(QColor(0, 0, 0, 120));
    p.drawText(QRect(2, 2, width, height - 10), Qt::AlignCenter, "Groovane Pro");
    p.setPen(QColor(255, 220, 120));
    p.drawText(QRect(0, 0, width, height - 10), Qt::AlignCenter, "Groovane Pro");
    return pixmap;
}

namespace {

// The pad logo's parts, shared by the painted and the SVG form: a dark square holding four by
// three rounded pads, some lit.
const QColor kPadBackground(30, 30, 36);
const QColor kPadEdge(90, 90, 100);
const QColor kPadLit(230, 120, 30);
const QColor kPadDark(60, 60, 70);
constexpr double kPadCornerRadius = 3;

struct Pad {
    QRectF rect;
    bool isLit;
};

std::vector<Pad> padLogoPads(int width, int height)
{
    const int cols = 4, rows = 3;
    const double w = (width - 10.0) / cols, h = (height - 10.0) / rows;
    const bool lit[rows][cols] = {{true, false, false, true}, {false, true, false, false}, {false, false, true, true}};
    std::vector<Pad> pads;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            pads.push_back({QRectF(5 + c * w + 2, 5 + r * h + 2, w - 4, h - 4), lit[r][c]});
    return pads;
}

// Paints the logo at (0, 0) through `p`, whose transform may scale it.
void paintPadLogo(QPainter& p, int width, int height)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRectF(0, 0, width, height), kPadBackground);
    p.setPen(kPadEdge);
    for (const Pad& pad : padLogoPads(width, height)) {
        p.setBrush(pad.isLit ? kPadLit : kPadDark);
        p.drawRoundedRect(pad.rect, kPadCornerRadius, kPadCornerRadius);
    }
}

} // namespace

QPixmap drawPadLogo(int width, int height)
{
    QPixmap pixmap = blank(width, height);
    QPainter p(&pixmap);
    paintPadLogo(p, width, height);
    return pixmap;
}

std::string padLogoSvg(int width, int height)
{
    std::string svg =
        QString("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\" viewBox=\"0 0 %1 %2\">\n"
                "  <rect width=\"%1\" height=\"%2\" fill=\"%3\"/>\n")
            .arg(width)
            .arg(height)
            .arg(kPadBackground.name())
            .toStdString();
    for (const Pad& pad : padLogoPads(width, height))
        svg += QString("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" fill=\"%6\" stroke=\"%7\"/>\n")
                   .arg(pad.rect.x())
                   .arg(pad.rect.y())
                   .arg(pad.rect.width())
                   .arg(pad.rect.height())
                   .arg(kPadCornerRadius)
                   .arg((pad.isLit ? kPadLit : kPadDark).name())
                   .arg(kPadEdge.name())
                   .toStdString();
    return svg + "</svg>\n";
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

QImage drawProgramIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.scale(double(size) / kIconDesignSize, double(size) / kIconDesignSize);
    paintPadLogo(p, kIconDesignSize, kIconDesignSize);
    return image;
}

QIcon drawWindowIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addPixmap(QPixmap::fromImage(drawProgramIcon(size)));
    return icon;
}

} // namespace groovane
