#include "platform/linux/DBusSessionNotifier.h"

#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusPendingCallWatcher>
#include <QtDBus/QDBusPendingReply>
#include <algorithm>

namespace fernbeacon::platform {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

QDBusMessage notificationCall(const QString& method) {
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

}  // namespace

DBusSessionNotifier::DBusSessionNotifier(Logger& logger, QDBusConnection bus)
    : logger_(logger), bus_(std::move(bus)) {
    bus_.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(actionInvoked(uint, QString)));
    bus_.connect(QString(), kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                 SLOT(notificationClosed(uint, uint)));
    askCapabilities();
}

void DBusSessionNotifier::askCapabilities() {
    auto* watcher = new QDBusPendingCallWatcher(
        bus_.asyncCall(notificationCall(QStringLiteral("GetCapabilities"))), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<QStringList> reply = *call;
                if (reply.isError()) {
                    serviceFailed(reply.error().message());
                } else {
                    capabilities_ = reply.value();
                }
            });
}

void DBusSessionNotifier::show(std::int32_t pid, const WaitingNotice& notice) {
    close(pid);
    if (!capabilities_) {
        // The service may have started since; this notice goes out regardless.
        askCapabilities();
    }
    // Until the service says otherwise, assume the usual: actions offered, markup read.
    const bool actions = !capabilities_ || capabilities_->contains(QStringLiteral("actions"));
    const bool markup = !capabilities_ || capabilities_->contains(QStringLiteral("body-markup"));
    QString body = QString::fromStdString(notice.body);
    if (markup) {
        // Titles come from prompts: markup in them is text.
        body = body.toHtmlEscaped();
    }
    QStringList actionList;
    if (actions) {
        actionList = {QStringLiteral("default"), QStringLiteral("Show"), QStringLiteral("show"),
                      QStringLiteral("Show")};
    }
    QDBusMessage call = notificationCall(QStringLiteral("Notify"));
    call << QStringLiteral("Fernbeacon") << uint{0} << QStringLiteral("fernbeacon")
         << QString::fromStdString(notice.summary) << body << actionList
         << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("fernbeacon")}}
         << std::int32_t{-1};

    const std::uint64_t ticket = ++tickets_;
    shown_[pid] = Shown{ticket, std::nullopt};
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, pid, ticket](QDBusPendingCallWatcher* pending) {
                pending->deleteLater();
                const QDBusPendingReply<uint> reply = *pending;
                const auto found = shown_.find(pid);
                const bool current = found != shown_.end() && found->second.ticket == ticket;
                if (reply.isError()) {
                    serviceFailed(reply.error().message());
                    if (current) {
                        shown_.erase(found);
                    }
                } else if (current) {
                    found->second.id = reply.value();
                } else {
                    // Withdrawn while the call was out.
                    closeNotification(reply.value());
                }
            });
}

void DBusSessionNotifier::close(std::int32_t pid) {
    const auto found = shown_.find(pid);
    if (found == shown_.end()) {
        return;
    }
    if (found->second.id) {
        closeNotification(*found->second.id);
    }
    shown_.erase(found);
}

void DBusSessionNotifier::closeNotification(uint id) {
    QDBusMessage call = notificationCall(QStringLiteral("CloseNotification"));
    call << id;
    bus_.asyncCall(call);
}

void DBusSessionNotifier::actionInvoked(uint id, const QString& action) {
    if (action != QStringLiteral("default") && action != QStringLiteral("show")) {
        return;
    }
    const auto found = std::find_if(shown_.begin(), shown_.end(),
                                    [id](const auto& entry) { return entry.second.id == id; });
    if (found != shown_.end()) {
        chosen(found->first);
    }
}

void DBusSessionNotifier::notificationClosed(uint id, uint) {
    std::erase_if(shown_, [id](const auto& entry) { return entry.second.id == id; });
}

void DBusSessionNotifier::serviceFailed(const QString& error) {
    if (!std::exchange(failureLogged_, true)) {
        logger_.info("no desktop notifications: %s", error.toStdString());
    }
}

}  // namespace fernbeacon::platform
