#include "mailcheck/recheck.h"
#include "notifier/desktopnotice.h"
#include "notifier/eventsound.h"

#include <QtTest>

using notifier::NoticeStep;
using Reachability = QNetworkInformation::Reachability;
Q_DECLARE_METATYPE(NoticeStep)
Q_DECLARE_METATYPE(Reachability)

// The rules behind the desktop's own alerts that need no desktop: when the notification shows or
// closes and what it says, how often a recheck may run and what counts as the network coming back,
// and the event sound's way back to the X bell. The parts that talk to the desktop are tested end to
// end against real servers (tests/e2e/test_event_sound.sh, test_desktop_notice.sh, test_rechecks.sh).
class DesktopAlertsTest : public QObject {
    Q_OBJECT

private slots:
    void noticeStep_data()
    {
        QTest::addColumn<QString>("previous");
        QTest::addColumn<QString>("count");
        QTest::addColumn<bool>("on");
        QTest::addColumn<NoticeStep>("step");
        QTest::newRow("first mail of the run") << "0"
                                               << "3" << true << NoticeStep::Show;
        QTest::newRow("unchanged") << "3"
                                   << "3" << true << NoticeStep::None;
        QTest::newRow("rise") << "3"
                              << "5" << true << NoticeStep::Show;
        QTest::newRow("fewer: read elsewhere") << "5"
                                               << "3" << true << NoticeStep::None;
        QTest::newRow("rise with the switch off") << "3"
                                                  << "5" << false << NoticeStep::None;
        QTest::newRow("empty mailbox") << "5"
                                       << "0" << true << NoticeStep::Close;
        QTest::newRow("empty mailbox, switch off") << "5"
                                                   << "0" << false << NoticeStep::Close;
        QTest::newRow("more digits is more") << "9"
                                             << "10" << true << NoticeStep::Show;
        QTest::newRow("fewer digits is fewer") << "10"
                                               << "9" << true << NoticeStep::None;
        QTest::newRow("15 digits") << "999999999999998"
                                   << "999999999999999" << true << NoticeStep::Show;
        QTest::newRow("nothing read before") << ""
                                             << "1" << true << NoticeStep::Show;
        QTest::newRow("leading zeros") << "007"
                                       << "7" << true << NoticeStep::None;
        QTest::newRow("not a count") << "3"
                                     << "x" << true << NoticeStep::Close;
        QTest::newRow("wide digits are no count")
            << "0" << QString::fromUtf16(u"３") << true << NoticeStep::Close;
    }

    void noticeStep()
    {
        QFETCH(QString, previous);
        QFETCH(QString, count);
        QFETCH(bool, on);
        QFETCH(NoticeStep, step);
        QCOMPARE(notifier::noticeStep(previous, count, on), step);
    }

    void noticeBody_data()
    {
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("markup");
        QTest::addColumn<QString>("body");
        QTest::newRow("plain") << "taro"
                               << "pop.example.test" << true << "taro@pop.example.test";
        QTest::newRow("markup escaped") << "<b>taro</b>&co"
                                        << "pop" << true << "&lt;b&gt;taro&lt;/b&gt;&amp;co@pop";
        QTest::newRow("no markup: as it stands") << "<b>taro</b>&co"
                                                 << "pop" << false << "<b>taro</b>&co@pop";
    }

    void noticeBody()
    {
        QFETCH(QString, account);
        QFETCH(QString, server);
        QFETCH(bool, markup);
        QFETCH(QString, body);
        QCOMPARE(notifier::noticeBody(account, server, markup), body);
    }

    // Each row: when a recheck is asked for, whether it ran then (else it waits), and the wait.
    void recheckRate_data()
    {
        QTest::addColumn<QList<qint64>>("asked");
        QTest::addColumn<QList<qint64>>("waits");
        QTest::newRow("the first runs at once") << QList<qint64>{5000} << QList<qint64>{0};
        QTest::newRow("3 s later waits the rest") << QList<qint64>{0, 3000} << QList<qint64>{0, 7000};
        QTest::newRow("10 s later runs") << QList<qint64>{0, 10000} << QList<qint64>{0, 0};
        QTest::newRow("counted from the last that ran")
            << QList<qint64>{0, 4000, 12000, 15000} << QList<qint64>{0, 6000, 0, 7000};
    }

    void recheckRate()
    {
        QFETCH(QList<qint64>, asked);
        QFETCH(QList<qint64>, waits);
        qint64 now = 0;
        mailcheck::RecheckRate rate([&now] { return now; });
        for (qsizetype i = 0; i < asked.size(); ++i) {
            now = asked[i];
            QCOMPARE(rate.wait(), waits[i]);
            if (waits[i] == 0)
                rate.ran();
        }
    }

    void reachabilityFromNetworkManager_data()
    {
        QTest::addColumn<uint>("state");
        QTest::addColumn<Reachability>("reachability");
        QTest::newRow("asleep") << 10u << Reachability::Unknown;
        QTest::newRow("disconnected") << 20u << Reachability::Disconnected;
        QTest::newRow("disconnecting") << 30u << Reachability::Disconnected;
        QTest::newRow("connecting") << 40u << Reachability::Unknown;
        QTest::newRow("local") << 50u << Reachability::Local;
        QTest::newRow("site") << 60u << Reachability::Site;
        QTest::newRow("global") << 70u << Reachability::Online;
        QTest::newRow("a state of a later version") << 80u << Reachability::Unknown;
    }

    void reachabilityFromNetworkManager()
    {
        QFETCH(uint, state);
        QFETCH(Reachability, reachability);
        QCOMPARE(mailcheck::reachabilityFromNetworkManager(state), reachability);
    }

    void networkCameBack_data()
    {
        QTest::addColumn<Reachability>("before");
        QTest::addColumn<Reachability>("now");
        QTest::addColumn<bool>("back");
        QTest::newRow("disconnected to online") << Reachability::Disconnected << Reachability::Online << true;
        QTest::newRow("connecting to online") << Reachability::Unknown << Reachability::Online << true;
        QTest::newRow("local network to online") << Reachability::Local << Reachability::Online << true;
        QTest::newRow("online stays") << Reachability::Online << Reachability::Online << false;
        QTest::newRow("online to disconnected")
            << Reachability::Online << Reachability::Disconnected << false;
        QTest::newRow("disconnected to site only")
            << Reachability::Disconnected << Reachability::Site << false;
    }

    void networkCameBack()
    {
        QFETCH(Reachability, before);
        QFETCH(Reachability, now);
        QFETCH(bool, back);
        QCOMPARE(mailcheck::networkCameBack(before, now), back);
    }

    // Where no sound server answers, every beep rings the X bell instead, and a later one tries again.
    void soundFallsBackToTheXBell_data()
    {
        QTest::addColumn<QByteArray>("library");
        QTest::newRow("libcanberra missing") << QByteArray("libcanberra-none.so.0");
        QTest::newRow("no sound server") << QByteArray("libcanberra.so.0");
    }

    void soundFallsBackToTheXBell()
    {
        QFETCH(QByteArray, library);
        // A server that is not there; named, so the client library starts none of its own. Only the
        // sound server's driver: a sound card of the machine must not answer in its place.
        qputenv("PULSE_SERVER", "unix:/nonexistent/pulse/native");
        qputenv("CANBERRA_DRIVER", "pulse");
        int bells = 0;
        notifier::EventSound sound(library, [&bells] { ++bells; });
        QCOMPARE(sound.play(), notifier::SoundOutcome::XBell);
        QCOMPARE(sound.play(), notifier::SoundOutcome::XBell);
        QCOMPARE(bells, 2);
    }
};

QTEST_MAIN(DesktopAlertsTest)
#include "tst_desktopalerts.moc"
