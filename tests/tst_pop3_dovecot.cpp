#include "app/module1.h"
#include "app/settingsstore.h"
#include "app/textbox.h"
#include "app/windows.h"
#include "dialogs/form4.h"
#include "mailcheck/form1.h"
#include "mailcheck/headers.h"
#include "mailcheck/pop3.h"
#include "mailcheck/seenids.h"
#include "mailcheck/winsock.h"
#include "notifier/form2.h"
#include "notifier/form3.h"
#include "notifier/rules.h"
#include "scramble/encrypt.h"
#include "support/reset.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

// Checks against a real POP3 server: a private Dovecot that the test starts on free loopback ports
// and stops again. Dovecot is part of the test dependencies, so its absence fails the test.
class TestPop3Dovecot : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void startUpChecksAtOnceOnTheConfiguredPort();
    void wrongPasswordIsLoginFailed();
    void implicitTlsWithTrustedCertificate();
    void untrustedCertificateSendsNothing();
    void certsFolderTrustedOnlyWhilePrivate_data();
    void certsFolderTrustedOnlyWhilePrivate();
    void securityAgainstAServerThatWantsStarttls_data();
    void securityAgainstAServerThatWantsStarttls();
    void sendersAndSubjectsOfNewMail();

private:
    QString startServer(const QString& name, int messages, const QString& option = QString(),
                        const QStringList& more = {});
    void stopServer(const QString& name);
    QByteArray serverLog(const QString& name) const;
    QString runCheck();

    QString m_script;
    QTemporaryDir m_tmp{QStringLiteral("/tmp/vurk-dovecot-XXXXXX")};
    QString m_plainPort;
    QString m_tlsPort;
    QString m_starttlsPort;
};

QString TestPop3Dovecot::startServer(const QString& name, int messages, const QString& option,
                                     const QStringList& more)
{
    QProcess process;
    QStringList args{QStringLiteral("start"), m_tmp.filePath(name), QString::number(messages)};
    if (!option.isEmpty())
        args << option;
    args << more;
    process.start(m_script, args);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(5000);
        return {};
    }
    if (process.exitCode() != 0)
        qWarning("%s", process.readAllStandardError().constData());
    return QString::fromLatin1(process.readAllStandardOutput()).trimmed();
}

void TestPop3Dovecot::stopServer(const QString& name)
{
    QProcess process;
    process.start(m_script, {QStringLiteral("stop"), m_tmp.filePath(name)});
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

QByteArray TestPop3Dovecot::serverLog(const QString& name) const
{
    QFile log(m_tmp.filePath(name + QStringLiteral("/dovecot.log")));
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

void TestPop3Dovecot::initTestCase()
{
    m_script = QFINDTESTDATA("support/dovecot.sh");
    QVERIFY2(!m_script.isEmpty(), "tests/support/dovecot.sh not found");
    QVERIFY2(QFile::exists(QStringLiteral("/usr/sbin/dovecot")),
             "dovecot is not installed (Debian: dovecot-core dovecot-pop3d); scripts/deps.sh installs it");
    QVERIFY(m_tmp.isValid());
    // Dovecot's mail process may run as another user, who must be able to reach the folders.
    QFile::setPermissions(m_tmp.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                            QFile::ExeGroup | QFile::ExeOther);
    m_plainPort = startServer(QStringLiteral("plain"), 3);
    QVERIFY2(!m_plainPort.isEmpty(), "the plain Dovecot did not start");
    m_tlsPort = startServer(QStringLiteral("tls"), 5, QStringLiteral("--tls"));
    QVERIFY2(!m_tlsPort.isEmpty(), "the TLS Dovecot did not start");
    m_starttlsPort = startServer(QStringLiteral("starttls"), 4, QStringLiteral("--starttls"));
    QVERIFY2(!m_starttlsPort.isEmpty(), "the STARTTLS Dovecot did not start");
}

void TestPop3Dovecot::cleanupTestCase()
{
    stopServer(QStringLiteral("plain"));
    stopServer(QStringLiteral("tls"));
    stopServer(QStringLiteral("starttls"));
    stopServer(QStringLiteral("preview"));
}

void TestPop3Dovecot::init()
{
    qunsetenv("VURK_TEST_TLS_PORT");
    QDir(Store::certsFolder()).removeRecursively();
    for (int i = 0; i < 4; ++i)
        form4().Colour[i]->setText(QStringLiteral("12500400"));
    Form1& f1 = form1();
    f1.Text1->setText(QStringLiteral("127.0.0.1"));
    f1.Text2->setText(QStringLiteral("vurk"));
    f1.Text3->setText(QStringLiteral("secret"));
    f1.Text4->setText(m_plainPort);
    form2().show();
}

void TestPop3Dovecot::cleanup()
{
    testsupport::resetProgram();
}

QString TestPop3Dovecot::runCheck()
{
    QSignalSpy finished(&form1(), &Form1::checkFinished);
    form1().Timer1_Timer();
    if (!finished.wait(40000))
        return QStringLiteral("(no result)");
    return finished.first().first().toString();
}

// The check at start-up goes to the port of the settings, and so does the next tick.
void TestPop3Dovecot::startUpChecksAtOnceOnTheConfiguredPort()
{
    unloadAllWindows();
    Store::write(Store::Key::server, QStringLiteral("127.0.0.1"));
    Store::write(Store::Key::user, QStringLiteral("vurk"));
    Store::write(Store::Key::pass, Encrypt::EncodePassword(QStringLiteral("secret")));
    Store::write(Store::Key::port, m_plainPort);
    QVERIFY(Store::commit());
    const qsizetype logBefore = serverLog(QStringLiteral("plain")).size();

    QVERIFY(Module1::Main());
    QSignalSpy finished(&form1(), &Form1::checkFinished);
    QVERIFY(finished.wait(40000));
    QCOMPARE(finished.first().first().toString(), QStringLiteral("3 messages"));
    QCOMPARE(form2().Label1->text(), QStringLiteral("You have 3 e-Mail\r\n"));

    QCOMPARE(runCheck(), QStringLiteral("3 messages"));
    QTRY_COMPARE_WITH_TIMEOUT(serverLog(QStringLiteral("plain")).mid(logBefore).count("Logged out"), 2,
                              10000);
}

void TestPop3Dovecot::wrongPasswordIsLoginFailed()
{
    form1().Text3->setText(QStringLiteral("wrong"));
    QCOMPARE(runCheck(), QStringLiteral("Login failed"));
    QCOMPARE(form2().Label1->text(), QStringLiteral("Login failed"));
    QVERIFY(form2().toolTip().contains(QStringLiteral("Authentication failed")));
}

void TestPop3Dovecot::implicitTlsWithTrustedCertificate()
{
    form1().setSecurity(mailcheck::Security::Ssl);
    QVERIFY(QDir().mkpath(Store::certsFolder()));
    QVERIFY(QFile::copy(m_tmp.filePath(QStringLiteral("tls/cert.pem")),
                        Store::certsFolder() + QStringLiteral("/my-server.pem")));
    form1().Text4->setText(m_tlsPort);
    QCOMPARE(runCheck(), QStringLiteral("5 messages"));
    QCOMPARE(form2().Label1->text(), QStringLiteral("You have 5 e-Mail\r\n"));
    QTRY_VERIFY_WITH_TIMEOUT(serverLog(QStringLiteral("tls")).contains("Login: user=<vurk>, method=PLAIN"),
                             10000);
    QVERIFY(serverLog(QStringLiteral("tls")).contains(", TLS, session="));
}

void TestPop3Dovecot::untrustedCertificateSendsNothing()
{
    form1().setSecurity(mailcheck::Security::Ssl);
    form1().Text4->setText(m_tlsPort);
    const qsizetype logBefore = serverLog(QStringLiteral("tls")).size();
    QCOMPARE(runCheck(), QStringLiteral("Connection failed"));
    QCOMPARE(form2().Label1->text(), QStringLiteral("Connection failed"));
    QVERIFY(!form1().Winsock1->isOpen());
    QVERIFY2(form2().toolTip().contains(QStringLiteral("certificate"), Qt::CaseInsensitive),
             qPrintable(form2().toolTip()));
    // The server saw the handshake break off and nothing after it: no login, no password.
    QTRY_VERIFY_WITH_TIMEOUT(serverLog(QStringLiteral("tls")).mid(logBefore).contains("no auth attempts"),
                             10000);
    const QByteArray log = serverLog(QStringLiteral("tls")).mid(logBefore);
    QVERIFY2(!log.contains("Login:") && !log.contains("auth:") && !log.contains("user=<vurk>"),
             log.constData());
}

void TestPop3Dovecot::certsFolderTrustedOnlyWhilePrivate_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("otherOwner");
    QTest::addColumn<QString>("why");
    QTest::newRow("certs folder writable by the group")
        << "certs" << 0770 << false << "certs ignored: certs folder writable by group or others";
    QTest::newRow("certs folder writable by all")
        << "certs" << 0777 << false << "certs ignored: certs folder writable by group or others";
    QTest::newRow("settings folder writable by others")
        << "settings" << 0703 << false << "certs ignored: settings folder writable by group or others";
    QTest::newRow("certs folder of another user")
        << "certs" << 0755 << true << "certs ignored: certs folder owned by another user";
}

// A certificate that someone else could have put there is not trusted: nothing is sent, and the
// tooltip says why the user's own certificate did not count.
void TestPop3Dovecot::certsFolderTrustedOnlyWhilePrivate()
{
    QFETCH(QString, folder);
    QFETCH(int, mode);
    QFETCH(bool, otherOwner);
    QFETCH(QString, why);
    if (otherOwner && ::geteuid() != 0)
        QSKIP("only root can give the folder to another user");
    form1().setSecurity(mailcheck::Security::Ssl);
    QVERIFY(QDir().mkpath(Store::certsFolder()));
    QVERIFY(QFile::copy(m_tmp.filePath(QStringLiteral("tls/cert.pem")),
                        Store::certsFolder() + QStringLiteral("/my-server.pem")));
    const QByteArray path =
        QFile::encodeName(folder == QLatin1String("certs") ? Store::certsFolder()
                                                           : QFileInfo(Store::filePath()).absolutePath());
    struct stat before {};
    QCOMPARE(::stat(path.constData(), &before), 0);
    QCOMPARE(::chmod(path.constData(), mode_t(mode)), 0);
    if (otherOwner)
        QCOMPARE(::chown(path.constData(), 65534, 65534), 0);
    form1().Text4->setText(m_tlsPort);
    const QString result = runCheck();
    const QString tip = form2().toolTip();
    QCOMPARE(::chmod(path.constData(), before.st_mode & 07777), 0);
    if (otherOwner)
        QCOMPARE(::chown(path.constData(), before.st_uid, before.st_gid), 0);
    QCOMPARE(result, QStringLiteral("Connection failed"));
    QVERIFY2(tip.contains(QStringLiteral("Connection failed: ") + why), qPrintable(tip));
    QVERIFY2(tip.contains(QStringLiteral("certificate"), Qt::CaseInsensitive), qPrintable(tip));
}

void TestPop3Dovecot::securityAgainstAServerThatWantsStarttls_data()
{
    QTest::addColumn<int>("security");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("tip");
    QTest::addColumn<bool>("loggedIn");
    using S = mailcheck::Security;
    QTest::newRow("STARTTLS") << int(S::StartTls) << "4 messages"
                              << "4 messages" << true;
    QTest::newRow("none: refused, with the hint")
        << int(S::None) << "Login failed"
        << "Plaintext authentication disallowed on non-secure (SSL/TLS) connections. (not encrypted; the "
           "server may want SSL/TLS or STARTTLS)"
        << false;
    QTest::newRow("SSL/TLS on the plain port") << int(S::Ssl) << "Connection failed"
                                               << "Connection failed: " << false;
}

// The server listens on 127.0.0.2 and is reached from 127.0.0.1, so it takes no password in clear.
void TestPop3Dovecot::securityAgainstAServerThatWantsStarttls()
{
    QFETCH(int, security);
    QFETCH(QString, result);
    QFETCH(QString, tip);
    QFETCH(bool, loggedIn);
    QVERIFY(QDir().mkpath(Store::certsFolder()));
    QVERIFY(QFile::copy(m_tmp.filePath(QStringLiteral("starttls/cert.pem")),
                        Store::certsFolder() + QStringLiteral("/my-server.pem")));
    form1().Text1->setText(QStringLiteral("127.0.0.2"));
    form1().Text4->setText(m_starttlsPort);
    form1().setSecurity(mailcheck::Security(security));
    const qsizetype logBefore = serverLog(QStringLiteral("starttls")).size();
    QCOMPARE(runCheck(), result);
    QVERIFY2(form2().toolTip().contains(tip), qPrintable(form2().toolTip()));
    const QByteArray login = "Login: user=<vurk>, method=PLAIN, rip=127.0.0.1, lip=127.0.0.2";
    if (loggedIn) {
        QTRY_VERIFY_WITH_TIMEOUT(serverLog(QStringLiteral("starttls")).mid(logBefore).contains(login), 10000);
        QVERIFY(serverLog(QStringLiteral("starttls")).mid(logBefore).contains(", TLS, session="));
    } else {
        QTest::qWait(300);
        QVERIFY(!serverLog(QStringLiteral("starttls")).mid(logBefore).contains(login));
    }
}

// Real headers from real mail programs, in their charsets, through a real server: the new ones are
// listed decoded, newest first; after a restart nothing old comes again; one deleted and one added
// leave the count as it was, and the added one is announced.
void TestPop3Dovecot::sendersAndSubjectsOfNewMail()
{
    const QString fixtures = QFileInfo(QFINDTESTDATA("fixtures/headers/expected.tsv")).path();
    QHash<QString, mailcheck::MessageHeaders> expected;
    QFile tsv(fixtures + QStringLiteral("/expected.tsv"));
    QVERIFY(tsv.open(QIODevice::ReadOnly));
    for (const QByteArray& line : tsv.readAll().split('\n')) {
        const QStringList field = QString::fromUtf8(line).split(QLatin1Char('\t'));
        if (field.size() == 3)
            expected.insert(field[0], {field[1], field[2]});
    }
    const auto shown = [&expected](const QStringList& names) {
        QList<mailcheck::MessageHeaders> messages;
        for (const QString& name : names)
            messages << expected.value(name + QStringLiteral(".eml"));
        return notifier::previewLines(messages);
    };
    const QStringList first{QStringLiteral("ja-shuriken-iso2022jp-raw"), QStringLiteral("ja-gmail-utf8-b"),
                            QStringLiteral("ja-docomo-sjis-b"), QStringLiteral("ja-cron-eucjp-raw"),
                            QStringLiteral("ja-becky-iso2022jp-b")};
    QVERIFY(QDir().mkpath(m_tmp.filePath(QStringLiteral("eml"))));
    for (const QString& name : first)
        QVERIFY(QFile::copy(fixtures + QLatin1Char('/') + name + QStringLiteral(".eml"),
                            m_tmp.filePath(QStringLiteral("eml/") + name + QStringLiteral(".eml"))));
    const QString port = startServer(QStringLiteral("preview"), 1, QStringLiteral("--messages-from"),
                                     {m_tmp.filePath(QStringLiteral("eml"))});
    QVERIFY2(!port.isEmpty(), "the Dovecot with real headers did not start");
    QFile::remove(mailcheck::SeenIds::filePath());
    const auto check = [this, &port](QStringList *announced) -> QString {
        init();
        form1().Text4->setText(port);
        form3().checkpreview->setChecked(true);
        QSignalSpy lines(&form1(), &Form1::newMessages);
        const QString outcome = runCheck();
        // The headers come after the blink; QUIT follows them.
        if (!QTest::qWaitFor([] { return popState == QLatin1String("connectQQQQ"); }, 20000))
            return QStringLiteral("(headers not read)");
        if (!lines.isEmpty())
            *announced = lines.first().first().toStringList();
        return outcome;
    };

    QStringList announced;
    QCOMPARE(check(&announced), QStringLiteral("6 messages"));
    QCOMPARE(announced, shown(first));
    for (const QString& line : shown(first))
        QVERIFY2(form2().toolTip().contains(line), qPrintable(form2().toolTip()));

    testsupport::resetProgram();
    announced.clear();
    QCOMPARE(check(&announced), QStringLiteral("6 messages"));
    QCOMPARE(announced, QStringList());

    const QString maildir = m_tmp.filePath(QStringLiteral("preview/home/vurk/Maildir/"));
    const QStringList gone =
        QDir(maildir + QStringLiteral("cur")).entryList({QStringLiteral("*.M2P1.*")}, QDir::Files);
    QCOMPARE(gone.size(), 1);
    QVERIFY(QFile::remove(maildir + QStringLiteral("cur/") + gone.first()));
    QVERIFY(QFile::copy(fixtures + QStringLiteral("/ja-thunderbird-utf8-b.eml"),
                        maildir + QStringLiteral("new/1700000099.M99P1.vurk")));
    testsupport::resetProgram();
    QCOMPARE(check(&announced), QStringLiteral("6 messages"));
    QCOMPARE(announced, shown({QStringLiteral("ja-thunderbird-utf8-b")}));
    stopServer(QStringLiteral("preview"));
}

QTEST_MAIN(TestPop3Dovecot)
#include "tst_pop3_dovecot.moc"
