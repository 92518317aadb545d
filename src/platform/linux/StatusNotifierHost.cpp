#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>

#include "platform/Platform.h"

namespace fernbeacon::platform {

// Qt exports the tray icon over D-Bus exactly when a StatusNotifierItem host is registered with
// the watcher; the host then draws the menu from plain items only.
bool trayMenuIsExported() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr) {
        return false;
    }
    const QString service = QStringLiteral("org.kde.StatusNotifierWatcher");
    if (!bus.interface()->isServiceRegistered(service)) {
        return false;
    }
    QDBusInterface watcher(service, QStringLiteral("/StatusNotifierWatcher"), service, bus);
    return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
}

}  // namespace fernbeacon::platform
