#include "app/keyring.h"
#include "app/module1.h"
#include "app/password.h"
#include "app/settingsstore.h"
#include "app/textbox.h"
#include "app/windows.h"
#include "mailcheck/form1.h"
#include "notifier/form2.h"
#include "notifier/form3.h"
#include "scramble/encrypt.h"
#include "support/reset.h"
#include "support/settingsfile.h"

#include <QAction>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include <csignal>

// The password and a real GNOME Keyring: ctest runs this under tests/support/keyring.sh, which gives
// it a private session bus and an unlocked login keyring. secret-tool judges the keyring from outside.
namespace {

QString secretTool(const QStringList& arguments, const QByteArray& input = {})
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"), arguments);
    tool.write(input);
    tool.closeWriteChannel();
    if (!tool.waitForFinished(10000))
        tool.kill();
    return QString::fromUtf8(tool.readAllStandardOutput());
}

QStringList attributes(const QString& key)
{
    return {QStringLiteral("server"), QStringLiteral("vurk_mailchecker"), QStringLiteral("user"), key};
}

QString inKeyring(const QString& key)
{
    return secretTool(QStringList{QStringLiteral("lookup")} + attributes(key));
}

// Waits until QtKeychain has handled every job before this one (it runs one at a time).
void keyringSettles()
{
    bool answered = false;
    QObject context;
    Keyring::read(QStringLiteral("taro@a.test"), &context,
                  [&answered](const Keyring::Reply&) { answered = true; });
    QTRY_VERIFY_WITH_TIMEOUT(answered, 30000);
}

// As QtKeychain stores a text.
void putInKeyring(const QString& key, const QString& password)
{
    secretTool(QStringList{QStringLiteral("store"), QStringLiteral("--label=test")} + attributes(key) +
                   QStringList{QStringLiteral("type"), QStringLiteral("plaintext")},
               password.toUtf8());
}

void clearKeyring(const QString& key)
{
    secretTool(QStringList{QStringLiteral("clear")} + attributes(key));
}

} // namespace

class KeyringTest : public QObject {
    Q_OBJECT

private:
    void startWith(const QString& pass, const QString& server = QStringLiteral("a.test"), quint16 port = 110)
    {
        testsupport::writeSettings(
            {{"server", server}, {"user", "taro"}, {"pass", pass}, {"port", QString::number(port)}});
        QVERIFY(Module1::Main());
    }

    void signalDaemon(int signal)
    {
        QFile pidFile(qEnvironmentVariable("VURK_KEYRING_DIR") + QStringLiteral("/keyring.pid"));
        QVERIFY(pidFile.open(QIODevice::ReadOnly));
        QVERIFY(::kill(pidFile.readAll().trimmed().toInt(), signal) == 0);
    }

    bool m_stopped = false;

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("VURK_KEYRING_DIR"), "run it through tests/support/keyring.sh");
        qputenv("VURK_TEST_KEYRING_WAIT_MS", "1500");
    }

    void init() { testsupport::clearSettingsFile(); }

    void cleanup()
    {
        if (std::exchange(m_stopped, false))
            signalDaemon(SIGCONT);
        testsupport::resetProgram();
        for (const char *key : {"taro@a.test", "taro@b.test", "jiro@a.test", "taro@127.0.0.1"})
            clearKeyring(QLatin1String(key));
    }

    // A save puts the password under the account's key and leaves nothing under the key it had.
    void saveMovesTheEntryWithTheAccount_data()
    {
        QTest::addColumn<bool>("inFile");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("newKey");
        QTest::newRow("from the file, same account") << true << "Text1"
                                                     << "a.test"
                                                     << "taro@a.test";
        QTest::newRow("from the file, new server") << true << "Text1"
                                                   << "b.test"
                                                   << "taro@b.test";
        QTest::newRow("from the keyring, same account") << false << "Text1"
                                                        << "a.test"
                                                        << "taro@a.test";
        QTest::newRow("from the keyring, new server") << false << "Text1"
                                                      << "b.test"
                                                      << "taro@b.test";
        QTest::newRow("from the keyring, new account name") << false << "Text2"
                                                            << "jiro"
                                                            << "jiro@a.test";
    }

    void saveMovesTheEntryWithTheAccount()
    {
        QFETCH(bool, inFile);
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, newKey);
        if (!inFile)
            putInKeyring(QStringLiteral("taro@a.test"), QStringLiteral("pw 1"));
        startWith(inFile ? Encrypt::EncodePassword(QStringLiteral("pw 1")) : QString());
        // Saved at once, before the keyring has been read: the save waits for the password it moves.
        form1().findChild<TextBox *>(field)->setText(value);
        Module1::SaveSettings();

        QCOMPARE(inKeyring(newKey), QStringLiteral("pw 1"));
        if (newKey != QLatin1String("taro@a.test"))
            QCOMPARE(inKeyring(QStringLiteral("taro@a.test")), QString());
        QCOMPARE(testsupport::storedValue(Store::Key::pass), QString());
        QVERIFY(testsupport::isStored(Store::Key::pass));
        QTRY_COMPARE(form1().Text3->text(), QStringLiteral("pw 1"));
    }

    // A file without a password sends the first check to the keyring; start-up claims nothing
    // meanwhile, and the check judges the account once the keyring has answered or the wait is over.
    void checkWaitsForTheKeyring_data()
    {
        QTest::addColumn<bool>("inKeyring");
        QTest::addColumn<bool>("stopped");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("why");
        QTest::addColumn<QString>("password");
        QTest::newRow("found") << true << false << ""
                               << ""
                               << "pw 2";
        QTest::newRow("no entry") << false << false << ""
                                  << "the password is empty"
                                  << "";
        QTest::newRow("no answer") << true << true << ""
                                   << "the keyring did not answer"
                                   << "pw 2";
        QTest::newRow("typed while the keyring is silent") << true << true << "typed"
                                                           << ""
                                                           << "typed";
    }

    void checkWaitsForTheKeyring()
    {
        QFETCH(bool, inKeyring);
        QFETCH(bool, stopped);
        QFETCH(QString, typed);
        QFETCH(QString, why);
        QFETCH(QString, password);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        if (inKeyring)
            putInKeyring(QStringLiteral("taro@127.0.0.1"), QStringLiteral("pw 2"));
        if (stopped) {
            signalDaemon(SIGSTOP);
            m_stopped = true;
        }
        startWith(QString(), QStringLiteral("127.0.0.1"), server.serverPort());
        QCOMPARE(form2().Label1->text(), QStringLiteral("Not Found e-Mail"));
        form1().Text3->setText(typed);
        const bool connects = why.isEmpty() && !password.isEmpty();
        if (connects)
            QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 5000);
        else
            QTRY_COMPARE_WITH_TIMEOUT(form2().Label1->text(), QStringLiteral("Please check a account"), 5000);
        const QString tip = form2().toolTip();
        QVERIFY2(connects ? !tip.contains(QStringLiteral("Please check")) : tip.endsWith(why),
                 qPrintable(tip));

        // A keyring that answers late still gives the password, for the next tick; never over a
        // password typed meanwhile.
        if (std::exchange(m_stopped, false))
            signalDaemon(SIGCONT);
        // QtKeychain runs one job at a time: once a read of ours answers, the program's has too.
        bool answered = false;
        Keyring::read(QStringLiteral("taro@127.0.0.1"), this,
                      [&answered](const Keyring::Reply&) { answered = true; });
        QTRY_VERIFY_WITH_TIMEOUT(answered, 30000);
        QCOMPARE(form1().Text3->text(), password);
    }

    // "チェック停止" while the first check waits for the keyring: the answer connects nowhere.
    void stopWhileWaitingForTheKeyring()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        putInKeyring(QStringLiteral("taro@127.0.0.1"), QStringLiteral("pw 2"));
        signalDaemon(SIGSTOP);
        m_stopped = true;
        startWith(QString(), QStringLiteral("127.0.0.1"), server.serverPort());
        form3().checkShori->trigger();
        signalDaemon(SIGCONT);
        m_stopped = false;
        bool answered = false;
        Keyring::read(QStringLiteral("taro@127.0.0.1"), this,
                      [&answered](const Keyring::Reply&) { answered = true; });
        QTRY_VERIFY_WITH_TIMEOUT(answered, 30000);
        QTest::qWait(200);
        QVERIFY(!server.hasPendingConnections());
        QCOMPARE(form2().Label1->text(), QStringLiteral("Check Stop"));
    }

    // A save leaves an entry the keyring already holds alone (a rewrite may raise an unlock prompt,
    // and cuts a secret at a NUL), and only OK moves a password from the file into the keyring.
    void saveWritesTheKeyringOnlyWhenItMust_data()
    {
        QTest::addColumn<bool>("inFile");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("onExit");
        QTest::addColumn<bool>("filePass");
        QTest::addColumn<QString>("keyring");
        const QString nul = QStringLiteral("a") + QChar(0) + QStringLiteral("b");
        QTest::newRow("OK, unchanged, keyring silent") << false << "pw 3" << false << false << "pw 3";
        QTest::newRow("exit, unchanged, keyring silent") << false << "pw 3" << true << false << "pw 3";
        QTest::newRow("OK, a secret holding a NUL") << false << nul << false << false << nul;
        QTest::newRow("exit, password in the file") << true << "pw 3" << true << true << "";
    }

    void saveWritesTheKeyringOnlyWhenItMust()
    {
        QFETCH(bool, inFile);
        QFETCH(QString, password);
        QFETCH(bool, onExit);
        QFETCH(bool, filePass);
        QFETCH(QString, keyring);
        if (!inFile)
            putInKeyring(QStringLiteral("taro@a.test"), password);
        startWith(inFile ? Encrypt::EncodePassword(password) : QString());
        // QtKeychain reads a secret only up to a NUL.
        QTRY_COMPARE_WITH_TIMEOUT(form1().Text3->text(), password.section(QChar(0), 0, 0), 10000);
        // Silent: a save that wrote would time out and scramble the password into the file.
        if (password == QLatin1String("pw 3") && !inFile) {
            signalDaemon(SIGSTOP);
            m_stopped = true;
        }
        onExit ? Module1::SaveSettingsOnExit() : Module1::SaveSettings();
        QCOMPARE(testsupport::storedValue(Store::Key::pass),
                 filePass ? Encrypt::EncodePassword(password) : QString());
        if (std::exchange(m_stopped, false))
            signalDaemon(SIGCONT);
        keyringSettles();
        QCOMPARE(inKeyring(QStringLiteral("taro@a.test")), keyring);
    }

    // OK takes the account once: fields edited while its save waits for the keyring (the window is
    // disabled meanwhile) and a second OK change nothing, and the file and the keyring agree.
    void okSavesTheAccountItWasGiven()
    {
        startWith(Encrypt::EncodePassword(QStringLiteral("pw 1")));
        Form1& f1 = form1();
        f1.showForEditing();
        f1.Text7->setText(QStringLiteral("pw new"));
        signalDaemon(SIGSTOP);
        m_stopped = true;
        bool disabled = false;
        QTimer::singleShot(200, this, [&] {
            disabled = !f1.Text1->widget()->isEnabled() && !f1.Command1->isEnabled();
            f1.Text1->setText(QStringLiteral("b.test"));
            f1.Command1_Click();
            signalDaemon(SIGCONT);
            m_stopped = false;
        });
        f1.Command1->click();
        QVERIFY(disabled);
        QVERIFY(f1.isEnabled());
        QCOMPARE(testsupport::storedValue(Store::Key::server), QStringLiteral("a.test"));
        QCOMPARE(testsupport::storedValue(Store::Key::pass), QString());
        QCOMPARE(inKeyring(QStringLiteral("taro@a.test")), QStringLiteral("pw new"));
        QCOMPARE(inKeyring(QStringLiteral("taro@b.test")), QString());
    }

    // A stop while a check waits for a silent keyring ends that wait at once: a restart checks at its
    // first tick. Checks that gave up on the keyring stop listening for it.
    void keyringWaitsEndWithTheirChecks()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        putInKeyring(QStringLiteral("taro@127.0.0.1"), QStringLiteral("pw 2"));
        signalDaemon(SIGSTOP);
        m_stopped = true;
        startWith(QString(), QStringLiteral("127.0.0.1"), server.serverPort());
        Password& password = form1().password();
        QTRY_COMPARE_WITH_TIMEOUT(form2().Label1->text(), QStringLiteral("Please check a account"), 5000);
        for (int tick = 0; tick < 3; ++tick)
            form1().Timer1_Timer();
        QCOMPARE(password.waiting(), 1);

        form3().checkShori->trigger();
        QCOMPARE(password.waiting(), 0);
        form3().checkShori->trigger();
        form1().Timer1_Timer();
        QCOMPARE(password.waiting(), 1);
        signalDaemon(SIGCONT);
        m_stopped = false;
        QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 10000);
        QCOMPARE(password.waiting(), 0);
    }
};

QTEST_MAIN(KeyringTest)
#include "tst_keyring.moc"
