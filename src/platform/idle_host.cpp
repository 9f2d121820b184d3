#include "platform/idle_host.h"

#include <algorithm>

namespace groovane {

void IdleHost::setIdleHandler(IdleHandler* handler)
{
    handler_ = handler;
    wake();
}

void IdleHost::clearIdleHandler()
{
    handler_ = nullptr;
    wake();
}

void IdleHost::dueTimeChanged()
{
    wake();
}

void IdleHost::runIdle()
{
    if (handler_)
        handler_->idle();
}

IdleHost::Pause::~Pause()
{
    if (--host_.pauseDepth_ == 0)
        host_.wake();
}

void IdleHost::setActive(bool active)
{
    if (active == active_)
        return;
    active_ = active;
    // A listener may unregister itself while being notified; walk a copy.
    const auto listeners = listeners_;
    for (auto* listener : listeners) {
        if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
            continue;
        if (active)
            listener->applicationActivated();
        else
            listener->applicationDeactivated();
    }
}

void IdleHost::addActivationListener(ActivationListener* listener)
{
    listeners_.push_back(listener);
}

void IdleHost::removeActivationListener(ActivationListener* listener)
{
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void IdleHost::wake()
{
    if (wakeListener_)
        wakeListener_();
}

IdleHost& applicationIdleHost()
{
    static IdleHost host;
    return host;
}

} // namespace groovane
