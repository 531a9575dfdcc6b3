#include "app/lifecycle.h"
#include "app/wait.h"

#include <QTimer>
#include <QtTest>

// The one wait while events run: what ends it, and what it answers.
class WaitTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { app::resetEnding(); }

    void endsAtTheFirstOf_data()
    {
        QTest::addColumn<QString>("ender");
        QTest::addColumn<int>("deadlineMs");
        QTest::addColumn<bool>("finished");
        QTest::newRow("finished from inside") << "finish" << 3600000 << true;
        QTest::newRow("finished before it waits") << "before" << 3600000 << true;
        QTest::newRow("deadline") << "" << 50 << false;
        QTest::newRow("nested wait inside") << "nested" << 3600000 << true;
        // Last: once ended, a program runs no event loop again.
        QTest::newRow("program ending") << "end" << 3600000 << false;
    }

    void endsAtTheFirstOf()
    {
        QFETCH(QString, ender);
        QFETCH(int, deadlineMs);
        QFETCH(bool, finished);
        app::Wait wait;
        if (ender == QLatin1String("before"))
            wait.finish();
        QTimer::singleShot(10, &wait, [&] {
            if (ender == QLatin1String("finish"))
                wait.finish();
            if (ender == QLatin1String("end"))
                app::endProgram();
            if (ender == QLatin1String("nested")) {
                // The inner wait ends first; the outer one sees its own finish afterwards.
                QTimer::singleShot(10, &wait, [&] { wait.finish(); });
                app::sleepWhileEventsRun(QDeadlineTimer(30));
            }
        });
        QCOMPARE(wait.until(QDeadlineTimer(deadlineMs)), finished);
        QCOMPARE(wait.isFinished(), finished);
    }
};

QTEST_MAIN(WaitTest)
#include "tst_wait.moc"
