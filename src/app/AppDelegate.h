#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QObject>
#include <QPointer>
#include <QSpinBox>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "app/MenuActionTarget.h"
#include "app/RefreshDebounce.h"
#include "app/SettingsDialog.h"
#include "app/TrayController.h"
#include "core/Attention.h"
#include "core/Clock.h"
#include "core/Dispatcher.h"
#include "core/FolderWatcher.h"
#include "core/LoginItem.h"
#include "core/SessionNotifier.h"
#include "core/SessionScanner.h"
#include "terminal/TerminalControl.h"

namespace fernbeacon::app {

inline constexpr int kRefreshIntervalMilliseconds = 5000;

// What the tray takes from outside. Everything referred to must outlive the delegate; the
// dispatcher must also outlive every work item the delegate gave it.
struct TrayEnvironment {
    std::filesystem::path homeDirectory;
    ProcessProbes& probes;
    Preferences& preferences;
    const Clock& clock;
    Logger& scannerLogger;
    Dispatcher& dispatcher;
    TerminalControl& terminal;
    LoginItem& loginItem;
    bool trayMenuIsExported = false;
    std::function<void(const QUrl&)> openUrl;  // the desktop's URL handler when empty
    FolderWatcher* registryWatcher = nullptr;  // none: the 5-second cycle alone
    SessionNotifier* notifier = nullptr;       // none: no desktop notices
};

// The scanner of the tray's refresh cycles; `fernbeacon watch` runs the same one.
std::shared_ptr<const SessionScanner> makeSessionScanner(const TrayEnvironment& environment);

// Owns the tray's state for the life of the process and answers every menu action and settings
// control. Main thread only.
class AppDelegate : public QObject, public MenuActionTarget {
    Q_OBJECT
public:
    explicit AppDelegate(TrayEnvironment environment, QObject* parent = nullptr);
    ~AppDelegate() override;

    // The launch sequence: status item, scanner, empty menu, first refresh, warm-up, timer.
    void applicationDidFinishLaunching();

    // Starts one scan cycle on a worker; its results arrive through applyScanResults. Cycles
    // may overlap, and the one whose results arrive last wins the menu. Notices follow only the
    // newest cycle started: an older one's results arriving late must not announce again.
    void refresh();
    void applyScanResults(std::vector<ClaudeSessionPtr> sessions,
                          std::vector<RecentSession> recentSessions, std::uint64_t cycle = 0);
    void rebuildMenu(const std::vector<ClaudeSessionPtr>& sessions,
                     const std::vector<RecentSession>& recentSessions);
    void updateStatusTitle(std::int64_t count);
    // Notices for the sessions that started waiting since the last scan, withdrawn once they
    // stop; none for those already waiting at the first scan.
    void announceWaiting(const std::vector<ClaudeSessionPtr>& sessions);
    // Focuses the session of a chosen notice, as its row would.
    void noticeChosen(std::int32_t pid);

    void performMenuAction(MenuAction action, QObject* sender) override;
    void sessionClicked(QObject* sender);
    void recentSessionClicked(QObject* sender);
    void refreshClicked();
    void settingsClicked();
    void quitClicked();

    // The settings panel: reused while visible, built anew once closed.
    void showSettings();
    void terminalPreferenceChanged(QComboBox* popUp);
    void maxRecentChanged(QSpinBox* stepper);
    void loginItemChanged(QCheckBox* checkbox);
    void attentionPreferenceChanged(std::string_view key, QCheckBox* checkbox);
    void openHomePage();

    TrayController* statusItem() const { return statusItem_.get(); }
    const SessionScanner* sessionScanner() const { return sessionScanner_.get(); }
    const QTimer* refreshTimer() const { return refreshTimer_.get(); }
    const std::vector<ClaudeSessionPtr>& cachedSessions() const { return cachedSessions_; }
    const std::vector<RecentSession>& cachedRecentSessions() const { return cachedRecentSessions_; }
    SettingsDialog* settingsPanel() const { return settingsPanel_; }

private:
    void showAttention();
    void watchRegistries();

    TrayEnvironment environment_;
    std::unique_ptr<TrayController> statusItem_;
    // Shared with the scan cycles in flight, which hold it weakly: a cycle that starts after the
    // delegate is gone ends at once.
    std::shared_ptr<const SessionScanner> sessionScanner_;
    std::unique_ptr<QTimer> refreshTimer_;
    std::vector<ClaudeSessionPtr> cachedSessions_;
    std::vector<RecentSession> cachedRecentSessions_;
    WaitingOrder waitingOrder_;
    bool scanned_ = false;
    std::vector<ClaudeSessionPtr> announcedFrom_;
    std::uint64_t cyclesStarted_ = 0;
    std::uint64_t newestApplied_ = 0;
    std::unique_ptr<RefreshDebounce> registryChanges_;
    QPointer<SettingsDialog> settingsPanel_;
    // The number field and its stepper are one spin box.
    QPointer<QSpinBox> maxRecentStepper_;
    QPointer<QCheckBox> loginCheckbox_;
};

}  // namespace fernbeacon::app
