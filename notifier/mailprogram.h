#pragma once

#include <QString>

namespace notifier {

// Starts a command line as a shell would split it, without waiting for the program. Returns why
// it could not be started, or the empty text when it was.
QString startCommandLine(const QString& commandLine);

} // namespace notifier
