#include "docking/mydoevents.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

// The message pump handles everything that is waiting, including what handlers post meanwhile,
// and may be re-entered from inside a handler.
class PumpTest : public QObject {
    Q_OBJECT

private slots:
    void emptyQueueReturns()
    {
        mdlMyDoevents::MyDoEvents();
        mdlMyDoevents::MyDoEvents();
    }

    void handlesWhatHandlersPost()
    {
        QStringList seen;
        QMetaObject::invokeMethod(
            this,
            [&] {
                seen << "first";
                QMetaObject::invokeMethod(
                    this,
                    [&] {
                        seen << "second";
                        QMetaObject::invokeMethod(
                            this, [&] { seen << "third"; }, Qt::QueuedConnection);
                    },
                    Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
        mdlMyDoevents::MyDoEvents();
        QCOMPARE(seen, QStringList({"first", "second", "third"}));
    }

    void reentered()
    {
        int inner = 0;
        QMetaObject::invokeMethod(
            this,
            [&] {
                QMetaObject::invokeMethod(
                    this, [&] { ++inner; }, Qt::QueuedConnection);
                mdlMyDoevents::MyDoEvents();
                QCOMPARE(inner, 1);
            },
            Qt::QueuedConnection);
        mdlMyDoevents::MyDoEvents();
        QCOMPARE(inner, 1);
    }

    void expiredTimersFire()
    {
        bool fired = false;
        QTimer::singleShot(0, this, [&] { fired = true; });
        mdlMyDoevents::MyDoEvents();
        QVERIFY(fired);
    }

    void zeroTimerDoesNotHoldTheCaller()
    {
        // A timer that is always due must not keep the pump from returning.
        QTimer busy;
        int ticks = 0;
        connect(&busy, &QTimer::timeout, this, [&] { ++ticks; });
        busy.start(0);
        mdlMyDoevents::MyDoEvents();
        busy.stop();
        QVERIFY(ticks > 0);
    }
};

QTEST_GUILESS_MAIN(PumpTest)
#include "tst_pump.moc"
