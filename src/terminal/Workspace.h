#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fernbeacon {

// One running application as the window system lists it.
struct RunningApplication {
    std::optional<std::string> localizedName;
    std::uint64_t handle = 0;  // the workspace's own reference, meaningful only to it
};

enum class ActivationOptions { None, AllWindows };

// The running applications and their windows. Implementations never throw; what cannot be done
// on this display returns false or an empty list and is logged by the implementation.
class Workspace {
public:
    virtual ~Workspace() = default;
    // In the workspace's own order.
    virtual std::vector<RunningApplication> runningApplications() = 0;
    virtual void activate(const RunningApplication& application, ActivationOptions options) = 0;
    // Whether windows of other programs can be raised on this display; when they cannot, the
    // implementation says so in the log once.
    virtual bool canRaiseWindows() = 0;
    // Brings the top-level window with this id to the front. False when there is no such
    // window, when it belongs to another process than `ownerPid` (when given), or when
    // windows cannot be raised here.
    virtual bool raiseWindow(std::uint64_t windowId, std::optional<std::int32_t> ownerPid) = 0;
    // Brings the process's most recently active window to the front, preferring one titled
    // `title` when given. False when the process shows no window or nothing can be raised.
    virtual bool raiseWindowOfProcess(std::int32_t pid,
                                      const std::optional<std::string>& title) = 0;
};

// A workspace that lists nothing and raises nothing, for systems without one yet.
class EmptyWorkspace final : public Workspace {
public:
    std::vector<RunningApplication> runningApplications() override { return {}; }
    void activate(const RunningApplication&, ActivationOptions) override {}
    bool canRaiseWindows() override { return false; }
    bool raiseWindow(std::uint64_t, std::optional<std::int32_t>) override { return false; }
    bool raiseWindowOfProcess(std::int32_t, const std::optional<std::string>&) override {
        return false;
    }
};

}  // namespace fernbeacon
