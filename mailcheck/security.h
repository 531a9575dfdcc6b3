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

// Where the check's credentials come from.
struct Auth {
    enum class Kind {
        Password,      // the account's password: USER and PASS
        OnlineAccount, // an access token from the desktop's Online Accounts: XOAUTH2
        Command,       // an access token printed by the user's token command: XOAUTH2
    };
    Kind kind = Kind::Password;
    QString accountId; // OnlineAccount: the account's id there

    bool usesToken() const { return kind != Kind::Password; }
    friend bool operator==(const Auth&, const Auth&) = default;
};

// The settings file's word: "password", "goa:" and the account's id, or "command".
QString authWord(const Auth& auth);
// A file without the word signs in with the token command when one is set, else with the password;
// a word we do not know reads as the password.
Auth authFromWord(const QString& word, const QString& tokenCommand);

} // namespace mailcheck
