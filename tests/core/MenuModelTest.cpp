#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "core/MenuModel.h"

namespace fernbeacon {
namespace {

ClaudeSessionPtr live(std::int32_t pid) {
    return std::make_shared<ClaudeSession>(pid, std::nullopt, "/w/" + std::to_string(pid),
                                           std::nullopt);
}

RecentSession recent(std::string path) {
    return RecentSession{std::nullopt, std::nullopt, std::move(path),
                         Instant{},    std::nullopt, std::nullopt};
}

// One letter per item: n(o sessions), s(ession), -(separator), h(eading), r(ecent), R(efresh),
// S(ettings), Q(uit).
std::string shape(const std::vector<MenuItemModel>& items) {
    static const std::map<MenuItemKind, char> letters{
        {MenuItemKind::NoSessions, 'n'},    {MenuItemKind::Session, 's'},
        {MenuItemKind::Separator, '-'},     {MenuItemKind::RecentHeading, 'h'},
        {MenuItemKind::RecentSession, 'r'}, {MenuItemKind::Refresh, 'R'},
        {MenuItemKind::Settings, 'S'},      {MenuItemKind::Quit, 'Q'}};
    std::string text;
    for (const MenuItemModel& item : items) {
        text += letters.at(item.kind);
    }
    return text;
}

TEST(MenuModel, SectionsAndSeparators) {
    const std::vector<ClaudeSessionPtr> none;
    const std::vector<ClaudeSessionPtr> two{live(1), live(2)};
    const std::vector<RecentSession> noRecent;
    const std::vector<RecentSession> recents{recent("/a"), recent("/b")};

    EXPECT_EQ(shape(buildMenuModel(none, noRecent, 15)), "n-R-S-Q");
    EXPECT_EQ(shape(buildMenuModel(two, noRecent, 15)), "s-s-R-S-Q");
    EXPECT_EQ(shape(buildMenuModel(two, recents, 15)), "s-s-hrr-R-S-Q");
    EXPECT_EQ(shape(buildMenuModel(none, recents, 15)), "n-hrr-R-S-Q");
    // A limit below 1 hides the whole section; negative values come only from outside.
    EXPECT_EQ(shape(buildMenuModel(two, recents, 0)), "s-s-R-S-Q");
    EXPECT_EQ(shape(buildMenuModel(none, recents, -3)), "n-R-S-Q");
    // The list arrives cut already and is not cut again.
    EXPECT_EQ(shape(buildMenuModel(none, recents, 1)), "n-hrr-R-S-Q");
}

TEST(MenuModel, EachRecordInListOrderWithItsActionAndOwnCopy) {
    std::vector<ClaudeSessionPtr> sessions;
    std::vector<RecentSession> recents;
    for (int i = 0; i < 20; ++i) {
        sessions.push_back(live(100 + i));
        recents.push_back(recent("/p/" + std::to_string(i)));
    }
    const auto items = buildMenuModel(sessions, recents, 5);
    std::vector<std::int32_t> pids;
    std::vector<std::string> paths;
    for (const MenuItemModel& item : items) {
        if (item.session) {
            EXPECT_EQ(item.action, MenuAction::SessionClicked);
            pids.push_back(item.session->pid);
        }
        if (item.recent) {
            EXPECT_EQ(item.action, MenuAction::RecentSessionClicked);
            paths.push_back(item.recent->session.projectPath);
        }
    }
    ASSERT_EQ(pids.size(), 20u);
    ASSERT_EQ(paths.size(), 20u);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(pids[i], 100 + i);
        EXPECT_EQ(paths[i], "/p/" + std::to_string(i));
    }
    // Changing the list afterwards leaves the menu as it was.
    recents[0].projectPath = "/changed";
    const auto first = std::find_if(items.begin(), items.end(),
                                    [](const MenuItemModel& item) { return item.recent; });
    EXPECT_EQ(first->recent->session.projectPath, "/p/0");
}

}  // namespace
}  // namespace fernbeacon
