#pragma once

#include <QLatin1String>
#include <QString>
#include <array>

// Every key of the settings store, named once. The file keeps them in one INI group.
namespace Store::Key {

inline constexpr QLatin1String group{"setting"};

inline constexpr QLatin1String front{"front"};
inline constexpr QLatin1String shindou{"shindou"};
inline constexpr QLatin1String checkbeep{"checkbeep"};
// Added after the first three switches; a file without it reads as off.
inline constexpr QLatin1String notify{"notify"};
// Added with the senders and subjects of new mail; a file without it reads as off.
inline constexpr QLatin1String preview{"preview"};
inline constexpr QLatin1String mailer{"mailer"};
inline constexpr QLatin1String server{"server"};
inline constexpr QLatin1String user{"user"};
inline constexpr QLatin1String pass{"pass"};
inline constexpr QLatin1String port{"port"};
// Added with the choice of connection security; a file without it reads as the port decides.
inline constexpr QLatin1String security{"security"};
// Added with OAuth2 sign-in: "password", "goa:" + the Online Accounts id, or "command"; and the token
// command's line, which only the user writes.
inline constexpr QLatin1String auth{"auth"};
inline constexpr QLatin1String tokencommand{"tokencommand"};
inline constexpr QLatin1String top{"top"};
inline constexpr QLatin1String left{"left"};
// Text, panel, blink A, blink B: the colour fields Colour(0) to Colour(3).
inline constexpr std::array<QLatin1String, 4> colour{QLatin1String("acolor1"), QLatin1String("acolor2"),
                                                     QLatin1String("acolor3"), QLatin1String("acolor4")};

// All of them, in the order start-up reads them.
inline constexpr std::array<QLatin1String, 19> all{
    front,    shindou, checkbeep,    notify, preview, mailer,    server,    user,      pass,     port,
    security, auth,    tokencommand, top,    left,    colour[0], colour[1], colour[2], colour[3]};

// The key as QSettings addresses it in the file.
inline QString path(QLatin1String key)
{
    return QString(group) + QLatin1Char('/') + key;
}

} // namespace Store::Key
