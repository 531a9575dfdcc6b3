#include "mailcheck/recheck.h"

#include "app/busreach.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QElapsedTimer>

namespace mailcheck {

namespace {

const QString kLogin = QStringLiteral("org.freedesktop.login1");
const QString kNetworkManager = QStringLiteral("org.freedesktop.NetworkManager");
const QString kNetworkManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
// How long a resume waits for the network to come back before it checks all the same.
constexpr int kNetworkWaitMs = 30000;

} // namespace

RecheckRate::RecheckRate(std::function<qint64()> clock, qint64 intervalMs)
    : m_clock(std::move(clock)), m_interval(intervalMs)
{
}

qint64 RecheckRate::wait() const
{
    if (!m_last)
        return 0;
    return std::max<qint64>(0, *m_last + m_interval - m_clock());
}

void RecheckRate::ran()
{
    m_last = m_clock();
}

QNetworkInformation::Reachability reachabilityFromNetworkManager(uint state)
{
    using R = QNetworkInformation::Reachability;
    // NM_STATE_*: asleep 10, disconnected 20, disconnecting 30, connecting 40, connected local 50,
    // site 60, global 70.
    switch (state) {
    case 20:
    case 30:
        return R::Disconnected;
    case 50:
        return R::Local;
    case 60:
        return R::Site;
    case 70:
        return R::Online;
    default:
        return R::Unknown;
    }
}

bool resumeWaitsForNetwork(bool networkManagerAnswered, QNetworkInformation::Reachability now)
{
    return networkManagerAnswered && now != QNetworkInformation::Reachability::Online;
}

bool networkCameBack(QNetworkInformation::Reachability before, QNetworkInformation::Reachability now)
{
    using R = QNetworkInformation::Reachability;
    return now == R::Online && before != R::Online;
}

RecheckWatch::RecheckWatch(std::function<bool()> checking, std::function<void()> check, QObject *parent)
    : QObject(parent), m_checking(std::move(checking)), m_check(std::move(check)), m_rate([] {
          static QElapsedTimer clock;
          if (!clock.isValid())
              clock.start();
          return clock.elapsed();
      })
{
    m_later.setSingleShot(true);
    connect(&m_later, &QTimer::timeout, this, &RecheckWatch::request);
    m_network.setSingleShot(true);
    connect(&m_network, &QTimer::timeout, this, &RecheckWatch::request);
}

void RecheckWatch::start()
{
    // Subscribing blocks on the bus: that is done where the bus is reached, off this thread.
    app::reachBus(
        QDBusConnection::SystemBus, this,
        [this](const QDBusConnection& system, const QString&) {
            if (system.isConnected())
                askNetworkState(system);
        },
        [this](QDBusConnection& system) {
            system.connect(kLogin, QStringLiteral("/org/freedesktop/login1"),
                           QStringLiteral("org.freedesktop.login1.Manager"),
                           QStringLiteral("PrepareForSleep"), this, SLOT(onPrepareForSleep(bool)));
            system.connect(kNetworkManager, kNetworkManagerPath, kProperties,
                           QStringLiteral("PropertiesChanged"), this,
                           SLOT(onNetworkProperties(QString, QVariantMap, QStringList)));
        });
}

void RecheckWatch::askNetworkState(const QDBusConnection& system)
{
    // The state now, so that only a change to online counts.
    QDBusMessage ask = QDBusMessage::createMethodCall(kNetworkManager, kNetworkManagerPath, kProperties,
                                                      QStringLiteral("Get"));
    ask << kNetworkManager << QStringLiteral("State");
    auto *answer = new QDBusPendingCallWatcher(system.asyncCall(ask), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *call;
        if (reply.isError())
            return;
        m_networkManagerAnswered = true;
        if (!m_stateChanged)
            m_reachability = reachabilityFromNetworkManager(reply.value().variant().toUInt());
    });
}

void RecheckWatch::request()
{
    if (!m_checking())
        return;
    if (const qint64 wait = m_rate.wait(); wait > 0) {
        if (!m_later.isActive())
            m_later.start(int(wait));
        return;
    }
    m_later.stop();
    m_rate.ran();
    m_check();
}

void RecheckWatch::onPrepareForSleep(bool start)
{
    // False: the machine has just woken up. A check before the network is back would only fail:
    // where NetworkManager says it is not online yet, its coming back checks, or the bound runs out.
    if (start)
        return;
    if (resumeWaitsForNetwork(m_networkManagerAnswered, m_reachability)) {
        m_network.start(kNetworkWaitMs);
        return;
    }
    request();
}

void RecheckWatch::onNetworkProperties(const QString& interface, const QVariantMap& changed,
                                       const QStringList&)
{
    const auto state = changed.constFind(QStringLiteral("State"));
    if (interface != kNetworkManager || state == changed.constEnd())
        return;
    m_stateChanged = true;
    m_networkManagerAnswered = true;
    onReachability(reachabilityFromNetworkManager(state->toUInt()));
}

void RecheckWatch::onReachability(QNetworkInformation::Reachability now)
{
    const bool back = networkCameBack(m_reachability, now);
    m_reachability = now;
    if (back) {
        m_network.stop();
        request();
    }
}

} // namespace mailcheck
