#include "core/RowModels.h"

#include <algorithm>
#include <cmath>

#include "core/Attention.h"
#include "core/Text.h"

namespace fernbeacon {

RoleColor ContextBarModel::trackColor(bool highlighted) const {
    return highlighted ? RoleColor{ColorRole::HighlightedText, 0.2}
                       : RoleColor{ColorRole::FaintText};
}

RoleColor ContextBarModel::fillColor(bool highlighted) const {
    if (progress > kWarningThreshold) {
        return {ColorRole::Warning, highlighted ? 0.9 : 1.0};
    }
    return highlighted ? RoleColor{ColorRole::HighlightedText, 0.5} : RoleColor{ColorRole::Accent};
}

double ContextBarModel::fillWidth(double barWidth) const {
    if (progress > 1.0) {
        return barWidth;
    }
    // Negative or undefined shares cannot come from a scan; they draw an empty bar.
    return progress > 0 ? barWidth * progress : 0.0;
}

int rowWidth(int fittingWidth) {
    return std::max(fittingWidth, kMinimumRowWidth);
}

std::optional<double> contextProgress(const ClaudeSession& session) {
    if (!session.contextTokensUsed) {
        return std::nullopt;
    }
    const double divisor = session.contextTokensMax ? static_cast<double>(*session.contextTokensMax)
                                                    : kDefaultContextDivisor;
    // A zero maximum cannot come from a scan; like the context label, count it as nothing used.
    if (divisor == 0) {
        return 0.0;
    }
    return static_cast<double>(*session.contextTokensUsed) / divisor;
}

bool showsTerminalBadge(const std::optional<std::string>& terminalApp) {
    return terminalApp == "VS Code" || terminalApp == "Cursor";
}

std::optional<StatusMarkModel> statusMark(const ClaudeSession& session) {
    switch (attentionOf(session)) {
        case Attention::Waiting:
            return StatusMarkModel{{ColorRole::Attention}, 8};
        case Attention::Working:
            return StatusMarkModel{{ColorRole::TertiaryText}, 6};
        case Attention::None:
            break;
    }
    return std::nullopt;
}

RowModel sessionRowModel(const ClaudeSession& session) {
    RowModel row;
    row.insets = {8, 14, 8, 14};

    RowLine name;
    name.label = {session.workingDirectory ? lastPathComponent(*session.workingDirectory)
                                           : std::string("claude"),
                  13, FontWeight::Semibold, ColorRole::Text};
    if (showsTerminalBadge(session.terminalApp)) {
        name.badge =
            BadgeModel{{*session.terminalApp, 9, FontWeight::Medium, ColorRole::SecondaryText}};
    }
    row.mark = statusMark(session);
    row.lines.push_back(std::move(name));

    if (auto title = session.displayTitle()) {
        row.lines.push_back(
            RowLine{std::nullopt,
                    {std::move(*title), 11, FontWeight::Regular, ColorRole::SecondaryText, true},
                    std::nullopt});
    }
    if (attentionOf(session) == Attention::Waiting) {
        row.lines.push_back(
            RowLine{std::nullopt,
                    {waitingLine(session), 11, FontWeight::Medium, ColorRole::Attention, true},
                    std::nullopt});
    }
    if (const auto progress = contextProgress(session)) {
        row.lines.push_back(RowLine{
            ContextBarModel{*progress},
            {session.contextLabel().value_or(""), 10, FontWeight::Regular, ColorRole::TertiaryText},
            std::nullopt});
    }
    if (std::string detail = session.detailLine(); !detail.empty()) {
        row.lines.push_back(
            RowLine{std::nullopt,
                    {std::move(detail), 10, FontWeight::Regular, ColorRole::TertiaryText},
                    std::nullopt});
    }
    return row;
}

RowModel recentSessionRowModel(const RecentSession& session) {
    RowModel row;
    row.insets = {6, 14, 6, 14};
    row.lines.push_back(RowLine{std::nullopt,
                                {lastPathComponent(session.projectPath), 13, FontWeight::Semibold,
                                 ColorRole::SecondaryText},
                                std::nullopt});
    if (auto title = session.displayTitle()) {
        row.lines.push_back(
            RowLine{std::nullopt,
                    {std::move(*title), 11, FontWeight::Regular, ColorRole::TertiaryText, true},
                    std::nullopt});
    }
    return row;
}

}  // namespace fernbeacon
