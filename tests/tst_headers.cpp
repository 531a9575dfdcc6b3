#include "mailcheck/headers.h"
#include "notifier/rules.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QtTest>

using mailcheck::MessageHeaders;
Q_DECLARE_METATYPE(mailcheck::MessageHeaders)

// The senders and subjects of new mail: decoded from header blocks as mail programs write them, and
// listed for the tooltip and the notification.
class TestHeaders : public QObject {
    Q_OBJECT
private slots:
    void fixtures_data();
    void fixtures();
    void hostileBlocks_data();
    void hostileBlocks();
    void withoutGMime_data();
    void withoutGMime();
    void previewLines_data();
    void previewLines();
    void previewBody_data();
    void previewBody();
};

void TestHeaders::fixtures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("subject");
    const QString tsv = QFINDTESTDATA("fixtures/headers/expected.tsv");
    QFile table(tsv);
    QVERIFY2(table.open(QIODevice::ReadOnly), qPrintable(tsv));
    QHash<QString, QStringList> expected;
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QStringList fields = QString::fromUtf8(line).split(QLatin1Char('\t'));
        if (fields.size() == 3 && !line.startsWith('#'))
            expected.insert(fields[0], fields);
    }
    // Every fixture has its row: one without fails rather than goes untested.
    const QDir folder = QFileInfo(tsv).absoluteDir();
    const QStringList files = folder.entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name);
    QVERIFY(files.size() >= 20);
    for (const QString& name : files) {
        const QStringList row = expected.value(name, {name, QStringLiteral("(no row in expected.tsv)"), {}});
        QTest::newRow(qPrintable(name)) << folder.filePath(name) << row[1] << row[2];
    }
}

void TestHeaders::fixtures()
{
    QFETCH(QString, file);
    QFETCH(QString, from);
    QFETCH(QString, subject);
    QFile message(file);
    QVERIFY(message.open(QIODevice::ReadOnly));
    const MessageHeaders headers = mailcheck::decodeHeaders(message.readAll());
    QCOMPARE(headers.from, from);
    QCOMPARE(headers.subject, subject);
}

void TestHeaders::hostileBlocks_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("subject");
    const QByteArray ok = "From: A <a@example.jp>\r\nSubject: ";
    QTest::newRow("10 MB subject") << ok + QByteArray(10 << 20, 'x') << "A" << QString(255, u'x') + u'…';
    QTest::newRow("10 MB of folded lines before From")
        << "X-Junk: 1" + QByteArray("\r\n x").repeated(2 << 20) + "\r\nFrom: late <l@x>\r\n"
        << ""
        << "";
    QTest::newRow("cut inside an encoded word") << ok + "=?UTF-8?B?5pel5pys6Kqe?= =?UTF-8?B?5pel5p"
                                                << "A"
                                                << "日本語 =?UTF-8?B?5pel5p";
    QTest::newRow("cut inside a UTF-8 character") << ok + "\xe6\x97\xa5\xe6\x97"
                                                  << "A"
                                                  << "日\uFFFD";
    QTest::newRow("NUL bytes") << QByteArray("From: A\0B <a@x>\r\nSubject: x\0y\r\n", 31) << "A B"
                               << "x y";
    QTest::newRow("ISO-2022-JP without its end") << ok + "\x1b$BF|K\\"
                                                 << "A"
                                                 << "日本";
    QTest::newRow("ISO-2022-JP odd byte") << ok + "\x1b$BF|K\x1b(B"
                                          << "A"
                                          << "日\uFFFD";
    QTest::newRow("encoded word lying ISO-2022-JP") << ok + "=?ISO-2022-JP?B?gqA=?="
                                                    << "A"
                                                    << "\uFFFD\uFFFD";
    QTest::newRow("encoded word lying UTF-8") << ok + "=?UTF-8?B?/w==?= =?utf-8?q?=E6=97=A5?="
                                              << "A"
                                              << "\uFFFD日";
    QTest::newRow("header only, no line end") << QByteArray("Subject: only") << ""
                                              << "only";
    QTest::newRow("empty") << QByteArray() << ""
                           << "";
    QTest::newRow("body line is not a header") << QByteArray("X: 1\r\n\r\nSubject: body") << ""
                                               << "";
}

void TestHeaders::hostileBlocks()
{
    QFETCH(QByteArray, block);
    QFETCH(QString, from);
    QFETCH(QString, subject);
    const MessageHeaders headers = mailcheck::decodeHeaders(block);
    QCOMPARE(headers.from, from);
    QCOMPARE(headers.subject, subject);
}

void TestHeaders::withoutGMime_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("subject");
    QTest::newRow("plain name") << QByteArray("From: \"Taro\" <taro@example.jp>\r\nSubject: hi\r\n") << "Taro"
                                << "hi";
    QTest::newRow("encoded name gives the address")
        << QByteArray("From: =?UTF-8?B?5bGx55Sw?= <yamada@example.jp>\r\nSubject: =?UTF-8?B?5bGx55Sw?=\r\n")
        << "yamada@example.jp"
        << "=?UTF-8?B?5bGx55Sw?=";
    QTest::newRow("raw UTF-8") << QByteArray("From: 山田 <y@x>\r\nSubject: 日本語\r\n") << "山田"
                               << "日本語";
    QTest::newRow("raw ISO-2022-JP") << QByteArray("Subject: \x1b$BF|K\\8l\x1b(B\r\n") << ""
                                     << "日本語";
}

void TestHeaders::withoutGMime()
{
    QFETCH(QByteArray, block);
    QFETCH(QString, from);
    QFETCH(QString, subject);
    mailcheck::HeaderDecoder decoder("libvurk-no-such-gmime.so.0");
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("libvurk-no-such-gmime.*undecoded")));
    const MessageHeaders headers = decoder.decode(block);
    QVERIFY(!decoder.hasGMime());
    QCOMPARE(headers.from, from);
    QCOMPARE(headers.subject, subject);
    // Said once, not at every message.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
    decoder.decode(block);
}

void TestHeaders::previewLines_data()
{
    QTest::addColumn<QList<MessageHeaders>>("messages");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("in the order given") << QList<MessageHeaders>{{"山田", "会議"}, {"Bob", "Hi"}} << 60
                                        << QStringList{"山田 — 会議", "Bob — Hi"};
    QTest::newRow("wide characters count two")
        << QList<MessageHeaders>{{"山田", "あいうえおかきくけこ"}} << 17 << QStringList{"山田 — あいうえ…"};
    QTest::newRow("exactly fits") << QList<MessageHeaders>{{"ab", "cd"}} << 8 << QStringList{"ab — cd"};
    QTest::newRow("no pair split") << QList<MessageHeaders>{{"a", "😀😀😀"}} << 8 << QStringList{"a — 😀…"};
    QTest::newRow("missing fields") << QList<MessageHeaders>{{}} << 60
                                    << QStringList{"(差出人なし) — (件名なし)"};
    QTest::newRow("direction override")
        << QList<MessageHeaders>{{"a\u202Eb", "c"}} << 60 << QStringList{"a\uFFFDb — c"};
    QTest::newRow("none") << QList<MessageHeaders>{} << 60 << QStringList{};
}

void TestHeaders::previewLines()
{
    QFETCH(QList<MessageHeaders>, messages);
    QFETCH(int, columns);
    QFETCH(QStringList, lines);
    QCOMPARE(notifier::previewLines(messages, columns), lines);
}

void TestHeaders::previewBody_data()
{
    QTest::addColumn<bool>("markup");
    QTest::addColumn<QString>("body");
    QTest::newRow("plain server") << false << "<b>A</b> & \"B\" — x\nC — y";
    QTest::newRow("markup server") << true << "&lt;b&gt;A&lt;/b&gt; &amp; \"B\" — x\nC — y";
}

void TestHeaders::previewBody()
{
    QFETCH(bool, markup);
    QFETCH(QString, body);
    QCOMPARE(notifier::previewBody({"<b>A</b> & \"B\" — x", "C — y"}, markup), body);
}

QTEST_GUILESS_MAIN(TestHeaders)
#include "tst_headers.moc"
