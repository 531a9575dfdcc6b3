#include "app/singleinstance.h"

#include <QDir>
#include <QLockFile>
#include <QMessageBox>
#include <QStandardPaths>
#include <memory>

namespace app {

namespace {

std::unique_ptr<QLockFile>& lock()
{
    static std::unique_ptr<QLockFile> instanceLock;
    return instanceLock;
}

QString lockPath()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + QStringLiteral("/vurk_mailchecker.lock");
}

} // namespace

bool anotherInstanceRunning()
{
    if (lock())
        return false;
    auto candidate = std::make_unique<QLockFile>(lockPath());
    // A lock left by a killed instance names a process that no longer runs, and QLockFile takes it
    // over; no stale time needs to pass.
    candidate->setStaleLockTime(0);
    if (!candidate->tryLock(0)) {
        if (candidate->error() == QLockFile::LockFailedError)
            return true;
        // The runtime folder is unusable: better a second instance than none at all.
        return false;
    }
    lock() = std::move(candidate);
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
    lock().reset();
}

} // namespace app
