#pragma once

#include <QString>

// Lets tests outside the process read what the notifier shows: when VURK_TEST_STATUS_FILE names a
// file, every result line is appended to it as one line of UTF-8. Unset, it does nothing.
namespace app {

// Call right after the notifier's result line has been written; detail is what the tooltip adds
// (how the check ended), if anything.
void reportStatus(const QString& resultLine, const QString& detail = QString());

} // namespace app
