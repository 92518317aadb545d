#pragma once

#include "core/CommandRunner.h"
#include "core/Logger.h"
#include "terminal/DBus.h"
#include "terminal/ProcessServices.h"
#include "terminal/TerminalHost.h"
#include "terminal/Tmux.h"
#include "terminal/TtyOwnership.h"
#include "terminal/Workspace.h"

namespace fernbeacon {

// What the Linux hosts are built from. Everything must outlive the hosts.
struct LinuxHostServices {
    CommandRunner& runner;
    const Executables& executables;
    ProcessEnvironment& environment;
    Workspace& workspace;
    DBusSession& bus;
    Logger& logger;
};

// Brings the owner's window to the front: the one named by WINDOWID when it is the owner's,
// else the owner's most recent window (titled `title` when given).
bool raiseTerminalWindow(const LinuxHostServices& services, const Environment& environment,
                         const TtyOwner& owner, const std::optional<std::string>& title = {});

// Opens a tab running `command` (in `directory` when given) in a running kitty that listens for
// remote control, and brings it to the front. False when no kitty listens or it refused.
bool openKittyTab(const LinuxHostServices& services, ProcessTableSource& processes,
                  const std::optional<std::string>& directory,
                  const std::vector<std::string>& command);

// Adds, in the order they are asked: tmux, kitty, WezTerm, Konsole, GNOME Terminal, Tilix, and
// last the window of every other terminal.
void addLinuxHosts(HostRegistry& registry, const LinuxHostServices& services, TmuxControl& tmux,
                   TerminalOpener openTerminal);

std::unique_ptr<TerminalHost> makeKonsoleHost(const LinuxHostServices& services);
std::unique_ptr<TerminalHost> makeGnomeTerminalHost(const LinuxHostServices& services);
std::unique_ptr<TerminalHost> makeTilixHost(const LinuxHostServices& services);

// "/org/gnome/Terminal/screen/0a1b_..." gives "0a1b-...".
std::optional<std::string> gnomeTerminalScreenUuid(std::string_view screenPath);
// The number at the end of "/Sessions/3".
std::optional<std::int32_t> trailingNumber(std::string_view path);

}  // namespace fernbeacon
