#include "app/keyring.h"

#include "app/busreach.h"
#include "app/wait.h"

#include <QObject>
#include <qt6keychain/keychain.h>

namespace Keyring {

namespace {

const QString kService = QStringLiteral("vurk_mailchecker");

// Waits until the job has answered or the deadline passes. A job is never deleted before it answers
// (its backend still holds it): it deletes itself once it has, however late that is.
bool answersInTime(QKeychain::Job *job, QDeadlineTimer deadline)
{
    // A session bus that never answers must not be handed to the keyring's library, which would
    // block on it: the job runs only once the bus has shown a sign of life.
    app::Wait reached;
    bool connected = false;
    app::reachBus(QDBusConnection::SessionBus, &reached, [&](const QDBusConnection& bus, const QString&) {
        connected = bus.isConnected();
        reached.finish();
    });
    if (!reached.until(deadline) || !connected) {
        delete job; // never started: nothing holds it
        return false;
    }
    app::Wait wait;
    bool done = false;
    QObject::connect(job, &QKeychain::Job::finished, &wait, [&done, &wait](QKeychain::Job *finished) {
        done = finished->error() == QKeychain::NoError || finished->error() == QKeychain::EntryNotFound;
        wait.finish();
    });
    job->start();
    return wait.until(deadline) && done;
}

} // namespace

QString key(const QString& user, const QString& server)
{
    return user + QLatin1Char('@') + server;
}

namespace {

void startRead(const QString& key, QObject *context, std::function<void(const Reply&)> done)
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

} // namespace

void read(const QString& key, QObject *context, std::function<void(const Reply&)> done)
{
    app::reachBus(QDBusConnection::SessionBus, context,
                  [key, context, done = std::move(done)](const QDBusConnection& bus, const QString& failure) {
                      if (!bus.isConnected()) {
                          Reply reply;
                          reply.error = failure;
                          done(reply);
                          return;
                      }
                      startRead(key, context, done);
                  });
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
