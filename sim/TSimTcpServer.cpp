// SPDX-License-Identifier: MIT
#include "TSimTcpServer.h"

#include <QTcpSocket>

namespace {

constexpr qint64 kMaxClientBacklog = 1024 * 1024; // a client that never reads loses output

} // namespace

TSimTcpServer::TSimTcpServer(const TSimOptions& options, QObject* parent)
    : QObject(parent), m_sensor(options) {
    connect(&m_server, &QTcpServer::newConnection, this, &TSimTcpServer::OnNewConnection);
    connect(&m_sensor, &TSimSensor::Send, this, &TSimTcpServer::Write);
    connect(&m_sensor, &TSimSensor::HangUpRequested, this, &TSimTcpServer::DropClients);
}

TSimTcpServer::~TSimTcpServer() {
    m_server.close();
    for (const QPointer<QTcpSocket>& socket : std::as_const(m_clients))
        if (socket) {
            socket->disconnect(this);
            socket->abort();
            delete socket.data();
        }
}

bool TSimTcpServer::Listen(const QHostAddress& address, quint16 port) {
    return m_server.listen(address, port);
}

void TSimTcpServer::OnNewConnection() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this,
                [this, socket] { OnDisconnected(socket); });
        m_clients.append(socket);
        emit ClientCountChanged(ClientCount());
    }
}

void TSimTcpServer::OnReadyRead(QTcpSocket* socket) {
    const QByteArray bytes = socket->readAll();
    m_sensor.Receive(bytes);
}

void TSimTcpServer::OnDisconnected(QTcpSocket* socket) {
    m_clients.removeAll(socket);
    socket->deleteLater();
    emit ClientCountChanged(ClientCount());
}

void TSimTcpServer::Write(const QByteArray& bytes) {
    for (const QPointer<QTcpSocket>& socket : std::as_const(m_clients))
        if (socket && socket->state() == QAbstractSocket::ConnectedState &&
            socket->bytesToWrite() < kMaxClientBacklog)
            socket->write(bytes);
}

void TSimTcpServer::DropClients() {
    const QList<QPointer<QTcpSocket>> clients = m_clients;
    for (const QPointer<QTcpSocket>& socket : clients) {
        if (!socket) continue;
        socket->disconnect(this);
        socket->abort(); // like a pulled cable: pending output is lost
        socket->deleteLater();
    }
    m_clients.clear();
    if (!clients.isEmpty()) emit ClientCountChanged(0);
}
