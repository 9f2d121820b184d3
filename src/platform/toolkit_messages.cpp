#include "platform/toolkit_messages.h"

#include <QString>

#include <cstdlib>

namespace groovane {

namespace {

QtMessageHandler toolkitHandler = nullptr;

void filterToolkitMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!isToolkitChatter(type, message) && toolkitHandler != nullptr)
        toolkitHandler(type, context, message);
}

} // namespace

bool isToolkitChatter(QtMsgType type, const QString& message)
{
    if (type == QtDebugMsg)
        return true;
    if (type != QtWarningMsg)
        return false;
    // Warnings about nothing the user can or need mend: no runtime folder set, the intro video
    // drawn without the graphics card, and a window raised on the offscreen platform.
    return message.startsWith(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR not set")) ||
           message.endsWith(QStringLiteral("No RHI backend. Using CPU conversion.")) ||
           message == QStringLiteral("This plugin does not support raise()");
}

void quietenToolkitMessages()
{
#ifdef NDEBUG
    const char* rules = std::getenv("QT_LOGGING_RULES");
    if (rules != nullptr && *rules != '\0')
        return;
    toolkitHandler = qInstallMessageHandler(&filterToolkitMessage);
#endif
}

} // namespace groovane
