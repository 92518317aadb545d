#include "terminal/LinuxHosts.h"

#include <unistd.h>

#include <filesystem>
#include <set>

#include "core/ProcessOutput.h"
#include "core/Text.h"
#include "terminal/HostListings.h"

namespace fernbeacon {
namespace {

// Runs a host's command; its standard output when it succeeded, else absent after a message.
std::optional<std::string> runHostCommand(const LinuxHostServices& services, const char* host,
                                          CommandRequest request) {
    CommandResult result = services.runner.run(request);
    if (result.started && !result.timedOut && result.exitStatus == 0) {
        return std::move(result.standardOutput);
    }
    services.logger.error("%s did not answer: %s", host,
                          !result.started ? result.startError
                          : result.timedOut
                              ? std::string("timed out")
                              : std::string(trimWhitespaceAndNewlines(result.standardError)));
    return std::nullopt;
}

// One running kitty's remote control.
struct KittyRemote {
    std::string kitty;   // the program
    std::string socket;  // as kitty's --to takes it
    std::int32_t pid = 0;
};

// Brings the OS window that shows kitty's window `window` (without one, the window that runs
// `rootPid`) to the front. kitty's focus-window raises it too, but a window manager may refuse
// that to an application (openbox does for a window on another desktop); a new tab's OS window
// kitty does not raise at all.
void raiseKittyOsWindow(const LinuxHostServices& services, const KittyRemote& remote,
                        std::optional<std::int64_t> window, std::int32_t rootPid) {
    if (!services.workspace.canRaiseWindows()) {
        return;
    }
    const auto listing =
        runHostCommand(services, "kitty", {{remote.kitty, "@", "--to", remote.socket, "ls"}});
    if (const auto osWindow =
            listing ? kittyOsWindowShowing(*listing, window, rootPid) : std::nullopt) {
        services.workspace.raiseWindow(*osWindow, remote.pid);
    }
}

// Whether a program with this environment shows its windows where ours appear, as far as the
// two say.
bool onOurDisplay(const Environment& ours, const Environment& theirs) {
    for (const std::string_view name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const auto mine = environmentValue(ours, name);
        const auto its = environmentValue(theirs, name);
        if (mine && its && *mine != *its) {
            return false;
        }
    }
    return true;
}

// A running kitty on our display that listens for remote control. kitty tells the programs in
// its windows where it listens; it does not say so in its own environment.
std::optional<KittyRemote> listeningKitty(const LinuxHostServices& services,
                                          ProcessTableSource& processes, const std::string& kitty) {
    const std::vector<ProcessRow> rows = processes.processRows();
    std::set<std::int32_t> kitties;
    for (const ProcessRow& row : rows) {
        if (row.command == "kitty") {
            kitties.insert(row.pid);
        }
    }
    const Environment ours = services.environment.environmentOf(::getpid());
    for (const ProcessRow& row : rows) {
        if (!kitties.contains(row.ppid) || kitties.contains(row.pid)) {
            continue;
        }
        const Environment environment = services.environment.environmentOf(row.pid);
        const auto socket = environmentValue(environment, "KITTY_LISTEN_ON");
        const auto kittyPid = environmentValue(environment, "KITTY_PID");
        if (socket && (!kittyPid || parseInt32(*kittyPid) == row.ppid) &&
            onOurDisplay(ours, environment)) {
            return KittyRemote{kitty, *socket, row.ppid};
        }
    }
    return std::nullopt;
}

class TmuxHost final : public TerminalHost {
public:
    TmuxHost(TmuxControl& tmux, TerminalOpener openTerminal)
        : tmux_(tmux), openTerminal_(std::move(openTerminal)) {}
    FocusOutcome focus(const FocusTarget& target) override {
        return tmux_.focusPane(target, openTerminal_);
    }

private:
    TmuxControl& tmux_;
    const TerminalOpener openTerminal_;
};

// Remote control selects the window and raises it, when kitty listens on a socket.
class KittyHost final : public TerminalHost {
public:
    explicit KittyHost(const LinuxHostServices& services) : services_(services) {}
    FocusOutcome focus(const FocusTarget& target) override {
        const Environment environment = services_.environment.environmentOf(target.pid);
        const auto socket = environmentValue(environment, "KITTY_LISTEN_ON");
        // A number or nothing: the value becomes part of kitty's match expression.
        const auto windowText = environmentValue(environment, "KITTY_WINDOW_ID");
        const auto window = windowText ? parseInt64(*windowText) : std::nullopt;
        const auto kittyPid = environmentValue(environment, "KITTY_PID");
        const auto kitty = services_.executables.find("kitty");
        const bool ours = !kittyPid || parseInt32(*kittyPid) == target.owner->terminalPid;
        if (socket && ours && kitty) {
            const KittyRemote remote{*kitty, *socket, target.owner->terminalPid};
            const std::string match = window ? "id:" + std::to_string(*window)
                                             : "pid:" + std::to_string(target.owner->rootPid);
            if (runHostCommand(
                    services_, "kitty",
                    {{*kitty, "@", "--to", *socket, "focus-window", "--match", match}})) {
                raiseKittyOsWindow(services_, remote, window, target.owner->rootPid);
                return true;
            }
        } else {
            services_.logger.info(
                "kitty remote control is not available for %s; raising its "
                "window",
                target.ttyPath);
        }
        return raiseTerminalWindow(services_, ours ? environment : Environment(), *target.owner);
    }

private:
    const LinuxHostServices services_;
};

// `wezterm cli` selects the pane; the window is raised by the window system.
class WezTermHost final : public TerminalHost {
public:
    explicit WezTermHost(const LinuxHostServices& services) : services_(services) {}
    FocusOutcome focus(const FocusTarget& target) override {
        const Environment environment = services_.environment.environmentOf(target.pid);
        const auto wezterm = services_.executables.find("wezterm");
        if (!wezterm) {
            services_.logger.error("wezterm is not installed");
            return raiseTerminalWindow(services_, {}, *target.owner);
        }
        CommandRequest list{{*wezterm, "cli", "list", "--format", "json"}};
        if (const auto socket = environmentValue(environment, "WEZTERM_UNIX_SOCKET")) {
            list.environment.emplace_back("WEZTERM_UNIX_SOCKET", *socket);
        }
        const auto output = runHostCommand(services_, "wezterm", list);
        const auto pane = output ? weztermPaneShowing(*output, target.ttyPath,
                                                      environmentValue(environment, "WEZTERM_PANE"))
                                 : std::nullopt;
        if (!pane) {
            services_.logger.error("No WezTerm pane shows %s", target.ttyPath);
            return false;
        }
        CommandRequest activate{
            {*wezterm, "cli", "activate-pane", "--pane-id", std::to_string(pane->id)}};
        activate.environment = list.environment;
        if (!runHostCommand(services_, "wezterm", activate)) {
            return false;
        }
        return raiseTerminalWindow(services_, {}, *target.owner, pane->windowTitle);
    }

private:
    const LinuxHostServices services_;
};

// Every other terminal: its window comes to the front, whichever tab it shows.
class WindowHost final : public TerminalHost {
public:
    explicit WindowHost(const LinuxHostServices& services) : services_(services) {}
    FocusOutcome focus(const FocusTarget& target) override {
        return raiseTerminalWindow(services_, services_.environment.environmentOf(target.pid),
                                   *target.owner);
    }

private:
    const LinuxHostServices services_;
};

}  // namespace

bool raiseTerminalWindow(const LinuxHostServices& services, const Environment& environment,
                         const TtyOwner& owner, const std::optional<std::string>& title) {
    if (!services.workspace.canRaiseWindows()) {
        return false;
    }
    if (const auto windowId = environmentValue(environment, "WINDOWID")) {
        if (const auto id = parseInt64(*windowId);
            id && *id > 0 &&
            services.workspace.raiseWindow(static_cast<std::uint64_t>(*id), owner.terminalPid)) {
            return true;
        }
    }
    if (services.workspace.raiseWindowOfProcess(owner.terminalPid, title)) {
        return true;
    }
    services.logger.error("Could not raise a window of %s (PID %d)", owner.name, owner.terminalPid);
    return false;
}

bool openKittyTab(const LinuxHostServices& services, ProcessTableSource& processes,
                  const std::optional<std::string>& directory,
                  const std::vector<std::string>& command) {
    // A directory that has gone is reported where kitties of their own are started; a tab
    // would close before anyone could read why.
    std::error_code error;
    if (directory && !std::filesystem::is_directory(*directory, error)) {
        return false;
    }
    const auto kitty = services.executables.find("kitty");
    const auto remote = kitty ? listeningKitty(services, processes, *kitty) : std::nullopt;
    if (!remote) {
        return false;
    }
    CommandRequest launch{
        {remote->kitty, "@", "--to", remote->socket, "launch", "--type=tab", "--"}};
    // kitty expands "~" and "$NAME" in a --cwd; the directory reaches cd as an argument instead.
    if (directory) {
        launch.arguments.insert(
            launch.arguments.end(),
            {"/bin/sh", "-c", "cd -- \"$1\" && shift && exec \"$@\"", "sh", *directory});
    }
    launch.arguments.insert(launch.arguments.end(), command.begin(), command.end());
    const auto output = runHostCommand(services, "kitty", launch);
    if (!output) {
        return false;
    }
    // The new tab is kitty's current one; its OS window may be behind others.
    if (const auto window = parseInt64(trimWhitespaceAndNewlines(*output))) {
        raiseKittyOsWindow(services, *remote, window, 0);
    }
    return true;
}

std::optional<std::int32_t> trailingNumber(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::nullopt : parseInt32(path.substr(slash + 1));
}

void addLinuxHosts(HostRegistry& registry, const LinuxHostServices& services, TmuxControl& tmux,
                   TerminalOpener openTerminal) {
    registry.add(TabHost::Tmux, std::make_unique<TmuxHost>(tmux, std::move(openTerminal)));
    registry.add(TabHost::Kitty, std::make_unique<KittyHost>(services));
    registry.add(TabHost::WezTerm, std::make_unique<WezTermHost>(services));
    registry.add(TabHost::Konsole, makeKonsoleHost(services));
    registry.add(TabHost::GnomeTerminal, makeGnomeTerminalHost(services));
    registry.add(TabHost::Tilix, makeTilixHost(services));
    registry.add(TabHost::Window, std::make_unique<WindowHost>(services));
}

}  // namespace fernbeacon
