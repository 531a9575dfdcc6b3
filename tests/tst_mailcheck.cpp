#include "app/clock.h"
#include "app/colour.h"
#include "app/module1.h"
#include "app/testseams.h"
#include "app/textbox.h"
#include "app/windows.h"
#include "dialogs/form4.h"
#include "mailcheck/form1.h"
#include "mailcheck/pop3.h"
#include "mailcheck/seenids.h"
#include "mailcheck/timer.h"
#include "mailcheck/winsock.h"
#include "notifier/form2.h"
#include "notifier/form3.h"
#include "support/reset.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <sys/resource.h>

namespace {

const char *const kColours[4] = {"0", "12500400", "16304788", "16737380"};

// A POP3 server on 127.0.0.1 that answers each command word from a script and records every byte
// the client sends. A reply may be several writes, sent a little apart so they arrive apart.
class FakeServer : public QObject {
    Q_OBJECT
public:
    explicit FakeServer(const QHostAddress& address = QHostAddress::LocalHost)
    {
        if (!m_server.listen(address, 0)) {
            QVERIFY2(address != QHostAddress::LocalHost, "cannot listen on loopback");
            return;
        }
        m_port = m_server.serverPort();
        connect(&m_server, &QTcpServer::newConnection, this, &FakeServer::accept);
        greeting = {"+OK fake ready\r\n"};
        replies["user"] = {"+OK\r\n"};
        replies["pass"] = {"+OK Logged in.\r\n"};
        replies["stat"] = {"+OK 2 320\r\n"};
        replies["quit"] = {"+OK Logging out.\r\n"};
    }
    ~FakeServer() override
    {
        for (const QPointer<QTcpSocket>& client : std::as_const(m_clients)) {
            if (client)
                client->abort();
        }
    }

    quint16 port() const { return m_port; }
    bool listening() const { return m_server.isListening(); }
    void stopListening() { m_server.close(); }

    QList<QByteArray> greeting;
    QMap<QByteArray, QList<QByteArray>> replies;
    bool closeAfterQuit = true;
    // The command word on which the server hangs up without a reply.
    QByteArray hangUpOn;
    QByteArray received;
    int connections = 0;
    int disconnects = 0;

private:
    void accept()
    {
        while (QTcpSocket *client = m_server.nextPendingConnection()) {
            ++connections;
            client->setParent(this);
            client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            m_clients << client;
            connect(client, &QTcpSocket::readyRead, this, [this, client] { read(client); });
            connect(client, &QTcpSocket::disconnected, this, [this] { ++disconnects; });
            send(client, greeting, false);
        }
    }

    void read(QTcpSocket *client)
    {
        const QByteArray bytes = client->readAll();
        received += bytes;
        m_pending[client] += bytes;
        QByteArray& pending = m_pending[client];
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(end + 1);
            pending.remove(0, end + 1);
            const QByteArray word = line.trimmed().split(' ').value(0).toLower();
            if (word == hangUpOn) {
                client->disconnectFromHost();
                return;
            }
            send(client, replies.value(word, {"-ERR unknown\r\n"}), word == "quit" && closeAfterQuit);
        }
    }

    void send(QTcpSocket *client, const QList<QByteArray>& writes, bool closeAfter)
    {
        QPointer<QTcpSocket> guard(client);
        for (int i = 0; i < writes.size(); ++i) {
            QTimer::singleShot(40 * i, this, [guard, bytes = writes[i]] {
                if (guard && guard->state() == QAbstractSocket::ConnectedState) {
                    guard->write(bytes);
                    guard->flush();
                }
            });
        }
        if (closeAfter) {
            QTimer::singleShot(40 * writes.size() + 20, this, [guard] {
                if (guard)
                    guard->disconnectFromHost();
            });
        }
    }

    QTcpServer m_server;
    quint16 m_port = 0;
    QList<QPointer<QTcpSocket>> m_clients;
    QHash<QTcpSocket *, QByteArray> m_pending;
};

QColor colour(int slot)
{
    return app::colourFromValue(QByteArray(kColours[slot]).toInt());
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

class TestMailCheck : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fullConversation();
    void countReplies_data();
    void countReplies();
    void failedReplies_data();
    void failedReplies();
    void failureAfterEarlierCountShowsNoStaleResult();
    void overlongLine();
    void connectionFailures_data();
    void connectionFailures();
    void incompleteAccountConnectsNowhere_data();
    void incompleteAccountConnectsNowhere();
    void portAndHostAsUsersWriteThem();
    void lineBreakInAccountIsNeverSent_data();
    void lineBreakInAccountIsNeverSent();
    void arrivalsAfterQuitChangeNothing();
    void tlsPortSendsNothingWithoutTrust();
    void checkTickUsesConfiguredPortAndRepeats();
    void beepRuleAcrossChecks();
    void shakeFollowsTheSwitch();
    void shakeReturnsWindowToItsPlace();
    void shakeOncePerEnable();
    void checkNestedInsideBlink();
    void sendersAndSubjects_data();
    void sendersAndSubjects();
    void waitHandlesEventsWithoutSpinning();
    void fedBytesDriveTheConversation();
    void clockLine();
    void nextSecond_data();
    void nextSecond();

private:
    void prepareWindows();
    QString runCheck(FakeServer *server, bool viaTick = false);
    Form1& f1() { return form1(); }

    int m_beeps = 0;
};

void TestMailCheck::init()
{
    qunsetenv("VURK_TEST_CONVERSATION_TIMEOUT_MS");
    qunsetenv("VURK_TEST_TLS_PORT");
    qunsetenv("VURK_TEST_CHECK_INTERVAL_MS");
    QFile::remove(mailcheck::SeenIds::filePath());
    prepareWindows();
}

void TestMailCheck::prepareWindows()
{
    popState.clear();
    m_beeps = 0;
    for (int i = 0; i < 4; ++i)
        form4().Colour[i]->setText(QLatin1String(kColours[i]));
    Module1::connectAlerts([this] { ++m_beeps; });
    f1().Text1->setText(QStringLiteral("127.0.0.1"));
    f1().Text2->setText(QStringLiteral("alice"));
    f1().Text3->setText(QStringLiteral("s3cret"));
    form2().show();
    app::setBackColourText(form2().Label3, QLatin1String(kColours[1]));
}

void TestMailCheck::cleanup()
{
    testsupport::resetProgram();
}

QString TestMailCheck::runCheck(FakeServer *server, bool viaTick)
{
    f1().Text4->setText(QString::number(server->port()));
    QSignalSpy finished(&f1(), &Form1::checkFinished);
    if (viaTick)
        f1().Timer1_Timer();
    else
        f1().startCheck();
    if (!finished.wait(15000))
        return QStringLiteral("(no result)");
    return finished.first().first().toString();
}

void TestMailCheck::fullConversation()
{
    FakeServer server;
    QCOMPARE(runCheck(&server, true), QStringLiteral("2 messages"));
    QCOMPARE(form2().Label1->text(), QStringLiteral("You have 2 e-Mail\r\n"));
    QCOMPARE(popState, QStringLiteral("connectQQQQ"));
    QCOMPARE(f1().mailCount, QStringLiteral("2"));
    // Let the server's goodbye and close come in; nothing more may go out.
    QTRY_COMPARE(server.disconnects, 1);
    QCOMPARE(server.received, QByteArray("user alice\r\npass s3cret\r\nstat\r\nquit\r\n"));
    QCOMPARE(popState, QStringLiteral("connectQQQQ"));
    QCOMPARE(app::backColour(form2().Label3), colour(3));
    QVERIFY(form2().toolTip().endsWith(QStringLiteral(" 2 messages (not encrypted)")));

    // A password beyond ASCII goes out as UTF-8, not as question marks.
    FakeServer utf8;
    f1().Text3->setText(QStringLiteral("pässワ"));
    QCOMPARE(runCheck(&utf8, false), QStringLiteral("2 messages"));
    QVERIFY(utf8.received.startsWith("user alice\r\npass p\xc3\xa4ss\xe3\x83\xaf\r\nstat\r\n"));
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d "))
                .match(form2().toolTip())
                .hasMatch());
}

void TestMailCheck::countReplies_data()
{
    QTest::addColumn<QList<QByteArray>>("stat");
    QTest::addColumn<QString>("result");
    QTest::addColumn<bool>("quitSent");
    using L = QList<QByteArray>;
    QTest::newRow("count and size") << L{"+OK 12 34567\r\n"} << "You have 12 e-Mail\r\n" << true;
    QTest::newRow("no size field") << L{"+OK 3\r\n"} << "You have 3 e-Mail\r\n" << true;
    QTest::newRow("zero") << L{"+OK 0 0\r\n"} << "Not Found e-Mail" << false;
    QTest::newRow("two spaces") << L{"+OK  5 100\r\n"} << "You have 5 e-Mail\r\n" << true;
    QTest::newRow("20 digits, in full")
        << L{"+OK 12345678901234567890 1\r\n"} << "You have 12345678901234567890 e-Mail\r\n"
        << true;
    QTest::newRow("leading zeros") << L{"+OK 0000000000000000001 1\r\n"} << "You have 1 e-Mail\r\n" << true;
    QTest::newRow("split in two writes") << L{"+OK 1", "2 34567\r\n"} << "You have 12 e-Mail\r\n" << true;
    QTest::newRow("split before the line end") << L{"+OK 7 1", "\r", "\n"} << "You have 7 e-Mail\r\n" << true;
}

void TestMailCheck::countReplies()
{
    QFETCH(QList<QByteArray>, stat);
    QFETCH(QString, result);
    QFETCH(bool, quitSent);
    FakeServer server;
    server.replies["stat"] = stat;
    runCheck(&server);
    QCOMPARE(form2().Label1->text(), result);
    if (quitSent) {
        QTRY_COMPARE(server.disconnects, 1);
        QCOMPARE(server.received, QByteArray("user alice\r\npass s3cret\r\nstat\r\nquit\r\n"));
        QCOMPARE(popState, QStringLiteral("connectQQQQ"));
        QCOMPARE(app::backColour(form2().Label3), colour(3));
    } else {
        // The client closes at once, without QUIT.
        QTRY_COMPARE(server.disconnects, 1);
        QCOMPARE(server.received, QByteArray("user alice\r\npass s3cret\r\nstat\r\n"));
        QCOMPARE(popState, QStringLiteral("connect"));
        QCOMPARE(app::backColour(form2().Label3), colour(1));
        QVERIFY(!f1().Winsock1->isOpen());
    }
}

void TestMailCheck::failedReplies_data()
{
    QTest::addColumn<QByteArray>("stage");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("-ERR greeting") << QByteArray("greeting") << QByteArray("-ERR busy\r\n") << "Server error"
                                   << QByteArray();
    QTest::newRow("-ERR to USER") << QByteArray("user") << QByteArray("-ERR no such user\r\n")
                                  << "Login failed" << QByteArray("user alice\r\n");
    QTest::newRow("-ERR to PASS") << QByteArray("pass")
                                  << QByteArray("-ERR [AUTH] Authentication failed.\r\n") << "Login failed"
                                  << QByteArray("user alice\r\npass s3cret\r\n");
    QTest::newRow("-ERR to STAT") << QByteArray("stat") << QByteArray("-ERR mailbox locked\r\n")
                                  << "Server error" << QByteArray("user alice\r\npass s3cret\r\nstat\r\n");
    QTest::newRow("garbage greeting")
        << QByteArray("greeting") << QByteArray("HELLO\r\n") << "Server error" << QByteArray();
    QTest::newRow("glued +OK to USER")
        << QByteArray("user") << QByteArray("+OKAY\r\n") << "Login failed" << QByteArray("user alice\r\n");
    QTest::newRow("garbage to PASS") << QByteArray("pass") << QByteArray("* OK\r\n") << "Login failed"
                                     << QByteArray("user alice\r\npass s3cret\r\n");
    QTest::newRow("garbage to STAT") << QByteArray("stat") << QByteArray("\r\n") << "Server error"
                                     << QByteArray("user alice\r\npass s3cret\r\nstat\r\n");
    const QByteArray all = "user alice\r\npass s3cret\r\nstat\r\n";
    QTest::newRow("STAT without a count")
        << QByteArray("stat") << QByteArray("+OK\r\n") << "Server error" << all;
    QTest::newRow("STAT count a word")
        << QByteArray("stat") << QByteArray("+OK many 300\r\n") << "Server error" << all;
    QTest::newRow("STAT count negative")
        << QByteArray("stat") << QByteArray("+OK -3 0\r\n") << "Server error" << all;
    QTest::newRow("STAT count full-width")
        << QByteArray("stat") << QByteArray("+OK \xef\xbc\x93 300\r\n") << "Server error" << all;
    QTest::newRow("STAT count after a NUL")
        << QByteArray("stat") << QByteArray("+OK \0 3 300\r\n", 13) << "Server error" << all;
    QTest::newRow("replies sent ahead of the commands")
        << QByteArray("greeting") << QByteArray("+OK ready\r\n+OK\r\n+OK\r\n+OK 3 0\r\n") << "Server error"
        << QByteArray();
    QTest::newRow("count sent ahead of STAT")
        << QByteArray("pass") << QByteArray("+OK in\r\n+OK 7 70\r\n") << "Server error"
        << QByteArray("user alice\r\npass s3cret\r\n");
    QTest::newRow("mailbox in use") << QByteArray("pass") << QByteArray("-ERR [IN-USE] locked elsewhere\r\n")
                                    << "Server busy" << QByteArray("user alice\r\npass s3cret\r\n");
    QTest::newRow("login delay on USER") << QByteArray("user") << QByteArray("-ERR [LOGIN-DELAY] wait\r\n")
                                         << "Server busy" << QByteArray("user alice\r\n");
}

void TestMailCheck::failedReplies()
{
    QFETCH(QByteArray, stage);
    QFETCH(QByteArray, reply);
    QFETCH(QString, result);
    QFETCH(QByteArray, sent);
    FakeServer server;
    if (stage == "greeting")
        server.greeting = {reply};
    else
        server.replies[stage] = {reply};
    QCOMPARE(runCheck(&server), result);
    QCOMPARE(form2().Label1->text(), result);
    QCOMPARE(popState, QStringLiteral("connect"));
    QVERIFY(!f1().Winsock1->isOpen());
    QTRY_COMPARE(server.disconnects, 1);
    QCOMPARE(server.received, sent);
    QCOMPARE(app::backColour(form2().Label3), colour(1));
    QVERIFY(form2().toolTip().contains(result));
}

// A wrong password after a check that found 4 messages: the old count is not shown again, and no
// alert runs.
void TestMailCheck::failureAfterEarlierCountShowsNoStaleResult()
{
    form3().checkbeep->setChecked(true);
    form3().shindou->setChecked(true);
    FakeServer good;
    good.replies["stat"] = {"+OK 4 400\r\n"};
    QCOMPARE(runCheck(&good), QStringLiteral("4 messages"));
    QCOMPARE(m_beeps, 1);
    QTRY_VERIFY(!f1().Timer2->isEnabled());

    FakeServer bad;
    bad.replies["pass"] = {"-ERR [AUTH] Authentication failed.\r\n"};
    QSignalSpy shakes(&f1(), &Form1::shakeFinished);
    QCOMPARE(runCheck(&bad), QStringLiteral("Login failed"));
    QCOMPARE(form2().Label1->text(), QStringLiteral("Login failed"));
    QCOMPARE(app::backColour(form2().Label3), colour(1));
    QCOMPARE(m_beeps, 1);
    QVERIFY(!f1().Timer2->isEnabled());
    QCOMPARE(shakes.count(), 0);
    QCOMPARE(f1().lastCount, QStringLiteral("4"));
    QVERIFY(form2().toolTip().contains(QStringLiteral("Login failed: -ERR [AUTH] Authentication failed.")));
    QCOMPARE(bad.received, QByteArray("user alice\r\npass s3cret\r\n"));
}

void TestMailCheck::overlongLine()
{
    FakeServer server;
    // Far more than a line may hold, with no end: the client must give up, not buffer it all.
    server.greeting = {QByteArray(3000, 'x'), QByteArray(3000, 'y'), QByteArray(200000, 'z')};
    QCOMPARE(runCheck(&server), QStringLiteral("Server error"));
    QCOMPARE(form2().Label1->text(), QStringLiteral("Server error"));
    QVERIFY(!f1().Winsock1->isOpen());
    QTRY_COMPARE(server.disconnects, 1);
    QVERIFY(server.received.isEmpty());
}

void TestMailCheck::connectionFailures_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("refused") << "refused";
    QTest::newRow("dropped after the greeting") << "dropped";
    QTest::newRow("silent server") << "silent";
    QTest::newRow("stalls after USER") << "stalls";
}

void TestMailCheck::connectionFailures()
{
    QFETCH(QString, kind);
    qputenv("VURK_TEST_CONVERSATION_TIMEOUT_MS", "400");
    form2().Label1->setText(QStringLiteral("You have 9 e-Mail\r\n"));
    FakeServer server;
    if (kind == QLatin1String("refused"))
        server.stopListening();
    else if (kind == QLatin1String("dropped"))
        server.hangUpOn = "user";
    else if (kind == QLatin1String("silent"))
        server.greeting = {};
    else
        server.replies["user"] = {};
    QCOMPARE(runCheck(&server), QStringLiteral("Connection failed"));
    QCOMPARE(form2().Label1->text(), QStringLiteral("Connection failed"));
    QCOMPARE(app::backColour(form2().Label3), colour(1));
    QCOMPARE(popState, QStringLiteral("connect"));
    QVERIFY(!f1().Winsock1->isOpen());
    QVERIFY(form2().toolTip().contains(QStringLiteral("Connection failed: ")));
}

void TestMailCheck::incompleteAccountConnectsNowhere_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("why");
    QTest::newRow("no server") << "Text1"
                               << ""
                               << "the server is empty";
    QTest::newRow("no account name") << "Text2"
                                     << ""
                                     << "the account name is empty";
    QTest::newRow("no password") << "Text3"
                                 << ""
                                 << "the password is empty";
    QTest::newRow("no port") << "Text4"
                             << ""
                             << "the port is empty";
    QTest::newRow("port in letters") << "Text4"
                                     << "pop3s"
                                     << "the port \"pop3s\" is not a number";
    QTest::newRow("port zero") << "Text4"
                               << "0"
                               << "the port \"0\" is not a number";
    QTest::newRow("port too high") << "Text4"
                                   << "99500"
                                   << "the port \"99500\" is not a number";
}

void TestMailCheck::incompleteAccountConnectsNowhere()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, why);
    FakeServer server;
    f1().Text4->setText(QString::number(server.port()));
    f1().findChild<TextBox *>(field)->setText(text);
    form2().Label1->setText(QStringLiteral("You have 9 e-Mail\r\n"));
    QSignalSpy finished(&f1(), &Form1::checkFinished);
    f1().Timer1_Timer();
    f1().startCheck();
    QVERIFY(!f1().Winsock1->isOpen());
    QVERIFY(!finished.wait(300));
    QCOMPARE(server.connections, 0);
    QCOMPARE(form2().Label1->text(), QStringLiteral("Please check a account"));
    QVERIFY2(form2().toolTip().contains(why), qPrintable(form2().toolTip()));
    QCOMPARE(popState, QStringLiteral("connect"));
}

// What a Japanese input method types, and an address written as in a URL, reach the server.
void TestMailCheck::portAndHostAsUsersWriteThem()
{
    FakeServer server;
    QString fullWidth;
    for (const QChar digit : QString::number(server.port()))
        fullWidth += QChar(digit.unicode() - u'0' + 0xFF10);
    f1().Text4->setText(QStringLiteral("\u3000") + fullWidth + QLatin1Char(' '));
    QSignalSpy finished(&f1(), &Form1::checkFinished);
    f1().startCheck();
    QVERIFY(finished.wait(15000));
    QCOMPARE(finished.first().first().toString(), QStringLiteral("2 messages"));

    FakeServer v6(QHostAddress::LocalHostIPv6);
    if (!v6.listening())
        QSKIP("no IPv6 loopback here");
    f1().Text1->setText(QStringLiteral("[::1]"));
    QCOMPARE(runCheck(&v6), QStringLiteral("2 messages"));
    QVERIFY(v6.received.startsWith("user alice\r\n"));
}

void TestMailCheck::lineBreakInAccountIsNeverSent_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("CR LF in the password") << "alice"
                                           << "pw\r\ndele 1";
    QTest::newRow("LF in the password") << "alice"
                                        << "pw\ndele 1";
    QTest::newRow("CR in the account name") << "alice\rdele 1"
                                            << "pw";
}

void TestMailCheck::lineBreakInAccountIsNeverSent()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    FakeServer server;
    f1().Text2->setText(user);
    f1().Text3->setText(password);
    QCOMPARE(runCheck(&server), QStringLiteral("Login failed"));
    QCOMPARE(form2().Label1->text(), QStringLiteral("Login failed"));
    QTRY_COMPARE(server.disconnects, 1);
    QCOMPARE(server.received, QByteArray());
}

void TestMailCheck::arrivalsAfterQuitChangeNothing()
{
    FakeServer server;
    server.replies["quit"] = {"-ERR odd goodbye\r\n", "garbage\r\n", QByteArray(9000, 'q')};
    QCOMPARE(runCheck(&server), QStringLiteral("2 messages"));
    QTRY_VERIFY(!f1().Winsock1->isOpen());
    QCOMPARE(form2().Label1->text(), QStringLiteral("You have 2 e-Mail\r\n"));
    QCOMPARE(popState, QStringLiteral("connectQQQQ"));
    QCOMPARE(app::backColour(form2().Label3), colour(3));
    QCOMPARE(server.received, QByteArray("user alice\r\npass s3cret\r\nstat\r\nquit\r\n"));
}

// The TLS port rule aimed at a plain server: the handshake fails and not one command goes out.
void TestMailCheck::tlsPortSendsNothingWithoutTrust()
{
    FakeServer server;
    f1().setSecurity(mailcheck::Security::Ssl);
    QCOMPARE(runCheck(&server), QStringLiteral("Connection failed"));
    QVERIFY(!server.received.contains("user"));
    QVERIFY(!server.received.contains("s3cret"));
    QCOMPARE(form2().Label1->text(), QStringLiteral("Connection failed"));
}

void TestMailCheck::checkTickUsesConfiguredPortAndRepeats()
{
    QCOMPARE(app::seams::checkIntervalMs(), 60000);
    QCOMPARE(f1().Timer1->interval(), 60000);
    QVERIFY(f1().Timer1->isRunning());
    unloadAllWindows();

    qputenv("VURK_TEST_CHECK_INTERVAL_MS", "300");
    prepareWindows();
    QCOMPARE(f1().Timer1->interval(), 300);
    FakeServer server;
    server.replies["stat"] = {"+OK 0 0\r\n"};
    f1().Text4->setText(QString::number(server.port()));
    // Ticks alone, at the port of the field, one after another.
    QTRY_VERIFY_WITH_TIMEOUT(server.connections >= 2, 10000);
    f1().Timer1->setInterval(0);
    QVERIFY(server.received.startsWith("user alice\r\npass s3cret\r\nstat\r\n"));
}

void TestMailCheck::beepRuleAcrossChecks()
{
    form3().checkbeep->setChecked(true);
    const struct {
        const char *stat;
        bool beepOn;
        int beeps;
        const char *lastCount;
    } steps[] = {
        {"+OK 2 10\r\n", true, 1, "2"},  {"+OK 2 10\r\n", true, 1, "2"}, {"+OK 3 10\r\n", true, 2, "3"},
        {"+OK 5 10\r\n", false, 2, "3"}, {"+OK 0 0\r\n", true, 2, "0"},  {"+OK 3 10\r\n", true, 3, "3"},
    };
    for (const auto& step : steps) {
        form3().checkbeep->setChecked(step.beepOn);
        FakeServer server;
        server.replies["stat"] = {step.stat};
        runCheck(&server);
        QCOMPARE(m_beeps, step.beeps);
        QCOMPARE(f1().lastCount, QLatin1String(step.lastCount));
    }
}

void TestMailCheck::shakeFollowsTheSwitch()
{
    // Off: a pending shake is cancelled by the next result with mail.
    f1().Timer2->setEnabled(true);
    f1().Timer2->setInterval(0); // keep it from firing before the check ends
    FakeServer first;
    runCheck(&first);
    QVERIFY(!f1().Timer2->isEnabled());
    f1().Timer2->setInterval(1);

    // On: the shake runs during the blink and the window ends where it was.
    form3().shindou->setChecked(true);
    form2().moveToPixels(QPoint(300, 200));
    QSignalSpy shakes(&f1(), &Form1::shakeFinished);
    FakeServer second;
    runCheck(&second);
    QTRY_COMPARE(shakes.count(), 1);
    QCOMPARE(form2().pixelPosition(), QPoint(300, 200));
    QVERIFY(!f1().Timer2->isEnabled());
}

void TestMailCheck::shakeReturnsWindowToItsPlace()
{
    form3().shindou->setChecked(true);
    form3().mnufont->setChecked(false);
    form2().setTopmost(false);
    form2().moveToPixels(QPoint(401, 233));
    QSet<QPoint> seen;
    QTimer sample;
    connect(&sample, &QTimer::timeout, this, [&seen] { seen.insert(form2().pixelPosition()); });
    sample.start(3);
    f1().Timer2->setEnabled(true);
    QSignalSpy shakes(&f1(), &Form1::shakeFinished);
    f1().Timer2_Timer();
    sample.stop();
    QCOMPARE(shakes.count(), 1);
    QCOMPARE(form2().pixelPosition(), QPoint(401, 233));
    QVERIFY(!f1().Timer2->isEnabled());
    // Above the other windows afterwards, although the always-on-top switch stays off.
    QVERIFY(form2().isTopmost());
    QVERIFY(!form3().mnufont->isChecked());
    // It did move, and only by a few pixels at a time around its place.
    QVERIFY(seen.size() > 5);
    for (const QPoint& p : std::as_const(seen))
        QVERIFY2((p - QPoint(401, 233)).manhattanLength() < 200,
                 qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));

    // Off: the tick only disables the timer.
    form3().shindou->setChecked(false);
    f1().Timer2->setEnabled(true);
    f1().Timer2_Timer();
    QCOMPARE(shakes.count(), 1);
    QVERIFY(!f1().Timer2->isEnabled());
}

void TestMailCheck::shakeOncePerEnable()
{
    form3().shindou->setChecked(true);
    form2().moveToPixels(QPoint(100, 100));
    QSignalSpy shakes(&f1(), &Form1::shakeFinished);

    // Entered again through the pump without a new enable: still one shake.
    QTimer::singleShot(100, this, [this] { f1().Timer2_Timer(); });
    f1().Timer2->setEnabled(true);
    QTRY_COMPARE(shakes.count(), 1);
    QTest::qWait(100);
    QCOMPARE(shakes.count(), 1);

    // Enabled again while shaking: exactly one more shake follows.
    QTimer::singleShot(100, this, [this] { f1().Timer2->setEnabled(true); });
    f1().Timer2->setEnabled(true);
    QTRY_COMPARE_WITH_TIMEOUT(shakes.count(), 3, 10000);
    QTest::qWait(100);
    QCOMPARE(shakes.count(), 3);
    QCOMPARE(form2().pixelPosition(), QPoint(100, 100));
    QVERIFY(!f1().Timer2->isEnabled());
}

// A check tick that comes during the blink starts a fresh conversation at once, nested inside.
void TestMailCheck::checkNestedInsideBlink()
{
    FakeServer server;
    server.replies["stat"] = {"+OK 1 10\r\n"};
    f1().Text4->setText(QString::number(server.port()));
    QSignalSpy finished(&f1(), &Form1::checkFinished);
    bool nested = false;
    QTimer::singleShot(0, this, [this] { f1().startCheck(); });
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [this, &nested, &tick] {
        if (popState == QLatin1String("connectQQQQ") && !nested) {
            nested = true;
            tick.stop();
            f1().Timer1_Timer();
        }
    });
    tick.start(20);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 15000);
    QVERIFY(nested);
    QCOMPARE(server.connections, 2);
    QCOMPARE(form2().Label1->text(), QStringLiteral("You have 1 e-Mail\r\n"));
    QCOMPARE(server.received, QByteArray("user alice\r\npass s3cret\r\nstat\r\nquit\r\n").repeated(2));
}

// With the switch on, the count shows as ever and the new messages' senders and subjects follow in the
// tooltip; whatever the server does with UIDL and TOP, QUIT or the time limit ends the conversation.
void TestMailCheck::sendersAndSubjects_data()
{
    QTest::addColumn<QList<QByteArray>>("uidl");
    QTest::addColumn<QList<QByteArray>>("top");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("announced");
    using L = QList<QByteArray>;
    const QByteArray login = "user alice\r\npass s3cret\r\nstat\r\n";
    const L list{"+OK\r\n1 a\r\n2 b\r\n.\r\n"};
    const L header{"+OK\r\nFrom: =?UTF-8?B?5bGx55SwIOWkqumDjg==?= <taro@example.jp>\r\n"
                   "Subject: =?UTF-8?B?5Lya6K2w44Gu5Lu2?=\r\n.\r\n"};
    QTest::newRow("decoded, newest first")
        << list << header << login + "uidl\r\ntop 2 0\r\ntop 1 0\r\nquit\r\n"
        << QStringLiteral("山田 太郎 — 会議の件") << 1;
    QTest::newRow("no UIDL") << L{"-ERR unknown command\r\n"} << header << login + "uidl\r\nquit\r\n"
                             << QStringLiteral("headers not read: the server has no UIDL") << 0;
    QTest::newRow("TOP without its dot")
        << list << L{"+OK\r\nSubject: cut short\r\n"} << login + "uidl\r\ntop 2 0\r\n"
        << QStringLiteral("(差出人なし) — cut short") << 1;
    QTest::newRow("a header line past the framing")
        << list << L{"+OK\r\nSubject: " + QByteArray(8000, 'x') + "\r\n.\r\n"}
        << login + "uidl\r\ntop 2 0\r\n"
        << QStringLiteral("headers not read: reply line too long") << 0;
}

void TestMailCheck::sendersAndSubjects()
{
    QFETCH(QList<QByteArray>, uidl);
    QFETCH(QList<QByteArray>, top);
    QFETCH(QByteArray, sent);
    QFETCH(QString, shown);
    QFETCH(int, announced);
    // The replies behind the count are read once the blink is over: the bound must outlast it.
    qputenv("VURK_TEST_CONVERSATION_TIMEOUT_MS", "4000");
    form3().checkpreview->setChecked(true);
    FakeServer server;
    server.replies["uidl"] = uidl;
    server.replies["top"] = top;
    QSignalSpy lines(&f1(), &Form1::newMessages);
    QCOMPARE(runCheck(&server), QStringLiteral("2 messages"));
    QCOMPARE(form2().Label1->text(), QStringLiteral("You have 2 e-Mail\r\n"));
    QTRY_VERIFY2_WITH_TIMEOUT(form2().toolTip().contains(shown), qPrintable(form2().toolTip()), 8000);
    QTRY_COMPARE_WITH_TIMEOUT(server.received, sent, 5000);
    QCOMPARE(lines.count(), announced);

    // The next check knows the ids: nothing is read or announced again.
    if (announced == 0 || sent.endsWith("top 2 0\r\n"))
        return;
    server.received.clear();
    QCOMPARE(runCheck(&server), QStringLiteral("2 messages"));
    QTRY_COMPARE_WITH_TIMEOUT(server.received,
                              QByteArray("user alice\r\npass s3cret\r\nstat\r\nuidl\r\nquit\r\n"), 5000);
    QCOMPARE(lines.count(), 1);
    QVERIFY(form2().toolTip().contains(shown));
}

void TestMailCheck::waitHandlesEventsWithoutSpinning()
{
    bool fired = false;
    QTimer::singleShot(50, this, [&fired] { fired = true; });
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuSeconds();
    f1().WaitSeconds(0.5);
    const double cpu = cpuSeconds() - cpuBefore;
    QVERIFY(wall.elapsed() >= 500);
    QVERIFY(fired);
    // A spinning wait burns the whole half second.
    QVERIFY2(cpu < 0.15, qPrintable(QString::number(cpu)));
}

// The fuzzing seam: bytes fed in without a network run the same framing and replies.
void TestMailCheck::fedBytesDriveTheConversation()
{
    popState = QStringLiteral("connect");
    Winsock *socket = f1().Winsock1;
    socket->feedForTest("+OK hel");
    QCOMPARE(popState, QStringLiteral("connect"));
    socket->feedForTest("lo\r\n");
    socket->feedForTest("+OK\r\n");
    QCOMPARE(popState, QStringLiteral("stat"));
    QCOMPARE(f1().recvData, QStringLiteral("+OK\r\n"));
    QCOMPARE(f1().replyHead, QStringLiteral("+OK\r"));
    socket->feedForTest("+OK\n");
    QCOMPARE(popState, QStringLiteral("allOK"));
    socket->feedForTest("+OK 0 0\r\n");
    QCOMPARE(popState, QStringLiteral("connect"));
    QCOMPARE(form2().Label1->text(), QStringLiteral("Not Found e-Mail"));

    popState = QStringLiteral("connect");
    socket->feedForTest(QByteArray(5000, '+'));
    QCOMPARE(form2().Label1->text(), QStringLiteral("Server error"));
}

void TestMailCheck::clockLine()
{
    f1().Timer3_Timer();
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d$"))
                .match(form2().Label2->text())
                .hasMatch());
    QCOMPARE(f1().Timer3->interval(), 1000);
    QVERIFY(f1().Timer3->isRunning());
    f1().Timer3->setInterval(0);
    QVERIFY(!f1().Timer3->isRunning());
    QVERIFY(f1().Timer3->isEnabled());
    f1().Timer3->setInterval(1000);
    QVERIFY(f1().Timer3->isRunning());
    // Ticks come on their own, the line following the wall clock.
    form2().Label2->clear();
    QTRY_VERIFY_WITH_TIMEOUT(!form2().Label2->text().isEmpty(), 3000);
}

void TestMailCheck::nextSecond_data()
{
    QTest::addColumn<int>("msOfSecond");
    QTest::addColumn<int>("delay");
    QTest::newRow("at the boundary") << 0 << 1002;
    QTest::newRow("just after a tick") << 2 << 1000;
    QTest::newRow("mid second") << 500 << 502;
    QTest::newRow("woken early") << 999 << 3;
}

void TestMailCheck::nextSecond()
{
    QFETCH(int, msOfSecond);
    QFETCH(int, delay);
    QCOMPARE(app::msUntilNextSecond(msOfSecond), delay);
    // The tick lands in the next second, a few milliseconds in: the shown second is never stale.
    const int landsAt = msOfSecond + delay;
    QVERIFY(landsAt > 1000 && landsAt % 1000 < 10);
}

QTEST_MAIN(TestMailCheck)
#include "tst_mailcheck.moc"
