#pragma once

#include <QUrl>
#include <filesystem>
#include <functional>
#include <memory>

#include "core/Clock.h"
#include "core/Dispatcher.h"
#include "core/FolderWatcher.h"
#include "core/Logger.h"
#include "core/LoginItem.h"
#include "core/Preferences.h"
#include "core/ProcessProbes.h"
#include "core/SessionNotifier.h"
#include "core/SessionScanner.h"
#include "terminal/TerminalControl.h"

namespace fernbeacon::app {

// What a scan reads through. Everything referred to must outlive the scanners made of it.
struct ScanParts {
    std::filesystem::path homeDirectory;
    ProcessProbes& probes;
    Preferences& preferences;
    const Clock& clock;
    Logger& logger;

    // A scanner of the home's own config directory.
    std::shared_ptr<const SessionScanner> makeScanner() const;
};

// What the tray and `fernbeacon menu` take from outside. Everything referred to must outlive
// them; the dispatcher must also outlive every work item they gave it.
struct TrayEnvironment {
    ScanParts scan;
    Dispatcher& dispatcher;
    TerminalControl& terminal;
    LoginItem& loginItem;
    bool trayMenuIsExported = false;
    std::function<void(const QUrl&)> openUrl;  // the desktop's URL handler when empty
    FolderWatcher* registryWatcher = nullptr;  // none: the 5-second cycle alone
    SessionNotifier* notifier = nullptr;       // none: no desktop notices
};

}  // namespace fernbeacon::app
