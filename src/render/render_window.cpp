#include "render_window.h"

#include "window_geometry.h"

namespace groovane {

// No border icons: the render window has no close button.
TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle("Render");
    placeWindowOuter(this, 168, 250, 313, 115);
}

} // namespace groovane
