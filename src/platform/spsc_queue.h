// A fixed-size queue between exactly one producer thread and one consumer thread, without locks
// or allocation after construction: how the UI side hands commands to the audio callback and
// the callback hands back what it has let go of, without either ever waiting on the other.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

namespace groovane {

template <typename T>
class SpscQueue {
public:
    // Holds up to `capacity` items. Allocates here, never afterwards.
    explicit SpscQueue(size_t capacity) : size_(capacity + 1), items_(new T[capacity + 1]) {}

    SpscQueue(const SpscQueue&) = delete;
    SpscQueue& operator=(const SpscQueue&) = delete;

    // Producer thread. False when full (the item is not queued).
    bool push(const T& item) noexcept
    {
        const size_t tail = tail_.load(std::memory_order_relaxed);
        const size_t next = advance(tail);
        if (next == head_.load(std::memory_order_acquire))
            return false;
        items_[tail] = item;
        tail_.store(next, std::memory_order_release);
        return true;
    }

    // Consumer thread. The oldest item, or null when empty; it stays queued until pop().
    const T* front() const noexcept
    {
        const size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire))
            return nullptr;
        return &items_[head];
    }

    // Consumer thread. Removes the oldest item; only after front() returned one.
    void pop() noexcept { head_.store(advance(head_.load(std::memory_order_relaxed)), std::memory_order_release); }

    // Consumer thread. Takes the oldest item into *out; false when empty.
    bool tryPop(T* out) noexcept
    {
        const T* item = front();
        if (!item)
            return false;
        *out = *item;
        pop();
        return true;
    }

    // Either thread; a snapshot.
    bool full() const noexcept
    {
        return advance(tail_.load(std::memory_order_acquire)) == head_.load(std::memory_order_acquire);
    }

private:
    size_t advance(size_t index) const noexcept { return index + 1 == size_ ? 0 : index + 1; }

    const size_t size_;
    std::unique_ptr<T[]> items_;
    alignas(64) std::atomic<size_t> head_{0};
    alignas(64) std::atomic<size_t> tail_{0};
};

} // namespace groovane
