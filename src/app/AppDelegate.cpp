#include "app/AppDelegate.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QScreen>
#include <algorithm>

#include "app/MenuBuilder.h"
#include "core/ConfigDirectory.h"
#include "core/LiveRegistry.h"
#include "core/MenuModel.h"
#include "core/StatusTitle.h"

namespace fernbeacon::app {

std::shared_ptr<const SessionScanner> makeSessionScanner(const TrayEnvironment& environment) {
    return std::make_shared<const SessionScanner>(ownConfigDirectory(environment.homeDirectory),
                                                  environment.probes, environment.preferences,
                                                  environment.clock, environment.scannerLogger);
}

AppDelegate::AppDelegate(TrayEnvironment environment, QObject* parent)
    : QObject(parent), environment_(std::move(environment)) {}

AppDelegate::~AppDelegate() {
    delete settingsPanel_;
}

void AppDelegate::applicationDidFinishLaunching() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible()) {
            window->close();
        }
    }
    statusItem_ = std::make_unique<TrayController>(environment_.trayMenuIsExported);
    statusItem_->setTitle(QString::fromStdString(statusTitle(0)));
    statusItem_->show();
    sessionScanner_ = makeSessionScanner(environment_);
    rebuildMenu({}, {});
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
    refreshTimer_ = std::make_unique<QTimer>();
    refreshTimer_->setInterval(kRefreshIntervalMilliseconds);
    connect(refreshTimer_.get(), &QTimer::timeout, this, &AppDelegate::refresh);
    refreshTimer_->start();
}

void AppDelegate::refresh() {
    std::weak_ptr<const SessionScanner> scanner = sessionScanner_;
    QPointer<AppDelegate> self(this);
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
                self->applyScanResults(std::move(result.live), std::move(result.recent), cycle);
            }
        });
    });
}

void AppDelegate::applyScanResults(std::vector<ClaudeSessionPtr> sessions,
                                   std::vector<RecentSession> recentSessions, std::uint64_t cycle) {
    const bool stale = cycle != 0 && cycle < newestApplied_;
    newestApplied_ = std::max(newestApplied_, cycle);
    if (!stale) {
        waitingOrder_.update(sessions);
        announceWaiting(sessions);
    }
    if (preferenceFlag(environment_.preferences, kWaitingFirstKey, true)) {
        sessions = waitingOrder_.arrange(sessions);
    }
    cachedSessions_ = std::move(sessions);
    cachedRecentSessions_ = std::move(recentSessions);
    rebuildMenu(cachedSessions_, cachedRecentSessions_);
    updateStatusTitle(static_cast<std::int64_t>(cachedSessions_.size()));
    showAttention();
    watchRegistries();
}

void AppDelegate::announceWaiting(const std::vector<ClaudeSessionPtr>& sessions) {
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
    if (first || !preferenceFlag(environment_.preferences, kNotifyWhenWaitingKey, true)) {
        return;
    }
    for (const ClaudeSessionPtr& session : changes.entered) {
        notifier->show(session->pid, waitingNotice(*session));
    }
}

void AppDelegate::noticeChosen(std::int32_t pid) {
    const auto found = std::find_if(cachedSessions_.begin(), cachedSessions_.end(),
                                    [pid](const ClaudeSessionPtr& s) { return s->pid == pid; });
    if (found != cachedSessions_.end()) {
        environment_.terminal.focusSession(*found);
    }
}

void AppDelegate::showAttention() {
    const std::string title = statusTitle(static_cast<std::int64_t>(cachedSessions_.size()));
    statusItem_->setAttention(anyWaiting(cachedSessions_),
                              QString::fromStdString(attentionToolTip(title, cachedSessions_)));
}

void AppDelegate::watchRegistries() {
    if (environment_.registryWatcher == nullptr) {
        return;
    }
    environment_.registryWatcher->watch(
        registryFolders(sessionScanner_->claudeDir(), cachedSessions_));
}

void AppDelegate::rebuildMenu(const std::vector<ClaudeSessionPtr>& sessions,
                              const std::vector<RecentSession>& recentSessions) {
    // The limit is read only when there is a Recent section to decide on.
    const auto model =
        buildMenuModel(sessions, recentSessions,
                       recentSessions.empty() ? kDefaultMaxRecentSessions
                                              : maxRecentSessions(environment_.preferences));
    statusItem_->setMenu(buildMenu(model, this));
}

void AppDelegate::updateStatusTitle(std::int64_t count) {
    statusItem_->setTitle(QString::fromStdString(statusTitle(count)));
}

void AppDelegate::performMenuAction(MenuAction action, QObject* sender) {
    switch (action) {
        case MenuAction::None:
            break;
        case MenuAction::SessionClicked:
            sessionClicked(sender);
            break;
        case MenuAction::RecentSessionClicked:
            recentSessionClicked(sender);
            break;
        case MenuAction::RefreshClicked:
            refreshClicked();
            break;
        case MenuAction::SettingsClicked:
            settingsClicked();
            break;
        case MenuAction::QuitClicked:
            quitClicked();
            break;
    }
}

void AppDelegate::sessionClicked(QObject* sender) {
    if (const ClaudeSessionPtr session = sessionOf(sender)) {
        environment_.terminal.focusSession(session);
    }
}

void AppDelegate::recentSessionClicked(QObject* sender) {
    if (const auto box = recentBoxOf(sender)) {
        environment_.terminal.openNewSession(box->session.projectPath);
    }
}

void AppDelegate::refreshClicked() {
    refresh();
}

void AppDelegate::settingsClicked() {
    showSettings();
}

void AppDelegate::quitClicked() {
    QCoreApplication::quit();
}

void AppDelegate::showSettings() {
    if (settingsPanel_ && settingsPanel_->isVisible()) {
        settingsPanel_->raise();
        settingsPanel_->activateWindow();
        return;
    }
    Preferences& preferences = environment_.preferences;
    const SettingsDialog::Values values{environment_.terminal.terminalChoices(),
                                        preferences.text(kPreferredTerminalKey),
                                        maxRecentSessions(preferences),
                                        environment_.loginItem.isRegistered(),
                                        preferenceFlag(preferences, kWaitingFirstKey, true),
                                        preferenceFlag(preferences, kNotifyWhenWaitingKey, true)};
    delete settingsPanel_;
    auto* panel = new SettingsDialog(values);
    connect(panel->terminalPopUp(), &QComboBox::activated, this,
            [this, panel] { terminalPreferenceChanged(panel->terminalPopUp()); });
    connect(panel->maxRecentStepper(), &QSpinBox::valueChanged, this,
            [this, panel] { maxRecentChanged(panel->maxRecentStepper()); });
    connect(panel->loginCheckbox(), &QCheckBox::clicked, this,
            [this, panel] { loginItemChanged(panel->loginCheckbox()); });
    connect(panel->waitingFirstCheckbox(), &QCheckBox::clicked, this, [this, panel] {
        attentionPreferenceChanged(kWaitingFirstKey, panel->waitingFirstCheckbox());
    });
    connect(panel->notifyCheckbox(), &QCheckBox::clicked, this, [this, panel] {
        attentionPreferenceChanged(kNotifyWhenWaitingKey, panel->notifyCheckbox());
    });
    connect(panel->homePageLink(), &QLabel::linkActivated, this, &AppDelegate::openHomePage);
    maxRecentStepper_ = panel->maxRecentStepper();
    loginCheckbox_ = panel->loginCheckbox();
    settingsPanel_ = panel;

    panel->adjustSize();
    if (const QScreen* screen = QApplication::primaryScreen()) {
        QRect frame = panel->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        panel->move(frame.topLeft());
    }
    panel->show();
    panel->raise();
    panel->activateWindow();
}

void AppDelegate::terminalPreferenceChanged(QComboBox* popUp) {
    if (popUp->currentIndex() < 0) {
        return;
    }
    environment_.preferences.setText(kPreferredTerminalKey, popUp->currentText().toStdString());
}

void AppDelegate::maxRecentChanged(QSpinBox* stepper) {
    const int value = stepper->value();
    environment_.preferences.setInteger(kMaxRecentSessionsKey,
                                        std::clamp(value, 0, kMaxRecentSessionsLimit));
    refresh();
}

void AppDelegate::loginItemChanged(QCheckBox* checkbox) {
    const bool on = checkbox->isChecked();
    LoginItem& loginItem = environment_.loginItem;
    const auto error = on ? loginItem.registerLoginItem() : loginItem.unregisterLoginItem();
    if (!error) {
        return;
    }
    // Not a click: no action is sent again.
    checkbox->setChecked(!on);
    QMessageBox alert(QMessageBox::Warning, QStringLiteral("Fernbeacon"),
                      QStringLiteral("Could not update login item"), QMessageBox::Ok,
                      checkbox->window());
    alert.setInformativeText(QString::fromStdString(*error));
    alert.exec();
}

void AppDelegate::attentionPreferenceChanged(std::string_view key, QCheckBox* checkbox) {
    setPreferenceFlag(environment_.preferences, key, checkbox->isChecked());
    refresh();
}

void AppDelegate::openHomePage() {
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
