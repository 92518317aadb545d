#include "app/TrayApplication.h"

#include <QApplication>
#include <QSystemTrayIcon>

#include "app/AppDelegate.h"
#include "app/QtDispatcher.h"
#include "platform/Platform.h"

namespace fernbeacon::app {

int runTray(std::ostream& err) {
    if (!platform::hasGraphicalSession()) {
        err << "fernbeacon: no graphical session (neither DISPLAY nor WAYLAND_DISPLAY is set); "
               "try 'fernbeacon list'\n";
        return 1;
    }
    static int argc = 1;
    static char name[] = "fernbeacon";
    static char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Fernbeacon"));
    QApplication::setOrganizationName(QStringLiteral("Fernbeacon"));
    QApplication::setDesktopFileName(QStringLiteral("fernbeacon"));
    // The settings panel is the only window; closing it must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);

    const auto scannerLogger = platform::makeLogger("SessionScanner", platform::LogTarget::System);
    const auto runner = platform::makeCommandRunner();
    const auto probes =
        platform::makeProcessProbes(platform::ProbeSource::Native, *runner, *scannerLogger);
    const auto preferences = platform::makePreferences();
    const auto loginItem = platform::makeLoginItem();
    const SystemClock clock;
    QtDispatcher dispatcher;
    const auto terminal = platform::makeTerminalControl(dispatcher, *preferences);

    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        err << "fernbeacon: no system tray yet; the icon appears once the desktop offers one\n";
    }
    AppDelegate delegate(TrayEnvironment{platform::homeDirectory(),
                                         *probes,
                                         *preferences,
                                         clock,
                                         *scannerLogger,
                                         dispatcher,
                                         *terminal,
                                         *loginItem,
                                         platform::trayMenuIsExported(),
                                         {}});
    QMetaObject::invokeMethod(&delegate, &AppDelegate::applicationDidFinishLaunching,
                              Qt::QueuedConnection);
    const int status = QApplication::exec();
    // Cycles and clicks still running use what is declared above.
    dispatcher.waitForBackground();
    return status;
}

}  // namespace fernbeacon::app
