#include "notifier/mailprogram.h"

#include "notifier/rules.h"

#include <QProcess>
#include <glib.h>

namespace notifier {

CommandWords splitCommandLine(const QString& commandLine)
{
    const QString noProgram = QStringLiteral("コマンドラインにプログラム名がありません。");
    const QByteArray text = commandLine.toUtf8();
    // GLib's shell rules, already in the process through Qt's event loop: no hand-written quoting.
    int count = 0;
    gchar **argv = nullptr;
    GError *error = nullptr;
    if (!g_shell_parse_argv(text.constData(), &count, &argv, &error)) {
        CommandWords failed;
        failed.error = error && error->code != G_SHELL_ERROR_EMPTY_STRING ? QString::fromUtf8(error->message)
                                                                          : noProgram;
        g_clear_error(&error);
        return failed;
    }
    CommandWords result;
    for (int i = 0; i < count; ++i)
        result.words << QString::fromUtf8(argv[i]);
    g_strfreev(argv);
    return result;
}

QString startCommandLine(const QString& commandLine)
{
    CommandWords command = splitCommandLine(commandLine);
    if (!command.error.isEmpty())
        return command.error;
    QProcess process;
    process.setProgram(command.words.takeFirst());
    process.setArguments(command.words);
    if (!process.startDetached())
        return process.errorString();
    return {};
}

QString shownCommandLine(const QString& commandLine)
{
    QString line = withoutDirectionControls(commandLine);
    for (QChar& c : line) {
        if (c.unicode() < 0x20)
            c = QLatin1Char(' ');
    }
    if (line.size() > kShownCommandLength) {
        // The program's name and the end of the line tell the user most; both stay.
        qsizetype head = kShownCommandLength / 2, tail = kShownCommandLength - head - 1;
        if (line[head - 1].isHighSurrogate())
            --head;
        if (line[line.size() - tail].isLowSurrogate())
            --tail;
        line = line.left(head) + QChar(0x2026) + line.right(tail);
    }
    return wrapLines(line, kShownCommandColumns);
}

} // namespace notifier
