#pragma once

#include "app/log.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

class QDBusMessage;
class QDBusPendingCallWatcher;

namespace notifier {

// What a check's count asks of the desktop notification.
enum class NoticeStep { None, Show, Close };

// previous: the count the check before read ("0" at the start and after an empty mailbox); count:
// this check's; on: the menu's switch. A rise shows the notification; an empty mailbox closes it,
// whatever the switch says, since it would only tell of mail that is gone.
NoticeStep noticeStep(const QString& previous, const QString& count, bool on);

// The notification's body, the account and its server; escaped where the server reads markup.
QString noticeBody(const QString& account, const QString& server, bool markup);

// The Notify call for count messages, replacing the notification replaces (0: none).
QDBusMessage noticeMessage(uint replaces, const QString& count, const QString& body);

// The new-mail notification in the desktop's notification centre (org.freedesktop.Notifications on
// the session bus). The bus is asked for at the first notification (busWanted), never at start-up,
// and given with setBus. Each new one replaces the one before, so the screen never stacks them, and
// one call waits for its answer at a time. Without a notification server nothing else changes;
// standard error hears of it once.
class DesktopNotice : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotice(QObject *parent = nullptr);
    ~DesktopNotice() override;

    // Subscribes to the server's answers on bus, before the first notification goes out. It blocks
    // on the bus: call it from the thread that reaches the bus.
    void listen(QDBusConnection& bus);
    // The bus to talk on. One that is not connected means no notification server, for good.
    void setBus(const QDBusConnection& bus, const QString& failure = {});

    // A check read this count.
    void countRead(const QString& count, bool on, const QString& account, const QString& server);
    // A check found new messages, whether or not the count rose: the notification lists them.
    void newMessages(const QStringList& lines, bool on);

    // The program ends: the notification it showed goes with it. Waits at most boundMs.
    void closeAtExit(int boundMs = 500);

signals:
    // The user chose the notification itself (its default action); once per notification.
    void defaultAction();
    // The first notification needs the bus.
    void busWanted();

private slots:
    void onActionInvoked(uint id, const QString& action);
    void onNotificationClosed(uint id, uint reason);

private:
    struct Request {
        QString count;
        QString account;
        QString server;
        QStringList lines; // the new messages, when known
    };

    void show(const Request& request);
    void close();
    void askCapabilities();
    void send(const Request& request);
    void sent(QDBusPendingCallWatcher *call);
    void tell(const QString& why);

    QString m_previous = QStringLiteral("0");
    uint m_id = 0;        // the notification on screen, 0 for none
    uint m_actionId = 0;  // the last one shown: some servers report it closed before its action
    bool m_acted = false; // its action has been taken: a server that repeats it starts nothing more
    enum class Bus { NotAsked, Asked, Here, Missing } m_busState = Bus::NotAsked;
    QDBusConnection m_bus{QString()};
    bool m_capabilitiesKnown = false;
    bool m_markup = false;
    bool m_inFlight = false;   // a Notify or GetCapabilities call waits for its answer
    bool m_closeAfter = false; // the mailbox was found empty meanwhile
    std::optional<Request> m_queued;
    app::TellOnce m_told;
};

} // namespace notifier
