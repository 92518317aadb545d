#pragma once

#include <QObject>
#include <QStringList>
#include <QtDBus/QDBusConnection>
#include <cstdint>
#include <map>
#include <optional>

#include "core/Logger.h"
#include "core/SessionNotifier.h"

namespace fernbeacon::platform {

// Notices through the desktop's notification service on the session bus. Every call is
// asynchronous: a slow or missing service never holds up the menu.
class DBusSessionNotifier final : public QObject, public SessionNotifier {
    Q_OBJECT
public:
    DBusSessionNotifier(Logger& logger, QDBusConnection bus);

    void show(std::int32_t pid, const WaitingNotice& notice) override;
    void close(std::int32_t pid) override;

private slots:
    void actionInvoked(uint id, const QString& action);
    void notificationClosed(uint id, uint reason);

private:
    struct Shown {
        std::uint64_t ticket = 0;
        std::optional<uint> id;  // absent until the service answers
    };

    void askCapabilities();
    void closeNotification(uint id);
    void serviceFailed(const QString& error);

    Logger& logger_;
    QDBusConnection bus_;
    std::optional<QStringList> capabilities_;
    std::map<std::int32_t, Shown> shown_;
    std::uint64_t tickets_ = 0;
    bool failureLogged_ = false;
};

}  // namespace fernbeacon::platform
