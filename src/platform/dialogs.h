// Every message box and file dialog of the program goes through this interface, so the
// windows never call the toolkit's modal dialogs directly and tests answer them from a script.
#pragma once

#include <optional>
#include <string>

namespace groovane {

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageResult { Ok, Cancel, Yes, No };

struct FileDialogOptions {
    std::string title;
    std::string filter;        // "description|pattern" pairs joined by "|", e.g. "*.sng|*.sng"
    std::string defaultExt;    // without the dot; appended when the typed name has none
    std::string initialFolder; // empty: the dialog's own choice
    std::string fileName;      // proposed name
    bool mustExist = false;    // open: only an existing file can be chosen
    bool overwritePrompt = false;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A message box with the given caption, text, icon and buttons; the button pressed.
    // Closing the box without a button counts as Cancel (OK+Cancel, Yes+No+Cancel), No (Yes+No)
    // or OK.
    virtual MessageResult message(const std::string& caption, const std::string& text, MessageIcon icon,
                                  MessageButtons buttons) = 0;

    // The error box of the handler guard: application title as caption, error icon, OK.
    virtual void error(const std::string& text) = 0;

    // The chosen file's path, or nothing when the user cancelled.
    virtual std::optional<std::string> openFile(const FileDialogOptions& options) = 0;
    virtual std::optional<std::string> saveFile(const FileDialogOptions& options) = 0;
};

// The dialogs that handlers use. The application installs the real ones at start; tests
// install scripted ones. UI thread only.
Dialogs& dialogs();
void setDialogs(Dialogs* dialogs);

// The application's title, the caption of every error box.
inline constexpr const char* kApplicationTitle = "Groovane Pro";

} // namespace groovane
