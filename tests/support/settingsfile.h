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
        settings.setValue(QStringLiteral("setting/") + it.key(), it.value());
    settings.sync();
}

inline QByteArray settingsFileBytes()
{
    QFile file(Store::filePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace testsupport
