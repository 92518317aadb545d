#include "core/SessionRecords.h"

#include <algorithm>
#include <cmath>

#include "core/Text.h"

namespace fernbeacon {
namespace {

constexpr std::size_t kTitleLimit = 46;  // a candidate this long or longer is shortened
constexpr std::size_t kTitleKeep = 42;
constexpr std::string_view kDetailSeparator = "  \u00B7  ";

}  // namespace

ClaudeSession::ClaudeSession(std::int32_t processId, std::optional<std::string> terminalDevice,
                             std::optional<std::string> directory,
                             std::optional<std::string> terminal)
    : pid(processId),
      tty(std::move(terminalDevice)),
      workingDirectory(std::move(directory)),
      terminalApp(std::move(terminal)) {}

std::optional<std::string> displayTitleFor(const std::optional<std::string>& customTitle,
                                           const std::optional<std::string>& summary,
                                           const std::optional<std::string>& aiTitle,
                                           const std::optional<std::string>& firstPrompt) {
    std::optional<std::string> candidate;
    for (const auto* source : {&customTitle, &summary, &aiTitle, &firstPrompt}) {
        if (!candidate && *source) {
            candidate = cleanText(**source);
        }
    }
    if (!candidate) {
        return std::nullopt;
    }
    if (!byteLengthOfGraphemes(*candidate, kTitleLimit)) {
        return candidate;
    }
    return prefixGraphemes(*candidate, kTitleKeep) + "...";
}

std::optional<std::string> ClaudeSession::displayTitle() const {
    return displayTitleFor(customTitle, summary, aiTitle, firstPrompt);
}

std::optional<std::string> RecentSession::displayTitle() const {
    return displayTitleFor(customTitle, summary, aiTitle, firstPrompt);
}

std::optional<std::string> ClaudeSession::contextLabel() const {
    if (!contextTokensUsed) {
        return std::nullopt;
    }
    const std::int64_t used = *contextTokensUsed;
    const std::int64_t max = contextTokensMax.value_or(kDefaultContextLimit);
    // A zero or negative maximum cannot come from a scan; keep the label finite all the same.
    const double ratio = max != 0 ? static_cast<double>(used) / static_cast<double>(max) : 0.0;
    const double percent = std::trunc(ratio * 100.0);
    // Truncation toward zero; the clamp only keeps absurd counts from overflowing the cast.
    const auto percentText =
        std::to_string(static_cast<std::int64_t>(std::clamp(percent, -9e18, 9e18)));
    return std::to_string(used / 1000) + "k / " + std::to_string(max / 1000) + "k tokens (" +
           percentText + "%)";
}

std::string ClaudeSession::detailLine() const {
    std::string line;
    const auto add = [&line](const std::optional<std::string>& item) {
        if (!item || item->empty()) {
            return;
        }
        if (!line.empty()) {
            line += kDetailSeparator;
        }
        line += *item;
    };
    add(terminalApp);
    if (gitBranch != "HEAD") {
        add(gitBranch);
    }
    add(model);
    add(processUptime);
    return line;
}

std::optional<std::string> ClaudeSession::statusText() const {
    if (!status || !waitingFor) {
        return status;
    }
    return *status + ": " + *waitingFor;
}

}  // namespace fernbeacon
