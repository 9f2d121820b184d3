// Text crosses between the program's byte strings and the toolkit's strings here.
//
// Files keep their bytes as they are: pattern cells, play-list names and paths come from an 8-bit
// code page (Windows-1252) in older files and as UTF-8 in newer ones, and nothing records which.
// To show them, a byte string that is valid UTF-8 is read as UTF-8; any other is read as
// Windows-1252, one character per byte, so every byte shows as a character and none is lost.
//
// Text the user types goes back to bytes as UTF-8, the encoding of the rest of the system. Text
// that came from a file and has not been edited goes back as the bytes it came from
// (keptOrTyped), so loading a file and saving it again writes the same bytes, whatever the code
// page.
//
// Any thread; the functions keep no state.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace groovane {

// True when `bytes` is well-formed UTF-8: shortest forms only, no surrogates, nothing above
// U+10FFFF.
bool isValidUtf8(std::string_view bytes);

// The text that `bytes` shows: UTF-8 when they are valid UTF-8, Windows-1252 otherwise. The five
// byte values that Windows-1252 leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) show as the
// control characters of the same number, so each byte value has a character of its own.
QString toQString(std::string_view bytes);

// Text as UTF-8 bytes (what the user typed, or a path the toolkit chose).
std::string fromQString(const QString& text);

// The bytes to keep for a control's text that the program set from `bytes`: those same bytes
// while the control still shows exactly their text, otherwise the text now shown, as UTF-8 (the
// user edited it).
std::string keptOrTyped(const QString& shown, const std::string& bytes);

} // namespace groovane
