#pragma once

#include "app/settingsstore.h"

#include <QFile>
#include <QMap>
#include <QSettings>
#include <QString>

// Helpers for tests that prepare or inspect the settings file directly.
namespace testsupport {

inline void clearSettingsFile()
{
    QFile::remove(Store::filePath());
}

inline void writeSettings(const QMap<QString, QString>& values)
{
    QSettings settings(Store::filePath(), QSettings::IniFormat);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        settings.setValue(Store::Key::path(QLatin1String(it.key().toLatin1())), it.value());
    settings.sync();
}

// What a settings file holds for a key, read as the program's store reads it.
inline QString storedValue(const QSettings& settings, QLatin1String key)
{
    const QVariant value = settings.value(Store::Key::path(key));
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

// The same, read afresh from the program's own settings file, past the store.
inline QString storedValue(QLatin1String key)
{
    return storedValue(QSettings(Store::filePath(), QSettings::IniFormat), key);
}

inline bool isStored(QLatin1String key)
{
    return QSettings(Store::filePath(), QSettings::IniFormat).contains(Store::Key::path(key));
}

inline QByteArray settingsFileBytes()
{
    QFile file(Store::filePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace testsupport
