#include "platform/QtPreferences.h"

#include <QSettings>
#include <QString>
#include <QVariant>

#include "core/ProcessOutput.h"

namespace fernbeacon::platform {
namespace {

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QSettings open(const std::filesystem::path& file) {
    return QSettings(QString::fromStdString(file.string()), QSettings::IniFormat);
}

}  // namespace

QtPreferences::QtPreferences(std::filesystem::path file) : file_(std::move(file)) {}

std::optional<std::int64_t> QtPreferences::integer(std::string_view key) const {
    const QVariant value = open(file_).value(toQString(key));
    switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
            return value.toLongLong();
        case QMetaType::QString:
            // INI files keep every value as text; only a plain integer counts as one.
            return parseInt64(value.toString().toStdString());
        default:
            return std::nullopt;
    }
}

std::optional<std::string> QtPreferences::text(std::string_view key) const {
    const QVariant value = open(file_).value(toQString(key));
    if (!value.isValid() || value.typeId() == QMetaType::QStringList) {
        return std::nullopt;
    }
    return value.toString().toStdString();
}

bool QtPreferences::setInteger(std::string_view key, std::int64_t value) {
    QSettings settings = open(file_);
    settings.setValue(toQString(key), static_cast<qlonglong>(value));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool QtPreferences::setText(std::string_view key, std::string_view value) {
    QSettings settings = open(file_);
    settings.setValue(toQString(key), toQString(value));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

}  // namespace fernbeacon::platform
