#include "mailcheck/pop3.h"

#include <QTest>

using namespace mailcheck;

class TestPop3 : public QObject {
    Q_OBJECT

private slots:
    void replyKinds_data();
    void replyKinds();
    void statCount_data();
    void statCount();
    void busyReply_data();
    void busyReply();
    void port_data();
    void port();
    void host_data();
    void host();
    void lineFraming_data();
    void lineFraming();
    void framingDoesNotDependOnChunks();
    void overlongLine_data();
    void overlongLine();
};

void TestPop3::replyKinds_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("success");
    QTest::addColumn<bool>("error");
    QTest::newRow("ok space") << "+OK 3 100\r\n" << true << false;
    QTest::newRow("bare ok crlf") << "+OK\r\n" << true << false;
    QTest::newRow("bare ok lf") << "+OK\n" << true << false;
    QTest::newRow("bare ok, no end") << "+OK" << true << false;
    QTest::newRow("ok glued") << "+OKAY\r\n" << false << false;
    QTest::newRow("ok lower") << "+ok 1\r\n" << false << false;
    QTest::newRow("ok tab") << "+OK\t1\r\n" << false << false;
    QTest::newRow("err") << "-ERR [AUTH] Authentication failed.\r\n" << false << true;
    QTest::newRow("err bare") << "-ERR" << false << true;
    QTest::newRow("garbage") << "HELLO\r\n" << false << false;
    QTest::newRow("empty") << "" << false << false;
    QTest::newRow("leading space") << " +OK\r\n" << false << false;
}

void TestPop3::replyKinds()
{
    QFETCH(QString, reply);
    QFETCH(bool, success);
    QFETCH(bool, error);
    QCOMPARE(isSuccessReply(reply), success);
    QCOMPARE(isErrorReply(reply), error);
}

void TestPop3::statCount_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("count"); // empty: the reply holds no count
    QTest::newRow("count and size") << "+OK 12 34567\r\n"
                                    << "12";
    QTest::newRow("no size field") << "+OK 3\r\n"
                                   << "3";
    QTest::newRow("zero") << "+OK 0 0\r\n"
                          << "0";
    QTest::newRow("two spaces") << "+OK  5 100\r\n"
                                << "5";
    QTest::newRow("tab separated") << "+OK 4\t100\r\n"
                                   << "4";
    QTest::newRow("20 digits") << "+OK 12345678901234567890 9\r\n"
                               << "12345678901234567890";
    QTest::newRow("leading zeros") << "+OK 0000000000000000001 1\r\n"
                                   << "1";
    QTest::newRow("only zeros") << "+OK 000 0\r\n"
                                << "0";
    QTest::newRow("bare ok") << "+OK\r\n"
                             << "";
    QTest::newRow("bare ok, blanks") << "+OK   \r\n"
                                     << "";
    QTest::newRow("word") << "+OK many 300\r\n"
                          << "";
    QTest::newRow("negative") << "+OK -3 0\r\n"
                              << "";
    QTest::newRow("digits then letters") << "+OK 4x 1\r\n"
                                         << "";
    QTest::newRow("full-width digit") << "+OK \uff13 300\r\n"
                                      << "";
    QTest::newRow("NUL before the digits") << QString::fromLatin1("+OK \0 3 300\r\n", 13) << "";
    QTest::newRow("glued to +OK") << "+OK3 300\r\n"
                                  << "";
    QTest::newRow("not +OK") << "* 3 300\r\n"
                             << "";
    QTest::newRow("shorter than the head") << "+O"
                                           << "";
}

void TestPop3::statCount()
{
    QFETCH(QString, reply);
    QFETCH(QString, count);
    QCOMPARE(mailcheck::statCount(reply).value_or(QString()), count);
}

void TestPop3::busyReply_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("busy");
    QTest::newRow("in use") << "-ERR [IN-USE] Mailbox is locked by another session\r\n" << true;
    QTest::newRow("login delay") << "-ERR [LOGIN-DELAY] Logins too close together\r\n" << true;
    QTest::newRow("lower case") << "-ERR [login-delay] wait\r\n" << true;
    QTest::newRow("with a sub-level") << "-ERR [IN-USE/SESSION] busy\r\n" << true;
    QTest::newRow("temporary system fault") << "-ERR [SYS/TEMP] try again later\r\n" << true;
    QTest::newRow("permanent system fault") << "-ERR [SYS/PERM] mailbox damaged\r\n" << false;
    QTest::newRow("auth") << "-ERR [AUTH] Authentication failed.\r\n" << false;
    QTest::newRow("no code") << "-ERR invalid password\r\n" << false;
    QTest::newRow("code later in the text") << "-ERR wrong password [IN-USE]\r\n" << false;
    QTest::newRow("longer code") << "-ERR [IN-USER] x\r\n" << false;
    QTest::newRow("success") << "+OK [IN-USE]\r\n" << false;
}

void TestPop3::busyReply()
{
    QFETCH(QString, reply);
    QFETCH(bool, busy);
    QCOMPARE(mailcheck::isBusyReply(reply), busy);
}

void TestPop3::port_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port"); // 0: no port can be read
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("110") << "110" << 110;
    QTest::newRow("995") << "995" << 995;
    QTest::newRow("blanks around") << " 1100 " << 1100;
    QTest::newRow("lowest") << "1" << 1;
    QTest::newRow("highest") << "65535" << 65535;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("too high") << "65536" << 0;
    QTest::newRow("huge") << "99999999999999999999" << 0;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("negative") << "-995" << 0;
    QTest::newRow("fraction") << "99.5" << 0;
    QTest::newRow("digits and letters") << "995x" << 0;
    QTest::newRow("full-width") << "９９５" << 995;
    QTest::newRow("full-width, leading zero") << "０９９５" << 995;
    QTest::newRow("ideographic blanks around") << "\u3000995\u3000" << 995;
    QTest::newRow("blanks only") << "   " << 0;
    QTest::newRow("Arabic-Indic digits") << "\u0669\u0669\u0665" << 0;
    QTest::newRow("superscript digits") << "\u00b9\u00b9\u2070" << 110;
}

void TestPop3::port()
{
    QFETCH(QString, text);
    QFETCH(int, port);
    QCOMPARE(portFromText(text).value_or(0), port);
}

void TestPop3::host_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("host");
    QTest::newRow("name") << "pop.example.test"
                          << "pop.example.test";
    QTest::newRow("IPv4") << "127.0.0.1"
                          << "127.0.0.1";
    QTest::newRow("IPv6") << "::1"
                          << "::1";
    QTest::newRow("bracketed IPv6") << "[::1]"
                                    << "::1";
    QTest::newRow("bracketed full IPv6") << "[2001:db8::25]"
                                         << "2001:db8::25";
    QTest::newRow("empty brackets") << "[]"
                                    << "[]";
    QTest::newRow("bracketed name") << "[pop]"
                                    << "[pop]";
    QTest::newRow("one bracket") << "[::1"
                                 << "[::1";
}

void TestPop3::host()
{
    QFETCH(QString, text);
    QFETCH(QString, host);
    QCOMPARE(hostFromText(text), host);
}

void TestPop3::lineFraming_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<qsizetype>("pending");
    using L = QList<QByteArray>;
    QTest::newRow("one line") << L{"+OK 3 100\r\n"} << L{"+OK 3 100\r\n"} << qsizetype(0);
    QTest::newRow("split reply") << L{"+OK 1", "2 34567\r\n"} << L{"+OK 12 34567\r\n"} << qsizetype(0);
    QTest::newRow("split inside crlf") << L{"+OK\r", "\n"} << L{"+OK\r\n"} << qsizetype(0);
    QTest::newRow("two lines at once")
        << L{"+OK a\r\n+OK b\r\n"} << L{"+OK a\r\n", "+OK b\r\n"} << qsizetype(0);
    QTest::newRow("bare lf") << L{"+OK\n-ERR\n"} << L{"+OK\n", "-ERR\n"} << qsizetype(0);
    QTest::newRow("lone cr is no end") << L{"+OK\rmore"} << L{} << qsizetype(8);
    QTest::newRow("unfinished tail") << L{"+OK\r\n+O"} << L{"+OK\r\n"} << qsizetype(2);
    QTest::newRow("nul bytes kept") << L{QByteArray("+OK \0 1\r\n", 9)} << L{QByteArray("+OK \0 1\r\n", 9)}
                                    << qsizetype(0);
    QTest::newRow("empty chunk") << L{"", "+OK\r\n", ""} << L{"+OK\r\n"} << qsizetype(0);
}

void TestPop3::lineFraming()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(qsizetype, pending);
    LineFramer framer;
    for (const QByteArray& chunk : chunks)
        QVERIFY(framer.append(chunk));
    QList<QByteArray> got;
    while (framer.hasLine())
        got << framer.takeLine();
    QCOMPARE(got, lines);
    QCOMPARE(framer.pendingBytes(), pending);
}

// The same bytes give the same lines however the network happens to cut them.
void TestPop3::framingDoesNotDependOnChunks()
{
    const QByteArray stream = "+OK Dovecot ready.\r\n+OK\r\n+OK Logged in.\r\n+OK 3 510\r\n+OK bye\r\n";
    QList<QByteArray> whole;
    {
        LineFramer framer;
        QVERIFY(framer.append(stream));
        while (framer.hasLine())
            whole << framer.takeLine();
    }
    QCOMPARE(whole.size(), 5);
    for (qsizetype cut = 1; cut <= stream.size(); ++cut) {
        LineFramer framer;
        QList<QByteArray> got;
        for (qsizetype at = 0; at < stream.size(); at += cut) {
            QVERIFY(framer.append(stream.mid(at, cut)));
            while (framer.hasLine())
                got << framer.takeLine();
        }
        QCOMPARE(got, whole);
    }
}

void TestPop3::overlongLine_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<int>("linesBefore");
    using L = QList<QByteArray>;
    const QByteArray limit(LineFramer::kMaxLine, 'x');
    QTest::newRow("at the limit, then lf") << L{limit + "\n"} << true << 1;
    QTest::newRow("at the limit in pieces") << L{limit.left(100), limit.mid(100), "\n"} << true << 1;
    QTest::newRow("cr counts") << L{limit + "\r\n"} << false << 0;
    QTest::newRow("one byte over, lf follows") << L{limit + "x\n"} << false << 0;
    QTest::newRow("endless line") << L{limit, "x"} << false << 0;
    QTest::newRow("good line first") << L{"+OK\r\n" + limit + "y"} << false << 1;
}

void TestPop3::overlongLine()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(bool, fits);
    QFETCH(int, linesBefore);
    LineFramer framer;
    bool ok = true;
    for (const QByteArray& chunk : chunks)
        ok = framer.append(chunk) && ok;
    QCOMPARE(ok, fits);
    QCOMPARE(framer.overflowed(), !fits);
    int lines = 0;
    while (framer.hasLine()) {
        QVERIFY(framer.takeLine().size() <= LineFramer::kMaxLine + 1);
        ++lines;
    }
    QCOMPARE(lines, linesBefore);
    if (!fits) {
        // Nothing more is kept, whatever keeps coming.
        QVERIFY(!framer.append(QByteArray(100000, 'z') + "\n"));
        QVERIFY(!framer.hasLine());
        QCOMPARE(framer.pendingBytes(), 0);
        framer.clear();
        QVERIFY(framer.append("+OK\r\n"));
        QVERIFY(framer.hasLine());
    }
}

QTEST_GUILESS_MAIN(TestPop3)
#include "tst_pop3.moc"
