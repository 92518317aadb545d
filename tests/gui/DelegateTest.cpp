#include <gtest/gtest.h>

#include "GuiHarness.h"
#include "app/MenuRowView.h"
#include "app/SessionMenuItemView.h"

namespace fernbeacon::test {
namespace {

using Shape = std::vector<std::string>;

TEST(Delegate, LaunchSequenceInOrder) {
    DelegateHarness harness;
    harness.addProcess(41, "/w/spotter");
    harness.delegate->applicationDidFinishLaunching();

    app::AppDelegate& delegate = *harness.delegate;
    EXPECT_EQ(delegate.statusItem()->title(), "FB");
    EXPECT_EQ(delegate.statusItem()->trayIcon().toolTip(), "FB");
    EXPECT_EQ(delegate.sessionScanner()->claudeDir(), harness.home.claudeDir());
    // The empty menu first, then the scan and the warm-up, then the timer.
    EXPECT_EQ(menuShape(harness.menu()), (Shape{"No active Claude sessions", "-", "Refresh", "-",
                                                "Settings...", "-", "Quit Fernbeacon"}));
    EXPECT_FALSE(harness.menu().actions()[0]->isEnabled());
    EXPECT_EQ(harness.events, (Shape{"background", "warmUp"}));
    ASSERT_TRUE(delegate.refreshTimer());
    EXPECT_TRUE(delegate.refreshTimer()->isActive());
    EXPECT_EQ(delegate.refreshTimer()->interval(), 5000);
    EXPECT_FALSE(delegate.refreshTimer()->isSingleShot());

    harness.completeScans();
    EXPECT_EQ(delegate.statusItem()->title(), "FB 1");
    EXPECT_EQ(delegate.cachedSessions().size(), 1u);
    EXPECT_EQ(menuShape(harness.menu())[0], "[row]");
}

TEST(Delegate, StatusTitleRule) {
    DelegateHarness harness;
    harness.delegate->applicationDidFinishLaunching();
    app::TrayController& item = *harness.delegate->statusItem();
    for (const auto& [count, title] : std::vector<std::pair<std::int64_t, QString>>{
             {0, "FB"}, {-2, "FB"}, {1, "FB 1"}, {12, "FB 12"}}) {
        harness.delegate->updateStatusTitle(count);
        EXPECT_EQ(item.title(), title);
        EXPECT_EQ(item.trayIcon().toolTip(), title);
        const QImage expected = app::TrayController::titleImage(title, 1.0);
        EXPECT_EQ(item.trayIcon().icon().pixmap(expected.size()).toImage().size(), expected.size());
    }
    // Wider for a longer title, as tall as the bold 12-pixel font.
    const QImage one = app::TrayController::titleImage("FB 1", 1.0);
    const QImage twelve = app::TrayController::titleImage("FB 12", 1.0);
    EXPECT_GT(twelve.width(), one.width());
    EXPECT_EQ(twelve.height(), one.height());
    EXPECT_EQ(one.pixelColor(0, 0).alpha(), 0);
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

    // The fixed items: shortcuts with Ctrl, and Refresh starts a cycle at once.
    EXPECT_EQ(actions[5]->shortcut(), QKeySequence("Ctrl+R"));
    EXPECT_EQ(actions[7]->shortcut(), QKeySequence("Ctrl+,"));
    EXPECT_EQ(actions[9]->shortcut(), QKeySequence("Ctrl+Q"));
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
    harness.home.writeProjectFile("old", "x.jsonl", cwdRecord("/srv/tools") + "\n");
    harness.completeScans();
    RecentSession recent{std::nullopt, std::nullopt, "/srv/x",
                         Instant{},    std::nullopt, std::nullopt};
    harness.delegate->rebuildMenu({}, {recent});
    EXPECT_EQ(menuShape(harness.menu()), (Shape{"No active Claude sessions", "-", "Refresh", "-",
                                                "Settings...", "-", "Quit Fernbeacon"}));
}

}  // namespace
}  // namespace fernbeacon::test
