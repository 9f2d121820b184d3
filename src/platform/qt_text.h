// Text crosses between the program's byte strings and the toolkit's strings here.
//
// Files keep their bytes as they are: pattern cells, play-list names and paths come in an 8-bit
// code page (Windows-1252) in older files and as UTF-8 in newer ones, and nothing records which;
// a message may join a UTF-8 folder name to a Windows-1252 pattern name. To show them, every
// well-formed UTF-8 sequence is read as UTF-8 and every other byte as Windows-1252, one character
// for the byte, so every byte shows and none is lost.
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

// The text that `bytes` shows: each well-formed UTF-8 sequence (shortest form, no surrogate,
// nothing past U+10FFFF) as its character, each other byte as its Windows-1252 character. The
// five byte values that Windows-1252 leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) show as
// the control characters of the same number.
QString toQString(std::string_view bytes);

// Text as UTF-8 bytes (what the user typed, or a path the toolkit chose).
std::string fromQString(const QString& text);

// The bytes to keep for a control's text that the program set from `bytes`: those same bytes
// while the control still shows exactly their text, otherwise the text now shown, as UTF-8 (the
// user edited it).
std::string keptOrTyped(const QString& shown, const std::string& bytes);

} // namespace groovane
