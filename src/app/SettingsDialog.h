#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QSpinBox>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fernbeacon::app {

inline constexpr const char* kHomePageAddress = "https://fernbeacon.dev";
inline constexpr int kMaxRecentSessionsLimit = 30;

// The settings panel's controls with the values they start from. It writes nothing itself: its
// controller connects to the controls' user signals.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    struct Values {
        std::vector<std::string> terminalChoices;
        std::optional<std::string> preferredTerminal;  // absent selects "Auto"
        std::int64_t maxRecentSessions = 15;
        bool startsOnLogin = false;
        bool waitingFirst = true;
        bool notifyWhenWaiting = true;
    };

    explicit SettingsDialog(const Values& values, QWidget* parent = nullptr);

    QComboBox* terminalChoice() const { return terminalChoice_; }
    // The number cannot be typed, only stepped.
    QSpinBox* maxRecentBox() const { return maxRecentBox_; }
    QCheckBox* loginCheckbox() const { return loginCheckbox_; }
    QCheckBox* waitingFirstCheckbox() const { return waitingFirstCheckbox_; }
    QCheckBox* notifyCheckbox() const { return notifyCheckbox_; }
    QLabel* homePageLink() const { return homePageLink_; }

private:
    QComboBox* terminalChoice_;
    QSpinBox* maxRecentBox_;
    QCheckBox* loginCheckbox_;
    QCheckBox* waitingFirstCheckbox_;
    QCheckBox* notifyCheckbox_;
    QLabel* homePageLink_;
};

}  // namespace fernbeacon::app
