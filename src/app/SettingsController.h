#pragma once

#include <QCheckBox>
#include <QObject>
#include <QPointer>
#include <string_view>

#include "app/SettingsDialog.h"
#include "app/TrayEnvironment.h"

namespace fernbeacon::app {

// The settings panel and what its controls change: the preferences, the login item (with an
// alert when it cannot change) and the home page. Main thread only.
class SettingsController : public QObject {
    Q_OBJECT
public:
    explicit SettingsController(TrayEnvironment environment, QObject* parent = nullptr);
    ~SettingsController() override;

    // The panel with the stored values: the visible one raised, else one built anew.
    SettingsDialog& show();
    bool isShown() const { return panel_ && panel_->isVisible(); }

signals:
    // A preference that changes what the menu shows was written.
    void menuPreferenceChanged();
    // The panel was closed.
    void closed();

private:
    void loginItemChanged(QCheckBox& checkbox);
    void openHomePage();
    Preferences& preferences() const { return environment_.scan.preferences; }

    TrayEnvironment environment_;
    QPointer<SettingsDialog> panel_;
};

}  // namespace fernbeacon::app
