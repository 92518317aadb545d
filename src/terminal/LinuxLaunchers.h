#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/Logger.h"
#include "terminal/ProcessServices.h"
#include "terminal/SessionOpener.h"
#include "terminal/TerminalApplications.h"
#include "terminal/Tmux.h"

namespace fernbeacon {

// How one terminal opens a tab (or window) in a directory running a command.
struct TerminalLauncher {
    std::string_view name;     // the display name, as the settings offer it
    std::string_view program;  // what is looked for on the search path
    // The argument vector after the program. The directory is one argument (or the value of
    // one "--option=" argument) and never part of the command.
    std::vector<std::string> (*arguments)(const std::string& directory,
                                          const std::vector<std::string>& command);
    bool needsWorkingDirectory;  // the terminal starts in the directory instead of being told it
};

// The launchers, in the order "Auto" tries running terminals. tmux comes first in the
// choices but is not a program that shows windows, so it has no entry here.
std::span<const TerminalLauncher> terminalLaunchers();
const TerminalLauncher* launcherNamed(std::string_view name);
// For terminals that are not running: the system's choice, then xterm.
const TerminalLauncher& defaultTerminalLauncher();

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
    void launch(const std::string& terminal, const std::string& directory) override;
    std::vector<std::string> choices() const override;

    // A window of the terminal "Auto" would take, tmux left out, running `command`.
    bool openTerminalRunning(const std::vector<std::string>& command,
                             const std::optional<std::string>& directory);

private:
    std::string firstWindowTerminal();
    bool start(const TerminalLauncher& launcher, const std::optional<std::string>& directory,
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
