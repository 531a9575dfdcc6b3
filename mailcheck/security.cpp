#include "mailcheck/security.h"

#include "app/testseams.h"
#include "mailcheck/pop3.h"

namespace mailcheck {

QString securityWord(Security security)
{
    return kSecurityWords[int(security)];
}

Security securityFromWord(const QString& word, const QString& portText)
{
    const QString key = word.trimmed().toLower();
    if (key.isEmpty())
        return portFromText(portText) == app::seams::implicitTlsPort() ? Security::Ssl : Security::None;
    for (int i = 0; i < 3; ++i) {
        if (key == kSecurityWords[i])
            return Security(i);
    }
    // Someone wrote a choice by hand that we do not know: whatever they meant, it was not to send
    // the password in clear.
    return Security::Ssl;
}

int standardPort(Security security)
{
    return security == Security::Ssl ? 995 : 110;
}

QString authWord(const Auth& auth)
{
    switch (auth.kind) {
    case Auth::Kind::Password:
        break;
    case Auth::Kind::OnlineAccount:
        return QStringLiteral("goa:") + auth.accountId;
    case Auth::Kind::Command:
        return QStringLiteral("command");
    }
    return QStringLiteral("password");
}

Auth authFromWord(const QString& word, const QString& tokenCommand)
{
    const QString key = word.trimmed();
    if (key.startsWith(QLatin1String("goa:")) && key.size() > 4)
        return {Auth::Kind::OnlineAccount, key.mid(4)};
    if (key == QLatin1String("command") || (key.isEmpty() && !tokenCommand.trimmed().isEmpty()))
        return {Auth::Kind::Command, {}};
    return {};
}

} // namespace mailcheck
