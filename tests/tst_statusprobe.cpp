#include "app/statusprobe.h"
#include "app/windows.h"
#include "mailcheck/form1.h"
#include "notifier/form3.h"
#include "support/reset.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The result lines that tests outside the process read: one whole line per result, appended.
class StatusProbeTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("VURK_TEST_STATUS_FILE", QFile::encodeName(path()));
    }

    void linesAreAppended()
    {
        app::reportStatus(QStringLiteral("You have 3 e-Mail\r\n"), QStringLiteral("3 messages"));
        app::reportStatus(QStringLiteral("Server error"), QStringLiteral("two\nlines"));
        app::reportStatus(QStringLiteral("Not Found e-Mail"));
        QCOMPARE(takeLines(), QByteArray("You have 3 e-Mail | 3 messages\nServer error | two lines\n"
                                         "Not Found e-Mail\n"));
        QCOMPARE(QFile(path()).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
                 QFileDevice::Permissions());
    }

    // Every writer of the result line reports, not only the end of a check.
    void everyResultLineIsReported()
    {
        form3().checkShori_Click();
        form3().checkShori_Click();
        form1().Command1_Click();
        QCOMPARE(takeLines(), QByteArray("Check Stop\n\nNot Found e-Mail\nPlease check a account\n"));
        testsupport::resetProgram();
    }

private:
    QString path() const { return m_dir.filePath(QStringLiteral("status")); }
    QByteArray takeLines()
    {
        QFile file(path());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QByteArray lines = file.readAll();
        file.remove();
        return lines;
    }

    QTemporaryDir m_dir;
};

QTEST_MAIN(StatusProbeTest)
#include "tst_statusprobe.moc"
