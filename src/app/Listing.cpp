#include "app/Listing.h"

#include <algorithm>
#include <cmath>

#include "app/JsonWriter.h"
#include "core/Attention.h"
#include "core/MenuModel.h"
#include "core/RowModels.h"
#include "core/StatusTitle.h"

namespace fernbeacon::app {
namespace {

constexpr int kBarCells = 10;

std::optional<double> seconds(const std::optional<Instant>& instant) {
    return instant ? std::optional<double>(secondsSince1970(*instant)) : std::nullopt;
}

// The context bar as text: filled cells in proportion to the share in use, at most full.
std::string textBar(const ContextBarModel& bar) {
    const int filled =
        static_cast<int>(std::lround(std::clamp(bar.progress, 0.0, 1.0) * kBarCells));
    std::string text;
    for (int cell = 0; cell < kBarCells; ++cell) {
        text += cell < filled ? "\u25B0" : "\u25B1";
    }
    return text;
}

// A row's lines as text.
std::vector<std::string> rowLines(const RowModel& row) {
    std::vector<std::string> lines;
    for (const RowLine& line : row.lines) {
        std::string text;
        if (line.bar) {
            text += textBar(*line.bar) + "  ";
        }
        text += line.label.text;
        if (line.badge) {
            text += "  [" + line.badge->label.text + "]";
        }
        lines.push_back(std::move(text));
    }
    return lines;
}

// The first line at `indent`, the others two spaces further in.
std::string indented(const std::vector<std::string>& lines, const std::string& indent) {
    std::string text;
    for (const std::string& line : lines) {
        text += (text.empty() ? indent : indent + "  ") + line + "\n";
    }
    return text;
}

// The menu's row with the session's status under its title (the row's first lines are its name
// and, when it has one, its title). A waiting row already says why.
RowModel sessionRowWithStatus(const ClaudeSession& session) {
    RowModel row = sessionRowModel(session);
    if (auto status = session.statusText(); status && attentionOf(session) != Attention::Waiting) {
        const auto at = row.lines.begin() + (session.displayTitle() ? 2 : 1);
        row.lines.insert(
            at, RowLine{std::nullopt,
                        {std::move(*status), 10, FontWeight::Regular, ColorRole::SecondaryText},
                        std::nullopt});
    }
    return row;
}

void writeLive(JsonWriter& json, const ClaudeSession& session) {
    json.beginObject();
    json.key("pid").value(std::int64_t{session.pid});
    json.key("tty").value(session.tty);
    json.key("workingDirectory").value(session.workingDirectory);
    json.key("terminalApp").value(session.terminalApp);
    json.key("summary").value(session.summary);
    json.key("firstPrompt").value(session.firstPrompt);
    json.key("customTitle").value(session.customTitle);
    json.key("aiTitle").value(session.aiTitle);
    json.key("messageCount").value(session.messageCount);
    json.key("gitBranch").value(session.gitBranch);
    json.key("sessionCreated").value(seconds(session.sessionCreated));
    json.key("sessionModified").value(seconds(session.sessionModified));
    json.key("model").value(session.model);
    json.key("contextTokensUsed").value(session.contextTokensUsed);
    json.key("contextTokensMax").value(session.contextTokensMax);
    json.key("processUptime").value(session.processUptime);
    json.key("sessionId").value(session.sessionId);
    json.key("status").value(session.status);
    json.key("waitingFor").value(session.waitingFor);
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
    json.key("sessionId").value(session.sessionId);
    json.key("customTitle").value(session.customTitle);
    json.key("aiTitle").value(session.aiTitle);
    json.key("displayTitle").value(session.displayTitle());
    json.endObject();
}

}  // namespace

std::vector<std::string> sessionListingLines(const ClaudeSession& session) {
    return rowLines(sessionRowWithStatus(session));
}

std::vector<std::string> recentListingLines(const RecentSession& session) {
    return rowLines(recentSessionRowModel(session));
}

std::string formatListingText(const ScanResult& scan) {
    std::string out = statusTitle(static_cast<std::int64_t>(scan.live.size())) + "\n\n";
    // Separators print as blank lines between sections; the fixed commands are not printed.
    bool pendingSeparator = false;
    for (const MenuItemModel& item : buildMenuModel(scan.live, scan.recent)) {
        if (item.kind == MenuItemKind::Separator) {
            pendingSeparator = true;
            continue;
        }
        if (item.kind == MenuItemKind::Refresh || item.kind == MenuItemKind::Settings ||
            item.kind == MenuItemKind::Quit) {
            break;
        }
        if (pendingSeparator) {
            out += "\n";
            pendingSeparator = false;
        }
        switch (item.kind) {
            case MenuItemKind::Session:
                out += indented(sessionListingLines(*item.session), "");
                break;
            case MenuItemKind::RecentSession:
                out += indented(recentListingLines(*item.recent), "  ");
                break;
            default:
                out += item.title + "\n";
                break;
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
