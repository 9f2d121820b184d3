// The program's error type. Handlers raise these; the one guard at the handler boundary
// (handler_guard.h) shows the message in an error box. Subsystems derive their own classes
// so callers can tell a wave error from a conversion error, but every message travels as text.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace groovane {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// A text that should have been a decimal integer was not one.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A file could not be opened, created, read or written.
class EFileError : public Exception {
public:
    using Exception::Exception;
};

// A read or write on an open stream could not move all the bytes asked for: "Stream read
// error" when a file ended before a block that had to be there, "Stream write error" when the
// disk refused bytes. The sound layer's streams and the renderer's files raise it alike.
class EStreamError : public Exception {
public:
    using Exception::Exception;
};

// A name or path as a message shows it: a text of more than 161 bytes keeps its first 120 and
// its last 40 with "…" between (cut only between characters), so a name of megabytes neither
// freezes an error box nor floods the terminal; a control character shows as "?". The full text
// is what the program still works with; this is for reading only. Any thread.
std::string shownText(const std::string& text);

// Fills the single "%s" or "%d" of a message template with an argument, the way every fixed
// message of the program carries at most one argument. The argument is shown as shownText shows
// it.
std::string formatMessage(const std::string& templ, const std::string& arg);
std::string formatMessage(const std::string& templ, long long arg);

// The message of a raised error: its what() text, or "Unknown error" for anything that is not
// a standard exception.
std::string exceptionMessage(std::exception_ptr error);

// The text an error box shows for a message: a "." is appended when the last character sorts
// after ".", so "Cannot open file x.pat" gains a full stop and "Done." or "(x)" stay as they are.
// The command-line render prints the same text. A message longer than any fixed text with a
// shortened argument (one built by hand around a huge text) is shortened as shownText does,
// with a wider margin.
std::string errorBoxText(const std::string& message);

} // namespace groovane
