#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/SessionRecords.h"

// The status menu as data: which items, in which order, with which titles, states, shortcuts and
// actions. The tray turns it into menu items; `fernbeacon list` prints it.
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

enum class MenuAction {
    None,
    SessionClicked,
    RecentSessionClicked,
    RefreshClicked,
    SettingsClicked,
    QuitClicked,
};

struct MenuItemModel {
    MenuItemKind kind = MenuItemKind::Separator;
    std::string title;
    MenuAction action = MenuAction::None;
    // A lower-case letter or punctuation mark, taken with the platform's command modifier; 0 for
    // none.
    char keyEquivalent = 0;
    bool enabled = false;
    ClaudeSessionPtr session;                        // Session items only
    std::shared_ptr<const RecentSessionBox> recent;  // RecentSession items only
};

// The menu for one refresh's lists. `maxRecentSessions` is the preference as read; below 1 it
// hides the Recent section. The recent list is shown whole, not cut again.
std::vector<MenuItemModel> buildMenuModel(std::span<const ClaudeSessionPtr> sessions,
                                          std::span<const RecentSession> recentSessions,
                                          std::int64_t maxRecentSessions);

}  // namespace fernbeacon
