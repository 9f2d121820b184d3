#include "platform/qt_dialogs.h"
#include "platform/qt_text.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QString>
#include <QWidget>

namespace groovane {

namespace {

// Message boxes wrap their text at blanks only, so a long name or path without one would make
// the box as wide as the screen allows and cut it off. A zero-width space after every character
// of such a run lets the text wrap there too, within the box's readable width.
QString wrappableText(const QString& text)
{
    constexpr qsizetype kLongRun = 24;
    const QChar breakOpportunity(0x200B);
    QString out;
    out.reserve(text.size() * 2);
    qsizetype runStart = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !text.at(i).isSpace())
            continue;
        const QStringView run = QStringView(text).mid(runStart, i - runStart);
        if (run.size() <= kLongRun) {
            out += run;
        } else {
            for (qsizetype k = 0; k < run.size(); ++k) {
                out += run.at(k);
                // Never between the two halves of a character outside the basic plane.
                if (!run.at(k).isHighSurrogate() && k + 1 < run.size())
                    out += breakOpportunity;
            }
        }
        if (i < text.size())
            out += text.at(i);
        runStart = i + 1;
    }
    return out;
}

std::optional<std::string> runFileDialog(QWidget* parent, const FileDialogOptions& options, bool save)
{
    QFileDialog dialog(parent, toQString(options.title), toQString(options.initialFolder),
                       toQString(QtDialogs::toQtFilter(options.filter)));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile
                            : (options.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile));
    if (!options.defaultExt.empty())
        dialog.setDefaultSuffix(toQString(options.defaultExt));
    if (save && !options.overwritePrompt)
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!options.fileName.empty())
        dialog.selectFile(toQString(options.fileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return fromQString(dialog.selectedFiles().first());
}

} // namespace

std::string QtDialogs::toQtFilter(const std::string& filter)
{
    std::string out;
    size_t pos = 0;
    while (pos <= filter.size() && !filter.empty()) {
        const size_t bar = filter.find('|', pos);
        if (bar == std::string::npos)
            break;
        const size_t next = filter.find('|', bar + 1);
        const std::string desc = filter.substr(pos, bar - pos);
        const std::string pattern =
            filter.substr(bar + 1, next == std::string::npos ? std::string::npos : next - bar - 1);
        if (!out.empty())
            out += ";;";
        std::string patterns = pattern;
        for (char& c : patterns)
            if (c == ';')
                c = ' ';
        out += desc + " (" + patterns + ")";
        if (next == std::string::npos)
            break;
        pos = next + 1;
    }
    return out;
}

MessageResult QtDialogs::message(const std::string& caption, const std::string& text, MessageIcon icon,
                                 MessageButtons buttons)
{
    QMessageBox box(parent_);
    box.setWindowTitle(toQString(caption));
    box.setTextFormat(Qt::PlainText);
    box.setText(wrappableText(toQString(text)));
    switch (icon) {
    case MessageIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MessageIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case MessageIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    switch (buttons) {
    case MessageButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return MessageResult::Ok;
    case MessageButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        return box.exec() == QMessageBox::Ok ? MessageResult::Ok : MessageResult::Cancel;
    case MessageButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? MessageResult::Yes : MessageResult::No;
    case MessageButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        switch (box.exec()) {
        case QMessageBox::Yes:
            return MessageResult::Yes;
        case QMessageBox::No:
            return MessageResult::No;
        default:
            return MessageResult::Cancel;
        }
    }
    return MessageResult::Cancel;
}

void QtDialogs::error(const std::string& text)
{
    message(kApplicationTitle, text, MessageIcon::Error, MessageButtons::Ok);
}

std::optional<std::string> QtDialogs::openFile(const FileDialogOptions& options)
{
    return runFileDialog(parent_, options, false);
}

std::optional<std::string> QtDialogs::saveFile(const FileDialogOptions& options)
{
    return runFileDialog(parent_, options, true);
}

} // namespace groovane
