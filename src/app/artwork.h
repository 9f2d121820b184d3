// The pictures the program draws for itself: the two logo panels of the main window and the
// glyphs of its image buttons.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace groovane {

// The wide logo at the top right of the main window.
QPixmap drawBannerLogo(int width, int height);
// The small drum-pad picture below the panning panel.
QPixmap drawPadLogo(int width, int height);
// The render button's glyph: a grid turning into a wave.
QIcon drawRenderGlyph();
// A loudspeaker with a note, for Play Instrument.
QIcon drawSpeakerGlyph();
// A filled square, for Stop; a green triangle, for Play.
QIcon drawStopGlyph();
QIcon drawPlayGlyph();
// The program's window icon.
QIcon drawWindowIcon();

} // namespace groovane
