#include <gtest/gtest.h>

#include <QMessageBox>
#include <QTimer>

#include "GuiHarness.h"

namespace fernbeacon::test {
namespace {

struct Alert {
    QString text;
    QString informativeText;
};

// Runs `action`, answering the modal alert it opens; the alert's texts, if one appeared.
std::optional<Alert> answeringAlert(const std::function<void()>& action) {
    std::optional<Alert> seen;
    QTimer answer;
    answer.setInterval(10);
    int attempts = 0;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen = Alert{box->text(), box->informativeText()};
            box->accept();
        } else if (++attempts > 500) {
            answer.stop();  // bounded: a missing alert must not hang the test
        }
    });
    answer.start();
    action();
    return seen;
}

struct SettingsHarness : DelegateHarness {
    SettingsHarness() {
        delegate->applicationDidFinishLaunching();
        completeScans();
        events.clear();
    }
    app::SettingsDialog& open() {
        delegate->showSettings();
        return *delegate->settingsPanel();
    }
};

TEST(Settings, StoredValuesAreShownAsTheyAreAndOpeningWritesNothing) {
    SettingsHarness harness;
    EXPECT_FALSE(harness.open().loginCheckbox()->isChecked());
    EXPECT_FALSE(harness.preferences.integer(kMaxRecentSessionsKey));
    EXPECT_FALSE(harness.preferences.text(kPreferredTerminalKey));
    harness.delegate->settingsPanel()->close();

    harness.preferences.setText(kPreferredTerminalKey, "Konsole");
    harness.preferences.setInteger(kMaxRecentSessionsKey, 7);
    harness.loginItem.registerLoginItem();
    app::SettingsDialog& panel = harness.open();
    EXPECT_EQ(panel.terminalPopUp()->currentText(), "Konsole");
    EXPECT_EQ(panel.maxRecentStepper()->value(), 7);
    EXPECT_TRUE(panel.loginCheckbox()->isChecked());
    panel.close();

    // A value no item offers selects nothing and stays stored.
    harness.preferences.setText(kPreferredTerminalKey, "Hyper");
    EXPECT_EQ(harness.open().terminalPopUp()->currentIndex(), -1);
    EXPECT_EQ(harness.preferences.text(kPreferredTerminalKey), "Hyper");
}

TEST(Settings, ControlsWriteThePreferences) {
    SettingsHarness harness;
    app::SettingsDialog& panel = harness.open();

    QComboBox& popUp = *panel.terminalPopUp();
    popUp.setCurrentIndex(2);
    emit popUp.activated(2);
    EXPECT_EQ(harness.preferences.text(kPreferredTerminalKey), "Konsole");

    // Each change of the limit is stored and starts a refresh at once.
    QSpinBox& stepper = *panel.maxRecentStepper();
    stepper.setValue(0);
    EXPECT_EQ(harness.preferences.integer(kMaxRecentSessionsKey), 0);
    EXPECT_EQ(harness.events, (std::vector<std::string>{"background"}));
    stepper.setValue(30);
    EXPECT_EQ(harness.preferences.integer(kMaxRecentSessionsKey), 30);
    EXPECT_EQ(harness.events.size(), 2u);

    emit panel.homePageLink()->linkActivated("ignored");
    ASSERT_EQ(harness.opened.size(), 1u);
    EXPECT_EQ(harness.opened[0].scheme(), "https");
}

TEST(Settings, VisiblePanelIsReusedAndAClosedOneRebuilt) {
    SettingsHarness harness;
    QPointer<app::SettingsDialog> first = &harness.open();
    EXPECT_EQ(&harness.open(), first.data());
    first->maxRecentStepper()->setValue(4);
    first->close();

    app::SettingsDialog& second = harness.open();
    EXPECT_NE(&second, first.data());
    EXPECT_TRUE(first.isNull());  // released, not left behind
    EXPECT_EQ(second.maxRecentStepper()->value(), 4);
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
    EXPECT_EQ(alert->text, "Could not update login item");
    EXPECT_TRUE(alert->informativeText.contains("Not a directory"))
        << alert->informativeText.toStdString();
    EXPECT_FALSE(box.isChecked());
}

}  // namespace
}  // namespace fernbeacon::test
