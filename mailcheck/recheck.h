#pragma once

#include <QDBusConnection>
#include <QNetworkInformation>
#include <QObject>
#include <QTimer>
#include <QVariantMap>
#include <functional>
#include <optional>

namespace mailcheck {

// At most one recheck per interval. The clock gives a monotonic time in milliseconds.
class RecheckRate {
public:
    explicit RecheckRate(std::function<qint64()> clock, qint64 intervalMs = 10000);

    // How long a recheck asked for now has to wait, in milliseconds; 0 when it may run now.
    qint64 wait() const;
    // A recheck ran now.
    void ran();

private:
    std::function<qint64()> m_clock;
    qint64 m_interval;
    std::optional<qint64> m_last;
};

// What NetworkManager's State property says of the network, in QNetworkInformation's terms.
QNetworkInformation::Reachability reachabilityFromNetworkManager(uint state);

// Whether a resume waits for the network before it checks: only where NetworkManager has answered and
// says it is not online; without NetworkManager the resume checks at once.
bool resumeWaitsForNetwork(bool networkManagerAnswered, QNetworkInformation::Reachability now);

// Whether a change of reachability means the network has come back.
bool networkCameBack(QNetworkInformation::Reachability before, QNetworkInformation::Reachability now);

// Checks at once when the machine resumes from suspend (logind's PrepareForSleep(false)) and when the
// network comes back (NetworkManager's State), both on the system bus, instead of waiting for the
// next tick. NetworkManager is asked directly rather than through QNetworkInformation, whose plugins
// would bring GIO and some 3 MB with them for the one property. A recheck asked for within the rate's
// interval runs when the interval is over. A resume while NetworkManager says the network is not
// online waits for it to come back (at most 30 s), so it never fails for want of the network.
class RecheckWatch : public QObject {
    Q_OBJECT
public:
    // checking: whether checks run now; check: start one.
    RecheckWatch(std::function<bool()> checking, std::function<void()> check, QObject *parent = nullptr);

    // Listens to logind and NetworkManager. The system bus is reached off this thread (a silent bus
    // never blocks it); without a system bus, logind or NetworkManager nothing happens.
    void start();

    // A reason to check at once.
    void request();

private slots:
    void onPrepareForSleep(bool start);
    void onNetworkProperties(const QString& interface, const QVariantMap& changed, const QStringList&);

private:
    void askNetworkState(const QDBusConnection& system);
    void onReachability(QNetworkInformation::Reachability now);

    std::function<bool()> m_checking;
    std::function<void()> m_check;
    RecheckRate m_rate;
    QTimer m_later;
    QTimer m_network; // a resume waiting for the network to come back
    QNetworkInformation::Reachability m_reachability = QNetworkInformation::Reachability::Unknown;
    bool m_stateChanged = false; // a change came before the answer to the first question
    bool m_networkManagerAnswered = false;
};

} // namespace mailcheck
