// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

#include <functional>

class QEventLoop;
class QTcpServer;
class QTcpSocket;

// The TCP side of the link, in one of two roles or none:
//  - client (Telnet and Remote mode): one connected socket to the sensor's
//    own network port or to another ORXTERM's relay;
//  - server (Local mode with the relay on): a listening socket and a table
//    of accepted clients whose slots are reused, never removed.
// Everything runs on the main thread. Received data is handed out in reads
// of at most 128 bytes, each cut at its first zero byte; a socket with more
// waiting data gets its next read from the event loop, so a flood from one
// peer cannot starve the window. Each socket reads at most ReadBufferSize
// bytes ahead, and while the owner's ReadyForData says no nothing is read
// at all, so a peer that sends faster than the sensor's line can take is
// held back by TCP itself instead of growing memory. A client that leaves
// gives up its slot at once; what it sent before is still handed out, in
// order and at the same pace, and the socket goes when that is done.
class TTcpLink : public QObject {
    Q_OBJECT
public:
    enum class TConnectResult { Connected, Failed, Superseded };

    static constexpr int ReadChunk = 128;
    static constexpr qint64 ReadBufferSize = 64 * 1024;
    // Output that a client has not taken yet; beyond this, new data for it
    // is dropped (like a full send buffer) so a stalled client cannot make
    // the program grow.
    static constexpr qint64 MaxClientBacklog = 4 * 1024 * 1024;
    // Clients served at once, counting those that have left and whose data
    // is still being handed out; further connections are closed at once.
    static constexpr int MaxClients = 256;
    // How long a connect may take before it counts as failed.
    static constexpr int ConnectTimeoutMs = 5000;
    // The sensor's own network port (Telnet mode). Tests point it elsewhere.
    static quint16 TelnetPort;

    // Asked before each read; while it says no, reading pauses (and TCP
    // holds the peer back), so data is never read faster than it can go on.
    // Once it would say yes again, the owner calls ResumeReading.
    std::function<bool()> ReadyForData;
    // Reads on from every socket that has data waiting (clients, clients
    // that have left, the link socket), each at its own pace.
    void ResumeReading();

    explicit TTcpLink(QObject* parent = nullptr);
    ~TTcpLink() override;

    // Connects to host:port, processing events while it waits, at most
    // `timeoutMs`. Superseded when CloseSockets ran meanwhile (a newer
    // start of the link took over).
    TConnectResult Connect(const QString& host, quint16 port, int timeoutMs = ConnectTimeoutMs);
    // Binds to ip:port and listens with a backlog of 5. On failure returns
    // false with the system's text in `error`.
    bool Listen(const QString& ip, quint16 port, QString* error);

    // Closes every client (freeing its slot), then the link socket.
    void CloseSockets();

    // Sends to every client (toClients) or on the connected link socket.
    // Send failures are not reported.
    void SendNow(const QByteArray& text, bool toClients);

    // The client table: a free slot is null.
    void AddClient(QTcpSocket* socket);
    void RemoveClient(QTcpSocket* socket);
    int ClientCount() const;
    const QVector<QTcpSocket*>& ClientSockets() const { return m_clients; }
    int SlotOf(const QTcpSocket* socket) const {
        return int(m_clients.indexOf(const_cast<QTcpSocket*>(socket)));
    }

    bool Listening() const;
    bool LinkConnected() const;
    bool HasLinkSocket() const { return m_server || m_link; }
    // The client link's socket; null in no role or as the server.
    QTcpSocket* LinkSocket() const { return m_link; }
    quint16 ServerPort() const;
    // "address:port" of this end of the link socket: the local address of a
    // connected client socket; for a server its bound address, or, bound
    // to all interfaces, this host's first IPv4 address others can reach.
    QString OwnAddress() const;

    // Parses an IPv4 address in any form the connection dialog accepts
    // ("127.1", "0x7f.0.0.1" as well as dotted decimal).
    static bool ParseIPv4(const QString& text, QHostAddress* address);
    static QString FirstOwnIPv4();

signals:
    // A read: at most 128 bytes, up to the first zero byte.
    void Received(const QByteArray& text);
    // A client was accepted into its slot.
    void Accepted(const QString& peer);
    // A client was turned away (MaxClients reached).
    void Refused(const QString& peer);
    // A client's peer closed; its slot has been freed and it is released.
    void ClientClosed();
    // The client link's peer closed.
    void LinkClosed();
    // A socket call failed; the text is the system's.
    void Failed(const QString& text);

private:
    void AcceptPending();
    void WatchSocket(QTcpSocket* socket);
    void ReadOnce(QTcpSocket* socket);
    void ReleaseIfRead(QTcpSocket* socket);
    static bool PeerReset(const QTcpSocket* socket);
    static QString PeerText(const QTcpSocket* socket);
    static QString AddressText(const QHostAddress& address, quint16 port);
    void ScheduleRead(QTcpSocket* socket, int delayMs = 0);
    void SocketClosed(QTcpSocket* socket);
    void SocketError(QTcpSocket* socket);

    QTcpServer* m_server = nullptr;
    QTcpSocket* m_link = nullptr;
    QVector<QTcpSocket*> m_clients;
    QVector<QTcpSocket*> m_leaving; // clients gone, with data still to hand out
    QPointer<QEventLoop> m_connectLoop;
    quint64 m_generation = 0;
};
