#include "mailcheck/winsock.h"

#include <QTcpSocket>

Winsock::Winsock(QObject *parent) : QObject(parent) {}

Winsock::~Winsock()
{
    Close();
}

void Winsock::Close()
{
    m_received.clear();
    if (!m_socket)
        return;
    QTcpSocket *socket = m_socket;
    m_socket.clear();
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void Winsock::Connect(const QString& host, const QString& port)
{
    bool ok = false;
    const int number = port.trimmed().toInt(&ok);
    if (!ok)
        return;
    Connect(host, number);
}

void Winsock::Connect(const QString& host, int port)
{
    Close();
    if (host.isEmpty() || port < 1 || port > 65535)
        return;
    auto *socket = new QTcpSocket(this);
    m_socket = socket;
    connect(socket, &QTcpSocket::readyRead, this, &Winsock::onReadyRead);
    socket->connectToHost(host, quint16(port));
}

bool Winsock::SendData(const QString& text)
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return false;
    return m_socket->write(text.toLatin1()) >= 0;
}

void Winsock::GetData(QString& data)
{
    data = QString::fromLatin1(m_received);
    m_received.clear();
}

bool Winsock::isOpen() const
{
    return m_socket && m_socket->state() != QAbstractSocket::UnconnectedState;
}

void Winsock::onReadyRead()
{
    if (!m_socket)
        return;
    m_received += m_socket->readAll();
    emit DataArrival(m_received.size());
}
