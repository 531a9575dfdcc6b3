#include "app/settingsstore.h"

#include "app/lifecycle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QLockFile>
#include <QPair>
#include <QSettings>
#include <QStandardPaths>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Store {

namespace {

QList<QPair<QLatin1String, QString>>& pending()
{
    static QList<QPair<QLatin1String, QString>> writes;
    return writes;
}

// The password's scrambled form is in this file, so it never exists readable by others, not even
// for a moment: create it 0600 before the first write and narrow a wider mode at every save.
bool prepareFile(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::fchmod(fd, 0600);
    ::close(fd);
    return true;
}

// A save killed at the wrong moment can leave QSettings' lock file empty, and QSettings would wait
// up to 30 s for it to age. Only the one instance of the program writes the file, so a lock that
// nobody holds now is stale: take it over and let it go before QSettings locks.
void clearStaleLock(const QString& path)
{
    QLockFile lock(path + QStringLiteral(".lock"));
    lock.setStaleLockTime(1);
    if (lock.tryLock(0))
        lock.unlock();
}

} // namespace

QString filePath()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base + QStringLiteral("/vurk_mailchecker/vurk_mailchecker.ini");
}

QString certsFolder()
{
    return QFileInfo(filePath()).absolutePath() + QStringLiteral("/certs");
}

Reader::Reader() : m_settings(std::make_unique<QSettings>(filePath(), QSettings::IniFormat)) {}

Reader::~Reader() = default;

QString Reader::read(QLatin1String key) const
{
    const QVariant value = m_settings->value(Key::path(key));
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

QString read(QLatin1String key)
{
    return Reader().read(key);
}

void write(QLatin1String key, const QString& value)
{
    pending().append({key, value});
}

void discardPending()
{
    pending().clear();
}

bool commit()
{
    if (app::saveIsClosed()) {
        pending().clear();
        return true;
    }
    if (pending().isEmpty())
        return true;
    const QString path = filePath();
    bool ok = prepareFile(path);
    if (ok) {
        clearStaleLock(path);
        QSettings settings(path, QSettings::IniFormat);
        for (const auto& [key, value] : std::as_const(pending()))
            settings.setValue(Key::path(key), value);
        settings.sync();
        // A malformed line in the old file leaves FormatError behind although the new file was
        // written; only an access error means the save did not reach the disk.
        ok = settings.status() != QSettings::AccessError;
    }
    pending().clear();
    if (!ok)
        std::fprintf(stderr, "vurk_mailchecker: could not save the settings to %s\n", qPrintable(path));
    return ok;
}

} // namespace Store
