// Places top-level windows the way the program's windows were designed: some sizes are given
// for the whole window with its frame, some for the client area only.
#pragma once

class QFont;
class QWidget;

namespace groovane {

// Frame allowance used to turn a designed outer size into a client size.
inline constexpr int kFrameWidth = 8;
inline constexpr int kFrameHeight = 27;

void placeWindowOuter(QWidget* window, int left, int top, int outerWidth, int outerHeight);
void placeWindowClient(QWidget* window, int left, int top, int clientWidth, int clientHeight);

// A font of the design, given in the design's points, that fits the designed positions. The
// design's font is a narrow one; DejaVu Sans, which every desktop here has, is wider, so it is
// sized in pixels a little under the design's size (8 pt gives 10 pixels), and texts fit their
// controls whatever the screen's resolution.
QFont designFont(int designPoints, bool bold = false);

} // namespace groovane
