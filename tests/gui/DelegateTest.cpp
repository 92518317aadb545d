#include <gtest/gtest.h>

#include "GuiHarness.h"
#include "app/MenuRowView.h"
#include "app/SessionMenuItemView.h"

namespace fernbeacon::test {
namespace {

using Shape = std::vector<std::string>;

TEST(Delegate, LaunchShowsTheEmptyMenuThenScansAndWarmsUp) {
    DelegateHarness harness;
    harness.addProcess(41, "/w/spotter");
    harness.delegate->applicationDidFinishLaunching();

    app::AppDelegate& delegate = *harness.delegate;
    EXPECT_EQ(menuShape(harness.menu()).size(), 7u);
    EXPECT_FALSE(harness.menu().actions()[0]->isEnabled());
    EXPECT_EQ(harness.events, (Shape{"background", "warmUp"}));
    ASSERT_TRUE(delegate.refreshTimer());
    EXPECT_TRUE(delegate.refreshTimer()->isActive());
    EXPECT_EQ(delegate.statusItem()->title(), "FB");

    harness.completeScans();
    EXPECT_EQ(delegate.statusItem()->title(), "FB 1");
    EXPECT_EQ(delegate.statusItem()->trayIcon().toolTip(), "FB 1");
    EXPECT_EQ(menuShape(harness.menu())[0], "[row]");
    // The icon is the title drawn: a longer title, a wider icon.
    EXPECT_GT(app::TrayController::titleImage("FB 12", 1.0).width(),
              app::TrayController::titleImage("FB 1", 1.0).width());
}

TEST(Delegate, TheCycleThatFinishesLastWins) {
    DelegateHarness harness;
    harness.delegate->applicationDidFinishLaunching();
    harness.completeScans();

    harness.delegate->refresh();  // older
    harness.delegate->refresh();  // newer
    ASSERT_EQ(harness.dispatcher.pendingBackground(), 2u);

    // The newer cycle sees one process and finishes first ...
    harness.addProcess(1, "/w/one");
    harness.dispatcher.runBackground(1);
    // ... the older one sees two and finishes later.
    harness.addProcess(2, "/w/two");
    harness.dispatcher.runBackground(0);
    harness.dispatcher.runMain();

    EXPECT_EQ(harness.delegate->cachedSessions().size(), 2u);
    EXPECT_EQ(harness.delegate->statusItem()->title(), "FB 2");
    EXPECT_EQ(menuShape(harness.menu()), (Shape{"[row]", "-", "[row]", "-", "Refresh", "-",
                                                "Settings...", "-", "Quit Fernbeacon"}));
}

TEST(Delegate, ACycleOfAGoneDelegateDoesNothing) {
    DelegateHarness harness;
    harness.delegate->applicationDidFinishLaunching();
    harness.delegate.reset();
    harness.addProcess(1, "/w/one");
    harness.dispatcher.runBackground(0);
    EXPECT_EQ(harness.dispatcher.pendingMain(), 0u);
    EXPECT_TRUE(harness.probes.calls().empty());
}

TEST(Delegate, ClicksReachTerminalControlWithTheItemsRecord) {
    DelegateHarness harness;
    harness.delegate->applicationDidFinishLaunching();
    harness.addProcess(812, "/w/spotter");
    harness.home.writeProjectFile("old", "x.jsonl", cwdRecord("/srv/tools") + "\n");
    harness.completeScans();
    harness.events.clear();

    const QList<QAction*> actions = harness.menu().actions();
    ASSERT_EQ(menuShape(harness.menu()), (Shape{"[row]", "-", "Recent", "[row]", "-", "Refresh",
                                                "-", "Settings...", "-", "Quit Fernbeacon"}));
    // By keyboard: the item's own action.
    actions[0]->trigger();
    actions[3]->trigger();
    EXPECT_EQ(harness.events, (Shape{"focus 812", "open /srv/tools"}));

    // A sender that is not a menu item, or an item without a record, does nothing.
    QObject stranger;
    harness.delegate->performMenuAction(MenuAction::SessionClicked, &stranger);
    harness.delegate->performMenuAction(MenuAction::RecentSessionClicked, actions[5]);
    harness.delegate->performMenuAction(MenuAction::SessionClicked, nullptr);
    EXPECT_EQ(harness.events.size(), 2u);

    // Refresh starts a cycle at once.
    actions[5]->trigger();
    EXPECT_EQ(harness.events.back(), "background");
}

TEST(Delegate, AnOpenMenuStaysUntilItCloses) {
    DelegateHarness harness;
    harness.delegate->applicationDidFinishLaunching();
    harness.completeScans();
    QPointer<QMenu> open = &harness.menu();
    open->popup(QPoint(0, 0));
    ASSERT_TRUE(open->isVisible());

    harness.delegate->refresh();
    harness.addProcess(5, "/w/five");
    harness.completeScans();
    // The new menu is in place for the next opening; the open one is left alone.
    EXPECT_NE(&harness.menu(), open.data());
    ASSERT_FALSE(open.isNull());
    EXPECT_TRUE(open->isVisible());

    open->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(open.isNull());
}

TEST(Delegate, RecentLimitOfZeroHidesTheSection) {
    DelegateHarness harness;
    harness.preferences.setInteger(kMaxRecentSessionsKey, 0);
    harness.delegate->applicationDidFinishLaunching();
    harness.completeScans();
    RecentSession recent{std::nullopt, std::nullopt, "/srv/x",
                         Instant{},    std::nullopt, std::nullopt};
    harness.delegate->rebuildMenu({}, {recent});
    EXPECT_EQ(menuShape(harness.menu()).size(), 7u);
}

}  // namespace
}  // namespace fernbeacon::test
