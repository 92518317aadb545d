#include <gtest/gtest.h>

#include <QWidgetAction>
#include <filesystem>

#include "GuiHarness.h"
#include "app/ColorTable.h"
#include "app/MenuBuilder.h"
#include "app/SessionMenuItemView.h"
#include "core/Attention.h"
#include "core/MenuModel.h"
#include "core/SessionNotifier.h"

namespace fernbeacon::test {
namespace {

ClaudeSessionPtr live(std::int32_t pid, const char* directory, const char* prompt,
                      std::optional<std::string> status, std::int64_t tokens) {
    auto session = std::make_shared<ClaudeSession>(pid, "pts/1", directory, "tmux");
    session->firstPrompt = prompt;
    session->gitBranch = "main";
    session->model = "opus";
    session->processUptime = "12 min";
    session->contextTokensUsed = tokens;
    session->status = std::move(status);
    if (session->status == "waiting") {
        session->waitingFor = "permission prompt";
    }
    return session;
}

app::MenuRowView& rowAt(const QMenu& menu, int index) {
    return *static_cast<app::MenuRowView*>(
        static_cast<QWidgetAction*>(menu.actions()[index])->defaultWidget());
}

QColor centreOf(QWidget& widget) {
    const QImage image = widget.grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

// Each state drawn: the waiting row's mark in the attention colour, the working row's in a
// quiet one, the idle row as rows always were. Saved for the documentation.
TEST(AttentionViews, RowsPaintEachStateAsTheModelSays) {
    const std::vector<ClaudeSessionPtr> sessions{
        live(1, "/home/me/src/harbor-api", "Add retries to the webhook client", "waiting", 92000),
        live(2, "/home/me/src/spotter", "Make the scanner faster", "busy", 61000),
        live(3, "/home/me/src/notes", "Summarise the design review", "idle", 12000)};
    const auto menu = app::buildMenu(buildMenuModel(sessions, {}, 0), nullptr);
    menu->adjustSize();

    app::MenuRowView& waiting = rowAt(*menu, 0);
    ASSERT_NE(waiting.statusMark(), nullptr);
    EXPECT_EQ(centreOf(*waiting.statusMark()),
              app::colorFor({ColorRole::Attention}, waiting.palette()));
    app::MenuRowView& working = rowAt(*menu, 2);
    ASSERT_NE(working.statusMark(), nullptr);
    EXPECT_EQ(rowAt(*menu, 4).statusMark(), nullptr);

    const std::filesystem::path directory = FERNBEACON_SCREENSHOT_DIR;
    std::filesystem::create_directories(directory);
    EXPECT_TRUE(menu->grab().save(QString::fromStdString((directory / "attention.png").string())));
}

TEST(AttentionViews, IconCarriesADotTooltipNamesTheWaitingAndSettingsWriteBothFlags) {
    DelegateHarness harness;
    harness.addProcess(41, "/w/harbor");
    harness.addProcess(42, "/w/notes");
    harness.delegate->applicationDidFinishLaunching();
    harness.completeScans();
    app::TrayController& tray = *harness.delegate->statusItem();

    harness.home.write(".claude/sessions/42.json",
                       R"({"pid":42,"status":"waiting","waitingFor":"input needed"})");
    harness.delegate->refresh();
    harness.completeScans();
    EXPECT_TRUE(tray.showsAttention());
    EXPECT_EQ(tray.title(), "FB 2");
    EXPECT_EQ(tray.trayIcon().toolTip(), "FB 2\nnotes \u2014 Waiting: input needed");
    // Waiting first: the second session's row leads the menu.
    EXPECT_EQ(app::sessionOf(harness.menu().actions()[0])->pid, 42);

    const QImage title = app::TrayController::titleImage("FB 2", 2.0);
    const QImage marked = app::TrayController::withAttentionDot(title);
    EXPECT_GT(marked.width(), title.width());
    EXPECT_EQ(marked.pixelColor(marked.width() - 7, 7).rgb(),
              app::colorFor({ColorRole::Attention}, QApplication::palette()).rgb());

    harness.preferences.setText(kNotifyWhenWaitingKey, "false");
    harness.delegate->showSettings();
    app::SettingsDialog& panel = *harness.delegate->settingsPanel();
    EXPECT_FALSE(panel.notifyCheckbox()->isChecked());
    panel.waitingFirstCheckbox()->click();
    panel.notifyCheckbox()->click();
    EXPECT_FALSE(preferenceFlag(harness.preferences, kWaitingFirstKey, true));
    EXPECT_TRUE(preferenceFlag(harness.preferences, kNotifyWhenWaitingKey, false));
}

class RecordingNotifier final : public SessionNotifier {
public:
    void show(std::int32_t pid, const WaitingNotice&) override {
        events.push_back("show " + std::to_string(pid));
    }
    void close(std::int32_t pid) override { events.push_back("close " + std::to_string(pid)); }
    std::vector<std::string> events;
};

// Overlapping cycles: the menu takes what arrives last, but an older cycle's late view of a
// session that already stopped waiting must not announce it again.
TEST(AttentionViews, OnlyTheNewestCycleStartedAnnounces) {
    DelegateHarness harness;
    RecordingNotifier notifier;
    harness.delegate = std::make_unique<app::AppDelegate>(harness.environment(&notifier));
    harness.addProcess(41, "/w/harbor");
    harness.delegate->applicationDidFinishLaunching();
    harness.completeScans();
    const auto status = [&](const char* value) {
        harness.home.write(".claude/sessions/41.json",
                           std::string(R"({"pid":41,"status":")") + value + R"("})");
    };

    harness.delegate->refresh();  // older
    harness.delegate->refresh();  // newer
    status("idle");
    harness.dispatcher.runBackground(1);
    harness.dispatcher.runMain();
    status("waiting");
    harness.dispatcher.runBackground(0);
    harness.dispatcher.runMain();
    EXPECT_TRUE(harness.delegate->statusItem()->showsAttention());
    EXPECT_TRUE(notifier.events.empty());

    harness.delegate->refresh();
    harness.completeScans();
    status("idle");
    harness.delegate->refresh();
    harness.completeScans();
    EXPECT_EQ(notifier.events, (std::vector<std::string>{"show 41", "close 41"}));
}

}  // namespace
}  // namespace fernbeacon::test
