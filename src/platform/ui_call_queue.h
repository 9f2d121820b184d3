// The blocking hand-over of a call from a worker thread to the user-interface thread. A worker
// (a streamed player's refill worker) puts a call in the queue and waits until the UI thread has
// run it; the UI thread runs the calls from its event loop and also while it itself waits for a
// worker to end, so the two never wait on each other.
//
// Nothing here knows the toolkit: the program connects the queue to its event loop
// (ui_call_driver.h), and tests serve it by hand, so every hand-over happens exactly when the
// test says.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>

namespace groovane {

class UiCallQueue {
public:
    using Call = std::function<void()>;

    UiCallQueue();
    ~UiCallQueue();
    UiCallQueue(const UiCallQueue&) = delete;
    UiCallQueue& operator=(const UiCallQueue&) = delete;

    // Worker threads (never the UI thread): hands `call` to the UI thread and blocks until it
    // has run there. An exception the call raises does not come back to the worker: the worker
    // is released first, then the error goes to the error reporter on the UI thread.
    void callAndWait(Call call);

    // UI thread: runs every call handed over by now, oldest first; returns how many ran. A call
    // may itself serve the queue (a nested event loop); each call runs once.
    int serve();

    // UI thread: blocks until `isDone` holds, running calls as they are handed over meanwhile.
    // `isDone` is evaluated with the queue's lock held, so it must not use the queue; it is
    // checked again after every call and whenever notify() is called.
    void serveUntil(const std::function<bool()>& isDone);

    // Any thread: wakes serveUntil so it looks at its condition again. A thread changes what the
    // condition reads first, then notifies.
    void notify();

    // Calls handed over and not yet taken. Any thread.
    std::size_t pending() const;

    // Called on the handing-over thread each time a call is handed over, so an event loop can
    // schedule serve(); it must only post and return. Empty: nobody is told. UI thread.
    void setPostListener(std::function<void()> listener);

    // Where errors raised by calls go; runs on the UI thread. Empty: one line on stderr. UI thread.
    void setErrorReporter(std::function<void(std::exception_ptr)> reporter);

private:
    struct Entry {
        Call call;
        bool done = false;
    };

    // Takes the oldest entry and runs it with the lock released; false when there was none.
    bool runOne(std::unique_lock<std::mutex>& lock);
    void report(std::exception_ptr error);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Entry*> entries_;
    std::function<void()> postListener_;
    std::function<void(std::exception_ptr)> errorReporter_;
};

// The queue every worker of the program hands its calls to.
UiCallQueue& uiCallQueue();

} // namespace groovane
