#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/SessionRecords.h"

// What each custom menu row shows and how: texts, font sizes and weights, colour roles, the
// context bar. Sizes are logical pixels. Row widgets paint exactly this and decide nothing.
namespace fernbeacon {

// Semantic colours; the shell maps each to its theme.
enum class ColorRole {
    // The theme's text at falling strengths.
    Text,
    SecondaryText,
    TertiaryText,
    FaintText,
    Accent,
    Selection,
    Warning,  // a context window nearly full
    // The theme's text on its selection colour.
    HighlightedText,
    Attention,  // a session waits for its user
};

enum class FontWeight { Regular, Medium, Semibold, Bold };

struct RoleColor {
    ColorRole role = ColorRole::Text;
    double alpha = 1.0;
    bool operator==(const RoleColor&) const = default;
};

struct Margins {
    int top = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;
    bool operator==(const Margins&) const = default;
};

struct LabelModel {
    std::string text;
    int fontSize = 13;
    FontWeight weight = FontWeight::Regular;
    ColorRole color = ColorRole::Text;
    bool elide = false;  // one line, cut at the end with an ellipsis when too narrow
};

// A small tinted tag after the name. The label sits inside a container of the same tint, so the
// label's own area shows the tint twice.
struct BadgeModel {
    LabelModel label;
    RoleColor tint{ColorRole::TertiaryText, 0.15};
    int cornerRadius = 3;
    Margins padding{1, 4, 1, 4};
};

inline constexpr double kDefaultContextDivisor = static_cast<double>(kDefaultContextLimit);

struct ContextBarModel {
    static constexpr int kWidth = 80;
    static constexpr int kHeight = 4;
    static constexpr int kCornerRadius = 2;
    // Above this share the bar turns orange.
    static constexpr double kWarningThreshold = 0.8;

    double progress = 0;  // share of the context window in use; may exceed 1

    RoleColor trackColor(bool highlighted) const;
    RoleColor fillColor(bool highlighted) const;
    // Width of the filled part of a bar `barWidth` wide; 0 draws the track only.
    double fillWidth(double barWidth) const;
};

// A round mark before a session's name: whether it waits or works.
struct StatusMarkModel {
    RoleColor color;
    int diameter = 8;
    bool operator==(const StatusMarkModel&) const = default;
};

// One line of a row: an optional bar, a label, an optional badge, side by side.
struct RowLine {
    static constexpr int kSpacing = 6;

    std::optional<ContextBarModel> bar;
    LabelModel label;
    std::optional<BadgeModel> badge;
};

struct RowModel {
    static constexpr int kLineSpacing = 3;

    Margins insets;
    std::vector<RowLine> lines;
    std::optional<StatusMarkModel> mark;  // before the first line
};

// The hover highlight shared by both rows.
struct RowHighlight {
    static constexpr int kHorizontalInset = 4;
    static constexpr int kCornerRadius = 4;
    static constexpr ColorRole kBackground = ColorRole::Selection;
    // How far the background is blended away from its text: toward black under light text,
    // toward white under dark text.
    static constexpr double kDarkening = 0.3;
    static constexpr ColorRole kText = ColorRole::HighlightedText;
};

inline constexpr int kMinimumRowWidth = 250;

// A row's width before the menu widens it: its content's, but at least kMinimumRowWidth.
int rowWidth(int fittingWidth);

// Share of the context window in use, against 200000 tokens when the maximum is unknown.
// Absent when the session has no token count.
std::optional<double> contextProgress(const ClaudeSession& session);

// The badge is shown for sessions hosted by these editors.
bool showsTerminalBadge(const std::optional<std::string>& terminalApp);

// Waiting: a mark in the attention colour; working: a small quiet one; otherwise none.
std::optional<StatusMarkModel> statusMark(const ClaudeSession& session);

RowModel sessionRowModel(const ClaudeSession& session);
RowModel recentSessionRowModel(const RecentSession& session);

}  // namespace fernbeacon
