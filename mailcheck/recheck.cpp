#include "mailcheck/recheck.h"

#include "app/windows.h"
#include "mailcheck/form1.h"
#include "mailcheck/timer.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>

namespace mailcheck {

namespace {

const QString kLogin = QStringLiteral("org.freedesktop.login1");

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
}

void RecheckWatch::start()
{
    QDBusConnection system = QDBusConnection::systemBus();
    if (system.isConnected())
        system.connect(kLogin, QStringLiteral("/org/freedesktop/login1"),
                       QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                       this, SLOT(onPrepareForSleep(bool)));
    // NetworkManager where it runs; it has the most to tell, so it is taken before the others.
    if (!QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))
        return;
    QNetworkInformation *network = QNetworkInformation::instance();
    m_reachability = network->reachability();
    connect(network, &QNetworkInformation::reachabilityChanged, this, &RecheckWatch::onReachability);
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
    // False: the machine has just woken up.
    if (!start)
        request();
}

void RecheckWatch::onReachability(QNetworkInformation::Reachability now)
{
    const bool back = networkCameBack(m_reachability, now);
    m_reachability = now;
    if (back)
        request();
}

void watchForRechecks()
{
    auto *watch = new RecheckWatch([] { return form1().Timer1->isRunning(); }, [] { form1().recheck(); },
                                   QCoreApplication::instance());
    watch->start();
}

} // namespace mailcheck
