// SPDX-License-Identifier: MIT
#include "TLink.h"

#include <QFileInfo>
#include <QTcpSocket>

#include <algorithm>
#include <utility>

TLink::TLink(QObject* parent) : QObject(parent) {
    m_tcpBatch.setSingleShot(true);
    connect(&m_tcpBatch, &QTimer::timeout, this, &TLink::FlushTcp);
    connect(&m_port, &TComPort::DataReceived, this, &TLink::SerialReceived);
    connect(&m_tcp, &TTcpLink::Received, this, &TLink::TcpReceived);
    m_tcp.ReadyForData = [this] { return ReadyForRelayData(); };
    connect(&m_port, &TComPort::RelayRoom, &m_tcp, &TTcpLink::ResumeReading);
    connect(&m_port, &TComPort::DeviceLost, this, [this] { ++m_deviceLosses; });
    m_reopenTimer.setInterval(1000);
    connect(&m_reopenTimer, &QTimer::timeout, this, &TLink::LookForReturn);
}

TLink::~TLink() = default;

QIODevice* TLink::Device() {
    if (m_port.Connected()) return &m_port.Serial();
    return m_tcp.LinkSocket();
}

bool TLink::Send(const QByteArray& bytes) {
    if (bytes.isEmpty()) return true;
    if (m_port.Connected()) return m_port.WriteStr(bytes) > 0;
    if (!m_tcp.LinkConnected()) return false;
    SendTcp(bytes);
    return true;
}

void TLink::SendTcp(const QByteArray& text) {
    if (text.isEmpty()) return;
    if (m_tcpDelayMs == 0) {
        SendTcpNow(text);
        return;
    }
    m_tcpPending += text;
    if (m_tcpPending.size() >= MaxTcpPending) {
        FlushTcp();
        return;
    }
    if (!m_tcpBatch.isActive()) m_tcpBatch.start();
}

void TLink::SetTcpDelay(int ms) {
    m_tcpDelayMs = std::max(0, ms);
    m_tcpBatch.setInterval(m_tcpDelayMs);
}

void TLink::FlushTcp() {
    m_tcpBatch.stop();
    SendTcpNow(std::exchange(m_tcpPending, QByteArray()));
}

void TLink::SendTcpNow(const QByteArray& text) {
    if (text.isEmpty()) return;
    m_tcp.SendNow(text, m_port.Connected() && m_relay);
}

void TLink::CloseSockets() {
    m_tcp.CloseSockets();
    m_tcpBatch.stop();
    m_tcpPending.clear();
}

bool TLink::Relayed(const QByteArray& bytes) {
    if (!m_port.Connected()) return false;
    // Queued behind the program's own output, not waited for: a slow line
    // must not stall the window (the senders wait instead).
    m_port.WriteRelay(bytes);
    return true;
}

void TLink::SerialReceived(const QByteArray& data) {
    emit Received(data);
    // Everything the sensor sends also goes to the relay's clients, byte
    // for byte (escape sequences included, so a remote terminal shows what
    // this one shows). The port hands the data to its framers after this.
    if (m_relay) SendTcp(data);
}

void TLink::TcpReceived(const QByteArray& data) {
    // On the relay, what a client sends is for the sensor; on a client
    // link it is the sensor's answer.
    if (!Relayed(data)) DeliverReceived(data);
}

void TLink::DeliverReceived(const QByteArray& data) {
    emit Received(data);
    m_port.DeliverToFramers(data);
}

void TLink::LoadPortSettings(QSettings& settings, const std::optional<QString>& port) {
    m_port.LoadSettings(settings, m_port.objectName());
    if (port) m_port.SetPort(*port);
    m_port.BeginUpdate();
    m_port.SetDataBits(TDataBits::Eight);
    m_port.SetStopBits(TStopBits::One);
    m_port.SetParity(TParityBits::None);
    m_port.SetFlowControl(TFlowControl::Software);
    m_port.EndUpdate();
}

QString TLink::DevicePath() const {
    const QString port = m_port.Port().trimmed();
    return port.startsWith(u'/') ? port : QStringLiteral("/dev/") + port;
}

void TLink::WatchForReturn() {
    m_reopenPending = true;
    m_reopenTimer.start();
}

void TLink::CancelReopen() {
    m_reopenPending = false;
    m_reopenTimer.stop();
}

void TLink::LookForReturn() {
    if (!m_reopenPending || m_port.Connected()) {
        CancelReopen();
        return;
    }
    if (m_reopening || !QFileInfo::exists(DevicePath())) return;
    m_reopening = true;
    const int lossesBefore = m_deviceLosses;
    const bool opened = m_port.Open();
    m_reopening = false;
    if (opened && m_deviceLosses == lossesBefore && m_port.Connected()) {
        CancelReopen();
        emit Reopened();
    }
}

// Its meta-object code in this object file, so that a program using
// this class alone does not pull the library's windows with it.
#include "moc_TLink.cpp"
