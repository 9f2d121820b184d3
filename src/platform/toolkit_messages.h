// What the window toolkit writes on stderr. Its libraries chatter there in a release build: the
// video backend lists its codecs and hardware decoders on every start, and a session without a
// runtime folder gets a warning about it at every start too. Someone who started the program
// from a terminal should see the program's own lines (falling back to silence, a recording
// stopped) and the toolkit's real warnings, nothing else.
#pragma once

#include <QtGlobal>

class QString;

namespace groovane {

// True for a toolkit message that says nothing to a user: every debug message (the program
// writes its own lines itself, never as toolkit debug output) and the few warnings of a working
// fallback (the runtime folder not set, the video drawn without the graphics card, raise() on
// the offscreen platform). Any thread.
bool isToolkitChatter(QtMsgType type, const QString& message);

// In a release build, drops the toolkit's chatter and hands every other message on to the
// toolkit's own handler. A QT_LOGGING_RULES setting in the environment turns this off, so a
// developer who asks for the toolkit's categories sees all of them. Before the application
// object is made.
void quietenToolkitMessages();

} // namespace groovane
