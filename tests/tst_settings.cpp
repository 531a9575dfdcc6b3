#include "app/conversions.h"
#include "app/module1.h"
#include "app/settingsstore.h"
#include "app/textbox.h"
#include "app/windows.h"
#include "dialogs/form5.h"
#include "mailcheck/form1.h"
#include "notifier/form2.h"
#include "notifier/form3.h"
#include "support/reset.h"
#include "support/settingsfile.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QSettings>
#include <QtTest>
#include <sys/stat.h>

// The two save operations and the store underneath them.
class SettingsTest : public QObject {
    Q_OBJECT

private:
    static mode_t fileMode()
    {
        struct stat st {};
        if (::stat(QFile::encodeName(Store::filePath()).constData(), &st) != 0)
            return 0;
        return st.st_mode & 0777;
    }

    static void restart()
    {
        unloadAllWindows();
        QVERIFY(Module1::Main());
    }

private slots:
    void init()
    {
        testsupport::clearSettingsFile();
        QVERIFY(Module1::Main());
    }

    void cleanup() { testsupport::resetProgram(); }

    void passwordRoundTrip_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("storedLength");
        QTest::newRow("abc") << "abc" << 9;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("tilde and Japanese") << QStringLiteral("a~パス") << -1;
    }

    void passwordRoundTrip()
    {
        QFETCH(QString, password);
        QFETCH(int, storedLength);
        form1().Text3->setText(password);
        Module1::SaveSettings();
        const QString stored = Store::read(Store::Key::pass);
        if (storedLength >= 0)
            QCOMPARE(stored.size(), storedLength);
        QVERIFY(password.isEmpty() || stored != password);
        QCOMPARE(form1().Text3->text(), password);

        // The exit save stores the same scrambled form.
        Module1::SaveSettingsOnExit();
        QCOMPARE(Store::read(Store::Key::pass), stored);

        restart();
        QCOMPARE(form1().Text3->text(), password);
    }

    void savedValues()
    {
        form1().Text1->setText(QStringLiteral("pop.example.test"));
        form1().Text2->setText(QStringLiteral(" user name "));
        form1().Text4->setText(QStringLiteral("abc"));
        form3().mnufont->setChecked(true);
        form3().checkbeep->setChecked(true);
        form3().checknotify->setChecked(true);
        form3().checkpreview->setChecked(true);
        form2().moveToPixels(QPoint(200, 100));
        form5().txtAppMail->setText(QStringLiteral("never saved here"));
        Module1::SaveSettings();

        QCOMPARE(Store::read(Store::Key::server), QStringLiteral("pop.example.test"));
        QCOMPARE(Store::read(Store::Key::user), QStringLiteral(" user name "));
        QCOMPARE(Store::read(Store::Key::port), QStringLiteral("abc"));
        QCOMPARE(Store::read(Store::Key::top), QStringLiteral("1500"));
        QCOMPARE(Store::read(Store::Key::left), QStringLiteral("3000"));
        QCOMPARE(Store::read(Store::Key::front), QStringLiteral("True"));
        QCOMPARE(Store::read(Store::Key::shindou), QStringLiteral("False"));
        QCOMPARE(Store::read(Store::Key::checkbeep), QStringLiteral("True"));
        QCOMPARE(Store::read(Store::Key::notify), QStringLiteral("True"));
        QCOMPARE(Store::read(Store::Key::preview), QStringLiteral("True"));
        const QByteArray bytes = testsupport::settingsFileBytes();
        for (const QLatin1String key : {Store::Key::mailer, Store::Key::colour[0], Store::Key::colour[1],
                                        Store::Key::colour[2], Store::Key::colour[3]})
            QVERIFY2(!bytes.contains("\n" + QByteArray(key.data(), key.size()) + "="), key.data());

        restart();
        QCOMPARE(form1().Text4->text(), QStringLiteral("abc"));
        QCOMPARE(form2().pixelPosition(), QPoint(200, 100));
        QVERIFY(form3().mnufont->isChecked());
        QVERIFY(!form3().shindou->isChecked());
        QVERIFY(form3().checknotify->isChecked());
        QVERIFY(form3().checkpreview->isChecked());
    }

    // A file from before the choice keeps what the port meant; both saves write the choice out.
    void securityKey_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("stored"); // "-": no key at all
        QTest::addColumn<int>("read");
        QTest::addColumn<QString>("saved");
        using S = mailcheck::Security;
        QTest::newRow("no key, port 995") << "995"
                                          << "-" << int(S::Ssl) << "ssl";
        QTest::newRow("no key, port 110") << "110"
                                          << "-" << int(S::None) << "none";
        QTest::newRow("no key, other port") << "9995"
                                            << "-" << int(S::None) << "none";
        QTest::newRow("empty key, port 995") << "995"
                                             << "" << int(S::Ssl) << "ssl";
        QTest::newRow("starttls") << "110"
                                  << "starttls" << int(S::StartTls) << "starttls";
        QTest::newRow("ssl on another port") << "9995"
                                             << "ssl" << int(S::Ssl) << "ssl";
        QTest::newRow("none on 995") << "995"
                                     << "none" << int(S::None) << "none";
        QTest::newRow("written by hand in capitals") << "110"
                                                     << " StartTLS " << int(S::StartTls) << "starttls";
        QTest::newRow("unknown word is never plain") << "110"
                                                     << "tls" << int(S::Ssl) << "ssl";
    }

    void securityKey()
    {
        QFETCH(QString, port);
        QFETCH(QString, stored);
        QFETCH(int, read);
        QFETCH(QString, saved);
        QSettings file(Store::filePath(), QSettings::IniFormat);
        file.setValue(Store::Key::path(Store::Key::port), port);
        if (stored != QLatin1String("-"))
            file.setValue(Store::Key::path(Store::Key::security), stored);
        file.sync();
        restart();
        QCOMPARE(int(form1().security()), read);
        Module1::SaveSettingsOnExit();
        QCOMPARE(Store::read(Store::Key::security), saved);
        QCOMPARE(Store::read(Store::Key::port), port);
    }

    // Who signs in: the password unless the file names Online Accounts or the token command.
    void authKey_data()
    {
        QTest::addColumn<QString>("stored"); // "-": no key at all
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("saved");
        QTest::newRow("no key") << "-"
                                << ""
                                << "password";
        QTest::newRow("no key, a token command") << "-"
                                                 << "oama access me"
                                                 << "command";
        QTest::newRow("password over a token command") << "password"
                                                       << "oama access me"
                                                       << "password";
        QTest::newRow("online account") << "goa:account_1"
                                        << ""
                                        << "goa:account_1";
        QTest::newRow("online account without an id") << "goa:"
                                                      << ""
                                                      << "password";
        QTest::newRow("unknown word") << "kerberos"
                                      << ""
                                      << "password";
    }

    void authKey()
    {
        QFETCH(QString, stored);
        QFETCH(QString, command);
        QFETCH(QString, saved);
        QSettings file(Store::filePath(), QSettings::IniFormat);
        if (stored != QLatin1String("-"))
            file.setValue(Store::Key::path(Store::Key::auth), stored);
        if (!command.isEmpty())
            file.setValue(Store::Key::path(Store::Key::tokencommand), command);
        file.sync();
        restart();
        Module1::SaveSettingsOnExit();
        QCOMPARE(Store::read(Store::Key::auth), saved);
        // The token command is the user's own line: read, never rewritten.
        QCOMPARE(Store::read(Store::Key::tokencommand), command);
    }

    void hiddenPositionFields()
    {
        form2().moveToPixels(QPoint(20, 10));
        Module1::SaveSettingsOnExit();
        QVERIFY(form1().Text5->text().isEmpty());
        QVERIFY(form1().Text6->text().isEmpty());
        QCOMPARE(Store::read(Store::Key::top), QStringLiteral("150"));

        Module1::SaveSettings();
        QCOMPARE(form1().Text5->text(), QStringLiteral("150"));
        QCOMPARE(form1().Text6->text(), QStringLiteral("300"));
    }

    void fileIsPrivate()
    {
        Module1::SaveSettings();
        QCOMPARE(fileMode(), mode_t(0600));
        ::chmod(QFile::encodeName(Store::filePath()).constData(), 0644);
        Module1::SaveSettingsOnExit();
        QCOMPARE(fileMode(), mode_t(0600));
    }

    void failedWriteIsReported()
    {
        // A file where the settings folder should be: no write can succeed, even as root.
        const QString folder = QFileInfo(Store::filePath()).absolutePath();
        QDir(folder).removeRecursively();
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Store::write(Store::Key::server, QStringLiteral("x"));
        QVERIFY(!Store::commit());
        Module1::SaveSettings(); // no crash, no hang
        // Told on the desktop too, and kept over the next check's outcome until a save succeeds.
        const QString problem =
            QStringLiteral("Settings not saved: %1: Not a directory").arg(Store::filePath());
        form2().showResult(QStringLiteral("Not Found e-Mail"), QStringLiteral("0 messages"));
        QVERIFY2(form2().toolTip().startsWith(problem + QLatin1Char('\n')), qPrintable(form2().toolTip()));
        QVERIFY(form2().toolTip().endsWith(QStringLiteral(" 0 messages")));
        QVERIFY(QFile::remove(folder));
        Module1::SaveSettings();
        QVERIFY2(!form2().toolTip().contains(QStringLiteral("Settings")), qPrintable(form2().toolTip()));
    }

    void startUpNarrowsAWiderMode_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("afterStart");
        QTest::newRow("readable by all") << 0644 << 0600;
        QTest::newRow("writable by all") << 0666 << 0600;
        QTest::newRow("readable by the group") << 0640 << 0600;
        QTest::newRow("already private") << 0600 << 0600;
        QTest::newRow("narrower stays") << 0400 << 0400;
    }

    // Narrowed as start-up reads it, not only at the next save; its contents are left alone.
    void startUpNarrowsAWiderMode()
    {
        QFETCH(int, stored);
        QFETCH(int, afterStart);
        testsupport::writeSettings({{Store::Key::server, "pop.example.test"}});
        const QByteArray before = testsupport::settingsFileBytes();
        QCOMPARE(::chmod(QFile::encodeName(Store::filePath()).constData(), mode_t(stored)), 0);
        restart();
        QCOMPARE(fileMode(), mode_t(afterStart));
        QCOMPARE(form1().Text1->text(), QStringLiteral("pop.example.test"));
        QCOMPARE(testsupport::settingsFileBytes(), before);
    }

    void conversions_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 1500.0f << "1500";
        QTest::newRow("zero") << 0.0f << "0";
        QTest::newRow("negative") << -15.0f << "-15";
        QTest::newRow("fraction") << 1234.5f << "1234.5";
        QTest::newRow("small fraction") << 0.1f << "0.1";
        QTest::newRow("seven digits") << 1234567.0f << "1234567";
        QTest::newRow("large") << 98765.44f << "98765.44";
    }

    void conversions()
    {
        QFETCH(float, value);
        QFETCH(QString, text);
        QCOMPARE(app::singleToText(value), text);
        QCOMPARE(app::textToSingle(text), std::optional<float>(value));
    }
};

QTEST_MAIN(SettingsTest)
#include "tst_settings.moc"
