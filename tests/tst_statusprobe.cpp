#include "app/statusprobe.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The result lines that tests outside the process read: one whole line per result, appended.
class StatusProbeTest : public QObject {
    Q_OBJECT

private slots:
    void linesAreAppended()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("status"));
        qputenv("VURK_TEST_STATUS_FILE", QFile::encodeName(path));
        app::reportStatus(QStringLiteral("You have 3 e-Mail\r\n"), QStringLiteral("3 messages"));
        app::reportStatus(QStringLiteral("Server error"), QStringLiteral("two\nlines"));
        app::reportStatus(QStringLiteral("Not Found e-Mail"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("You have 3 e-Mail | 3 messages\nServer error | two lines\n"
                                            "Not Found e-Mail\n"));
        QCOMPARE(file.permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
                 QFileDevice::Permissions());
    }
};

QTEST_GUILESS_MAIN(StatusProbeTest)
#include "tst_statusprobe.moc"
