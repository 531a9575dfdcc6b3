#pragma once

#include <QString>

class QLabel;

namespace app {

QString currentDateText(); // yyyy/MM/dd
QString currentTimeText(); // HH:mm:ss
// The clock line: the date first, then that caption read back with a space and the time appended.
void writeClockLine(QLabel *label);

// Milliseconds from a moment at msOfSecond into a second until just after the next second begins.
int msUntilNextSecond(int msOfSecond);

} // namespace app
