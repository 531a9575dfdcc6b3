#include "app/keyring.h"

#include "app/lifecycle.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <optional>
#include <qt6keychain/keychain.h>

namespace Keyring {

namespace {

const QString kService = QStringLiteral("vurk_mailchecker");

// Runs events until the job has answered or the deadline passes. A job is never deleted before it
// answers (its backend still holds it): it deletes itself once it has, however late that is.
bool answersInTime(QKeychain::Job *job, QDeadlineTimer deadline)
{
    std::optional<bool> done;
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&done, &loop](QKeychain::Job *finished) {
        done = finished->error() == QKeychain::NoError || finished->error() == QKeychain::EntryNotFound;
        loop.quit();
    });
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    job->start();
    while (!done && !deadline.hasExpired() && !app::isEnding()) {
        bound.start(int(std::min<qint64>(deadline.remainingTime(), 60000)));
        loop.exec();
    }
    return done.value_or(false);
}

} // namespace

QString key(const QString& user, const QString& server)
{
    return user + QLatin1Char('@') + server;
}

void read(const QString& key, QObject *context, std::function<void(const Reply&)> done)
{
    auto *job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(key);
    QObject::connect(job, &QKeychain::Job::finished, context, [job, done = std::move(done)] {
        Reply reply;
        switch (job->error()) {
        case QKeychain::NoError:
            reply.answer = Answer::Found;
            reply.password = job->textData();
            break;
        case QKeychain::EntryNotFound:
            reply.answer = Answer::None;
            break;
        default:
            reply.error = job->errorString();
            break;
        }
        done(reply);
    });
    job->start();
}

bool write(const QString& key, const QString& password, QDeadlineTimer deadline)
{
    auto *job = new QKeychain::WritePasswordJob(kService);
    job->setKey(key);
    job->setTextData(password);
    return answersInTime(job, deadline);
}

bool remove(const QString& key, QDeadlineTimer deadline)
{
    auto *job = new QKeychain::DeletePasswordJob(kService);
    job->setKey(key);
    return answersInTime(job, deadline);
}

} // namespace Keyring
