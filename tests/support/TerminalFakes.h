#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/Dispatcher.h"
#include "terminal/Workspace.h"

namespace fernbeacon::test {

// Keeps submitted work until the test runs it, remembering which queue each went to.
class QueueDispatcher final : public Dispatcher {
public:
    void toMain(std::function<void()> work) override;
    void toBackground(WorkClass workClass, std::function<void()> work) override;

    // "main", "user-initiated" or "utility", in submission order, including work already run.
    std::vector<std::string> submissions() const;
    // Runs queued work, and the work it queues, until nothing is left.
    void drain();

private:
    mutable std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
    std::vector<std::string> submissions_;
};

// Runs everything at once on the calling thread.
class ImmediateDispatcher final : public Dispatcher {
public:
    void toMain(std::function<void()> work) override { work(); }
    void toBackground(WorkClass, std::function<void()> work) override { work(); }
};

// Applications named by the test, in its order; records activations and raises.
class FakeWorkspace final : public Workspace {
public:
    std::vector<RunningApplication> applications;
    bool raiseSucceeds = true;
    bool canRaise = true;

    // Adds an application; an empty optional makes one without a name.
    void add(std::optional<std::string> name);

    std::vector<RunningApplication> runningApplications() override;
    void activate(const RunningApplication& application, ActivationOptions options) override;
    bool canRaiseWindows() override { return canRaise; }
    bool raiseWindow(std::uint64_t windowId, std::optional<std::int32_t> ownerPid) override;
    bool raiseWindowOfProcess(std::int32_t pid, const std::optional<std::string>& title) override;

    // "activate NAME all", "activate NAME none", "raise window ID pid P", "raise pid P title T".
    std::vector<std::string> calls() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

}  // namespace fernbeacon::test
