#include "app/Listing.h"

#include <algorithm>
#include <cmath>

#include "app/JsonWriter.h"
#include "core/StatusTitle.h"
#include "core/Text.h"

namespace fernbeacon::app {
namespace {

constexpr int kBarCells = 10;

std::optional<double> seconds(const std::optional<Instant>& instant) {
    return instant ? std::optional<double>(secondsSince1970(*instant)) : std::nullopt;
}

// The context bar as text: filled cells in proportion to the share in use, at most full.
std::string textBar(const ClaudeSession& session) {
    const double max = static_cast<double>(session.contextTokensMax.value_or(kDefaultContextLimit));
    const double progress = max > 0 ? static_cast<double>(*session.contextTokensUsed) / max : 0;
    const int filled = static_cast<int>(std::lround(std::clamp(progress, 0.0, 1.0) * kBarCells));
    std::string bar;
    for (int cell = 0; cell < kBarCells; ++cell) {
        bar += cell < filled ? "\u25B0" : "\u25B1";
    }
    return bar;
}

std::string nameLine(const ClaudeSession& session) {
    std::string line =
        session.workingDirectory ? lastPathComponent(*session.workingDirectory) : "claude";
    if (session.terminalApp == "VS Code" || session.terminalApp == "Cursor") {
        line += "  [" + *session.terminalApp + "]";
    }
    return line;
}

void writeLive(JsonWriter& json, const ClaudeSession& session) {
    json.beginObject();
    json.key("pid").value(std::int64_t{session.pid});
    json.key("tty").value(session.tty);
    json.key("workingDirectory").value(session.workingDirectory);
    json.key("terminalApp").value(session.terminalApp);
    json.key("summary").value(session.summary);
    json.key("firstPrompt").value(session.firstPrompt);
    json.key("messageCount").value(session.messageCount);
    json.key("gitBranch").value(session.gitBranch);
    json.key("sessionCreated").value(seconds(session.sessionCreated));
    json.key("sessionModified").value(seconds(session.sessionModified));
    json.key("model").value(session.model);
    json.key("contextTokensUsed").value(session.contextTokensUsed);
    json.key("contextTokensMax").value(session.contextTokensMax);
    json.key("processUptime").value(session.processUptime);
    json.key("displayTitle").value(session.displayTitle());
    json.key("contextLabel").value(session.contextLabel());
    json.key("detailLine").value(session.detailLine());
    json.endObject();
}

void writeRecent(JsonWriter& json, const RecentSession& session) {
    json.beginObject();
    json.key("summary").value(session.summary);
    json.key("firstPrompt").value(session.firstPrompt);
    json.key("projectPath").value(session.projectPath);
    json.key("modified").value(secondsSince1970(session.modified));
    json.key("messageCount").value(session.messageCount);
    json.key("gitBranch").value(session.gitBranch);
    json.key("displayTitle").value(session.displayTitle());
    json.endObject();
}

}  // namespace

std::string formatListingText(const ScanResult& scan, std::int64_t maxRecentSessions) {
    std::string out = statusTitle(static_cast<std::int64_t>(scan.live.size())) + "\n\n";
    if (scan.live.empty()) {
        out += "No active Claude sessions\n";
    }
    for (std::size_t i = 0; i < scan.live.size(); ++i) {
        const ClaudeSession& session = *scan.live[i];
        if (i > 0) {
            out += "\n";
        }
        out += nameLine(session) + "\n";
        if (const auto title = session.displayTitle()) {
            out += "  " + *title + "\n";
        }
        if (session.contextTokensUsed) {
            out += "  " + textBar(session) + "  " + session.contextLabel().value_or("") + "\n";
        }
        if (const std::string detail = session.detailLine(); !detail.empty()) {
            out += "  " + detail + "\n";
        }
    }
    if (!scan.recent.empty() && maxRecentSessions >= 1) {
        out += "\nRecent\n";
        for (const RecentSession& session : scan.recent) {
            out += "  " + lastPathComponent(session.projectPath) + "\n";
            if (const auto title = session.displayTitle()) {
                out += "    " + *title + "\n";
            }
        }
    }
    return out;
}

std::string formatListingJson(const ScanResult& scan) {
    JsonWriter json;
    json.beginObject();
    json.key("statusTitle").value(statusTitle(static_cast<std::int64_t>(scan.live.size())));
    json.key("live").beginArray();
    for (const ClaudeSessionPtr& session : scan.live) {
        writeLive(json, *session);
    }
    json.endArray();
    json.key("recent").beginArray();
    for (const RecentSession& session : scan.recent) {
        writeRecent(json, session);
    }
    json.endArray();
    json.endObject();
    return json.text() + "\n";
}

}  // namespace fernbeacon::app
