#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

// The ids of the messages seen at the last check, kept across restarts so that a restart does not
// announce old mail again. One small private file holds one account's ids; another account reads
// it as empty and, at its first save, takes it over.
namespace mailcheck::SeenIds {

// No more ids are kept: a mailbox with more is not one a notifier is for.
inline constexpr qsizetype kMaxIds = 100000;
// A bigger file is damaged or not ours, and reads as empty.
inline constexpr qint64 kMaxFileBytes = kMaxIds * 72 + 256;

// $XDG_STATE_HOME/vurk_mailchecker/seen-ids (~/.local/state when XDG_STATE_HOME is unset or relative).
QString filePath();
// The account the ids belong to: its server and name.
QByteArray accountKey(const QString& server, const QString& account);

// The ids saved for the account; empty when there are none, the file is damaged or too big, or it
// belongs to another account.
QSet<QByteArray> load(const QByteArray& key);
// Replaces the file at once (0600, in a 0700 folder); empty, or why it could not be written. At most
// kMaxIds ids are written.
QString save(const QByteArray& key, const QSet<QByteArray>& ids);

} // namespace mailcheck::SeenIds
