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

} // namespace mailcheck
