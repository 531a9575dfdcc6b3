#include "app/onlineaccounts.h"

#include "app/busreach.h"
#include "app/testseams.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QVariantMap>

using Interfaces = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, Interfaces>;

namespace OnlineAccounts {

namespace {

const QString kService = QStringLiteral("org.gnome.OnlineAccounts");
const QString kManager = QStringLiteral("/org/gnome/OnlineAccounts");
const QString kAccountPath = QStringLiteral("/org/gnome/OnlineAccounts/Accounts/");
const QString kAccount = QStringLiteral("org.gnome.OnlineAccounts.Account");
const QString kMail = QStringLiteral("org.gnome.OnlineAccounts.Mail");
const QString kOAuth2 = QStringLiteral("org.gnome.OnlineAccounts.OAuth2Based");

using Done = std::function<void(const QDBusMessage& reply, const QString& error)>;

// GOA's ids are the last element of an object path; anything else names no account of its.
bool isAccountId(const QString& id)
{
    if (id.isEmpty() || id.size() > 255)
        return false;
    for (const QChar c : id) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != u'_')
            return false;
    }
    return true;
}

// A message of another process's, as one short line of plain text.
QString plainLine(QString text)
{
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = u' ';
    }
    text = text.simplified();
    return text.size() > 200 ? text.left(199) + QChar(0x2026) : text;
}

QString reason(const QDBusMessage& reply, int boundMs)
{
    const QString name = reply.errorName();
    if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return QStringLiteral("GNOME Online Accounts is not running");
    if (name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
        name == QLatin1String("org.freedesktop.DBus.Error.Timeout") ||
        name == QLatin1String("org.freedesktop.DBus.Error.TimedOut"))
        return QStringLiteral("GNOME Online Accounts did not answer within %1 s").arg(boundMs / 1000.0);
    if (name == QLatin1String("org.freedesktop.DBus.Error.UnknownObject") ||
        name == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod") ||
        name == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface"))
        return QStringLiteral("no such account in GNOME Online Accounts");
    const QString message = plainLine(reply.errorMessage());
    return QStringLiteral("GNOME Online Accounts: ") + (message.isEmpty() ? plainLine(name) : message);
}

void fail(QObject *context, const Done& done, const QString& error)
{
    QMetaObject::invokeMethod(
        context, [done, error] { done({}, error); }, Qt::QueuedConnection);
}

// One method call to GOA, its reply checked against the signature expected.
void call(const QString& path, const QString& interface, const QString& method, const QString& signature,
          QObject *context, Done done)
{
    const int bound = app::seams::onlineAccountsWaitMs();
    app::reachBus(
        QDBusConnection::SessionBus, context,
        [=](const QDBusConnection& bus, const QString& failure) {
            if (!bus.isConnected())
                return done({}, QStringLiteral("no session bus: ") + plainLine(failure));
            const QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
            auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, bound), context);
            QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                             [=](QDBusPendingCallWatcher *answered) {
                                 answered->deleteLater();
                                 const QDBusMessage reply = answered->reply();
                                 if (reply.type() == QDBusMessage::ErrorMessage)
                                     done({}, reason(reply, bound));
                                 else if (reply.signature() != signature)
                                     done({}, QStringLiteral("GNOME Online Accounts answered %1 with %2")
                                                  .arg(method, plainLine(reply.signature())));
                                 else
                                     done(reply, {});
                             });
        },
        {}, bound);
}

void accountCall(const QString& id, const QString& interface, const QString& method, const QString& signature,
                 QObject *context, Done done)
{
    if (!isAccountId(id))
        return fail(context, done, QStringLiteral("no such account in GNOME Online Accounts"));
    call(kAccountPath + id, interface, method, signature, context, std::move(done));
}

QList<Account> googleMailAccounts(const ManagedObjects& objects)
{
    QList<Account> accounts;
    for (auto object = objects.cbegin(); object != objects.cend(); ++object) {
        const QVariantMap account = object->value(kAccount);
        const QVariantMap mail = object->value(kMail);
        Account listed;
        listed.id = account.value(QStringLiteral("Id")).toString();
        listed.identity = plainLine(account.value(QStringLiteral("PresentationIdentity")).toString());
        listed.email = plainLine(mail.value(QStringLiteral("EmailAddress")).toString());
        listed.attentionNeeded = account.value(QStringLiteral("AttentionNeeded")).toBool();
        if (account.value(QStringLiteral("ProviderType")).toString() != QLatin1String("google") ||
            account.value(QStringLiteral("MailDisabled")).toBool() || !object->contains(kOAuth2) ||
            !isAccountId(listed.id) || listed.email.isEmpty())
            continue;
        accounts << listed;
        if (accounts.size() == kMaxAccounts)
            break;
    }
    return accounts;
}

// An access token is printable ASCII without blanks (RFC 6750); anything else is not sent anywhere.
bool isToken(const QString& token)
{
    if (token.isEmpty() || token.size() > 16384)
        return false;
    for (const QChar c : token) {
        if (c.unicode() < 0x21 || c.unicode() > 0x7e)
            return false;
    }
    return true;
}

} // namespace

void mailAccounts(QObject *context, std::function<void(const AccountList&)> done)
{
    static const bool registered = [] {
        qDBusRegisterMetaType<Interfaces>();
        qDBusRegisterMetaType<ManagedObjects>();
        return true;
    }();
    Q_UNUSED(registered);
    call(kManager, QStringLiteral("org.freedesktop.DBus.ObjectManager"), QStringLiteral("GetManagedObjects"),
         QStringLiteral("a{oa{sa{sv}}}"), context,
         [done = std::move(done)](const QDBusMessage& reply, const QString& error) {
             AccountList list;
             list.error = error;
             if (error.isEmpty())
                 list.accounts = googleMailAccounts(qdbus_cast<ManagedObjects>(reply.arguments().value(0)));
             done(list);
         });
}

void accessToken(const QString& id, QObject *context, std::function<void(const Token&)> done)
{
    accountCall(id, kOAuth2, QStringLiteral("GetAccessToken"), QStringLiteral("si"), context,
                [done = std::move(done)](const QDBusMessage& reply, const QString& error) {
                    Token token;
                    token.error = error;
                    if (error.isEmpty()) {
                        token.token = reply.arguments().value(0).toString();
                        if (!isToken(token.token))
                            token = {{}, QStringLiteral("GNOME Online Accounts gave no usable access token")};
                    }
                    done(token);
                });
}

void ensureCredentials(const QString& id, QObject *context, std::function<void(const QString& error)> done)
{
    accountCall(id, kAccount, QStringLiteral("EnsureCredentials"), QStringLiteral("i"), context,
                [done = std::move(done)](const QDBusMessage&, const QString& error) { done(error); });
}

} // namespace OnlineAccounts
