#include "app/TrayController.h"

#include <QCoreApplication>
#include <QPointer>
#include <algorithm>

#include "core/LiveRegistry.h"
#include "core/MenuModel.h"
#include "core/StatusTitle.h"

namespace fernbeacon::app {

MenuCallbacks sessionMenuCallbacks(TerminalControl& terminal, SettingsController& settings) {
    MenuCallbacks callbacks;
    callbacks.focusSession = [&terminal](const ClaudeSessionPtr& session) {
        terminal.focusSession(session);
    };
    callbacks.openRecent = [&terminal](const RecentSession& recent) {
        terminal.openNewSession(recent.projectPath);
    };
    callbacks.showSettings = [&settings] { settings.show(); };
    return callbacks;
}

TrayController::TrayController(TrayEnvironment environment, TrayIcon& icon, QObject* parent)
    : QObject(parent),
      environment_(std::move(environment)),
      icon_(icon),
      settings_(environment_),
      menuCallbacks_(sessionMenuCallbacks(environment_.terminal, settings_)),
      scanner_(environment_.scan.makeScanner()) {
    menuCallbacks_.refresh = [this] { refresh(); };
    menuCallbacks_.quit = [] { QCoreApplication::quit(); };
    connect(&settings_, &SettingsController::menuPreferenceChanged, this, &TrayController::refresh);
    connect(&refreshTimer_, &QTimer::timeout, this, &TrayController::refresh);
}

TrayController::~TrayController() = default;

void TrayController::start() {
    icon_.setTitle(QString::fromStdString(statusTitle(0)));
    icon_.show();
    rebuildMenu();
    refresh();
    environment_.terminal.warmUp();
    if (environment_.registryWatcher != nullptr) {
        registryChanges_ = std::make_unique<RefreshDebounce>([this] { refresh(); });
        environment_.registryWatcher->onChange([this] { registryChanges_->changed(); });
        watchRegistries();
    }
    if (environment_.notifier != nullptr) {
        environment_.notifier->onChosen([this](std::int32_t pid) { noticeChosen(pid); });
    }
    refreshTimer_.start(kRefreshIntervalMilliseconds);
}

void TrayController::refresh() {
    std::weak_ptr<const SessionScanner> scanner = scanner_;
    QPointer<TrayController> self(this);
    Dispatcher& dispatcher = environment_.dispatcher;
    const std::uint64_t cycle = ++cyclesStarted_;
    dispatcher.toBackground(WorkClass::UserInitiated, [scanner, self, &dispatcher, cycle] {
        const auto strongScanner = scanner.lock();
        if (!strongScanner) {
            return;
        }
        ScanResult result = runScanCycle(*strongScanner);
        dispatcher.toMain([self, result = std::move(result), cycle]() mutable {
            if (self) {
                self->applyScan(std::move(result), cycle);
            }
        });
    });
}

void TrayController::applyScan(ScanResult scan, std::uint64_t cycle) {
    const bool stale = cycle < newestApplied_;
    newestApplied_ = std::max(newestApplied_, cycle);
    if (!stale) {
        waitingOrder_.update(scan.live);
        announceWaiting(scan.live);
    }
    if (preferenceFlag(environment_.scan.preferences, kWaitingFirstKey, true)) {
        scan.live = waitingOrder_.arrange(scan.live);
    }
    shown_ = std::move(scan);
    rebuildMenu();
    const std::string title = statusTitle(static_cast<std::int64_t>(shown_.live.size()));
    icon_.setTitle(QString::fromStdString(title));
    icon_.setAttention(anyWaiting(shown_.live),
                       QString::fromStdString(attentionToolTip(title, shown_.live)));
    watchRegistries();
    emit sessionsShown(shown_.live);
}

void TrayController::announceWaiting(const std::vector<ClaudeSessionPtr>& sessions) {
    const bool first = !std::exchange(scanned_, true);
    const WaitingChanges changes = waitingChanges(announcedFrom_, sessions);
    announcedFrom_ = sessions;
    SessionNotifier* notifier = environment_.notifier;
    if (notifier == nullptr) {
        return;
    }
    for (const std::int32_t pid : changes.left) {
        notifier->close(pid);
    }
    if (first || !preferenceFlag(environment_.scan.preferences, kNotifyWhenWaitingKey, true)) {
        return;
    }
    for (const ClaudeSessionPtr& session : changes.entered) {
        notifier->show(session->pid, waitingNotice(*session));
    }
}

void TrayController::noticeChosen(std::int32_t pid) {
    const auto found = std::find_if(shown_.live.begin(), shown_.live.end(),
                                    [pid](const ClaudeSessionPtr& s) { return s->pid == pid; });
    if (found != shown_.live.end()) {
        environment_.terminal.focusSession(*found);
    }
}

void TrayController::watchRegistries() {
    if (environment_.registryWatcher != nullptr) {
        environment_.registryWatcher->watch(registryFolders(scanner_->claudeDir(), shown_.live));
    }
}

void TrayController::rebuildMenu() {
    icon_.setMenu(buildMenu(buildMenuModel(shown_.live, shown_.recent), menuCallbacks_, this));
}

}  // namespace fernbeacon::app
