#include "mailcheck/uidl.h"

#include <QtTest>

using mailcheck::UidlEntry;
Q_DECLARE_METATYPE(mailcheck::UidlEntry)

// Which messages are new, by their UIDL ids, and the TOP replies that bring their headers.
class TestUidl : public QObject {
    Q_OBJECT
private slots:
    void parseLine_data();
    void parseLine();
    void listing_data();
    void listing();
    void newMessages_data();
    void newMessages();
    void topReply_data();
    void topReply();
};

void TestUidl::parseLine_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("number"); // 0: rejected
    QTest::addColumn<QByteArray>("uid");
    QTest::newRow("dovecot") << QByteArray("1 000000015a5b3c4d\r\n") << 1 << QByteArray("000000015a5b3c4d");
    QTest::newRow("no line end") << QByteArray("12 UID12-x") << 12 << QByteArray("UID12-x");
    QTest::newRow("70 characters") << "3 " + QByteArray(70, '~') << 3 << QByteArray(70, '~');
    QTest::newRow("71 characters") << "3 " + QByteArray(71, 'a') << 0 << QByteArray();
    QTest::newRow("empty uid") << QByteArray("3 \r\n") << 0 << QByteArray();
    QTest::newRow("blank in uid") << QByteArray("3 a b") << 0 << QByteArray();
    QTest::newRow("control in uid") << QByteArray("3 a\x01") << 0 << QByteArray();
    QTest::newRow("8-bit uid") << QByteArray("3 \xe6\x97\xa5") << 0 << QByteArray();
    QTest::newRow("zero") << QByteArray("0 a") << 0 << QByteArray();
    QTest::newRow("leading zero") << QByteArray("01 a") << 0 << QByteArray();
    QTest::newRow("sign") << QByteArray("+1 a") << 0 << QByteArray();
    QTest::newRow("ten digits") << QByteArray("1234567890 a") << 0 << QByteArray();
    QTest::newRow("no uid") << QByteArray("5") << 0 << QByteArray();
    QTest::newRow("two blanks") << QByteArray("5  a") << 0 << QByteArray();
}

void TestUidl::parseLine()
{
    QFETCH(QByteArray, line);
    QFETCH(int, number);
    QFETCH(QByteArray, uid);
    const std::optional<UidlEntry> entry = mailcheck::parseUidlLine(line);
    QCOMPARE(entry.has_value(), number != 0);
    if (entry)
        QCOMPARE(*entry, (UidlEntry{number, uid}));
}

void TestUidl::listing_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QList<UidlEntry>>("entries");
    QTest::addColumn<int>("dropped");
    QTest::addColumn<bool>("done");
    QTest::newRow("whole") << 2 << QList<QByteArray>{"1 a\r\n", "2 b\r\n", ".\r\n"}
                           << QList<UidlEntry>{{1, "a"}, {2, "b"}} << 0 << true;
    QTest::newRow("after the end") << 2 << QList<QByteArray>{"1 a", ".", "2 b"} << QList<UidlEntry>{{1, "a"}}
                                   << 0 << true;
    QTest::newRow("duplicate number")
        << 3 << QList<QByteArray>{"1 a", "1 b", "."} << QList<UidlEntry>{{1, "a"}} << 1 << true;
    QTest::newRow("duplicate uid") << 3 << QList<QByteArray>{"1 a", "2 a", "."} << QList<UidlEntry>{{1, "a"}}
                                   << 1 << true;
    QTest::newRow("above the count") << 1 << QList<QByteArray>{"1 a", "2 b", "999999999 c", "."}
                                     << QList<UidlEntry>{{1, "a"}} << 2 << true;
    QTest::newRow("garbage") << 2 << QList<QByteArray>{"+OK", "1 a", "-ERR", "."}
                             << QList<UidlEntry>{{1, "a"}} << 2 << true;
    QTest::newRow("dot-stuffed is no end")
        << 2 << QList<QByteArray>{"1 a", ".."} << QList<UidlEntry>{{1, "a"}} << 1 << false;
    QTest::newRow("never ends") << 1 << QList<QByteArray>(1000, "1 a") << QList<UidlEntry>{{1, "a"}} << 999
                                << false;
}

void TestUidl::listing()
{
    QFETCH(int, count);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QList<UidlEntry>, entries);
    QFETCH(int, dropped);
    QFETCH(bool, done);
    mailcheck::UidlReader reader(count);
    for (const QByteArray& line : lines)
        reader.addLine(line);
    QCOMPARE(reader.entries(), entries);
    QCOMPARE(reader.dropped(), dropped);
    QCOMPARE(reader.done(), done);
    QCOMPARE(reader.ids().size(), entries.size());
}

void TestUidl::newMessages_data()
{
    QTest::addColumn<QList<UidlEntry>>("current");
    QTest::addColumn<QList<QByteArray>>("seen");
    QTest::addColumn<QList<int>>("fresh");
    const QList<UidlEntry> three{{1, "a"}, {2, "b"}, {3, "c"}};
    QTest::newRow("first check: all, newest first") << three << QList<QByteArray>{} << QList<int>{3, 2, 1};
    QTest::newRow("nothing new") << three << QList<QByteArray>{"a", "b", "c"} << QList<int>{};
    // One read and deleted elsewhere, one arrived: the count stays, the new one is found.
    QTest::newRow("one gone, one come") << QList<UidlEntry>{{1, "a"}, {2, "c"}, {3, "d"}}
                                        << QList<QByteArray>{"a", "b", "c"} << QList<int>{3};
    QList<UidlEntry> many;
    for (int n = 1; n <= 9; ++n)
        many.append({n, QByteArray::number(n)});
    QTest::newRow("five at most") << many << QList<QByteArray>{} << QList<int>{9, 8, 7, 6, 5};
}

void TestUidl::newMessages()
{
    QFETCH(QList<UidlEntry>, current);
    QFETCH(QList<QByteArray>, seen);
    QFETCH(QList<int>, fresh);
    QCOMPARE(mailcheck::newMessages(current, QSet<QByteArray>(seen.cbegin(), seen.cend())), fresh);
}

void TestUidl::topReply_data()
{
    QTest::addColumn<int>("cap");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<bool>("truncated");
    QTest::addColumn<bool>("done");
    QTest::newRow("headers") << 100 << QList<QByteArray>{"From: a\r\n", "Subject: b\r\n", "\r\n", ".\r\n"}
                             << QByteArray("From: a\r\nSubject: b\r\n\r\n") << false << true;
    QTest::newRow("dot-stuffing undone")
        << 100 << QList<QByteArray>{"..x", ".", "y"} << QByteArray(".x\r\n") << false << true;
    QTest::newRow("cut at the cap, read to the end")
        << 10 << QList<QByteArray>{"Subject: long", "more", "."} << QByteArray("Subject: l") << true << true;
    QTest::newRow("no terminating dot")
        << 10 << QList<QByteArray>(100000, "x") << QByteArray("x\r\nx\r\nx\r\nx") << true << false;
}

void TestUidl::topReply()
{
    QFETCH(int, cap);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QByteArray, header);
    QFETCH(bool, truncated);
    QFETCH(bool, done);
    mailcheck::TopReader reader(cap);
    for (const QByteArray& line : lines)
        reader.addLine(line);
    QCOMPARE(reader.header(), header);
    QCOMPARE(reader.truncated(), truncated);
    QCOMPARE(reader.done(), done);
}

QTEST_GUILESS_MAIN(TestUidl)
#include "tst_uidl.moc"
