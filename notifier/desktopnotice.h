#pragma once

#include "app/log.h"

#include <QObject>
#include <QString>
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

// The new-mail notification in the desktop's notification centre (org.freedesktop.Notifications over
// the session bus). The bus is reached at the first notification, never at start-up. Each new one
// replaces the one before, so the screen never stacks them. Without a notification server nothing
// else changes; standard error hears of it once.
class DesktopNotice : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotice(QObject *parent = nullptr);
    ~DesktopNotice() override;

    // A check read this count.
    void countRead(const QString& count, bool on, const QString& account, const QString& server);

signals:
    // The user chose the notification itself (its default action).
    void defaultAction();

private slots:
    void onActionInvoked(uint id, const QString& action);
    void onNotificationClosed(uint id, uint reason);

private:
    struct Request {
        QString count;
        QString account;
        QString server;
    };

    bool reachBus();
    void show(const Request& request);
    void close();
    void askCapabilities();
    void send(const Request& request);
    void sent(QDBusPendingCallWatcher *call);
    void tell(const QString& why);

    QString m_previous = QStringLiteral("0");
    uint m_id = 0;       // the notification on screen, 0 for none
    uint m_actionId = 0; // the last one shown: some servers report it closed before its action
    bool m_busReached = false;
    bool m_capabilitiesKnown = false;
    bool m_markup = false;
    bool m_inFlight = false;   // a Notify or GetCapabilities call waits for its answer
    bool m_closeAfter = false; // the mailbox was found empty meanwhile
    std::optional<Request> m_queued;
    app::TellOnce m_told;
};

} // namespace notifier
