#include "app/log.h"

Q_LOGGING_CATEGORY(lcVurk, "vurk_mailchecker")

namespace app {

void tell(const QString& line)
{
    qCWarning(lcVurk, "%s", qUtf8Printable(line));
}

void TellOnce::operator()(const QString& line)
{
    if (m_told)
        return;
    m_told = true;
    tell(line);
}

} // namespace app
