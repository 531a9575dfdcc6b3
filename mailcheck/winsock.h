#pragma once

#include "mailcheck/pop3.h"
#include "mailcheck/security.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QTcpSocket;

// The one TCP client connection of the program. Connect returns at once. Received bytes are cut
// into whole lines and every line is one data arrival, so a reply split over two packets is still
// read as one. Text goes out and comes in one byte per character.
class Winsock : public QObject {
    Q_OBJECT
public:
    explicit Winsock(QObject *parent = nullptr);
    ~Winsock() override;

    // Drops the connection or a connection attempt, whatever its state; nothing on a closed socket.
    // No event follows.
    void Close();
    // Starts a connection in the background: encrypted from the first byte with Ssl, plain until
    // startTls with StartTls, plain throughout with None. Failures come back as Error.
    void Connect(const QString& host, int port, mailcheck::Security security = mailcheck::Security::None);
    // StartTls only, once the server agreed to STLS: the handshake begins, with the same checks of
    // the certificate and host as Ssl. Refused (false) while any received byte is unread, since it
    // came in plain text. Encrypted follows on success, Error on failure; nothing can be sent between.
    bool startTls();
    // Queues text for sending; false when there is no connection to send on.
    bool SendData(const QString& text);
    // The line of the latest arrival, emptied by the call.
    void GetData(QString& data);

    bool isOpen() const;
    // Received bytes not yet handed out: whole lines waiting, part of one, or bytes not yet read.
    bool holdsUnreadData() const;

    // Test seam (tests and the fuzz target): hands bytes to the line framing as if they had come
    // from the network.
    void feedForTest(const QByteArray& bytes);

signals:
    // One complete line is waiting for GetData.
    void DataArrival(qint64 bytesTotal);
    // The connection failed or was lost before Close: host not found, refused, dropped, TLS refused,
    // or the conversation ran over its time. The socket is still to be closed by the receiver.
    void Error(const QString& description);
    // The server sent a line longer than the framing keeps.
    void LineTooLong();
    // The handshake that startTls began is over and the server verified.
    void Encrypted();

private:
    // While one lives, a socket closed by a handler of its own signal is kept from deletion.
    class Busy {
    public:
        explicit Busy(Winsock& winsock);
        ~Busy();
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

    private:
        Winsock& m_winsock;
    };

    QTcpSocket *makeSocket(mailcheck::Security security);
    void receive(QTcpSocket *socket);
    void take(const QByteArray& bytes);
    void deliverLines();
    void onSocketError(QTcpSocket *socket);
    void onDeadline();
    void retire(QTcpSocket *socket);
    void deleteRetired();

    QPointer<QTcpSocket> m_socket;
    mailcheck::LineFramer m_framer;
    QByteArray m_current;
    QString m_tlsErrors;
    // Set once TLS was asked for: from then on nothing leaves unencrypted.
    bool m_tlsRequired = false;
    QTimer m_deadline;
    // Sockets closed while one of their own signals may still be running; deleted once it is over.
    QList<QPointer<QTcpSocket>> m_retired;
    int m_busy = 0;
};
