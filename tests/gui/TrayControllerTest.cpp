#include <gtest/gtest.h>

#include <QKeyEvent>
#include <algorithm>

#include "GuiHarness.h"
#include "app/PopupMenu.h"
#include "core/SessionNotifier.h"

namespace fernbeacon::test {
namespace {

using Shape = std::vector<std::string>;

// The menu of the cycle that finishes last is put in place for the next opening; an open menu
// stays until it closes, so a refresh never snatches it away from under the pointer.
TEST(TrayController, TheCycleThatFinishesLastWinsAndAnOpenMenuStays) {
    TrayHarness harness;
    harness.tray->start();
    harness.completeScans();
    QPointer<QMenu> open = &harness.menu();
    open->popup(QPoint(0, 0));

    harness.tray->refresh();  // older
    harness.tray->refresh();  // newer
    ASSERT_EQ(harness.dispatcher.background.size(), 2u);
    // The newer cycle sees one process and finishes first; the older one sees two and later.
    harness.addProcess(1, "/w/one");
    harness.dispatcher.runBackground(1);
    harness.addProcess(2, "/w/two");
    harness.dispatcher.runBackground(0);
    harness.dispatcher.runMain();

    EXPECT_EQ(harness.icon.title(), "FB 2");
    EXPECT_EQ(std::ranges::count(menuShape(harness.menu()), "[row]"), 2);
    ASSERT_FALSE(open.isNull());
    EXPECT_TRUE(open->isVisible());
    open->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(open.isNull());
}

// The empty menu at once, before the first scan ends; a scan that ends after its controller
// does nothing.
TEST(TrayController, StartShowsTheEmptyMenuAndACycleOfAGoneControllerDoesNothing) {
    TrayHarness harness;
    harness.tray->start();
    EXPECT_FALSE(harness.menu().actions()[0]->isEnabled());
    EXPECT_EQ(harness.events, (Shape{"background", "warmUp"}));
    EXPECT_EQ(harness.icon.title(), "FB");

    harness.tray.reset();
    harness.addProcess(1, "/w/one");
    harness.dispatcher.runBackground(0);
    EXPECT_EQ(harness.dispatcher.main.size(), 0u);
    EXPECT_EQ(harness.probes.scans.load(), 0);
}

TEST(TrayController, EntriesActOnTheirOwnRecords) {
    TrayHarness harness;
    harness.tray->start();
    harness.addProcess(812, "/w/spotter");
    harness.addProcess(813, "/w/harbor");
    harness.home.writeProjectFile("old", "x.jsonl", cwdRecord("/srv/tools") + "\n");
    harness.completeScans();
    harness.events.clear();

    const QList<QAction*> actions = harness.menu().actions();
    // Live rows at 0 and 2, Recent's row at 5, Refresh at 7.
    ASSERT_EQ(menuShape(harness.menu()).size(), 12u);
    actions[2]->trigger();
    actions[5]->trigger();
    EXPECT_EQ(harness.events, (Shape{"focus 813", "open /srv/tools"}));

    // Refresh starts a cycle at once.
    actions[7]->trigger();
    EXPECT_EQ(harness.events.back(), "background");

    // Entries of a menu that outlives its controller do nothing.
    QPointer<QMenu> menu = &harness.menu();
    harness.tray.reset();
    menu->actions()[0]->trigger();
    EXPECT_EQ(harness.events.size(), 3u);
}

class RecordingNotifier final : public SessionNotifier {
public:
    void show(std::int32_t pid, const WaitingNotice&) override {
        events.push_back("show " + std::to_string(pid));
    }
    void close(std::int32_t pid) override { events.push_back("close " + std::to_string(pid)); }
    std::vector<std::string> events;
};

// Overlapping cycles: the menu takes what arrives last, with the waiting session first, but an
// older cycle's late view of a session that already stopped waiting must not announce it again.
TEST(TrayController, OnlyTheNewestCycleStartedAnnouncesAndAWaitingSessionLeads) {
    TrayHarness harness;
    RecordingNotifier notifier;
    harness.tray = harness.makeTray(&notifier);
    harness.addProcess(40, "/w/notes");
    harness.addProcess(41, "/w/harbor");
    const auto status = [&](const char* value) {
        harness.home.write(".claude/sessions/41.json",
                           std::string(R"({"pid":41,"status":")") + value + R"("})");
    };
    // What waits at the first scan was not seen to start waiting.
    status("waiting");
    harness.tray->start();
    harness.completeScans();
    EXPECT_TRUE(notifier.events.empty());

    harness.tray->refresh();  // older
    harness.tray->refresh();  // newer
    status("idle");
    harness.dispatcher.runBackground(1);
    harness.dispatcher.runMain();
    status("waiting");
    harness.dispatcher.runBackground(0);
    harness.dispatcher.runMain();
    EXPECT_TRUE(harness.icon.showsAttention());
    EXPECT_EQ(harness.icon.toolTip(), "FB 2\nharbor \u2014 Waiting for you");
    harness.menu().actions()[0]->trigger();
    EXPECT_EQ(harness.events.back(), "focus 41");
    EXPECT_EQ(notifier.events, (Shape{"close 41"}));

    harness.tray->refresh();
    harness.completeScans();
    status("idle");
    harness.tray->refresh();
    harness.completeScans();
    EXPECT_EQ(notifier.events, (Shape{"close 41", "show 41", "close 41"}));
}

TEST(PopupMenu, AChoiceActsAsInTheTrayAndTheMenuFinishesOnceClosed) {
    TrayHarness harness;
    harness.addProcess(4242, harness.home.makeDirectory("work/api").string());
    app::PopupMenu popup(harness.environment());
    int finished = 0;
    QObject::connect(&popup, &app::PopupMenu::finished, [&] { ++finished; });
    // As a person chooses: the menu hides, then the item acts.
    const auto choose = [&](int index) {
        popup.popUp(QPoint(40, 40));
        popup.menu()->setActiveAction(popup.menu()->actions()[index]);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(popup.menu(), &enter);
        QApplication::processEvents();
    };

    choose(0);
    EXPECT_EQ(harness.events.back(), "focus 4242");
    EXPECT_EQ(finished, 1);

    // The settings panel keeps it going until the panel closes.
    EXPECT_EQ(menuShape(*popup.menu()),
              (std::vector<std::string>{"[row]", "-", "-", "Settings...", "-"}));
    choose(3);
    EXPECT_EQ(finished, 1);
    QWidget* panel = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        panel = qobject_cast<app::SettingsDialog*>(window) != nullptr ? window : panel;
    }
    ASSERT_NE(panel, nullptr);
    panel->close();
    QApplication::processEvents();
    EXPECT_EQ(finished, 2);
}

}  // namespace
}  // namespace fernbeacon::test
