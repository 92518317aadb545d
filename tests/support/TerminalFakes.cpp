#include "support/TerminalFakes.h"

namespace fernbeacon::test {

void QueueDispatcher::toMain(std::function<void()> work) {
    const std::lock_guard lock(mutex_);
    submissions_.push_back("main");
    queue_.push_back(std::move(work));
}

void QueueDispatcher::toBackground(WorkClass workClass, std::function<void()> work) {
    const std::lock_guard lock(mutex_);
    submissions_.push_back(workClass == WorkClass::UserInitiated ? "user-initiated" : "utility");
    queue_.push_back(std::move(work));
}

std::vector<std::string> QueueDispatcher::submissions() const {
    const std::lock_guard lock(mutex_);
    return submissions_;
}

void QueueDispatcher::drain() {
    for (;;) {
        std::function<void()> work;
        {
            const std::lock_guard lock(mutex_);
            if (queue_.empty()) {
                return;
            }
            work = std::move(queue_.front());
            queue_.pop_front();
        }
        work();
    }
}

void FakeWorkspace::add(std::optional<std::string> name) {
    applications.push_back({std::move(name), applications.size() + 1});
}

std::vector<RunningApplication> FakeWorkspace::runningApplications() {
    return applications;
}

void FakeWorkspace::activate(const RunningApplication& application, ActivationOptions options) {
    const std::lock_guard lock(mutex_);
    calls_.push_back("activate " + application.localizedName.value_or("(none)") +
                     (options == ActivationOptions::AllWindows ? " all" : " none"));
}

bool FakeWorkspace::raiseWindow(std::uint64_t windowId, std::optional<std::int32_t> ownerPid) {
    const std::lock_guard lock(mutex_);
    calls_.push_back("raise window " + std::to_string(windowId) + " pid " +
                     (ownerPid ? std::to_string(*ownerPid) : std::string("any")));
    return raiseSucceeds;
}

bool FakeWorkspace::raiseWindowOfProcess(std::int32_t pid,
                                         const std::optional<std::string>& title) {
    const std::lock_guard lock(mutex_);
    calls_.push_back("raise pid " + std::to_string(pid) + (title ? " title " + *title : ""));
    return raiseSucceeds;
}

std::vector<std::string> FakeWorkspace::calls() const {
    const std::lock_guard lock(mutex_);
    return calls_;
}

}  // namespace fernbeacon::test
