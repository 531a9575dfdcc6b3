#include "app/clock.h"

#include <QDateTime>
#include <QLabel>

namespace app {

QString currentDateText()
{
    return QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"));
}

QString currentTimeText()
{
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
}

void writeClockLine(QLabel *label)
{
    label->setText(currentDateText());
    label->setText(label->text() + QLatin1Char(' ') + currentTimeText());
}

} // namespace app
