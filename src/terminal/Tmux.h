#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/CommandRunner.h"
#include "core/Logger.h"
#include "terminal/ProcessServices.h"
#include "terminal/TerminalHost.h"

namespace fernbeacon {

struct TmuxPane {
    std::string id;  // "%3"
    std::string tty;
    std::string sessionId;  // "$1"
};

struct TmuxClient {
    std::int64_t activity = 0;
    std::int32_t pid = 0;
    std::string tty;
    std::string sessionId;
};

// `list-panes -a -F kPaneFormat` and `list-clients -F kClientFormat`, one item per line.
inline constexpr std::string_view kPaneFormat = "#{pane_id} #{pane_tty} #{session_id}";
inline constexpr std::string_view kClientFormat =
    "#{client_activity} #{client_pid} #{client_tty} #{session_id}";
std::vector<TmuxPane> parseTmuxPanes(std::string_view output);
std::vector<TmuxClient> parseTmuxClients(std::string_view output);

// The client most recently used, among those on `sessionId` when any is.
std::optional<TmuxClient> mostRecentClient(const std::vector<TmuxClient>& clients,
                                           std::string_view sessionId);

// The socket from a TMUX value ("/tmp/tmux-1000/default,4242,0") when it names `serverPid`.
std::optional<std::string> tmuxSocketFor(const Environment& environment, std::int32_t serverPid);

// Opens a terminal that runs `command`; false when none could be started.
using TerminalOpener = std::function<bool(const std::vector<std::string>& command)>;

// Panes, windows and clients of tmux servers, through the tmux command.
class TmuxControl {
public:
    TmuxControl(CommandRunner& runner, const Executables& executables,
                ProcessEnvironment& environment, Logger& logger);

    // Selects the pane on the target's TTY and its window and moves the most recent client
    // there, whose terminal is the outcome's outer one; with no client, opens a terminal
    // attached to the pane.
    FocusOutcome focusPane(const FocusTarget& target, const TerminalOpener& openTerminal);
    // Whether the default server has a client attached.
    bool hasAttachedClient();
    // A new window running claude in `directory`: in the most recent client's session, whose
    // terminal is the outcome's outer one, or in a new session shown by a new terminal.
    FocusOutcome openWindow(const std::string& directory, const TerminalOpener& openTerminal);

private:
    std::optional<std::string> run(const std::optional<std::string>& socket,
                                   std::vector<std::string> arguments);
    std::vector<std::string> command(const std::optional<std::string>& socket,
                                     std::vector<std::string> arguments) const;
    bool typeClaude(const std::optional<std::string>& socket, const std::string& paneId);

    CommandRunner& runner_;
    const Executables& executables_;
    ProcessEnvironment& environment_;
    Logger& logger_;
};

}  // namespace fernbeacon
