#include "platform/window_geometry.h"

#include <QFont>
#include <QWidget>

#include <cmath>

namespace groovane {

void placeWindowOuter(QWidget* window, int left, int top, int outerWidth, int outerHeight)
{
    placeWindowClient(window, left, top, outerWidth - kFrameWidth, outerHeight - kFrameHeight);
}

void placeWindowClient(QWidget* window, int left, int top, int clientWidth, int clientHeight)
{
    window->move(left, top);
    window->setFixedSize(clientWidth, clientHeight);
}

QFont designFont(int designPoints, bool bold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(static_cast<int>(std::lround(designPoints * 1.25)));
    font.setBold(bold);
    return font;
}

} // namespace groovane
