// The one boundary between the toolkit's event loop and the program's handlers. The toolkit
// must never see an exception, so every handler runs through runGuarded: an exception ends the
// handler where it was raised, what the handler did before stays done, and the message is shown
// in an error box.
#pragma once

#include "platform/exception.h"

#include <exception>
#include <string>
#include <utility>

namespace groovane {

// Shows the error box for the exception being handled. UI thread only.
void showCurrentException(std::exception_ptr error);

// Runs `handler`, catching everything it raises and showing it. True when it ended normally.
template <class Handler>
bool runGuarded(Handler&& handler) noexcept
{
    try {
        std::forward<Handler>(handler)();
        return true;
    } catch (...) {
        showCurrentException(std::current_exception());
        return false;
    }
}

// Wraps a handler for connecting to a toolkit signal: the slot runs it through runGuarded.
template <class Handler>
auto guarded(Handler handler)
{
    return [handler = std::move(handler)](auto&&...) mutable { runGuarded(handler); };
}

} // namespace groovane
