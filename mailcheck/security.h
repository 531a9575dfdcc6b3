#pragma once

#include <QLatin1String>
#include <QString>

namespace mailcheck {

// How a check protects its connection, as the user chose it.
enum class Security {
    Ssl,      // TLS from the first byte, on whatever port is set
    StartTls, // plain until STLS, which the server must offer; nothing secret goes out before it
    None,     // plain text throughout, the password too
};

// The settings file's words for them.
inline constexpr QLatin1String kSecurityWords[] = {QLatin1String("ssl"), QLatin1String("starttls"),
                                                   QLatin1String("none")};

QString securityWord(Security security);
// The stored word, in any case. A file from before the choice existed reads as the port used to
// decide: TLS on the implicit-TLS port, plain text on any other. A word we do not know reads as
// SSL/TLS, never as plain text.
Security securityFromWord(const QString& word, const QString& portText);
// The port a choice is normally found on (995 for SSL/TLS, 110 otherwise).
int standardPort(Security security);

} // namespace mailcheck
