#pragma once

#include <QMenu>
#include <QObject>
#include <QPoint>
#include <iosfwd>
#include <memory>

#include "app/Cli.h"
#include "app/SettingsController.h"
#include "app/TrayEnvironment.h"

// `fernbeacon menu`: the tray's menu for desktops without a tray, popped up where a status bar
// was clicked.
namespace fernbeacon::app {

// One scan's menu at a point. Choices act as in the tray, and "Settings..." keeps it going until
// the panel closes. Refresh and Quit are left out: each opening scans afresh, closing the menu
// ends it, and Quit would suggest that it ends a running tray.
class PopupMenu final : public QObject {
    Q_OBJECT
public:
    explicit PopupMenu(TrayEnvironment environment, QObject* parent = nullptr);

    void popUp(const QPoint& at);
    QMenu* menu() const { return menu_.get(); }

signals:
    // Once the menu, or the settings panel opened from it, has closed.
    void finished();

private:
    void menuClosed();

    TrayEnvironment environment_;
    SettingsController settings_;
    std::unique_ptr<QMenu> menu_;
};

// Pops the menu up at the pointer and returns once it has closed and the chosen work is done.
// Without a display server it says so on `err` and returns 1.
int runMenu(const MenuOptions& options, std::ostream& err);

}  // namespace fernbeacon::app
