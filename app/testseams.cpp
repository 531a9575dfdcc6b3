#include "app/testseams.h"

#include "app/log.h"

#include <QStringList>
#include <QtGlobal>

namespace app::seams {

namespace {

constexpr const char *kKnobs[] = {"VURK_TEST_CHECK_INTERVAL_MS",
                                  "VURK_TEST_CONVERSATION_TIMEOUT_MS",
                                  "VURK_TEST_TLS_PORT",
                                  "VURK_TEST_STATUS_FILE",
                                  "VURK_TEST_KEYRING_WAIT_MS",
                                  "VURK_TEST_TOKEN_COMMAND_MS",
                                  "VURK_TEST_ONLINE_ACCOUNTS_WAIT_MS"};

// The variable's value when it is a whole number above zero, else the shipped value.
int positive(const char *name, int shipped)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : shipped;
}

} // namespace

int checkIntervalMs()
{
    return positive(kKnobs[0], 60000);
}

int conversationTimeoutMs()
{
    return positive(kKnobs[1], 30000);
}

int implicitTlsPort()
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(kKnobs[2], &ok);
    return ok ? value : 995;
}

QByteArray statusFile()
{
    return qgetenv(kKnobs[3]);
}

int keyringWaitMs()
{
    return positive(kKnobs[4], 10000);
}

int tokenCommandMs()
{
    return positive(kKnobs[5], 10000);
}

int onlineAccountsWaitMs()
{
    return positive(kKnobs[6], 5000);
}

QStringList activeKnobs()
{
    QStringList names;
    for (const char *name : kKnobs) {
        if (qEnvironmentVariableIsSet(name))
            names << QLatin1String(name);
    }
    return names;
}

void announceActiveKnobs()
{
    const QStringList names = activeKnobs();
    if (!names.isEmpty())
        tell(QStringLiteral("test settings in effect: ") + names.join(u' '));
}

} // namespace app::seams
