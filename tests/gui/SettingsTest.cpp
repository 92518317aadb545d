#include <gtest/gtest.h>

#include <QMessageBox>
#include <QTimer>
#include <stdexcept>

#include "GuiHarness.h"

namespace fernbeacon::test {
namespace {

// Runs `action`, answering the modal alert it opens; the alert's text and informative text, if
// one appeared.
std::optional<QString> answeringAlert(const std::function<void()>& action) {
    std::optional<QString> seen;
    QTimer answer;
    answer.setInterval(10);
    int attempts = 0;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen = box->text() + "\n" + box->informativeText();
            box->accept();
        } else if (++attempts > 500) {
            answer.stop();  // bounded: a missing alert must not hang the test
        }
    });
    answer.start();
    action();
    return seen;
}

// The tray's panel, opened as a person does: from the menu.
struct SettingsHarness : TrayHarness {
    SettingsHarness() {
        tray->start();
        completeScans();
        events.clear();
    }
    app::SettingsDialog& open() {
        menu().actions()[4]->trigger();  // Settings...
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* panel = qobject_cast<app::SettingsDialog*>(window);
                panel && panel->isVisible()) {
                return *panel;
            }
        }
        throw std::runtime_error("no settings panel");
    }
};

TEST(Settings, StoredValuesAreShownControlsWriteThemAndRefreshWhatTheMenuShows) {
    SettingsHarness harness;
    harness.preferences.setText(kPreferredTerminalKey, "Konsole");
    harness.preferences.setInteger(kMaxRecentSessionsKey, 7);
    harness.preferences.setText(kNotifyWhenWaitingKey, "false");
    harness.loginItem.registerLoginItem();
    app::SettingsDialog& panel = harness.open();
    EXPECT_EQ(panel.terminalChoice()->currentText(), "Konsole");
    EXPECT_EQ(panel.maxRecentBox()->value(), 7);
    EXPECT_TRUE(panel.loginCheckbox()->isChecked());
    EXPECT_FALSE(panel.notifyCheckbox()->isChecked());

    QComboBox& terminal = *panel.terminalChoice();
    terminal.setCurrentIndex(0);
    emit terminal.activated(0);
    EXPECT_EQ(harness.preferences.text(kPreferredTerminalKey), "Auto");
    EXPECT_TRUE(harness.events.empty());

    QSpinBox& limit = *panel.maxRecentBox();
    limit.setValue(0);
    EXPECT_EQ(harness.preferences.integer(kMaxRecentSessionsKey), 0);
    EXPECT_EQ(harness.events, (std::vector<std::string>{"background"}));
    panel.waitingFirstCheckbox()->click();
    panel.notifyCheckbox()->click();
    EXPECT_FALSE(preferenceFlag(harness.preferences, kWaitingFirstKey, true));
    EXPECT_TRUE(preferenceFlag(harness.preferences, kNotifyWhenWaitingKey, false));
    EXPECT_EQ(harness.events.size(), 3u);

    emit panel.homePageLink()->linkActivated("ignored");
    ASSERT_EQ(harness.opened.size(), 1u);
    EXPECT_EQ(harness.opened[0].scheme(), "https");

    // The visible panel is reused; a closed one is released, not left behind, and rebuilt. A
    // value no item offers selects nothing and stays stored.
    const QPointer<app::SettingsDialog> first = &panel;
    EXPECT_EQ(&harness.open(), first.data());
    panel.close();
    harness.preferences.setText(kPreferredTerminalKey, "Hyper");
    app::SettingsDialog& again = harness.open();
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(again.terminalChoice()->currentIndex(), -1);
    EXPECT_EQ(harness.preferences.text(kPreferredTerminalKey), "Hyper");
}

TEST(Settings, LoginItemSuccessAndFailure) {
    SettingsHarness harness;
    QCheckBox& box = *harness.open().loginCheckbox();
    const auto entry = harness.home.path(".config/autostart/fernbeacon.desktop");

    EXPECT_FALSE(answeringAlert([&] { box.click(); }));
    EXPECT_TRUE(box.isChecked());
    EXPECT_TRUE(std::filesystem::exists(entry));
    EXPECT_FALSE(answeringAlert([&] { box.click(); }));
    EXPECT_FALSE(box.isChecked());
    EXPECT_FALSE(std::filesystem::exists(entry));

    // An autostart folder that cannot be made: the box goes back and the alert explains.
    std::filesystem::remove(entry.parent_path());
    harness.home.write(".config/autostart", "not a folder");
    const auto alert = answeringAlert([&] { box.click(); });
    ASSERT_TRUE(alert);
    EXPECT_TRUE(alert->startsWith("Could not update login item\n")) << alert->toStdString();
    EXPECT_TRUE(alert->contains("Not a directory")) << alert->toStdString();
    EXPECT_FALSE(box.isChecked());
}

}  // namespace
}  // namespace fernbeacon::test
