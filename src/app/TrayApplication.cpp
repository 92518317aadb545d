#include "app/TrayApplication.h"

#include <QApplication>
#include <QSystemTrayIcon>

#include "app/TrayController.h"
#include "platform/Platform.h"

namespace fernbeacon::app {

SystemServices::SystemServices()
    : scan_(platform::LogTarget::System),
      loginItem_(platform::makeLoginItem()),
      registryWatcher_(platform::makeFolderWatcher()),
      terminal_(platform::makeTerminalControl(dispatcher_, scan_.preferences())) {}

SystemServices::~SystemServices() {
    finishBackgroundWork();
}

TrayEnvironment SystemServices::environment() {
    return TrayEnvironment{scan_.parts(),
                           dispatcher_,
                           *terminal_,
                           *loginItem_,
                           platform::trayMenuIsExported(),
                           {},
                           registryWatcher_.get()};
}

std::unique_ptr<QApplication> makeApplication(std::ostream& err) {
    if (!platform::hasGraphicalSession()) {
        err << "fernbeacon: no graphical session (neither DISPLAY nor WAYLAND_DISPLAY is set); "
               "try 'fernbeacon list'\n";
        return nullptr;
    }
    static int argc = 1;
    static char name[] = "fernbeacon";
    static char* argv[] = {name, nullptr};
    auto application = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Fernbeacon"));
    QApplication::setOrganizationName(QStringLiteral("Fernbeacon"));
    QApplication::setDesktopFileName(QStringLiteral("fernbeacon"));
    // The settings panel is the only window; closing it must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    return application;
}

int runTray(std::ostream& err) {
    const auto application = makeApplication(err);
    if (!application) {
        return 1;
    }

    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        err << "fernbeacon: no system tray yet; the icon appears once the desktop offers one\n";
    }
    SystemServices services;
    const auto noticeLogger = platform::makeLogger("Notifications", platform::LogTarget::System);
    const auto notifier = platform::makeSessionNotifier(*noticeLogger);
    TrayEnvironment environment = services.environment();
    environment.notifier = notifier.get();
    TrayIcon icon(environment.trayMenuIsExported);
    TrayController controller(std::move(environment), icon);
    QMetaObject::invokeMethod(&controller, &TrayController::start, Qt::QueuedConnection);
    const int status = QApplication::exec();
    services.finishBackgroundWork();
    return status;
}

}  // namespace fernbeacon::app
