// Writes the intro video "Groovane.avi" that the intro screen plays: the program's name over a
// row of sixteen step lights, a light running along them two bars long. Drawn here frame by
// frame and stored uncompressed, so the build needs no video encoder.
// Run by the build:  make_intro_video <avi file>
#include "avi_writer.h"
#include "platform/files.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <exception>

namespace {

constexpr int kWidth = 218;
constexpr int kHeight = 105;
constexpr int kFramesPerSecond = 10;
constexpr int kSteps = 16;

groovane::AviFrame drawFrame(int frame)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, kWidth, kHeight);
    background.setColorAt(0, QColor(20, 24, 48));
    background.setColorAt(1, QColor(70, 20, 90));
    p.fillRect(image.rect(), background);

    const double stepWidth = (kWidth - 16.0) / kSteps;
    const int lit = frame % kSteps;
    for (int i = 0; i < kSteps; ++i) {
        const QRectF light(8 + i * stepWidth + 1, kHeight - 20, stepWidth - 2, 8);
        QColor colour = i % 4 == 0 ? QColor(160, 110, 40) : QColor(60, 70, 110);
        if (i == lit)
            colour = QColor(255, 230, 120);
        p.fillRect(light, colour);
    }
    QFont title("Sans Serif");
    title.setBold(true);
    title.setItalic(true);
    // The name fits the frame's width with a margin on each side, whatever the font system's
    // sans serif face measures.
    int size = 30;
    for (; size > 6; --size) {
        title.setPixelSize(size);
        if (QFontMetrics(title).boundingRect("Groovane Pro").width() + 2 <= kWidth - 16)
            break;
    }
    p.setFont(title);
    // The name brightens as the video runs.
    const int glow = 140 + 115 * std::min(frame, 20) / 20;
    p.setPen(QColor(0, 0, 0, 120));
    p.drawText(QRect(2, 2, kWidth, kHeight - 30), Qt::AlignCenter, "Groovane Pro");
    p.setPen(QColor(255, glow * 220 / 255, glow * 120 / 255));
    p.drawText(QRect(0, 0, kWidth, kHeight - 30), Qt::AlignCenter, "Groovane Pro");
    p.end();

    groovane::AviFrame out;
    out.pixels.reserve(kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            out.pixels.push_back(image.pixel(x, y) & 0xffffff);
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_intro_video <avi file>\n");
        return 2;
    }
    // Text needs the font system, which needs an application; no screen is used.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    std::vector<groovane::AviFrame> frames;
    for (int frame = 0; frame < 2 * kSteps; ++frame)
        frames.push_back(drawFrame(frame));
    const std::string bytes = groovane::aviFileBytes(kWidth, kHeight, kFramesPerSecond, frames);
    try {
        groovane::writeFileBytesAtomic(argv[1], bytes);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_intro_video: %s\n", e.what());
        return 1;
    }
    return 0;
}
