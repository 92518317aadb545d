#include <gtest/gtest.h>

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

    EXPECT_EQ(shape(buildMenuModel(none, noRecent)), "n-R-S-Q");
    EXPECT_EQ(shape(buildMenuModel(two, noRecent)), "s-s-R-S-Q");
    EXPECT_EQ(shape(buildMenuModel(two, recents)), "s-s-hrr-R-S-Q");
    EXPECT_EQ(shape(buildMenuModel(none, recents)), "n-hrr-R-S-Q");
}

TEST(MenuModel, EachRecordInListOrder) {
    const std::vector<ClaudeSessionPtr> sessions{live(3), live(1), live(2)};
    const std::vector<RecentSession> recents{recent("/c"), recent("/a"), recent("/b")};
    std::string records;
    for (const MenuItemModel& item : buildMenuModel(sessions, recents)) {
        records += item.session ? std::to_string(item.session->pid) : "";
        records += item.recent ? item.recent->projectPath : "";
    }
    EXPECT_EQ(records, "312/c/a/b");
}

}  // namespace
}  // namespace fernbeacon
