#include "app/SettingsController.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QScreen>
#include <algorithm>

namespace fernbeacon::app {

SettingsController::SettingsController(TrayEnvironment environment, QObject* parent)
    : QObject(parent), environment_(std::move(environment)) {}

SettingsController::~SettingsController() {
    delete panel_;
}

SettingsDialog& SettingsController::show() {
    if (isShown()) {
        panel_->raise();
        panel_->activateWindow();
        return *panel_;
    }
    const Preferences& stored = preferences();
    const SettingsDialog::Values values{environment_.terminal.terminalChoices(),
                                        stored.text(kPreferredTerminalKey),
                                        maxRecentSessions(stored),
                                        environment_.loginItem.isRegistered(),
                                        preferenceFlag(stored, kWaitingFirstKey, true),
                                        preferenceFlag(stored, kNotifyWhenWaitingKey, true)};
    delete panel_;
    auto* panel = new SettingsDialog(values);
    QComboBox* terminal = panel->terminalChoice();
    connect(terminal, &QComboBox::activated, this, [this, terminal] {
        if (terminal->currentIndex() >= 0) {
            preferences().setText(kPreferredTerminalKey, terminal->currentText().toStdString());
        }
    });
    connect(panel->maxRecentBox(), &QSpinBox::valueChanged, this, [this](int value) {
        preferences().setInteger(kMaxRecentSessionsKey,
                                 std::clamp(value, 0, kMaxRecentSessionsLimit));
        emit menuPreferenceChanged();
    });
    connect(panel->loginCheckbox(), &QCheckBox::clicked, this,
            [this, panel] { loginItemChanged(*panel->loginCheckbox()); });
    for (const auto& [checkbox, key] : {std::pair{panel->waitingFirstCheckbox(), kWaitingFirstKey},
                                        {panel->notifyCheckbox(), kNotifyWhenWaitingKey}}) {
        connect(checkbox, &QCheckBox::clicked, this, [this, key](bool checked) {
            setPreferenceFlag(preferences(), key, checked);
            emit menuPreferenceChanged();
        });
    }
    connect(panel->homePageLink(), &QLabel::linkActivated, this, &SettingsController::openHomePage);
    connect(panel, &QDialog::finished, this, &SettingsController::closed);
    panel_ = panel;

    panel->adjustSize();
    if (const QScreen* screen = QApplication::primaryScreen()) {
        QRect frame = panel->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        panel->move(frame.topLeft());
    }
    panel->show();
    panel->raise();
    panel->activateWindow();
    return *panel;
}

void SettingsController::loginItemChanged(QCheckBox& checkbox) {
    const bool on = checkbox.isChecked();
    LoginItem& loginItem = environment_.loginItem;
    const auto error = on ? loginItem.registerLoginItem() : loginItem.unregisterLoginItem();
    if (!error) {
        return;
    }
    // Not a click: no signal is sent again.
    checkbox.setChecked(!on);
    QMessageBox alert(QMessageBox::Warning, QStringLiteral("Fernbeacon"),
                      QStringLiteral("Could not update login item"), QMessageBox::Ok,
                      checkbox.window());
    alert.setInformativeText(QString::fromStdString(*error));
    alert.exec();
}

void SettingsController::openHomePage() {
    const QUrl url(QString::fromUtf8(kHomePageAddress));
    if (!url.isValid()) {
        return;
    }
    if (environment_.openUrl) {
        environment_.openUrl(url);
    } else {
        QDesktopServices::openUrl(url);
    }
}

}  // namespace fernbeacon::app
