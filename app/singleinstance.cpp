#include "app/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace app {

namespace {

// The descriptor that holds the lock, or -1.
int instanceLock = -1;

QString lockPath()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + QStringLiteral("/vurk_mailchecker.lock");
}

} // namespace

// The kernel drops an flock() when its holder ends, however it ends, so a file left behind by a
// killed instance locks nothing and there is no stale lock to judge; nothing is written or synced.
bool anotherInstanceRunning()
{
    if (instanceLock >= 0)
        return false;
    const QByteArray path = QFile::encodeName(lockPath());
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    // The runtime folder is unusable: better a second instance than none at all.
    if (fd < 0)
        return false;
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held;
    }
    instanceLock = fd;
    return false;
}

void showAlreadyRunningMessage()
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Vurk_メールチェッカー"),
                    QStringLiteral("既に起動されています。"), QMessageBox::Ok);
    box.exec();
}

void releaseInstanceLock()
{
    if (instanceLock >= 0)
        ::close(instanceLock);
    instanceLock = -1;
}

} // namespace app
