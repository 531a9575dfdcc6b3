#pragma once

#include <QString>
#include <QStringList>

namespace notifier {

// A command line cut into words as a shell would: blanks between words, single and double quotes
// and backslashes as in sh, but nothing is run and nothing is expanded ($HOME, *, ~ stay as they
// are). error says why the text is not a command line (an unbalanced quote, no word at all).
struct CommandWords {
    QStringList words;
    QString error;
};
CommandWords splitCommandLine(const QString& commandLine);

// Starts a command line split as above, without waiting for the program. Returns why it could not
// be started, or the empty text when it was.
QString startCommandLine(const QString& commandLine);

// A command line as a message box shows it: without direction controls or line breaks of its own,
// cut in the middle beyond kShownCommandLength characters and wrapped, so that the box and its
// button stay on screen.
inline constexpr qsizetype kShownCommandLength = 200;
inline constexpr int kShownCommandColumns = 60;
QString shownCommandLine(const QString& commandLine);

} // namespace notifier
