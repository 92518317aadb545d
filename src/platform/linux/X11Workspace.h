#pragma once

#include <atomic>
#include <filesystem>

#include "core/Logger.h"
#include "terminal/Workspace.h"

namespace fernbeacon::platform {

// The X11 display's managed windows (EWMH), one application per window, topmost first, named
// by the terminal their class or process is. Each call opens its own connection, so any thread
// may call. Without an X11 display nothing is listed or raised, and that is logged once.
class X11Workspace final : public Workspace {
public:
    explicit X11Workspace(Logger& logger, std::filesystem::path procRoot = "/proc");

    std::vector<RunningApplication> runningApplications() override;
    void activate(const RunningApplication& application, ActivationOptions options) override;
    bool canRaiseWindows() override;
    bool raiseWindow(std::uint64_t windowId, std::optional<std::int32_t> ownerPid) override;
    bool raiseWindowOfProcess(std::int32_t pid, const std::optional<std::string>& title) override;

private:
    class Display;

    std::optional<std::string> applicationName(Display& display, std::uint32_t window) const;

    Logger& logger_;
    const std::filesystem::path procRoot_;
    std::atomic<bool> reportedUnavailable_{false};
};

}  // namespace fernbeacon::platform
