#pragma once

#include "app/settingskeys.h"

#include <QString>
#include <functional>
#include <memory>

class QSettings;

// The per-user settings store: application "vurk_mailchecker", section "setting", text values.
// The file is $XDG_CONFIG_HOME/vurk_mailchecker/vurk_mailchecker.ini, readable by its owner only.
namespace Store {

QString filePath();
// Folder of extra trusted PEM certificates, beside the settings file.
QString certsFolder();
// Why the certs folder must not be trusted now, in a few words, or the empty text when it may be:
// it and the settings folder must be the user's own and writable by nobody else.
QString certsFolderProblem();

// The stored text, or the empty text when the key is absent.
QString read(QLatin1String key);

// Reads many keys from one parse of the file, as start-up does. A file readable by others is
// narrowed to its owner on the way.
class Reader {
public:
    Reader();
    ~Reader();
    QString read(QLatin1String key) const;
    // Why the file that is there could not be read, as one line with the path (also said on
    // standard error); empty when it was read or there is none yet.
    QString problem() const { return m_problem; }

private:
    std::unique_ptr<QSettings> m_settings;
    QString m_problem;
};

// Who tells the user about a settings file that could not be read or written: called with one
// short line with the path and the reason when a save fails, and with the empty text when a save
// has succeeded. Start-up wires it to the notifier; the store itself shows nothing.
void setProblemHandler(std::function<void(const QString& problem)> handler);

// Writes are collected and reach the disk together at commit(), so a save is all or nothing
// even when it pumps messages half-way through.
void write(QLatin1String key, const QString& value);

// Flushes the collected writes to disk atomically; false (and a line on standard error and to the
// problem handler) when the file could not be written. Once the program is ending a second commit writes
// nothing.
bool commit();

// Discards writes not yet committed.
void discardPending();

} // namespace Store
