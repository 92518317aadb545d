#pragma once

#include <QApplication>
#include <memory>
#include <ostream>

#include "app/QtDispatcher.h"
#include "app/SystemScan.h"
#include "app/TrayEnvironment.h"

namespace fernbeacon::app {

// What the tray takes from this system: the scan's parts, the login item, the registry watcher,
// terminal control and the dispatcher. Needs the application object to exist.
class SystemServices {
public:
    SystemServices();
    ~SystemServices();

    TrayEnvironment environment();
    // Waits for every cycle and click still running; they use the services.
    void finishBackgroundWork() { dispatcher_.waitForBackground(); }

private:
    SystemScan scan_;
    std::unique_ptr<LoginItem> loginItem_;
    std::unique_ptr<FolderWatcher> registryWatcher_;
    QtDispatcher dispatcher_;
    std::shared_ptr<TerminalControl> terminal_;
};

// The application object of a command that shows widgets; none, after saying so on `err`,
// without a display server.
std::unique_ptr<QApplication> makeApplication(std::ostream& err);

// Runs the tray application until it quits; returns the exit status. Without a display server
// it says so on `err` and returns 1.
int runTray(std::ostream& err);

}  // namespace fernbeacon::app
