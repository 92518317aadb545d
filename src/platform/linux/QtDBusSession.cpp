#include "platform/linux/QtDBusSession.h"

#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusVariant>

namespace fernbeacon::platform {
namespace {

constexpr int kCallTimeLimitMs = 2000;

template <typename... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

QStringList qtList(const std::vector<std::string>& texts) {
    QStringList list;
    for (const std::string& text : texts) {
        list.append(qt(text));
    }
    return list;
}

QVariant toVariant(const DBusArgument& argument) {
    return std::visit(
        Overloaded{
            [](std::int32_t value) { return QVariant::fromValue(value); },
            [](std::uint32_t value) { return QVariant::fromValue(value); },
            [](const std::string& value) { return QVariant(qt(value)); },
            [](const std::vector<std::string>& value) { return QVariant(qtList(value)); },
            [](const DBusStringVariants& value) {
                QVariantList list;
                for (const std::string& text : value.strings) {
                    list.append(QVariant::fromValue(QDBusVariant(qt(text))));
                }
                return QVariant(list);
            },
            [](const DBusEmptyDictionary&) { return QVariant(QVariantMap()); },
        },
        argument);
}

DBusValue fromVariant(QVariant value) {
    if (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>()) {
        value = value.value<QDBusVariant>().variant();
    }
    switch (value.typeId()) {
        case QMetaType::Bool:
            return value.toBool();
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::UChar:
            return static_cast<std::int64_t>(value.toLongLong());
        case QMetaType::QString:
            return value.toString().toStdString();
        case QMetaType::QStringList: {
            std::vector<std::string> texts;
            for (const QString& text : value.toStringList()) {
                texts.push_back(text.toStdString());
            }
            return texts;
        }
        default:
            return std::monostate();
    }
}

}  // namespace

DBusReply QtDBusSession::call(const DBusCall& call) {
    DBusReply reply;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        reply.error = "no session bus";
        return reply;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(qt(call.service), qt(call.path),
                                                          qt(call.interface), qt(call.method));
    QVariantList arguments;
    for (const DBusArgument& argument : call.arguments) {
        arguments.append(toVariant(argument));
    }
    message.setArguments(arguments);
    const QDBusMessage answer = bus.call(message, QDBus::Block, kCallTimeLimitMs);
    if (answer.type() != QDBusMessage::ReplyMessage) {
        reply.error = (answer.errorName() + ": " + answer.errorMessage()).toStdString();
        return reply;
    }
    reply.ok = true;
    for (const QVariant& value : answer.arguments()) {
        reply.values.push_back(fromVariant(value));
    }
    return reply;
}

}  // namespace fernbeacon::platform
