#pragma once

#include "app/log.h"

#include <QByteArray>
#include <functional>
#include <memory>

namespace notifier {

// How one beep went out.
enum class SoundOutcome {
    Played,   // the sound server took the event sound
    XBell,    // no sound server answered: the X bell rang instead
    Silenced, // the user has turned event sounds off
};

// The desktop's event sound for new mail, played by the sound server through libcanberra. The
// library is loaded at the first beep, so start-up loads nothing for it. Where no sound server
// answers, the X bell rings, as it did before.
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
    app::TellOnce m_told;
};

// The program's event sound, made at its first use.
EventSound& eventSound();

} // namespace notifier
