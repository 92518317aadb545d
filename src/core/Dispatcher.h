#pragma once

#include <functional>

namespace fernbeacon {

// Kinds of background work, in the order of their urgency.
enum class WorkClass {
    UserInitiated,  // a scan cycle, a click's focusing or new-session work
    Utility,        // the launch warm-up
};

// Where work runs. The main thread owns the menu, the views and every application activation;
// everything that waits on a child process or a file runs on a worker.
class Dispatcher {
public:
    virtual ~Dispatcher() = default;
    // Runs `work` later on the main thread; calls submitted from one thread run in their order.
    virtual void toMain(std::function<void()> work) = 0;
    // Runs `work` on a worker thread; calls may run concurrently with each other.
    virtual void toBackground(WorkClass workClass, std::function<void()> work) = 0;
};

}  // namespace fernbeacon
