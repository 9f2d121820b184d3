// The real dialogs: Qt message boxes and file dialogs, owned by a parent window.
#pragma once

#include "platform/dialogs.h"

class QWidget;

namespace groovane {

class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    MessageResult message(const std::string& caption, const std::string& text, MessageIcon icon,
                          MessageButtons buttons) override;
    void error(const std::string& text) override;
    std::optional<std::string> openFile(const FileDialogOptions& options) override;
    std::optional<std::string> saveFile(const FileDialogOptions& options) override;

    // "desc|pattern|desc|pattern" as Qt's name filter list "desc (pattern);;desc (pattern)".
    static std::string toQtFilter(const std::string& filter);

private:
    QWidget* parent_;
};

} // namespace groovane
