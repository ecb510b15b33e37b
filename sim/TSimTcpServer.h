// SPDX-License-Identifier: MIT
#pragma once

#include "TSimSensor.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>

class QTcpSocket;

// A simulated sensor reachable over TCP, like the sensor's own network
// port: one shared Sensor() for all connections. Every byte a client sends
// goes to Sensor().Receive(); everything the sensor sends goes to every
// connected client. The sensor keeps its state when clients come and go,
// so a test can prepare it (faults, values) before the host connects and
// read its trace afterwards.
//
// Faults: DropClients() (or Sensor().HangUp()) closes every connection,
// the server keeps listening. Departed sockets are released with
// deleteLater().
class TSimTcpServer : public QObject {
    Q_OBJECT
public:
    explicit TSimTcpServer(const TSimOptions& options = {}, QObject* parent = nullptr);
    ~TSimTcpServer() override;

    // Port 0 picks a free port; Port() tells which.
    bool Listen(const QHostAddress& address = QHostAddress::LocalHost, quint16 port = 0);
    quint16 Port() const { return m_server.serverPort(); }
    QHostAddress Address() const { return m_server.serverAddress(); }
    QString ErrorString() const { return m_server.errorString(); }
    int ClientCount() const { return int(m_clients.size()); }

    TSimSensor& Sensor() { return m_sensor; }

    void DropClients();

signals:
    void ClientCountChanged(int count);

private:
    void OnNewConnection();
    void OnReadyRead(QTcpSocket* socket);
    void OnDisconnected(QTcpSocket* socket);
    void Write(const QByteArray& bytes);

    TSimSensor m_sensor;
    QTcpServer m_server;
    QList<QPointer<QTcpSocket>> m_clients;
};
