// SPDX-License-Identifier: MIT
#include "TTcpLink.h"

#include "TReadPacer.h"

#include <QEventLoop>
#include <QNetworkInterface>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <arpa/inet.h>
#include <poll.h>

#include <algorithm>
#include <cstring>

quint16 TTcpLink::TelnetPort = 23;

namespace {
const char* const kClosed = "orxClosed";
} // namespace

TTcpLink::TTcpLink(QObject* parent) : QObject(parent) {}

TTcpLink::~TTcpLink() {
    CloseSockets();
}

// --- Addresses ----------------------------------------------------------------

bool TTcpLink::ParseIPv4(const QString& text, QHostAddress* address) {
    const QByteArray latin = text.trimmed().toLatin1();
    in_addr a{};
    if (latin.isEmpty() || inet_aton(latin.constData(), &a) == 0) return false;
    if (address) *address = QHostAddress(quint32(ntohl(a.s_addr)));
    return true;
}

QString TTcpLink::FirstOwnIPv4() {
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& i : interfaces) {
        const auto flags = i.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning) ||
            (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& e : i.addressEntries())
            if (e.ip().protocol() == QAbstractSocket::IPv4Protocol) return e.ip().toString();
    }
    return QStringLiteral("127.0.0.1");
}

QString TTcpLink::AddressText(const QHostAddress& address, quint16 port) {
    // An IPv4 peer of a dual-stack socket is shown as plain IPv4.
    bool ok = false;
    const quint32 v4 = address.toIPv4Address(&ok);
    return QStringLiteral("%1:%2")
        .arg(ok ? QHostAddress(v4).toString() : address.toString())
        .arg(port);
}

QString TTcpLink::OwnAddress() const {
    if (m_link && m_link->state() == QAbstractSocket::ConnectedState)
        return AddressText(m_link->localAddress(), m_link->localPort());
    if (m_server && m_server->isListening()) {
        const QHostAddress bound = m_server->serverAddress();
        const bool any = bound == QHostAddress(QHostAddress::AnyIPv4) ||
                         bound == QHostAddress(QHostAddress::Any);
        return QStringLiteral("%1:%2")
            .arg(any ? FirstOwnIPv4() : bound.toString())
            .arg(m_server->serverPort());
    }
    return QString();
}

bool TTcpLink::Listening() const {
    return m_server && m_server->isListening();
}

bool TTcpLink::LinkConnected() const {
    return m_link && m_link->state() == QAbstractSocket::ConnectedState;
}

quint16 TTcpLink::ServerPort() const {
    return m_server ? m_server->serverPort() : 0;
}

// --- Client ---------------------------------------------------------------------

TTcpLink::TConnectResult TTcpLink::Connect(const QString& host, quint16 port, int timeoutMs) {
    CloseSockets();
    const quint64 generation = m_generation;
    auto* socket = new QTcpSocket(this);
    m_link = socket;

    QEventLoop loop;
    m_connectLoop = &loop;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(socket, &QTcpSocket::connected, &loop, &QEventLoop::quit);
    connect(socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);

    QHostAddress address;
    if (ParseIPv4(host, &address))
        socket->connectToHost(address, port);
    else
        socket->connectToHost(host.trimmed(), port);
    limit.start(std::max(1, timeoutMs));
    if (socket->state() != QAbstractSocket::ConnectedState &&
        socket->state() != QAbstractSocket::UnconnectedState)
        loop.exec();
    m_connectLoop = nullptr;

    if (generation != m_generation)
        return TConnectResult::Superseded; // CloseSockets ran meanwhile and released the socket
    socket->disconnect(&loop);
    if (socket->state() != QAbstractSocket::ConnectedState) {
        m_link = nullptr;
        socket->abort();
        socket->deleteLater();
        return TConnectResult::Failed;
    }
    socket->setReadBufferSize(ReadBufferSize);
    WatchSocket(socket);
    if (socket->bytesAvailable() > 0) ScheduleRead(socket);
    return TConnectResult::Connected;
}

// --- Server ---------------------------------------------------------------------

bool TTcpLink::Listen(const QString& ip, quint16 port, QString* error) {
    CloseSockets();
    QHostAddress address;
    const QString trimmed = ip.trimmed();
    if (trimmed == QLatin1String("0.0.0.0"))
        address = QHostAddress(QHostAddress::AnyIPv4);
    else if (!ParseIPv4(trimmed, &address) && !address.setAddress(trimmed)) {
        if (error) *error = QStringLiteral("Invalid address: %1").arg(ip);
        return false;
    }
    m_server = new QTcpServer(this);
    m_server->setListenBacklogSize(5);
    if (!m_server->listen(address, port)) {
        if (error) *error = m_server->errorString();
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QTcpServer::newConnection, this, &TTcpLink::AcceptPending);
    connect(m_server, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError) {
        QTcpServer* server = m_server;
        // Accepting pauses after a hard failure (no descriptors left, for
        // example); try again a little later rather than never.
        QTimer::singleShot(1000, server, [server] { server->resumeAccepting(); });
        emit Failed(server->errorString());
    });
    return true;
}

void TTcpLink::AcceptPending() {
    while (m_server && m_server->hasPendingConnections()) {
        QTcpSocket* socket = m_server->nextPendingConnection();
        if (!socket) break;
        socket->setParent(this);
        if (ClientCount() + int(m_leaving.size()) >= MaxClients) {
            // Beyond this many, a peer could use up the descriptors that
            // the serial port needs.
            const QString peer = PeerText(socket);
            socket->abort();
            socket->deleteLater();
            emit Refused(peer);
            continue;
        }
        socket->setReadBufferSize(ReadBufferSize);
        AddClient(socket);
        WatchSocket(socket);
        emit Accepted(PeerText(socket));
        if (socket->bytesAvailable() > 0) ScheduleRead(socket);
        if (socket->state() != QAbstractSocket::ConnectedState)
            SocketClosed(socket); // gone before it was accepted
    }
}

QString TTcpLink::PeerText(const QTcpSocket* socket) {
    return AddressText(socket->peerAddress(), socket->peerPort());
}

void TTcpLink::AddClient(QTcpSocket* socket) {
    const qsizetype free = m_clients.indexOf(nullptr);
    if (free >= 0)
        m_clients[free] = socket;
    else
        m_clients.append(socket);
}

void TTcpLink::RemoveClient(QTcpSocket* socket) {
    for (QTcpSocket*& slot : m_clients)
        if (slot == socket) slot = nullptr;
}

int TTcpLink::ClientCount() const {
    return int(std::count_if(m_clients.begin(), m_clients.end(),
                             [](QTcpSocket* s) { return s != nullptr; }));
}

void TTcpLink::CloseSockets() {
    ++m_generation;
    if (m_connectLoop) m_connectLoop->quit();
    QVector<QTcpSocket*> sockets = m_leaving;
    m_leaving.clear();
    for (QTcpSocket*& slot : m_clients) {
        if (slot) sockets.append(slot);
        slot = nullptr;
    }
    for (QTcpSocket* socket : sockets) {
        socket->disconnect(this);
        socket->abort(); // frees the descriptor now; the object goes at the next turn
        socket->deleteLater();
    }
    if (m_link) {
        m_link->disconnect(this);
        m_link->abort();
        m_link->deleteLater();
        m_link = nullptr;
    }
    if (m_server) {
        m_server->disconnect(this);
        m_server->close();
        m_server->deleteLater();
        m_server = nullptr;
    }
}

// --- Sending --------------------------------------------------------------------

void TTcpLink::SendNow(const QByteArray& text, bool toClients) {
    if (text.isEmpty()) return;
    if (toClients) {
        const QVector<QTcpSocket*> clients = m_clients; // a handler may change the table
        for (const QPointer<QTcpSocket> socket : clients) {
            if (!socket || socket->state() != QAbstractSocket::ConnectedState ||
                socket->bytesToWrite() > MaxClientBacklog || PeerReset(socket))
                continue;
            socket->write(text);
            socket->flush();
        }
        return;
    }
    if (LinkConnected()) {
        m_link->write(text);
        m_link->flush();
    }
}

// --- Socket events --------------------------------------------------------------

void TTcpLink::WatchSocket(QTcpSocket* socket) {
    new TReadPacer([this, socket] { ReadOnce(socket); }, socket);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { ReadOnce(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { SocketClosed(socket); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] { SocketError(socket); });
}

// A peer that has reset the connection takes nothing more, and a write
// that fails makes the socket throw away what it has received and not
// handed out yet (the system still holds data that arrived before the
// reset). So nothing is written to it; its data is read out as usual.
bool TTcpLink::PeerReset(const QTcpSocket* socket) {
    pollfd p{int(socket->socketDescriptor()), 0, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLERR | POLLHUP));
}

void TTcpLink::ReadOnce(QTcpSocket* socket) {
    if (socket->bytesAvailable() <= 0) {
        ReleaseIfRead(socket);
        return;
    }
    // Not now: the data waits (and TCP holds the peer back) until the
    // owner resumes reading.
    if (ReadyForData && !ReadyForData()) return;
    char buffer[ReadChunk];
    const qint64 n = socket->read(buffer, ReadChunk);
    if (n < 0) {
        emit Failed(socket->errorString());
        return;
    }
    const void* zero = std::memchr(buffer, 0, size_t(n));
    const qsizetype length = zero ? static_cast<const char*>(zero) - buffer : qsizetype(n);
    QPointer<QTcpSocket> alive(socket);
    if (length > 0) emit Received(QByteArray(buffer, length));
    if (!alive) return;
    if (alive->bytesAvailable() > 0)
        ScheduleRead(alive);
    else
        ReleaseIfRead(alive);
}

void TTcpLink::ResumeReading() {
    const QVector<QTcpSocket*> sockets = m_clients + m_leaving;
    for (QTcpSocket* socket : sockets)
        if (socket && socket->bytesAvailable() > 0) ScheduleRead(socket);
    if (m_link && m_link->bytesAvailable() > 0) ScheduleRead(m_link);
}

void TTcpLink::ScheduleRead(QTcpSocket* socket, int delayMs) {
    if (auto* pacer = socket->findChild<TReadPacer*>(QString(), Qt::FindDirectChildrenOnly))
        pacer->Schedule(delayMs);
}

// A client that has left goes once everything it sent has been handed out.
void TTcpLink::ReleaseIfRead(QTcpSocket* socket) {
    if (socket->bytesAvailable() > 0 || !m_leaving.removeOne(socket)) return;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void TTcpLink::SocketClosed(QTcpSocket* socket) {
    if (socket->property(kClosed).toBool()) return;
    socket->setProperty(kClosed, true);
    // What the peer sent before it closed is still read, in order: now as
    // far as the line takes it, the rest later at the line's pace.
    QPointer<QTcpSocket> alive(socket);
    while (alive && alive->bytesAvailable() > 0 && (!ReadyForData || ReadyForData()))
        ReadOnce(alive);
    if (!alive) return;
    if (socket == m_link) {
        emit LinkClosed();
        return;
    }
    if (!m_clients.contains(socket)) return;
    RemoveClient(socket);
    if (socket->bytesAvailable() > 0) {
        m_leaving.append(socket);
    } else {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    emit ClientClosed();
}

void TTcpLink::SocketError(QTcpSocket* socket) {
    if (socket == m_link && m_connectLoop) return; // the connect reports its own outcome
    if (socket->error() != QAbstractSocket::RemoteHostClosedError)
        emit Failed(socket->errorString());
    if (socket->state() == QAbstractSocket::UnconnectedState) SocketClosed(socket);
}

// Its meta-object code in this object file, so that a program using
// this class alone does not pull the library's windows with it.
#include "moc_TTcpLink.cpp"
