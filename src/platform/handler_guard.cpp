#include "handler_guard.h"

#include "dialogs.h"

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

std::string errorBoxText(const std::string& message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        return message + ".";
    return message;
}

void showCurrentException(std::exception_ptr error)
{
    std::string message;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "Unknown error";
    }
    try {
        dialogs().error(errorBoxText(message));
    } catch (...) {
        std::fprintf(stderr, "groovane: %s\n", message.c_str());
    }
}

} // namespace groovane
