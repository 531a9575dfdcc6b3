#include "app/clock.h"

#include <QDateTime>

namespace app {

QString currentDateText()
{
    return QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"));
}

QString currentTimeText()
{
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
}

int msUntilNextSecond(int msOfSecond)
{
    // A couple of milliseconds past the boundary, so the clock never reads the second that is ending.
    constexpr int kMargin = 2;
    const int into = ((msOfSecond % 1000) + 1000) % 1000;
    return 1000 - into + kMargin;
}

} // namespace app
