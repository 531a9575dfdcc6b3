#include "app/settingsstore.h"

#include "app/lifecycle.h"
#include "app/log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QLockFile>
#include <QPair>
#include <QSettings>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
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

std::function<void(const QString&)>& problemHandler()
{
    static std::function<void(const QString&)> handler;
    return handler;
}

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The password's scrambled form is in this file, so it never stays readable by others: narrow
// a wider mode of the file that is open.
void narrowMode(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0077) != 0 && st.st_uid == ::geteuid())
        ::fchmod(fd, 0600);
}

// Never readable by others, not even for a moment: created 0600 before the first write, a wider
// mode narrowed at every save. Empty, or why the file cannot be written.
QString prepareFile(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray native = QFile::encodeName(path);
    // Not blocking: a FIFO put there must not hold the save.
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0)
        return errnoText(errno);
    ::fchmod(fd, 0600);
    ::close(fd);
    return {};
}

// Empty when the file can be read or is not there yet; otherwise why not. A mode wider than 0600
// is narrowed here, at start-up, not only at the next save.
QString checkReadable(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat link {};
    if (::lstat(native.constData(), &link) != 0)
        return errno == ENOENT ? QString() : errnoText(errno);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT && S_ISLNK(link.st_mode))
            return QStringLiteral("a link to a file that does not exist");
        return errnoText(errno);
    }
    struct stat st {};
    QString problem;
    if (::fstat(fd, &st) != 0)
        problem = errnoText(errno);
    else if (S_ISDIR(st.st_mode))
        problem = errnoText(EISDIR);
    else if (!S_ISREG(st.st_mode))
        problem = QStringLiteral("not a regular file");
    else
        narrowMode(fd);
    ::close(fd);
    return problem;
}

// A folder that someone else owns or may write to could have a certificate slipped into it.
QString folderProblem(const QString& folder, const QString& name)
{
    struct stat st {};
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0)
        return {};
    if (st.st_uid != ::geteuid())
        return name + QStringLiteral(" owned by another user");
    if ((st.st_mode & 0022) != 0)
        return name + QStringLiteral(" writable by group or others");
    return {};
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

QString certsFolderProblem()
{
    const QString certs = certsFolder();
    if (!QFileInfo::exists(certs))
        return {};
    QString problem = folderProblem(certs, QStringLiteral("certs folder"));
    if (problem.isEmpty())
        problem = folderProblem(QFileInfo(filePath()).absolutePath(), QStringLiteral("settings folder"));
    return problem;
}

Reader::Reader()
{
    const QString path = filePath();
    if (const QString why = checkReadable(path); !why.isEmpty()) {
        m_problem = QStringLiteral("Settings not read: %1: %2").arg(path, why);
        app::tell(m_problem);
        // Nothing to read there, and a FIFO would hold QSettings for ever.
        return;
    }
    m_settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
}

Reader::~Reader() = default;

QString Reader::read(QLatin1String key) const
{
    if (!m_settings)
        return {};
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
    QString why = prepareFile(path);
    if (why.isEmpty()) {
        clearStaleLock(path);
        QSettings settings(path, QSettings::IniFormat);
        for (const auto& [key, value] : std::as_const(pending()))
            settings.setValue(Key::path(key), value);
        settings.sync();
        // A malformed line in the old file leaves FormatError behind although the new file was
        // written; only an access error means the save did not reach the disk.
        if (settings.status() == QSettings::AccessError)
            why = QStringLiteral("could not be written");
    }
    pending().clear();
    if (!why.isEmpty()) {
        const QString line = QStringLiteral("Settings not saved: %1: %2").arg(path, why);
        app::tell(line);
        if (problemHandler())
            problemHandler()(line);
        return false;
    }
    if (problemHandler())
        problemHandler()(QString());
    return true;
}

void setProblemHandler(std::function<void(const QString& problem)> handler)
{
    problemHandler() = std::move(handler);
}

} // namespace Store
