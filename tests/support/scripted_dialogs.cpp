#include "support/scripted_dialogs.h"

#include <gtest/gtest.h>

namespace groovane::test {

ScriptedDialogs::ScriptedDialogs()
{
    setDialogs(this);
}

ScriptedDialogs::~ScriptedDialogs()
{
    setDialogs(nullptr);
}

MessageResult ScriptedDialogs::message(const std::string& caption, const std::string& text, MessageIcon icon,
                                       MessageButtons buttons)
{
    messages.push_back({caption, text, icon, buttons});
    if (buttons == MessageButtons::Ok)
        return MessageResult::Ok;
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text;
        return buttons == MessageButtons::YesNo ? MessageResult::No : MessageResult::Cancel;
    }
    const MessageResult answer = answers.front();
    answers.pop_front();
    return answer;
}

void ScriptedDialogs::error(const std::string& text)
{
    errors.push_back(text);
    messages.push_back({kApplicationTitle, text, MessageIcon::Error, MessageButtons::Ok});
}

std::optional<std::string> ScriptedDialogs::openFile(const FileDialogOptions& options)
{
    fileDialogs.push_back(options);
    if (openAnswers.empty()) {
        ADD_FAILURE() << "unexpected open dialog: " << options.title;
        return std::nullopt;
    }
    auto answer = openAnswers.front();
    openAnswers.pop_front();
    return answer;
}

std::optional<std::string> ScriptedDialogs::saveFile(const FileDialogOptions& options)
{
    fileDialogs.push_back(options);
    if (saveAnswers.empty()) {
        ADD_FAILURE() << "unexpected save dialog: " << options.title;
        return std::nullopt;
    }
    auto answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
}

} // namespace groovane::test
