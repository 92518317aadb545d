#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Logger.h"
#include "core/TerminalNames.h"
#include "terminal/ProcessServices.h"
#include "terminal/SessionOpener.h"
#include "terminal/TerminalApplications.h"
#include "terminal/Tmux.h"

namespace fernbeacon {

// The terminals that can open a new session here, in the order "Auto" tries running ones.
// tmux comes first in the choices but is not a program that shows windows, so it is not here.
std::vector<const TerminalDescriptor*> launchableTerminals();
// A launchable terminal, or the system's choice ("x-terminal-emulator"); null for others.
const TerminalDescriptor* launchableTerminalNamed(std::string_view name);

inline constexpr std::string_view kTmuxTerminal = "tmux";

// New sessions on Linux. "Auto": a tmux client that is attached gets a window; otherwise the
// first running terminal of the list; otherwise the system's terminal; otherwise xterm.
class LinuxSessionOpener final : public SessionOpener {
public:
    // Opens a tab running the command in a terminal that is running; false when it cannot.
    using TabOpener = std::function<bool(const std::optional<std::string>& directory,
                                         const std::vector<std::string>& command)>;

    // Without `kittyTab`, every kitty session starts a kitty of its own.
    LinuxSessionOpener(ProcessLauncher& launcher, const Executables& executables,
                       TerminalApplications& applications, TmuxControl& tmux, std::string userShell,
                       Logger& logger, TabOpener kittyTab = {});

    std::string chooseTerminal(const std::string& preferred) override;
    std::optional<FocusTarget> launch(const std::string& terminal,
                                      const std::string& directory) override;
    std::vector<std::string> choices() const override;

    // A window of the terminal "Auto" would take, tmux left out, running `command`.
    bool openTerminalRunning(const std::vector<std::string>& command,
                             const std::optional<std::string>& directory);

private:
    std::string firstWindowTerminal();
    bool start(const TerminalDescriptor& terminal, const std::optional<std::string>& directory,
               const std::vector<std::string>& command);

    ProcessLauncher& launcher_;
    const Executables& executables_;
    TerminalApplications& applications_;
    TmuxControl& tmux_;
    const std::string userShell_;
    Logger& logger_;
    const TabOpener kittyTab_;
};

}  // namespace fernbeacon
