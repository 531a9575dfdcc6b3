#include "mailcheck/seenids.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace SeenIds = mailcheck::SeenIds;

// The ids seen at the last check, kept across restarts in a private file.
class TestSeenIds : public QObject {
    Q_OBJECT
private slots:
    void init();
    void roundTrip_data();
    void roundTrip();
    void damaged_data();
    void damaged();
    void privateFile();
    void stateHome_data();
    void stateHome();

private:
    static void writeFile(const QByteArray& content);
    std::unique_ptr<QTemporaryDir> m_state;
};

void TestSeenIds::init()
{
    m_state = std::make_unique<QTemporaryDir>();
    QVERIFY(m_state->isValid());
    qputenv("XDG_STATE_HOME", QFile::encodeName(m_state->path()));
}

void TestSeenIds::writeFile(const QByteArray& content)
{
    QVERIFY(SeenIds::save("k", {}).isEmpty()); // makes the folder
    QFile file(SeenIds::filePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
}

void TestSeenIds::roundTrip_data()
{
    QTest::addColumn<QList<QByteArray>>("ids");
    QTest::addColumn<QString>("readBy"); // the account that reads
    QTest::addColumn<QList<QByteArray>>("read");
    const QList<QByteArray> ids{"000000015a5b3c4d", "UID2", QByteArray(70, '~')};
    QTest::newRow("same account") << ids << "taro" << ids;
    QTest::newRow("another account") << ids << "hanako" << QList<QByteArray>{};
    QTest::newRow("none") << QList<QByteArray>{} << "taro" << QList<QByteArray>{};
    QTest::newRow("an id no server sends is left out")
        << QList<QByteArray>{"ok", "bad id"} << "taro" << QList<QByteArray>{"ok"};
}

void TestSeenIds::roundTrip()
{
    QFETCH(QList<QByteArray>, ids);
    QFETCH(QString, readBy);
    QFETCH(QList<QByteArray>, read);
    const QString server = QStringLiteral("pop.example.jp");
    QCOMPARE(SeenIds::save(SeenIds::accountKey(server, "taro"), QSet<QByteArray>(ids.cbegin(), ids.cend())),
             QString());
    QCOMPARE(SeenIds::load(SeenIds::accountKey(server, readBy)),
             QSet<QByteArray>(read.cbegin(), read.cend()));
}

void TestSeenIds::damaged_data()
{
    QTest::addColumn<QByteArray>("content");
    const QByteArray head = "vurk_mailchecker seen ids 1\nk\n";
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("another format") << QByteArray("[General]\nfoo=bar\n");
    QTest::newRow("cut short") << head + "abc";
    QTest::newRow("bad id") << head + "a b\n";
    QTest::newRow("binary") << head + QByteArray("\0\xff\n", 3);
    QTest::newRow("too many ids") << head + QByteArray("x\n").repeated(SeenIds::kMaxIds + 1);
    QTest::newRow("huge") << head + QByteArray(SeenIds::kMaxFileBytes, 'a') + "\n";
}

void TestSeenIds::damaged()
{
    QFETCH(QByteArray, content);
    writeFile(content);
    QVERIFY(SeenIds::load("k").isEmpty());
    // A good save mends it.
    QCOMPARE(SeenIds::save("k", {"a"}), QString());
    QCOMPARE(SeenIds::load("k"), QSet<QByteArray>{"a"});
}

void TestSeenIds::privateFile()
{
    // Even a file others could read before is replaced by a private one.
    writeFile("x");
    QVERIFY(QFile::setPermissions(SeenIds::filePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                           QFileDevice::ReadOther | QFileDevice::ReadGroup));
    QCOMPARE(SeenIds::save("k", {"a"}), QString());
    struct stat file {};
    struct stat folder {};
    QCOMPARE(::stat(QFile::encodeName(SeenIds::filePath()).constData(), &file), 0);
    QCOMPARE(::stat(QFile::encodeName(QFileInfo(SeenIds::filePath()).absolutePath()).constData(), &folder),
             0);
    QCOMPARE(file.st_mode & 0777, 0600u);
    QCOMPARE(folder.st_mode & 0777, 0700u);
}

void TestSeenIds::stateHome_data()
{
    QTest::addColumn<QByteArray>("stateHome");
    QTest::addColumn<QString>("path");
    QTest::newRow("set") << QByteArray("/x/state") << "/x/state/vurk_mailchecker/seen-ids";
    QTest::newRow("unset") << QByteArray() << QDir::homePath() + "/.local/state/vurk_mailchecker/seen-ids";
    QTest::newRow("relative") << QByteArray("state")
                              << QDir::homePath() + "/.local/state/vurk_mailchecker/seen-ids";
}

void TestSeenIds::stateHome()
{
    QFETCH(QByteArray, stateHome);
    QFETCH(QString, path);
    qputenv("XDG_STATE_HOME", stateHome);
    QCOMPARE(SeenIds::filePath(), path);
}

QTEST_GUILESS_MAIN(TestSeenIds)
#include "tst_seenids.moc"
