#include "app/busreach.h"

#include <QTemporaryDir>
#include <QtTest>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

// A unix socket at path that accepts; one that answers replies to the first line as a bus does.
class Peer {
public:
    Peer(const QByteArray& path, bool answers) : m_fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_un where{};
        where.sun_family = AF_UNIX;
        qstrncpy(where.sun_path, path.constData(), sizeof where.sun_path);
        if (::bind(m_fd, reinterpret_cast<sockaddr *>(&where), sizeof where) != 0 || ::listen(m_fd, 4) != 0)
            qFatal("no peer socket");
        if (answers)
            m_thread = std::jthread([fd = m_fd] {
                const int client = ::accept(fd, nullptr, nullptr);
                if (client < 0)
                    return;
                char line[64];
                if (::recv(client, line, sizeof line, 0) > 0)
                    ::send(client, "REJECTED EXTERNAL\r\n", 19, MSG_NOSIGNAL);
                ::close(client);
            });
    }
    ~Peer()
    {
        ::shutdown(m_fd, SHUT_RDWR); // ends an accept that nobody reached
        ::close(m_fd);
    }

private:
    int m_fd;
    std::jthread m_thread;
};

using Environment = QMap<QByteArray, QByteArray>; // an empty value: unset

const QByteArrayList kNames = {"AT_SPI_BUS_ADDRESS", "NO_AT_BRIDGE", "IBUS_USE_PORTAL", "QT_IM_MODULE",
                               "QT_QPA_PLATFORMTHEME"};

Environment current()
{
    Environment now;
    for (const QByteArray& name : kNames)
        now[name] = qgetenv(name.constData());
    return now;
}

void put(const Environment& environment)
{
    for (const QByteArray& name : kNames) {
        if (environment.value(name).isEmpty())
            qunsetenv(name.constData());
        else
            qputenv(name.constData(), environment.value(name));
    }
}

} // namespace

// Start-up's look at the session bus, and what it keeps off one that did not answer.
class BusReachTest : public QObject {
    Q_OBJECT

private slots:
    void probeTellsWhetherTheBusAnswers_data()
    {
        QTest::addColumn<QString>("peer");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<QString>("why");
        QTest::newRow("answers") << "answers" << true << "";
        QTest::newRow("accepts, never answers") << "silent" << false << "did not answer within 300 ms";
        QTest::newRow("nothing there") << "" << false << "No such file or directory";
        QTest::newRow("not a unix address") << "tcp" << true << "";
    }

    void probeTellsWhetherTheBusAnswers()
    {
        QFETCH(QString, peer);
        QFETCH(bool, answered);
        QFETCH(QString, why);
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("bus")));
        std::optional<Peer> listening;
        if (peer == QLatin1String("answers") || peer == QLatin1String("silent"))
            listening.emplace(path, peer == QLatin1String("answers"));
        qputenv("DBUS_SESSION_BUS_ADDRESS",
                peer == QLatin1String("tcp") ? "tcp:host=127.0.0.1,port=1" : "unix:path=" + path);
        QString failure;
        QCOMPARE(app::SessionBusProbe(300).answered(&failure), answered);
        QVERIFY2(failure.contains(why), qPrintable(failure));
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    }

    void quietSessionBusTurnsAwayAndGivesBack_data()
    {
        QTest::addColumn<Environment>("user");
        QTest::addColumn<Environment>("quiet");
        const Environment turnedAway = {{"AT_SPI_BUS_ADDRESS", "unix:path=/dev/null"}, {"NO_AT_BRIDGE", "1"}};
        QTest::newRow("nothing set") << Environment{} << turnedAway;
        Environment own = {{"AT_SPI_BUS_ADDRESS", "unix:path=/run/a11y"}, {"NO_AT_BRIDGE", "0"}};
        QTest::newRow("the user's bridge settings stay") << own << own;
        Environment portals = {{"IBUS_USE_PORTAL", "1"},
                               {"QT_IM_MODULE", "fcitx"},
                               {"QT_QPA_PLATFORMTHEME", "xdgdesktopportal"}};
        QTest::newRow("portals and Fcitx are left out") << portals << turnedAway;
        Environment others = turnedAway;
        others.insert("QT_IM_MODULE", "ibus");
        others.insert("QT_QPA_PLATFORMTHEME", "gtk3");
        QTest::newRow("other input and theme stay") << others << others;
    }

    void quietSessionBusTurnsAwayAndGivesBack()
    {
        QFETCH(Environment, user);
        QFETCH(Environment, quiet);
        put(user);
        const Environment before = current();
        {
            app::QuietSessionBus keptOff;
            const Environment during = current();
            for (const QByteArray& name : kNames)
                QCOMPARE(during.value(name), quiet.value(name));
            keptOff.end();
            QCOMPARE(current(), before);
        }
        QCOMPARE(current(), before);
        put({});
    }
};

QTEST_MAIN(BusReachTest)
#include "tst_busreach.moc"
