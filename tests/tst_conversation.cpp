#include "mailcheck/conversation.h"
#include "mailcheck/headerfetch.h"

#include <QTest>

using mailcheck::Step;

namespace {

// One line per step, so a row reads as what the window is told to do.
QString described(const Step& step)
{
    switch (step.kind) {
    case Step::Kind::Ignore:
        return QStringLiteral("ignore");
    case Step::Kind::Send:
        return QStringLiteral("send ") + step.command + QStringLiteral(" -> ") + step.state;
    case Step::Kind::Finish:
        return step.result + QStringLiteral(": ") + step.detail +
               (step.hint.isEmpty() ? QString() : QStringLiteral(" / ") + step.hint);
    case Step::Kind::CountRead:
        return QStringLiteral("count ") + step.count + QStringLiteral(" -> ") + step.state +
               (step.command.isEmpty()
                    ? QString()
                    : QStringLiteral(" then ") + step.command + QStringLiteral(" -> ") + step.commandState);
    case Step::Kind::HeadersRead:
        return QStringLiteral("headers read, send ") + step.command + QStringLiteral(" -> ") + step.state +
               (step.detail.isEmpty() ? QString() : QStringLiteral(": ") + step.detail);
    case Step::Kind::Advance:
        return QStringLiteral("-> ") + step.state;
    case Step::Kind::StartTls:
        return QStringLiteral("start TLS -> ") + step.state;
    }
    return {};
}

} // namespace

class TestConversation : public QObject {
    Q_OBJECT

private slots:
    void steps_data();
    void steps();
    void secured_data();
    void secured();
    void headers_data();
    void headers();
};

void TestConversation::steps_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("unreadWaiting");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("step");
    auto row = [](const char *title, const char *state, const QString& reply, const QString& step,
                  bool unread = false, const QString& user = QStringLiteral("alice"),
                  const QString& password = QStringLiteral("s3cret")) {
        QTest::newRow(title) << QString::fromLatin1(state) << reply << unread << user << password << step;
    };

    // Each step of a good check.
    row("greeting", "connect", "+OK ready\r\n", "send user alice -> pass");
    row("bare +OK greeting", "connect", "+OK\r\n", "send user alice -> pass");
    row("USER answered", "pass", "+OK\r\n", "send pass s3cret -> stat");
    row("PASS answered", "stat", "+OK Logged in.\r\n", "send stat -> allOK");
    row("count", "allOK", "+OK 12 34567\r\n", "count 12 -> top 1 10");
    row("empty mailbox", "allOK", "+OK 0 0\r\n", "count 0 -> top 1 10");
    row("count with leading zeros", "allOK", "+OK 0007 1\r\n", "count 7 -> top 1 10");

    // A refusal at each step: the account's fault only for USER and PASS.
    row("-ERR greeting", "connect", "-ERR busy\r\n", "Server error: -ERR busy\r\n");
    // In clear text a refusal may be the server's wish for TLS.
    const QString hint = QStringLiteral("\r\n / the server may want SSL/TLS or STARTTLS");
    row("-ERR to USER", "pass", "-ERR no such user\r\n", "Login failed: -ERR no such user" + hint);
    row("-ERR to PASS", "stat", "-ERR [AUTH] no\r\n", "Login failed: -ERR [AUTH] no" + hint);
    row("-ERR to STAT", "allOK", "-ERR locked\r\n", "Server error: -ERR locked\r\n");
    row("garbage greeting", "connect", "HELLO\r\n", "Server error: HELLO\r\n");
    row("glued +OK to USER", "pass", "+OKAY\r\n", "Login failed: +OKAY" + hint);
    row("reply before start-up", "", "+OK\r\n", "Server error: +OK\r\n");

    // Passing refusals.
    row("in use on PASS", "stat", "-ERR [IN-USE] x\r\n", "Server busy: -ERR [IN-USE] x\r\n");
    row("login delay on USER", "pass", "-ERR [LOGIN-DELAY] x\r\n", "Server busy: -ERR [LOGIN-DELAY] x\r\n");
    row("temporary fault on PASS", "stat", "-ERR [SYS/TEMP] x\r\n", "Server busy: -ERR [SYS/TEMP] x\r\n");
    row("temporary fault on USER", "pass", "-ERR [SYS/TEMP] x\r\n", "Server busy: -ERR [SYS/TEMP] x\r\n");
    row("permanent fault on PASS", "stat", "-ERR [SYS/PERM] x\r\n", "Login failed: -ERR [SYS/PERM] x" + hint);
    row("busy greeting is the server's", "connect", "-ERR [SYS/TEMP] x\r\n",
        "Server error: -ERR [SYS/TEMP] x\r\n");
    row("busy STAT is the server's", "allOK", "-ERR [IN-USE] x\r\n", "Server error: -ERR [IN-USE] x\r\n");

    // A count that is not one.
    row("count missing", "allOK", "+OK\r\n", "Server error: +OK\r\n");
    row("count negative", "allOK", "+OK -3 0\r\n", "Server error: +OK -3 0\r\n");
    const QString nul = QString::fromLatin1("+OK \0 3 300\r\n", 13);
    row("count after a NUL", "allOK", nul, QStringLiteral("Server error: ") + nul);

    // A line break in either value stops both commands that carry one.
    const QString broken = QStringLiteral("Login failed: line break in the account name or password");
    row("CR in the account name", "connect", "+OK\r\n", broken, false, "alice\rdele 1");
    row("LF in the password, at USER", "connect", "+OK\r\n", broken, false, "alice", "pw\ndele 1");
    row("CR LF in the password, at PASS", "pass", "+OK\r\n", broken, false, "alice", "pw\r\ndele 1");
    row("line break does not stop STAT", "stat", "+OK\r\n", "send stat -> allOK", false, "alice", "pw\n");

    // Replies that came ahead of their commands.
    const QString ahead = QStringLiteral("Server error: a reply came before its command was sent");
    row("greeting with more behind it", "connect", "+OK ready\r\n", ahead, true);
    row("USER answer with more behind it", "pass", "+OK\r\n", ahead, true);
    row("PASS answer with more behind it", "stat", "+OK\r\n", ahead, true);
    row("count with more behind it", "allOK", "+OK 3 0\r\n", "count 3 -> top 1 10", true);

    // After QUIT nothing counts.
    row("goodbye after QUIT", "connectQQQQ", "+OK bye\r\n", "ignore");
    row("-ERR after QUIT", "connectQQQQ", "-ERR odd\r\n", "ignore");
    row("garbage after QUIT", "connectQQQQ", "garbage", "ignore", true);
}

void TestConversation::steps()
{
    QFETCH(QString, state);
    QFETCH(QString, reply);
    QFETCH(bool, unreadWaiting);
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, step);
    const mailcheck::Conversation conversation({name, password, {}});
    QCOMPARE(described(conversation.next(state, reply, unreadWaiting)), step);
}

// The STARTTLS path, from the greeting to the login over TLS, and the OAuth2 login. The reply "<tls>"
// stands for the end of a good handshake. In no row does anything secret go out before it.
void TestConversation::secured_data()
{
    QTest::addColumn<int>("security");
    QTest::addColumn<int>("login");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("unreadWaiting");
    QTest::addColumn<QString>("step");
    using mailcheck::Login;
    using mailcheck::Security;
    auto row = [](const char *title, const char *state, const QString& reply, const QString& step,
                  bool unread = false, Security security = Security::StartTls,
                  Login login = Login::Password) {
        QTest::newRow(title) << int(security) << int(login) << QString::fromLatin1(state) << reply << unread
                             << step;
    };
    const QString noStls = QStringLiteral("Connection failed: the server offers no STARTTLS");
    const QString early = QStringLiteral("Connection failed: the server sent data before TLS began");

    row("greeting asks for capabilities", "connect", "+OK ready\r\n", "send capa -> capa");
    row("capability list begins", "capa", "+OK\r\n", "-> capa list");
    row("a capability other than STLS", "capa list", "USER\r\n", "-> capa list");
    row("STLS among them", "capa list", "STLS\r\n", "-> capa stls");
    row("STLS in lower case", "capa list", "stls\r\n", "-> capa stls");
    row("a word that only starts with STLS", "capa list", "STLSX\r\n", "-> capa list");
    row("STLS stays seen", "capa stls", "SASL PLAIN\r\n", "-> capa stls");
    row("list end with STLS", "capa stls", ".\r\n", "send stls -> stls");
    row("list end without STLS", "capa list", ".\r\n", noStls);
    row("CAPA refused", "capa", "-ERR unknown command\r\n", noStls);
    row("STLS refused", "stls", "-ERR not now\r\n",
        "Connection failed: the server refused STARTTLS: -ERR not now\r\n");
    row("go-ahead", "stls", "+OK Begin TLS\r\n", "start TLS -> tls");
    row("plain text behind the go-ahead", "stls", "+OK Begin TLS\r\n", early, true);
    row("a line during the handshake", "tls", "+OK 1 2\r\n", early);
    row("list end with more behind it", "capa stls", ".\r\n",
        "Server error: a reply came before its command was sent", true);
    row("handshake done: the login", "tls", "<tls>", "send user alice -> pass");
    row("handshake done with data waiting", "tls", "<tls>",
        "Server error: a reply came before its command was sent", true);
    row("handshake in another state", "pass", "<tls>", "ignore");
    // Over TLS a refusal carries no advice about TLS.
    row("refusal after STARTTLS", "stat", "-ERR [AUTH] no\r\n", "Login failed: -ERR [AUTH] no\r\n");
    row("refusal over SSL/TLS", "stat", "-ERR [AUTH] no\r\n", "Login failed: -ERR [AUTH] no\r\n", false,
        mailcheck::Security::Ssl);
    // The other choices log in straight after the greeting, as before.
    row("SSL/TLS greeting", "connect", "+OK\r\n", "send user alice -> pass", false, mailcheck::Security::Ssl);
    row("plain greeting", "connect", "+OK\r\n", "send user alice -> pass", false, mailcheck::Security::None);

    // OAuth2: AUTH XOAUTH2, the server's "+", the token on its own line; never without TLS.
    const QString response = QStringLiteral("dXNlcj1hbGljZQFhdXRoPUJlYXJlciB0b2sBAQ==");
    const auto oauth = [&](const char *title, const char *state, const QString& reply, const QString& step,
                           bool unread = false, Security security = Security::Ssl) {
        row(title, state, reply, step, unread, security, Login::Xoauth2);
    };
    const QString refusedToken = QStringLiteral(" / the server refused the access token");
    oauth("SSL/TLS greeting asks for XOAUTH2", "connect", "+OK\r\n", "send auth xoauth2 -> auth");
    oauth("STARTTLS handshake asks for XOAUTH2", "tls", "<tls>", "send auth xoauth2 -> auth", false,
          Security::StartTls);
    oauth("never in clear text", "connect", "+OK\r\n",
          "Login failed: OAuth2 sign-in needs SSL/TLS or STARTTLS", false, Security::None);
    oauth("the go-ahead", "auth", "+\r\n", "send " + response + " -> auth sent");
    oauth("the go-ahead with a blank", "auth", "+ \r\n", "send " + response + " -> auth sent");
    oauth("XOAUTH2 not offered", "auth", "-ERR unknown mechanism\r\n",
          "Login failed: -ERR unknown mechanism\r\n / the server does not take OAuth2 (XOAUTH2)");
    oauth("signed in", "auth sent", "+OK Logged in.\r\n", "send stat -> allOK");
    oauth("error report answered with an empty line", "auth sent", "+ eyJzdGF0dXMiOiI0MDEifQ==\r\n",
          "send  -> auth refused");
    oauth("then the verdict", "auth refused", "-ERR [AUTH] Authentication failed.\r\n",
          "Login failed: -ERR [AUTH] Authentication failed.\r\n" + refusedToken);
    oauth("refused at once", "auth sent", "-ERR [AUTH] no\r\n",
          "Login failed: -ERR [AUTH] no\r\n" + refusedToken);
    oauth("busy is no refusal", "auth sent", "-ERR [SYS/TEMP] later\r\n",
          "Server busy: -ERR [SYS/TEMP] later\r\n");
    oauth("token answer with more behind it", "auth", "+\r\n",
          "Server error: a reply came before its command was sent", true);
}

void TestConversation::secured()
{
    QFETCH(int, security);
    QFETCH(int, login);
    QFETCH(QString, state);
    QFETCH(QString, reply);
    QFETCH(bool, unreadWaiting);
    QFETCH(QString, step);
    const mailcheck::Conversation conversation(
        {QStringLiteral("alice"), QStringLiteral("s3cret"), QStringLiteral("tok")},
        mailcheck::Security(security), mailcheck::Login(login));
    const Step got = reply == QLatin1String("<tls>") ? conversation.tlsReady(state, unreadWaiting)
                                                     : conversation.next(state, reply, unreadWaiting);
    QCOMPARE(described(got), step);
}

// The senders and subjects: the replies from STAT's on, one after the other ("~" before a reply: more
// bytes wait behind it). What went out, the headers kept and the ids saved for the next check.
void TestConversation::headers_data()
{
    QTest::addColumn<bool>("wanted");
    QTest::addColumn<QStringList>("seen");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("headers");
    QTest::addColumn<QStringList>("saved");
    const QString quit = QStringLiteral("headers read, send quit -> connectQQQQ");
    const QString uidl = QStringLiteral("count 3 -> top 1 10 then uidl -> uidl");
    const QStringList list{"+OK 3 messages", "1 a", "2 b", "3 c", "."};
    const QStringList abc{"a", "b", "c"};

    QTest::newRow("switch off: QUIT after the count, as ever")
        << false << QStringList() << QStringList{"+OK 3 0"} << QStringList{"count 3 -> top 1 10"}
        << QStringList() << QStringList();
    QTest::newRow("empty mailbox: no UIDL")
        << true << QStringList() << QStringList{"+OK 0 0"} << QStringList{"count 0 -> top 1 10"}
        << QStringList() << QStringList();
    QTest::newRow("more behind the count: no UIDL")
        << true << QStringList() << QStringList{"~+OK 3 0"} << QStringList{"count 3 -> top 1 10"}
        << QStringList() << QStringList();
    QTest::newRow("UIDL refused") << true << QStringList() << QStringList{"+OK 3 0", "-ERR no UIDL"}
                                  << QStringList{uidl, quit + ": the server has no UIDL"} << QStringList()
                                  << QStringList();
    QTest::newRow("nothing new") << true << abc << QStringList{"+OK 3 0"} + list << QStringList{uidl, quit}
                                 << QStringList() << abc;
    QTest::newRow("two new, newest first, dots unstuffed")
        << true << QStringList{"a"}
        << QStringList{"+OK 3 0"} + list +
               QStringList{"+OK", "Subject: three", ".", "+OK", "From: x", "..two", "", "."}
        << QStringList{uidl, "send top 3 0 -> top", "send top 2 0 -> top", quit}
        << QStringList{"Subject: three\r\n", "From: x\r\n.two\r\n\r\n"} << abc;
    QTest::newRow("first check: every message new, the five newest read")
        << true << QStringList()
        << QStringList{"+OK 7 0", "+OK", "1 a",  "2 b",  "3 c",  "4 d",  "5 e", "6 f",
                       "7 g",     ".",   "-ERR", "-ERR", "-ERR", "-ERR", "-ERR"}
        << QStringList{"count 7 -> top 1 10 then uidl -> uidl",
                       "send top 7 0 -> top",
                       "send top 6 0 -> top",
                       "send top 5 0 -> top",
                       "send top 4 0 -> top",
                       "send top 3 0 -> top",
                       quit}
        << QStringList() << QStringList{"a", "b", "c", "d", "e", "f", "g"};
    QTest::newRow("a refused TOP skips that message")
        << true << QStringList{"a", "b"}
        << QStringList{"+OK 3 0"} + list + QStringList{"-ERR no such message"}
        << QStringList{uidl, "send top 3 0 -> top", quit} << QStringList() << abc;
    QTest::newRow("duplicate and absurd ids dropped")
        << true << QStringList()
        << QStringList{"+OK 3 0", "+OK", "1 a", "1 b", "2 a", "9 z", "0 q", "x y", "3 " + QString(71, 'u'),
                       "3 c d",   ".",   "+OK", "."}
        << QStringList{uidl, "send top 1 0 -> top", quit} << QStringList{""} << QStringList{"a"};
    QTest::newRow("more behind the listing's end")
        << true << QStringList() << QStringList{"+OK 3 0"} + list.mid(0, 4) + QStringList{"~."}
        << QStringList{uidl, quit + ": a reply came before its command was sent"} << QStringList() << abc;
    QStringList endless{"+OK 3 0", "+OK"};
    for (int i = 1; i <= 20000; ++i)
        endless << QStringLiteral("%1 id%1").arg(i);
    QTest::newRow("a listing that never ends sends nothing")
        << true << QStringList() << endless << QStringList{uidl} << QStringList() << QStringList();
}

void TestConversation::headers()
{
    QFETCH(bool, wanted);
    QFETCH(QStringList, seen);
    QFETCH(QStringList, replies);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, headers);
    QFETCH(QStringList, saved);
    QStringList savedIds;
    mailcheck::HeaderFetch fetch(
        [&seen] {
            QSet<QByteArray> ids;
            for (const QString& id : seen)
                ids.insert(id.toLatin1());
            return ids;
        },
        [&savedIds](const QSet<QByteArray>& ids) {
            for (const QByteArray& id : ids)
                savedIds << QString::fromLatin1(id);
            savedIds.sort();
        });
    const mailcheck::Conversation conversation({QStringLiteral("alice"), QStringLiteral("s3cret"), {}},
                                               mailcheck::Security::None, mailcheck::Login::Password,
                                               wanted ? &fetch : nullptr);
    QString state = QStringLiteral("allOK");
    QStringList got;
    for (QString reply : replies) {
        const bool unread = reply.startsWith(QLatin1Char('~'));
        if (unread)
            reply.remove(0, 1);
        const Step step = conversation.next(state, reply + QStringLiteral("\r\n"), unread);
        if (step.kind != Step::Kind::Advance)
            got << described(step);
        state =
            step.kind == Step::Kind::CountRead && !step.command.isEmpty() ? step.commandState : step.state;
    }
    QCOMPARE(got, steps);
    QStringList kept;
    for (const QByteArray& header : fetch.headers())
        kept << QString::fromLatin1(header);
    QCOMPARE(kept, headers);
    QCOMPARE(savedIds, saved);
}

QTEST_GUILESS_MAIN(TestConversation)
#include "tst_conversation.moc"
