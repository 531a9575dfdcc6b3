#include "app/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

// The instance lock, with a second process played by a descriptor of our own on the same file.
class SingleInstanceTest : public QObject {
    Q_OBJECT

private:
    static QString lockPath() { return qEnvironmentVariable("XDG_RUNTIME_DIR") + "/vurk_mailchecker.lock"; }

    // An flock() taken through a descriptor of its own, as another process would.
    static int lockAsAnotherProcess()
    {
        const int fd = ::open(QFile::encodeName(lockPath()).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

private slots:
    void cleanup() { app::releaseInstanceLock(); }

    void firstInstanceHoldsTheLock()
    {
        QVERIFY(!app::anotherInstanceRunning());
        QVERIFY(!app::anotherInstanceRunning()); // the holder asks again
        QCOMPARE(lockAsAnotherProcess(), -1);
        QCOMPARE(QFileInfo(lockPath()).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
        app::releaseInstanceLock();
        const int fd = lockAsAnotherProcess();
        QVERIFY(fd >= 0);
        ::close(fd);
    }

    void refusedWhileAnotherHoldsIt_notAfterItEnds()
    {
        const int other = lockAsAnotherProcess();
        QVERIFY(other >= 0);
        QVERIFY(app::anotherInstanceRunning());
        QVERIFY(app::anotherInstanceRunning()); // a refusal keeps nothing
        ::close(other);                         // the other one ends; its file stays behind
        QVERIFY(QFile::exists(lockPath()));
        QVERIFY(!app::anotherInstanceRunning());
    }

    // A link planted where the lock goes is not followed, and the start goes on.
    void plantedLinkIsNotFollowed()
    {
        const QString target = QDir::tempPath() + "/vurk-link-target-" + QString::number(::getpid());
        QFile::remove(lockPath());
        QVERIFY(QFile::link(target, lockPath()));
        QVERIFY(!app::anotherInstanceRunning());
        QVERIFY(!QFile::exists(target));
        QFile::remove(lockPath());
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
