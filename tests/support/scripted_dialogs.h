// Dialogs answered from a script, so window tests never block on a modal box. Every box shown
// is recorded; answers are taken from queues, and an unexpected question fails the test.
#pragma once

#include "platform/dialogs.h"

#include <deque>
#include <string>
#include <vector>

namespace groovane::test {

struct ShownMessage {
    std::string caption;
    std::string text;
    MessageIcon icon;
    MessageButtons buttons;
};

class ScriptedDialogs : public Dialogs {
public:
    // Installs itself as the program's dialogs for its lifetime.
    ScriptedDialogs();
    ~ScriptedDialogs() override;

    std::deque<MessageResult> answers;                  // for the boxes with more than OK
    std::deque<std::optional<std::string>> openAnswers; // paths, or nothing for Cancel
    std::deque<std::optional<std::string>> saveAnswers;
    std::vector<ShownMessage> messages; // every box, error boxes included
    std::vector<std::string> errors;    // texts of the error boxes
    std::vector<FileDialogOptions> fileDialogs;

    MessageResult message(const std::string& caption, const std::string& text, MessageIcon icon,
                          MessageButtons buttons) override;
    void error(const std::string& text) override;
    std::optional<std::string> openFile(const FileDialogOptions& options) override;
    std::optional<std::string> saveFile(const FileDialogOptions& options) override;

private:
    Dialogs* previous_ = nullptr;
};

} // namespace groovane::test
