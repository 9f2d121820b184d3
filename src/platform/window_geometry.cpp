#include "window_geometry.h"

#include <QWidget>

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

} // namespace groovane
