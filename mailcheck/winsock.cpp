#include "mailcheck/winsock.h"
#include "app/settingsstore.h"
#include "app/testseams.h"

#include <QDir>
#include <QFile>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>

namespace {

// Bytes taken from the socket at a time; lines are handled before more is read.
constexpr qint64 kReadChunk = 4096;
// The socket's own buffer: beyond it TCP flow control holds the sender back.
constexpr qint64 kSocketBuffer = 64 * 1024;
// Bounds on what the certs folder may cost at every check.
constexpr int kMaxCertFiles = 256;
constexpr qint64 kMaxCertFileSize = 1024 * 1024;

QList<QSslCertificate> folderCertificates()
{
    QList<QSslCertificate> certificates;
    const QFileInfoList files =
        QDir(Store::certsFolder()).entryInfoList(QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo& info : files.mid(0, kMaxCertFiles)) {
        QFile file(info.absoluteFilePath());
        if (info.size() > kMaxCertFileSize || !file.open(QIODevice::ReadOnly))
            continue;
        certificates += QSslCertificate::fromData(file.read(kMaxCertFileSize), QSsl::Pem);
    }
    return certificates;
}

// The system's trusted certificates plus the user's own, read again at every connection so a
// certificate dropped into the folder counts without a restart. The user's own count only while
// nobody else can put one there; ignored says why they did not.
QSslConfiguration tlsConfiguration(QString& ignored)
{
    static const QList<QSslCertificate> system = QSslConfiguration::systemCaCertificates();
    const QString problem = Store::certsFolderProblem();
    ignored = problem.isEmpty() ? QString() : QStringLiteral("certs ignored: ") + problem;
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setCaCertificates(problem.isEmpty() ? system + folderCertificates() : system);
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    configuration.setProtocol(QSsl::TlsV1_2OrLater);
    return configuration;
}

} // namespace

Winsock::Winsock(QObject *parent) : QObject(parent)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &Winsock::onDeadline);
}

Winsock::~Winsock()
{
    Close();
}

void Winsock::Close()
{
    m_deadline.stop();
    m_framer.clear();
    m_current.clear();
    m_tlsErrors.clear();
    m_tlsRequired = false;
    if (!m_socket)
        return;
    QTcpSocket *socket = m_socket;
    m_socket.clear();
    socket->disconnect(this);
    socket->abort();
    retire(socket);
}

void Winsock::Connect(const QString& host, int port, mailcheck::Security security)
{
    Close();
    if (host.isEmpty() || port < 1 || port > 65535)
        return;
    QTcpSocket *socket = makeSocket(security);
    m_socket = socket;
    m_tlsRequired = security == mailcheck::Security::Ssl;
    socket->setReadBufferSize(kSocketBuffer);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { receive(socket); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] { onSocketError(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { onSocketError(socket); });
    m_deadline.start(app::seams::conversationTimeoutMs());
    if (security == mailcheck::Security::Ssl)
        static_cast<QSslSocket *>(socket)->connectToHostEncrypted(host, quint16(port));
    else
        socket->connectToHost(host, quint16(port));
}

QTcpSocket *Winsock::makeSocket(mailcheck::Security security)
{
    if (security == mailcheck::Security::None)
        return new QTcpSocket(this);
    // A plain QTcpSocket cannot be upgraded later: STARTTLS needs the TLS socket from the start.
    auto *tls = new QSslSocket(this);
    QString ignored;
    tls->setSslConfiguration(tlsConfiguration(ignored));
    connect(tls, &QSslSocket::sslErrors, this, [this, tls, ignored](const QList<QSslError>& errors) {
        if (tls != m_socket)
            return;
        // Why the user's own certificate did not help comes first: the tooltip keeps a short line.
        QStringList texts;
        if (!ignored.isEmpty())
            texts << ignored;
        for (const QSslError& error : errors)
            texts << error.errorString();
        m_tlsErrors = texts.join(QStringLiteral("; "));
    });
    if (security == mailcheck::Security::StartTls)
        connect(tls, &QSslSocket::encrypted, this, [this, tls] {
            if (tls == m_socket)
                emit Encrypted();
        });
    return tls;
}

bool Winsock::startTls()
{
    auto *tls = qobject_cast<QSslSocket *>(m_socket.data());
    if (!tls || m_tlsRequired || tls->state() != QAbstractSocket::ConnectedState || holdsUnreadData())
        return false;
    m_tlsRequired = true;
    tls->startClientEncryption();
    return true;
}

bool Winsock::SendData(const QString& text)
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return false;
    // Once TLS was asked for, nothing leaves before the server has been verified.
    if (auto *tls = qobject_cast<QSslSocket *>(m_socket.data());
        m_tlsRequired && !(tls && tls->isEncrypted()))
        return false;
    // ASCII goes out unchanged; anything beyond it as UTF-8, never as a lossy "?".
    if (m_socket->write(text.toUtf8()) < 0)
        return false;
    // Out now, not when the handler is over: after QUIT come the alerts, which may take a while.
    m_socket->flush();
    return true;
}

void Winsock::GetData(QString& data)
{
    data = QString::fromLatin1(m_current);
    m_current.clear();
}

bool Winsock::isOpen() const
{
    return m_socket && m_socket->state() != QAbstractSocket::UnconnectedState;
}

bool Winsock::holdsUnreadData() const
{
    return m_framer.hasLine() || m_framer.pendingBytes() > 0 || (m_socket && m_socket->bytesAvailable() > 0);
}

Winsock::Busy::Busy(Winsock& winsock) : m_winsock(winsock)
{
    ++m_winsock.m_busy;
}

Winsock::Busy::~Busy()
{
    --m_winsock.m_busy;
    m_winsock.deleteRetired();
}

void Winsock::feedForTest(const QByteArray& bytes)
{
    const Busy busy(*this);
    take(bytes);
}

void Winsock::receive(QTcpSocket *socket)
{
    const Busy busy(*this);
    // A handler may close or replace the socket, or pump events that read on, between two chunks.
    while (socket == m_socket && socket->bytesAvailable() > 0)
        take(socket->read(kReadChunk));
}

void Winsock::take(const QByteArray& bytes)
{
    const QPointer<QTcpSocket> socket = m_socket;
    const bool fits = m_framer.append(bytes);
    deliverLines();
    if (!fits && socket == m_socket && m_framer.overflowed())
        emit LineTooLong();
}

void Winsock::deliverLines()
{
    // Each arrival takes its line out first, so a nested arrival never sees it again.
    while (m_framer.hasLine()) {
        m_current = m_framer.takeLine();
        emit DataArrival(m_current.size());
    }
}

void Winsock::onSocketError(QTcpSocket *socket)
{
    if (socket != m_socket)
        return;
    const Busy busy(*this);
    // Lines that came just before the close are still answered first.
    while (socket == m_socket && socket->bytesAvailable() > 0)
        take(socket->read(kReadChunk));
    if (socket == m_socket) {
        const QString text = m_tlsErrors.isEmpty() ? socket->errorString() : m_tlsErrors;
        emit Error(text);
    }
}

void Winsock::onDeadline()
{
    if (m_socket)
        emit Error(
            tr("No complete answer within %1 seconds").arg(app::seams::conversationTimeoutMs() / 1000.0));
}

void Winsock::retire(QTcpSocket *socket)
{
    m_retired.append(socket);
    deleteRetired();
}

void Winsock::deleteRetired()
{
    if (m_busy > 0)
        return;
    for (const QPointer<QTcpSocket>& socket : std::exchange(m_retired, {})) {
        if (socket)
            socket->deleteLater();
    }
}
