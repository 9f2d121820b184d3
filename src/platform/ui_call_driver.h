// Connects the UI call queue (ui_call_queue.h) to the Qt event loop: each call a worker hands
// over is run from the loop as soon as it gets there, also inside nested loops (modal boxes),
// and an error a call raises is shown in the error box like any handler's.
//
// UI thread only. Create one, after the application object, for the program's lifetime.
#pragma once

namespace groovane {

class UiCallQueue;

class UiCallDriver {
public:
    explicit UiCallDriver(UiCallQueue& queue);
    ~UiCallDriver();
    UiCallDriver(const UiCallDriver&) = delete;
    UiCallDriver& operator=(const UiCallDriver&) = delete;

private:
    UiCallQueue& queue_;
};

} // namespace groovane
