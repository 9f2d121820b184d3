#include "platform/handler_guard.h"

#include "platform/dialogs.h"

#include <cstdio>
#include <cstdlib>

namespace groovane {

namespace {
Dialogs* installedDialogs = nullptr;
}

Dialogs& dialogs()
{
    if (!installedDialogs) {
        // A handler ran before the application installed its dialogs: a programming error
        // that must not pass silently.
        std::fputs("groovane: no dialogs installed\n", stderr);
        std::abort();
    }
    return *installedDialogs;
}

void setDialogs(Dialogs* dialogs)
{
    installedDialogs = dialogs;
}

void showCurrentException(std::exception_ptr error)
{
    const std::string message = exceptionMessage(error);
    try {
        dialogs().error(errorBoxText(message));
    } catch (...) {
        std::fprintf(stderr, "groovane: %s\n", message.c_str());
    }
}

} // namespace groovane
