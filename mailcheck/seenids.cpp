#include "mailcheck/seenids.h"

#include "mailcheck/uidl.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>
#include <algorithm>

namespace mailcheck::SeenIds {

namespace {

const QByteArray kMagic = QByteArrayLiteral("vurk_mailchecker seen ids 1");

bool validId(const QByteArray& id)
{
    // The same rule as a UIDL row's id: a line that breaks it is damage.
    return mailcheck::parseUidlLine("1 " + id).has_value();
}

} // namespace

QString filePath()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/vurk_mailchecker/seen-ids");
}

QByteArray accountKey(const QString& server, const QString& account)
{
    // Hashed: the file need not name the account to tell it from another.
    const QByteArray both = server.trimmed().toLower().toUtf8() + '\n' + account.toUtf8();
    return QCryptographicHash::hash(both, QCryptographicHash::Sha256).toHex();
}

QSet<QByteArray> load(const QByteArray& key)
{
    QFile file(filePath());
    const QFileInfo info(file);
    if (!info.isFile() || info.size() > kMaxFileBytes || !file.open(QIODevice::ReadOnly))
        return {};
    // Read no more than the bound, whatever the size said a moment ago.
    const QByteArray content = file.read(kMaxFileBytes + 1);
    if (content.size() > kMaxFileBytes || !content.endsWith('\n'))
        return {};
    const QList<QByteArray> lines = content.left(content.size() - 1).split('\n');
    if (lines.size() < 2 || lines[0] != kMagic || lines[1] != key || lines.size() - 2 > kMaxIds)
        return {};
    QSet<QByteArray> ids;
    for (qsizetype i = 2; i < lines.size(); ++i) {
        if (!validId(lines[i]))
            return {};
        ids.insert(lines[i]);
    }
    return ids;
}

QString save(const QByteArray& key, const QSet<QByteArray>& ids)
{
    const QString path = filePath();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot make ") + folder;
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // Sorted, so the same ids give the same file.
    QList<QByteArray> sorted(ids.cbegin(), ids.cend());
    std::sort(sorted.begin(), sorted.end());
    QByteArray content = kMagic + '\n' + key + '\n';
    qsizetype written = 0;
    for (const QByteArray& id : sorted) {
        if (written == kMaxIds)
            break;
        if (!validId(id))
            continue;
        content += id + '\n';
        ++written;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    // Narrowed before the first byte: the temporary file is the one renamed into place.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(content) != content.size() || !file.commit())
        return file.errorString();
    return {};
}

} // namespace mailcheck::SeenIds
