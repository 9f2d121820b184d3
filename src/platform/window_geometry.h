// Places top-level windows the way the program's windows were designed: some sizes are given
// for the whole window with its frame, some for the client area only.
#pragma once

class QWidget;

namespace groovane {

// Frame allowance used to turn a designed outer size into a client size.
inline constexpr int kFrameWidth = 8;
inline constexpr int kFrameHeight = 27;

void placeWindowOuter(QWidget* window, int left, int top, int outerWidth, int outerHeight);
void placeWindowClient(QWidget* window, int left, int top, int clientWidth, int clientHeight);

} // namespace groovane
