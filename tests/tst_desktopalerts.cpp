#include "mailcheck/recheck.h"
#include "notifier/desktopnotice.h"
#include "notifier/eventsound.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

// A notification server that answers Notify only when the test says so, with an id or an error.
class ScriptedServer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList calls;
    QList<QDBusMessage> waiting;

    void answer(const QString& how)
    {
        const QDBusMessage call = waiting.takeFirst();
        connection().send(how == QLatin1String("fail")
                              ? call.createErrorReply(QStringLiteral("org.test.Failed"), QStringLiteral("no"))
                              : call.createReply(QVariant::fromValue(how.toUInt())));
    }
    QDBusConnection connection() const { return QDBusConnection(QStringLiteral("server")); }

public slots:
    QStringList GetCapabilities() { return {QStringLiteral("body-markup")}; }
    uint Notify(const QString&, uint replaces, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int)
    {
        // The account's body is the usual one; a list of new messages is recorded.
        calls << QStringLiteral("Notify %1 %2").arg(replaces).arg(summary) +
                     (body == QLatin1String("taro@pop") ? QString() : QStringLiteral(" / ") + body);
        setDelayedReply(true);
        waiting << message();
        return 0;
    }
    void CloseNotification(uint id) { calls << QStringLiteral("Close %1").arg(id); }
};

} // namespace

using notifier::NoticeStep;
using Reachability = QNetworkInformation::Reachability;
Q_DECLARE_METATYPE(NoticeStep)
Q_DECLARE_METATYPE(Reachability)

// The rules behind the desktop's own alerts that need no desktop: when the notification shows or
// closes and what it says, how often a recheck may run and what counts as the network coming back,
// and the event sound's way back to the X bell; the notification's calls against a scripted server on
// a private bus. The parts that talk to the desktop are also tested end to end against real servers
// (tests/e2e/test_event_sound.sh, test_desktop_notice.sh, test_rechecks.sh).
class DesktopAlertsTest : public QObject {
    Q_OBJECT

private slots:
    // A private bus for the scripted notification server.
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QFile config(m_dir.filePath(QStringLiteral("bus.conf")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral(
                         "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                         "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                         "<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                         "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                         "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
                         .arg(m_dir.path())
                         .toUtf8());
        config.close();
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--nofork"),
                        QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
        QVERIFY(m_daemon.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(m_daemon.canReadLine(), 10000);
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }

    void cleanupTestCase()
    {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000))
            m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }

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

    // The notification against a server scripted step by step: "count N" reads a count, "wait" waits
    // for a Notify to reach the server, "answer ID" or "answer fail" answers the oldest Notify, "closed ID
    // REASON" and "action ID TIMES" are the server's signals. calls: what reached the server; actions: how
    // often the mail program starts.
    void noticeAgainstAScriptedServer_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<int>("actions");
        const auto list = [](const char *text) { return QString::fromLatin1(text).split(QLatin1Char(',')); };
        QTest::newRow("counts while a Notify waits: the latest follows it")
            << list("count 3,wait,count 4,count 5,answer 7,answer 7")
            << list("Notify 0 You have 3 e-Mail,Notify 7 You have 5 e-Mail") << 0;
        QTest::newRow("empty mailbox while a Notify waits: closed after its answer")
            << list("count 3,wait,count 0,answer 7") << list("Notify 0 You have 3 e-Mail,Close 7") << 0;
        QTest::newRow("a failed Notify replaces nothing")
            << list("count 3,answer fail,count 4,answer 8")
            << list("Notify 0 You have 3 e-Mail,Notify 0 You have 4 e-Mail") << 0;
        QTest::newRow("expired, kept in the history: replaced and closed all the same")
            << list("count 3,answer 7,closed 7 1,count 4,answer 7,count 0")
            << list("Notify 0 You have 3 e-Mail,Notify 7 You have 4 e-Mail,Close 7") << 0;
        QTest::newRow("dismissed: the next one is new")
            << list("count 3,answer 7,closed 7 2,count 4,answer 9,count 0")
            << list("Notify 0 You have 3 e-Mail,Notify 0 You have 4 e-Mail,Close 9") << 0;
        QTest::newRow("an action repeated by the server starts the mail program once")
            << list("count 3,answer 7,action 7 100") << list("Notify 0 You have 3 e-Mail") << 1;
        QTest::newRow("the same id shown anew acts again")
            << list("count 3,answer 7,action 7 2,count 4,answer 7,action 7 3")
            << list("Notify 0 You have 3 e-Mail,Notify 7 You have 4 e-Mail") << 2;
        QTest::newRow("new messages while the count stays: listed, escaped")
            << list("count 3,answer 7,new A <a&b>|B,answer 7")
            << list("Notify 0 You have 3 e-Mail,Notify 7 You have 3 e-Mail / A &lt;a&amp;b&gt;\nB") << 0;
        QTest::newRow("new messages with the switch off: nothing")
            << list("count 3,answer 7,new-off A") << list("Notify 0 You have 3 e-Mail") << 0;
    }

    void noticeAgainstAScriptedServer()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, calls);
        QFETCH(int, actions);
        ScriptedServer server;
        QDBusConnection serverBus = QDBusConnection::connectToBus(m_address, QStringLiteral("server"));
        QVERIFY(serverBus.registerService(kInterface));
        QVERIFY(serverBus.registerObject(kPath, &server, QDBusConnection::ExportAllSlots));
        QDBusConnection bus = QDBusConnection::connectToBus(m_address, QStringLiteral("notice"));
        {
            notifier::DesktopNotice notice;
            int started = 0;
            connect(&notice, &notifier::DesktopNotice::defaultAction, this, [&started] { ++started; });
            connect(&notice, &notifier::DesktopNotice::busWanted, this, [&notice, &bus] {
                notice.listen(bus);
                notice.setBus(bus);
            });
            for (const QString& step : steps) {
                const QStringList word = step.split(QLatin1Char(' '));
                if (word[0] == QLatin1String("count")) {
                    notice.countRead(word[1], true, QStringLiteral("taro"), QStringLiteral("pop"));
                } else if (word[0].startsWith(QLatin1String("new"))) {
                    notice.newMessages(step.section(QLatin1Char(' '), 1).split(QLatin1Char('|')),
                                       word[0] == QLatin1String("new"));
                } else if (word[0] == QLatin1String("wait")) {
                    QTRY_VERIFY(!server.waiting.isEmpty());
                } else if (word[0] == QLatin1String("answer")) {
                    QTRY_VERIFY(!server.waiting.isEmpty());
                    server.answer(word[1]);
                } else {
                    const bool closed = word[0] == QLatin1String("closed");
                    QDBusMessage signal = QDBusMessage::createSignal(
                        kPath, kInterface,
                        closed ? QStringLiteral("NotificationClosed") : QStringLiteral("ActionInvoked"));
                    signal << word[1].toUInt();
                    if (closed)
                        signal << word[2].toUInt();
                    else
                        signal << QStringLiteral("default");
                    for (int i = closed ? 1 : word[2].toInt(); i > 0; --i)
                        serverBus.send(signal);
                }
                settle(serverBus, bus);
            }
            QTRY_COMPARE(server.calls, calls);
            QCOMPARE(server.waiting.size(), 0);
            QCOMPARE(started, actions);
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("notice"));
        QDBusConnection::disconnectFromBus(QStringLiteral("server"));
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

private:
    // Until what the server has sent has reached the notice and been handled: each bus's answer
    // comes after what went before it.
    static void settle(QDBusConnection& serverBus, QDBusConnection& bus)
    {
        const QDBusMessage ping = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId"));
        serverBus.call(ping);
        bus.call(ping);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};

QTEST_MAIN(DesktopAlertsTest)
#include "tst_desktopalerts.moc"
