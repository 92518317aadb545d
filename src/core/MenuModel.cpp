#include "core/MenuModel.h"

namespace fernbeacon {
namespace {

MenuItemModel separator() {
    return MenuItemModel{};
}

MenuItemModel disabledTitle(MenuItemKind kind, std::string_view title) {
    MenuItemModel item;
    item.kind = kind;
    item.title = std::string(title);
    return item;
}

MenuItemModel command(MenuItemKind kind, std::string_view title, char shortcut) {
    MenuItemModel item;
    item.kind = kind;
    item.title = std::string(title);
    item.shortcut = shortcut;
    item.enabled = true;
    return item;
}

}  // namespace

std::vector<MenuItemModel> buildMenuModel(std::span<const ClaudeSessionPtr> sessions,
                                          std::span<const RecentSession> recentSessions) {
    std::vector<MenuItemModel> items;
    items.reserve(sessions.size() * 2 + recentSessions.size() + 8);
    if (sessions.empty()) {
        items.push_back(disabledTitle(MenuItemKind::NoSessions, kNoSessionsTitle));
    }
    for (std::size_t i = 0; i < sessions.size(); ++i) {
        MenuItemModel item;
        item.kind = MenuItemKind::Session;
        item.enabled = true;
        item.session = sessions[i];
        items.push_back(std::move(item));
        if (i + 1 < sessions.size()) {
            items.push_back(separator());
        }
    }
    if (!recentSessions.empty()) {
        items.push_back(separator());
        items.push_back(disabledTitle(MenuItemKind::RecentHeading, kRecentHeadingTitle));
        for (const RecentSession& recent : recentSessions) {
            MenuItemModel item;
            item.kind = MenuItemKind::RecentSession;
            item.enabled = true;
            item.recent = recent;
            items.push_back(std::move(item));
        }
    }
    items.push_back(separator());
    items.push_back(command(MenuItemKind::Refresh, kRefreshTitle, 'r'));
    items.push_back(separator());
    items.push_back(command(MenuItemKind::Settings, kSettingsTitle, ','));
    items.push_back(separator());
    items.push_back(command(MenuItemKind::Quit, kQuitTitle, 'q'));
    return items;
}

}  // namespace fernbeacon
