#include "notifier/mailprogram.h"

#include <QProcess>
#include <QStringList>

namespace notifier {

QString startCommandLine(const QString& commandLine)
{
    QStringList arguments = QProcess::splitCommand(commandLine);
    if (arguments.isEmpty())
        return QStringLiteral("コマンドラインにプログラム名がありません。");
    QProcess process;
    process.setProgram(arguments.takeFirst());
    process.setArguments(arguments);
    if (!process.startDetached())
        return process.errorString();
    return {};
}

} // namespace notifier
