#include "kit_windows.h"

#include "window_geometry.h"

namespace groovane {

TVolume_Control::TVolume_Control(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setWindowTitle("Kit Volume Control");
    placeWindowOuter(this, 7, 234, 525, 309);
}

TKit_List::TKit_List(QWidget* parent) : QWidget(parent, Qt::Dialog | Qt::WindowStaysOnTopHint)
{
    setWindowTitle("Kit List");
    placeWindowClient(this, 671, 121, 104, 397);
}

TMakit::TMakit(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setWindowTitle("Makit");
    placeWindowOuter(this, 211, 120, 278, 255);
}

} // namespace groovane
