#pragma once

#include <QString>

namespace app {

QString currentDateText(); // yyyy/MM/dd
QString currentTimeText(); // HH:mm:ss

// Milliseconds from a moment at msOfSecond into a second until just after the next second begins.
int msUntilNextSecond(int msOfSecond);

} // namespace app
