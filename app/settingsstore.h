#pragma once

#include "app/settingskeys.h"

#include <QString>
#include <memory>

class QSettings;

// The per-user settings store: application "vurk_mailchecker", section "setting", text values.
// The file is $XDG_CONFIG_HOME/vurk_mailchecker/vurk_mailchecker.ini, readable by its owner only.
namespace Store {

QString filePath();
// Folder of extra trusted PEM certificates, beside the settings file.
QString certsFolder();

// The stored text, or the empty text when the key is absent.
QString read(QLatin1String key);

// Reads many keys from one parse of the file, as start-up does.
class Reader {
public:
    Reader();
    ~Reader();
    QString read(QLatin1String key) const;

private:
    std::unique_ptr<QSettings> m_settings;
};

// Writes are collected and reach the disk together at commit(), so a save is all or nothing
// even when it pumps messages half-way through.
void write(QLatin1String key, const QString& value);

// Flushes the collected writes to disk atomically; false (and a line on standard error) when the
// file could not be written. Once the program is ending a second commit writes nothing.
bool commit();

// Discards writes not yet committed.
void discardPending();

} // namespace Store
