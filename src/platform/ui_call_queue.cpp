#include "platform/ui_call_queue.h"

#include <cstdio>

namespace groovane {

UiCallQueue::UiCallQueue() = default;

UiCallQueue::~UiCallQueue() = default;

void UiCallQueue::callAndWait(Call call)
{
    // The entry lives on the worker's stack; the UI thread marks it done as the last thing it
    // does with it, and the worker leaves only after seeing that.
    Entry entry{std::move(call)};
    std::unique_lock lock(mutex_);
    entries_.push_back(&entry);
    if (postListener_)
        postListener_();
    changed_.notify_all();
    changed_.wait(lock, [&] { return entry.done; });
}

bool UiCallQueue::runOne(std::unique_lock<std::mutex>& lock)
{
    if (entries_.empty())
        return false;
    Entry* entry = entries_.front();
    entries_.pop_front();
    Call call = std::move(entry->call);
    lock.unlock();
    std::exception_ptr error;
    try {
        call();
    } catch (...) {
        error = std::current_exception();
    }
    lock.lock();
    entry->done = true;
    changed_.notify_all();
    if (error) {
        // The worker goes on while the error is shown: the report may open a modal box whose
        // event loop serves this queue again.
        lock.unlock();
        report(error);
        lock.lock();
    }
    return true;
}

int UiCallQueue::serve()
{
    std::unique_lock lock(mutex_);
    int count = 0;
    while (runOne(lock))
        ++count;
    return count;
}

void UiCallQueue::serveUntil(const std::function<bool()>& isDone)
{
    std::unique_lock lock(mutex_);
    for (;;) {
        while (runOne(lock)) {
        }
        if (isDone())
            return;
        changed_.wait(lock);
    }
}

void UiCallQueue::notify()
{
    std::lock_guard lock(mutex_);
    changed_.notify_all();
}

std::size_t UiCallQueue::pending() const
{
    std::lock_guard lock(mutex_);
    return entries_.size();
}

void UiCallQueue::setPostListener(std::function<void()> listener)
{
    std::lock_guard lock(mutex_);
    postListener_ = std::move(listener);
}

void UiCallQueue::setErrorReporter(std::function<void(std::exception_ptr)> reporter)
{
    std::lock_guard lock(mutex_);
    errorReporter_ = std::move(reporter);
}

void UiCallQueue::report(std::exception_ptr error)
{
    std::function<void(std::exception_ptr)> reporter;
    {
        std::lock_guard lock(mutex_);
        reporter = errorReporter_;
    }
    if (reporter) {
        reporter(error);
        return;
    }
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "groovane: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "groovane: unknown error\n");
    }
}

UiCallQueue& uiCallQueue()
{
    static UiCallQueue queue;
    return queue;
}

} // namespace groovane
