#include "mailcheck/conversation.h"

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
        return step.result + QStringLiteral(": ") + step.detail;
    case Step::Kind::CountRead:
        return QStringLiteral("count ") + step.count + QStringLiteral(" -> ") + step.state;
    }
    return {};
}

} // namespace

class TestConversation : public QObject {
    Q_OBJECT

private slots:
    void steps_data();
    void steps();
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
    row("-ERR to USER", "pass", "-ERR no such user\r\n", "Login failed: -ERR no such user\r\n");
    row("-ERR to PASS", "stat", "-ERR [AUTH] no\r\n", "Login failed: -ERR [AUTH] no\r\n");
    row("-ERR to STAT", "allOK", "-ERR locked\r\n", "Server error: -ERR locked\r\n");
    row("garbage greeting", "connect", "HELLO\r\n", "Server error: HELLO\r\n");
    row("glued +OK to USER", "pass", "+OKAY\r\n", "Login failed: +OKAY\r\n");
    row("reply before start-up", "", "+OK\r\n", "Server error: +OK\r\n");

    // Passing refusals.
    row("in use on PASS", "stat", "-ERR [IN-USE] x\r\n", "Server busy: -ERR [IN-USE] x\r\n");
    row("login delay on USER", "pass", "-ERR [LOGIN-DELAY] x\r\n", "Server busy: -ERR [LOGIN-DELAY] x\r\n");
    row("temporary fault on PASS", "stat", "-ERR [SYS/TEMP] x\r\n", "Server busy: -ERR [SYS/TEMP] x\r\n");
    row("temporary fault on USER", "pass", "-ERR [SYS/TEMP] x\r\n", "Server busy: -ERR [SYS/TEMP] x\r\n");
    row("permanent fault on PASS", "stat", "-ERR [SYS/PERM] x\r\n", "Login failed: -ERR [SYS/PERM] x\r\n");
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
    const mailcheck::Conversation conversation({name, password});
    QCOMPARE(described(conversation.next(state, reply, unreadWaiting)), step);
}

QTEST_GUILESS_MAIN(TestConversation)
#include "tst_conversation.moc"
