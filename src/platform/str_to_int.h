// The one conversion from text to a 32-bit integer that every part of the program uses:
// lines of pattern, song and pan files, the length and time boxes, the loop count.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace groovane {

// Accepts an optional sign followed by decimal digits whose value fits a signed 32-bit integer.
// Anything else (blanks, other characters, an empty text, overflow) raises EConvertError
// "'<text>' is not a valid integer value". Any thread.
int32_t strToInt(const std::string& text);

// The same rule without raising: no value when the text is not such an integer.
std::optional<int32_t> tryStrToInt(const std::string& text);

} // namespace groovane
