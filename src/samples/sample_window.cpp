#include "sample_window.h"

#include "window_geometry.h"

namespace groovane {

namespace {
struct Placement {
    int left;
    int top;
};
constexpr Placement kDesignPositions[8] = {{156, 164}, {135, 142}, {188, 176}, {241, 211},
                                           {288, 66},  {342, 102}, {397, 138}, {453, 174}};
} // namespace

SampleWindow::SampleWindow(int slot, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                          Qt::CustomizeWindowHint),
      slot_(slot)
{
    setWindowTitle(QString("Sample%1").arg(slot));
    const Placement& p = kDesignPositions[slot - 1];
    placeWindowClient(this, p.left, p.top, 245, slot == 8 ? 172 : 171);
}

} // namespace groovane
