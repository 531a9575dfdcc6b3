#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class QProcess;

namespace app {

// What a token command's output gives: the access token, or why there is none (never the output).
struct TokenOutput {
    QString token;
    QString error;
};
// The first line of the output, blanks and CR around it trimmed; an access token is printable ASCII
// without blanks (RFC 6750), so anything else is refused rather than sent to a server.
TokenOutput tokenFromOutput(const QByteArray& output);

// The user's own token helper (oama, pizauth, mutt_oauth2.py...), run before a check: its command line
// split as the mail program's is, without a shell; standard input closed; output capped; stopped,
// with whatever it started, when it runs past the time limit, when this object goes or when the
// program ends. Nothing here waits: the answer comes as a signal.
class TokenCommand : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kMaxOutput = 64 * 1024;
    static constexpr qsizetype kMaxErrorShown = 200;

    explicit TokenCommand(QObject *parent = nullptr);
    ~TokenCommand() override;

    // Runs the command line; finished follows once, later, never from inside this call. A run still
    // going is stopped first and never answers. The time limit is seams::tokenCommandMs().
    void start(const QString& commandLine);
    bool isRunning() const { return m_process != nullptr; }
    // Stops a run without an answer.
    void stop();

signals:
    // Either a token and no error, or an error that says why in plain words, never with the token.
    void finished(const QString& token, const QString& error);

private:
    void readOutput();
    void readErrors();
    void ended(int exitCode, int exitStatus);
    void failed(const QString& error);
    void answer(const QString& token, const QString& error);
    // Kills the command with its whole process group, waiting a moment (bounded) to reap it.
    void release();

    QProcess *m_process = nullptr;
    QTimer m_limit;
    QByteArray m_output;
    QByteArray m_errors;
    quint64 m_run = 0;
};

} // namespace app
