// The application's idle processing as the step timers see it: one idle-handler slot that at
// most one handler occupies (putting a handler in displaces the one before), whether the
// application is the active one, and its activation notices.
//
// A handler in the slot is polled on the UI thread between events. Instead of polling in a busy
// loop, the handler says how long until it is due, and the event-loop driver (idle_driver.h)
// sleeps until then; every change that can move the due time calls dueTimeChanged() so the driver
// can re-arm. Nothing here knows the toolkit, so timers are tested by calling runIdle() directly.
//
// UI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace groovane {

class IdleHandler {
public:
    virtual ~IdleHandler() = default;
    // One idle poll. May raise (a handler's error): the driver shows it and goes on polling.
    virtual void idle() = 0;
    // Milliseconds from now until idle() has work to do; 0 when it is due already.
    virtual uint32_t msUntilDue() const = 0;
};

class ActivationListener {
public:
    virtual ~ActivationListener() = default;
    virtual void applicationActivated() = 0;
    virtual void applicationDeactivated() = 0;
};

class IdleHost {
public:
    IdleHandler* idleHandler() const { return handler_; }
    // Puts `handler` into the slot, displacing whatever was there.
    void setIdleHandler(IdleHandler* handler);
    // Empties the slot, whichever handler was in it.
    void clearIdleHandler();
    // The handler in the slot is due at another time than before.
    void dueTimeChanged();

    // Polls the handler in the slot once; does nothing with an empty slot. Raises what it raises.
    void runIdle();

    // The driver's hook, called whenever the slot or the due time changes.
    void setWakeListener(std::function<void()> listener) { wakeListener_ = std::move(listener); }

    // While paused (a handler pumping events, such as the song render), the driver does not
    // poll. Pauses nest.
    class Pause {
    public:
        explicit Pause(IdleHost& host) : host_(host) { ++host_.pauseDepth_; }
        ~Pause();
        Pause(const Pause&) = delete;
        Pause& operator=(const Pause&) = delete;

    private:
        IdleHost& host_;
    };
    bool isPaused() const { return pauseDepth_ > 0; }

    // Whether the application is the active one; notices go to every listener on a change.
    bool isActive() const { return active_; }
    void setActive(bool active);
    void addActivationListener(ActivationListener* listener);
    void removeActivationListener(ActivationListener* listener);

private:
    void wake();

    IdleHandler* handler_ = nullptr;
    std::function<void()> wakeListener_;
    int pauseDepth_ = 0;
    bool active_ = true;
    std::vector<ActivationListener*> listeners_;
};

// The application's one idle host.
IdleHost& applicationIdleHost();

} // namespace groovane
