#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QTcpSocket;

// The one TCP client connection of the program. Connect returns at once; failures leave the socket
// closed. Text goes out and comes in one byte per character.
class Winsock : public QObject {
    Q_OBJECT
public:
    explicit Winsock(QObject *parent = nullptr);
    ~Winsock() override;

    // Drops the connection or a connection attempt, whatever its state; nothing on a closed socket.
    void Close();
    // Starts a connection in the background. A bad host or port fails silently.
    void Connect(const QString& host, const QString& port);
    void Connect(const QString& host, int port);
    // Queues text for sending; false when there is no connection to send on.
    bool SendData(const QString& text);
    // All data received since the last call, emptying the receive buffer.
    void GetData(QString& data);

    bool isOpen() const;

signals:
    void DataArrival(qint64 bytesTotal);

private:
    void onReadyRead();

    QPointer<QTcpSocket> m_socket;
    QByteArray m_received;
};
