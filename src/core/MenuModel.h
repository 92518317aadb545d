#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/SessionRecords.h"

// The status menu as data: which items, in which order, with which titles, states and shortcuts.
// The tray turns it into menu items, each kind with its own callback; `fernbeacon list` prints it.
namespace fernbeacon {

inline constexpr std::string_view kNoSessionsTitle = "No active Claude sessions";
inline constexpr std::string_view kRecentHeadingTitle = "Recent";
inline constexpr std::string_view kRefreshTitle = "Refresh";
inline constexpr std::string_view kSettingsTitle = "Settings...";
inline constexpr std::string_view kQuitTitle = "Quit Fernbeacon";

enum class MenuItemKind {
    NoSessions,
    Session,
    Separator,
    RecentHeading,
    RecentSession,
    Refresh,
    Settings,
    Quit,
};

struct MenuItemModel {
    MenuItemKind kind = MenuItemKind::Separator;
    std::string title;
    // A lower-case letter or punctuation mark, taken with Ctrl; 0 for none.
    char shortcut = 0;
    bool enabled = false;
    ClaudeSessionPtr session;             // Session items only
    std::optional<RecentSession> recent;  // RecentSession items only
};

// The menu for one refresh's lists. The scan has already cut the recent list to the preference
// (empty at 0, which hides the Recent section); it is shown whole.
std::vector<MenuItemModel> buildMenuModel(std::span<const ClaudeSessionPtr> sessions,
                                          std::span<const RecentSession> recentSessions);

}  // namespace fernbeacon
