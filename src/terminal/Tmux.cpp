#include "terminal/Tmux.h"

#include "core/ProcessOutput.h"
#include "core/Text.h"

namespace fernbeacon {
namespace {

// Lines split at single spaces into `count` fields, the last taking the rest of the line.
std::vector<std::vector<std::string_view>> fieldLines(std::string_view output, std::size_t count) {
    std::vector<std::vector<std::string_view>> lines;
    forEachLine(output, [&](std::string_view rest) {
        std::vector<std::string_view> fields;
        while (fields.size() + 1 < count) {
            const std::size_t space = rest.find(' ');
            if (space == std::string_view::npos) {
                break;
            }
            fields.push_back(rest.substr(0, space));
            rest.remove_prefix(space + 1);
        }
        fields.push_back(rest);
        if (fields.size() == count) {
            lines.push_back(std::move(fields));
        }
    });
    return lines;
}

}  // namespace

std::vector<TmuxPane> parseTmuxPanes(std::string_view output) {
    std::vector<TmuxPane> panes;
    for (const auto& fields : fieldLines(output, 3)) {
        if (fields[0].starts_with('%') && fields[1].starts_with("/dev/")) {
            panes.push_back(
                {std::string(fields[0]), std::string(fields[1]), std::string(fields[2])});
        }
    }
    return panes;
}

std::vector<TmuxClient> parseTmuxClients(std::string_view output) {
    std::vector<TmuxClient> clients;
    for (const auto& fields : fieldLines(output, 4)) {
        const auto activity = parseInt64(fields[0]);
        const auto pid = parseInt32(fields[1]);
        if (activity && pid && fields[2].starts_with("/dev/")) {
            clients.push_back({*activity, *pid, std::string(fields[2]), std::string(fields[3])});
        }
    }
    return clients;
}

std::optional<TmuxClient> mostRecentClient(const std::vector<TmuxClient>& clients,
                                           std::string_view sessionId) {
    const TmuxClient* best = nullptr;
    for (const bool sameSession : {true, false}) {
        for (const TmuxClient& client : clients) {
            if ((!sameSession || client.sessionId == sessionId) &&
                (best == nullptr || client.activity > best->activity)) {
                best = &client;
            }
        }
        if (best != nullptr) {
            return *best;
        }
    }
    return std::nullopt;
}

std::optional<std::string> tmuxSocketFor(const Environment& environment, std::int32_t serverPid) {
    const auto value = environmentValue(environment, "TMUX");
    if (!value) {
        return std::nullopt;
    }
    const std::size_t first = value->find(',');
    const std::size_t second = value->find(',', first == std::string::npos ? first : first + 1);
    if (first == std::string::npos || second == std::string::npos || first == 0) {
        return std::nullopt;
    }
    // A session started inside another server names that server; its socket is not ours.
    if (parseInt32(std::string_view(*value).substr(first + 1, second - first - 1)) != serverPid) {
        return std::nullopt;
    }
    return value->substr(0, first);
}

TmuxControl::TmuxControl(CommandRunner& runner, const Executables& executables,
                         ProcessEnvironment& environment, Logger& logger)
    : runner_(runner), executables_(executables), environment_(environment), logger_(logger) {}

std::vector<std::string> TmuxControl::command(const std::optional<std::string>& socket,
                                              std::vector<std::string> arguments) const {
    std::vector<std::string> full{executables_.find("tmux").value_or("tmux")};
    if (socket) {
        full.insert(full.end(), {"-S", *socket});
    }
    full.insert(full.end(), std::make_move_iterator(arguments.begin()),
                std::make_move_iterator(arguments.end()));
    return full;
}

std::optional<std::string> TmuxControl::run(const std::optional<std::string>& socket,
                                            std::vector<std::string> arguments) {
    const auto full = command(socket, std::move(arguments));
    if (!full.front().starts_with('/')) {
        logger_.error("tmux is not installed");
        return std::nullopt;
    }
    CommandResult result = runner_.run({full});
    if (!result.started || result.timedOut || result.exitStatus != 0) {
        // No server is an ordinary answer to a question, not a failure worth an error.
        if (result.started && !result.timedOut && full.size() > 1 &&
            result.standardError.find("no server running") == std::string::npos &&
            result.standardError.find("error connecting") == std::string::npos) {
            logger_.error("tmux %s failed: %s", full[socket ? 3 : 1],
                          trimWhitespaceAndNewlines(result.standardError));
        }
        return std::nullopt;
    }
    return std::move(result.standardOutput);
}

FocusOutcome TmuxControl::focusPane(const FocusTarget& target, const TerminalOpener& openTerminal) {
    const Environment environment = environment_.environmentOf(target.pid);
    const auto socket =
        target.owner ? tmuxSocketFor(environment, target.owner->terminalPid) : std::nullopt;
    const auto panes = parseTmuxPanes(
        run(socket, {"list-panes", "-a", "-F", std::string(kPaneFormat)}).value_or(std::string()));
    const TmuxPane* pane = nullptr;
    const auto paneFromEnvironment =
        socket ? environmentValue(environment, "TMUX_PANE") : std::nullopt;
    for (const TmuxPane& candidate : panes) {
        if (candidate.tty == target.ttyPath) {
            pane = &candidate;
            break;
        }
        if (candidate.id == paneFromEnvironment) {
            pane = &candidate;
        }
    }
    if (pane == nullptr) {
        logger_.error("No tmux pane shows %s", target.ttyPath);
        return false;
    }
    if (!run(socket, {"select-window", "-t", pane->id, ";", "select-pane", "-t", pane->id})) {
        return false;
    }
    logger_.info("Selected tmux pane %s for %s", pane->id, target.ttyPath);
    const auto client = mostRecentClient(
        parseTmuxClients(run(socket, {"list-clients", "-F", std::string(kClientFormat)})
                             .value_or(std::string())),
        pane->sessionId);
    if (!client) {
        logger_.info("No tmux client shows pane %s; opening a terminal attached to it", pane->id);
        return openTerminal(command(socket, {"attach-session", "-t", pane->id}));
    }
    run(socket, {"switch-client", "-c", client->tty, "-t", pane->id});
    FocusOutcome outcome(true);
    outcome.outer = FocusTarget{client->pid, client->tty, std::nullopt, target.depth + 1};
    return outcome;
}

bool TmuxControl::hasAttachedClient() {
    const auto output = run(std::nullopt, {"list-clients", "-F", std::string(kClientFormat)});
    return output && !parseTmuxClients(*output).empty();
}

bool TmuxControl::typeClaude(const std::optional<std::string>& socket, const std::string& paneId) {
    // Typed into the pane's own shell, so that claude runs with the user's environment and the
    // shell stays when it exits.
    return run(socket,
               {"send-keys", "-t", paneId, "-l", "claude", ";", "send-keys", "-t", paneId, "Enter"})
        .has_value();
}

FocusOutcome TmuxControl::openWindow(const std::string& directory,
                                     const TerminalOpener& openTerminal) {
    const auto client = mostRecentClient(
        parseTmuxClients(run(std::nullopt, {"list-clients", "-F", std::string(kClientFormat)})
                             .value_or(std::string())),
        {});
    const auto created =
        client
            ? run(std::nullopt, {"new-window", "-t", client->sessionId + ":", "-c", directory, "-P",
                                 "-F", "#{pane_id}"})
            : run(std::nullopt, {"new-session", "-d", "-c", directory, "-P", "-F", "#{pane_id}"});
    const std::string paneId =
        created ? std::string(trimWhitespaceAndNewlines(*created)) : std::string();
    if (!paneId.starts_with('%') || !typeClaude(std::nullopt, paneId)) {
        logger_.error("tmux could not open a window at %s", directory);
        return false;
    }
    if (!client) {
        return openTerminal(command(std::nullopt, {"attach-session", "-t", paneId}));
    }
    FocusOutcome outcome(true);
    outcome.outer = FocusTarget{client->pid, client->tty, std::nullopt, 1};
    return outcome;
}

}  // namespace fernbeacon
