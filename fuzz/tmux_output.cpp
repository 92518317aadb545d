// What tmux prints for panes and clients, and the TMUX value a session inherits: each item keeps
// the fields the format guarantees and prints back to itself, and the client chosen is one of the
// most recent on the session asked for.
#include <algorithm>
#include <set>

#include "FuzzSupport.h"
#include "core/ProcessOutput.h"
#include "terminal/Tmux.h"

namespace fernbeacon::fuzz {
namespace {

auto fields(const TmuxPane& pane) {
    return std::tie(pane.id, pane.tty, pane.sessionId);
}
auto fields(const TmuxClient& client) {
    return std::tie(client.activity, client.pid, client.tty, client.sessionId);
}
bool same(const auto& a, const auto& b) {
    return fields(a) == fields(b);
}
bool sameItems(const auto& a, const auto& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const auto& x, const auto& y) { return same(x, y); });
}

bool oneField(std::string_view field) {
    return field.find_first_of(" \n") == std::string_view::npos;
}

void checkPanes(std::string_view text, std::size_t lines) {
    const auto panes = parseTmuxPanes(text);
    require(panes.size() <= lines, "at most one pane per line");
    std::string printed;
    for (const TmuxPane& pane : panes) {
        require(pane.id.starts_with('%') && oneField(pane.id), "a pane id is one %-field");
        require(pane.tty.starts_with("/dev/") && oneField(pane.tty), "a pane tty is a device");
        require(pane.sessionId.find('\n') == std::string::npos, "a session id is one line");
        printed += pane.id + ' ' + pane.tty + ' ' + pane.sessionId + '\n';
    }
    require(sameItems(parseTmuxPanes(printed), panes), "panes print back to themselves");
}

void checkRecentClient(const std::vector<TmuxClient>& clients, const std::string& sessionId) {
    const auto chosen = mostRecentClient(clients, sessionId);
    require(chosen.has_value() == !clients.empty(), "a client is chosen when there is one");
    if (!chosen) {
        return;
    }
    const bool onSession = std::any_of(clients.begin(), clients.end(),
                                       [&](const auto& c) { return c.sessionId == sessionId; });
    require(!onSession || chosen->sessionId == sessionId, "a client on the session is preferred");
    require(std::any_of(clients.begin(), clients.end(),
                        [&](const auto& c) { return same(c, *chosen); }),
            "the chosen client is one of those listed");
    for (const TmuxClient& client : clients) {
        require(client.activity <= chosen->activity || (onSession && client.sessionId != sessionId),
                "no eligible client was used more recently");
    }
}

void checkClients(std::string_view text, std::size_t lines) {
    const auto clients = parseTmuxClients(text);
    require(clients.size() <= lines, "at most one client per line");
    std::string printed;
    std::set<std::string> sessions{"", "$none"};
    for (const TmuxClient& client : clients) {
        require(client.tty.starts_with("/dev/") && oneField(client.tty),
                "a client tty is a device");
        require(client.sessionId.find('\n') == std::string::npos, "a session id is one line");
        printed += std::to_string(client.activity) + ' ' + std::to_string(client.pid) + ' ' +
                   client.tty + ' ' + client.sessionId + '\n';
        if (sessions.size() < 8) {
            sessions.insert(client.sessionId);
        }
    }
    require(sameItems(parseTmuxClients(printed), clients), "clients print back to themselves");
    for (const std::string& session : sessions) {
        checkRecentClient(clients, session);
    }
}

void checkSocket(const std::string& value) {
    const std::size_t comma = std::min(value.find(','), value.size());
    const std::size_t next = value.find(',', std::min(comma + 1, value.size()));
    // Whichever server the value names, when it names one.
    const std::int32_t named =
        next == std::string::npos
            ? 0
            : parseInt32(value.substr(comma + 1, next - comma - 1)).value_or(0);
    for (const std::int32_t pid : {named, named ^ 1}) {
        const auto socket = tmuxSocketFor({{"TMUX", value}}, pid);
        require(
            !socket || (pid == named && !socket->empty() &&
                        socket->find(',') == std::string::npos && value.starts_with(*socket + ',')),
            "a socket is the text before the first comma, of the server asked about");
    }
    // The same socket in a value tmux itself would write.
    const std::string socket = value.substr(0, comma);
    const std::string written = socket + ',' + std::to_string(named) + ",0";
    require(socket.empty() || (tmuxSocketFor({{"TMUX", written}}, named) == socket &&
                               !tmuxSocketFor({{"TMUX", written}}, named ^ 1)),
            "a written value is read, for its server only");
}

}  // namespace
}  // namespace fernbeacon::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fernbeacon::fuzz;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto lines = splitLines(text);
    checkPanes(text, lines.size());
    checkClients(text, lines.size());
    for (std::size_t i = 0; i < std::min<std::size_t>(lines.size(), 4); ++i) {
        checkSocket(std::string(lines[i]));
    }
    return 0;
}
