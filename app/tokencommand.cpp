#include "app/tokencommand.h"

#include "app/testseams.h"
#include "notifier/mailprogram.h"
#include "notifier/rules.h"

#include <QCoreApplication>
#include <QProcess>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace app {

namespace {

// Kept of standard error: enough for its first line.
constexpr qsizetype kMaxErrors = 4096;

QByteArray firstLine(const QByteArray& bytes)
{
    const qsizetype end = bytes.indexOf('\n');
    return end < 0 ? bytes : bytes.left(end);
}

// The first line of what the command wrote on standard error, as one line of plain text a tooltip
// can show: controls and direction marks out, cut short, and never the token it may have printed.
QString firstErrorLine(const QByteArray& errors, const QByteArray& output)
{
    QString line = QString::fromUtf8(firstLine(errors));
    const QString token = tokenFromOutput(output).token;
    if (!token.isEmpty())
        line.replace(token, QStringLiteral("…"));
    line = notifier::withoutDirectionControls(line);
    for (QChar& c : line) {
        if (c.category() == QChar::Other_Control)
            c = u' ';
    }
    line = line.simplified();
    if (line.size() > TokenCommand::kMaxErrorShown)
        line = line.left(TokenCommand::kMaxErrorShown - 1) + QChar(0x2026);
    return line;
}

} // namespace

TokenOutput tokenFromOutput(const QByteArray& output)
{
    if (output.isEmpty())
        return {{}, QStringLiteral("the token command printed nothing")};
    const QByteArray line = firstLine(output).trimmed();
    if (line.isEmpty())
        return {{}, QStringLiteral("the token command's first line is empty")};
    for (const char c : line) {
        if (c < 0x21 || c > 0x7e)
            return {{}, QStringLiteral("the token command's first line is not an access token")};
    }
    return {QString::fromLatin1(line), {}};
}

TokenCommand::TokenCommand(QObject *parent) : QObject(parent)
{
    m_limit.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, [this] {
        failed(QStringLiteral("the token command did not finish within %1 s and was stopped")
                   .arg(m_limit.interval() / 1000.0));
    });
    // Objects may outlive the event loop at the program's end; the command must not.
    if (QCoreApplication *application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, &TokenCommand::stop);
}

TokenCommand::~TokenCommand()
{
    stop();
}

void TokenCommand::start(const QString& commandLine)
{
    stop();
    ++m_run;
    notifier::CommandWords command = notifier::splitCommandLine(commandLine);
    if (!command.error.isEmpty())
        return failed(QStringLiteral("the token command line: ") + command.error);
    m_output.clear();
    m_errors.clear();
    m_process = new QProcess(this);
    m_process->setProgram(command.words.takeFirst());
    m_process->setArguments(command.words);
    m_process->setStandardInputFile(QProcess::nullDevice());
    // A group of its own, so that a helper's own children go with it when it is stopped; and it
    // goes with the program even when the program is killed.
    m_process->setChildProcessModifier([] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
    connect(m_process, &QProcess::readyReadStandardOutput, this, &TokenCommand::readOutput);
    connect(m_process, &QProcess::readyReadStandardError, this, &TokenCommand::readErrors);
    connect(m_process, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) { ended(exitCode, status); });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            failed(QStringLiteral("cannot start the token command: ") + m_process->errorString());
    });
    m_limit.start(seams::tokenCommandMs());
    m_process->start();
}

void TokenCommand::stop()
{
    m_limit.stop();
    release();
}

void TokenCommand::readOutput()
{
    m_output += m_process->readAllStandardOutput();
    if (m_output.size() > kMaxOutput)
        failed(QStringLiteral("the token command printed more than %1 KB").arg(kMaxOutput / 1024));
}

void TokenCommand::readErrors()
{
    const QByteArray more = m_process->readAllStandardError();
    m_errors += more.left(kMaxErrors - m_errors.size());
}

void TokenCommand::ended(int exitCode, int exitStatus)
{
    readOutput();
    if (!m_process)
        return; // the output ran over
    readErrors();
    if (exitStatus != QProcess::NormalExit)
        return failed(QStringLiteral("the token command crashed"));
    if (exitCode != 0) {
        const QString line = firstErrorLine(m_errors, m_output);
        return failed(QStringLiteral("the token command ended with status %1").arg(exitCode) +
                      (line.isEmpty() ? QString() : QStringLiteral(": ") + line));
    }
    const TokenOutput output = tokenFromOutput(m_output);
    answer(output.token, output.error);
}

void TokenCommand::failed(const QString& error)
{
    answer({}, error);
}

void TokenCommand::answer(const QString& token, const QString& error)
{
    stop();
    m_output.clear();
    m_errors.clear();
    // Queued, so that no answer comes from inside start(), whatever QProcess does there; a newer run
    // makes it void.
    const quint64 run = m_run;
    QMetaObject::invokeMethod(
        this,
        [this, run, token, error] {
            if (run == m_run)
                emit finished(token, error);
        },
        Qt::QueuedConnection);
}

void TokenCommand::release()
{
    QProcess *process = std::exchange(m_process, nullptr);
    if (!process)
        return;
    process->disconnect(this);
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
        return;
    }
    if (process->processId() > 0)
        ::kill(-pid_t(process->processId()), SIGKILL);
    process->kill();
    // Killed, it is gone at once. Never deleted here: this may run inside one of its own signals.
    process->setParent(nullptr);
    if (process->waitForFinished(1000))
        process->deleteLater();
    else
        connect(process, &QProcess::finished, process, &QObject::deleteLater);
}

} // namespace app
