#include "app/module1.h"
#include "app/settingsstore.h"
#include "app/textbox.h"
#include "app/windows.h"
#include "mailcheck/form1.h"
#include "notifier/form2.h"
#include "notifier/form3.h"
#include "support/reset.h"
#include "support/settingsfile.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

// Start-up over a settings file that is damaged or was written by hand: it comes up, and the first
// save writes back exactly what it shows, so the next start shows the same again.
class SettingsDamagedTest : public QObject {
    Q_OBJECT

private:
    struct Shown {
        QString server, user, password, port;
        QPoint position;
        bool front, shindou, checkbeep;
        bool operator==(const Shown&) const = default;
    };

    static Shown shown()
    {
        return {form1().Text1->text(),        form1().Text2->text(),         form1().Text3->text(),
                form1().Text4->text(),        form2().pixelPosition(),       form3().mnufont->isChecked(),
                form3().shindou->isChecked(), form3().checkbeep->isChecked()};
    }

    static void writeFile(const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(Store::filePath()).absolutePath());
        QFile file(Store::filePath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }

private slots:
    void cleanup() { testsupport::resetProgram(); }

    void startsAndSavesWhatItShows_data()
    {
        const QByteArray whole = "[setting]\nserver=pop.example.test\nuser=vurk\npass=LnqxK|\nport=110\n"
                                 "top=1500\nleft=3000\nfront=True\nshindou=False\ncheckbeep=True\n";
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("one stray byte") << QByteArray("\xf2");
        QTest::newRow("invalid UTF-8") << QByteArray("[setting]\nserver=caf\xe9\nuser=\xff\xfe\n");
        QTest::newRow("text before any section") << "garbage line\n" + whole;
        QTest::newRow("broken section header") << QByteArray("[setting\nserver=old\nuser=u\n");
        QTest::newRow("cut off in a value") << whole.left(40);
        QTest::newRow("cut off in a key") << whole.left(75);
        QTest::newRow("NUL bytes") << QByteArray("[setting]\nserver=a\0b\nuser=\0\n", 27);
        QTest::newRow("duplicate keys") << QByteArray("[setting]\nserver=a\nserver=b\n[setting]\nserver=c\n");
        QTest::newRow("a list where a text belongs")
            << QByteArray("[setting]\nserver=a, b,c\nuser=\"x,y\"\n");
        QTest::newRow("variant markers") << QByteArray("[setting]\nserver=@Variant(\\0\\0\\0\\x7f)\n"
                                                       "user=@ByteArray(abc)\nport=@Invalid()\n");
        QTest::newRow("escapes") << QByteArray("[setting]\nserver=\\x41\\u0042\\t\\\"\\\\\nuser=\\\n");
        QTest::newRow("numbers out of range")
            << QByteArray("[setting]\ntop=1e39\nleft=-99999999999999\nfront=1e400\nshindou=nan\n");
        QTest::newRow("one huge line") << "[setting]\nserver=" + QByteArray(1 << 20, 'x') + "\n";
        QTest::newRow("CR only") << QByteArray(whole).replace('\n', '\r');
    }

    void startsAndSavesWhatItShows()
    {
        QFETCH(QByteArray, bytes);
        writeFile(bytes);
        QVERIFY(Module1::Main());
        const Shown first = shown();
        Module1::SaveSettings();

        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(Store::filePath()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));

        unloadAllWindows();
        QVERIFY(Module1::Main());
        const Shown second = shown();
        QCOMPARE(second.server, first.server);
        QCOMPARE(second.user, first.user);
        QCOMPARE(second.password, first.password);
        QCOMPARE(second.port, first.port);
        // A left of -1e14 twips must not wrap around an int and creep on with every save.
        QCOMPARE(second.position, first.position);
        QVERIFY(second == first);
    }

    void unreadableFileIsTold_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("mode 000") << "mode 000"
                                  << "Permission denied";
        QTest::newRow("a directory") << "directory"
                                     << "Is a directory";
        QTest::newRow("a dangling link") << "dangling link"
                                         << "a link to a file that does not exist";
        QTest::newRow("a FIFO") << "fifo"
                                << "not a regular file";
    }

    // The notifier's tooltip says it in one line with the path and the reason, above every later
    // check's outcome, until a save succeeds; start-up neither hangs nor stops.
    void unreadableFileIsTold()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        const QString path = Store::filePath();
        const QByteArray native = QFile::encodeName(path);
        QFile::remove(path);
        QDir(path).removeRecursively();
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (kind == QLatin1String("mode 000")) {
            if (::geteuid() == 0)
                QSKIP("root reads a file of mode 000");
            writeFile("[setting]\nserver=x\n");
            QCOMPARE(::chmod(native.constData(), 0), 0);
        } else if (kind == QLatin1String("directory")) {
            QVERIFY(QDir().mkpath(path));
        } else if (kind == QLatin1String("dangling link")) {
            QVERIFY(QFile::link(path + QStringLiteral(".gone"), path));
        } else {
            QCOMPARE(::mkfifo(native.constData(), 0600), 0);
        }

        QVERIFY(Module1::Main());
        const QString problem = QStringLiteral("Settings not read: %1: %2").arg(path, reason);
        QCOMPARE(form2().toolTip().section(QLatin1Char('\n'), 0, 0), problem);
        form2().showResult(QStringLiteral("Not Found e-Mail"), QStringLiteral("0 messages"));
        QVERIFY2(form2().toolTip().startsWith(problem + QLatin1Char('\n')), qPrintable(form2().toolTip()));

        // Once the file can be written again, the next save takes the line away.
        ::chmod(native.constData(), 0600);
        if (kind != QLatin1String("dangling link")) {
            QFile::remove(path);
            QDir(path).removeRecursively();
        }
        Module1::SaveSettings();
        QVERIFY2(!form2().toolTip().contains(QStringLiteral("Settings")), qPrintable(form2().toolTip()));
        QFile::remove(path);
        QFile::remove(path + QStringLiteral(".gone"));
    }
};

QTEST_MAIN(SettingsDamagedTest)
#include "tst_settings_damaged.moc"
