// Runs a piece of work when the scope that made it ends, however it ends: by return or by an
// exception. The work must not raise.
#pragma once

#include <utility>

namespace groovane {

template <class Work>
class ScopeExit {
public:
    explicit ScopeExit(Work work) : work_(std::move(work)) {}
    ~ScopeExit() { work_(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    Work work_;
};

} // namespace groovane
