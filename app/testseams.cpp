#include "app/testseams.h"

#include <QByteArray>
#include <QtGlobal>

namespace app {

int testSeam(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

} // namespace app
