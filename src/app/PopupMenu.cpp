#include "app/PopupMenu.h"

#include <QApplication>
#include <QCursor>
#include <ostream>
#include <utility>

#include "app/MenuBuilder.h"
#include "app/SystemScan.h"
#include "app/TrayApplication.h"
#include "app/TrayController.h"
#include "core/CliDispatcher.h"

namespace fernbeacon::app {

PopupMenu::PopupMenu(TrayEnvironment environment, QObject* parent)
    : QObject(parent), environment_(std::move(environment)), settings_(environment_) {
    connect(&settings_, &SettingsController::closed, this, &PopupMenu::finished);
}

void PopupMenu::popUp(const QPoint& at) {
    const ScanResult scan = runScanCycle(*environment_.scan.makeScanner());
    std::vector<MenuItemModel> model = buildMenuModel(scan.live, scan.recent);
    std::erase_if(model, [](const MenuItemModel& item) {
        return item.kind == MenuItemKind::Refresh || item.kind == MenuItemKind::Quit;
    });
    // The menu collapses the separators left around them.
    menu_ = buildMenu(model, sessionMenuCallbacks(environment_.terminal, settings_), this);
    // Queued: a menu hides before its chosen action runs.
    connect(menu_.get(), &QMenu::aboutToHide, this, &PopupMenu::menuClosed, Qt::QueuedConnection);
    menu_->popup(at);
}

void PopupMenu::menuClosed() {
    if (!settings_.isShown()) {
        emit finished();
    }
}

int runMenu(const MenuOptions& options, std::ostream& err) {
    const auto application = makeApplication(err);
    if (!application) {
        return 1;
    }
    const auto target = logTarget(options.verbose);
    const SystemScan system(target);
    const auto loginItem = platform::makeLoginItem();
    // As for `focus` and `open`: the chosen terminal work runs to its end after the menu is gone.
    CliDispatcher dispatcher;
    const auto terminal = platform::makeTerminalControl(dispatcher, system.preferences(), target);
    int status = 0;
    {
        PopupMenu popup(
            TrayEnvironment{system.parts(), dispatcher, *terminal, *loginItem, false, {}});
        QObject::connect(&popup, &PopupMenu::finished, application.get(), &QCoreApplication::quit,
                         Qt::QueuedConnection);
        popup.popUp(QCursor::pos());
        status = QApplication::exec();
    }
    dispatcher.runUntilIdle(kTerminalWorkLimit);
    return status;
}

}  // namespace fernbeacon::app
