#include "app/PopupMenu.h"

#include <QApplication>
#include <QCursor>
#include <ostream>
#include <utility>

#include "app/MenuBuilder.h"
#include "app/TrayApplication.h"
#include "core/CliDispatcher.h"

namespace fernbeacon::app {

PopupMenu::PopupMenu(TrayEnvironment environment, QObject* parent)
    : QObject(parent),
      environment_(environment),
      delegate_(std::move(environment)),
      scanner_(makeSessionScanner(environment_)) {}

void PopupMenu::popUp(const QPoint& at) {
    const ScanResult scan = runScanCycle(*scanner_);
    std::vector<MenuItemModel> model =
        buildMenuModel(scan.live, scan.recent, maxRecentSessions(environment_.preferences));
    std::erase_if(model, [](const MenuItemModel& item) {
        return item.kind == MenuItemKind::Refresh || item.kind == MenuItemKind::Quit;
    });
    // The menu collapses the separators left around them.
    menu_ = buildMenu(model, this);
    // Queued: a menu hides before its chosen action runs.
    connect(menu_.get(), &QMenu::aboutToHide, this, &PopupMenu::menuClosed, Qt::QueuedConnection);
    menu_->popup(at);
}

void PopupMenu::performMenuAction(MenuAction action, QObject* sender) {
    delegate_.performMenuAction(action, sender);
    if (action == MenuAction::SettingsClicked) {
        connect(delegate_.settingsPanel(), &QDialog::finished, this, &PopupMenu::finished);
    }
}

void PopupMenu::menuClosed() {
    const SettingsDialog* panel = delegate_.settingsPanel();
    if (panel == nullptr || !panel->isVisible()) {
        emit finished();
    }
}

int runMenu(const MenuOptions& options, std::ostream& err) {
    const auto application = makeApplication(err);
    if (!application) {
        return 1;
    }
    const auto target =
        options.verbose ? platform::LogTarget::StandardError : platform::LogTarget::System;
    const auto logger = platform::makeLogger("SessionScanner", target);
    const auto runner = platform::makeCommandRunner();
    const auto probes =
        platform::makeProcessProbes(platform::ProbeSource::Native, *runner, *logger);
    const auto preferences = platform::makePreferences();
    const auto loginItem = platform::makeLoginItem();
    const SystemClock clock;
    // As for `focus` and `open`: the chosen terminal work runs to its end after the menu is gone.
    CliDispatcher dispatcher;
    const auto terminal = platform::makeTerminalControl(dispatcher, *preferences, target);
    int status = 0;
    {
        PopupMenu popup(TrayEnvironment{platform::homeDirectory(),
                                        *probes,
                                        *preferences,
                                        clock,
                                        *logger,
                                        dispatcher,
                                        *terminal,
                                        *loginItem,
                                        false,
                                        {}});
        QObject::connect(&popup, &PopupMenu::finished, application.get(), &QCoreApplication::quit,
                         Qt::QueuedConnection);
        popup.popUp(QCursor::pos());
        status = QApplication::exec();
    }
    dispatcher.runUntilIdle(kTerminalWorkLimit);
    return status;
}

}  // namespace fernbeacon::app
