#include "app/onlineaccounts.h"

#include <QLocalServer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// GNOME Online Accounts as support/fake_goa.py plays it, on a private bus that starts no service, with
// each call bounded by one second.
namespace {

// Ends a process of the test's own: asked first, killed when it does not go within the bound.
void stop(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

} // namespace

class TestOnlineAccounts : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_goa;

    QString goaLog() const { return m_dir.filePath(QStringLiteral("goa.log")); }
    void startGoa(const QString& mode);
    // The calls the stand-in got since it started.
    QStringList calls() const;

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void mailAccounts_data();
    void mailAccounts();
    void tokenAndRefresh_data();
    void tokenAndRefresh();
};

void TestOnlineAccounts::startGoa(const QString& mode)
{
    QFile::remove(goaLog());
    if (mode == QLatin1String("absent"))
        return;
    const QString script = QFINDTESTDATA("support/fake_goa.py");
    QVERIFY(!script.isEmpty());
    m_goa.start(QStringLiteral("/usr/bin/python3"),
                {script, qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), goaLog(),
                 QStringLiteral("--others"), QStringLiteral("--mode"), mode, QStringLiteral("--lifetime"),
                 QStringLiteral("60")});
    QVERIFY(m_goa.waitForReadyRead(10000));
    QCOMPARE(m_goa.readLine().trimmed(), QByteArray("ready"));
}

QStringList TestOnlineAccounts::calls() const
{
    QFile log(goaLog());
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
    lines.removeAll(QStringLiteral("ready"));
    return lines;
}

void TestOnlineAccounts::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QFile config(m_dir.filePath(QStringLiteral("bus.conf")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(
        QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)")
            .arg(m_dir.path())
            .toUtf8());
    config.close();
    m_bus.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--nofork"),
                 QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    QVERIFY(m_bus.waitForReadyRead(10000));
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.readLine().trimmed());
    qputenv("VURK_TEST_ONLINE_ACCOUNTS_WAIT_MS", "1000");
}

void TestOnlineAccounts::cleanupTestCase()
{
    stop(m_bus);
}

void TestOnlineAccounts::cleanup()
{
    stop(m_goa);
}

// Only Google accounts with mail are listed; a missing or silent service gives a reason instead.
void TestOnlineAccounts::mailAccounts_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("listed"); // id, identity, address
    QTest::addColumn<QString>("error");
    QTest::newRow("running") << "valid"
                             << "account_1 vurk@example.test vurk@example.test"
                             << "";
    QTest::newRow("absent") << "absent"
                            << ""
                            << "GNOME Online Accounts is not running";
    QTest::newRow("silent") << "silent"
                            << ""
                            << "GNOME Online Accounts did not answer within 1 s";
    QTest::newRow("silent bus") << "silent bus"
                                << ""
                                << "no session bus: unix:path=%1 did not answer within 1000 ms";
}

void TestOnlineAccounts::mailAccounts()
{
    QFETCH(QString, mode);
    QFETCH(QString, listed);
    QFETCH(QString, error);
    // A bus that takes the connection and never says a word.
    QLocalServer silentBus;
    const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (mode == QLatin1String("silent bus")) {
        QVERIFY(silentBus.listen(m_dir.filePath(QStringLiteral("silent"))));
        error = error.arg(silentBus.fullServerName());
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + silentBus.fullServerName().toUtf8());
    } else {
        startGoa(mode);
    }
    std::optional<OnlineAccounts::AccountList> answer;
    QObject context;
    OnlineAccounts::mailAccounts(&context,
                                 [&answer](const OnlineAccounts::AccountList& list) { answer = list; });
    const bool answered = QTest::qWaitFor([&answer] { return answer.has_value(); }, 5000);
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
    QVERIFY(answered);
    QStringList shown;
    for (const OnlineAccounts::Account& account : answer->accounts)
        shown << account.id + u' ' + account.identity + u' ' + account.email;
    QCOMPARE(shown.join(u';'), listed);
    QCOMPARE(answer->error, error);
}

// The token, and one refresh when it is the expired one: each step as "step:answer" in a trace.
void TestOnlineAccounts::tokenAndRefresh_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("trace");
    QTest::addColumn<QStringList>("calls");
    const QString get = QStringLiteral("GetAccessToken account_1");
    const QString ensure = QStringLiteral("EnsureCredentials account_1");
    QTest::newRow("valid") << "valid"
                           << "account_1"
                           << "token:good-token" << QStringList{get};
    QTest::newRow("expired, refreshed")
        << "expired"
        << "account_1"
        << "token:expired-token ensure:ok token:good-token" << QStringList{get, ensure, get};
    QTest::newRow("expired, refresh fails") << "refresh-fails"
                                            << "account_1"
                                            << "token:expired-token ensure:GNOME Online Accounts: Failed to "
                                               "refresh the access token (invalid_grant)"
                                            << QStringList{get, ensure};
    QTest::newRow("silent") << "silent"
                            << "account_1"
                            << "token:GNOME Online Accounts did not answer within 1 s" << QStringList{get};
    QTest::newRow("absent") << "absent"
                            << "account_1"
                            << "token:GNOME Online Accounts is not running" << QStringList();
    QTest::newRow("no such account") << "valid"
                                     << "account_9"
                                     << "token:no such account in GNOME Online Accounts" << QStringList();
    QTest::newRow("not an id") << "valid"
                               << "../account_1"
                               << "token:no such account in GNOME Online Accounts" << QStringList();
}

void TestOnlineAccounts::tokenAndRefresh()
{
    QFETCH(QString, mode);
    QFETCH(QString, id);
    QFETCH(QString, trace);
    QFETCH(QStringList, calls);
    startGoa(mode);
    QObject context;
    QStringList steps;
    const auto token = [&] {
        std::optional<OnlineAccounts::Token> answer;
        OnlineAccounts::accessToken(id, &context, [&answer](const OnlineAccounts::Token& t) { answer = t; });
        if (!QTest::qWaitFor([&answer] { return answer.has_value(); }, 5000))
            return QStringLiteral("token:(no answer)");
        return QStringLiteral("token:") + (answer->error.isEmpty() ? answer->token : answer->error);
    };
    steps << token();
    if (steps.last() == QLatin1String("token:expired-token")) {
        std::optional<QString> failure;
        OnlineAccounts::ensureCredentials(id, &context,
                                          [&failure](const QString& error) { failure = error; });
        QTRY_VERIFY_WITH_TIMEOUT(failure.has_value(), 5000);
        steps << QStringLiteral("ensure:") + (failure->isEmpty() ? QStringLiteral("ok") : *failure);
        if (failure->isEmpty())
            steps << token();
    }
    QCOMPARE(steps.join(u' '), trace);
    QCOMPARE(this->calls(), calls);
}

QTEST_GUILESS_MAIN(TestOnlineAccounts)
#include "tst_onlineaccounts.moc"
