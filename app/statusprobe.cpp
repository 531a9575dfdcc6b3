#include "app/statusprobe.h"

#include "app/testseams.h"

#include <QByteArray>
#include <QFile>
#include <QtGlobal>

#include <fcntl.h>
#include <unistd.h>

namespace app {

void reportStatus(const QString& resultLine, const QString& detail)
{
    static const QByteArray path = seams::statusFile();
    if (path.isEmpty())
        return;
    QString line = resultLine;
    line.remove(QLatin1Char('\r')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    line = line.trimmed();
    if (!detail.isEmpty())
        line += QStringLiteral(" | ") + QString(detail).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QByteArray bytes = line.toUtf8() + '\n';
    // One append per line: a reader never sees half a line, however the program ends.
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const ssize_t written = ::write(fd, bytes.constData(), size_t(bytes.size()));
    Q_UNUSED(written);
    ::close(fd);
}

} // namespace app
