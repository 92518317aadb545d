#pragma once

#include <memory>

#include "app/TrayEnvironment.h"
#include "core/CommandRunner.h"
#include "platform/Platform.h"

namespace fernbeacon::app {

// Where a command's log goes: standard error with --verbose, else the system's log.
inline platform::LogTarget logTarget(bool verbose) {
    return verbose ? platform::LogTarget::StandardError : platform::LogTarget::System;
}

// The scan's parts on this system, built alike for the tray, `list`, `focus`, `watch` and
// `menu`: the scan's logger, the process probes, the preferences and the clock.
class SystemScan {
public:
    explicit SystemScan(platform::LogTarget logTarget,
                        platform::ProbeSource probes = platform::ProbeSource::Native);
    ~SystemScan();

    ScanParts parts() const;
    Preferences& preferences() const { return *preferences_; }

private:
    std::unique_ptr<Logger> logger_;
    std::unique_ptr<CommandRunner> runner_;
    std::unique_ptr<ProcessProbes> probes_;
    std::unique_ptr<Preferences> preferences_;
    SystemClock clock_;
};

}  // namespace fernbeacon::app
