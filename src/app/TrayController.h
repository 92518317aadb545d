#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/MenuBuilder.h"
#include "app/RefreshDebounce.h"
#include "app/SettingsController.h"
#include "app/TrayEnvironment.h"
#include "app/TrayIcon.h"
#include "core/Attention.h"

namespace fernbeacon::app {

// What choosing a session or the settings does, in the tray and in `fernbeacon menu` alike.
MenuCallbacks sessionMenuCallbacks(TerminalControl& terminal, SettingsController& settings);

// The tray's state for the life of the process: schedules the scan cycles, puts their results
// into the icon and its menu, and hands clicks and chosen notices on. Main thread only.
class TrayController : public QObject {
    Q_OBJECT
public:
    // `icon` must outlive the controller.
    TrayController(TrayEnvironment environment, TrayIcon& icon, QObject* parent = nullptr);
    ~TrayController() override;

    // Shows the icon with an empty menu, starts the first scan, warms the terminal control up
    // and starts the refresh timer.
    void start();

    // Starts one scan cycle on a worker. Cycles may overlap, and the one whose results arrive
    // last wins the menu. Notices follow only the newest cycle started: an older one's results
    // arriving late must not announce again.
    void refresh();

signals:
    // After each scan: the live sessions in the menu's order.
    void sessionsShown(const std::vector<ClaudeSessionPtr>& sessions);

private:
    void applyScan(ScanResult scan, std::uint64_t cycle);
    void rebuildMenu();
    // Notices for the sessions that started waiting since the last scan, withdrawn once they
    // stop; none for those already waiting at the first scan.
    void announceWaiting(const std::vector<ClaudeSessionPtr>& sessions);
    void noticeChosen(std::int32_t pid);
    void watchRegistries();

    TrayEnvironment environment_;
    TrayIcon& icon_;
    SettingsController settings_;
    MenuCallbacks menuCallbacks_;
    // Shared with the scan cycles in flight, which hold it weakly: a cycle that starts after the
    // controller is gone ends at once.
    std::shared_ptr<const SessionScanner> scanner_;
    QTimer refreshTimer_;
    ScanResult shown_;
    WaitingOrder waitingOrder_;
    bool scanned_ = false;
    std::vector<ClaudeSessionPtr> announcedFrom_;
    std::uint64_t cyclesStarted_ = 0;
    std::uint64_t newestApplied_ = 0;
    std::unique_ptr<RefreshDebounce> registryChanges_;
};

}  // namespace fernbeacon::app
