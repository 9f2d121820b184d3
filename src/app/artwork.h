// The pictures the program draws for itself: the two logo panels of the main window and the
// glyphs of its image buttons.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <string>

namespace groovane {

// The wide logo at the top right of the main window.
QPixmap drawBannerLogo(int width, int height);
// The small drum-pad picture below the panning panel, which is also the program's icon.
QPixmap drawPadLogo(int width, int height);
// The same picture as an SVG document of `width` x `height` units, for the desktop's icons.
std::string padLogoSvg(int width, int height);
// The render button's glyph: a grid turning into a wave.
QIcon drawRenderGlyph();
// A loudspeaker with a note, for Play Instrument.
QIcon drawSpeakerGlyph();
// A filled square, for Stop; a green triangle, for Play.
QIcon drawStopGlyph();
QIcon drawPlayGlyph();
// The program's icon, in the window's frame and on the desktop: the pad logo laid out on a
// square of kIconDesignSize units and scaled to `size` pixels a side.
inline constexpr int kIconDesignSize = 64;
QImage drawProgramIcon(int size);
QIcon drawWindowIcon();

} // namespace groovane
