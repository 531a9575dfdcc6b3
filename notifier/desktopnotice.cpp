#include "notifier/desktopnotice.h"

#include "notifier/rules.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace notifier {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");
// The desktop file's name: the notification centre finds the program's icon and settings by it.
const QString kDesktopEntry = QStringLiteral("vurk_mailchecker");

// A count as the check reads it, digits only; anything else counts as none.
QStringView digitsOf(const QString& count)
{
    QStringView digits(count);
    while (digits.size() > 1 && digits.front() == QLatin1Char('0'))
        digits = digits.mid(1);
    for (QChar c : digits) {
        if (!c.isDigit() || c.unicode() > 0x7f)
            return u"0";
    }
    return digits.isEmpty() ? QStringView(u"0") : digits;
}

// Any number of digits: longer is larger, then digit by digit.
bool greater(QStringView a, QStringView b)
{
    return a.size() != b.size() ? a.size() > b.size() : a.compare(b) > 0;
}

QDBusMessage call(const QString& method)
{
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

} // namespace

NoticeStep noticeStep(const QString& previous, const QString& count, bool on)
{
    const QStringView now = digitsOf(count);
    if (now == u"0")
        return NoticeStep::Close;
    if (on && greater(now, digitsOf(previous)))
        return NoticeStep::Show;
    return NoticeStep::None;
}

QString noticeBody(const QString& account, const QString& server, bool markup)
{
    const QString body = account + QLatin1Char('@') + server;
    return markup ? body.toHtmlEscaped() : body;
}

QDBusMessage noticeMessage(uint replaces, const QString& count, const QString& body)
{
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), kDesktopEntry);
    hints.insert(QStringLiteral("category"), QStringLiteral("email.arrived"));
    QDBusMessage message = call(QStringLiteral("Notify"));
    // Timeout -1: as long as the server keeps notifications.
    message << QStringLiteral("Vurk_メールチェッカー") << replaces << kDesktopEntry
            << QStringLiteral("You have ") + count + QStringLiteral(" e-Mail") << body
            << QStringList{kDefaultAction, QStringLiteral("メーラーを起動する")} << hints << qint32(-1);
    return message;
}

DesktopNotice::DesktopNotice(QObject *parent) : QObject(parent) {}

DesktopNotice::~DesktopNotice() = default;

void DesktopNotice::countRead(const QString& count, bool on, const QString& account, const QString& server)
{
    const NoticeStep step = noticeStep(m_previous, count, on);
    m_previous = digitsOf(count).toString();
    if (step == NoticeStep::Show)
        show({m_previous, account, server, {}});
    else if (step == NoticeStep::Close)
        close();
}

void DesktopNotice::newMessages(const QStringList& lines, bool on)
{
    // The count the latest check read, which came first; the account is in the lines' stead.
    if (on && !lines.isEmpty() && m_previous != QLatin1String("0"))
        show({m_previous, {}, {}, lines});
}

void DesktopNotice::listen(QDBusConnection& bus)
{
    bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                SLOT(onActionInvoked(uint, QString)));
    bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                SLOT(onNotificationClosed(uint, uint)));
}

void DesktopNotice::setBus(const QDBusConnection& bus, const QString& failure)
{
    if (!bus.isConnected()) {
        m_busState = Bus::Missing;
        m_queued.reset();
        tell(failure.isEmpty() ? QStringLiteral("no session bus") : failure);
        return;
    }
    m_bus = bus;
    m_busState = Bus::Here;
    if (m_queued)
        show(*std::exchange(m_queued, std::nullopt));
}

void DesktopNotice::show(const Request& request)
{
    if (m_busState != Bus::Here) {
        // The latest count waits for the bus; without one nothing shows.
        if (m_busState == Bus::Missing)
            return;
        m_queued = request;
        if (m_busState == Bus::NotAsked) {
            m_busState = Bus::Asked;
            emit busWanted();
        }
        return;
    }
    m_closeAfter = false;
    // One call at a time: the next one replaces the notification the last one made.
    if (m_inFlight) {
        m_queued = request;
        return;
    }
    if (!m_capabilitiesKnown) {
        m_queued = request;
        askCapabilities();
        return;
    }
    send(request);
}

void DesktopNotice::close()
{
    m_queued.reset();
    if (m_inFlight) {
        m_closeAfter = true;
        return;
    }
    if (m_id == 0)
        return;
    QDBusMessage message = call(QStringLiteral("CloseNotification"));
    message << m_id;
    m_bus.asyncCall(message);
    m_id = 0;
}

void DesktopNotice::closeAtExit(int boundMs)
{
    // A first Notify still on its way has no id yet: that one is left to the server.
    if (m_busState != Bus::Here || m_id == 0)
        return;
    QDBusMessage message = call(QStringLiteral("CloseNotification"));
    message << std::exchange(m_id, 0);
    // The call's own timeout bounds the wait: the program ends right after, and a close still unsent
    // would leave the notification in the centre for good.
    m_bus.asyncCall(message, boundMs).waitForFinished();
}

void DesktopNotice::askCapabilities()
{
    m_inFlight = true;
    auto *watcher =
        new QDBusPendingCallWatcher(m_bus.asyncCall(call(QStringLiteral("GetCapabilities"))), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *answer) {
        answer->deleteLater();
        m_inFlight = false;
        m_closeAfter = false; // nothing has been shown yet
        const QDBusPendingReply<QStringList> reply = *answer;
        if (reply.isError()) {
            tell(reply.error().name() + QStringLiteral(": ") + reply.error().message());
            m_queued.reset();
            return;
        }
        // A server without markup shows the body as it stands.
        m_markup = reply.value().contains(QStringLiteral("body-markup"));
        m_capabilitiesKnown = true;
        if (m_queued)
            send(*std::exchange(m_queued, std::nullopt));
    });
}

void DesktopNotice::send(const Request& request)
{
    const QString body = request.lines.isEmpty() ? noticeBody(request.account, request.server, m_markup)
                                                 : previewBody(request.lines, m_markup);
    const QDBusMessage message = noticeMessage(m_id, request.count, body);
    m_inFlight = true;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &DesktopNotice::sent);
}

void DesktopNotice::sent(QDBusPendingCallWatcher *answer)
{
    answer->deleteLater();
    m_inFlight = false;
    const QDBusPendingReply<uint> reply = *answer;
    if (reply.isError()) {
        tell(reply.error().name() + QStringLiteral(": ") + reply.error().message());
        m_id = 0;
    } else {
        m_id = reply.value();
        m_actionId = m_id;
        m_acted = false; // a new notification, even where the server kept its id
    }
    if (m_closeAfter) {
        m_closeAfter = false;
        close();
    } else if (m_queued) {
        send(*std::exchange(m_queued, std::nullopt));
    }
}

void DesktopNotice::onActionInvoked(uint id, const QString& action)
{
    if (id != 0 && id == m_actionId && action == kDefaultAction && !std::exchange(m_acted, true))
        emit defaultAction();
}

void DesktopNotice::onNotificationClosed(uint id, uint reason)
{
    // Reason 1, expired: Plasma keeps an expired popup in its history, so replacing and closing must
    // still reach it. Only a dismissal (2) or a close (3) ends it.
    constexpr uint kExpired = 1;
    if (id != 0 && id == m_id && reason != kExpired)
        m_id = 0;
}

void DesktopNotice::tell(const QString& why)
{
    // Once: a desktop without a notification server stays without one.
    m_told(QStringLiteral("no desktop notification (%1)").arg(why));
}

} // namespace notifier
