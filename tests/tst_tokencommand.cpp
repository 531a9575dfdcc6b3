#include "app/tokencommand.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using app::TokenCommand;

// The token command as a check runs it: real programs, a time limit shortened to one second.
class TestTokenCommand : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString pidFile() const { return m_dir.filePath(QStringLiteral("pid")); }

    // The pid a command wrote to the pid file; 0 until it has.
    qint64 writtenPid() const
    {
        QFile file(pidFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
    }

    // Gone or a zombie: a killed grandchild may wait for a reaper that a container never runs.
    static bool alive(pid_t pid)
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return false;
        const QByteArray fields = stat.readAll();
        return fields.mid(fields.lastIndexOf(')') + 2, 1) != "Z";
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("VURK_TEST_TOKEN_COMMAND_MS", "1000");
    }

    void init() { QFile::remove(pidFile()); }

    void answer_data();
    void answer();
    void stoppedCommandLeavesNothing_data();
    void stoppedCommandLeavesNothing();
};

void TestTokenCommand::answer_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("errorBegins");
    QTest::newRow("token") << "echo ya29.a0Af-_x~+/="
                           << "ya29.a0Af-_x~+/="
                           << "";
    QTest::newRow("blanks and CR trimmed, first line only") << R"(printf ' tok \r\nmore\n')"
                                                            << "tok"
                                                            << "";
    QTest::newRow("no line end") << "printf tok"
                                 << "tok"
                                 << "";
    QTest::newRow("quoted words") << R"(sh -c 'echo "$1"' sh "t  ok")"
                                  << ""
                                  << "the token command's first line is not an access token";
    QTest::newRow("fails with a reason")
        << R"(sh -c 'echo "no refresh token for taro" >&2; echo second >&2; exit 3')"
        << ""
        << "the token command ended with status 3: no refresh token for taro";
    QTest::newRow("fails silently") << "false"
                                    << ""
                                    << "the token command ended with status 1";
    QTest::newRow("reason with controls")
        << R"(sh -c 'printf "\033[31mred\tbad\342\200\256x" >&2; exit 1')"
        << ""
        << "the token command ended with status 1: [31mred bad" + QString(QChar::ReplacementCharacter) + "x";
    QTest::newRow("reason repeats the token") << R"(sh -c 'echo tok123; echo "expired: tok123" >&2; exit 2')"
                                              << ""
                                              << "the token command ended with status 2: expired: …";
    QTest::newRow("long reason cut") << R"(sh -c 'head -c 100000 /dev/zero | tr "\0" x >&2; exit 4')"
                                     << ""
                                     << "the token command ended with status 4: " + QString(199, u'x') +
                                            QChar(0x2026);
    QTest::newRow("silent") << "true"
                            << ""
                            << "the token command printed nothing";
    QTest::newRow("standard input closed") << "cat"
                                           << ""
                                           << "the token command printed nothing";
    QTest::newRow("empty first line") << R"(printf '\ntok\n')"
                                      << ""
                                      << "the token command's first line is empty";
    QTest::newRow("huge output") << "yes tok"
                                 << ""
                                 << "the token command printed more than 64 KB";
    QTest::newRow("hangs") << "sleep 1000"
                           << ""
                           << "the token command did not finish within 1 s and was stopped";
    QTest::newRow("missing program") << "/nonexistent/token-helper --account taro"
                                     << ""
                                     << "cannot start the token command: ";
    QTest::newRow("unbalanced quote") << "helper 'taro"
                                      << ""
                                      << "the token command line: ";
}

void TestTokenCommand::answer()
{
    QFETCH(QString, command);
    QFETCH(QString, token);
    QFETCH(QString, errorBegins);
    TokenCommand run;
    QSignalSpy finished(&run, &TokenCommand::finished);
    run.start(command);
    QCOMPARE(finished.count(), 0); // never from inside start()
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
    QCOMPARE(finished.at(0).at(0).toString(), token);
    const QString error = finished.at(0).at(1).toString();
    QVERIFY2(error.isEmpty() ? errorBegins.isEmpty()
                             : !errorBegins.isEmpty() && error.startsWith(errorBegins),
             qPrintable(error));
    QVERIFY(!run.isRunning());
    QTest::qWait(50);
    QCOMPARE(finished.count(), 1);
}

// A command stopped by the time limit, by a newer run or with its object takes what it started
// along, and a stopped run never answers.
void TestTokenCommand::stoppedCommandLeavesNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("time limit") << "time limit";
    QTest::newRow("newer run") << "newer run";
    QTest::newRow("destroyed") << "destroyed";
}

void TestTokenCommand::stoppedCommandLeavesNothing()
{
    QFETCH(QString, how);
    auto run = std::make_unique<TokenCommand>();
    QSignalSpy finished(run.get(), &TokenCommand::finished);
    run->start(QStringLiteral("sh -c 'sleep 1000 & echo $! >\"$0\"; wait' ") + pidFile());
    QTRY_VERIFY_WITH_TIMEOUT(writtenPid() > 0, 5000);
    const pid_t child = pid_t(writtenPid());
    if (how == QLatin1String("time limit")) {
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
    } else if (how == QLatin1String("newer run")) {
        run->start(QStringLiteral("echo tok"));
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
        QCOMPARE(finished.at(0).at(0).toString(), QStringLiteral("tok"));
    } else {
        run.reset();
    }
    QTRY_VERIFY_WITH_TIMEOUT(!alive(child), 2000);
}

QTEST_GUILESS_MAIN(TestTokenCommand)
#include "tst_tokencommand.moc"
