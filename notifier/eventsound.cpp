#include "notifier/eventsound.h"

#include "app/symbols.h"

#include <QApplication>
#include <QPointer>
#include <canberra.h>
#include <condition_variable>
#include <dlfcn.h>
#include <mutex>
#include <thread>

namespace notifier {

namespace {

const char kApplicationName[] = "Vurk_メールチェッカー";
// The desktop file's name: sound servers and mixers find the icon and the settings by it.
const char kApplicationId[] = "vurk_mailchecker";
const char kMailEvent[] = "message-new-email";
const char kBellEvent[] = "bell";

} // namespace

BeepStep beepStep(const QString& lastCount, const QString& count, bool on)
{
    if (!on)
        return {false, lastCount};
    return {count != lastCount && count != QLatin1String("0"), count};
}

// libcanberra, reached through dlopen: linking it would load it and the sound server's client
// library at every start.
struct EventSound::Canberra {
    void *library = nullptr;
    decltype(&ca_context_create) create = nullptr;
    decltype(&ca_context_change_props) changeProps = nullptr;
    decltype(&ca_context_play) play = nullptr;
    decltype(&ca_context_destroy) destroy = nullptr;
    decltype(&ca_strerror) strerror = nullptr;
    ca_context *context = nullptr;

    bool resolve()
    {
        const auto find = [this](auto& function, const char *name) {
            return app::resolveSymbol(library, function, name);
        };
        return find(create, "ca_context_create") && find(changeProps, "ca_context_change_props") &&
               find(play, "ca_context_play") && find(destroy, "ca_context_destroy") &&
               find(strerror, "ca_strerror");
    }

    QByteArray error(int code) const { return QByteArray("libcanberra: ") + strerror(code); }

    void close()
    {
        if (context)
            destroy(context);
        context = nullptr;
    }
};

EventSound::EventSound(QByteArray library, std::function<void()> xBell)
    : m_library(std::move(library)), m_xBell(std::move(xBell))
{
    if (!m_xBell)
        m_xBell = [] { QApplication::beep(); };
}

EventSound::~EventSound()
{
    // The library stays loaded: the sound server's client library may still run threads of its own.
    if (m_ca)
        m_ca->close();
}

SoundOutcome EventSound::play()
{
    // A context that worked before may have lost its server (restarted, say): one try with a new one.
    const bool reused = m_ca && m_ca->context;
    int rc = playOnce();
    if (reused && rc != CA_SUCCESS && rc != CA_ERROR_NOTFOUND && rc != CA_ERROR_DISABLED)
        rc = playOnce();
    if (rc == CA_SUCCESS)
        return SoundOutcome::Played;
    if (rc == CA_ERROR_DISABLED)
        return SoundOutcome::Silenced;
    // The server answered, but the theme has neither sound: nothing is wrong with the server.
    if (rc == CA_ERROR_NOTFOUND)
        return ringXBell("the sound theme has no \"message-new-email\" or \"bell\" sound");
    return ringXBell("no sound server answered (" + m_failure + ")");
}

int EventSound::playOnce()
{
    if (!open())
        return CA_ERROR_NOTAVAILABLE;
    int rc = m_ca->play(m_ca->context, 0, CA_PROP_EVENT_ID, kMailEvent, CA_PROP_EVENT_DESCRIPTION,
                        "New e-Mail", nullptr);
    if (rc == CA_ERROR_NOTFOUND)
        rc = m_ca->play(m_ca->context, 0, CA_PROP_EVENT_ID, kBellEvent, CA_PROP_EVENT_DESCRIPTION,
                        "New e-Mail", nullptr);
    if (rc == CA_SUCCESS || rc == CA_ERROR_DISABLED)
        return rc;
    m_failure = m_ca->error(rc);
    // No server, or it went away: the next try connects afresh, so a server started later is used.
    if (rc != CA_ERROR_NOTFOUND)
        m_ca->close();
    return rc;
}

bool EventSound::open()
{
    if (!m_loadTried) {
        m_loadTried = true;
        auto ca = std::make_unique<Canberra>();
        ca->library = ::dlopen(m_library.constData(), RTLD_NOW | RTLD_LOCAL);
        if (!ca->library)
            m_failure = ::dlerror();
        else if (!ca->resolve())
            m_failure = m_library + " lacks the functions it should have";
        else
            m_ca = std::move(ca);
    }
    if (!m_ca)
        return false;
    if (m_ca->context)
        return true;
    if (const int rc = m_ca->create(&m_ca->context); rc != CA_SUCCESS) {
        m_ca->context = nullptr;
        m_failure = m_ca->error(rc);
        return false;
    }
    // Volatile: the server may keep the decoded sound for the next time, or drop it when short of room.
    m_ca->changeProps(m_ca->context, CA_PROP_APPLICATION_NAME, kApplicationName, CA_PROP_APPLICATION_ID,
                      kApplicationId, CA_PROP_APPLICATION_ICON_NAME, kApplicationId,
                      CA_PROP_CANBERRA_CACHE_CONTROL, "volatile", nullptr);
    return true;
}

SoundOutcome EventSound::ringXBell(const QByteArray& why)
{
    tellOnce(why);
    m_xBell();
    return SoundOutcome::XBell;
}

void EventSound::tellOnce(const QByteArray& line)
{
    // Once: a missing sound server is the machine's state, not news at every new mail.
    if (!m_told.exchange(true))
        app::tell(QString::fromUtf8(line) + QStringLiteral("; the X bell rings instead"));
}

// The thread and what it shares with the player. It may outlive the player: a thread stuck in the
// sound server cannot be joined, so it owns its part and ends when it next looks.
struct SoundPlayer::Worker {
    std::mutex mutex;
    std::condition_variable wake;
    int asked = 0;
    bool stop = false;
    EventSound sound;

    explicit Worker(QByteArray library) : sound(std::move(library), [] {}) {}

    static void run(std::shared_ptr<Worker> self, QPointer<SoundPlayer> player)
    {
        for (;;) {
            {
                std::unique_lock lock(self->mutex);
                self->wake.wait(lock, [&] { return self->stop || self->asked > 0; });
                if (self->stop)
                    return;
                --self->asked;
            }
            const SoundOutcome outcome = self->sound.play();
            if (QCoreApplication *application = QCoreApplication::instance()) {
                QMetaObject::invokeMethod(
                    application,
                    [player, outcome] {
                        if (player)
                            player->answered(outcome);
                    },
                    Qt::QueuedConnection);
            }
        }
    }
};

SoundPlayer::SoundPlayer(QByteArray library, std::function<void()> xBell, int answerMs, QObject *parent)
    : QObject(parent), m_worker(std::make_shared<Worker>(std::move(library))), m_xBell(std::move(xBell))
{
    if (!m_xBell)
        m_xBell = [] { QApplication::beep(); };
    m_bound.setSingleShot(true);
    m_bound.setInterval(answerMs);
    connect(&m_bound, &QTimer::timeout, this, [this] {
        m_worker->sound.tellOnce("no sound server answered in time");
        ringXBell();
    });
}

SoundPlayer::~SoundPlayer()
{
    const std::lock_guard lock(m_worker->mutex);
    m_worker->stop = true;
    m_worker->wake.notify_one();
}

void SoundPlayer::play()
{
    if (m_waiting) {
        ringXBell();
        return;
    }
    m_waiting = true;
    m_bound.start();
    if (!std::exchange(m_started, true))
        std::thread(Worker::run, m_worker, QPointer<SoundPlayer>(this)).detach();
    const std::lock_guard lock(m_worker->mutex);
    ++m_worker->asked;
    m_worker->wake.notify_one();
}

void SoundPlayer::answered(SoundOutcome outcome)
{
    m_waiting = false;
    // Too late: the X bell has rung already.
    if (!m_bound.isActive())
        return;
    m_bound.stop();
    if (outcome == SoundOutcome::XBell)
        m_xBell();
    emit played(outcome);
}

void SoundPlayer::ringXBell()
{
    m_xBell();
    emit played(SoundOutcome::XBell);
}

} // namespace notifier
