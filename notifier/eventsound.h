#pragma once

#include "app/log.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>

namespace notifier {

// What a check's count asks of the beep, and the count to remember for the next check.
struct BeepStep {
    bool beep;
    QString lastCount;
};

// lastCount: the count remembered; on: the menu's switch. With the switch on, a count that differs
// from the remembered one beeps unless it is "0", and is remembered (an empty mailbox too, so the
// next mail beeps again). With it off nothing beeps and the remembered count stays.
BeepStep beepStep(const QString& lastCount, const QString& count, bool on);

// How one beep went out.
enum class SoundOutcome {
    Played,   // the sound server took the event sound
    XBell,    // no sound server answered: the X bell rang instead
    Silenced, // the user has turned event sounds off
};

// The desktop's event sound for new mail, played by the sound server through libcanberra. The
// library is loaded at the first beep, so start-up loads nothing for it. Where no sound server
// answers, the X bell rings, as it did before. play() waits for the sound server: the program plays
// it through SoundPlayer, off the GUI thread.
class EventSound {
public:
    // library: the libcanberra to load; xBell: what rings instead (QApplication::beep when empty).
    explicit EventSound(QByteArray library = QByteArrayLiteral("libcanberra.so.0"),
                        std::function<void()> xBell = {});
    ~EventSound();
    EventSound(const EventSound&) = delete;
    EventSound& operator=(const EventSound&) = delete;

    // "message-new-email" from the sound theme, or "bell" where the theme lacks it.
    SoundOutcome play();

    // Writes why the X bell rings to standard error, the first time only; from any thread.
    void tellOnce(const QByteArray& line);

private:
    struct Canberra;
    // A libcanberra result; m_failure says why when it is not a success.
    int playOnce();
    bool open();
    SoundOutcome ringXBell(const QByteArray& why);

    QByteArray m_library;
    QByteArray m_failure; // why the library or a context could not be had
    std::function<void()> m_xBell;
    std::unique_ptr<Canberra> m_ca;
    bool m_loadTried = false;
    std::atomic<bool> m_told = false;
};

// Plays the event sound on a thread of its own, which owns the libcanberra context: a sound server
// that accepts and never answers (a stopped PulseAudio or PipeWire) holds up only that thread. When
// no answer comes within answerMs, or the thread still waits on an earlier beep, the X bell rings
// at once instead.
class SoundPlayer : public QObject {
    Q_OBJECT
public:
    explicit SoundPlayer(QByteArray library = QByteArrayLiteral("libcanberra.so.0"),
                         std::function<void()> xBell = {}, int answerMs = 3000, QObject *parent = nullptr);
    ~SoundPlayer() override;

    void play();

signals:
    // How a beep went out, once it has (XBell too where the answer did not come in time).
    void played(notifier::SoundOutcome outcome);

private:
    struct Worker;
    void answered(SoundOutcome outcome);
    void ringXBell();

    std::shared_ptr<Worker> m_worker;
    bool m_started = false; // the thread starts at the first beep
    std::function<void()> m_xBell;
    QTimer m_bound;
    bool m_waiting = false; // the worker has not answered the last beep yet
};

} // namespace notifier
